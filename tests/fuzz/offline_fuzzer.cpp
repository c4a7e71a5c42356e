// libFuzzer entry point for reading offline install files (built with
// VANTORIX_FUZZ).

#include "OfflineFuzzTarget.h"

#include <QCoreApplication>
#include <QDir>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const QString scratch = [] {
        const QString folder =
            QDir::temp().filePath(QStringLiteral("offline_fuzzer-%1").arg(QCoreApplication::applicationPid()));
        QDir().mkpath(folder);
        return folder;
    }();
    if (!offlinefuzz::runOne(data, size, scratch))
        __builtin_trap();
    return 0;
}
