#include "../fuzz/XmlFuzzTarget.h"

#include <QDir>
#include <QtTest>

// Replays the inputs that fuzzing the XML reader produced (and the inputs of
// every crash it found) through the same target: each must be read without
// crashing, and whatever was read must write out and read back the same. The
// sanitized twin of this test runs the same inputs under AddressSanitizer and
// UndefinedBehaviorSanitizer (tst_XMLCorpus.cmake).
class tst_XMLCorpus : public QObject {
    Q_OBJECT

private slots:
    void replay();
};

void tst_XMLCorpus::replay()
{
    const QDir folder(QStringLiteral(VANTORIX_TEST_DATA_DIR "/fuzz/xml"));
    const QStringList names = folder.entryList(QDir::Files, QDir::Name);
    QVERIFY2(names.size() > 10, "the fuzz corpus is missing");
    int accepted = 0;
    for (const QString& name : names) {
        QFile file(folder.filePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY2(xmlfuzz::runOne(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                 static_cast<std::size_t>(bytes.size())),
                 qPrintable(name));
        testrecords::Catalogue record;
        if (xmlfuzz::readInto(record, bytes))
            ++accepted;
    }
    // The corpus exercises both accepted and rejected texts.
    QVERIFY(accepted > 0);
    QVERIFY(accepted < names.size());
}

QTEST_GUILESS_MAIN(tst_XMLCorpus)
#include "tst_XMLCorpus.moc"
