#include "Applications/ApplicationSignature.h"

#include "Utility/Convert.h"

#include <iterator>

namespace vantorix {

const char* const defaultLanguage = "INT";

namespace {

const char* const childTags[] = {"host", "version", "type", "language"};
const char* const typeNames[] = {"full", "solo", "start"};

// Start editions carry the year of their release instead of the version.
String startEditionYear(short version)
{
    switch (version) {
    case 18: return String("2015");
    case 19: return String("2016");
    default: return String();
    }
}

} // namespace

ApplicationSignature::ApplicationSignature() : m_language(defaultLanguage) {}

ApplicationSignature::ApplicationSignature(HostType::ID host, short version, Type type, const String& language)
    : PlatformSignature(host, version), m_type(type), m_language(language)
{
}

ApplicationSignature::~ApplicationSignature() = default;

String ApplicationSignature::getName() const
{
    const String version = ToString(m_version).value();
    String name = m_host.getName() + " ";
    switch (m_type) {
    case full: return name + version;
    case solo: return name + "Solo " + version;
    case start: return name + "SE " + startEditionYear(m_version);
    }
    return name;
}

String ApplicationSignature::toString() const
{
    const String version = ToString(m_version).value();
    switch (m_type) {
    case full: return version;
    case solo: return version + " Solo";
    case start: return "SE " + startEditionYear(m_version);
    }
    return String();
}

String ApplicationSignature::getVersionString() const
{
    switch (m_type) {
    case full:
    case solo: return ToString(m_version).value();
    case start: return startEditionYear(m_version);
    }
    return String();
}

bool ApplicationSignature::operator<(const ApplicationSignature& other) const
{
    if (m_type != other.m_type)
        return m_type < other.m_type;
    // Compared in one letter case, as operator== compares them: otherwise
    // "INT" < "JPN" < "int" while "INT" and "int" are equal.
    const String language = m_language.toLowercase();
    const String otherLanguage = other.m_language.toLowercase();
    if (language != otherLanguage)
        return language < otherLanguage;
    return PlatformSignature::operator<(other);
}

bool ApplicationSignature::operator==(const ApplicationSignature& other) const
{
    return m_type == other.m_type && m_language.toLowercase() == other.m_language.toLowercase()
        && PlatformSignature::operator==(other);
}

ShippingPtr ApplicationSignature::getShipping(unsigned long index, bool forAttributes)
{
    switch (index) {
    case 0:
    case 1: return PlatformSignature::getShipping(index, forAttributes);
    case 2: return ship(m_type, childTags[2], true);
    case 3: return ship(m_language, childTags[3], true);
    default: return nullptr;
    }
}

ShippingPtr ApplicationSignature::getShipping(const String& tag, const String&)
{
    return childByTag(tag, childTags, std::size(childTags));
}

void ApplicationSignature::setDefault()
{
    PlatformSignature::setDefault();
    m_type = full;
    m_language = defaultLanguage;
}

bool XMLValueText<ApplicationSignature::Type>::write(const ApplicationSignature::Type& value, String& text)
{
    const int index = static_cast<int>(value);
    if (index < 0 || index >= static_cast<int>(std::size(typeNames)))
        return false;
    text = typeNames[index];
    return true;
}

bool XMLValueText<ApplicationSignature::Type>::read(ApplicationSignature::Type& value, const String& text)
{
    const String lowered = text.toLowercase();
    for (int i = 0; i < static_cast<int>(std::size(typeNames)); ++i) {
        if (lowered == typeNames[i]) {
            value = static_cast<ApplicationSignature::Type>(i);
            break;
        }
    }
    return true;
}

} // namespace vantorix
