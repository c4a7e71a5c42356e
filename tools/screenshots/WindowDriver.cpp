#include "WindowDriver.h"

#include "products/InstallerProduct.h"
#include "ui/EULADialog.h"
#include "ui/InstallerDialog.h"
#include "ui/OptionsWidget.h"
#include "ui/ProductWidget.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPushButton>

#include <cstdio>
#include <memory>

using namespace installer;

namespace windowdriver {

namespace {
QString linePrefix = QStringLiteral("driver");
int failureCount = 0;
} // namespace

void setPrefix(const QString& prefix)
{
    linePrefix = prefix;
}

void say(const QString& line)
{
    std::fprintf(stderr, "%s: %s\n", qPrintable(linePrefix), qPrintable(line));
}

void fail(const QString& what)
{
    ++failureCount;
    say(QStringLiteral("FAILED: ") + what);
}

int failures()
{
    return failureCount;
}

void settle(int ms)
{
    QTest::qWait(ms);
}

bool waitFor(const std::function<bool()>& condition, int ms, const QString& what)
{
    if (QTest::qWaitFor(condition, ms))
        return true;
    say(QStringLiteral("timed out waiting for ") + what);
    return false;
}

void click(QWidget* widget)
{
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        button->click();
    else if (widget != nullptr)
        QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, widget->rect().center());
}

bool control(const QString& query)
{
    const QString base = qEnvironmentVariable("VANTORIX_SERVICE_URL");
    QNetworkAccessManager network;
    std::unique_ptr<QNetworkReply> reply(network.get(QNetworkRequest(QUrl(base + QStringLiteral("/control?") + query))));
    const bool answered = QTest::qWaitFor([&] { return reply->isFinished(); }, 5000);
    if (!answered || reply->error() != QNetworkReply::NoError) {
        fail(QStringLiteral("the stand-in refused /control?") + query);
        return false;
    }
    return true;
}

OptionsWidget* WindowDriver::options() const
{
    return m_window->getOptions();
}

QListWidget* WindowDriver::list() const
{
    return m_window->findChild<QListWidget*>(QStringLiteral("products"));
}

bool WindowDriver::waitForOptions()
{
    if (!QTest::qWaitFor([&] { return options() != nullptr && options()->isVisible(); }, 20000)) {
        fail(QStringLiteral("the options panel did not show"));
        return false;
    }
    settle();
    return true;
}

bool WindowDriver::signIn(const QString& email, const QString& password)
{
    auto* emailEdit = child<QLineEdit>(options(), "emailEdit");
    auto* passwordEdit = child<QLineEdit>(options(), "passwordEdit");
    if (emailEdit == nullptr || passwordEdit == nullptr)
        return false;
    emailEdit->clear();
    QTest::keyClicks(emailEdit, email);
    passwordEdit->clear();
    QTest::keyClicks(passwordEdit, password);
    click(child<QPushButton>(options(), "submitButton"));
    if (!QTest::qWaitFor([&] { return !options()->isVisible() && list() != nullptr && list()->count() > 0; },
                         30000)) {
        fail(QStringLiteral("no products listed after signing in (options panel %1, %2 products listed)")
                 .arg(options()->isVisible() ? QStringLiteral("still shown") : QStringLiteral("hidden"))
                 .arg(list() != nullptr ? list()->count() : -1));
        return false;
    }
    waitForRows();
    return true;
}

void WindowDriver::waitForRows()
{
    waitFor([&] { return m_window->shownWidgetAt(0) != nullptr; }, 5000, QStringLiteral("the first row"));
    settle(1200);
}

void WindowDriver::showCategory(const char* label)
{
    click(child<QLabel>(m_window, label));
    // A category may rightly be empty (Updates, while nothing older is
    // installed).
    if (!QTest::qWaitFor([&] { return list()->count() > 0; }, 3000)) {
        say(QLatin1String(label) + QStringLiteral(": the list is empty"));
        settle(500);
        return;
    }
    waitForRows();
}

int WindowDriver::installableRow()
{
    for (int row = 0; row < list()->count(); ++row) {
        InstallerProduct* product = m_window->productAt(row);
        if (product != nullptr && !product->isInstalled() && !product->isBusy())
            return row;
    }
    return -1;
}

bool WindowDriver::install(int row, const QString& agreementName, const std::function<void(QWidget*)>& atAgreement)
{
    list()->scrollToItem(list()->item(row));
    settle();
    ProductWidget* widget = m_window->widgetAt(row);
    auto* button = widget != nullptr ? widget->findChild<QPushButton*>(QStringLiteral("button")) : nullptr;
    if (button == nullptr) {
        fail(QStringLiteral("no install button in row %1").arg(row));
        return false;
    }
    say(QStringLiteral("installing row %1: %2").arg(row).arg(widget->findChild<QLabel*>(QStringLiteral("label"))->text()));
    return answerModal<EULADialog>(
        [button] { click(button); }, agreementName, "okButton",
        [](EULADialog* dialog) {
            auto* ok = dialog->findChild<QPushButton*>(QStringLiteral("okButton"));
            return ok != nullptr && ok->isEnabled();
        },
        [atAgreement](EULADialog* dialog) {
            if (atAgreement)
                atAgreement(dialog);
        });
}

bool WindowDriver::waitUntilIdle(int ms)
{
    const auto idle = [&] {
        for (int row = 0; row < list()->count(); ++row) {
            InstallerProduct* product = m_window->productAt(row);
            if (product != nullptr && product->isBusy())
                return false;
        }
        return true;
    };
    return waitFor(idle, ms, QStringLiteral("the products to finish"));
}

} // namespace windowdriver
