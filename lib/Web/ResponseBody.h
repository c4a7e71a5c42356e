#ifndef VANTORIX_WEB_RESPONSEBODY_H
#define VANTORIX_WEB_RESPONSEBODY_H

#include "Web/ResponseOperation.h"
#include "Web/SOAPFault.h"

namespace vantorix {

// The body of an answer: either the operation's response element or a SOAP
// fault. Reading "soap:Fault" marks the answer as a fault. A body with
// neither (empty, or another operation's answer) is no answer at all:
// isAnswered() tells, and a post counts it as a failed read.
class ResponseBody : public XMLAssembly {
public:
    ResponseBody(XMLAssembly* payload, const char* responseTag);
    ~ResponseBody() override;

    const char* getTag() const override { return "Body"; }
    unsigned long shippingSize() const override { return 2; }
    bool hasAttributes() const override { return false; }
    // Written: the response element, or the fault when the fault flag is set.
    ShippingPtr getShipping(unsigned long index, bool forAttributes) override;
    // "soap:Fault" gives the fault (and sets the flag), the response tag the
    // response element, anything else nothing.
    ShippingPtr getShipping(const String& tag, const String& nameSpace) override;
    void setDefault() override;

    // No fault and the success flag set.
    bool isSuccessful() const { return !m_fault && m_operation.isSuccessful(); }
    bool isFault() const { return m_fault; }
    // Whether the response element or a fault was read since setDefault().
    bool isAnswered() const { return m_answered; }
    // The fault's text when a fault came, else "errorDescription".
    const String& getErrorDescription() const;
    // The fault's code when a fault came, else "errorCode".
    const String& getErrorCode() const;
    // "redirectUrl".
    const String& getURL() const { return m_operation.getRedirectURL(); }

    ResponseOperation& getOperation() { return m_operation; }
    SOAPFault& getFault() { return m_soapFault; }
    // Makes the body a fault (for writing one).
    void setFault(bool fault) { m_fault = fault; }

private:
    ResponseOperation m_operation;
    bool m_fault = false;
    bool m_answered = false;
    SOAPFault m_soapFault;
};

} // namespace vantorix

#endif
