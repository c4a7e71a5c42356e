// Replays every file of the given folders through the zip fuzz target; exit
// status 1 when any input breaks a property. Built with AddressSanitizer and
// UndefinedBehaviorSanitizer for the normal test run.

#include "ZipFuzzTarget.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char** argv)
{
    QTemporaryDir scratchDir;
    if (!scratchDir.isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }
    const QString scratch = scratchDir.filePath(QStringLiteral("input.zip"));
    int replayed = 0;
    int failed = 0;
    for (int i = 1; i < argc; ++i) {
        const QDir folder(QString::fromLocal8Bit(argv[i]));
        if (!folder.exists()) {
            std::fprintf(stderr, "no such folder: %s\n", argv[i]);
            return 1;
        }
        for (const QString& name : folder.entryList(QDir::Files, QDir::Name)) {
            QFile file(folder.filePath(name));
            if (!file.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "cannot read %s\n", qPrintable(file.fileName()));
                return 1;
            }
            const QByteArray bytes = file.readAll();
            if (!zipfuzz::runOne(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                 static_cast<std::size_t>(bytes.size()), scratch)) {
                std::fprintf(stderr, "property failed: %s\n", qPrintable(file.fileName()));
                ++failed;
            }
            ++replayed;
        }
    }
    std::printf("replayed %d inputs, %d failed\n", replayed, failed);
    return (failed == 0 && replayed > 0) ? 0 : 1;
}
