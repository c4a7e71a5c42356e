#ifndef VANTORIX_WEB_REQUESTOPERATION_H
#define VANTORIX_WEB_REQUESTOPERATION_H

#include "Serialise/XMLShipping.h"

#include <QByteArray>

namespace vantorix {

// The operation element of a request, named after the operation ("Login",
// "ProductListing", ...): the attribute "xmlns" (the service base URI) and
// the caller's payload record (not owned) under the tag "vantorixtools".
class RequestOperation : public XMLAssembly {
public:
    RequestOperation(const String& operation, XMLAssembly& payload);
    ~RequestOperation() override;

    const char* getTag() const override { return m_tag.constData(); }
    unsigned long shippingSize() const override { return 2; }
    ShippingPtr getShipping(unsigned long index, bool forAttributes) override;
    ShippingPtr getShipping(const String& tag, const String& nameSpace) override;
    // The "xmlns" value becomes the service base URI.
    void setDefault() override;

    XMLAssembly& getPayload() const { return *m_payload; }
    const String& getXmlns() const { return m_xmlns; }
    void setXmlns(const String& xmlns) { m_xmlns = xmlns; }

private:
    XMLAssembly* m_payload;
    String m_xmlns;
    QByteArray m_tag;
};

} // namespace vantorix

#endif
