#include "Web/XMLSOAPEnvelope.h"

#include "Serialise/XMLProxy.h"
#include "Serialise/XMLReader.h"

#include <cstring>

namespace vantorix {

const char* const XMLSOAPEnvelope::envelopeNameSpace = "http://schemas.xmlsoap.org/soap/envelope/";
const char* const XMLSOAPEnvelope::schemaNameSpace = "http://www.w3.org/2001/XMLSchema";
const char* const XMLSOAPEnvelope::schemaInstanceNameSpace = "http://www.w3.org/2001/XMLSchema-instance";

namespace {

const char* const childTags[] = {"xsd", "xsi", "soap", "encodingStyle", "Header", "Body"};
const char* const xmlnsPrefix = "xmlns";
const char* const soapPrefix = "soap";

bool samePrefix(const String& read, const char* expected)
{
    return expected == nullptr ? read.empty() : read == expected;
}

} // namespace

XMLSOAPEnvelope::XMLSOAPEnvelope(XMLAssembly& body, XMLAssembly* header) : m_header(header), m_body(&body) {}

XMLSOAPEnvelope::~XMLSOAPEnvelope() = default;

void XMLSOAPEnvelope::bindNameSpace(XMLReader& reader)
{
    reader.bindNameSpace(String(soapPrefix), String(envelopeNameSpace));
}

String XMLSOAPEnvelope::getNameSpaceSchema() const
{
    return String(envelopeNameSpace);
}

String XMLSOAPEnvelope::getXSD() const
{
    return String(schemaNameSpace);
}

String XMLSOAPEnvelope::getXSI() const
{
    return String(schemaInstanceNameSpace);
}

String XMLSOAPEnvelope::getEncodingStyle() const
{
    return String();
}

const char* XMLSOAPEnvelope::getHeaderNameSpace() const
{
    const char* own = m_header != nullptr ? m_header->getNameSpace() : nullptr;
    return own != nullptr && *own != '\0' ? own : soapPrefix;
}

const char* XMLSOAPEnvelope::getBodyNameSpace() const
{
    const char* own = m_body->getNameSpace();
    return own != nullptr && *own != '\0' ? own : soapPrefix;
}

void XMLSOAPEnvelope::setDefault()
{
    m_xsd.clear();
    m_xsi.clear();
    m_soap.clear();
    m_encodingStyle.clear();
    m_bodyRead = false;
}

ShippingPtr XMLSOAPEnvelope::getShipping(unsigned long index, bool)
{
    switch (index) {
    case 0: m_xsd = getXSD(); break;
    case 1: m_xsi = getXSI(); break;
    case 2: m_soap = getNameSpaceSchema(); break;
    case 3: m_encodingStyle = getEncodingStyle(); break;
    default: break;
    }
    return child(index);
}

ShippingPtr XMLSOAPEnvelope::child(unsigned long index)
{
    switch (index) {
    case 0: return shipIf(!m_xsd.empty(), m_xsd, childTags[0], true, xmlnsPrefix);
    case 1: return shipIf(!m_xsi.empty(), m_xsi, childTags[1], true, xmlnsPrefix);
    case 2: return shipIf(!m_soap.empty(), m_soap, childTags[2], true, xmlnsPrefix);
    case 3: return shipIf(!m_encodingStyle.empty(), m_encodingStyle, childTags[3], true, soapPrefix);
    case 4:
        if (m_header == nullptr)
            return nullptr;
        return ship(*m_header, childTags[4], false, getHeaderNameSpace());
    case 5: return ship(*m_body, childTags[5], false, getBodyNameSpace());
    default: return nullptr;
    }
}

ShippingPtr XMLSOAPEnvelope::getShipping(const String& tag, const String& nameSpace)
{
    const char* const prefixes[] = {xmlnsPrefix, xmlnsPrefix, xmlnsPrefix, soapPrefix,
                                    getHeaderNameSpace(), getBodyNameSpace()};
    for (unsigned long index = 0; index < 6; ++index) {
        if (tag == childTags[index] && samePrefix(nameSpace, prefixes[index])) {
            if (index == 5)
                m_bodyRead = true;
            return child(index);
        }
    }
    return nullptr;
}

} // namespace vantorix
