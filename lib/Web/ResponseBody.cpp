#include "Web/ResponseBody.h"

#include "Serialise/XMLProxy.h"

namespace vantorix {

ResponseBody::ResponseBody(XMLAssembly* payload, const char* responseTag) : m_operation(payload, responseTag) {}

ResponseBody::~ResponseBody() = default;

ShippingPtr ResponseBody::getShipping(unsigned long index, bool forAttributes)
{
    if (forAttributes)
        return nullptr;
    switch (index) {
    case 0: return shipIf(!m_fault, m_operation, nullptr);
    case 1: return shipIf(m_fault, m_soapFault, nullptr);
    default: return nullptr;
    }
}

ShippingPtr ResponseBody::getShipping(const String& tag, const String& nameSpace)
{
    if (tag == m_soapFault.getTag() && nameSpace == m_soapFault.getNameSpace()) {
        m_fault = true;
        m_answered = true;
        return ship(m_soapFault, nullptr);
    }
    if (tag == m_operation.getTag()) {
        m_answered = true;
        return ship(m_operation, nullptr);
    }
    return nullptr;
}

void ResponseBody::setDefault()
{
    m_fault = false;
    m_answered = false;
    m_operation.setDefault();
    m_soapFault.setDefault();
}

const String& ResponseBody::getErrorDescription() const
{
    return m_fault ? m_soapFault.getFaultString() : m_operation.getErrorDescription();
}

const String& ResponseBody::getErrorCode() const
{
    return m_fault ? m_soapFault.getFaultCode() : m_operation.getErrorCode();
}

} // namespace vantorix
