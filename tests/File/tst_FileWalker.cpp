#include "File/DataFile.h"
#include "File/Directory.h"
#include "File/FileWalker.h"

#include <QtTest>

#include "common/FileBytes.h"

#include <functional>
#include <memory>

using namespace vantorix;

namespace {

// Records every callback as one line, relative to the root.
class RecordingWalker : public FileWalker {
public:
    explicit RecordingWalker(const QString& root) : m_root(root) {}

    bool processLink(const String& name, const Directory& folder) override
    {
        events << QStringLiteral("link ") + relative(folder.getURL().qString() + "/" + name.qString());
        return false;
    }
    void processFile(const DataFile& file) override
    {
        events << QStringLiteral("file ") + relative(file.getURL().qString());
        if (onFile)
            onFile(file);
    }
    bool processDirectory(const Directory& folder) override
    {
        const QString name = relative(folder.getURL().qString());
        events << QStringLiteral("dir ") + name;
        return !refuse.contains(name);
    }
    void beginDirectory(const Directory& folder) override { events << "begin " + relative(folder.getURL().qString()); }
    void endDirectory(const Directory& folder) override { events << "end " + relative(folder.getURL().qString()); }

    QStringList events;
    QStringList refuse;
    std::function<void(const DataFile&)> onFile;

private:
    QString relative(const QString& path) const
    {
        const QString rest = QDir(m_root).relativeFilePath(path);
        return rest == QLatin1String(".") ? QStringLiteral("/") : rest;
    }

    QString m_root;
};

} // namespace

class tst_FileWalker : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void walk_data();
    void walk();
    void entriesRemovedAndLinks();

private:
    void put(const QString& name) { writeFile(m_dir->filePath(name)); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_FileWalker::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    for (const char* name : {"b.txt", "a.txt", "z/inner.txt", "m/y/deep.txt", "m/c.txt"})
        put(QString::fromLatin1(name));
}

void tst_FileWalker::cleanup()
{
    m_dir->setAutoRemove(!QTest::currentTestFailed());
    m_dir.reset();
}

void tst_FileWalker::walk_data()
{
    // Files before folders, each in name order; a refused folder is not entered
    // (one of the same name elsewhere still is); a stop ends the outer folders too.
    QTest::addColumn<bool>("deep");
    QTest::addColumn<QString>("refuse");
    QTest::addColumn<QString>("stopAt");
    QTest::addColumn<QStringList>("events");
    QTest::newRow("deep") << true << "" << "" << QStringList{"begin /", "file a.txt", "file b.txt", "dir m",
        "begin m", "file m/c.txt", "dir m/y", "begin m/y", "file m/y/deep.txt", "end m/y", "end m", "dir z",
        "begin z", "file z/inner.txt", "end z", "end /"};
    QTest::newRow("flat") << false << "" << "" << QStringList{"begin /", "file a.txt", "file b.txt", "dir m",
        "dir z", "end /"};
    QTest::newRow("refused") << true << "m" << "" << QStringList{"begin /", "file a.txt", "file b.txt", "dir m",
        "dir z", "begin z", "file z/inner.txt", "dir z/m", "begin z/m", "file z/m/again.txt", "end z/m", "end z",
        "end /"};
    QTest::newRow("stop at first file") << true << "" << "a" << QStringList{"begin /", "file a.txt", "end /"};
    QTest::newRow("stop deep inside") << true << "" << "c" << QStringList{"begin /", "file a.txt", "file b.txt",
        "dir m", "begin m", "file m/c.txt", "end m", "end /"};
}

void tst_FileWalker::walk()
{
    QFETCH(bool, deep);
    QFETCH(QString, refuse);
    QFETCH(QString, stopAt);
    QFETCH(QStringList, events);
    if (!refuse.isEmpty())
        put(QStringLiteral("z/m/again.txt"));
    RecordingWalker walker(m_dir->path());
    if (!refuse.isEmpty())
        walker.refuse << refuse;
    walker.onFile = [&walker, stopAt](const DataFile& file) {
        if (file.getName().qString() == stopAt)
            walker.stop();
    };
    walker.traverse(Directory(String(m_dir->path())), deep);
    QCOMPARE(walker.events, events);
    QCOMPARE(walker.isStopped(), !stopAt.isEmpty());

    // A new walk starts afresh.
    walker.events.clear();
    walker.onFile = nullptr;
    walker.traverse(Directory(String(m_dir->path())), false);
    QCOMPARE(walker.events.size(), 6);
    QVERIFY(!walker.isStopped());
}

void tst_FileWalker::entriesRemovedAndLinks()
{
    RecordingWalker walker(m_dir->path());
    const QString root = m_dir->path();
    walker.onFile = [root](const DataFile& file) {
        if (file.getName() == "a") {
            QFile::remove(root + "/b.txt");
            QDir(root + "/z").removeRecursively();
        }
    };
    walker.traverse(Directory(String(root)), false);
    QCOMPARE(walker.events, (QStringList{"begin /", "file a.txt", "dir m", "end /"}));

    // Links are reported, never followed.
    put(QStringLiteral("z/inner.txt"));
    QVERIFY(QFile::link(m_dir->filePath(QStringLiteral("m")), m_dir->filePath(QStringLiteral("z/toM"))));
    QVERIFY(QFile::link(m_dir->filePath(QStringLiteral("z")), m_dir->filePath(QStringLiteral("z/self"))));
    QVERIFY(QFile::link(m_dir->filePath(QStringLiteral("a.txt")), m_dir->filePath(QStringLiteral("z/toA"))));
    RecordingWalker linked(m_dir->path());
    linked.traverse(Directory(String(m_dir->filePath(QStringLiteral("z")))), true);
    QCOMPARE(linked.events,
             (QStringList{"begin z", "file z/inner.txt", "link z/self", "link z/toA", "link z/toM", "end z"}));
}

QTEST_GUILESS_MAIN(tst_FileWalker)
#include "tst_FileWalker.moc"
