#include "Interface/ErrorAlert.h"

namespace vantorix {

void ErrorAlert::show(const String& text)
{
    show(text, String());
}

void ErrorAlert::show(const String& text, const String& informativeText)
{
    Request request;
    request.kind = error;
    request.title = getTitle();
    request.text = text;
    request.informativeText = informativeText;
    request.buttons << QStringLiteral("OK");
    request.parent = getParent();
    present(request);
}

} // namespace vantorix
