#include "Interface/ConfirmAlert.h"

namespace vantorix {

bool ConfirmAlert::isConfirmed(const String& text, const String& informativeText, const String& acceptLabel,
                               const String& rejectLabel)
{
    Request request;
    request.kind = confirm;
    request.title = getTitle();
    request.text = text;
    request.informativeText = informativeText;
    request.buttons << acceptLabel.qString() << rejectLabel.qString();
    request.parent = getParent();
    return present(request);
}

} // namespace vantorix
