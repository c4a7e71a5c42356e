#ifndef VANTORIX_SERIALISE_STATUS_H
#define VANTORIX_SERIALISE_STATUS_H

#include "Serialise/XMLTypeProxy.h"

namespace vantorix {

// The category of the product list; stored in the preferences by name.
enum Status { myTools = 0, updates = 1, trial = 2, educational = 3 };

template <>
struct XMLEnumTable<Status> {
    static constexpr const char* names[] = {"myTools", "updates", "trial", "educational"};
};

} // namespace vantorix

#endif
