#include "Serialise/XMLPair.h"

#include "Serialise/XMLTypeProxy.h"

namespace vantorix {

XMLPair::XMLPair(XMLShipping* key, XMLShipping* data, const char* tag, const char* nameSpace)
    : m_tag(tag), m_nameSpace(nameSpace), m_key(key), m_data(data)
{
}

XMLPair::~XMLPair()
{
    delete m_key;
    delete m_data;
}

XMLShipping* XMLPair::releaseKey()
{
    XMLShipping* key = m_key;
    m_key = nullptr;
    return key;
}

XMLShipping* XMLPair::releaseData()
{
    XMLShipping* data = m_data;
    m_data = nullptr;
    return data;
}

const char* XMLPair::getTag() const
{
    if (m_tag != nullptr || m_data == nullptr)
        return m_tag ? m_tag : "";
    return m_data->getTag();
}

const char* XMLPair::getNameSpace() const
{
    if (m_nameSpace != nullptr || m_data == nullptr)
        return m_nameSpace;
    return m_data->getNameSpace();
}

unsigned long XMLPair::childCount(XMLShipping* part)
{
    if (part == nullptr)
        return 0;
    if (auto* container = dynamic_cast<ShippingContainer*>(part))
        return container->shippingSize();
    return dynamic_cast<XMLUnit*>(part) != nullptr ? 1 : 0;
}

ShippingPtr XMLPair::childAt(XMLShipping* part, unsigned long index, bool forAttributes)
{
    if (auto* container = dynamic_cast<ShippingContainer*>(part))
        return container->getShipping(index, forAttributes);
    if (auto* unit = dynamic_cast<XMLUnit*>(part)) {
        // The leaf itself stays with the pair; the walker gets a stand-in
        // that it may destroy. It carries the leaf's own essential flag.
        auto proxy = std::make_unique<XMLUnitProxy>(*unit, nullptr, unit->isAttribute());
        proxy->setEssential(unit->isEssential());
        return proxy;
    }
    return nullptr;
}

ShippingPtr XMLPair::childNamed(XMLShipping* part, const String& tag, const String& nameSpace)
{
    if (auto* assembly = dynamic_cast<XMLAssembly*>(part))
        return assembly->getShipping(tag, nameSpace);
    if (auto* array = dynamic_cast<XMLArray*>(part))
        return array->addShipping(tag, nameSpace);
    if (auto* unit = dynamic_cast<XMLUnit*>(part)) {
        if (unit->getTag() != nullptr && tag == unit->getTag())
            return std::make_unique<XMLUnitProxy>(*unit, nullptr, unit->isAttribute());
    }
    return nullptr;
}

unsigned long XMLPair::shippingSize() const
{
    return childCount(m_key) + childCount(m_data);
}

ShippingPtr XMLPair::getShipping(unsigned long index, bool forAttributes)
{
    const unsigned long keyChildren = childCount(m_key);
    if (index < keyChildren)
        return childAt(m_key, index, forAttributes);
    index -= keyChildren;
    if (index < childCount(m_data))
        return childAt(m_data, index, forAttributes);
    return nullptr;
}

ShippingPtr XMLPair::getShipping(const String& tag, const String& nameSpace)
{
    if (ShippingPtr child = childNamed(m_key, tag, nameSpace))
        return child;
    return childNamed(m_data, tag, nameSpace);
}

bool XMLPair::validate()
{
    bool valid = true;
    if (auto* key = dynamic_cast<Shipping*>(m_key))
        valid = key->validate() && valid;
    if (auto* data = dynamic_cast<Shipping*>(m_data))
        valid = data->validate() && valid;
    return valid;
}

void XMLPair::setDefault()
{
    if (auto* key = dynamic_cast<Shipping*>(m_key))
        key->setDefault();
    if (auto* data = dynamic_cast<Shipping*>(m_data))
        data->setDefault();
}

} // namespace vantorix
