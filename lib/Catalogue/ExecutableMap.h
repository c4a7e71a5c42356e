#ifndef VANTORIX_CATALOGUE_EXECUTABLEMAP_H
#define VANTORIX_CATALOGUE_EXECUTABLEMAP_H

#include "Catalogue/Executable.h"

namespace vantorix {

// The installed files of one product on one host release line, in the order
// they were recorded (tag "executables").
class ExecutableMap : public XMLList<Executable> {
public:
    static const char* const tag;

    ExecutableMap() : XMLList<Executable>(tag) {}
    ExecutableMap(const ExecutableMap& other) = default;
    ExecutableMap& operator=(const ExecutableMap& other) = default;
    ~ExecutableMap() override;

    bool empty() const { return elements().empty(); }
    std::size_t size() const { return elements().size(); }

    // The first entry equal to executable (same path and variant), or null.
    Executable* find(const Executable& executable);
    const Executable* find(const Executable& executable) const;

    // Folds one installed file in: a new entry is appended; an equal entry
    // of another version takes the new version and error text. True when
    // anything changed.
    bool merge(const Executable& executable);
    // Removes the entries whose file no longer exists; true when any was.
    bool removeVanished();
};

} // namespace vantorix

#endif
