#include "cli/ProductRun.h"

#include "products/InstallerProduct.h"

#include <QEventLoop>
#include <QTextStream>
#include <QTimer>

namespace installer {

namespace {

// The status line on a terminal is rewritten at most this often.
constexpr int statusInterval = 1000;

} // namespace

ProductRun::ProductRun(Action action, QTextStream& out, QTextStream& err, bool terminal, Describe describe,
                       Describe failureText)
    : m_action(action), m_out(out), m_err(err), m_terminal(terminal), m_describe(std::move(describe)),
      m_failureText(std::move(failureText))
{
}

ProductRun::~ProductRun() = default;

ProductRun::Outcome ProductRun::run(const std::vector<InstallerProduct*>& products)
{
    m_outcome = Outcome();
    m_running = products;
    m_pending.clear();
    m_descriptions.clear();
    for (InstallerProduct* product : products) {
        m_descriptions[product] = m_describe(*product);
        // Connected to this object, so nothing stays connected once the run
        // is over.
        connect(product, &InstallerProduct::productActionComplete, this, [this, product] { finished(product, true); });
        connect(product, &InstallerProduct::productActionFailure, this, [this, product] { finished(product, false); });
        if (m_terminal)
            connect(product, &InstallerProduct::progress, this, [this] { showProgress(false); });
        m_pending.insert(product);
    }

    m_sinceStatus.start();
    for (InstallerProduct* product : products) {
        m_out << (m_action == install ? "Installing " : m_action == add ? "Adding " : "Uninstalling ")
              << m_descriptions[product] << " ..." << Qt::endl;
        // A product whose archive is already here ends inside this call.
        // Adding to an offline file is an install that only downloads.
        if (m_action != uninstall)
            product->install();
        else
            product->unInstall();
    }

    if (!m_pending.empty()) {
        QEventLoop loop;
        m_loop = &loop;
        QTimer ticker;
        if (m_terminal) {
            connect(&ticker, &QTimer::timeout, this, [this] { showProgress(true); });
            ticker.start(statusInterval);
        }
        // Returns when the last product has ended, or earlier when the
        // program is told to quit.
        loop.exec();
        m_loop = nullptr;
        clearStatusLine();
    }

    if (!m_pending.empty()) {
        m_outcome.interrupted = true;
        for (InstallerProduct* product : m_running) {
            if (m_pending.count(product) != 0 && product->isBusy())
                product->cancel();
        }
    }
    for (InstallerProduct* product : m_running)
        disconnect(product, nullptr, this, nullptr);
    m_running.clear();
    return m_outcome;
}

void ProductRun::finished(InstallerProduct* product, bool success)
{
    if (m_pending.erase(product) == 0)
        return;
    clearStatusLine();
    if (success) {
        m_out << (m_action == install ? "Installed " : m_action == add ? "Added " : "Uninstalled ")
              << m_descriptions[product] << Qt::endl;
    } else {
        m_outcome.failed.push_back(product);
        m_err << m_failureText(*product) << Qt::endl;
    }
    if (m_pending.empty() && m_loop != nullptr)
        m_loop->quit();
}

void ProductRun::showProgress(bool force)
{
    if (!force && m_sinceStatus.isValid() && m_sinceStatus.elapsed() < statusInterval)
        return;
    m_sinceStatus.restart();
    QStringList parts;
    for (InstallerProduct* product : m_running) {
        if (m_pending.count(product) == 0 || !product->isBusy())
            continue;
        const QString name = product->getProduct().getName().qString();
        if (product->getProgressRange() > 0) {
            const int percent = qBound(0, product->getProgressValue() * 100 / product->getProgressRange(), 100);
            parts << QStringLiteral("%1 %2%").arg(name).arg(percent);
        } else if (product->getReceivedBytes() > 0) {
            // The size is not known: what has arrived so far.
            parts << QStringLiteral("%1 %2 bytes").arg(name, QString::number(product->getReceivedBytes()));
        }
    }
    if (parts.isEmpty())
        return;
    const QString line = parts.join(QStringLiteral("  "));
    m_out << '\r' << line.leftJustified(m_statusWidth) << Qt::flush;
    m_statusWidth = line.size();
}

void ProductRun::clearStatusLine()
{
    if (m_statusWidth == 0)
        return;
    m_out << '\r' << QString(m_statusWidth, QLatin1Char(' ')) << '\r' << Qt::flush;
    m_statusWidth = 0;
}

} // namespace installer
