// Replays every file of the given folders through the zip fuzz target; exit
// status 1 when any input breaks a property. Built with AddressSanitizer and
// UndefinedBehaviorSanitizer for the normal test run.

#include "ReplayMain.h"
#include "ZipFuzzTarget.h"

#include <QTemporaryDir>

int main(int argc, char** argv)
{
    QTemporaryDir scratchDir;
    if (!scratchDir.isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }
    const QString scratch = scratchDir.filePath(QStringLiteral("input.zip"));
    return fuzzreplay::replayFolders(argc, argv, [&scratch](const std::uint8_t* data, std::size_t size) {
        return zipfuzz::runOne(data, size, scratch);
    });
}
