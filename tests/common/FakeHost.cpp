#include "common/FakeHost.h"

#include "Applications/ApplicationSignature.h"
#include "Applications/LocalisedApplication.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace fakehost {

namespace {

QString editionLowered(const FakeHostSpec& spec)
{
    return spec.edition.toLower();
}

vantorix::ApplicationSignature::Type editionType(const FakeHostSpec& spec)
{
    const QString edition = editionLowered(spec);
    if (edition == QLatin1String("solo"))
        return vantorix::ApplicationSignature::solo;
    if (edition == QLatin1String("start"))
        return vantorix::ApplicationSignature::start;
    return vantorix::ApplicationSignature::full;
}

QString postfix(const FakeHostSpec& spec)
{
    if (!spec.postfix.isEmpty())
        return spec.postfix;
    return QStringLiteral("%1.0.0 %2 R1").arg(spec.version).arg(spec.language);
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

QString defaultBundleName(const FakeHostSpec& spec)
{
    // A start edition's bundle carries the year ("ArchiCAD SE 2016.app"); a
    // solo edition's is named like the full one.
    if (editionType(spec) == vantorix::ApplicationSignature::start) {
        const vantorix::ApplicationSignature signature(vantorix::HostType::archiCAD,
                                                       static_cast<short>(spec.version),
                                                       vantorix::ApplicationSignature::start);
        return QStringLiteral("ArchiCAD SE %1.app").arg(signature.getVersionString().qString());
    }
    return QStringLiteral("ArchiCAD %1.app").arg(spec.version);
}

QByteArray productVersionText(const FakeHostSpec& spec)
{
    if (spec.productVersion == ProductVersionFile::damaged)
        return QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<productversion>\n"
                                 "\t<shortversionstring>19</shortversionstring>\n\t<gslanguage>INT</gs");
    QString text = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n"
                                  "<productversion>\n"
                                  "\t<shortversionstring>%1</shortversionstring>\n"
                                  "\t<gslanguage>%2</gslanguage>\n"
                                  "\t<gsprodtype>%3</gsprodtype>\n"
                                  "\t<prefspostfix>%4</prefspostfix>\n"
                                  "</productversion>\n")
                       .arg(spec.version)
                       .arg(escaped(spec.language), escaped(spec.edition), escaped(postfix(spec)));
    return text.toUtf8();
}

QString bundlePath(const FakeHostSpec& spec)
{
    const QString bundle = spec.bundle.isEmpty() ? defaultBundleName(spec) : spec.bundle;
    return spec.folder + QLatin1Char('/') + bundle;
}

QString executablePath(const FakeHostSpec& spec)
{
    return bundlePath(spec) + QStringLiteral("/Contents/MacOS/") + spec.executable;
}

bool create(const FakeHostSpec& spec, QString* error)
{
    if (spec.folder.isEmpty())
        return fail(error, QStringLiteral("no installation folder given"));
    QDir root;
    const QString macOS = bundlePath(spec) + QStringLiteral("/Contents/MacOS");
    if (!root.mkpath(macOS))
        return fail(error, QStringLiteral("cannot create %1").arg(macOS));

    // The executable keeps its own path as its process name (exec -a), so
    // that "ps" lists it the way it lists a real application bundle. It
    // sleeps for the seconds given as its argument (10 minutes by default).
    const QString executable = executablePath(spec);
    if (!writeFile(executable, QByteArrayLiteral("#!/bin/bash\nexec -a \"$0\" sleep \"${1:-600}\"\n"), error))
        return false;
    QFile::setPermissions(executable, QFile::permissions(executable) | QFile::ExeOwner | QFile::ExeGroup
                                          | QFile::ExeOther | QFile::ReadOwner);
    if (!writeFile(bundlePath(spec) + QStringLiteral("/Contents/Info.plist"),
                   QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
                                     "\t<key>CFBundleExecutable</key>\n\t<string>")
                       + spec.executable.toHtmlEscaped().toUtf8()
                       + QByteArrayLiteral("</string>\n</dict>\n</plist>\n"),
                   error))
        return false;

    const QString productVersion = spec.folder + QStringLiteral("/ProductVersion.xml");
    if (spec.productVersion == ProductVersionFile::missing) {
        if (QFile::exists(productVersion) && !QFile::remove(productVersion))
            return fail(error, QStringLiteral("cannot remove %1").arg(productVersion));
    } else if (!writeFile(productVersion, productVersionText(spec), error)) {
        return false;
    }

    if (spec.localisedFolders) {
        // The host's own add-on and library folders, named as the host of
        // that language names them; a language the table does not know gets
        // the international names.
        const vantorix::LocalisedApplication* names = vantorix::LocalisedApplication::find(spec.language);
        const vantorix::ApplicationSignature signature(vantorix::HostType::archiCAD, static_cast<short>(spec.version),
                                                       editionType(spec), spec.language);
        const QString addOns = names ? names->getAddOnFolder().qString() : QStringLiteral("Add-Ons");
        const QString library = (names ? names->getLibraryFolder().qString() : QStringLiteral("ArchiCAD Library "))
            + signature.toString().qString();
        for (const QString& folder : {addOns, library}) {
            if (!root.mkpath(spec.folder + QLatin1Char('/') + folder))
                return fail(error, QStringLiteral("cannot create %1/%2").arg(spec.folder, folder));
        }
    }
    return true;
}

} // namespace fakehost
