#ifndef VANTORIX_SERIALISE_XMLREADER_H
#define VANTORIX_SERIALISE_XMLREADER_H

#include "Serialise/XMLGlossary.h"
#include "Serialise/XMLShipping.h"
#include "Utility/Encoding.h"

#include <QByteArray>

#include <memory>
#include <utility>
#include <vector>

namespace vantorix {

class DataBufferIn;

// The XML declaration's attributes, read from <?xml version=".." encoding=".."?>.
class XMLDeclaration : public XMLAssembly {
public:
    String version{"1.0"};
    String encoding{"utf-8"};
    Encoding::Type encodingType = Encoding::UTF8;

    const char* getTag() const override { return "xml"; }
    unsigned long shippingSize() const override { return 2; }
    ShippingPtr getShipping(unsigned long index, bool forAttributes) override;
    ShippingPtr getShipping(const String& tag, const String& nameSpace) override;
    void setDefault() override;
    // Sets the encoding type from the encoding name.
    bool validate() override;
};

// Stands for an element that the record being read does not know, so that
// the element and everything in it is read and discarded.
class TagSeeker : public XMLArray {
public:
    TagSeeker(const QByteArray& tag, const QByteArray& nameSpace) : m_tag(tag), m_nameSpace(nameSpace) {}

    const char* getTag() const override { return m_tag.constData(); }
    const char* getNameSpace() const override { return m_nameSpace.isEmpty() ? nullptr : m_nameSpace.constData(); }
    unsigned long shippingSize() const override { return 1; }
    ShippingPtr getShipping(unsigned long, bool) override { return nullptr; }
    ShippingPtr addShipping(const String&, const String&) override { return nullptr; }

private:
    QByteArray m_tag;
    QByteArray m_nameSpace;
};

// Reads XML text into a record (see Serialise/XMLRecord.h). A small
// tokenizer, not a general parser: elements, attributes (read exactly like
// child elements, so the two are interchangeable), character data, the five
// predefined entities, numeric character references below 128, CDATA
// sections, comments and the XML declaration. Elements the record does not
// know are skipped with their content. Elements nested deeper than maxDepth
// fail the read, so damaged or hostile text cannot exhaust memory or stack.
class XMLReader {
public:
    enum TagKind : int {
        processingInstruction = 0,
        comment = 1,
        startTag = 2,
        emptyTag = 3,
        cdataSection = 4,
        endTag = 5,
        endOfInput = 6,
        tagError = 7
    };

    static const int maxDepth = 512;

    // Takes tags and character data from the input buffer.
    class PhraseImporter {
    public:
        // With a null input the importer reads from an empty buffer of its
        // own; a given buffer has its recorded encoding set to UTF-8.
        PhraseImporter(DataBufferIn* input, const XMLGlossary* glossary);
        ~PhraseImporter();
        PhraseImporter(const PhraseImporter&) = delete;
        PhraseImporter& operator=(const PhraseImporter&) = delete;

        // The character data up to the next "<" (left unread), references
        // decoded. False on a read error.
        bool getPhrase(String& text);
        // The next tag: name (with the attribute text of a start or empty
        // tag, or the content of a comment, CDATA section or processing
        // instruction) and namespace prefix. Returns a TagKind.
        int getTag(String& name, String& nameSpace);
        // Decodes entity and character references in place; false when an
        // "&" has no following ";" (the text is then decoded up to there).
        bool fromXMLString(String& text) const;
        // The text that a reference name stands for; "?" for what cannot be
        // decoded.
        String getReplacement(const String& name) const;
        const XMLGlossary* getGlossary() const { return m_glossary; }
        Encoding::Type getEncoding() const;
        void setEncoding(Encoding::Type encoding);
        int getRowPosition() const;
        int getColPosition() const;

        // The same on UTF-8 bytes, for the reader.
        int getPhraseBytes(QByteArray& bytes);
        int getTagBytes(QByteArray& text, QByteArray& nameSpace);
        bool decode(QByteArray& bytes) const;
        void appendReplacement(const char* name, int size, QByteArray& out) const;

    private:
        bool appendUpTo(char delimiter, QByteArray& bytes);

        DataBufferIn* m_input;
        const XMLGlossary* m_glossary;
        const char* m_replacement = "?";
        bool m_ownsInput = false;
    };

    explicit XMLReader(DataBufferIn* input = nullptr);
    ~XMLReader();
    XMLReader(const XMLReader&) = delete;
    XMLReader& operator=(const XMLReader&) = delete;

    void setSource(DataBufferIn* input);

    // Records name their namespace by a prefix ("soap"). Bound here to a URI,
    // such a prefix matches every element (and prefixed attribute) whose own
    // prefix the text binds to that URI - with xmlns:p="..." or, for elements
    // without a prefix, a default xmlns="..." in scope - whatever the text
    // calls it; the prefix bound in the text to another URI does not match.
    // A prefix the text does not declare is compared as written. Without
    // bindings (the usual case) prefixes are compared as written only.
    void bindNameSpace(const String& prefix, const String& uri);

    // Reads the whole input into root. The root is reset with setDefault()
    // when its start tag is met; on failure it keeps what was read so far.
    bool importTo(XMLShipping& root);
    bool fromXMLString(String& text) const;

    // Where reading stopped (the input's row and column); 0 without input.
    int getRowPosition() const;
    int getColPosition() const;

private:
    struct Frame;
    using Attributes = std::vector<std::pair<QByteArray, QByteArray>>;

    bool read(Shipping& root);
    bool startElement(int kind, QByteArray& tag, QByteArray& nameSpace);
    bool endElement(QByteArray& tag, QByteArray& nameSpace);
    bool text(const QByteArray& bytes, bool decoded);
    bool declaration(QByteArray& text);
    bool extractAttributes(QByteArray& tag, Attributes& attributes) const;
    bool readAttributes(Frame& frame, Attributes& attributes);
    ShippingPtr resolve(Frame& frame, const String& name, const String& nameSpace, bool atRoot);
    Frame& push();
    void declareNameSpaces(const Attributes& attributes);
    void toBoundPrefix(QByteArray& prefix) const;

    XMLGlossary m_glossary;
    std::unique_ptr<PhraseImporter> m_importer;
    // The elements being read, the root record first. Frames above m_depth
    // are kept for reuse.
    std::vector<std::unique_ptr<Frame>> m_frames;
    int m_depth = 0;
    // The attributes of the tag being read, kept to reuse their storage.
    Attributes m_attributes;
    // Prefix and URI pairs given to bindNameSpace().
    std::vector<std::pair<QByteArray, QByteArray>> m_bound;
    // The namespace declarations of the text in scope, innermost last
    // (kept only while there are bindings).
    std::vector<std::pair<QByteArray, QByteArray>> m_declared;
};

} // namespace vantorix

#endif
