#ifndef VANTORIX_UTILITY_ZIPENTRYTREE_H
#define VANTORIX_UTILITY_ZIPENTRYTREE_H

#include "Utility/String.h"

#include <boost/graph/adjacency_list.hpp>

#include <QHash>

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

namespace vantorix {

// Where an entry's central directory record sits in its zip file: minizip's
// 64-bit file position pair, kept here without the minizip types.
struct ZipPosition {
    std::uint64_t directoryOffset = 0;
    std::uint64_t fileNumber = 0;
};

// One vertex of the tree: an entry's path as stored, the number the archive
// hands it out under, its position (none for directories and the root) and
// whether it is a symbolic link.
struct TreeEntry {
    String path;
    unsigned index = 0;
    std::optional<ZipPosition> position;
    bool symLink = false;
};

// The paths of a zip archive as a directed graph: an edge leads from each
// directory to each of its children, and the root (empty path) holds the
// top level. Vertices are found through a path index and an entry-number
// index, so looking one up does not walk the graph.
class ZipEntryTree {
public:
    using Graph = boost::adjacency_list<boost::vecS, boost::vecS, boost::directedS, TreeEntry>;
    using Vertex = Graph::vertex_descriptor;

    // The entry number of the root.
    static constexpr unsigned noIndex = 0xFFFFFFFFu;

    // Adds a vertex and, with a parent, the edge to it. A second vertex with
    // the same path or number is added, but lookups keep finding the first.
    Vertex addEntry(std::optional<Vertex> parent, const String& path, unsigned index,
                    const std::optional<ZipPosition>& position, bool symLink);

    std::optional<Vertex> getVertex(const String& path) const;
    std::optional<Vertex> getVertex(unsigned index) const;

    const TreeEntry& getTreeEntry(Vertex v) const { return m_graph[v]; }
    const String& getPath(Vertex v) const { return m_graph[v].path; }
    unsigned getIndex(Vertex v) const { return m_graph[v].index; }
    const std::optional<ZipPosition>& getZipPosition(Vertex v) const { return m_graph[v].position; }
    bool isSymLink(Vertex v) const { return m_graph[v].symLink; }
    // The children of a vertex, in the order they were added.
    std::vector<Vertex> getChildren(Vertex v) const;

    void setRoot(Vertex v) { m_root = v; }
    std::optional<Vertex> getRoot() const { return m_root; }
    std::size_t vertexCount() const { return boost::num_vertices(m_graph); }

private:
    Graph m_graph;
    std::optional<Vertex> m_root;
    QHash<QString, Vertex> m_byPath;
    std::unordered_map<unsigned, Vertex> m_byIndex;
};

} // namespace vantorix

#endif
