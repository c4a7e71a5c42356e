// vantorix-fakehost: creates a fake ArchiCAD installation (the folder, its
// "ProductVersion.xml", the application bundle with a runnable executable in
// "Contents/MacOS", and on request the localised add-on and library folders),
// so that host discovery, the host record and installs can be tried on a
// machine without ArchiCAD.
#include "common/FakeHost.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vantorix-fakehost"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Creates a fake ArchiCAD installation in FOLDER (the folder that holds the application bundle).\n"
        "Example: vantorix-fakehost --version 19 --language GER \"/tmp/hosts/GRAPHISOFT/ArchiCAD 19\""));
    parser.addHelpOption();
    const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("Major version (default 19)."),
                                     QStringLiteral("N"), QStringLiteral("19"));
    const QCommandLineOption language(QStringLiteral("language"),
                                      QStringLiteral("Three-letter language code, e.g. INT, GER (default INT)."),
                                      QStringLiteral("CODE"), QStringLiteral("INT"));
    const QCommandLineOption edition(QStringLiteral("edition"),
                                     QStringLiteral("Edition: full, solo or start (default full)."),
                                     QStringLiteral("EDITION"), QStringLiteral("full"));
    const QCommandLineOption postfix(QStringLiteral("postfix"),
                                     QStringLiteral("Preferences postfix (default \"<N>.0.0 <CODE> R1\")."),
                                     QStringLiteral("TEXT"));
    const QCommandLineOption bundle(QStringLiteral("bundle"),
                                    QStringLiteral("Bundle folder name (default \"ArchiCAD <N>.app\", "
                                                   "\"ArchiCAD SE <year>.app\" for a start edition)."),
                                    QStringLiteral("NAME"));
    const QCommandLineOption executable(QStringLiteral("executable"),
                                        QStringLiteral("Executable name in Contents/MacOS (default ArchiCAD)."),
                                        QStringLiteral("NAME"), QStringLiteral("ArchiCAD"));
    const QCommandLineOption noProductVersion(QStringLiteral("no-product-version"),
                                              QStringLiteral("Leave out ProductVersion.xml (an invalid installation)."));
    const QCommandLineOption damaged(QStringLiteral("damaged-product-version"),
                                     QStringLiteral("Write a truncated ProductVersion.xml."));
    const QCommandLineOption localised(QStringLiteral("localised-folders"),
                                       QStringLiteral("Also create the add-on and library folders named as the "
                                                      "host of that language names them."));
    parser.addOptions({version, language, edition, postfix, bundle, executable, noProductVersion, damaged, localised});
    parser.addPositionalArgument(QStringLiteral("FOLDER"), QStringLiteral("The installation folder to create."));
    parser.process(application);

    QTextStream err(stderr);
    const QStringList folders = parser.positionalArguments();
    if (folders.size() != 1) {
        err << "vantorix-fakehost: give exactly one installation folder (see --help)\n";
        return 2;
    }
    bool numeric = false;
    fakehost::FakeHostOptions options;
    options.folder = QDir(folders.first()).absolutePath();
    options.version = parser.value(version).toInt(&numeric);
    if (!numeric || options.version < 1 || options.version > 32767) {
        err << "vantorix-fakehost: --version needs a number from 1 to 32767\n";
        return 2;
    }
    options.language = parser.value(language);
    options.edition = parser.value(edition);
    options.postfix = parser.value(postfix);
    options.bundle = parser.value(bundle);
    options.executable = parser.value(executable);
    if (options.executable.isEmpty() || options.executable.contains(QLatin1Char('/'))
        || options.bundle.contains(QLatin1Char('/'))) {
        err << "vantorix-fakehost: bundle and executable must be plain names\n";
        return 2;
    }
    if (parser.isSet(noProductVersion) && parser.isSet(damaged)) {
        err << "vantorix-fakehost: --no-product-version and --damaged-product-version exclude each other\n";
        return 2;
    }
    if (parser.isSet(noProductVersion))
        options.productVersion = fakehost::ProductVersionFile::missing;
    else if (parser.isSet(damaged))
        options.productVersion = fakehost::ProductVersionFile::damaged;
    options.localisedFolders = parser.isSet(localised);

    QString error;
    if (!fakehost::create(options, &error)) {
        err << "vantorix-fakehost: " << error << "\n";
        return 1;
    }
    QTextStream(stdout) << fakehost::executablePath(options) << "\n";
    return 0;
}
