#include "ServiceData.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
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
    for (auto it = releases.begin(); it != releases.end(); ++it)
        m_installerReleases.insert(it.key(), it.value().toString());

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
    return text.replace(QLatin1String("${SERVICE}"), m_root);
}

QString ServiceData::listingText(const QString& relativePath) const
{
    if (relativePath.isEmpty())
        return QString();
    QFile file(m_folder.filePath(relativePath));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    QString text = QString::fromUtf8(file.readAll()).trimmed();
    if (text.startsWith(QLatin1String("<?xml"))) {
        const int end = text.indexOf(QLatin1String("?>"));
        text = end < 0 ? QString() : text.mid(end + 2).trimmed();
    }
    return fillIn(text);
}

QList<ServiceData::Release> ServiceData::installerReleases() const
{
    QList<Release> list;
    for (auto it = m_installerReleases.begin(); it != m_installerReleases.end(); ++it)
        list.append({it.key(), fillIn(it.value())});
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
