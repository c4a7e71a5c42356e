#include "Catalogue/ExecutableMap.h"

#include <algorithm>

namespace vantorix {

const char* const ExecutableMap::tag = "executables";

ExecutableMap::~ExecutableMap() = default;

Executable* ExecutableMap::find(const Executable& executable)
{
    for (Executable& entry : elements()) {
        if (entry == executable)
            return &entry;
    }
    return nullptr;
}

const Executable* ExecutableMap::find(const Executable& executable) const
{
    return const_cast<ExecutableMap*>(this)->find(executable);
}

bool ExecutableMap::merge(const Executable& executable)
{
    Executable* present = find(executable);
    if (present == nullptr) {
        elements().push_back(executable);
        return true;
    }
    if (present->getVersion() == executable.getVersion())
        return false;
    present->setVersion(executable.getVersion());
    present->setErrorMessage(executable.getErrorMessage());
    return true;
}

bool ExecutableMap::removeVanished()
{
    std::vector<Executable>& list = elements();
    const auto kept = std::remove_if(list.begin(), list.end(),
                                     [](const Executable& entry) { return !entry.existsOnDisk(); });
    if (kept == list.end())
        return false;
    list.erase(kept, list.end());
    return true;
}

} // namespace vantorix
