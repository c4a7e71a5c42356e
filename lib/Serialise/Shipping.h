#ifndef VANTORIX_SERIALISE_SHIPPING_H
#define VANTORIX_SERIALISE_SHIPPING_H

#include "Utility/String.h"

#include <memory>

namespace vantorix {

class Shipping;
class ShippingContainer;
class ShippingUnit;
class XMLShipping;
class XMLAssembly;
class XMLArray;
class XMLMap;
class XMLUnit;

// Every child that a container hands out belongs to the caller alone: the
// walker destroys it as soon as the child has been written or read.
using ShippingPtr = std::unique_ptr<Shipping>;

// Anything that can be written to or read from text. The essential flag tells
// the writer whether to write the object at all (a record clears it on the
// proxies of members that are to be left out, for example a zero amount).
class Shipping {
public:
    Shipping() = default;
    Shipping(const Shipping&) = default;
    Shipping& operator=(const Shipping&) = default;
    virtual ~Shipping();

    virtual void setEssential(bool essential) { m_essential = essential; }
    // Resets the object to its default value.
    virtual void clear() { setDefault(); }
    virtual void setDefault() = 0;
    // Called after the object has been read completely; false rejects it.
    virtual bool validate() { return true; }
    virtual bool isEssential() const { return m_essential; }
    // Takes character data; false when the text is not acceptable.
    virtual bool read(const String& text) = 0;

    // Cheap checked downcasts for the XML walker, which asks them for every
    // element (dynamic_cast through the virtual bases costs far more). Each
    // base class answers for itself; null means "not one".
    virtual ShippingContainer* asContainer() { return nullptr; }
    virtual ShippingUnit* asUnit() { return nullptr; }
    virtual XMLShipping* asXML() { return nullptr; }
    virtual XMLAssembly* asAssembly() { return nullptr; }
    virtual XMLArray* asArray() { return nullptr; }
    virtual XMLMap* asMap() { return nullptr; }
    virtual XMLUnit* asXMLUnit() { return nullptr; }

private:
    bool m_essential = true;
};

// Something with indexed children: a record or a list.
class ShippingContainer : public virtual Shipping {
public:
    ~ShippingContainer() override;

    // Number of child slots.
    virtual unsigned long shippingSize() const = 0;
    // False for records, true for lists and maps.
    virtual bool isRepeating() const = 0;
    // Whether any child may be written as an attribute.
    virtual bool hasAttributes() const { return true; }
    // A container may end the writer's walk early by returning true.
    virtual bool hasEnded() const { return false; }
    // A new child object for the slot at index, or null when there is none.
    // forAttributes is true while the writer collects attributes.
    virtual ShippingPtr getShipping(unsigned long index, bool forAttributes) = 0;
    void setDefault() override {}
    // White space between child elements arrives here and is ignored.
    bool read(const String&) override { return true; }
    ShippingContainer* asContainer() override { return this; }
};

// A record with a fixed list of named children.
class ShippingAssembly : public ShippingContainer {
public:
    ~ShippingAssembly() override;
    bool isRepeating() const override { return false; }
};

// A repeated sequence of like children.
class ShippingArray : public ShippingContainer {
public:
    ~ShippingArray() override;
    bool isRepeating() const override { return true; }
};

// A leaf with a text value.
class ShippingUnit : public virtual Shipping {
public:
    ~ShippingUnit() override;
    // Produces the text value; false when the value cannot be written.
    virtual bool write(String& text) = 0;
    ShippingUnit* asUnit() override { return this; }
};

} // namespace vantorix

#endif
