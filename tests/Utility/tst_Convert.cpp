#include "Database/Guid.h"
#include "Utility/Convert.h"

#include <QtTest>

using namespace vantorix;

class tst_Convert : public QObject {
    Q_OBJECT

private slots:
    void toText();
    void toInt32_data();
    void toInt32();
    void wideAndUnsigned();
    void toDouble();
    void fromHex_data();
    void fromHex();
    void guidRoundTrip();
};

void tst_Convert::toText()
{
    QCOMPARE(ToString(true).value().qString(), QStringLiteral("1"));
    QCOMPARE(ToString(false).value().qString(), QStringLiteral("0"));
    QCOMPARE(ToString(short(-12)).value().qString(), QStringLiteral("-12"));
    QCOMPARE(ToString(1234567).value().qString(), QStringLiteral("1234567"));
    QCOMPARE(ToString(18446744073709551615ULL).value().qString(), QStringLiteral("18446744073709551615"));
    QCOMPARE(ToString(2.05, 0).value().qString(), QStringLiteral("2.05"));
    QCOMPARE(ToString(1234567.0, 0).value().qString(), QStringLiteral("1.23457e+06"));
    QCOMPARE(ToString(12.345, 0.01).value().qString(), QStringLiteral("12.35"));
    QCOMPARE(ToString(7.0, 5).value().qString(), QStringLiteral("5"));
}

void tst_Convert::toInt32_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("value");
    QTest::newRow("empty") << "" << false << 0;
    QTest::newRow("leading blanks") << "  42" << true << 42;
    QTest::newRow("stops at letter") << "12abc" << true << 12;
    QTest::newRow("negative") << "-7" << true << -7;
    QTest::newRow("no number") << "abc" << false << 0;
    QTest::newRow("overflow") << "99999999999" << false << 0;
}

void tst_Convert::toInt32()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(int, value);
    ToInt32 converted{String(text)};
    QCOMPARE(converted.isValid(), valid);
    QCOMPARE(converted.value(), value);
}

void tst_Convert::wideAndUnsigned()
{
    QCOMPARE(ToInt64(String("-9000000000")).value(), Q_INT64_C(-9000000000));
    QCOMPARE(ToUInt64(String("18446744073709551615")).value(), Q_UINT64_C(18446744073709551615));
    QCOMPARE(ToUInt32(String("4000000000")).value(), 4000000000u);
    QVERIFY(!ToUInt32(String(" -1")).isValid());
    ToInt32 reparsed{String("x")};
    QVERIFY(!reparsed.isValid());
    QVERIFY(reparsed.setValue(String("5")));
    QCOMPARE(reparsed.value(), 5);
}

void tst_Convert::toDouble()
{
    ToDouble d{String(" 3.25kg")};
    QVERIFY(d.isValid());
    QCOMPARE(d.value(), 3.25);
    QVERIFY(!ToDouble(String("")).isValid());
}

void tst_Convert::fromHex_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<quint64>("value");
    QTest::newRow("upper") << "1F" << true << quint64(31);
    QTest::newRow("lower rejected") << "1f" << false << quint64(1);
    QTest::newRow("empty") << "" << false << quint64(0);
    QTest::newRow("full width") << "FFFFFFFFFFFFFFFF" << true << Q_UINT64_C(18446744073709551615);
    QTest::newRow("too long") << "10000000000000000" << false << quint64(0);
}

void tst_Convert::fromHex()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(quint64, value);
    FromHex hex{String(text)};
    QCOMPARE(hex.isValid(), valid);
    if (valid)
        QCOMPARE(quint64(hex.value()), value);
}

void tst_Convert::guidRoundTrip()
{
    Guid generated;
    QVERIFY(!generated);
    generated.generate();
    QVERIFY(bool(generated));
    const String text = generated.toString();
    QCOMPARE(text.size(), 36);
    QCOMPARE(text.qString(), text.qString().toUpper());
    QVERIFY(!text.qString().contains(QLatin1Char('{')));

    Guid lower;
    for (const String& form : {text, String("{") + text + "}", text.toLowercase()}) {
        lower = form;
        QCOMPARE(lower, generated);
    }
    QCOMPARE(ToString(generated).value(), text);
    for (const char* malformed : {"not-a-guid", "12345678-1234-1234-1234-1234567890AZ"}) {
        lower = String(malformed);
        QVERIFY(!lower);
    }
}

QTEST_GUILESS_MAIN(tst_Convert)
#include "tst_Convert.moc"
