#include "Serialise/Shipping.h"

namespace vantorix {

// Out-of-line destructors anchor the virtual tables in this library.
Shipping::~Shipping() = default;
ShippingContainer::~ShippingContainer() = default;
ShippingAssembly::~ShippingAssembly() = default;
ShippingArray::~ShippingArray() = default;
ShippingUnit::~ShippingUnit() = default;

} // namespace vantorix
