#ifndef VANTORIX_SERVICE_SERVICEDATA_H
#define VANTORIX_SERVICE_SERVICEDATA_H

#include "Catalogue/ProductMap.h"
#include "Catalogue/VantorixTools.h"

#include <QByteArray>
#include <QDir>
#include <QList>
#include <QMap>
#include <QString>

#include <map>

// What the stand-in knows, read from its data folder:
//
//   accounts.json      {"accounts": [{"email", "password", "name", "currency",
//                       "message", "listing", "educationListing"}]}; "listing"
//                       names the account's product listing file, relative to
//                       the data folder, "educationListing" (optional) its
//                       educational listing
//   education.xml      the educational listing of every other e-mail address
//   installer.json     {"version", "releaseSize", "releases": {locale: url}};
//                       a release may be {"url", "sha256"} instead of the url.
//                       The update archives lie under files/, each with its
//                       signature "<archive>.sig" beside it
//   files/             served by GET /files/<path>
//   reports/           where received reports are stored (created on demand)
//
// A listing file holds the XML text of one "vantorixtools" element whose
// installation record holds the products. The listings are read once, at
// load, into the installer's own catalogue records (a ProductMap per
// account, one for education), and every answer is written from those
// records by the installer's XML writer, so what the stand-in sends is what
// the installer's records write. In listings and addresses, "${SERVICE}"
// stands for the stand-in's own root address (for example
// http://127.0.0.1:8443), known only once it listens, and "${SHA256:<path>}"
// for the SHA-256 digest (lower-case hexadecimal) of files/<path>.
class ServiceData {
public:
    struct Account {
        QString email;
        QString password;
        QString name;
        QString currency;
        QString message;
        QString listing;
        QString educationListing;
    };
    struct Release {
        QString locale;
        QString url;
        QString sha256;
    };

    explicit ServiceData(const QString& folder);

    // Reads the folder; false with a message when a file is unreadable.
    bool load(QString* error);

    const QDir& folder() const { return m_folder; }
    void setServiceRoot(const QString& root) { m_root = root; }
    const QString& serviceRoot() const { return m_root; }

    // The account of an e-mail address (compared without regard to case).
    const Account* findAccount(const QString& email) const;
    // The "vantorixtools" XML text of a listing (no declaration, "${SERVICE}"
    // filled in); empty when its file was missing.
    QString listingText(const QString& relativePath) const;
    // The products of a listing, or null when its file was missing.
    const vantorix::ProductMap* listingProducts(const QString& relativePath) const;
    // The educational listing for an e-mail address: the account's own when
    // it names one, else education.xml.
    QString educationalListing(const QString& email) const;

    const QString& installerVersion() const { return m_installerVersion; }
    double installerReleaseSize() const { return m_installerReleaseSize; }
    QList<Release> installerReleases() const;

    // The path of a file under files/, or empty when the relative path is
    // not a file inside that folder.
    QString filePath(const QString& relativePath) const;

    // Stores a received report; the name tells the operation and the kind.
    // Returns the stored file's path, or empty when it could not be written.
    QString storeReport(const QString& kind, const QByteArray& text);
    // A report id that no earlier support request of this folder received.
    QString nextReportId();

private:
    struct Listing {
        vantorix::VantorixTools::Target target = vantorix::VantorixTools::commercial;
        vantorix::ProductMap products;
    };

    QString fillIn(QString text) const;
    QString fileDigest(const QString& relativePath) const;
    // Reads a listing file into m_listings; a missing file is no error.
    bool loadListing(const QString& relativePath, QString* error);

    QDir m_folder;
    QString m_root;
    QList<Account> m_accounts;
    QString m_installerVersion;
    double m_installerReleaseSize = 0;
    QMap<QString, QString> m_installerReleases;
    QMap<QString, QString> m_installerDigests;
    int m_reportCount = 0;
    std::map<QString, Listing> m_listings;
};

#endif
