#ifndef VANTORIX_INTERFACE_ERRORALERT_H
#define VANTORIX_INTERFACE_ERRORALERT_H

#include "Interface/Alert.h"

namespace vantorix {

// A modal box with a critical icon and one OK button.
class ErrorAlert : public Alert {
public:
    using Alert::Alert;

    void show(const String& text);
    // With a second, smaller text under the first (empty: none).
    void show(const String& text, const String& informativeText);
};

} // namespace vantorix

#endif
