#include "Web/ServiceAddress.h"

#include <QHostAddress>
#include <QUrl>

namespace vantorix {

const char* const ServiceAddress::defaultHost = VANTORIX_SERVICE_HOST;
const char* const ServiceAddress::baseURI = VANTORIX_SERVICE_BASE_URI;
const char* const ServiceAddress::path = "/registration2.asmx";
const char* const ServiceAddress::urlVariable = "VANTORIX_SERVICE_URL";

const char* const ServiceAddress::login = "Login";
const char* const ServiceAddress::productListing = "ProductListing";
const char* const ServiceAddress::productListingEdu = "ProductListingEdu";
const char* const ServiceAddress::installerVersion = "InstallerVersion";
const char* const ServiceAddress::reporting = "Reporting";

namespace {

// The run-time override, when it is set and names an http or https host.
bool overrideUrl(QUrl& url)
{
    const QString text = qEnvironmentVariable(ServiceAddress::urlVariable).trimmed();
    if (text.isEmpty())
        return false;
    url = QUrl(text, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() && (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

} // namespace

String ServiceAddress::getHost()
{
    QUrl url;
    if (!overrideUrl(url))
        return String(defaultHost);
    QString host = url.host(QUrl::FullyEncoded);
    if (host.contains(QLatin1Char(':')))
        host = QLatin1Char('[') + host + QLatin1Char(']'); // an IPv6 literal
    if (url.port() != -1)
        host += QLatin1Char(':') + QString::number(url.port());
    return String(host);
}

bool ServiceAddress::isSecure()
{
    QUrl url;
    if (!overrideUrl(url))
        return true;
    return url.scheme().toLower() == QLatin1String("https");
}

bool ServiceAddress::allowsPlainHttp(const String& host)
{
    QString name = host.qString();
    if (name.startsWith(QLatin1Char('[')) && name.endsWith(QLatin1Char(']')))
        name = name.mid(1, name.size() - 2);
    if (name.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    QHostAddress address;
    return address.setAddress(name) && address.isLoopback();
}

String ServiceAddress::getAction(const String& operation)
{
    return String(baseURI) + "/" + operation;
}

String ServiceAddress::getResponseTag(const String& operation)
{
    return operation + "Response";
}

String ServiceAddress::getServiceRoot()
{
    return String(isSecure() ? "https://" : "http://") + getHost();
}

} // namespace vantorix
