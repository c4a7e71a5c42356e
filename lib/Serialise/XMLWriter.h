#ifndef VANTORIX_SERIALISE_XMLWRITER_H
#define VANTORIX_SERIALISE_XMLWRITER_H

#include "Serialise/XMLGlossary.h"
#include "Serialise/XMLShipping.h"

#include <QByteArray>

#include <memory>

namespace vantorix {

class DataBufferOut;

// Writes a record (see Serialise/XMLRecord.h) as UTF-8 XML text:
//     <?xml version="1.0" encoding="UTF-8" ?>
//     <installerPreferences>
//     <TAB><size width="800" height="600"/>
//     <TAB><application>/Applications/ArchiCAD 24</application>
//     </installerPreferences>
// Leaves are written on one line, containers' children one tab deeper on
// lines of their own; a container whose essential children are all attributes
// is one empty element. Attribute values are always in double quotes, and
// & ' > < " are escaped in text and attribute values alike.
class XMLWriter {
public:
    // Produces the text of tags and values on the output buffer.
    class PhraseExporter {
    public:
        enum TagType : int { startTag = 0, emptyTag = 1, endTag = 2 };

        // With a null output the exporter writes into a buffer of its own
        // without a destination (the text is discarded).
        PhraseExporter(DataBufferOut* output, const XMLGlossary* glossary);
        ~PhraseExporter();
        PhraseExporter(const PhraseExporter&) = delete;
        PhraseExporter& operator=(const PhraseExporter&) = delete;

        // Raw text; nothing for an empty text.
        bool write(const String& text);
        // Escaped text.
        bool writePhrase(const String& text);
        // tag may carry the attribute text of a start or empty tag; an empty
        // tag writes nothing.
        bool writeTag(const String& tag, const String& nameSpace, TagType type);
        void toXMLString(String& text) const;
        void setTabs(bool tabs) { m_tabs = tabs; }
        void setLineFeeds(bool lineFeeds) { m_lineFeeds = lineFeeds; }
        bool flush();

        // The same on UTF-8 bytes, for the walker.
        bool writeBytes(const char* bytes, int size);
        bool writePhraseBytes(const char* bytes, int size);
        bool writeTagBytes(const char* tag, int size, const char* nameSpace, TagType type);
        void escapeBytes(const char* bytes, int size, QByteArray& out) const;

    private:
        bool good() const;

        DataBufferOut* m_output;
        const XMLGlossary* m_glossary;
        int m_depth = 0;
        bool m_afterStartTag = false;
        bool m_tabs = true;
        bool m_lineFeeds = true;
        bool m_ownsOutput = false;
        QByteArray m_scratch;
    };

    explicit XMLWriter(DataBufferOut* output = nullptr);
    ~XMLWriter();
    XMLWriter(const XMLWriter&) = delete;
    XMLWriter& operator=(const XMLWriter&) = delete;

    void setDestination(DataBufferOut* output);

    // Writes root; without line feeds there are no tabs either. True when
    // every value could be written and the output took every byte.
    bool exportFrom(XMLShipping& root, bool declaration = true, bool tabs = true, bool lineFeeds = true,
                    bool nameSpaces = true);
    // Escapes text in place.
    void toXMLString(String& text) const;

    static const char* const declaration;

private:
    bool writeObject(Shipping& object, bool nameSpaces);

    XMLGlossary m_glossary;
    std::unique_ptr<PhraseExporter> m_exporter;
};

} // namespace vantorix

#endif
