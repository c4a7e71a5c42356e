#include "Interface/NotifyAlert.h"

namespace vantorix {

void NotifyAlert::show(const String& text)
{
    Request request;
    request.kind = notify;
    request.title = getTitle();
    request.text = text;
    request.buttons << QStringLiteral("OK");
    request.parent = getParent();
    present(request);
}

} // namespace vantorix
