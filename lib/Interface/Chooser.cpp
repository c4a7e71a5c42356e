#include "Interface/Chooser.h"

#include <QFileDialog>

namespace vantorix {

namespace {

Chooser::Responder& responder()
{
    static Chooser::Responder current;
    return current;
}

} // namespace

Chooser::Responder Chooser::setResponder(Responder replacement)
{
    Responder previous = std::move(responder());
    responder() = std::move(replacement);
    return previous;
}

Chooser::ScopedResponder::ScopedResponder(Responder replacement) : m_previous(setResponder(std::move(replacement)))
{
}

Chooser::ScopedResponder::~ScopedResponder()
{
    setResponder(std::move(m_previous));
}

Chooser::Request Chooser::fileRequest(Kind kind, const String& title, const String& typeName,
                                      const String& extension, QWidget* parent)
{
    Request request;
    request.kind = kind;
    request.title = title;
    request.typeName = typeName;
    request.extension = extension;
    request.filter = typeName + " (*." + extension + ")";
    request.parent = parent;
    return request;
}

String Chooser::choose(const Request& request)
{
    String path = responder() ? responder()(request) : showDialog(request);
    if (path.empty())
        return path;
    // The save dialog adds the extension itself on most platforms, not all.
    if (request.kind == saveFile && !request.extension.empty()
        && !path.qString().endsWith(QLatin1Char('.') + request.extension.qString()))
        path += "." + request.extension;
    return path;
}

String Chooser::showDialog(const Request& request)
{
    QFileDialog dialog(request.parent, request.title.qString());
    switch (request.kind) {
    case openFile:
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setNameFilter(request.filter.qString());
        break;
    case saveFile:
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setNameFilter(request.filter.qString());
        dialog.setDefaultSuffix(request.extension.qString());
        break;
    case openFolder:
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        break;
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return String();
    return String(dialog.selectedFiles().constFirst());
}

} // namespace vantorix
