#ifndef VANTORIX_WEB_RESPONSEOPERATION_H
#define VANTORIX_WEB_RESPONSEOPERATION_H

#include "Serialise/XMLShipping.h"

#include <QByteArray>

namespace vantorix {

// The operation element of an answer ("LoginResponse", ...): the attribute
// "xmlns", "ActivationResult" (the success flag, true unless the answer says
// otherwise), the payload record (not owned; may be null) under
// "vantorixtools", then "errorDescription", "errorCode" and "redirectUrl".
class ResponseOperation : public XMLAssembly {
public:
    ResponseOperation(XMLAssembly* payload, const char* responseTag);
    ~ResponseOperation() override;

    const char* getTag() const override { return m_tag.constData(); }
    void setTag(const char* tag) override { m_tag = QByteArray(tag); }
    unsigned long shippingSize() const override { return 6; }
    ShippingPtr getShipping(unsigned long index, bool forAttributes) override;
    ShippingPtr getShipping(const String& tag, const String& nameSpace) override;
    // Success flag true, every text empty; the payload is left alone (it is
    // reset when its element is read).
    void setDefault() override;

    bool isSuccessful() const { return m_success; }
    const String& getXmlns() const { return m_xmlns; }
    const String& getErrorDescription() const { return m_errorDescription; }
    const String& getErrorCode() const { return m_errorCode; }
    const String& getRedirectURL() const { return m_redirectUrl; }
    XMLAssembly* getPayload() const { return m_payload; }

    void setSuccessful(bool success) { m_success = success; }
    void setXmlns(const String& xmlns) { m_xmlns = xmlns; }
    void setError(const String& code, const String& description)
    {
        m_errorCode = code;
        m_errorDescription = description;
    }
    void setRedirectURL(const String& url) { m_redirectUrl = url; }

private:
    String m_xmlns;
    bool m_success = true;
    String m_errorDescription;
    String m_errorCode;
    String m_redirectUrl;
    XMLAssembly* m_payload;
    QByteArray m_tag;
};

} // namespace vantorix

#endif
