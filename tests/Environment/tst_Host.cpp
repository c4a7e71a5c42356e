#include "Applications/ApplicationMap.h"
#include "Applications/BundleSearch.h"
#include "Environment/Host.h"
#include "common/FakeHost.h"
#include "common/FileBytes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace vantorix;

namespace {

QStringList sortedPaths(const ApplicationMap& map)
{
    QStringList paths;
    for (const auto& entry : map)
        paths.append(entry.second->getPath().qString());
    paths.sort();
    return paths;
}

QStringList lines(const QByteArray& text)
{
    QStringList result;
    for (const QByteArray& line : text.split('\n')) {
        if (!line.isEmpty())
            result.append(QString::fromUtf8(line));
    }
    return result;
}

} // namespace

class tst_Host : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void discoveryFilesSupportedInstallations();
    void searchPathListsSeveralRoots();
    void bundleListIsReadLineByLine();
    void searchIsBoundedAndSurvivesLoops();
    void localStrings();

private:
    QString makeHost(const QString& relative, int version = 19, const QString& bundle = QString(),
                     fakehost::ProductVersionFile file = fakehost::ProductVersionFile::written);
    void mkdir(const QString& relative);

    std::unique_ptr<QTemporaryDir> m_dir;
    QByteArray m_searchPath;
};

void tst_Host::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_searchPath = qgetenv("VANTORIX_HOST_SEARCH_PATH");
}

void tst_Host::cleanup()
{
    qputenv("VANTORIX_HOST_SEARCH_PATH", m_searchPath);
    m_dir->setAutoRemove(!QTest::currentTestFailed());
    m_dir.reset();
}

QString tst_Host::makeHost(const QString& relative, int version, const QString& bundle,
                           fakehost::ProductVersionFile file)
{
    fakehost::FakeHostOptions options;
    options.folder = m_dir->path() + QLatin1Char('/') + relative;
    options.version = version;
    options.bundle = bundle;
    options.productVersion = file;
    QString error;
    if (!fakehost::create(options, &error))
        qWarning() << error;
    return options.folder;
}

void tst_Host::mkdir(const QString& relative)
{
    QVERIFY(QDir().mkpath(m_dir->path() + QLatin1Char('/') + relative));
}

void tst_Host::discoveryFilesSupportedInstallations()
{
    const QString first = makeHost(QStringLiteral("Applications/GRAPHISOFT/ArchiCAD 19"));
    const QString second = makeHost(QStringLiteral("opt/ArchiCAD 19 copy"));
    const QString capitals = makeHost(QStringLiteral("Applications/GRAPHISOFT/ArchiCAD 18"), 18,
                                      QStringLiteral("ARCHICAD 18.APP"));
    makeHost(QStringLiteral("Applications/GRAPHISOFT/ArchiCAD 17"), 17);
    makeHost(QStringLiteral("Applications/broken"), 19, QString(), fakehost::ProductVersionFile::damaged);
    makeHost(QStringLiteral("Applications/without"), 19, QString(), fakehost::ProductVersionFile::missing);
    // A second bundle in one installation folder: still one host.
    mkdir(QStringLiteral("Applications/GRAPHISOFT/ArchiCAD 19/ArchiCAD 19 Teamwork.app"));
    // Names that do not match, and a match that is a file, not a folder.
    mkdir(QStringLiteral("Applications/ArchiCAD Helper/Add-Ons"));
    mkdir(QStringLiteral("Applications/My ArchiCAD 19.app"));
    writeFile(m_dir->path() + QStringLiteral("/Applications/archicad 19.app"));

    qputenv("VANTORIX_HOST_SEARCH_PATH", QFile::encodeName(m_dir->path()));
    host.initialise();
    const ApplicationMap* map = host.getApplicationMap();
    QVERIFY(map);
    QCOMPARE(map->size(), std::size_t(3));
    QCOMPARE(sortedPaths(*map), (QStringList{capitals, first, second}));
    std::vector<Guid> ids;
    for (const auto& entry : *map) {
        QVERIFY(bool(entry.first));
        ids.push_back(entry.first);
        QVERIFY(entry.second->isValid());
    }
    QVERIFY(ids[0] != ids[1] && ids[1] != ids[2]);
    QCOMPARE(map->find(map->getDefaultApplication())->getSignature().getVersion(), short(19));

    // Discovery again replaces the map, with new Guids.
    host.initialise();
    QCOMPARE(host.getApplicationMap()->size(), std::size_t(3));
    QVERIFY(!host.getApplicationMap()->contains(ids[0]));

    qputenv("VANTORIX_HOST_SEARCH_PATH", QFile::encodeName(m_dir->path() + QStringLiteral("/nowhere")));
    host.initialise();
    QVERIFY(host.getApplicationMap()->empty());
}

void tst_Host::searchPathListsSeveralRoots()
{
    const QString a = makeHost(QStringLiteral("a/ArchiCAD 19"));
    const QString b = makeHost(QStringLiteral("b/ArchiCAD 18"), 18);
    makeHost(QStringLiteral("c/ArchiCAD 19"));
    const QString sep = QDir::listSeparator();
    const QString path = m_dir->path() + QStringLiteral("/a") + sep + sep + m_dir->path() + QStringLiteral("/missing")
        + sep + m_dir->path() + QStringLiteral("/b");
    qputenv("VANTORIX_HOST_SEARCH_PATH", QFile::encodeName(path));
    QCOMPARE(Host::searchRoots(),
             (QStringList{m_dir->path() + "/a", m_dir->path() + "/missing", m_dir->path() + "/b"}));
    host.initialise();
    QCOMPARE(sortedPaths(*host.getApplicationMap()), (QStringList{a, b}));
}

void tst_Host::bundleListIsReadLineByLine()
{
    const QString one = makeHost(QStringLiteral("one/ArchiCAD 19"));
    const QString two = makeHost(QStringLiteral("two/ArchiCAD 18"), 18);
    // The same installation named twice, once through a "." step.
    const QByteArray list = QFile::encodeName(one) + "/ArchiCAD 19.app\r\n\n" + QFile::encodeName(one)
        + "/./ArchiCAD 19.app\n"
        + QFile::encodeName(m_dir->path()) + "/gone/ArchiCAD 19.app\n" + QFile::encodeName(two)
        + "/ArchiCAD 18.app/";
    ApplicationMap map;
    Host::loadArchiCAD(map, list);
    QCOMPARE(sortedPaths(map), (QStringList{one, two}));
}

void tst_Host::searchIsBoundedAndSurvivesLoops()
{
    mkdir(QStringLiteral("1/2/3/ArchiCAD 19.app"));
    mkdir(QStringLiteral("1/2/3/4/ArchiCAD 19.app"));
    mkdir(QStringLiteral("1/.hidden/archicad 19.app"));
    mkdir(QStringLiteral("Other.app/ArchiCAD 19.app"));
    mkdir(QStringLiteral("ArchiCAD 18.app/ArchiCAD 19.app"));
    mkdir(QStringLiteral("linked/archiCAD 20.app"));
    // A link back to the root and one to a folder seen elsewhere: neither is
    // walked twice.
    QVERIFY(QFile::link(m_dir->path(), m_dir->path() + QStringLiteral("/1/loop")));
    QVERIFY(QFile::link(m_dir->path() + QStringLiteral("/linked"), m_dir->path() + QStringLiteral("/1/2/alias")));

    const QByteArray found = BundleSearch("archicad", ".app").find({m_dir->path()});
    const QString root = m_dir->path();
    QCOMPARE(lines(found),
             (QStringList{root + "/ArchiCAD 18.app", root + "/1/2/3/ArchiCAD 19.app", root + "/1/2/alias/archiCAD 20.app"}));

    const QByteArray shallow = BundleSearch("archicad", ".app", 1).find({m_dir->path()});
    QCOMPARE(lines(shallow), QStringList{root + "/ArchiCAD 18.app"});
}

void tst_Host::localStrings()
{
    // Past the titles, a negative row, a reserved row and an unknown table
    // give nothing; blanks around a text are kept.
    const struct { short table; short index; const char* text; } rows[] = {
        {32520, 8, ""}, {32521, 9, "  Quit  "}, {32521, 10, "Welcome to the Vantorix Installer, $1"},
        {32521, -1, ""}, {32524, 5, ""}, {1, 0, ""}};
    for (const auto& c : rows)
        QCOMPARE(host.getLocalString(c.table, c.index).qString(), QString::fromLatin1(c.text));
    // An unknown table is not cached as an empty one.
    QVERIFY(!host.hasTable(1));
    QVERIFY(!host.getLocalString(32522, 0).empty());
    QVERIFY(host.hasTable(32522));

    // The rows we wrote ourselves: placeholders and mail links in place.
    const QString footer = host.getLocalString(32521, 38).qString();
    QVERIFY(footer.contains("$1") && footer.contains("$2") && footer.contains("$3"));
    for (const QString& row : {host.getLocalString(32521, 36).qString(), host.getLocalString(32524, 10).qString()})
        QVERIFY2(row.contains(QRegularExpression("<a href=\"mailto:[^\"]+@[^\"]+\\.example\">[^<]+</a>$")),
                 qPrintable(row));
}

QTEST_GUILESS_MAIN(tst_Host)
#include "tst_Host.moc"
