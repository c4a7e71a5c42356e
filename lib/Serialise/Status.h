#ifndef VANTORIX_SERIALISE_STATUS_H
#define VANTORIX_SERIALISE_STATUS_H

#include "Serialise/XMLTypeProxy.h"

namespace vantorix {

// The category of the product list; stored in the preferences by name. The
// fixed type makes any int a valid Status, so a damaged value is defined (and
// refused by the writer), not undefined behaviour.
enum Status : int { myTools = 0, updates = 1, trial = 2, educational = 3 };

template <>
struct XMLEnumTable<Status> {
    static constexpr const char* names[] = {"myTools", "updates", "trial", "educational"};
};

} // namespace vantorix

#endif
