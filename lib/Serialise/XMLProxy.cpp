#include "Serialise/XMLProxy.h"

namespace vantorix {

XMLAssemblyProxy::XMLAssemblyProxy(XMLAssembly& target, const char* tag, const char* nameSpace)
    : m_target(target), m_tag(tag), m_nameSpace(nameSpace)
{
}

XMLAssemblyProxy::~XMLAssemblyProxy() = default;

const char* XMLAssemblyProxy::getTag() const
{
    return m_tag ? m_tag : m_target.getTag();
}

const char* XMLAssemblyProxy::getNameSpace() const
{
    return m_nameSpace ? m_nameSpace : m_target.getNameSpace();
}

ShippingPtr XMLAssemblyProxy::getShipping(unsigned long index, bool forAttributes)
{
    return m_target.getShipping(index, forAttributes);
}

ShippingPtr XMLAssemblyProxy::getShipping(const String& tag, const String& nameSpace)
{
    return m_target.getShipping(tag, nameSpace);
}

XMLArrayProxy::XMLArrayProxy(XMLArray& target, const char* tag, const char* nameSpace)
    : m_target(target), m_tag(tag), m_nameSpace(nameSpace)
{
}

XMLArrayProxy::~XMLArrayProxy() = default;

const char* XMLArrayProxy::getTag() const
{
    return m_tag ? m_tag : m_target.getTag();
}

const char* XMLArrayProxy::getNameSpace() const
{
    return m_nameSpace ? m_nameSpace : m_target.getNameSpace();
}

ShippingPtr XMLArrayProxy::getShipping(unsigned long index, bool forAttributes)
{
    return m_target.getShipping(index, forAttributes);
}

ShippingPtr XMLArrayProxy::addShipping(const String& tag, const String& nameSpace)
{
    return m_target.addShipping(tag, nameSpace);
}

XMLMapProxy::XMLMapProxy(XMLMap& target, const char* tag, const char* nameSpace)
    : m_target(target), m_tag(tag), m_nameSpace(nameSpace)
{
}

XMLMapProxy::~XMLMapProxy() = default;

const char* XMLMapProxy::getTag() const
{
    return m_tag ? m_tag : m_target.getTag();
}

const char* XMLMapProxy::getNameSpace() const
{
    return m_nameSpace ? m_nameSpace : m_target.getNameSpace();
}

ShippingPtr XMLMapProxy::getShipping(unsigned long index, bool forAttributes)
{
    return m_target.getShipping(index, forAttributes);
}

ShippingPtr XMLMapProxy::addShipping(const String& tag, const String& nameSpace)
{
    return m_target.addShipping(tag, nameSpace);
}

} // namespace vantorix
