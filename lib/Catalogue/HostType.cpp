#include "Catalogue/HostType.h"

#include <iterator>

namespace vantorix {

namespace {
const char* const hostNames[] = {"All", "ArchiCAD", "Vectorworks", "Revit"};
}

const char* const HostType::tag = "host";

HostType::~HostType() = default;

String HostType::getName(ID id)
{
    const int index = static_cast<int>(id);
    if (index < 0 || index >= static_cast<int>(std::size(hostNames)))
        return String();
    return String(hostNames[index]);
}

String HostType::getName() const
{
    return getName(m_id);
}

bool HostType::write(String& text)
{
    const int index = static_cast<int>(m_id);
    if (index < 0 || index >= static_cast<int>(std::size(hostNames)))
        return false;
    text = hostNames[index];
    return true;
}

bool HostType::read(const String& text)
{
    for (int i = 0; i < static_cast<int>(std::size(hostNames)); ++i) {
        if (text == hostNames[i]) {
            m_id = static_cast<ID>(i);
            return true;
        }
    }
    return false;
}

} // namespace vantorix
