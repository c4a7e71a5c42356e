#ifndef VANTORIX_TESTS_COMMON_FILEBYTES_H
#define VANTORIX_TESTS_COMMON_FILEBYTES_H

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

// Writes a test file, making its folders; a failure fails the calling test.
inline void writeFile(const QString& path, const QByteArray& bytes = QByteArray())
{
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
}

// The whole content of a file, or a marker no test expects.
inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

#endif
