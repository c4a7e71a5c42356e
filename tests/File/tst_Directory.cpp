#include "File/DataFile.h"
#include "File/Directory.h"
#include "Utility/Logger.h"
#include "Utility/SearchString.h"

#include <QtTest>

#include "common/FileBytes.h"

#include <memory>

using namespace vantorix;

class tst_Directory : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void createLevels();
    void countAndSearch();
    void erase();
    void eraseLoggedAndLinks();
    void fullAccess();

private:
    QString path(const QString& name) const { return m_dir->filePath(name); }
    void put(const QString& name) { writeFile(path(name), "x"); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_Directory::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void tst_Directory::cleanup()
{
    m_dir->setAutoRemove(!QTest::currentTestFailed());
    m_dir.reset();
}

void tst_Directory::createLevels()
{
    const Directory absent(String(path(QStringLiteral("a/b/c"))), false);
    QVERIFY(!absent.exists());
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("a"))));
    QVERIFY(absent.getPathName().empty());

    const Directory made(String(path(QStringLiteral("a/b/c"))), true);
    QVERIFY(made.exists() && made.isFolder());
    QVERIFY(made == absent);
    QCOMPARE(made.getName().qString(), QStringLiteral("c"));

    const Directory child(made, String("d.bundle"), true);
    QVERIFY(child.exists());
    QCOMPARE(child.getURL().qString(), path(QStringLiteral("a/b/c/d.bundle")));
    QCOMPARE(child.getName().qString(), QStringLiteral("d"));
    QCOMPARE(child.getExtension().qString(), QStringLiteral("bundle"));

    std::unique_ptr<Directory> parent(child.getParent());
    QVERIFY(*parent == made);

    QVERIFY(!Directory().exists());

    // Made with every missing level; a plain file in the way gives error 1.
    int error = -1;
    const Directory root(String(m_dir->path()), false);
    std::unique_ptr<Directory> made2(Directory::create(root, "x/y", error));
    QVERIFY(made2 && error == 0);
    QVERIFY(QFileInfo(path(QStringLiteral("x/y"))).isDir());
    put(QStringLiteral("plain"));
    std::unique_ptr<Directory> none(Directory::create(root, "plain/sub", error));
    QVERIFY(!none);
    QCOMPARE(error, 1);
}

void tst_Directory::countAndSearch()
{
    for (const char* name : {"f/one.txt", "f/two.xml", "f/.hidden", "f/sub/deep.txt"})
        put(QString::fromLatin1(name));
    const Directory folder(String(path(QStringLiteral("f"))), false);
    QCOMPARE(folder.fileCount(), 3);
    QVERIFY(folder.containsItemNamed(SearchString("*.xml", "*")));
    QVERIFY(folder.containsItemNamed(SearchString("su*", "*"), true, true, true));
    QVERIFY(!folder.containsItemNamed(SearchString("deep*", "*")));
    QVERIFY(!Directory(String(path(QStringLiteral("none"))), false).containsItemNamed(SearchString("*", "*")));
}

void tst_Directory::erase()
{
    // Erasing the contents keeps the folder itself, hidden entries go too; a
    // missing folder cannot be erased either way.
    const struct { bool exists; QStringList files; bool contentsOnly; bool ok; } cases[] = {
        {true, {"a.txt", ".hidden", "sub/deeper/b.txt", "sub/.dot/c.txt"}, true, true},
        {true, {"a.txt", "sub/b.txt"}, false, true}, {false, {}, true, false}, {false, {}, false, false}};
    const QString folderPath = path(QStringLiteral("f"));
    for (const auto& c : cases) {
        QDir(folderPath).removeRecursively();
        if (c.exists)
            QVERIFY(QDir().mkpath(folderPath));
        for (const QString& file : c.files)
            put(QStringLiteral("f/") + file);
        Directory folder(String(folderPath), false);
        Logger::initialise(Logger::defaultMaxSize);
        QCOMPARE(folder.erase(c.contentsOnly, false), c.ok);
        QVERIFY(Logger::lines().isEmpty());
        QCOMPARE(QFileInfo::exists(folderPath), c.ok && c.contentsOnly);
        QVERIFY(QDir(folderPath).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System).isEmpty());
    }
}

void tst_Directory::eraseLoggedAndLinks()
{
    put(QStringLiteral("l/sub/a.txt"));
    put(QStringLiteral("l/b.txt"));
    Logger::initialise(Logger::defaultMaxSize);
    Directory folder(String(path(QStringLiteral("l"))), false);
    QVERIFY(folder.erase(true, true));
    QStringList lines;
    for (const QString& line : Logger::lines())
        lines << line.section(QLatin1Char('\t'), 1).trimmed();
    const QStringList expected{"Erasing contents of -- " + path(QStringLiteral("l")), "Numeber of entries found = 2",
                               "Erasing " + path(QStringLiteral("l/sub")), "Erasing " + path(QStringLiteral("l/b.txt"))};
    QCOMPARE(lines, expected);

    // Links inside, and a link given as the folder, go; what they point at stays.
    put(QStringLiteral("outside/precious.txt"));
    put(QStringLiteral("victim/a.txt"));
    QVERIFY(QFile::link(path(QStringLiteral("outside")), path(QStringLiteral("victim/link"))));
    QVERIFY(QFile::link(path(QStringLiteral("outside")), path(QStringLiteral("folderLink"))));

    Directory victim(String(path(QStringLiteral("victim"))), false);
    QVERIFY(victim.erase(true, false));
    QVERIFY(!QFileInfo(path(QStringLiteral("victim/link"))).isSymLink());
    QVERIFY(QFileInfo::exists(path(QStringLiteral("outside/precious.txt"))));

    Directory linked(String(path(QStringLiteral("folderLink"))), false);
    QVERIFY(linked.exists());
    QVERIFY(linked.erase(false, false));
    QVERIFY(!QFileInfo(path(QStringLiteral("folderLink"))).isSymLink());
    QVERIFY(QFileInfo::exists(path(QStringLiteral("outside/precious.txt"))));
}

void tst_Directory::fullAccess()
{
    Directory folder(String(path(QStringLiteral("open"))), true);
    QVERIFY(QFile::setPermissions(path(QStringLiteral("open")), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                                    | QFileDevice::ExeOwner));
    QVERIFY(folder.allowFullAccess());
    const QFileDevice::Permissions all = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
        | QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther
        | QFileDevice::WriteOther | QFileDevice::ExeOther;
    QCOMPARE(QFileInfo(path(QStringLiteral("open"))).permissions() & all, all);

    DataFile absent(String(path(QStringLiteral("absent"))), DataFile::readOnly, false);
    QVERIFY(!absent.allowFullAccess());
    QCOMPARE(absent.getLastError(), 1);
}

QTEST_GUILESS_MAIN(tst_Directory)
#include "tst_Directory.moc"
