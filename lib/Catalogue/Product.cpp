#include "Catalogue/Product.h"

#include "Environment/Addon.h"
#include "Serialise/XMLDateTime.h"

#include <QCryptographicHash>

namespace vantorix {

namespace {
const char* const childTags[] = {"id", "edit", "name", "code", "history", "platforms"};

// The white space that file names must not keep: blank, tab, carriage return
// and line feed.
bool isWhiteSpace(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\r') || c == QLatin1Char('\n');
}
} // namespace

const char* const Product::tag = "product";

Product::Product(bool fromRunningApplication) : m_edit(true)
{
    if (fromRunningApplication && addon != nullptr) {
        if (const Product* own = addon->getProductInfo())
            *this = *own;
    }
}

Product::Product(const String& id, const String& name, const String& code)
    : m_id(id), m_edit(true), m_name(name), m_code(code)
{
}

Product::Product(const String& id, const String& name, const String& code, const RegisteredPlatform& platform)
    : Product(id, name, code)
{
    m_platforms.add(platform);
}

Product::Product(const Product& other)
    : Shipping(other),
      XMLShipping(other),
      XMLAssembly(other),
      m_id(other.m_id),
      m_edit(other.m_edit),
      m_name(other.m_name),
      m_code(other.m_code),
      m_history(other.m_history ? std::make_unique<ProductHistory>(*other.m_history) : nullptr),
      m_platforms(other.m_platforms)
{
}

Product& Product::operator=(const Product& other)
{
    if (this != &other) {
        m_id = other.m_id;
        m_edit = other.m_edit;
        m_name = other.m_name;
        m_code = other.m_code;
        m_history = other.m_history ? std::make_unique<ProductHistory>(*other.m_history) : nullptr;
        m_platforms = other.m_platforms;
    }
    return *this;
}

Product::~Product() = default;

void Product::setHistory(const ProductHistory& history)
{
    m_history = std::make_unique<ProductHistory>(history);
}

void Product::setName(const String& name)
{
    if (m_name == name)
        return;
    m_name = name;
    markEditTime();
}

void Product::setCode(const String& code)
{
    if (m_code == code)
        return;
    m_code = code;
    markEditTime();
}

void Product::markEditTime()
{
    m_edit = Time(true);
}

bool Product::operator==(const Product& other) const
{
    return m_id == other.m_id && m_name == other.m_name && m_code == other.m_code;
}

String Product::getURLName() const
{
    return getURLName(m_name);
}

String Product::getURLName(const String& name)
{
    QString text = name.qString().toLower();
    int start = 0;
    int end = text.size();
    while (start < end && isWhiteSpace(text[start]))
        ++start;
    while (end > start && isWhiteSpace(text[end - 1]))
        --end;
    text = text.mid(start, end - start);
    QString safe;
    safe.reserve(text.size());
    for (const QChar c : text) {
        if (isWhiteSpace(c))
            safe += QLatin1Char('_');
        else if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() < 0x20
                 || (safe.isEmpty() && c == QLatin1Char('.')))
            safe += QLatin1Char('%') + QString::number(c.unicode(), 16).rightJustified(2, QLatin1Char('0')).toUpper();
        else
            safe += c;
    }
    // A name too long for a file name keeps its start and gets a digest of
    // the whole form, so that two long names still differ.
    if (safe.toUtf8().size() > maxURLNameBytes) {
        const QByteArray digest =
            QCryptographicHash::hash(safe.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
        QString head = safe.left(maxURLNameBytes / 4);
        if (!head.isEmpty() && head.at(head.size() - 1).isHighSurrogate())
            head.chop(1);
        safe = head + QLatin1Char('-') + QString::fromLatin1(digest);
    }
    return String(safe);
}

bool Product::mergeInstallation(const RegisteredPlatform& platform)
{
    return m_platforms.mergeInstallation(platform);
}

bool Product::deregisterOldExecutables()
{
    bool removed = false;
    for (auto& entry : m_platforms)
        removed = entry.second->deregisterOldExecutables() || removed;
    return removed;
}

ShippingPtr Product::getShipping(unsigned long index, bool)
{
    switch (index) {
    case 0: return ship(m_id, childTags[0], true);
    case 1: return std::make_unique<XMLDateTime>(m_edit, childTags[1], true);
    case 2: return ship(m_name, childTags[2]);
    case 3: return ship(m_code, childTags[3]);
    case 4: return m_history ? shipIf(!m_history->empty(), *m_history, childTags[4]) : nullptr;
    case 5: return shipIf(m_platforms.size() > 0, m_platforms, childTags[5]);
    default: return nullptr;
    }
}

ShippingPtr Product::getShipping(const String& tag, const String&)
{
    if (tag == childTags[4] && !m_history)
        m_history = std::make_unique<ProductHistory>();
    return childByTag(tag, childTags, 6);
}

void Product::setDefault()
{
    m_id.clear();
    m_edit = Time(true);
    m_name.clear();
    m_code.clear();
    m_history.reset();
    m_platforms.clear();
}

} // namespace vantorix
