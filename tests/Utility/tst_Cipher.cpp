#include "File/DataFile.h"
#include "Utility/Cipher.h"
#include "Utility/DataBufferIn.h"
#include "Utility/DataBufferOut.h"
#include "Utility/MemoryBlock.h"
#include "common/FileBytes.h"
#include "common/StreamPipe.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace vantorix;

namespace {

// The published chaining example: key, initial value and the 29 bytes of
// "7654321 Now is the time for " with its terminating zero.
const char* const chainKey = "0123456789ABCDEFF0E1D2C3B4A59687";
const std::uint64_t chainInitialValue = 0xFEDCBA9876543210ULL;
const QByteArray chainPlain("7654321 Now is the time for ", 29);

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

} // namespace

class tst_Cipher : public QObject {
    Q_OBJECT

private slots:
    void ecbVectors_data();
    void ecbVectors();
    void chainExamples();
    void zeroPadding();
    void refusals_data();
    void refusals();
    void streamAcrossBuffers_data();
    void streamAcrossBuffers();
    void streamLimit();
};

void tst_Cipher::ecbVectors_data()
{
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("plain");
    QTest::addColumn<QByteArray>("cipher");
    // From the published vectors: the all-zero and all-one edges and
    // patterned blocks.
    static const char* const table[][3] = {
        {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
        {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
        {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
        {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
    };
    int row = 0;
    for (const auto& v : table)
        QTest::addRow("%d: key %s", ++row, v[0]) << hex(v[0]) << hex(v[1]) << hex(v[2]);
    // Keys of 1 to 24 bytes, prefixes of one byte sequence, on one block:
    // the shortest, either side of a whole block, two blocks and the longest.
    static const struct { int length; const char* cipher; } lengths[] = {
        {1, "F9AD597C49DB005E"}, {8, "E87A244E2CC85E82"}, {9, "15750E7A4F4EC577"},
        {16, "93142887EE3BE15C"}, {24, "05044B62FA52D080"},
    };
    for (const auto& v : lengths)
        QTest::addRow("%d-byte key", v.length) << hex("F0E1D2C3B4A5968778695A4B3C2D1E0F0011223344556677").left(v.length)
                                               << hex("FEDCBA9876543210") << hex(v.cipher);
}

void tst_Cipher::ecbVectors()
{
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, plain);
    QFETCH(QByteArray, cipher);
    const Cipher blowfish(key, Cipher::blowfish, Cipher::ecb);
    QByteArray out;
    QVERIFY(blowfish.encrypt(plain, out));
    QCOMPARE(out.toHex().toUpper(), cipher.toHex().toUpper());
    QVERIFY(blowfish.decrypt(cipher, out));
    QCOMPARE(out.toHex().toUpper(), plain.toHex().toUpper());
}

void tst_Cipher::chainExamples()
{
    // The published 64-bit CFB example is a byte stream of 29 bytes; padded
    // to whole blocks its first 29 bytes are the same.
    const struct { Cipher::Mode mode; QByteArray cipher; } examples[] = {
        {Cipher::cbc, "6B77B4D63006DEE605B156E27403979358DEB9E7154616D959F1652BD5FF92CC"},
        {Cipher::cfb, "E73214A2822139CAF26ECF6D2EB9E76E3DA3DE04D1517200519D57A6C3"}};
    for (const auto& c : examples) {
        Cipher blowfish(hex(chainKey), Cipher::blowfish, c.mode);
        blowfish.setInitialValue(chainInitialValue);
        QByteArray out;
        QVERIFY(blowfish.encrypt(chainPlain, out));
        QCOMPARE(out.size(), 32);
        QCOMPARE(out.left(c.cipher.size() / 2).toHex().toUpper(), c.cipher);
        QByteArray back;
        QVERIFY(blowfish.decrypt(out, back));
        QCOMPARE(back, chainPlain + QByteArray(3, '\0'));
    }
}

void tst_Cipher::zeroPadding()
{
    const Cipher blowfish(String("12345"), Cipher::blowfish, Cipher::ecb);
    QByteArray out;
    QVERIFY(blowfish.encrypt(QByteArray("hello"), out));
    QCOMPARE(out.size(), 8);
    QByteArray back;
    QVERIFY(blowfish.decrypt(out, back));
    QCOMPARE(back, QByteArray("hello\0\0\0", 8));
    QVERIFY(blowfish.encrypt(QByteArray(9, 'a'), out));
    QCOMPARE(out.size(), 16);
    QVERIFY(blowfish.encrypt(QByteArray(), out));
    QVERIFY(out.isEmpty());

    // The longest keys: 56 bytes, counted in UTF-8 (28 two-byte letters).
    const Cipher longest(QByteArray(56, 'k'), Cipher::blowfish, Cipher::ecb);
    QVERIFY(longest.encrypt(QByteArray("abc"), out));
    QVERIFY(longest.errorMessage().empty());
    QVERIFY(Cipher(String(QString(28, QChar(0xE9))), Cipher::blowfish, Cipher::ecb).encrypt(QByteArray("a"), out));
}

void tst_Cipher::refusals_data()
{
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("decrypt");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("message");
    const int bf = Cipher::blowfish;
    const QString length = QStringLiteral("Incorrect buffer length");
    QTest::newRow("5-byte cipher text") << QByteArray("12345") << bf << 0 << true << QByteArray("hello") << length;
    QTest::newRow("57-byte key") << QByteArray(57, 'k') << bf << 0 << false << QByteArray("abc")
                                 << "Incorrect key length";
    QTest::newRow("57-byte key, decrypt") << QByteArray(57, 'k') << bf << 0 << true << QByteArray(8, 'a') << "";
    QTest::newRow("29 two-byte letters") << QString(29, QChar(0xE9)).toUtf8() << bf << 0 << false << QByteArray("a")
                                         << "";
    QTest::newRow("empty key") << QByteArray() << bf << 0 << false << QByteArray("abc") << "";
    QTest::newRow("unknown type") << QByteArray("key") << 1 << 0 << false << QByteArray("abc") << "";
    QTest::newRow("unknown mode") << QByteArray("key") << bf << 3 << false << QByteArray("abc") << "";
}

void tst_Cipher::refusals()
{
    // Refused in both forms; the byte form leaves nothing behind.
    QFETCH(QByteArray, key);
    QFETCH(int, type);
    QFETCH(int, mode);
    QFETCH(bool, decrypt);
    QFETCH(QByteArray, input);
    QFETCH(QString, message);
    const Cipher cipher(key, Cipher::Type(type), Cipher::Mode(mode));
    QByteArray out("junk");
    QVERIFY(!(decrypt ? cipher.decrypt(input, out) : cipher.encrypt(input, out)));
    QVERIFY(out.isEmpty());
    if (!message.isEmpty())
        QCOMPARE(cipher.errorMessage().qString(), message);
    bool ok = true;
    const QByteArray streamed = piped(input, [&](DataBufferIn& in, DataBufferOut& o) {
        return decrypt ? cipher.decrypt(in, o, 0) : cipher.encrypt(in, o, 0);
    }, &ok);
    QVERIFY(!ok);
    if (!decrypt)
        QVERIFY(streamed.isEmpty());
}

void tst_Cipher::streamAcrossBuffers_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("ECB") << int(Cipher::ecb);
    QTest::newRow("CBC") << int(Cipher::cbc);
    QTest::newRow("CFB") << int(Cipher::cfb);
}

void tst_Cipher::streamAcrossBuffers()
{
    // A short text, and a file of several buffers: the chaining value must run
    // on from one buffer to the next, so the result equals the one-piece result.
    QFETCH(int, mode);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("plain.bin"));
    Cipher blowfish(String("stream key"), Cipher::blowfish, Cipher::Mode(mode));
    blowfish.setInitialValue(0x0123456789ABCDEFULL);
    for (const int size : {5, 3 * DataBufferIn::bufferSize + 13}) {
        QByteArray plain;
        for (int i = 0; plain.size() < size; ++i)
            plain.append(char(i * 31 + (i >> 8)));
        writeFile(path, plain);
        QByteArray expected;
        QVERIFY(blowfish.encrypt(plain, expected));

        DataFile file(String(path), DataFile::readOnly, false);
        DataBufferIn in(&file, Encoding::unspecified);
        bool ok = false;
        const QByteArray encrypted = piped(in, [&](DataBufferIn& i, DataBufferOut& o) {
            return blowfish.encrypt(i, o, 0);
        }, &ok);
        QVERIFY(ok);
        QVERIFY(encrypted == expected);
        const QByteArray decrypted = piped(encrypted, [&](DataBufferIn& i, DataBufferOut& o) {
            return blowfish.decrypt(i, o, 0);
        }, &ok);
        QVERIFY(ok);
        QVERIFY(decrypted == plain + QByteArray(3, '\0'));
    }

    // Chaining modes: equal plain blocks give different cipher blocks.
    QByteArray out;
    QVERIFY(blowfish.encrypt(QByteArray(32, 'x'), out));
    QCOMPARE(out.size(), 32);
    QCOMPARE(out.left(8) == out.mid(8, 8), mode == Cipher::ecb);
}

void tst_Cipher::streamLimit()
{
    // The limit cuts the input; a limit beyond the input processes what is
    // there, but fails. An empty input encrypts to nothing, successfully.
    const Cipher blowfish(String("12345"), Cipher::blowfish, Cipher::cbc);
    const auto encrypt = [&blowfish](int limit) {
        return [&blowfish, limit](DataBufferIn& in, DataBufferOut& out) { return blowfish.encrypt(in, out, limit); };
    };
    bool ok = false;
    QByteArray direct;
    QVERIFY(blowfish.encrypt(QByteArray("hello"), direct));
    QCOMPARE(piped("hello, world", encrypt(5), &ok), direct);
    QVERIFY(ok);
    QCOMPARE(piped("hello", encrypt(16), &ok).size(), 8);
    QVERIFY(!ok);
    QVERIFY(piped(QByteArray(), encrypt(0), &ok).isEmpty());
    QVERIFY(ok);
}

QTEST_GUILESS_MAIN(tst_Cipher)
#include "tst_Cipher.moc"
