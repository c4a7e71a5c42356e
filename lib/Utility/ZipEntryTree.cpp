#include "Utility/ZipEntryTree.h"

namespace vantorix {

ZipEntryTree::Vertex ZipEntryTree::addEntry(std::optional<Vertex> parent, const String& path, unsigned index,
                                            const std::optional<ZipPosition>& position, bool symLink)
{
    const Vertex v = boost::add_vertex(TreeEntry{path, index, position, symLink}, m_graph);
    if (parent)
        boost::add_edge(*parent, v, m_graph);
    if (!m_byPath.contains(path.qString()))
        m_byPath.insert(path.qString(), v);
    m_byIndex.emplace(index, v);
    return v;
}

std::optional<ZipEntryTree::Vertex> ZipEntryTree::getVertex(const String& path) const
{
    const auto it = m_byPath.constFind(path.qString());
    if (it == m_byPath.constEnd())
        return std::nullopt;
    return it.value();
}

std::optional<ZipEntryTree::Vertex> ZipEntryTree::getVertex(unsigned index) const
{
    const auto it = m_byIndex.find(index);
    if (it == m_byIndex.end())
        return std::nullopt;
    return it->second;
}

std::vector<ZipEntryTree::Vertex> ZipEntryTree::getChildren(Vertex v) const
{
    std::vector<Vertex> children;
    for (auto [it, end] = boost::adjacent_vertices(v, m_graph); it != end; ++it)
        children.push_back(*it);
    return children;
}

} // namespace vantorix
