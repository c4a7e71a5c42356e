#include "OptionsWidget.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

namespace installer {

OptionsWidget::OptionsWidget(QWidget* parent) : QWidget(parent)
{
    m_timer = new QTimer(this);
}

OptionsWidget::~OptionsWidget() = default;

void OptionsWidget::setControlsEnabled(bool) {}
void OptionsWidget::refreshControls() {}
void OptionsWidget::doSubmit() {}
void OptionsWidget::doQuit() { QApplication::quit(); }
void OptionsWidget::handleEvents() {}
void OptionsWidget::actionChange(bool) {}
void OptionsWidget::refreshLoginDetails() {}
void OptionsWidget::showEvent(QShowEvent* event) { QWidget::showEvent(event); }
void OptionsWidget::keyPressEvent(QKeyEvent* event) { QWidget::keyPressEvent(event); }
void OptionsWidget::buildTree() {}
void OptionsWidget::submit() {}

} // namespace installer
