#ifndef VANTORIX_SERIALISE_XMLLIST_H
#define VANTORIX_SERIALISE_XMLLIST_H

#include "Serialise/Map.h"
#include "Serialise/XMLProxy.h"

#include <type_traits>
#include <vector>

namespace vantorix {

// A ready-made list record: a vector of elements written one after another.
// Elements that are records are written under their own tag; plain values
// (String, short, ...) under elementTag(), which the list then must give.
//     XMLList<Product> m_products{"products"};
template <typename V>
class XMLList : public XMLArray {
public:
    explicit XMLList(const char* tag = nullptr, const char* elementTag = nullptr)
        : m_tag(tag), m_elementTag(elementTag)
    {
    }

    std::vector<V>& elements() { return m_elements; }
    const std::vector<V>& elements() const { return m_elements; }

    const char* getTag() const override { return m_tag ? m_tag : ""; }
    void setTag(const char* tag) override { m_tag = tag; }
    unsigned long shippingSize() const override { return static_cast<unsigned long>(m_elements.size()); }
    bool hasAttributes() const override { return false; }
    void setDefault() override { m_elements.clear(); }

    ShippingPtr getShipping(unsigned long index, bool forAttributes) override
    {
        if (forAttributes || index >= m_elements.size())
            return nullptr;
        return element(m_elements[index]);
    }

    ShippingPtr addShipping(const String& tag, const String&) override
    {
        const char* expected = elementTag();
        if (expected == nullptr || tag.qString() != QLatin1String(expected))
            return nullptr;
        m_elements.emplace_back();
        return element(m_elements.back());
    }

    // The tag of one element: the one given at construction, else a record
    // element's own tag.
    virtual const char* elementTag() const
    {
        if (m_elementTag != nullptr)
            return m_elementTag;
        if constexpr (std::is_base_of<XMLShipping, V>::value) {
            static const V prototype;
            return prototype.getTag();
        } else {
            return nullptr;
        }
    }

private:
    ShippingPtr element(V& value)
    {
        if constexpr (std::is_base_of<XMLShipping, V>::value)
            return ship(value, m_elementTag);
        else
            return ship(value, elementTag());
    }

    std::vector<V> m_elements;
    const char* m_tag;
    const char* m_elementTag;
};

namespace detail {
template <typename V>
struct XMLOwnedValue {
    XMLOwnedValue() : m_value(std::make_unique<V>()) {}
    std::unique_ptr<V> m_value;
};

// A new map value being read: owns the value until the map takes it.
template <typename V>
class XMLMapEntry : private XMLOwnedValue<V>, public XMLAssemblyProxy {
public:
    explicit XMLMapEntry(const char* tag) : XMLAssemblyProxy(*XMLOwnedValue<V>::m_value, tag) {}
    std::unique_ptr<V> take() { return std::move(XMLOwnedValue<V>::m_value); }
};

// The map's own element. Met as the outermost element of a text read into
// the map (a root import), it stands for the map and empties it first, so
// the text replaces what was in memory rather than merging with it (where,
// the first of two equal keys winning, stale entries would beat the file's).
// Met again inside an element of the map, its entries go into the same map,
// which must not be emptied. The map counts its open elements to tell the
// two apart (XMLKeyedMap::m_openElements).
class XMLMapSelf : public XMLMapProxy {
public:
    XMLMapSelf(XMLMap& map, int& openElements) : XMLMapProxy(map), m_openElements(openElements) {}
    ~XMLMapSelf() override
    {
        // An outermost element whose read was cut short never reaches
        // validate(): the count is cleared here so the next import resets.
        if (m_outermost)
            m_openElements = 0;
    }
    void setDefault() override
    {
        if (m_openElements == 0) {
            m_outermost = true;
            target().setDefault();
            m_openElements = 1;
        } else {
            ++m_openElements;
        }
    }

private:
    int& m_openElements;
    bool m_outermost = false;
};
} // namespace detail

// A ready-made keyed collection record of records V, kept in key order. A
// derived class says how a value's key is found:
//     class ProductMap : public XMLKeyedMap<String, Product> {
//     public:
//         ProductMap() : XMLKeyedMap("products") {}
//     protected:
//         String getKey(const Product& p) const override { return p.m_name; }
//     };
// On reading, a value whose key is already present is dropped: the first of
// two equal keys wins.
template <typename K, typename V>
class XMLKeyedMap : public Map<K, V>, public XMLMap {
public:
    explicit XMLKeyedMap(const char* tag = nullptr, const char* valueTag = nullptr)
        : m_tag(tag), m_valueTag(valueTag)
    {
    }

    using Map<K, V>::insert;
    void clear() override { Map<K, V>::clear(); }

    const char* getTag() const override { return m_tag ? m_tag : ""; }
    void setTag(const char* tag) override { m_tag = tag; }
    unsigned long shippingSize() const override { return static_cast<unsigned long>(Map<K, V>::size()); }
    bool hasAttributes() const override { return false; }
    // The reader calls it when an element of the map opens (through the
    // record's proxy), and validate() when the element closes.
    void setDefault() override
    {
        Map<K, V>::clear();
        m_openElements = 1;
    }
    bool validate() override
    {
        if (m_openElements > 0)
            --m_openElements;
        return true;
    }

    ShippingPtr getShipping(unsigned long index, bool forAttributes) override
    {
        if (forAttributes)
            return nullptr;
        V* value = Map<K, V>::valueAt(index);
        if (value == nullptr)
            return nullptr;
        return std::make_unique<XMLAssemblyProxy>(*value, m_valueTag);
    }

    ShippingPtr addShipping(const String& tag, const String&) override
    {
        const QString& name = tag.qString();
        if (name == QLatin1String(valueTag()))
            return std::make_unique<detail::XMLMapEntry<V>>(m_valueTag);
        if (m_tag != nullptr && name == QLatin1String(m_tag))
            return std::make_unique<detail::XMLMapSelf>(*this, m_openElements);
        return nullptr;
    }

    bool insert(Shipping& element) override
    {
        auto* entry = dynamic_cast<detail::XMLMapEntry<V>*>(&element);
        if (entry == nullptr)
            return true; // a nested element of the map itself: nothing to store
        std::unique_ptr<V> value = entry->take();
        if (value) {
            const K key = getKey(*value);
            Map<K, V>::insert(key, std::move(value));
        }
        return true;
    }

    virtual const char* valueTag() const
    {
        if (m_valueTag != nullptr)
            return m_valueTag;
        static const V prototype;
        return prototype.getTag();
    }

protected:
    virtual K getKey(const V& value) const = 0;

private:
    const char* m_tag;
    const char* m_valueTag;
    // How many elements of this map are open in a read now: 0 outside a
    // read, so that the map's own element met then is a root import.
    int m_openElements = 0;
};

} // namespace vantorix

#endif
