#ifndef VANTORIX_WEB_REQUESTBODY_H
#define VANTORIX_WEB_REQUESTBODY_H

#include "Web/RequestOperation.h"

namespace vantorix {

// The body of a request: one operation element holding the caller's payload
// record (not owned).
class RequestBody : public XMLAssembly {
public:
    RequestBody(XMLAssembly& payload, const String& operation);
    ~RequestBody() override;

    const char* getTag() const override { return "Body"; }
    unsigned long shippingSize() const override { return 1; }
    bool hasAttributes() const override { return false; }
    ShippingPtr getShipping(unsigned long index, bool forAttributes) override;
    // The operation element, found by its name.
    ShippingPtr getShipping(const String& tag, const String& nameSpace) override;
    void setDefault() override;

    RequestOperation& getOperation() { return m_operation; }

private:
    RequestOperation m_operation;
};

} // namespace vantorix

#endif
