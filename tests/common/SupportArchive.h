#ifndef VANTORIX_TESTS_COMMON_SUPPORTARCHIVE_H
#define VANTORIX_TESTS_COMMON_SUPPORTARCHIVE_H

#include "Serialise/Base64Coder.h"
#include "Utility/ZipArchive.h"

#include <QMap>
#include <QRegularExpression>
#include <QTemporaryDir>

// Reads a support package back the way support would: the Base64 text of the
// "attachment" element in a request or export (XML text, or a raw post with
// its head), decoded and opened with the project's zip reader. Maps each
// file entry's path to its bytes; empty when there is no readable package.
inline QMap<QString, QByteArray> supportEntries(const QByteArray& text)
{
    QMap<QString, QByteArray> entries;
    static const QRegularExpression attachment(QStringLiteral("<attachment>([^<]*)</attachment>"));
    const QRegularExpressionMatch match = attachment.match(QString::fromUtf8(text));
    QByteArray zipBytes;
    if (!match.hasMatch() || !vantorix::Base64Coder().decode(match.captured(1).toLatin1(), zipBytes))
        return entries;
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("package.zip"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(zipBytes) != zipBytes.size())
        return entries;
    file.close();
    vantorix::ZipArchive zip{vantorix::String(path)};
    for (unsigned i = 0; i < zip.getEntryCount(); ++i) {
        const std::unique_ptr<vantorix::ZipArchive::Entry> entry = zip.getEntry(i);
        if (entry && !entry->isDirectory() && entry->getData())
            entries.insert(entry->getPath().qString(), entry->getData()->get());
    }
    return entries;
}

#endif
