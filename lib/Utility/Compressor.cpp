#include "Utility/Compressor.h"

#include "Utility/DataBufferIn.h"
#include "Utility/DataBufferOut.h"

#include <QByteArray>

#include <zlib.h>


namespace vantorix {

namespace {

// Window bits: 15 plus 16 writes a gzip wrapper, plus 32 detects gzip or zlib.
const int gzipWindow = 15 + 16;
const int detectWindow = 15 + 32;
const int memoryLevel = 8;

// The rest of the input, raw.
bool readAll(DataBufferIn& in, QByteArray& bytes)
{
    static const bool noDelimiter[256] = {};
    return in.scanTo(noDelimiter, &bytes, true) == DataBufferIn::exhausted;
}

} // namespace

bool Compressor::compress(DataBufferIn& in, DataBufferOut& out, int level)
{
    if (m_state != 0)
        return false;
    QByteArray input;
    if (!readAll(in, input))
        return false;
    z_stream stream = {};
    if (level < 0 || level > 9)
        level = Z_DEFAULT_COMPRESSION;
    if (deflateInit2(&stream, level, Z_DEFLATED, gzipWindow, memoryLevel, Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    stream.next_in = reinterpret_cast<Bytef*>(input.data());
    stream.avail_in = static_cast<uInt>(input.size());
    char block[blockSize];
    int result = Z_OK;
    while (result == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef*>(block);
        stream.avail_out = sizeof block;
        result = deflate(&stream, Z_FINISH);
        if (result == Z_OK || result == Z_STREAM_END)
            out.write(block, static_cast<int>(sizeof block - stream.avail_out));
    }
    deflateEnd(&stream);
    out.flush();
    return result == Z_STREAM_END && !out.fail();
}

bool Compressor::deCompress(DataBufferIn& in, DataBufferOut& out, qint64 limit)
{
    if (m_state != 0)
        return false;
    QByteArray input;
    if (!readAll(in, input))
        return false;
    z_stream stream = {};
    if (inflateInit2(&stream, detectWindow) != Z_OK)
        return false;
    stream.next_in = reinterpret_cast<Bytef*>(input.data());
    stream.avail_in = static_cast<uInt>(input.size());
    char block[blockSize];
    qint64 total = 0;
    int result = Z_OK;
    bool withinLimit = true;
    while (result == Z_OK && withinLimit) {
        stream.next_out = reinterpret_cast<Bytef*>(block);
        stream.avail_out = sizeof block;
        result = inflate(&stream, Z_SYNC_FLUSH);
        if (result != Z_OK && result != Z_STREAM_END)
            break;
        const int produced = static_cast<int>(sizeof block - stream.avail_out);
        total += produced;
        withinLimit = limit < 0 || total <= limit;
        if (withinLimit)
            out.write(block, produced);
        // No input left and no output made: the stream is cut short.
        if (result == Z_OK && produced == 0 && stream.avail_in == 0)
            break;
    }
    const bool complete = result == Z_STREAM_END && stream.avail_in == 0 && withinLimit;
    inflateEnd(&stream);
    out.flush();
    return complete && !out.fail();
}

} // namespace vantorix
