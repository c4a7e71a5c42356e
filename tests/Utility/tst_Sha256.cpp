// SHA-256 through libcrypto: the standard's test vectors, and data fed in
// pieces of any size hashing as the whole does.

#include "Utility/Sha256.h"

#include <QtTest>

using namespace vantorix;

class tst_Sha256 : public QObject {
    Q_OBJECT

private slots:
    void vectors_data();
    void vectors();
};

void tst_Sha256::vectors_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("digest");
    QTest::newRow("empty") << QByteArray() << QByteArray("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    QTest::newRow("abc") << QByteArray("abc") << QByteArray("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    QTest::newRow("two blocks") << QByteArray("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")
                                << QByteArray("248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    QTest::newRow("a million a") << QByteArray(1000000, 'a')
                                 << QByteArray("cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

void tst_Sha256::vectors()
{
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, digest);
    QCOMPARE(Sha256::hash(data).toHex(), digest);
    for (const int piece : {1, 63, 64, 65, 4096}) {
        Sha256 sha;
        for (int at = 0; at < data.size(); at += piece)
            sha.addData(data.constData() + at, qMin(piece, data.size() - at));
        QCOMPARE(sha.result().toHex(), digest);
    }
}

QTEST_GUILESS_MAIN(tst_Sha256)
#include "tst_Sha256.moc"
