#include "Web/RequestBody.h"

#include "Serialise/XMLProxy.h"

namespace vantorix {

RequestBody::RequestBody(XMLAssembly& payload, const String& operation) : m_operation(operation, payload) {}

RequestBody::~RequestBody() = default;

ShippingPtr RequestBody::getShipping(unsigned long index, bool forAttributes)
{
    if (index != 0 || forAttributes)
        return nullptr;
    return ship(m_operation, nullptr);
}

ShippingPtr RequestBody::getShipping(const String& tag, const String&)
{
    return tag == m_operation.getTag() ? getShipping(0, false) : nullptr;
}

void RequestBody::setDefault()
{
    m_operation.setDefault();
}

} // namespace vantorix
