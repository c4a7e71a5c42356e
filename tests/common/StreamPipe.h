#ifndef VANTORIX_TESTS_COMMON_STREAMPIPE_H
#define VANTORIX_TESTS_COMMON_STREAMPIPE_H

#include "Utility/DataBufferIn.h"
#include "Utility/DataBufferOut.h"
#include "Utility/MemoryBlock.h"

#include <QByteArray>

// Runs one stream step (a coder or a cipher from an input buffer to an output
// buffer) into memory and returns what it wrote; *ok, if given, gets its result.
template <typename Step>
QByteArray piped(vantorix::DataBufferIn& in, Step step, bool* ok = nullptr)
{
    vantorix::MemoryBlock block;
    bool result = false;
    {
        vantorix::DataBufferOut out(&block);
        result = step(in, out);
    }
    if (ok != nullptr)
        *ok = result;
    return block.get();
}

template <typename Step>
QByteArray piped(const QByteArray& input, Step step, bool* ok = nullptr)
{
    const vantorix::MemoryBlock source(input);
    vantorix::DataBufferIn in(source, vantorix::Encoding::unspecified);
    return piped(in, step, ok);
}

#endif
