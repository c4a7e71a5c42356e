// libFuzzer entry point for the XML reader (built with VANTORIX_FUZZ).

#include "XmlFuzzTarget.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (!xmlfuzz::runOne(data, size))
        __builtin_trap();
    return 0;
}
