#include "Serialise/Base64Coder.h"

#include "Utility/Cipher.h"
#include "Utility/DataBufferIn.h"
#include "Utility/DataBufferOut.h"

namespace vantorix {

namespace {

// Whole lines per run, so that runs join without changing the line breaks.
const int encodeRun = Base64Coder::bytesPerLine * 1000;
const int decodeRun = 60000;

bool isSpace(char c)
{
    return c == '\n' || c == '\r' || c == ' ' || c == '\t';
}

} // namespace

QByteArray Base64Coder::encode(const QByteArray& bytes) const
{
    QByteArray text;
    text.reserve((bytes.size() + 2) / 3 * 4 + bytes.size() / bytesPerLine);
    for (int start = 0; start < bytes.size(); start += bytesPerLine) {
        if (start > 0)
            text.append('\n');
        text.append(bytes.mid(start, bytesPerLine).toBase64());
    }
    return text;
}

bool Base64Coder::decode(const QByteArray& text, QByteArray& bytes) const
{
    bytes.clear();
    QByteArray compact;
    compact.reserve(text.size());
    for (const char c : text) {
        if (!isSpace(c))
            compact.append(c);
    }
    const QByteArray::FromBase64Result result =
        QByteArray::fromBase64Encoding(compact, QByteArray::AbortOnBase64DecodingErrors);
    if (!result)
        return false;
    bytes = *result;
    return true;
}

} // namespace vantorix

namespace vantorix {

bool Base64Coder::encode(DataBufferIn& in, DataBufferOut& out, int maxLength) const
{
    long long processed = 0;
    QByteArray run;
    while (!in.fail() && !out.fail() && (maxLength <= 0 || processed < maxLength)) {
        int wanted = encodeRun;
        if (maxLength > 0 && maxLength - processed < wanted)
            wanted = static_cast<int>(maxLength - processed);
        run.clear();
        const int taken = readChunk(in, wanted, run);
        if (taken == 0)
            break;
        if (processed > 0)
            out.put('\n');
        processed += taken;
        out.write(encode(run));
    }
    out.flush();
    return !in.fail() && !out.fail() && (maxLength <= 0 || processed == maxLength);
}

bool Base64Coder::decode(DataBufferIn& in, DataBufferOut& out, int maxLength) const
{
    long long processed = 0;
    QByteArray pending;  // characters of a group not yet complete
    QByteArray run;
    bool ended = false;
    while (!in.fail() && !out.fail() && (maxLength <= 0 || processed < maxLength)) {
        int wanted = decodeRun;
        if (maxLength > 0 && maxLength - processed < wanted)
            wanted = static_cast<int>(maxLength - processed);
        run.clear();
        const int taken = readChunk(in, wanted, run);
        if (taken == 0)
            break;
        processed += taken;
        for (const char c : run) {
            if (!isSpace(c))
                pending.append(c);
        }
        // Decode whole groups of four; padding may only close the text.
        const int whole = pending.size() / 4 * 4;
        if (whole == 0)
            continue;
        if (ended)
            return false;
        QByteArray bytes;
        if (!decode(pending.left(whole), bytes))
            return false;
        ended = pending.left(whole).contains('=');
        out.write(bytes);
        pending.remove(0, whole);
    }
    if (!pending.isEmpty()) {
        QByteArray bytes;
        if (ended || !decode(pending, bytes))
            return false;
        out.write(bytes);
    }
    out.flush();
    return !in.fail() && !out.fail() && (maxLength <= 0 || processed == maxLength);
}

} // namespace vantorix
