#include "common/ServiceProcess.h"
#include "common/TestSupport.h"

#include "Catalogue/VantorixTools.h"
#include "Serialise/XMLWriter.h"
#include "Utility/DataBufferIn.h"
#include "Utility/DataBufferOut.h"
#include "Web/ServiceAddress.h"
#include "Web/WebServiceClient.h"

#include <QtTest>

using namespace vantorix;
using testsupport::ServiceProcess;

namespace {

QString serviceData()
{
    return testsupport::dataDir() + "/Web/service";
}

// The "vantorixtools" element of the stand-in's answer to a listing request.
QByteArray listingAnswer(const ServiceProcess& service, const QString& operation, const QString& client)
{
    const QByteArray request =
        QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<soap:Envelope "
                       "xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"><soap:Body><%1 xmlns=\"%2\">"
                       "<vantorixtools version=\"1\" target=\"commercial\">%3</vantorixtools></%1></soap:Body>"
                       "</soap:Envelope>")
            .arg(operation, QLatin1String(ServiceAddress::baseURI), client)
            .toUtf8();
    WebServiceClient web(String(QUrl(service.url()).authority()), false);
    String answer;
    if (!web.postText(String(ServiceAddress::path), ServiceAddress::getAction(String(operation)), request, &answer))
        return QByteArray();
    const QByteArray text = answer.toByteArray();
    const int start = text.indexOf("<vantorixtools");
    const int end = text.indexOf("</vantorixtools>");
    return start < 0 || end < start ? QByteArray() : text.mid(start, end - start + 16);
}

bool readStore(VantorixTools& store, const QByteArray& text)
{
    DataBufferIn in;
    in.setSource(text, Encoding::UTF8);
    return store.readInstallation(in);
}

QByteArray writeStore(VantorixTools& store)
{
    String text;
    {
        DataBufferOut out(&text);
        XMLWriter(&out).exportFrom(store, true, true, true, true);
    }
    return text.toByteArray();
}

void copyFolder(const QString& from, const QString& to)
{
    QDir().mkpath(to);
    for (const QFileInfo& entry : QDir(from).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (entry.isDir())
            copyFolder(entry.filePath(), to + "/" + entry.fileName());
        else
            QFile::copy(entry.filePath(), to + "/" + entry.fileName());
    }
}

} // namespace

class tst_ServiceListing : public QObject {
    Q_OBJECT

private slots:
    void answersAreTheCatalogueRecords_data();
    void answersAreTheCatalogueRecords();
    void refusesAListingThatDoesNotParse();
};

void tst_ServiceListing::answersAreTheCatalogueRecords_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("client");

    QTest::newRow("account") << "ProductListing" << "listings/anna.xml"
                             << "<client><email>anna.berg@example.com</email><password>correct horse</password></client>";
    QTest::newRow("educational") << "ProductListingEdu" << "education.xml"
                                 << "<client><email>student@example.edu</email></client>";
}

void tst_ServiceListing::answersAreTheCatalogueRecords()
{
    QFETCH(QString, operation);
    QFETCH(QString, file);
    QFETCH(QString, client);

    ServiceProcess service;
    QVERIFY2(service.start(), qPrintable(service.errorString()));
    const QByteArray answer = listingAnswer(service, operation, client);
    QVERIFY2(!answer.isEmpty(), qPrintable(service.output()));

    VantorixTools fromService;
    QVERIFY(readStore(fromService, answer));
    QFile listing(serviceData() + "/" + file);
    QVERIFY(listing.open(QIODevice::ReadOnly));
    QByteArray expectedText = listing.readAll();
    expectedText.replace("${SERVICE}", service.url().toUtf8());
    VantorixTools fromFile;
    QVERIFY(readStore(fromFile, expectedText));

    QVERIFY(fromService.getInstallation()->getProducts().size() > 0);
    QCOMPARE(fromService.getTarget(), fromFile.getTarget());
    // The same records, written by the same code.
    QCOMPARE(writeStore(fromService), writeStore(fromFile));
    QVERIFY2(answer.contains("<price>149.00</price>") || file != "listings/anna.xml", answer.constData());
}

void tst_ServiceListing::refusesAListingThatDoesNotParse()
{
    QTemporaryDir folder(QDir(testsupport::sandboxDir()).filePath(QStringLiteral("listing-XXXXXX")));
    copyFolder(serviceData(), folder.path());
    QFile broken(folder.filePath("listings/anna.xml"));
    QVERIFY(broken.open(QIODevice::WriteOnly | QIODevice::Truncate));
    broken.write("<vantorixtools><installation><products><product id=\"x\" edit=\"not a time\"/>");
    broken.close();

    ServiceProcess service;
    QVERIFY(!service.start({}, folder.path(), 10000));
    QVERIFY2(service.errorString().contains(QLatin1String("is not a product listing")), qPrintable(service.errorString()));
}

QTEST_GUILESS_MAIN(tst_ServiceListing)
#include "tst_ServiceListing.moc"
