#ifndef VANTORIX_SERIALISE_XMLSHIPPING_H
#define VANTORIX_SERIALISE_XMLSHIPPING_H

#include "Serialise/Shipping.h"

namespace vantorix {

// Anything that has an XML element name and an optional namespace prefix.
class XMLShipping {
public:
    XMLShipping() = default;
    XMLShipping(const XMLShipping&) = default;
    XMLShipping& operator=(const XMLShipping&) = default;
    virtual ~XMLShipping();

    // The element name, zero-terminated; usually a static string.
    virtual const char* getTag() const = 0;
    // The namespace prefix, or null for none.
    virtual const char* getNameSpace() const { return nullptr; }
    virtual void setTag(const char*) {}
};

// Base class of every record: a fixed, ordered list of named children.
class XMLAssembly : public virtual ShippingAssembly, public virtual XMLShipping {
public:
    ~XMLAssembly() override;

    using ShippingContainer::getShipping;
    // A new child for the element named tag, or null when the record has no
    // such child. Records usually implement it with findTag() below.
    virtual ShippingPtr getShipping(const String& tag, const String& nameSpace) = 0;

    XMLShipping* asXML() override { return this; }
    XMLAssembly* asAssembly() override { return this; }

protected:
    // The index of tag in a record's table of child tags (exact comparison),
    // or -1. The usual getShipping(tag, nameSpace) is
    //     return childByTag(tag, childTags, count);
    static long findTag(const String& tag, const char* const* tags, unsigned long count);
    ShippingPtr childByTag(const String& tag, const char* const* tags, unsigned long count);
};

// Base class of every list record: a repeated sequence of like elements.
class XMLArray : public virtual ShippingArray, public virtual XMLShipping {
public:
    ~XMLArray() override;

    using ShippingContainer::getShipping;
    virtual ShippingPtr addShipping() { return nullptr; }
    // Creates a new element for an element named tag read from the text, or
    // returns null when tag is not an element name of the list.
    virtual ShippingPtr addShipping(const String& tag, const String& nameSpace) = 0;

    XMLShipping* asXML() override { return this; }
    XMLArray* asArray() override { return this; }
};

// Base class of every keyed collection record.
class XMLMap : public XMLArray {
public:
    ~XMLMap() override;

    // Called once an element made by addShipping has been read completely;
    // stores it in the map. False aborts the read.
    virtual bool insert(Shipping& element) = 0;

    XMLMap* asMap() override { return this; }
};

// A leaf: its value is written as element text or, with the attribute flag,
// as an attribute of the parent element.
class XMLUnit : public ShippingUnit, public virtual XMLShipping {
public:
    explicit XMLUnit(bool isAttribute = false) : m_attribute(isAttribute) {}
    ~XMLUnit() override;

    virtual bool isAttribute() const { return m_attribute; }
    virtual void setAttribute(bool isAttribute) { m_attribute = isAttribute; }

    XMLShipping* asXML() override { return this; }
    XMLUnit* asXMLUnit() override { return this; }

private:
    bool m_attribute;
};

// The XML side of a shipped object: its answer to asXML(), or for a class
// that joins the two hierarchies in its own way, a dynamic_cast.
inline XMLShipping* xmlShippingOf(Shipping& object)
{
    if (XMLShipping* xml = object.asXML())
        return xml;
    return dynamic_cast<XMLShipping*>(&object);
}

} // namespace vantorix

#endif
