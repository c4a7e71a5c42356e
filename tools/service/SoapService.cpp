#include "SoapService.h"

#include "ServiceData.h"

#include "Serialise/XMLEncryptedString.h"
#include "Web/ServiceAddress.h"

#include <QRegularExpression>
#include <QStringList>
#include <QXmlStreamReader>

const char* const SoapService::envelopeNamespace = "http://schemas.xmlsoap.org/soap/envelope/";

namespace {

const char* const credentialsError = "21";

QString escaped(const QString& text)
{
    return text.toHtmlEscaped();
}

QString element(const QString& tag, const QString& text)
{
    if (text.isEmpty())
        return QStringLiteral("<%1 />").arg(tag);
    return QStringLiteral("<%1>%2</%1>").arg(tag, escaped(text));
}

QByteArray envelope(const QString& content)
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>"
                          "<soap:Envelope xmlns:soap=\"%1\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
                          "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\"><soap:Body>%2</soap:Body></soap:Envelope>")
        .arg(QLatin1String(SoapService::envelopeNamespace), content)
        .toUtf8();
}

QString toolsElement(const QString& target, const QString& content)
{
    const QString start = QStringLiteral("<vantorixtools version=\"1\" target=\"%1\"")
                              .arg(target.isEmpty() ? QStringLiteral("commercial") : escaped(target));
    return content.isEmpty() ? start + QStringLiteral(" />") : start + QLatin1Char('>') + content +
                                                                   QStringLiteral("</vantorixtools>");
}

// Whether the password sent matches the account's. The installer sends it
// enciphered (either complexity); a hand-written request may send it plain.
bool passwordMatches(const QString& stored, const QString& sent)
{
    if (stored.isEmpty())
        return false;
    if (sent == stored)
        return true;
    for (const auto complexity : {vantorix::XMLEncryptedString::high, vantorix::XMLEncryptedString::standard}) {
        vantorix::String plain;
        if (vantorix::XMLEncryptedString::decrypt(vantorix::String(sent), complexity, plain)) {
            QString text = plain.qString();
            while (text.endsWith(QChar(0)))
                text.chop(1);
            if (text == stored)
                return true;
        }
    }
    return false;
}

} // namespace

// What the stand-in reads from a request: the operation and the facts of its
// "vantorixtools" payload that the answers depend on.
struct SoapService::Request {
    QString operation;
    QString operationNamespace;
    bool hasTools = false;
    QString target;
    QString email;
    QString password;
    bool hasReport = false;
    bool hasSupport = false;
    bool isInstallation = false;
    QString version;
};

SoapService::Answer SoapService::fault(const QString& code, const QString& text) const
{
    Answer a;
    a.status = 500;
    a.body = envelope(QStringLiteral("<soap:Fault><faultcode>%1</faultcode><faultstring>%2</faultstring>"
                                     "<detail /></soap:Fault>")
                          .arg(escaped(code), escaped(text)));
    a.summary = QStringLiteral("fault %1: %2").arg(code, text);
    return a;
}

SoapService::Answer SoapService::result(const Request& request, bool activated, const QString& tools,
                                        const QString& errorCode, const QString& errorDescription,
                                        const Behaviour& behaviour) const
{
    const QString tag = request.operation + QStringLiteral("Response");
    QString content = QStringLiteral("<%1 xmlns=\"%2\">").arg(tag, QLatin1String(vantorix::ServiceAddress::baseURI));
    if (!behaviour.noActivationResult)
        content += QStringLiteral("<ActivationResult>%1</ActivationResult>").arg(activated ? "true" : "false");
    content += tools;
    content += element(QStringLiteral("errorDescription"), errorDescription);
    content += element(QStringLiteral("errorCode"),
                       activated && !behaviour.errorCode.isEmpty() ? behaviour.errorCode : errorCode);
    content += element(QStringLiteral("redirectUrl"), QString());
    content += QStringLiteral("</%1>").arg(tag);
    Answer a;
    a.body = envelope(content);
    a.summary = QStringLiteral("%1 %2").arg(request.operation, activated ? QStringLiteral("accepted")
                                                                         : QStringLiteral("refused ") + errorCode);
    return a;
}

SoapService::Answer SoapService::answer(const QByteArray& soapAction, const QByteArray& contentType,
                                        const QByteArray& body, const Behaviour& behaviour)
{
    if (!contentType.trimmed().toLower().startsWith("text/xml")) {
        Answer a;
        a.status = 415;
        a.contentType = "text/plain; charset=utf-8";
        a.body = "SOAP 1.1 requests must be sent as text/xml\n";
        a.summary = QStringLiteral("refused content type ") + QString::fromLatin1(contentType);
        return a;
    }

    // Read the envelope: soap:Envelope / soap:Body / operation / vantorixtools.
    Request request;
    QXmlStreamReader reader(body);
    QStringList path;
    const QString soap = QLatin1String(envelopeNamespace);
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement) {
            const QString name = reader.name().toString();
            const int depth = path.size();
            if (depth == 0 && (name != QLatin1String("Envelope") || reader.namespaceUri() != soap))
                return fault(QStringLiteral("soap:VersionMismatch"), QStringLiteral("The root element is not a SOAP 1.1 envelope."));
            if (depth == 1 && name == QLatin1String("Body") && reader.namespaceUri() != soap)
                return fault(QStringLiteral("soap:Client"), QStringLiteral("The Body element is not in the SOAP namespace."));
            if (depth == 2 && path.at(1) == QLatin1String("Body") && request.operation.isEmpty()) {
                request.operation = name;
                request.operationNamespace = reader.namespaceUri().toString();
            }
            path.append(name);
            const QString where = path.mid(3).join(QLatin1Char('/'));
            if (where == QLatin1String("vantorixtools")) {
                request.hasTools = true;
                request.target = reader.attributes().value(QLatin1String("target")).toString();
            } else if (where == QLatin1String("vantorixtools/report")) {
                request.hasReport = true;
            } else if (where == QLatin1String("vantorixtools/report/installer/support")) {
                request.hasSupport = true;
            } else if (where == QLatin1String("vantorixtools/report/installer/installation")) {
                request.isInstallation = true;
            }
        } else if (token == QXmlStreamReader::Characters && path.size() > 3) {
            const QString where = path.mid(3).join(QLatin1Char('/'));
            if (where == QLatin1String("vantorixtools/client/email"))
                request.email += reader.text();
            else if (where == QLatin1String("vantorixtools/client/password"))
                request.password += reader.text();
            else if (where == QLatin1String("vantorixtools/report/installer/version"))
                request.version += reader.text();
        } else if (token == QXmlStreamReader::EndElement) {
            path.removeLast();
        }
    }
    if (reader.hasError()) {
        return fault(QStringLiteral("soap:Client"),
                     QStringLiteral("Server was unable to read request. ---> There is an error in XML document (%1, %2): %3")
                         .arg(reader.lineNumber())
                         .arg(reader.columnNumber())
                         .arg(reader.errorString()));
    }

    QString action = QString::fromUtf8(soapAction).trimmed();
    if (action.size() >= 2 && action.startsWith(QLatin1Char('"')) && action.endsWith(QLatin1Char('"')))
        action = action.mid(1, action.size() - 2);
    const QString base = QLatin1String(vantorix::ServiceAddress::baseURI);
    static const QStringList operations = {
        QLatin1String(vantorix::ServiceAddress::login), QLatin1String(vantorix::ServiceAddress::productListing),
        QLatin1String(vantorix::ServiceAddress::productListingEdu),
        QLatin1String(vantorix::ServiceAddress::installerVersion), QLatin1String(vantorix::ServiceAddress::reporting)};
    if (!action.startsWith(base + QLatin1Char('/')) || !operations.contains(action.mid(base.size() + 1)))
        return fault(QStringLiteral("soap:Client"),
                     QStringLiteral("Server did not recognize the value of HTTP Header SOAPAction: %1.").arg(action));
    const QString operation = action.mid(base.size() + 1);
    if (request.operation != operation || request.operationNamespace != base)
        return fault(QStringLiteral("soap:Client"),
                     QStringLiteral("The request body does not hold the element %1 in the namespace %2.").arg(operation, base));
    if (!request.hasTools)
        return fault(QStringLiteral("soap:Client"), QStringLiteral("The request carries no vantorixtools element."));

    if (operation == QLatin1String(vantorix::ServiceAddress::login))
        return login(request, behaviour);
    if (operation == QLatin1String(vantorix::ServiceAddress::productListing))
        return listing(request, false, behaviour);
    if (operation == QLatin1String(vantorix::ServiceAddress::productListingEdu))
        return listing(request, true, behaviour);
    if (operation == QLatin1String(vantorix::ServiceAddress::installerVersion))
        return installerVersion(request, behaviour);
    return reporting(request, body, behaviour);
}

QByteArray SoapService::wsdl(const QString& root)
{
    const QString base = QLatin1String(vantorix::ServiceAddress::baseURI);
    static const char* const operations[] = {
        vantorix::ServiceAddress::login, vantorix::ServiceAddress::productListing,
        vantorix::ServiceAddress::productListingEdu, vantorix::ServiceAddress::installerVersion,
        vantorix::ServiceAddress::reporting};
    // The payload is the installer's own record XML, so the schema leaves its
    // content open ("any"), as the service describes it.
    const QString tools = QStringLiteral("<s:element minOccurs=\"0\" maxOccurs=\"1\" name=\"vantorixtools\">"
                                         "<s:complexType mixed=\"true\"><s:sequence><s:any minOccurs=\"0\" "
                                         "maxOccurs=\"unbounded\" processContents=\"skip\" /></s:sequence>"
                                         "<s:anyAttribute processContents=\"skip\" /></s:complexType></s:element>");
    QString types;
    QString messages;
    QString portOperations;
    QString bindingOperations;
    for (const char* const name : operations) {
        const QString op = QLatin1String(name);
        types += QStringLiteral("<s:element name=\"%1\"><s:complexType><s:sequence>%2</s:sequence></s:complexType></s:element>"
                                "<s:element name=\"%1Response\"><s:complexType><s:sequence>"
                                "<s:element minOccurs=\"1\" maxOccurs=\"1\" name=\"ActivationResult\" type=\"s:boolean\" />%2"
                                "<s:element minOccurs=\"0\" maxOccurs=\"1\" name=\"errorDescription\" type=\"s:string\" />"
                                "<s:element minOccurs=\"0\" maxOccurs=\"1\" name=\"errorCode\" type=\"s:string\" />"
                                "<s:element minOccurs=\"0\" maxOccurs=\"1\" name=\"redirectUrl\" type=\"s:string\" />"
                                "</s:sequence></s:complexType></s:element>")
                     .arg(op, tools);
        messages += QStringLiteral("<wsdl:message name=\"%1SoapIn\"><wsdl:part name=\"parameters\" element=\"tns:%1\" /></wsdl:message>"
                                   "<wsdl:message name=\"%1SoapOut\"><wsdl:part name=\"parameters\" element=\"tns:%1Response\" />"
                                   "</wsdl:message>")
                        .arg(op);
        portOperations += QStringLiteral("<wsdl:operation name=\"%1\"><wsdl:input message=\"tns:%1SoapIn\" />"
                                         "<wsdl:output message=\"tns:%1SoapOut\" /></wsdl:operation>")
                              .arg(op);
        bindingOperations += QStringLiteral("<wsdl:operation name=\"%1\"><soap:operation soapAction=\"%2/%1\" style=\"document\" />"
                                            "<wsdl:input><soap:body use=\"literal\" /></wsdl:input>"
                                            "<wsdl:output><soap:body use=\"literal\" /></wsdl:output></wsdl:operation>")
                                 .arg(op, base);
    }
    const QString text =
        QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                       "<wsdl:definitions xmlns:soap=\"http://schemas.xmlsoap.org/wsdl/soap/\" "
                       "xmlns:s=\"http://www.w3.org/2001/XMLSchema\" xmlns:tns=\"%1\" targetNamespace=\"%1\" "
                       "xmlns:wsdl=\"http://schemas.xmlsoap.org/wsdl/\">\n"
                       "<wsdl:types><s:schema elementFormDefault=\"qualified\" targetNamespace=\"%1\">%2</s:schema></wsdl:types>\n"
                       "%3\n"
                       "<wsdl:portType name=\"Registration2Soap\">%4</wsdl:portType>\n"
                       "<wsdl:binding name=\"Registration2Soap\" type=\"tns:Registration2Soap\">"
                       "<soap:binding transport=\"http://schemas.xmlsoap.org/soap/http\" />%5</wsdl:binding>\n"
                       "<wsdl:service name=\"Registration2\"><wsdl:port name=\"Registration2Soap\" binding=\"tns:Registration2Soap\">"
                       "<soap:address location=\"%6\" /></wsdl:port></wsdl:service>\n"
                       "</wsdl:definitions>\n")
            .arg(base, types, messages, portOperations, bindingOperations,
                 escaped(root + QLatin1String(vantorix::ServiceAddress::path)));
    return text.toUtf8();
}

SoapService::Answer SoapService::login(const Request& request, const Behaviour& behaviour)
{
    const ServiceData::Account* account = m_data.findAccount(request.email.trimmed());
    if (account == nullptr || !passwordMatches(account->password, request.password))
        return result(request, false, toolsElement(request.target, QString()), QLatin1String(credentialsError),
                      QStringLiteral("The e-mail address or the password is not correct."), behaviour);
    // The password goes back as the client sent it; the client keeps its own.
    QString client = element(QStringLiteral("name"), account->name) + element(QStringLiteral("email"), account->email) +
                     element(QStringLiteral("password"), request.password);
    if (!account->currency.isEmpty())
        client += element(QStringLiteral("currency"), account->currency);
    if (!account->message.isEmpty())
        client += element(QStringLiteral("message"), account->message);
    if (behaviour.noClient)
        client.clear();
    Answer a = result(request, true,
                      toolsElement(request.target, client.isEmpty() ? QString()
                                                                    : QStringLiteral("<client>") + client + QStringLiteral("</client>")),
                      QStringLiteral("0"), QString(), behaviour);
    return a;
}

SoapService::Answer SoapService::listing(const Request& request, bool educational, const Behaviour& behaviour)
{
    QString text;
    if (educational) {
        if (request.email.trimmed().isEmpty())
            return result(request, false, toolsElement(request.target, QString()), QLatin1String(credentialsError),
                          QStringLiteral("An e-mail address is needed."), behaviour);
        text = m_data.educationalListing(request.email.trimmed());
    } else {
        const ServiceData::Account* account = m_data.findAccount(request.email.trimmed());
        if (account == nullptr || !passwordMatches(account->password, request.password))
            return result(request, false, toolsElement(request.target, QString()), QLatin1String(credentialsError),
                          QStringLiteral("The e-mail address or the password is not correct."), behaviour);
        text = m_data.listingText(account->listing);
    }
    if (text.isEmpty())
        text = toolsElement(educational ? QStringLiteral("educational") : request.target, QString());
    return result(request, true, text, QStringLiteral("0"), QString(), behaviour);
}

SoapService::Answer SoapService::installerVersion(const Request& request, const Behaviour& behaviour)
{
    QString release;
    if (m_data.installerReleaseSize() > 0)
        release += QStringLiteral("<releasesize>%1</releasesize>").arg(m_data.installerReleaseSize(), 0, 'f', 6);
    for (const ServiceData::Release& entry : m_data.installerReleases())
        release += QStringLiteral("<releaseurl locale=\"%1\"%2>%3</releaseurl>")
                       .arg(escaped(entry.locale),
                            entry.sha256.isEmpty() ? QString()
                                                   : QStringLiteral(" sha256=\"%1\"").arg(escaped(entry.sha256)),
                            escaped(entry.url));
    const QString installer = QStringLiteral("<installer>") + element(QStringLiteral("version"), m_data.installerVersion()) +
                              QStringLiteral("<release>") + release + QStringLiteral("</release></installer>");
    Answer a = result(request, true, toolsElement(request.target, QStringLiteral("<report>") + installer + QStringLiteral("</report>")),
                      QStringLiteral("0"), QString(), behaviour);
    a.summary += QStringLiteral(" (asked by %1, newest %2)").arg(request.version, m_data.installerVersion());
    return a;
}

SoapService::Answer SoapService::reporting(const Request& request, const QByteArray& body, const Behaviour& behaviour)
{
    if (!request.hasReport)
        return fault(QStringLiteral("soap:Client"), QStringLiteral("The Reporting request carries no report."));
    const QString kind = request.hasSupport ? QStringLiteral("support")
                                            : request.isInstallation ? QStringLiteral("installation")
                                                                     : QStringLiteral("report");
    // Stored without the client's password, enciphered or not, in whatever
    // form the reader above took it from: with a prefix, attributes or CDATA.
    QString text = QString::fromUtf8(body);
    static const QRegularExpression password(
        QStringLiteral("<([\\w.-]+:)?password\\b[^>]*?(/>|>.*?</([\\w.-]+:)?password\\s*>)"),
        QRegularExpression::DotMatchesEverythingOption);
    text.replace(password, QStringLiteral("<password />"));
    QString reportId;
    if (request.hasSupport && !behaviour.noReportId)
        reportId = m_data.nextReportId();
    const QString stored = m_data.storeReport(kind, text.toUtf8());
    if (stored.isEmpty())
        return fault(QStringLiteral("soap:Server"), QStringLiteral("The report could not be stored."));
    QString tools;
    if (!reportId.isEmpty())
        tools = QStringLiteral("<report><installer><support>") + element(QStringLiteral("reportId"), reportId) +
                QStringLiteral("</support></installer></report>");
    Answer a = result(request, true, toolsElement(request.target, tools), QStringLiteral("0"), QString(), behaviour);
    a.summary += QStringLiteral(" (%1 report stored as %2%3)")
                     .arg(kind, stored, reportId.isEmpty() ? QString() : QStringLiteral(", id ") + reportId);
    return a;
}
