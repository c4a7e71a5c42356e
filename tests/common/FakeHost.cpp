#include "common/FakeHost.h"

#include "Applications/ApplicationSignature.h"
#include "Applications/LocalisedApplication.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace fakehost {

namespace {

QString editionLowered(const FakeHostOptions& options)
{
    return options.edition.toLower();
}

vantorix::ApplicationSignature::Type editionType(const FakeHostOptions& options)
{
    const QString edition = editionLowered(options);
    if (edition == QLatin1String("solo"))
        return vantorix::ApplicationSignature::solo;
    if (edition == QLatin1String("start"))
        return vantorix::ApplicationSignature::start;
    return vantorix::ApplicationSignature::full;
}

QString postfix(const FakeHostOptions& options)
{
    if (!options.postfix.isEmpty())
        return options.postfix;
    return QStringLiteral("%1.0.0 %2 R1").arg(options.version).arg(options.language);
}

QString escaped(const QString& text)
{
    return text.toHtmlEscaped();
}

bool fail(QString* error, const QString& message)
{
    if (error)
        *error = message;
    return false;
}

bool writeFile(const QString& path, const QByteArray& content, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit())
        return fail(error, QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
    return true;
}

} // namespace

QString defaultBundleName(const FakeHostOptions& options)
{
    // A start edition's bundle carries the year ("ArchiCAD SE 2016.app"); a
    // solo edition's is named like the full one.
    if (editionType(options) == vantorix::ApplicationSignature::start) {
        const vantorix::ApplicationSignature signature(vantorix::HostType::archiCAD,
                                                       static_cast<short>(options.version),
                                                       vantorix::ApplicationSignature::start);
        return QStringLiteral("ArchiCAD SE %1.app").arg(signature.getVersionString().qString());
    }
    return QStringLiteral("ArchiCAD %1.app").arg(options.version);
}

QByteArray productVersionText(const FakeHostOptions& options)
{
    if (options.productVersion == ProductVersionFile::damaged)
        return QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<productversion>\n"
                                 "\t<shortversionstring>19</shortversionstring>\n\t<gslanguage>INT</gs");
    QString text = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n"
                                  "<productversion>\n"
                                  "\t<shortversionstring>%1</shortversionstring>\n"
                                  "\t<gslanguage>%2</gslanguage>\n"
                                  "\t<gsprodtype>%3</gsprodtype>\n"
                                  "\t<prefspostfix>%4</prefspostfix>\n"
                                  "</productversion>\n")
                       .arg(options.version)
                       .arg(escaped(options.language), escaped(options.edition), escaped(postfix(options)));
    return text.toUtf8();
}

QString bundlePath(const FakeHostOptions& options)
{
    const QString bundle = options.bundle.isEmpty() ? defaultBundleName(options) : options.bundle;
    return options.folder + QLatin1Char('/') + bundle;
}

QString executablePath(const FakeHostOptions& options)
{
    return bundlePath(options) + QStringLiteral("/Contents/MacOS/") + options.executable;
}

bool create(const FakeHostOptions& options, QString* error)
{
    if (options.folder.isEmpty())
        return fail(error, QStringLiteral("no installation folder given"));
    QDir root;
    const QString macOS = bundlePath(options) + QStringLiteral("/Contents/MacOS");
    if (!root.mkpath(macOS))
        return fail(error, QStringLiteral("cannot create %1").arg(macOS));

    // The executable keeps its own path as its process name (exec -a), so
    // that "ps" lists it the way it lists a real application bundle. It
    // sleeps for the seconds given as its argument (10 minutes by default).
    const QString executable = executablePath(options);
    if (!writeFile(executable, QByteArrayLiteral("#!/bin/bash\nexec -a \"$0\" sleep \"${1:-600}\"\n"), error))
        return false;
    QFile::setPermissions(executable, QFile::permissions(executable) | QFile::ExeOwner | QFile::ExeGroup
                                          | QFile::ExeOther | QFile::ReadOwner);
    if (!writeFile(bundlePath(options) + QStringLiteral("/Contents/Info.plist"),
                   QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
                                     "\t<key>CFBundleExecutable</key>\n\t<string>")
                       + options.executable.toHtmlEscaped().toUtf8()
                       + QByteArrayLiteral("</string>\n</dict>\n</plist>\n"),
                   error))
        return false;

    const QString productVersion = options.folder + QStringLiteral("/ProductVersion.xml");
    if (options.productVersion == ProductVersionFile::missing) {
        if (QFile::exists(productVersion) && !QFile::remove(productVersion))
            return fail(error, QStringLiteral("cannot remove %1").arg(productVersion));
    } else if (!writeFile(productVersion, productVersionText(options), error)) {
        return false;
    }

    if (options.localisedFolders) {
        // The host's own add-on and library folders, named as the host of
        // that language names them; a language the table does not know gets
        // the international names.
        const vantorix::LocalisedApplication* names = vantorix::LocalisedApplication::find(options.language);
        const vantorix::ApplicationSignature signature(vantorix::HostType::archiCAD, static_cast<short>(options.version),
                                                       editionType(options), options.language);
        const QString addOns = names ? names->getAddOnFolder().qString() : QStringLiteral("Add-Ons");
        const QString library = (names ? names->getLibraryFolder().qString() : QStringLiteral("ArchiCAD Library "))
            + signature.toString().qString();
        for (const QString& folder : {addOns, library}) {
            if (!root.mkpath(options.folder + QLatin1Char('/') + folder))
                return fail(error, QStringLiteral("cannot create %1/%2").arg(options.folder, folder));
        }
    }
    return true;
}

} // namespace fakehost
