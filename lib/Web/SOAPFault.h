#ifndef VANTORIX_WEB_SOAPFAULT_H
#define VANTORIX_WEB_SOAPFAULT_H

#include "Serialise/XMLShipping.h"

namespace vantorix {

// A SOAP fault ("soap:Fault"): code, text and detail as sent by the service.
class SOAPFault : public XMLAssembly {
public:
    SOAPFault();
    ~SOAPFault() override;

    const char* getTag() const override { return "Fault"; }
    const char* getNameSpace() const override { return "soap"; }
    unsigned long shippingSize() const override { return 3; }
    bool hasAttributes() const override { return false; }
    ShippingPtr getShipping(unsigned long index, bool forAttributes) override;
    ShippingPtr getShipping(const String& tag, const String& nameSpace) override;
    void setDefault() override;

    const String& getFaultCode() const { return m_faultCode; }
    const String& getFaultString() const { return m_faultString; }
    const String& getDetail() const { return m_detail; }
    void setFault(const String& code, const String& text, const String& detail = String());

private:
    String m_faultCode;
    String m_faultString;
    String m_detail;
};

} // namespace vantorix

#endif
