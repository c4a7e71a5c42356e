#ifndef VANTORIX_UTILITY_COMPRESSOR_H
#define VANTORIX_UTILITY_COMPRESSOR_H

#include <QtGlobal>

#include <cstdint>

namespace vantorix {

class DataBufferIn;
class DataBufferOut;

// Whole-buffer gzip compression and decompression on zlib, from the rest of
// a DataBufferIn into a DataBufferOut (flushed at the end). A value object:
// its state must be 0 for either operation to run.
class Compressor {
public:
    static constexpr int blockSize = 16384;

    // Level 0 to 9, anything else zlib's default. True when the whole input
    // was compressed and written.
    bool compress(DataBufferIn& in, DataBufferOut& out, int level);
    // Takes a gzip or zlib stream. True only when the stream ends cleanly
    // exactly at the end of the input and everything was written; a damaged
    // or cut stream, or more than limit bytes of output (limit < 0: no
    // limit), fails. What was written before a failure stays in out.
    bool deCompress(DataBufferIn& in, DataBufferOut& out, qint64 limit = -1);

private:
    std::uint32_t m_state = 0;
};

} // namespace vantorix

#endif
