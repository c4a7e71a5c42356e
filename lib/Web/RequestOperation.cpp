#include "Web/RequestOperation.h"

#include "Serialise/XMLProxy.h"
#include "Web/ServiceAddress.h"

namespace vantorix {

namespace {

const char* const childTags[] = {"xmlns", "vantorixtools"};

} // namespace

RequestOperation::RequestOperation(const String& operation, XMLAssembly& payload)
    : m_payload(&payload), m_tag(operation.toByteArray())
{
    RequestOperation::setDefault();
}

RequestOperation::~RequestOperation() = default;

ShippingPtr RequestOperation::getShipping(unsigned long index, bool)
{
    switch (index) {
    case 0: return ship(m_xmlns, childTags[0], true);
    case 1: return ship(*m_payload, childTags[1]);
    default: return nullptr;
    }
}

ShippingPtr RequestOperation::getShipping(const String& tag, const String&)
{
    return childByTag(tag, childTags, 2);
}

void RequestOperation::setDefault()
{
    m_xmlns = ServiceAddress::getBaseURI();
}

} // namespace vantorix
