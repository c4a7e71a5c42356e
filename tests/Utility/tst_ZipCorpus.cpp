#include "../fuzz/ZipFuzzTarget.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

// Replays the inputs of the zip fuzz target (its seeds, what fuzzing added
// and the inputs of every failure it found): each must be read without
// crashing, hand out only safe paths, and read the same into memory and into
// a stream. The sanitized twin of this test runs the same inputs under
// AddressSanitizer and UndefinedBehaviorSanitizer (tst_ZipCorpus.cmake).
class tst_ZipCorpus : public QObject {
    Q_OBJECT

private slots:
    void replay();
};

void tst_ZipCorpus::replay()
{
    QTemporaryDir scratch;
    QVERIFY(scratch.isValid());
    const QString scratchPath = scratch.filePath(QStringLiteral("input.zip"));
    const QDir folder(QStringLiteral(VANTORIX_TEST_DATA_DIR "/fuzz/zip"));
    const QStringList names = folder.entryList(QDir::Files, QDir::Name);
    QVERIFY2(names.size() >= 10, "the zip fuzz corpus is missing");
    int accepted = 0;
    for (const QString& name : names) {
        QFile file(folder.filePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY2(zipfuzz::runOne(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                 static_cast<std::size_t>(bytes.size()), scratchPath),
                 qPrintable(name));
        if (vantorix::ZipArchive(vantorix::String(scratchPath)).getEntryCount() > 0)
            ++accepted;
    }
    // The corpus holds both archives that are read and archives that are refused.
    QVERIFY(accepted > 0);
    QVERIFY(accepted < names.size());
}

QTEST_GUILESS_MAIN(tst_ZipCorpus)
#include "tst_ZipCorpus.moc"
