#include "Serialise/XMLReader.h"

#include "Serialise/XMLProxy.h"
#include "Utility/DataBufferIn.h"

#include <cstring>

namespace vantorix {

namespace {

// Constant-initialised: the reader runs during static construction too (host
// discovery reads "ProductVersion.xml" before main), when dynamic initialisers
// of this file may not have run yet.
struct ByteSet {
    constexpr explicit ByteSet(const char* bytes)
    {
        for (; *bytes != '\0'; ++bytes)
            flags[static_cast<unsigned char>(*bytes)] = true;
    }
    bool flags[256] = {};
};

constexpr ByteSet lessThan("<");
constexpr ByteSet greaterThan(">");

inline bool isWhite(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool allWhite(const QByteArray& bytes)
{
    for (const char c : bytes) {
        if (!isWhite(c))
            return false;
    }
    return true;
}

int firstWhite(const QByteArray& bytes, int from = 0)
{
    for (int i = from; i < bytes.size(); ++i) {
        if (isWhite(bytes.at(i)))
            return i;
    }
    return -1;
}

void trimLeading(QByteArray& bytes)
{
    int n = 0;
    while (n < bytes.size() && isWhite(bytes.at(n)))
        ++n;
    if (n > 0)
        bytes.remove(0, n);
}

QByteArray trimmed(const QByteArray& bytes, int from, int to)
{
    while (from < to && isWhite(bytes.at(from)))
        ++from;
    while (to > from && isWhite(bytes.at(to - 1)))
        --to;
    return bytes.mid(from, to - from);
}

// Follows the quotes of a tag text from position from on: quote is the
// quote character of a value still open there (0: none). Only the new part
// of a growing text is looked at, so a value full of ">" costs linear time.
char trackQuotes(const QByteArray& text, int from, char quote)
{
    const char* data = text.constData();
    for (int i = from; i < text.size(); ++i) {
        const char c = data[i];
        if (quote != 0) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        }
    }
    return quote;
}

bool equalsTag(const QByteArray& name, const char* tag)
{
    if (tag == nullptr)
        return name.isEmpty();
    const size_t size = std::strlen(tag);
    return static_cast<size_t>(name.size()) == size && std::memcmp(name.constData(), tag, size) == 0;
}

String toString(const QByteArray& bytes)
{
    return bytes.isEmpty() ? String() : String(QString::fromUtf8(bytes));
}

} // namespace

// XMLDeclaration

ShippingPtr XMLDeclaration::getShipping(unsigned long index, bool)
{
    switch (index) {
    case 0: return ship(version, "version", true);
    case 1: return ship(encoding, "encoding", true);
    default: return nullptr;
    }
}

ShippingPtr XMLDeclaration::getShipping(const String& tag, const String&)
{
    static const char* const tags[] = {"version", "encoding"};
    return childByTag(tag, tags, 2);
}

void XMLDeclaration::setDefault()
{
    version.clear();
    encoding.clear();
    encodingType = Encoding::unspecified;
}

bool XMLDeclaration::validate()
{
    if (!encoding.empty()) {
        const String name = encoding.toLowercase();
        if (name == "utf-8")
            encodingType = Encoding::UTF8;
        else if (name == "utf-16")
            encodingType = Encoding::UTF16;
        else
            encodingType = Encoding::unspecified;
    }
    return true;
}

// PhraseImporter

XMLReader::PhraseImporter::PhraseImporter(DataBufferIn* input, const XMLGlossary* glossary)
    : m_input(input), m_glossary(glossary)
{
    if (m_input == nullptr) {
        m_input = new DataBufferIn();
        m_ownsInput = true;
    } else {
        m_input->setEncoding(Encoding::UTF8);
    }
}

XMLReader::PhraseImporter::~PhraseImporter()
{
    if (m_ownsInput)
        delete m_input;
}

Encoding::Type XMLReader::PhraseImporter::getEncoding() const
{
    return m_input->getEncoding();
}

void XMLReader::PhraseImporter::setEncoding(Encoding::Type encoding)
{
    m_input->setEncoding(encoding);
}

int XMLReader::PhraseImporter::getRowPosition() const
{
    return m_input->getRowPosition();
}

int XMLReader::PhraseImporter::getColPosition() const
{
    return m_input->getColPosition();
}

namespace {
// Empties a scratch array but keeps its storage for the next token.
void empty(QByteArray& bytes)
{
    if (bytes.capacity() < 256)
        bytes.reserve(256);
    bytes.resize(0);
}
} // namespace

int XMLReader::PhraseImporter::getPhraseBytes(QByteArray& bytes)
{
    empty(bytes);
    return m_input->scanTo(lessThan.flags, &bytes, false);
}

bool XMLReader::PhraseImporter::getPhrase(String& text)
{
    QByteArray bytes;
    const bool ok = getPhraseBytes(bytes) != DataBufferIn::readError;
    decode(bytes);
    text = toString(bytes);
    return ok;
}

bool XMLReader::PhraseImporter::appendUpTo(char delimiter, QByteArray& bytes)
{
    bytes.append(delimiter);
    return m_input->scanTo(greaterThan.flags, &bytes, true) == DataBufferIn::found;
}

int XMLReader::PhraseImporter::getTagBytes(QByteArray& text, QByteArray& nameSpace)
{
    empty(text);
    nameSpace.clear();
    const int skipped = m_input->scanTo(lessThan.flags, nullptr, true);
    if (skipped == DataBufferIn::exhausted)
        return endOfInput;
    if (skipped != DataBufferIn::found)
        return tagError;
    if (m_input->scanTo(greaterThan.flags, &text, true) != DataBufferIn::found)
        return tagError;
    trimLeading(text);

    // Processing instructions, comments and CDATA sections are told by how
    // they start and run to the ">" that follows their closer; a ">" inside
    // them is kept.
    int kind = -1;
    const char* closer = nullptr;
    if (text.startsWith('?')) {
        kind = processingInstruction;
        closer = "?";
        text.remove(0, 1);
    } else if (text.startsWith("!--")) {
        kind = comment;
        closer = "--";
        text.remove(0, 3);
    } else if (text.startsWith("![CDATA[")) {
        kind = cdataSection;
        closer = "]]";
        text.remove(0, 8);
    } else if (text.startsWith('!')) {
        return tagError; // no document type declarations
    }
    if (kind >= 0) {
        while (!text.endsWith(closer)) {
            if (!appendUpTo('>', text))
                return tagError;
        }
        text.chop(static_cast<int>(std::strlen(closer)));
        return kind;
    }

    // An element tag; a ">" inside a quoted attribute value belongs to it.
    if (!text.startsWith('/')) {
        int scanned = 0;
        char quote = 0;
        for (;;) {
            quote = trackQuotes(text, scanned, quote);
            if (quote == 0)
                break;
            scanned = text.size();
            if (!appendUpTo('>', text))
                return tagError;
        }
    }
    if (text.isEmpty())
        return tagError;
    kind = startTag;
    if (text.endsWith('/')) {
        text.chop(1);
        kind = emptyTag;
        if (text.isEmpty() || text.startsWith('/'))
            return tagError;
    } else if (text.startsWith('/')) {
        text.remove(0, 1);
        kind = endTag;
    }
    const int white = firstWhite(text);
    const int colon = text.indexOf(':');
    if (colon >= 0 && (white < 0 || colon < white)) {
        nameSpace = text.left(colon);
        text.remove(0, colon + 1);
    }
    return kind;
}

int XMLReader::PhraseImporter::getTag(String& name, String& nameSpace)
{
    QByteArray text;
    QByteArray prefix;
    const int kind = getTagBytes(text, prefix);
    name = toString(text);
    nameSpace = toString(prefix);
    return kind;
}

void XMLReader::PhraseImporter::appendReplacement(const char* name, int size, QByteArray& out) const
{
    if (m_glossary == nullptr) {
        out.append(m_replacement);
        return;
    }
    const char c = m_glossary->lookup(name, size);
    if (c != '\0') {
        out.append(c);
        return;
    }
    // Numeric references: "#x" and upper-case hexadecimal digits, or "#" and
    // decimal digits, each up to the first other character.
    quint64 number = 0;
    if (size >= 2 && name[0] == '#' && name[1] == 'x') {
        for (int i = 2; i < size; ++i) {
            const char d = name[i];
            int digit;
            if (d >= '0' && d <= '9')
                digit = d - '0';
            else if (d >= 'A' && d <= 'F')
                digit = d - 'A' + 10;
            else
                break;
            number = number * 16 + static_cast<quint64>(digit);
        }
    } else if (size >= 1 && name[0] == '#') {
        for (int i = 1; i < size && name[i] >= '0' && name[i] <= '9'; ++i)
            number = number * 10 + static_cast<quint64>(name[i] - '0');
    }
    if (number == 0) {
        out.append(m_replacement);
        return;
    }
    // The bytes of the number, most significant first; only ASCII from the
    // blank to DEL (0x20-0x7F), tab, line feed and carriage return are taken:
    // the other control bytes read as the replacement.
    char bytes[8];
    int count = 0;
    while (number != 0) {
        const unsigned char b = static_cast<unsigned char>(number & 0xFF);
        if (!((b >= 0x20 && b <= 0x7F) || b == '\t' || b == '\n' || b == '\r')) {
            out.append(m_replacement);
            return;
        }
        bytes[count++] = static_cast<char>(b);
        number >>= 8;
    }
    while (count > 0)
        out.append(bytes[--count]);
}

String XMLReader::PhraseImporter::getReplacement(const String& name) const
{
    const QByteArray bytes = name.toByteArray();
    QByteArray out;
    appendReplacement(bytes.constData(), bytes.size(), out);
    return toString(out);
}

bool XMLReader::PhraseImporter::decode(QByteArray& bytes) const
{
    int amp = bytes.indexOf('&');
    if (amp < 0)
        return true;
    QByteArray out;
    out.reserve(bytes.size());
    int pos = 0;
    bool ok = true;
    while (amp >= 0) {
        const int semicolon = bytes.indexOf(';', amp + 1);
        if (semicolon < 0) {
            ok = false;
            break;
        }
        out.append(bytes.constData() + pos, amp - pos);
        appendReplacement(bytes.constData() + amp + 1, semicolon - amp - 1, out);
        pos = semicolon + 1;
        amp = bytes.indexOf('&', pos);
    }
    out.append(bytes.constData() + pos, bytes.size() - pos);
    bytes.swap(out);
    return ok;
}

bool XMLReader::PhraseImporter::fromXMLString(String& text) const
{
    QByteArray bytes = text.toByteArray();
    const bool ok = decode(bytes);
    text = toString(bytes);
    return ok;
}

// XMLReader

struct XMLReader::Frame {
    ShippingPtr owner;
    Shipping* object = nullptr;
    XMLShipping* xml = nullptr;
    ShippingContainer* container = nullptr;
    bool skipping = false;
    bool hasText = false;
    QByteArray text;
    // How many namespace declarations were in scope before this element's.
    size_t declaredMark = 0;

    void set(Shipping* target)
    {
        object = target;
        xml = xmlShippingOf(*target);
        container = target->asContainer();
    }
    void set(ShippingPtr child)
    {
        owner = std::move(child);
        set(owner.get());
    }
    void reset()
    {
        owner.reset();
        object = nullptr;
        xml = nullptr;
        container = nullptr;
        skipping = false;
        hasText = false;
        text.clear();
        declaredMark = 0;
    }
    XMLMap* map() const { return container != nullptr ? object->asMap() : nullptr; }
};

XMLReader::XMLReader(DataBufferIn* input) : m_importer(new PhraseImporter(input, &m_glossary)) {}

XMLReader::~XMLReader() = default;

void XMLReader::setSource(DataBufferIn* input)
{
    m_importer.reset(new PhraseImporter(input, &m_glossary));
}

bool XMLReader::fromXMLString(String& text) const
{
    return m_importer->fromXMLString(text);
}

void XMLReader::bindNameSpace(const String& prefix, const String& uri)
{
    const QByteArray name = prefix.toByteArray();
    for (auto& bound : m_bound) {
        if (bound.first == name) {
            bound.second = uri.toByteArray();
            return;
        }
    }
    m_bound.emplace_back(name, uri.toByteArray());
}

void XMLReader::declareNameSpaces(const Attributes& attributes)
{
    for (const auto& attribute : attributes) {
        const QByteArray& key = attribute.first;
        if (key == "xmlns" || key.startsWith("xmlns:")) {
            QByteArray uri = attribute.second;
            m_importer->decode(uri);
            m_declared.emplace_back(key.size() > 5 ? key.mid(6) : QByteArray(), std::move(uri));
        }
    }
}

void XMLReader::toBoundPrefix(QByteArray& prefix) const
{
    const QByteArray* uri = nullptr;
    for (auto it = m_declared.rbegin(); it != m_declared.rend(); ++it) {
        if (it->first == prefix) {
            uri = &it->second;
            break;
        }
    }
    if (uri == nullptr)
        return; // not declared in the text: compared as written
    for (const auto& bound : m_bound) {
        if (bound.second == *uri) {
            prefix = bound.first;
            return;
        }
    }
    // A bound prefix that the text uses for another namespace becomes that
    // namespace's URI, which no record's prefix equals.
    for (const auto& bound : m_bound) {
        if (bound.first == prefix) {
            prefix = *uri;
            return;
        }
    }
}

int XMLReader::getRowPosition() const
{
    return m_importer ? m_importer->getRowPosition() : 0;
}

int XMLReader::getColPosition() const
{
    return m_importer ? m_importer->getColPosition() : 0;
}

XMLReader::Frame& XMLReader::push()
{
    ++m_depth;
    if (static_cast<int>(m_frames.size()) <= m_depth)
        m_frames.push_back(std::make_unique<Frame>());
    return *m_frames[static_cast<size_t>(m_depth)];
}

bool XMLReader::importTo(XMLShipping& root)
{
    auto* object = dynamic_cast<Shipping*>(&root);
    if (object == nullptr || !m_importer)
        return false;
    if (m_frames.empty())
        m_frames.push_back(std::make_unique<Frame>());
    m_depth = 0;
    m_declared.clear();
    m_frames.front()->reset();
    m_frames.front()->set(object);
    const bool result = read(*object);
    m_declared.clear();
    // Proxies and unread map values of an aborted read go here.
    for (int i = m_depth; i >= 0; --i)
        m_frames[static_cast<size_t>(i)]->reset();
    m_depth = 0;
    return result;
}

bool XMLReader::read(Shipping&)
{
    QByteArray phrase;
    QByteArray tag;
    QByteArray nameSpace;
    for (;;) {
        if (m_importer->getPhraseBytes(phrase) == DataBufferIn::readError)
            return false;
        if (!phrase.isEmpty() && !text(phrase, false))
            return false;
        const int kind = m_importer->getTagBytes(tag, nameSpace);
        switch (kind) {
        case processingInstruction:
            if (!declaration(tag))
                return false;
            break;
        case comment:
            break;
        case startTag:
        case emptyTag:
            if (!startElement(kind, tag, nameSpace))
                return false;
            break;
        case cdataSection:
            if (!text(tag, true))
                return false;
            break;
        case endTag: {
            if (m_depth == 0) {
                // The root's own end tag without its start: it ends the read.
                Frame& root = *m_frames.front();
                if (!m_importer->decode(tag) || !m_importer->decode(nameSpace))
                    return false;
                if (!m_bound.empty())
                    toBoundPrefix(nameSpace);
                const char* rootNameSpace = root.xml ? root.xml->getNameSpace() : nullptr;
                if (!root.xml || !equalsTag(tag, root.xml->getTag())
                    || (rootNameSpace != nullptr && *rootNameSpace != '\0' && !equalsTag(nameSpace, rootNameSpace)))
                    return false;
                return root.object->validate();
            }
            if (!endElement(tag, nameSpace))
                return false;
            break;
        }
        case endOfInput:
            return m_depth == 0;
        default:
            return false;
        }
    }
}

bool XMLReader::text(const QByteArray& bytes, bool cdata)
{
    Frame& frame = *m_frames[static_cast<size_t>(m_depth)];
    if (frame.skipping)
        return true;
    if (frame.container == nullptr) {
        // A leaf collects all of its text (across comments and CDATA
        // sections) and reads it at its end tag. Text around a leaf root is
        // outside any element.
        if (m_depth == 0)
            return true;
        if (cdata) {
            frame.text.append(bytes);
        } else {
            QByteArray decoded = bytes;
            m_importer->decode(decoded);
            frame.text.append(decoded);
        }
        frame.hasText = true;
        return true;
    }
    // White space between the children of a container means nothing.
    if (allWhite(bytes))
        return true;
    QByteArray decoded = bytes;
    if (!cdata)
        m_importer->decode(decoded);
    return frame.object->read(toString(decoded));
}

ShippingPtr XMLReader::resolve(Frame& frame, const String& name, const String& nameSpace, bool atRoot)
{
    ShippingPtr child;
    if (frame.container != nullptr) {
        if (!frame.container->isRepeating()) {
            if (frame.container->shippingSize() > 0) {
                if (XMLAssembly* assembly = frame.object->asAssembly())
                    child = assembly->getShipping(name, nameSpace);
            }
        } else if (XMLArray* array = frame.object->asArray()) {
            child = array->addShipping(name, nameSpace);
        }
    }
    if (child || !atRoot || frame.xml == nullptr)
        return child;
    // The outermost element of the text is the root record itself.
    const char* tag = frame.xml->getTag();
    if (tag == nullptr || name != tag)
        return nullptr;
    const char* rootNameSpace = frame.xml->getNameSpace();
    if (rootNameSpace != nullptr && *rootNameSpace != '\0' && nameSpace != rootNameSpace)
        return nullptr;
    if (XMLMap* map = frame.object->asMap())
        return std::make_unique<XMLMapProxy>(*map);
    if (XMLArray* array = frame.object->asArray())
        return std::make_unique<XMLArrayProxy>(*array);
    if (XMLAssembly* assembly = frame.object->asAssembly())
        return std::make_unique<XMLAssemblyProxy>(*assembly);
    if (XMLUnit* unit = frame.object->asXMLUnit())
        return std::make_unique<XMLUnitProxy>(*unit);
    return nullptr;
}

bool XMLReader::extractAttributes(QByteArray& tag, Attributes& attributes) const
{
    attributes.clear();
    trimLeading(tag);
    const int white = firstWhite(tag);
    if (white < 0)
        return true;
    int pos = white;
    const int size = tag.size();
    for (;;) {
        while (pos < size && isWhite(tag.at(pos)))
            ++pos;
        if (pos >= size)
            break;
        const int equals = tag.indexOf('=', pos);
        if (equals < 0)
            return false;
        QByteArray key = trimmed(tag, pos, equals);
        if (key.isEmpty() || firstWhite(key) >= 0)
            return false;
        int open = equals + 1;
        while (open < size && tag.at(open) != '"' && tag.at(open) != '\'')
            ++open;
        if (open >= size)
            return false;
        const int close = tag.indexOf(tag.at(open), open + 1);
        if (close < 0)
            return false;
        attributes.emplace_back(std::move(key), tag.mid(open + 1, close - open - 1));
        pos = close + 1;
    }
    tag.truncate(white);
    return true;
}

bool XMLReader::readAttributes(Frame& frame, Attributes& attributes)
{
    for (auto& attribute : attributes) {
        QByteArray& key = attribute.first;
        QByteArray prefix;
        const int colon = key.indexOf(':');
        if (colon >= 0) {
            prefix = key.left(colon);
            key.remove(0, colon + 1);
        }
        if (!m_importer->decode(key) || !m_importer->decode(prefix))
            return false;
        // An attribute without a prefix has no namespace, the default one
        // included.
        if (!m_bound.empty() && !prefix.isEmpty() && prefix != "xmlns")
            toBoundPrefix(prefix);
        if (frame.skipping)
            continue;
        // Read exactly like a child element holding the value as its text.
        ShippingPtr child = resolve(frame, toString(key), toString(prefix), false);
        if (!child)
            continue;
        const bool isContainer = child->asContainer() != nullptr;
        if (isContainer)
            child->setDefault();
        QByteArray& value = attribute.second;
        m_importer->decode(value);
        if (!value.isEmpty() && !(isContainer && allWhite(value))) {
            if (!child->read(toString(value)))
                return false;
        }
        if (!child->validate())
            return false;
        if (XMLMap* map = frame.map()) {
            if (!map->insert(*child))
                return false;
        }
    }
    return true;
}

bool XMLReader::startElement(int kind, QByteArray& tag, QByteArray& nameSpace)
{
    Attributes& attributes = m_attributes;
    if (!extractAttributes(tag, attributes))
        return false;
    if (!m_importer->decode(tag) || !m_importer->decode(nameSpace))
        return false;
    if (m_depth >= maxDepth)
        return false;
    // The element's own declarations are in scope for its name already.
    const size_t declaredMark = m_declared.size();
    if (!m_bound.empty()) {
        declareNameSpaces(attributes);
        toBoundPrefix(nameSpace);
    }
    Frame& parent = *m_frames[static_cast<size_t>(m_depth)];
    ShippingPtr child;
    if (!parent.skipping)
        child = resolve(parent, toString(tag), toString(nameSpace), m_depth == 0);
    if (!child) {
        if (kind == emptyTag) {
            m_declared.resize(declaredMark);
            return true;
        }
        Frame& frame = push();
        frame.set(std::make_unique<TagSeeker>(tag, nameSpace));
        frame.skipping = true;
        frame.declaredMark = declaredMark;
        return true;
    }
    Frame& frame = push();
    frame.set(std::move(child));
    frame.declaredMark = declaredMark;
    if (frame.container != nullptr)
        frame.object->setDefault();
    if (!readAttributes(frame, attributes))
        return false;
    if (kind == startTag)
        return true;
    // An empty element is complete now.
    bool ok = frame.object->validate();
    if (ok) {
        if (XMLMap* map = parent.map())
            ok = map->insert(*frame.object);
    }
    frame.reset();
    --m_depth;
    m_declared.resize(declaredMark);
    return ok;
}

bool XMLReader::endElement(QByteArray& tag, QByteArray& nameSpace)
{
    if (!m_importer->decode(tag) || !m_importer->decode(nameSpace))
        return false;
    if (!m_bound.empty())
        toBoundPrefix(nameSpace);
    Frame& frame = *m_frames[static_cast<size_t>(m_depth)];
    if (frame.xml == nullptr || !equalsTag(tag, frame.xml->getTag()))
        return false;
    const char* ownNameSpace = frame.xml->getNameSpace();
    if (ownNameSpace != nullptr && *ownNameSpace != '\0' && !equalsTag(nameSpace, ownNameSpace))
        return false;
    Frame& parent = *m_frames[static_cast<size_t>(m_depth - 1)];
    bool ok = true;
    if (!frame.skipping) {
        if (frame.container == nullptr && frame.hasText)
            ok = frame.object->read(toString(frame.text));
        if (ok)
            ok = frame.object->validate();
        if (ok) {
            if (XMLMap* map = parent.map())
                ok = map->insert(*frame.object);
        }
    }
    m_declared.resize(frame.declaredMark);
    frame.reset();
    --m_depth;
    return ok;
}

bool XMLReader::declaration(QByteArray& text)
{
    const int white = firstWhite(text);
    QByteArray name = white < 0 ? text : text.left(white);
    m_importer->decode(name);
    if (name.toLower() != "xml")
        return true;
    Attributes attributes;
    if (!extractAttributes(text, attributes))
        return false;
    if (attributes.empty())
        return true;
    XMLDeclaration declaration;
    Frame frame;
    frame.set(&declaration);
    if (!readAttributes(frame, attributes) || !declaration.validate())
        return false;
    m_importer->setEncoding(declaration.encodingType);
    return true;
}

} // namespace vantorix
