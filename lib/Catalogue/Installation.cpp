#include "Catalogue/Installation.h"

namespace vantorix {

namespace {
const char* const childTags[] = {"caller", "os", "products"};
}

const char* const Installation::tag = "installation";

Installation::Installation(const char* elementName) : m_tag(elementName) {}

Installation::Installation(const Installation& other)
    : Shipping(other),
      XMLShipping(other),
      XMLAssembly(other),
      m_tag(other.m_tag),
      m_caller(other.m_caller ? std::make_unique<PlatformSignature>(*other.m_caller) : nullptr),
      m_os(other.m_os),
      m_products(other.m_products)
{
}

Installation& Installation::operator=(const Installation& other)
{
    if (this != &other) {
        m_tag = other.m_tag;
        m_caller = other.m_caller ? std::make_unique<PlatformSignature>(*other.m_caller) : nullptr;
        m_os = other.m_os;
        m_products = other.m_products;
    }
    return *this;
}

Installation::~Installation() = default;

void Installation::setCallerSignature(const PlatformSignature& signature)
{
    m_caller = std::make_unique<PlatformSignature>(signature);
}

ShippingPtr Installation::getShipping(unsigned long index, bool forAttributes)
{
    if (forAttributes)
        return nullptr;
    switch (index) {
    case 0: return m_caller ? ship(*m_caller, childTags[0]) : nullptr;
    case 1: return shipIf(!m_os.empty(), m_os, childTags[1]);
    case 2: return ship(m_products, childTags[2]);
    default: return nullptr;
    }
}

ShippingPtr Installation::getShipping(const String& tag, const String&)
{
    if (tag == childTags[0] && !m_caller)
        m_caller = std::make_unique<PlatformSignature>();
    return childByTag(tag, childTags, 3);
}

void Installation::setDefault()
{
    m_caller.reset();
    m_os.clear();
    m_products.clear();
}

} // namespace vantorix
