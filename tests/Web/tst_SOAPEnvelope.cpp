#include "Web/TestPayload.h"

#include "Serialise/XMLReader.h"
#include "Utility/DataBufferIn.h"
#include "Web/RequestBody.h"
#include "Web/ResponseBody.h"
#include "Web/ServiceAddress.h"
#include "Web/XMLSOAPEnvelope.h"

#include "common/XMLText.h"

#include <QtTest>

using namespace vantorix;

namespace {

QString written(XMLShipping& root)
{
    return QString::fromUtf8(testrecords::writeText(root));
}

// Read as a post reads an answer: "soap" matched by the envelope namespace.
bool readInto(const QString& text, XMLSOAPEnvelope& root)
{
    DataBufferIn in{String(text), Encoding::UTF8};
    XMLReader reader(&in);
    XMLSOAPEnvelope::bindNameSpace(reader);
    root.setDefault();
    return reader.importTo(root) && root.isBodyRead();
}

// An answer laid out the way an ASP.NET service sends it: one line, the
// namespace declarations in its own order.
QString aspNetAnswer(const QString& body)
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?><soap:Envelope "
                          "xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\" "
                          "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
                          "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\"><soap:Body>%1</soap:Body></soap:Envelope>")
        .arg(body);
}

// A header record, to show where one goes.
class TestHeader : public XMLAssembly {
public:
    String token{"abc"};
    const char* getTag() const override { return "Header"; }
    unsigned long shippingSize() const override { return 1; }
    ShippingPtr getShipping(unsigned long index, bool) override { return index == 0 ? ship(token, "token") : nullptr; }
    ShippingPtr getShipping(const String& tag, const String&) override
    {
        return tag == "token" ? getShipping(0, false) : nullptr;
    }
    void setDefault() override { token.clear(); }
};

} // namespace

class tst_SOAPEnvelope : public QObject {
    Q_OBJECT

private slots:
    void requestShape();
    void readsAnswers_data();
    void readsAnswers();
    void keepsTheNamespaceAttributesRead();
    void faultRoundTrip();
};

void tst_SOAPEnvelope::requestShape()
{
    TestTools tools;
    tools.client.email = "anna.berg@example.com";
    RequestBody body(tools, String(ServiceAddress::login));
    XMLSOAPEnvelope envelope(body);

    const QString expected = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n"
        "<soap:Envelope xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
        "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
        "xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\">\n"
        "\t<soap:Body>\n"
        "\t\t<Login xmlns=\"%1\">\n"
        "\t\t\t<vantorixtools version=\"1\" target=\"commercial\">\n"
        "\t\t\t\t<client>\n"
        "\t\t\t\t\t<name></name>\n"
        "\t\t\t\t\t<email>anna.berg@example.com</email>\n"
        "\t\t\t\t</client>\n"
        "\t\t\t</vantorixtools>\n"
        "\t\t</Login>\n"
        "\t</soap:Body>\n"
        "</soap:Envelope>\n")
                                 .arg(QLatin1String(ServiceAddress::baseURI));
    QCOMPARE(written(envelope), expected);

    // A header goes before the body.
    TestHeader header;
    RequestBody reporting(tools, String(ServiceAddress::reporting));
    XMLSOAPEnvelope withHeader(reporting, &header);
    const QString text = written(withHeader);
    const int headerAt = text.indexOf(QLatin1String("\t<soap:Header>\n\t\t<token>abc</token>\n\t</soap:Header>\n"));
    QVERIFY2(headerAt > 0, qPrintable(text));
    QVERIFY(headerAt < text.indexOf(QLatin1String("<soap:Body>")));
    QVERIFY(text.contains(QLatin1String("<Reporting xmlns=")));
}

void tst_SOAPEnvelope::readsAnswers_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("read");
    QTest::addColumn<bool>("successful");
    QTest::addColumn<bool>("fault");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("name");

    const QString ns = QLatin1String(ServiceAddress::baseURI);
    const QString tools = QStringLiteral("<vantorixtools version=\"1\" target=\"commercial\"><client><name>Anna Berg</name>"
                                         "<email>anna.berg@example.com</email></client></vantorixtools>");
    QTest::newRow("signed in") << aspNetAnswer(QStringLiteral("<LoginResponse xmlns=\"%1\"><ActivationResult>true</ActivationResult>"
                                                              "%2<errorDescription /><errorCode>0</errorCode><redirectUrl />"
                                                              "</LoginResponse>").arg(ns, tools))
                               << true << true << false << "0" << "" << "Anna Berg";
    QTest::newRow("unknown result element skipped")
        << aspNetAnswer(QStringLiteral("<LoginResponse xmlns=\"%1\"><LoginResult><a>1</a></LoginResult>"
                                       "<ActivationResult>1</ActivationResult>%2</LoginResponse>").arg(ns, tools))
        << true << true << false << "" << "" << "Anna Berg";
    QTest::newRow("fault") << aspNetAnswer(QStringLiteral("<soap:Fault><faultcode>soap:Server</faultcode>"
                                                          "<faultstring>Database &amp; cache down</faultstring>"
                                                          "<detail /></soap:Fault>"))
                           << true << false << true << "soap:Server" << "Database & cache down" << "";
    // The same envelope under other prefixes: matched by the namespace URI.
    const QString refused = QStringLiteral("<LoginResponse xmlns=\"%1\"><ActivationResult>false</ActivationResult>"
                                           "<errorCode>21</errorCode></LoginResponse>").arg(ns);
    QTest::newRow("soapenv prefix")
        << QStringLiteral("<soapenv:Envelope xmlns:soapenv=\"%1\"><soapenv:Header/><soapenv:Body>%2</soapenv:Body>"
                          "</soapenv:Envelope>").arg(QLatin1String(XMLSOAPEnvelope::envelopeNameSpace), refused)
        << true << false << false << "21" << "" << "";
    QTest::newRow("default namespace")
        << QStringLiteral("<Envelope xmlns=\"%1\"><Body>%2</Body></Envelope>")
               .arg(QLatin1String(XMLSOAPEnvelope::envelopeNameSpace), refused)
        << true << false << false << "21" << "" << "";
    QTest::newRow("SOAP-ENV fault, declared on the body")
        << QStringLiteral("<x:Envelope xmlns:x=\"%1\"><SOAP-ENV:Body xmlns:SOAP-ENV=\"%1\"><SOAP-ENV:Fault>"
                          "<faultcode>SOAP-ENV:Server</faultcode><faultstring>down</faultstring></SOAP-ENV:Fault>"
                          "</SOAP-ENV:Body></x:Envelope>").arg(QLatin1String(XMLSOAPEnvelope::envelopeNameSpace))
        << true << false << true << "SOAP-ENV:Server" << "down" << "";
    QTest::newRow("soap prefix bound to another namespace")
        << QStringLiteral("<soap:Envelope xmlns:soap=\"http://www.w3.org/2003/05/soap-envelope\"><soap:Body>%1"
                          "</soap:Body></soap:Envelope>").arg(refused)
        << false << true << false << "" << "" << "";
    QTest::newRow("body under an undeclared prefix")
        << QStringLiteral("<soap:Envelope><SOAP-ENV:Body>%1</SOAP-ENV:Body></soap:Envelope>").arg(refused)
        << false << true << false << "" << "" << "";
    // No response element and no fault: nothing was answered.
    QTest::newRow("empty body") << aspNetAnswer(QString()).replace(QLatin1String("<soap:Body></soap:Body>"), QLatin1String("<soap:Body/>")) << false << true << false << "" << "" << "";
    QTest::newRow("another operation's answer")
        << aspNetAnswer(QStringLiteral("<ReportingResponse xmlns=\"%1\"><ActivationResult>true</ActivationResult>"
                                       "</ReportingResponse>").arg(ns))
        << false << true << false << "" << "" << "";
    QTest::newRow("no body") << QStringLiteral("<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"/>")
                             << false << true << false << "" << "" << "";
    QTest::newRow("cut short") << aspNetAnswer(QStringLiteral("<LoginResponse xmlns=\"%1\"><ActivationResult>true")).arg(ns)
                               << false << true << false << "" << "" << "";
}

void tst_SOAPEnvelope::readsAnswers()
{
    QFETCH(QString, answer);
    QFETCH(bool, read);
    QFETCH(bool, successful);
    QFETCH(bool, fault);
    QFETCH(QString, code);
    QFETCH(QString, description);
    QFETCH(QString, name);

    TestTools tools;
    ResponseBody body(&tools, "LoginResponse");
    XMLSOAPEnvelope envelope(body);
    QCOMPARE(readInto(answer, envelope) && body.isAnswered(), read);
    if (!read)
        return;
    QCOMPARE(body.isSuccessful(), successful);
    QCOMPARE(body.isFault(), fault);
    QCOMPARE(body.getErrorCode().qString(), code);
    QCOMPARE(body.getErrorDescription().qString(), description);
    QCOMPARE(tools.client.name.qString(), name);
}

void tst_SOAPEnvelope::keepsTheNamespaceAttributesRead()
{
    ResponseBody body(nullptr, "ReportingResponse");
    XMLSOAPEnvelope envelope(body);
    const QString answer = QStringLiteral("<soap:Envelope xmlns:soap=\"%1\" xmlns:xsi=\"urn:b\" xmlns:xsd=\"urn:c\" "
                                          "soap:encodingStyle=\"urn:d\" xmlns:other=\"urn:e\"><soap:Body>"
                                          "<ReportingResponse xmlns=\"urn:f\"><redirectUrl>http://x/y</redirectUrl>"
                                          "</ReportingResponse></soap:Body></soap:Envelope>")
                               .arg(QLatin1String(XMLSOAPEnvelope::envelopeNameSpace));
    QVERIFY(readInto(answer, envelope));
    QCOMPARE(envelope.getSOAPValue().qString(), QLatin1String(XMLSOAPEnvelope::envelopeNameSpace));
    QCOMPARE(envelope.getXSIValue().qString(), QStringLiteral("urn:b"));
    QCOMPARE(envelope.getXSDValue().qString(), QStringLiteral("urn:c"));
    QCOMPARE(envelope.getEncodingStyleValue().qString(), QStringLiteral("urn:d"));
    QCOMPARE(body.getOperation().getXmlns().qString(), QStringLiteral("urn:f"));
    QCOMPARE(body.getURL().qString(), QStringLiteral("http://x/y"));
    QVERIFY(body.isSuccessful());
}

void tst_SOAPEnvelope::faultRoundTrip()
{
    ResponseBody out(nullptr, "LoginResponse");
    out.setFault(true);
    out.getFault().setFault(String("soap:Client"), String("Bad <request> & \"quotes\""), String("d"));
    XMLSOAPEnvelope outEnvelope(out);
    const QString text = written(outEnvelope);
    QVERIFY2(text.contains(QLatin1String("\t\t<soap:Fault>\n\t\t\t<faultcode>soap:Client</faultcode>\n")), qPrintable(text));
    QVERIFY(!text.contains(QLatin1String("LoginResponse")));

    TestTools tools;
    ResponseBody in(&tools, "LoginResponse");
    XMLSOAPEnvelope inEnvelope(in);
    QVERIFY(readInto(text, inEnvelope));
    QVERIFY(in.isFault());
    QVERIFY(!in.isSuccessful());
    QCOMPARE(in.getErrorDescription().qString(), QStringLiteral("Bad <request> & \"quotes\""));
    QCOMPARE(in.getFault().getDetail().qString(), QStringLiteral("d"));

    // Reading an ordinary answer into the same body clears the fault.
    QVERIFY(readInto(aspNetAnswer(QStringLiteral("<LoginResponse><ActivationResult>true</ActivationResult></LoginResponse>")),
                     inEnvelope));
    QVERIFY(!in.isFault());
    QVERIFY(in.isSuccessful());
}

QTEST_GUILESS_MAIN(tst_SOAPEnvelope)
#include "tst_SOAPEnvelope.moc"
