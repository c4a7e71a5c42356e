#ifndef VANTORIX_WEB_XMLSOAPENVELOPE_H
#define VANTORIX_WEB_XMLSOAPENVELOPE_H

#include "Serialise/XMLShipping.h"

namespace vantorix {

class XMLReader;

// A SOAP 1.1 envelope ("soap:Envelope") around a body record and an optional
// header record, neither owned. Written, it carries the namespace attributes
// "xmlns:xsd", "xmlns:xsi" and "xmlns:soap" in that order, then "soap:Header"
// (only with a header) and "soap:Body". Read through a reader prepared with
// bindNameSpace(), the envelope, header, body and fault elements are matched
// by the envelope namespace URI whatever prefix the answer gives it
// ("soapenv:", "SOAP-ENV:", a default namespace); a prefix the answer leaves
// undeclared must be "soap". The "xmlns:soap" value is kept as read (a
// declaration under another prefix is not), and an envelope without a body is
// refused.
class XMLSOAPEnvelope : public XMLAssembly {
public:
    static const char* const envelopeNameSpace;
    static const char* const schemaNameSpace;
    static const char* const schemaInstanceNameSpace;

    explicit XMLSOAPEnvelope(XMLAssembly& body, XMLAssembly* header = nullptr);
    ~XMLSOAPEnvelope() override;

    // Makes reader match the prefix "soap" by the envelope namespace URI.
    static void bindNameSpace(XMLReader& reader);

    const char* getTag() const override { return "Envelope"; }
    const char* getNameSpace() const override { return "soap"; }
    unsigned long shippingSize() const override { return 6; }
    // For the writer: the attribute values come from the virtual getters below.
    ShippingPtr getShipping(unsigned long index, bool forAttributes) override;
    // For the reader: both the tag and the prefix must match.
    ShippingPtr getShipping(const String& tag, const String& nameSpace) override;
    void setDefault() override;
    bool validate() override { return m_bodyRead; }
    // Whether a "soap:Body" was met since the last setDefault(). A text whose
    // root is not "soap:Envelope" is skipped whole by the reader without an
    // error, so only this tells that an answer was read at all.
    bool isBodyRead() const { return m_bodyRead; }

    // The attribute values written.
    virtual String getNameSpaceSchema() const;
    virtual String getXSD() const;
    virtual String getXSI() const;
    // Empty: no encoding style is written.
    virtual String getEncodingStyle() const;
    // The prefixes of "Header" and "Body": the record's own, else "soap".
    const char* getHeaderNameSpace() const;
    const char* getBodyNameSpace() const;

    XMLAssembly& getBody() const { return *m_body; }
    XMLAssembly* getHeader() const { return m_header; }
    // The attribute values as last written or read.
    const String& getXSDValue() const { return m_xsd; }
    const String& getXSIValue() const { return m_xsi; }
    const String& getSOAPValue() const { return m_soap; }
    const String& getEncodingStyleValue() const { return m_encodingStyle; }

private:
    ShippingPtr child(unsigned long index);

    XMLAssembly* m_header;
    XMLAssembly* m_body;
    String m_xsd;
    String m_xsi;
    String m_soap;
    String m_encodingStyle;
    bool m_bodyRead = false;
};

} // namespace vantorix

#endif
