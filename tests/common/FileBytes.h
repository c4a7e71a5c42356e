#ifndef VANTORIX_TESTS_COMMON_FILEBYTES_H
#define VANTORIX_TESTS_COMMON_FILEBYTES_H

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
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

// Every item below root by its path relative to root: file bytes, "<dir>"
// for folders, "->" and the target for links (never followed).
inline QMap<QString, QByteArray> snapshot(const QString& root)
{
    QMap<QString, QByteArray> tree;
    QDirIterator items(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                       QDirIterator::Subdirectories);
    while (items.hasNext()) {
        const QFileInfo item(items.next());
        const QString name = QDir(root).relativeFilePath(item.filePath());
        tree[name] = item.isSymLink() ? "->" + item.symLinkTarget().toUtf8()
                     : item.isDir()   ? QByteArray("<dir>")
                                      : readFile(item.filePath());
    }
    return tree;
}

#endif
