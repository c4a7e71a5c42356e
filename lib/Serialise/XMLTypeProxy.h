#ifndef VANTORIX_SERIALISE_XMLTYPEPROXY_H
#define VANTORIX_SERIALISE_XMLTYPEPROXY_H

#include "Database/Guid.h"
#include "Serialise/XMLShipping.h"

#include <iterator>
#include <type_traits>

namespace vantorix {

// The names under which an enumeration is written, by enumerator index.
// Specialise it next to each shipped enumeration:
//     template <> struct XMLEnumTable<Colour> {
//         static constexpr const char* names[] = {"red", "green", "blue"};
//     };
template <typename E>
struct XMLEnumTable;

// How a value of type T becomes text and back. Specialised for the plain leaf
// types below and for every enumeration that has an XMLEnumTable; further
// value types can be shipped by specialising it (or by deriving from XMLUnit).
template <typename T, typename Enable = void>
struct XMLValueText;

template <>
struct XMLValueText<short> {
    static bool write(const short& value, String& text);
    // Parsed as a 32-bit decimal and kept to 16 bits; bad text reads as 0.
    static bool read(short& value, const String& text);
    static void setDefault(short& value) { value = 0; }
};

template <>
struct XMLValueText<String> {
    static bool write(const String& value, String& text);
    static bool read(String& value, const String& text);
    static void setDefault(String& value) { value.clear(); }
};

template <>
struct XMLValueText<bool> {
    // "1" or "0".
    static bool write(const bool& value, String& text);
    // "true"/"1" and "false"/"0" in any letter case; any other text fails.
    static bool read(bool& value, const String& text);
    static void setDefault(bool& value) { value = false; }
};

template <>
struct XMLValueText<Guid> {
    static bool write(const Guid& value, String& text);
    // Malformed text gives the null Guid.
    static bool read(Guid& value, const String& text);
    static void setDefault(Guid& value) { value.clear(); }
};

template <>
struct XMLValueText<double> {
    // At most 6 significant digits.
    static bool write(const double& value, String& text);
    // Bad text reads as 0.
    static bool read(double& value, const String& text);
    static void setDefault(double& value) { value = 0.0; }
};

// Whether the enumeration E has a fixed underlying type ("enum E : int"): only
// then is every value of that type a valid E, so that a value cast from an
// integer or read from a damaged file is defined behaviour (and refused by
// the writer) rather than undefined. Shipped enumerations should have one.
template <typename E, typename = void>
struct HasFixedUnderlyingType : std::false_type {};
template <typename E>
struct HasFixedUnderlyingType<E, std::void_t<decltype(E{std::underlying_type_t<E>{}})>> : std::true_type {};

// Enumerations: written as the name at the enumerator's index, read as the
// index of the equal name (case-sensitive); an unknown name or index fails.
bool writeEnumName(int index, const char* const* names, int count, String& text);
bool readEnumName(int& index, const char* const* names, int count, const String& text);

template <typename E>
struct XMLValueText<E, std::enable_if_t<std::is_enum<E>::value>> {
    static bool write(const E& value, String& text)
    {
        return writeEnumName(static_cast<int>(value), XMLEnumTable<E>::names,
                             static_cast<int>(std::size(XMLEnumTable<E>::names)), text);
    }
    static bool read(E& value, const String& text)
    {
        int index = 0;
        if (!readEnumName(index, XMLEnumTable<E>::names,
                          static_cast<int>(std::size(XMLEnumTable<E>::names)), text))
            return false;
        value = static_cast<E>(index);
        return true;
    }
    static void setDefault(E& value) { value = static_cast<E>(0); }
};

// A leaf bound to a member variable of type T (not owned) under a tag (not
// owned; usually a static string).
template <typename T>
class XMLTypeProxy : public XMLUnit {
public:
    XMLTypeProxy(T& value, const char* tag, bool isAttribute = false, const char* nameSpace = nullptr)
        : XMLUnit(isAttribute), m_value(value), m_tag(tag), m_nameSpace(nameSpace)
    {
    }

    bool write(String& text) override { return XMLValueText<T>::write(m_value, text); }
    virtual const T& getValue() const { return m_value; }
    const char* getTag() const override { return m_tag; }
    const char* getNameSpace() const override { return m_nameSpace; }
    void setDefault() override { XMLValueText<T>::setDefault(m_value); }
    void setTag(const char* tag) override { m_tag = tag; }
    bool read(const String& text) override { return XMLValueText<T>::read(m_value, text); }
    virtual void setValue(const T& value) { m_value = value; }

private:
    T& m_value;
    const char* m_tag;
    const char* m_nameSpace;
};

namespace detail {
// Holds the key of an XMLUnitKey; a base so that it exists before the proxy
// part binds to it.
template <typename T>
struct XMLKeyStore {
    explicit XMLKeyStore(const T& key) : m_key(key) {}
    T m_key;
};
} // namespace detail

// A leaf that owns a copy of its value; used where a map writes its key.
template <typename T>
class XMLUnitKey : private detail::XMLKeyStore<T>, public XMLTypeProxy<T> {
public:
    XMLUnitKey(const T& value, const char* tag, bool isAttribute = false, const char* nameSpace = nullptr)
        : detail::XMLKeyStore<T>(value), XMLTypeProxy<T>(detail::XMLKeyStore<T>::m_key, tag, isAttribute, nameSpace)
    {
    }
    XMLUnitKey(const XMLUnitKey&) = delete;
    XMLUnitKey& operator=(const XMLUnitKey&) = delete;
};

// A leaf that forwards to another leaf (not owned), optionally under another
// tag, namespace and attribute flag.
class XMLUnitProxy : public XMLUnit {
public:
    XMLUnitProxy(XMLUnit& target, const char* tag = nullptr, bool isAttribute = false,
                 const char* nameSpace = nullptr);
    ~XMLUnitProxy() override;

    bool write(String& text) override { return m_target.write(text); }
    const char* getTag() const override { return m_tag ? m_tag : m_target.getTag(); }
    const char* getNameSpace() const override { return m_nameSpace ? m_nameSpace : m_target.getNameSpace(); }
    void setDefault() override { m_target.setDefault(); }
    void setTag(const char* tag) override { m_tag = tag; }
    bool read(const String& text) override { return m_target.read(text); }
    bool validate() override { return m_target.validate(); }

private:
    XMLUnit& m_target;
    const char* m_tag;
    const char* m_nameSpace;
};

} // namespace vantorix

#endif
