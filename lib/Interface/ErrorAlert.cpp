#include "Interface/ErrorAlert.h"

namespace vantorix {

void ErrorAlert::show(const String& text)
{
    Request request;
    request.kind = error;
    request.title = getTitle();
    request.text = text;
    request.buttons << QStringLiteral("OK");
    request.parent = getParent();
    present(request);
}

} // namespace vantorix
