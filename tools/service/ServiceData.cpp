#include "ServiceData.h"

#include "File/DataFile.h"
#include "Serialise/XMLWriter.h"
#include "Utility/DataBufferIn.h"
#include "Utility/DataBufferOut.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSaveFile>

namespace {

bool readJson(const QString& path, QJsonObject& object, QString* error)
{
    QFile file(path);
    if (!file.exists()) {
        object = QJsonObject();
        return true;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
        *error = QStringLiteral("%1 is not a JSON object: %2 at offset %3")
                     .arg(path, parseError.errorString())
                     .arg(parseError.offset);
        return false;
    }
    object = document.object();
    return true;
}

} // namespace

ServiceData::ServiceData(const QString& folder) : m_folder(QDir(folder).absolutePath()) {}

bool ServiceData::load(QString* error)
{
    if (!m_folder.exists()) {
        *error = QStringLiteral("the data folder %1 does not exist").arg(m_folder.path());
        return false;
    }
    QJsonObject accounts;
    if (!readJson(m_folder.filePath(QStringLiteral("accounts.json")), accounts, error))
        return false;
    m_accounts.clear();
    for (const QJsonValue& value : accounts.value(QStringLiteral("accounts")).toArray()) {
        const QJsonObject entry = value.toObject();
        Account account;
        account.email = entry.value(QStringLiteral("email")).toString();
        account.password = entry.value(QStringLiteral("password")).toString();
        account.name = entry.value(QStringLiteral("name")).toString();
        account.currency = entry.value(QStringLiteral("currency")).toString();
        account.message = entry.value(QStringLiteral("message")).toString();
        account.listing = entry.value(QStringLiteral("listing")).toString();
        account.educationListing = entry.value(QStringLiteral("educationListing")).toString();
        if (!account.email.isEmpty())
            m_accounts.append(account);
    }

    QJsonObject installer;
    if (!readJson(m_folder.filePath(QStringLiteral("installer.json")), installer, error))
        return false;
    m_installerVersion = installer.value(QStringLiteral("version")).toString();
    m_installerReleaseSize = installer.value(QStringLiteral("releaseSize")).toDouble();
    m_installerReleases.clear();
    const QJsonObject releases = installer.value(QStringLiteral("releases")).toObject();
    m_installerDigests.clear();
    for (auto it = releases.begin(); it != releases.end(); ++it) {
        // Either the address, or {"url", "sha256"}.
        if (it.value().isObject()) {
            const QJsonObject entry = it.value().toObject();
            m_installerReleases.insert(it.key(), entry.value(QStringLiteral("url")).toString());
            m_installerDigests.insert(it.key(), entry.value(QStringLiteral("sha256")).toString());
        } else {
            m_installerReleases.insert(it.key(), it.value().toString());
        }
    }

    m_listings.clear();
    for (const Account& account : m_accounts) {
        if (!loadListing(account.listing, error) || !loadListing(account.educationListing, error))
            return false;
    }
    if (!loadListing(QStringLiteral("education.xml"), error))
        return false;

    const QDir reports(m_folder.filePath(QStringLiteral("reports")));
    m_reportCount = reports.entryList({QStringLiteral("*-support-*.xml")}, QDir::Files).size();
    return true;
}

const ServiceData::Account* ServiceData::findAccount(const QString& email) const
{
    for (const Account& account : m_accounts) {
        if (account.email.compare(email, Qt::CaseInsensitive) == 0)
            return &account;
    }
    return nullptr;
}

QString ServiceData::fillIn(QString text) const
{
    text.replace(QLatin1String("${SERVICE}"), m_root);
    // "${SHA256:<path>}": the digest of that file under files/, worked out
    // when asked, so that it always matches what is served.
    static const QRegularExpression digest(QStringLiteral("\\$\\{SHA256:([^}]*)\\}"));
    QRegularExpressionMatch match;
    int from = 0;
    while ((match = digest.match(text, from)).hasMatch()) {
        const QString value = fileDigest(match.captured(1));
        text.replace(match.capturedStart(), match.capturedLength(), value);
        from = match.capturedStart() + value.size();
    }
    return text;
}

QString ServiceData::fileDigest(const QString& relativePath) const
{
    QFile file(filePath(relativePath));
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        return QString();
    return QString::fromLatin1(hash.result().toHex());
}

bool ServiceData::loadListing(const QString& relativePath, QString* error)
{
    if (relativePath.isEmpty() || m_listings.count(relativePath) > 0)
        return true;
    const QString path = m_folder.filePath(relativePath);
    if (!QFileInfo(path).isFile())
        return true;
    vantorix::VantorixTools store;
    const vantorix::DataFile file{vantorix::String(path), vantorix::DataFile::readOnly};
    vantorix::DataBufferIn in(&file, vantorix::Encoding::UTF8);
    if (!store.readInstallation(in)) {
        *error = QStringLiteral("%1 is not a product listing (error at row %2, column %3)")
                     .arg(path)
                     .arg(store.getReadRow())
                     .arg(store.getReadColumn());
        return false;
    }
    Listing& listing = m_listings[relativePath];
    listing.target = store.getTarget();
    if (const vantorix::Installation* installation = store.getInstallation())
        listing.products = installation->getProducts();
    return true;
}

const vantorix::ProductMap* ServiceData::listingProducts(const QString& relativePath) const
{
    const auto it = m_listings.find(relativePath);
    return it == m_listings.end() ? nullptr : &it->second.products;
}

QString ServiceData::listingText(const QString& relativePath) const
{
    const auto it = m_listings.find(relativePath);
    if (it == m_listings.end())
        return QString();
    vantorix::VantorixTools store;
    store.setTarget(it->second.target);
    auto installation = std::make_unique<vantorix::Installation>();
    installation->getProducts() = it->second.products;
    store.setInstallation(std::move(installation));
    vantorix::String text;
    {
        vantorix::DataBufferOut out(&text);
        vantorix::XMLWriter writer(&out);
        if (!writer.exportFrom(store, false, true, true, true))
            return QString();
    }
    return fillIn(text.qString().trimmed());
}

QString ServiceData::educationalListing(const QString& email) const
{
    const Account* account = findAccount(email);
    if (account != nullptr && !account->educationListing.isEmpty())
        return listingText(account->educationListing);
    return listingText(QStringLiteral("education.xml"));
}

QList<ServiceData::Release> ServiceData::installerReleases() const
{
    QList<Release> list;
    for (auto it = m_installerReleases.begin(); it != m_installerReleases.end(); ++it)
        list.append({it.key(), fillIn(it.value()), fillIn(m_installerDigests.value(it.key()))});
    return list;
}

QString ServiceData::filePath(const QString& relativePath) const
{
    const QDir files(m_folder.filePath(QStringLiteral("files")));
    const QString path = QDir::cleanPath(files.absoluteFilePath(relativePath));
    const QString root = QDir::cleanPath(files.absolutePath()) + QLatin1Char('/');
    if (relativePath.isEmpty() || !path.startsWith(root))
        return QString();
    // Resolve links too, so that nothing outside the folder is served.
    const QFileInfo info(path);
    const QString canonicalRoot = QFileInfo(files.absolutePath()).canonicalFilePath() + QLatin1Char('/');
    if (!info.isFile() || !info.canonicalFilePath().startsWith(canonicalRoot))
        return QString();
    return path;
}

QString ServiceData::storeReport(const QString& kind, const QByteArray& text)
{
    if (!m_folder.mkpath(QStringLiteral("reports")))
        return QString();
    const QDir reports(m_folder.filePath(QStringLiteral("reports")));
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-hhmmss-zzz"));
    QString name;
    for (int n = 1;; ++n) {
        name = reports.filePath(QStringLiteral("%1-%2-%3.xml").arg(stamp, kind).arg(n));
        if (!QFile::exists(name))
            break;
    }
    QSaveFile file(name);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        return QString();
    return name;
}

QString ServiceData::nextReportId()
{
    ++m_reportCount;
    return QStringLiteral("VX%1-%2")
        .arg(QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyMMdd")))
        .arg(m_reportCount, 5, 10, QLatin1Char('0'));
}
