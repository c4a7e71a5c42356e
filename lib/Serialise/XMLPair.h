#ifndef VANTORIX_SERIALISE_XMLPAIR_H
#define VANTORIX_SERIALISE_XMLPAIR_H

#include "Serialise/XMLShipping.h"

namespace vantorix {

// A key and a value shipped as one element, for collections that write an
// entry's key beside its value. The pair owns both (either may be null). Its
// children are the key's followed by the data's: a leaf key or data is one
// child, a record or list contributes its own children. The element name is
// the pair's own tag when given, else the data's.
class XMLPair : public XMLAssembly {
public:
    // Takes ownership of key and data; tag and nameSpace are not owned.
    XMLPair(XMLShipping* key, XMLShipping* data, const char* tag = nullptr, const char* nameSpace = nullptr);
    XMLPair(const XMLPair&) = delete;
    XMLPair& operator=(const XMLPair&) = delete;
    ~XMLPair() override;

    XMLShipping* getKey() const { return m_key; }
    XMLShipping* getData() const { return m_data; }
    // Give up ownership; the caller then owns the returned object.
    XMLShipping* releaseKey();
    XMLShipping* releaseData();

    const char* getTag() const override;
    const char* getNameSpace() const override;
    void setTag(const char* tag) override { m_tag = tag; }
    unsigned long shippingSize() const override;
    ShippingPtr getShipping(unsigned long index, bool forAttributes) override;
    ShippingPtr getShipping(const String& tag, const String& nameSpace) override;
    bool validate() override;
    void setDefault() override;

private:
    static unsigned long childCount(XMLShipping* part);
    static ShippingPtr childAt(XMLShipping* part, unsigned long index, bool forAttributes);
    static ShippingPtr childNamed(XMLShipping* part, const String& tag, const String& nameSpace);

    const char* m_tag;
    const char* m_nameSpace;
    XMLShipping* m_key;   // owned
    XMLShipping* m_data;  // owned
};

} // namespace vantorix

#endif
