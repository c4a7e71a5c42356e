#ifndef VANTORIX_INTERFACE_CONFIRMALERT_H
#define VANTORIX_INTERFACE_CONFIRMALERT_H

#include "Interface/Alert.h"

namespace vantorix {

// A modal question box with an accept button (the default) and a reject button.
class ConfirmAlert : public Alert {
public:
    using Alert::Alert;

    // True only when the accept button was clicked.
    bool isConfirmed(const String& text, const String& informativeText, const String& acceptLabel,
                     const String& rejectLabel);
};

} // namespace vantorix

#endif
