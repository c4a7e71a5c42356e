#ifndef VANTORIX_INTERFACE_NOTIFYALERT_H
#define VANTORIX_INTERFACE_NOTIFYALERT_H

#include "Interface/Alert.h"

namespace vantorix {

// A modal box with an information icon and one OK button.
class NotifyAlert : public Alert {
public:
    using Alert::Alert;

    void show(const String& text);
};

} // namespace vantorix

#endif
