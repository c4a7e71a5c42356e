#include "Catalogue/VantorixTools.h"
#include "Environment/Platform.h"
#include "products/InstallerRelease.h"
#include "support/InstallerReport.h"
#include "update/UpdateLog.h"

#include "common/XMLText.h"

#include <QtTest>

using namespace vantorix;
using namespace installer;

namespace {

using testrecords::readText;
using testrecords::writeText;

// Sets the machine's hardware addresses for one scope.
class Addresses {
public:
    explicit Addresses(const char* list) : m_saved(qgetenv("VANTORIX_MAC_ADDRESSES"))
    {
        qputenv("VANTORIX_MAC_ADDRESSES", list);
    }
    ~Addresses() { qputenv("VANTORIX_MAC_ADDRESSES", m_saved); }

private:
    QByteArray m_saved;
};

} // namespace

class tst_Reports : public QObject {
    Q_OBJECT

private slots:
    void machineAddress();
    void installationReportRequest();
    void responsesFillTheAttachedRecords();
    void updateStepsRoundTrip();
};

// The first address that is not the null address; the null one when it is all there is.
void tst_Reports::machineAddress()
{
    const struct { const char* addresses; const char* expected; } machines[] = {
        {"02-00-5E-10-00-01,AA-BB-CC-DD-EE-FF", "02-00-5E-10-00-01"},
        {"00-00-00-00-00-00,AA-BB-CC-DD-EE-FF", "AA-BB-CC-DD-EE-FF"},
        {"00-00-00-00-00-00", "00-00-00-00-00-00"}};
    for (const auto& c : machines) {
        Addresses machine(c.addresses);
        QCOMPARE(Report().getMACAddress().qString(), QString::fromLatin1(c.expected));
    }
}

void tst_Reports::installationReportRequest()
{
    VantorixTools store;
    auto client = std::make_unique<Client>();
    client->setEmail(String("anna@example.com"));
    store.setClient(std::move(client));
    auto report = std::make_unique<InstallerReport>();
    report->getAction().setInstallation(true);
    store.setReport(std::move(report));

    const QByteArray text = writeText(store);
    const QByteArray expected = "\t<report>\n"
                                "\t\t<system>\n"
                                "\t\t\t<name>Mac</name>\n"
                                "\t\t\t<version>"
        + platform.getVersionString().toByteArray()
        + "</version>\n"
          "\t\t\t<wordSize>0</wordSize>\n"
          "\t\t</system>\n"
          "\t\t<macAddress>02-00-5E-10-00-01</macAddress>\n"
          "\t\t<installer>\n"
          "\t\t\t<version>2.05</version>\n"
          "\t\t\t<installation></installation>\n"
          "\t\t</installer>\n"
          "\t</report>\n"
          "\t<client edited=\"";
    QVERIFY2(text.contains(expected), text.constData());

    // Without the mark and the version, the action has nothing to say.
    InstallerReport response(false);
    const QByteArray empty = writeText(response);
    QVERIFY2(empty.contains("<installer></installer>"), empty.constData());
}

void tst_Reports::responsesFillTheAttachedRecords()
{
    InstallerRelease release;
    VantorixTools response;
    auto report = std::make_unique<InstallerReport>(false);
    report->getAction().setRelease(&release);
    response.setReport(std::move(report));

    const QByteArray text = "<vantorixtools version=\"1\" target=\"commercial\">\n"
                            "<report><system><name>Mac</name></system>\n"
                            "<installer><version>2.06</version>\n"
                            "<release><releasesize>12.5</releasesize>\n"
                            "<releaseurl locale=\"de\">https://x/de.zip</releaseurl>\n"
                            "<other>skipped</other>\n"
                            "<releaseurl>https://x/int.zip</releaseurl></release>\n"
                            "</installer></report></vantorixtools>";
    QVERIFY(readText(response, text));
    auto* read = dynamic_cast<InstallerReport*>(response.getReport());
    QVERIFY(read && read->getAction().getVersion() == "2.06");
    QCOMPARE(release.getSize(), 12.5);
    QStringList releases;
    for (const auto& entry : release.getReleaseList())
        releases << entry.getLanguage().qString() + ' ' + entry.getUrl().qString();
    QCOMPARE(releases, (QStringList{"de https://x/de.zip", "INT https://x/int.zip"}));
    const QByteArray written = writeText(release);
    QVERIFY2(written.contains("<releasesize>12.500000</releasesize>"), written.constData());

    // Without a release attached the element is passed over.
    VantorixTools plain;
    plain.setReport(std::make_unique<InstallerReport>(false));
    QVERIFY(readText(plain, text));

    // A support request's answer fills in the report id.
    const String attachment("UEsDBAoAAAAAA==");
    SupportPackage package(String("T-42"), String("It <broke>"), attachment);
    VantorixTools store;
    auto supportReport = std::make_unique<InstallerReport>();
    supportReport->getAction().setSupport(&package);
    store.setReport(std::move(supportReport));

    const QByteArray request = writeText(store);
    QVERIFY2(request.contains("\t\t\t<support>\n"
                              "\t\t\t\t<ticket>T-42</ticket>\n"
                              "\t\t\t\t<description>It &lt;broke&gt;</description>\n"
                              "\t\t\t\t<attachment>UEsDBAoAAAAAA==</attachment>\n"
                              "\t\t\t\t<reportId></reportId>\n"
                              "\t\t\t</support>\n"),
             request.constData());

    // The response is read into the same store; its report id lands in the
    // package, whose request fields stay.
    const QByteArray answer = "<vantorixtools><report><installer><support><reportId>R-1001</reportId>"
                              "</support></installer></report></vantorixtools>";
    QVERIFY(readText(store, answer));
    QCOMPARE(package.getReportId().qString(), QStringLiteral("R-1001"));
    QCOMPARE(package.getTicket().qString(), QStringLiteral("T-42"));
    QCOMPARE(package.getAttachment(), attachment);
}

void tst_Reports::updateStepsRoundTrip()
{
    UpdateLog log;
    log.add(String("FindExecutable"), String("Executable found at /Apps/Vantorix Installer.app"), true);
    log.add(String("Unlink"), String("Unlink failed with this error code: -1 & more"), false);
    UpdateReport update(log);

    InstallerReport report;
    report.getAction().setUpdate(&update);
    const QByteArray text = writeText(report);
    QVERIFY2(text.contains("\t\t<update>\n"
                           "\t\t\t<previousVersion>2.05</previousVersion>\n"
                           "\t\t\t<steps>\n"
                           "\t\t\t\t<step>\n"
                           "\t\t\t\t\t<action>FindExecutable</action>\n"
                           "\t\t\t\t\t<success>1</success>\n"),
             text.constData());

    UpdateReport readBack;
    readBack.setPreviousVersion(String());
    InstallerReport readReport(false);
    readReport.getAction().setUpdate(&readBack);
    QVERIFY(readText(readReport, text));
    QCOMPARE(readBack.getPreviousVersion().qString(), QStringLiteral("2.05"));
    const std::vector<LogEntry>& steps = readBack.getLog().getEntries();
    QCOMPARE(int(steps.size()), 2);
    QVERIFY(steps[0].isSuccess() && !steps[1].isSuccess());
    QCOMPARE(steps[1].getMessage().qString(), QStringLiteral("Unlink failed with this error code: -1 & more"));

    // "true" and "false" read as well as "1" and "0"; anything else fails.
    LogEntry entry;
    QVERIFY(readText(entry, "<step><action>A</action><success>true</success>done</step>"));
    QVERIFY(entry.isSuccess());
    QCOMPARE(entry.getMessage().qString(), QStringLiteral("done"));
    QVERIFY(!readText(entry, "<step><success>yes</success></step>"));
}

QTEST_GUILESS_MAIN(tst_Reports)
#include "tst_Reports.moc"
