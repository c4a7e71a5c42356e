#ifndef VANTORIX_SERIALISE_XMLPROXY_H
#define VANTORIX_SERIALISE_XMLPROXY_H

#include "Serialise/XMLTypeProxy.h"

#include <type_traits>

namespace vantorix {

// Views of a record, list or map (the target, not owned) under another tag
// and namespace. A null tag or namespace means the target's own. Everything
// but the tag, the namespace and the essential flag forwards to the target,
// so a record's getShipping can hand out a nested member without copying it.
class XMLAssemblyProxy : public XMLAssembly {
public:
    XMLAssemblyProxy(XMLAssembly& target, const char* tag = nullptr, const char* nameSpace = nullptr);
    ~XMLAssemblyProxy() override;

    XMLAssembly& target() const { return m_target; }

    const char* getTag() const override;
    const char* getNameSpace() const override;
    void setTag(const char* tag) override { m_tag = tag; }
    unsigned long shippingSize() const override { return m_target.shippingSize(); }
    bool hasAttributes() const override { return m_target.hasAttributes(); }
    bool hasEnded() const override { return m_target.hasEnded(); }
    ShippingPtr getShipping(unsigned long index, bool forAttributes) override;
    ShippingPtr getShipping(const String& tag, const String& nameSpace) override;
    void setDefault() override { m_target.setDefault(); }
    bool read(const String& text) override { return m_target.read(text); }
    bool validate() override { return m_target.validate(); }

private:
    XMLAssembly& m_target;
    const char* m_tag;
    const char* m_nameSpace;
};

class XMLArrayProxy : public XMLArray {
public:
    XMLArrayProxy(XMLArray& target, const char* tag = nullptr, const char* nameSpace = nullptr);
    ~XMLArrayProxy() override;

    XMLArray& target() const { return m_target; }

    const char* getTag() const override;
    const char* getNameSpace() const override;
    void setTag(const char* tag) override { m_tag = tag; }
    unsigned long shippingSize() const override { return m_target.shippingSize(); }
    bool hasAttributes() const override { return m_target.hasAttributes(); }
    bool hasEnded() const override { return m_target.hasEnded(); }
    ShippingPtr getShipping(unsigned long index, bool forAttributes) override;
    ShippingPtr addShipping() override { return m_target.addShipping(); }
    ShippingPtr addShipping(const String& tag, const String& nameSpace) override;
    void setDefault() override { m_target.setDefault(); }
    bool read(const String& text) override { return m_target.read(text); }
    bool validate() override { return m_target.validate(); }

private:
    XMLArray& m_target;
    const char* m_tag;
    const char* m_nameSpace;
};

class XMLMapProxy : public XMLMap {
public:
    XMLMapProxy(XMLMap& target, const char* tag = nullptr, const char* nameSpace = nullptr);
    ~XMLMapProxy() override;

    XMLMap& target() const { return m_target; }

    const char* getTag() const override;
    const char* getNameSpace() const override;
    void setTag(const char* tag) override { m_tag = tag; }
    unsigned long shippingSize() const override { return m_target.shippingSize(); }
    bool hasAttributes() const override { return m_target.hasAttributes(); }
    bool hasEnded() const override { return m_target.hasEnded(); }
    ShippingPtr getShipping(unsigned long index, bool forAttributes) override;
    ShippingPtr addShipping() override { return m_target.addShipping(); }
    ShippingPtr addShipping(const String& tag, const String& nameSpace) override;
    bool insert(Shipping& element) override { return m_target.insert(element); }
    void setDefault() override { m_target.setDefault(); }
    bool read(const String& text) override { return m_target.read(text); }
    bool validate() override { return m_target.validate(); }

private:
    XMLMap& m_target;
    const char* m_tag;
    const char* m_nameSpace;
};

// The child that a record's getShipping hands out for one member, with the
// right proxy for the member's kind: a map through XMLMapProxy, a list through
// XMLArrayProxy, a nested record through XMLAssemblyProxy (the tag given here
// overrides the record's own; null keeps it), any other value through
// XMLTypeProxy<T> (the attribute flag applies to leaves only).
template <typename T>
ShippingPtr ship(T& member, const char* tag, bool isAttribute = false, const char* nameSpace = nullptr)
{
    if constexpr (std::is_base_of<XMLMap, T>::value) {
        (void)isAttribute;
        return std::make_unique<XMLMapProxy>(member, tag, nameSpace);
    } else if constexpr (std::is_base_of<XMLArray, T>::value) {
        (void)isAttribute;
        return std::make_unique<XMLArrayProxy>(member, tag, nameSpace);
    } else if constexpr (std::is_base_of<XMLAssembly, T>::value) {
        (void)isAttribute;
        return std::make_unique<XMLAssemblyProxy>(member, tag, nameSpace);
    } else if constexpr (std::is_base_of<XMLUnit, T>::value) {
        return std::make_unique<XMLUnitProxy>(member, tag, isAttribute, nameSpace);
    } else {
        return std::make_unique<XMLTypeProxy<T>>(member, tag, isAttribute, nameSpace);
    }
}

// The same, with the essential flag set: false leaves the member out of the
// written text (for example an empty optional value).
template <typename T>
ShippingPtr shipIf(bool essential, T& member, const char* tag, bool isAttribute = false,
                   const char* nameSpace = nullptr)
{
    ShippingPtr child = ship(member, tag, isAttribute, nameSpace);
    child->setEssential(essential);
    return child;
}

} // namespace vantorix

#endif
