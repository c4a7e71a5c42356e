// libFuzzer entry point for the zip reader (built with VANTORIX_FUZZ).

#include "ZipFuzzTarget.h"

#include <QCoreApplication>
#include <QDir>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const QString scratch =
        QDir::temp().filePath(QStringLiteral("zip_fuzzer-%1.zip").arg(QCoreApplication::applicationPid()));
    if (!zipfuzz::runOne(data, size, scratch))
        __builtin_trap();
    return 0;
}
