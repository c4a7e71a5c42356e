#include "Serialise/XMLWriter.h"

#include "Utility/DataBufferOut.h"

#include <cstring>

namespace vantorix {

const char* const XMLWriter::declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>";

XMLWriter::PhraseExporter::PhraseExporter(DataBufferOut* output, const XMLGlossary* glossary)
    : m_output(output), m_glossary(glossary)
{
    if (m_output == nullptr) {
        m_output = new DataBufferOut();
        m_ownsOutput = true;
    }
}

XMLWriter::PhraseExporter::~PhraseExporter()
{
    if (m_ownsOutput)
        delete m_output;
}

bool XMLWriter::PhraseExporter::good() const
{
    return m_output->good();
}

bool XMLWriter::PhraseExporter::writeBytes(const char* bytes, int size)
{
    if (size > 0)
        m_output->write(bytes, size);
    return good();
}

bool XMLWriter::PhraseExporter::write(const String& text)
{
    if (text.empty())
        return good();
    const QByteArray bytes = text.toByteArray();
    return writeBytes(bytes.constData(), bytes.size());
}

void XMLWriter::PhraseExporter::escapeBytes(const char* bytes, int size, QByteArray& out) const
{
    if (m_glossary == nullptr)
        out.append(bytes, size);
    else
        m_glossary->escape(bytes, size, out);
}

bool XMLWriter::PhraseExporter::writePhraseBytes(const char* bytes, int size)
{
    if (m_glossary == nullptr || !m_glossary->needsEscape(bytes, size))
        return writeBytes(bytes, size);
    m_scratch.clear();
    m_glossary->escape(bytes, size, m_scratch);
    return writeBytes(m_scratch.constData(), m_scratch.size());
}

bool XMLWriter::PhraseExporter::writePhrase(const String& text)
{
    const QByteArray bytes = text.toByteArray();
    return writePhraseBytes(bytes.constData(), bytes.size());
}

bool XMLWriter::PhraseExporter::writeTagBytes(const char* tag, int size, const char* nameSpace, TagType type)
{
    if (size <= 0)
        return good();
    const bool directEnd = type == endTag && m_afterStartTag;
    if (type == endTag && m_depth > 0)
        --m_depth;
    if (m_afterStartTag && m_lineFeeds && type != endTag)
        m_output->put('\n');
    if (m_tabs && m_lineFeeds && !directEnd) {
        for (int i = 0; i < m_depth; ++i)
            m_output->put('\t');
    }
    m_output->put('<');
    if (type == endTag)
        m_output->put('/');
    if (nameSpace != nullptr && *nameSpace != '\0') {
        m_output->write(nameSpace, static_cast<int>(std::strlen(nameSpace)));
        m_output->put(':');
    }
    m_output->write(tag, size);
    if (type == startTag) {
        m_output->put('>');
        m_afterStartTag = true;
        ++m_depth;
    } else {
        if (type == emptyTag)
            m_output->put('/');
        m_output->put('>');
        if (m_lineFeeds)
            m_output->put('\n');
        m_afterStartTag = false;
    }
    return good();
}

bool XMLWriter::PhraseExporter::writeTag(const String& tag, const String& nameSpace, TagType type)
{
    const QByteArray bytes = tag.toByteArray();
    const QByteArray prefix = nameSpace.toByteArray();
    return writeTagBytes(bytes.constData(), bytes.size(), prefix.constData(), type);
}

void XMLWriter::PhraseExporter::toXMLString(String& text) const
{
    if (m_glossary == nullptr)
        return;
    const QByteArray bytes = text.toByteArray();
    if (!m_glossary->needsEscape(bytes.constData(), bytes.size()))
        return;
    QByteArray out;
    m_glossary->escape(bytes.constData(), bytes.size(), out);
    text = String(QString::fromUtf8(out));
}

bool XMLWriter::PhraseExporter::flush()
{
    m_output->flush();
    return good();
}

XMLWriter::XMLWriter(DataBufferOut* output) : m_exporter(new PhraseExporter(output, &m_glossary)) {}

XMLWriter::~XMLWriter() = default;

void XMLWriter::setDestination(DataBufferOut* output)
{
    m_exporter.reset(new PhraseExporter(output, &m_glossary));
}

void XMLWriter::toXMLString(String& text) const
{
    m_exporter->toXMLString(text);
}

bool XMLWriter::exportFrom(XMLShipping& root, bool withDeclaration, bool tabs, bool lineFeeds, bool nameSpaces)
{
    auto* object = dynamic_cast<Shipping*>(&root);
    if (object == nullptr)
        return false;
    m_exporter->setTabs(tabs && lineFeeds);
    m_exporter->setLineFeeds(lineFeeds);
    if (withDeclaration) {
        m_exporter->writeBytes(declaration, static_cast<int>(std::strlen(declaration)));
        if (lineFeeds)
            m_exporter->writeBytes("\n", 1);
    }
    const bool result = writeObject(*object, nameSpaces);
    // Text that did not reach its destination is a failed export, not a
    // success: the caller would otherwise keep a truncated file.
    const bool written = m_exporter->flush();
    return result && written;
}

namespace {
const char* prefixOf(const XMLShipping& xml, bool nameSpaces)
{
    return nameSpaces ? xml.getNameSpace() : nullptr;
}
} // namespace

bool XMLWriter::writeObject(Shipping& object, bool nameSpaces)
{
    XMLShipping* xml = xmlShippingOf(object);
    if (xml == nullptr)
        return false;
    const char* tag = xml->getTag();
    const int tagSize = tag ? static_cast<int>(std::strlen(tag)) : 0;
    const char* prefix = prefixOf(*xml, nameSpaces);

    ShippingContainer* container = object.asContainer();
    if (container == nullptr) {
        ShippingUnit* unit = object.asUnit();
        if (unit == nullptr)
            return false;
        String text;
        if (!unit->write(text))
            return false;
        m_exporter->writeTagBytes(tag, tagSize, prefix, PhraseExporter::startTag);
        const QByteArray bytes = text.toByteArray();
        m_exporter->writePhraseBytes(bytes.constData(), bytes.size());
        m_exporter->writeTagBytes(tag, tagSize, prefix, PhraseExporter::endTag);
        return true;
    }

    // The start tag with the attributes of every essential attribute leaf.
    QByteArray startTag(tag, tagSize);
    bool elementContent = false;
    const bool attributes = container->hasAttributes();
    if (attributes) {
        const unsigned long size = container->shippingSize();
        for (unsigned long index = 0; index < size; ++index) {
            ShippingPtr child = container->getShipping(index, true);
            if (!child) {
                elementContent = true;
                continue;
            }
            if (!child->isEssential())
                continue;
            XMLUnit* unit = child->asXMLUnit();
            if (unit == nullptr || !unit->isAttribute()) {
                elementContent = true;
                continue;
            }
            String value;
            if (!unit->write(value))
                return false;
            startTag.append(' ');
            const char* childPrefix = prefixOf(*unit, nameSpaces);
            if (childPrefix != nullptr && *childPrefix != '\0') {
                startTag.append(childPrefix);
                startTag.append(':');
            }
            startTag.append(unit->getTag());
            startTag.append("=\"");
            const QByteArray bytes = value.toByteArray();
            m_exporter->escapeBytes(bytes.constData(), bytes.size(), startTag);
            startTag.append('"');
        }
    }
    if (attributes && !elementContent) {
        m_exporter->writeTagBytes(startTag.constData(), startTag.size(), prefix, PhraseExporter::emptyTag);
        return true;
    }
    m_exporter->writeTagBytes(startTag.constData(), startTag.size(), prefix, PhraseExporter::startTag);
    for (unsigned long index = 0; index < container->shippingSize() && !container->hasEnded(); ++index) {
        ShippingPtr child = container->getShipping(index, false);
        if (!child || !child->isEssential())
            continue;
        XMLUnit* unit = child->asXMLUnit();
        if (unit != nullptr && unit->isAttribute())
            continue;
        if (!writeObject(*child, nameSpaces))
            return false;
    }
    m_exporter->writeTagBytes(tag, tagSize, prefix, PhraseExporter::endTag);
    return true;
}

} // namespace vantorix
