// The update sheet and the choice of the archive: which release entry the
// host's language takes (the last of that language, no "INT" fallback for
// another language), what the user sees when there is none, and how the
// progress bar moves, with and without a known total.

#include "update/UpdateWidget.h"
#include "update/VersionManager.h"

#include "common/ServiceProcess.h"
#include "common/TestSupport.h"

#include "Environment/Host.h"
#include "Interface/AlertRecorder.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProgressBar>
#include <QtTest>

using namespace vantorix;
using namespace installer;

namespace {

// Starts the stand-in with installer.json offering 2.06 with these releases.
bool offer(testsupport::ServiceProcess& service, const QJsonObject& releases)
{
    const QString data = QDir(testsupport::sandboxDir()).filePath(QStringLiteral("data"));
    QDir(data).removeRecursively();
    if (!testsupport::ServiceProcess::copyFolder(QDir(testsupport::dataDir()).filePath(QStringLiteral("app/service")), data))
        return false;
    QJsonObject served;
    for (auto it = releases.begin(); it != releases.end(); ++it)
        served.insert(it.key(), QStringLiteral("${SERVICE}") + it.value().toString());
    QJsonObject installer{{QStringLiteral("version"), QStringLiteral("2.06")},
                          {QStringLiteral("releases"), served}};
    QFile json(data + QStringLiteral("/installer.json"));
    if (!json.open(QIODevice::WriteOnly) || json.write(QJsonDocument(installer).toJson()) <= 0)
        return false;
    json.close();
    if (!service.start({}, data))
        return false;
    service.exportEnvironment();
    return true;
}

} // namespace

class tst_UpdateWidget : public QObject {
    Q_OBJECT

private slots:
    void chooseArchive_data();
    void chooseArchive();
    void noArchiveForTheLanguage();
    void progress_data();
    void progress();
};

void tst_UpdateWidget::chooseArchive_data()
{
    QTest::addColumn<QJsonObject>("releases");
    QTest::addColumn<QString>("url");
    // The stand-in writes the entries in the order of their locale names.
    const QString language = host.getLanguage().qString();
    QTest::newRow("host's language")
        << QJsonObject{{language, QStringLiteral("/a.zip")}, {QStringLiteral("DEU"), QStringLiteral("/d.zip")}}
        << "/a.zip";
    QTest::newRow("letter case ignored, last one wins")
        << QJsonObject{{language.toLower(), QStringLiteral("/lower.zip")}, {language, QStringLiteral("/upper.zip")}}
        << "/lower.zip";
    QTest::newRow("none for the language") << QJsonObject{{QStringLiteral("DEU"), QStringLiteral("/d.zip")}} << "";
}

void tst_UpdateWidget::chooseArchive()
{
    QFETCH(QJsonObject, releases);
    QFETCH(QString, url);
    testsupport::ServiceProcess service;
    QVERIFY2(offer(service, releases), qPrintable(service.errorString()));
    VersionManager versions;
    QVERIFY(versions.isUpdateAvailable());
    QCOMPARE(versions.update(), !url.isEmpty());
    if (url.isEmpty()) {
        QCOMPARE(versions.getErrorCode(), short(14));
        QCOMPARE(versions.getFailure(), QStringLiteral("No installer update is offered for the language ") +
                                            host.getLanguage().qString());
    } else {
        QCOMPARE(versions.getUpdater().getUrl().qString(), service.url() + url);
    }
}

void tst_UpdateWidget::noArchiveForTheLanguage()
{
    // The sheet shows row 14 with the reason, then the program ends.
    testsupport::ServiceProcess service;
    QVERIFY(offer(service, QJsonObject{{QStringLiteral("DEU"), QStringLiteral("/d.zip")}}));
    VersionManager versions;
    QVERIFY(versions.isUpdateAvailable());
    AlertRecorder alerts;
    QWidget window;
    UpdateWidget sheet(&versions, &window);
    QTRY_COMPARE(alerts.boxes().size(), std::size_t(1));
    QCOMPARE(alerts.boxes().front().kind, Alert::error);
    QCOMPARE(alerts.boxes().front().text.qString(),
             QStringLiteral("An error occured while trying to update the Vantorix Installer, please try again later"
                            "<br>No installer update is offered for the language ") +
                 host.getLanguage().qString());
    // The sheet quit the application: without a running loop that only
    // stops the next loops, until exec() has run once.
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
}

void tst_UpdateWidget::progress_data()
{
    // Reports of (downloaded, total, the percent at the previous report); the bar after them.
    QTest::addColumn<QList<QList<qint64>>>("reports");
    QTest::addColumn<int>("value");
    QTest::newRow("known total") << QList<QList<qint64>>{{10, 200, 0}, {100, 200, 5}, {200, 200, 50}} << 100;
    QTest::newRow("unknown total: 5 each") << QList<QList<qint64>>{{10, 0, 0}, {20, 0, 0}, {30, 0, 0}} << 15;
    QList<QList<qint64>> many;
    for (int i = 0; i < 30; ++i)
        many.append({1, 0, 0});
    QTest::newRow("unknown total stops at the end") << many << 100;
    QTest::newRow("no step back") << QList<QList<qint64>>{{100, 200, 0}, {100, 200, 60}} << 50;
}

void tst_UpdateWidget::progress()
{
    QFETCH(QList<QList<qint64>>, reports);
    QFETCH(int, value);
    testsupport::ServiceProcess service;
    QVERIFY(offer(service, QJsonObject{{host.getLanguage().qString(), QStringLiteral("/a.zip")}}));
    VersionManager versions;
    QVERIFY(versions.isUpdateAvailable());
    AlertRecorder alerts;
    QWidget window;
    UpdateWidget sheet(&versions, &window);
    for (const QList<qint64>& report : reports)
        sheet.updateProgress(report.at(0), report.at(1), int(report.at(2)), 0);
    QCOMPARE(sheet.getProgress(), value);
}

QTEST_MAIN(tst_UpdateWidget)
#include "tst_UpdateWidget.moc"
