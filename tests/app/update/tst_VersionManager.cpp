// The start-up version question: which version texts count as newer, and
// what the check makes of the stand-in's answer and of an error page.

#include "update/VersionManager.h"

#include "common/ServiceProcess.h"

#include <QtTest>

using namespace vantorix;
using namespace installer;

class tst_VersionManager : public QObject {
    Q_OBJECT

private slots:
    void isNewer_data();
    void isNewer();
    void check_data();
    void check();
};

void tst_VersionManager::isNewer_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<bool>("newer");
    QTest::newRow("the running version") << "2.05" << false;
    QTest::newRow("within the tolerance") << "2.050009" << false;
    QTest::newRow("next version") << "2.06" << true;
    QTest::newRow("not a number") << "new" << false;
}

void tst_VersionManager::isNewer()
{
    QFETCH(QString, version);
    QFETCH(bool, newer);
    QCOMPARE(VersionManager::isNewer(String(version)), newer);
}

void tst_VersionManager::check_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<bool>("update");
    QTest::newRow("newer release") << "" << true;
    QTest::newRow("error page") << "status=500" << false;
}

void tst_VersionManager::check()
{
    QFETCH(QString, control);
    QFETCH(bool, update);
    testsupport::ServiceProcess service;
    QVERIFY2(service.start(), qPrintable(service.errorString()));
    service.exportEnvironment();
    if (!control.isEmpty())
        QVERIFY(service.control(control));
    VersionManager versions;
    QCOMPARE(versions.isUpdateAvailable(), update);
    if (update) {
        QCOMPARE(versions.getServerVersion().qString(), QStringLiteral("2.06"));
        QCOMPARE(versions.getRelease().getReleaseList().size(), std::size_t(2));
        QCOMPARE(versions.getErrorCode(), short(0));
    } else {
        // A request that failed keeps the transport's error for the user.
        QVERIFY(versions.getErrorCode() != 0);
        QVERIFY(versions.getRelease().getReleaseList().empty());
    }
}

QTEST_GUILESS_MAIN(tst_VersionManager)
#include "tst_VersionManager.moc"
