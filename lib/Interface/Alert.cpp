#include "Interface/Alert.h"

#include <QMessageBox>
#include <QPushButton>

namespace vantorix {

namespace {

Alert::Responder& responder()
{
    static Alert::Responder current;
    return current;
}

} // namespace

Alert::Responder Alert::setResponder(Responder replacement)
{
    Responder previous = std::move(responder());
    responder() = std::move(replacement);
    return previous;
}

Alert::ScopedResponder::ScopedResponder(Responder replacement) : m_previous(setResponder(std::move(replacement)))
{
}

Alert::ScopedResponder::~ScopedResponder()
{
    setResponder(std::move(m_previous));
}

Alert::Alert(const String& title, QWidget* parent) : m_title(title), m_parent(parent)
{
}

Alert::~Alert() = default;

bool Alert::present(const Request& request)
{
    if (responder())
        return responder()(request);
    return showBox(request);
}

bool Alert::showBox(const Request& request)
{
    QMessageBox box(request.parent);
    box.setWindowTitle(request.title.qString());
    box.setText(request.text.qString());
    if (!request.informativeText.empty())
        box.setInformativeText(request.informativeText.qString());
    switch (request.kind) {
    case notify:
    case error:
        box.setIcon(request.kind == notify ? QMessageBox::Information : QMessageBox::Critical);
        box.setStandardButtons(QMessageBox::Ok);
        box.exec();
        return true;
    case confirm: {
        box.setIcon(QMessageBox::Question);
        QPushButton* accept = box.addButton(request.buttons.value(0), QMessageBox::YesRole);
        box.addButton(request.buttons.value(1), QMessageBox::NoRole);
        box.setDefaultButton(accept);
        box.exec();
        return box.clickedButton() == accept;
    }
    }
    return false;
}

} // namespace vantorix
