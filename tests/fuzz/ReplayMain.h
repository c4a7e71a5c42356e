#ifndef VANTORIX_TESTS_FUZZ_REPLAYMAIN_H
#define VANTORIX_TESTS_FUZZ_REPLAYMAIN_H

// The body of a corpus replay program: every file of the folders named on the
// command line goes through one fuzz target's check, in name order. Exit
// status 1 when any input breaks a property, a folder is missing or a file
// cannot be read, or when there was nothing to replay.

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace fuzzreplay {

// check(data, size) returns false when a property does not hold.
template <typename Check>
int replayFolders(int argc, char** argv, Check check)
{
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
            if (!check(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                       static_cast<std::size_t>(bytes.size()))) {
                std::fprintf(stderr, "property failed: %s\n", qPrintable(file.fileName()));
                ++failed;
            }
            ++replayed;
        }
    }
    std::printf("replayed %d inputs, %d failed\n", replayed, failed);
    return (failed == 0 && replayed > 0) ? 0 : 1;
}

} // namespace fuzzreplay

#endif
