#include "../fuzz/OfflineFuzzTarget.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

// Replays the inputs of the offline install file fuzz target (its seeds, what
// fuzzing added and the inputs of every failure it found): each must be read
// or refused with one of the reading's codes, leave only archives named as
// the writer names them and listed in the file's records, and nothing at all
// when refused.
class tst_OfflineCorpus : public QObject {
    Q_OBJECT

private slots:
    void replay();
};

void tst_OfflineCorpus::replay()
{
    QTemporaryDir scratch;
    QVERIFY(scratch.isValid());
    const QDir folder(QStringLiteral(VANTORIX_TEST_DATA_DIR "/fuzz/offline"));
    const QStringList names = folder.entryList(QDir::Files, QDir::Name);
    QVERIFY2(names.size() >= 10, "the offline fuzz corpus is missing");
    for (const QString& name : names) {
        QFile file(folder.filePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY2(offlinefuzz::runOne(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                     static_cast<std::size_t>(bytes.size()), scratch.path()),
                 qPrintable(name));
    }
}

QTEST_GUILESS_MAIN(tst_OfflineCorpus)
#include "tst_OfflineCorpus.moc"
