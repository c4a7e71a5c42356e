#include "Utility/MemoryBlock.h"

#include <QtTest>

#include <new>

using namespace vantorix;

class tst_MemoryBlock : public QObject {
    Q_OBJECT

private slots:
    void sizesAndCopies();
    void freeFunctions();
};

void tst_MemoryBlock::sizesAndCopies()
{
    QVERIFY(!MemoryBlock(0));
    QVERIFY(!MemoryBlock(-5));
    MemoryBlock a(4);
    QCOMPARE(a.get(), QByteArray(4, '\0'));
    a.resize(6);
    QCOMPARE(a.get(), QByteArray(6, '\0'));
    a.reset(QByteArray("abc"));
    MemoryBlock b(a);
    b.append("d", 1);
    QCOMPARE(a.get() + b.get(), QByteArray("abcabcd"));

    // Parts outside the source are clipped or skipped.
    MemoryBlock block;
    const QByteArray source("0123456789");
    block.append(source, 2, 3);
    block.append(source, 8);
    block.append(source, 9, 50);
    block.append(source, 11, 1);
    block.append(nullptr, 4);
    QCOMPARE(block.get(), QByteArray("234899"));
}

void tst_MemoryBlock::freeFunctions()
{
    char buffer[4] = {'a', 'b', 'c', 'd'};
    copyMemory(buffer, "xy", 2);
    clearMemory(buffer + 1, 2);
    QCOMPARE(QByteArray(buffer, 4), QByteArray("x\0\0d", 4));
    QVERIFY_EXCEPTION_THROWN(copyMemory(nullptr, buffer, 1), std::bad_alloc);
    QVERIFY_EXCEPTION_THROWN(copyMemory(buffer, nullptr, 1), std::bad_alloc);
}

QTEST_GUILESS_MAIN(tst_MemoryBlock)
#include "tst_MemoryBlock.moc"
