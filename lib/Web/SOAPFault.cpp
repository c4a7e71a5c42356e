#include "Web/SOAPFault.h"

#include "Serialise/XMLProxy.h"

namespace vantorix {

namespace {

const char* const childTags[] = {"faultcode", "faultstring", "detail"};

} // namespace

SOAPFault::SOAPFault() = default;

SOAPFault::~SOAPFault() = default;

ShippingPtr SOAPFault::getShipping(unsigned long index, bool)
{
    switch (index) {
    case 0: return ship(m_faultCode, childTags[0]);
    case 1: return ship(m_faultString, childTags[1]);
    case 2: return ship(m_detail, childTags[2]);
    default: return nullptr;
    }
}

ShippingPtr SOAPFault::getShipping(const String& tag, const String&)
{
    return childByTag(tag, childTags, 3);
}

void SOAPFault::setDefault()
{
    m_faultCode.clear();
    m_faultString.clear();
    m_detail.clear();
}

void SOAPFault::setFault(const String& code, const String& text, const String& detail)
{
    m_faultCode = code;
    m_faultString = text;
    m_detail = detail;
}

} // namespace vantorix
