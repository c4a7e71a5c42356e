#include "Web/ResponseOperation.h"

#include "Serialise/XMLProxy.h"

namespace vantorix {

namespace {

const char* const childTags[] = {"xmlns", "ActivationResult", "vantorixtools", "errorDescription", "errorCode",
                                 "redirectUrl"};

} // namespace

ResponseOperation::ResponseOperation(XMLAssembly* payload, const char* responseTag)
    : m_payload(payload), m_tag(responseTag)
{
    ResponseOperation::setDefault();
}

ResponseOperation::~ResponseOperation() = default;

ShippingPtr ResponseOperation::getShipping(unsigned long index, bool)
{
    switch (index) {
    case 0: return ship(m_xmlns, childTags[0], true);
    case 1: return ship(m_success, childTags[1]);
    case 2: return m_payload != nullptr ? ship(*m_payload, childTags[2]) : nullptr;
    case 3: return ship(m_errorDescription, childTags[3]);
    case 4: return ship(m_errorCode, childTags[4]);
    case 5: return ship(m_redirectUrl, childTags[5]);
    default: return nullptr;
    }
}

ShippingPtr ResponseOperation::getShipping(const String& tag, const String&)
{
    return childByTag(tag, childTags, 6);
}

void ResponseOperation::setDefault()
{
    m_xmlns.clear();
    m_success = true;
    m_errorDescription.clear();
    m_errorCode.clear();
    m_redirectUrl.clear();
}

} // namespace vantorix
