#include "Utility/Cipher.h"

#include "Utility/CipherPiTable.h"
#include "Utility/DataBufferIn.h"
#include "Utility/DataBufferOut.h"

#include <cstring>

namespace vantorix {

namespace {

static_assert(DataBufferIn::bufferSize % Blowfish::blockSize == 0, "runs must be whole blocks");

const char* const keyLengthMessage = "Incorrect key length";
const char* const bufferLengthMessage = "Incorrect buffer length";

std::uint64_t loadBlock(const unsigned char* p)
{
    std::uint64_t value = 0;
    for (int i = 0; i < Blowfish::blockSize; ++i)
        value = (value << 8) | p[i];
    return value;
}

void storeBlock(std::uint64_t value, unsigned char* p)
{
    for (int i = Blowfish::blockSize - 1; i >= 0; --i) {
        p[i] = static_cast<unsigned char>(value & 0xFF);
        value >>= 8;
    }
}

} // namespace

int readChunk(DataBufferIn& in, int maxBytes, QByteArray& bytes)
{
    int taken = 0;
    char c = 0;
    while (taken < maxBytes && in.get(c)) {
        bytes.append(c);
        ++taken;
    }
    return taken;
}

Blowfish::Blowfish(const QByteArray& key)
{
    if (key.isEmpty() || key.size() > maxKeyLength)
        throw CipherError(keyLengthMessage);
    std::memcpy(m_p, blowfish::initialP, sizeof m_p);
    std::memcpy(m_s, blowfish::initialS, sizeof m_s);

    // The key bytes, repeated as often as needed, are folded into the P-array
    // a 32-bit word at a time.
    const int keyLength = key.size();
    int k = 0;
    for (std::uint32_t& p : m_p) {
        std::uint32_t word = 0;
        for (int i = 0; i < 4; ++i) {
            word = (word << 8) | static_cast<unsigned char>(key[k]);
            k = (k + 1) % keyLength;
        }
        p ^= word;
    }

    // Then the cipher, as keyed so far, repeatedly enciphers its own output to
    // replace the P-array and the S-boxes in turn.
    std::uint32_t left = 0;
    std::uint32_t right = 0;
    for (int i = 0; i < 18; i += 2) {
        encryptBlock(left, right);
        m_p[i] = left;
        m_p[i + 1] = right;
    }
    for (auto& box : m_s) {
        for (int i = 0; i < 256; i += 2) {
            encryptBlock(left, right);
            box[i] = left;
            box[i + 1] = right;
        }
    }
}

void Blowfish::encryptBlock(std::uint32_t& left, std::uint32_t& right) const
{
    std::uint32_t l = left;
    std::uint32_t r = right;
    for (int i = 0; i < 16; i += 2) {
        l ^= m_p[i];
        r ^= mix(l);
        r ^= m_p[i + 1];
        l ^= mix(r);
    }
    l ^= m_p[16];
    r ^= m_p[17];
    left = r;
    right = l;
}

void Blowfish::decryptBlock(std::uint32_t& left, std::uint32_t& right) const
{
    std::uint32_t l = left;
    std::uint32_t r = right;
    for (int i = 17; i > 1; i -= 2) {
        l ^= m_p[i];
        r ^= mix(l);
        r ^= m_p[i - 1];
        l ^= mix(r);
    }
    l ^= m_p[1];
    r ^= m_p[0];
    left = r;
    right = l;
}

std::uint64_t Blowfish::encryptWord(std::uint64_t block) const
{
    std::uint32_t left = static_cast<std::uint32_t>(block >> 32);
    std::uint32_t right = static_cast<std::uint32_t>(block);
    encryptBlock(left, right);
    return (std::uint64_t(left) << 32) | right;
}

std::uint64_t Blowfish::decryptWord(std::uint64_t block) const
{
    std::uint32_t left = static_cast<std::uint32_t>(block >> 32);
    std::uint32_t right = static_cast<std::uint32_t>(block);
    decryptBlock(left, right);
    return (std::uint64_t(left) << 32) | right;
}

void Blowfish::encrypt(unsigned char* data, int length, int mode, std::uint64_t& chain) const
{
    if (length <= 0 || length % blockSize != 0)
        throw CipherError(bufferLengthMessage);
    for (unsigned char* p = data; p < data + length; p += blockSize) {
        const std::uint64_t plain = loadBlock(p);
        std::uint64_t result;
        switch (mode) {
        case Cipher::cbc:
            result = chain = encryptWord(plain ^ chain);
            break;
        case Cipher::cfb:
            result = chain = plain ^ encryptWord(chain);
            break;
        default:
            result = encryptWord(plain);
            break;
        }
        storeBlock(result, p);
    }
}

void Blowfish::decrypt(unsigned char* data, int length, int mode, std::uint64_t& chain) const
{
    if (length <= 0 || length % blockSize != 0)
        throw CipherError(bufferLengthMessage);
    for (unsigned char* p = data; p < data + length; p += blockSize) {
        const std::uint64_t cipher = loadBlock(p);
        std::uint64_t result;
        switch (mode) {
        case Cipher::cbc:
            result = decryptWord(cipher) ^ chain;
            chain = cipher;
            break;
        case Cipher::cfb:
            result = cipher ^ encryptWord(chain);
            chain = cipher;
            break;
        default:
            result = decryptWord(cipher);
            break;
        }
        storeBlock(result, p);
    }
}

Cipher::Cipher(const String& key, Type type, Mode mode) : Cipher(key.toByteArray(), type, mode) {}

Cipher::Cipher(const QByteArray& key, Type type, Mode mode) : m_key(key), m_type(type), m_mode(mode)
{
    // An empty key is refused quietly; an over-long one is what the block
    // cipher itself reports.
    if (m_type != blowfish || m_key.isEmpty())
        return;
    try {
        m_blowfish = std::make_unique<Blowfish>(m_key);
    } catch (const CipherError& error) {
        m_keyError = error.what();
    }
}

Cipher::~Cipher() = default;

bool Cipher::isUsable() const
{
    m_error.clear();
    if (m_type != blowfish || (m_mode != ecb && m_mode != cbc && m_mode != cfb) || m_key.isEmpty())
        return false;
    if (!m_blowfish) {
        m_error = m_keyError;
        return false;
    }
    return true;
}

bool Cipher::process(QByteArray& run, bool encrypting, std::uint64_t& chain) const
{
    try {
        auto* bytes = reinterpret_cast<unsigned char*>(run.data());
        if (encrypting)
            m_blowfish->encrypt(bytes, run.size(), m_mode, chain);
        else
            m_blowfish->decrypt(bytes, run.size(), m_mode, chain);
    } catch (const CipherError& error) {
        m_error = error.what();
        return false;
    }
    return true;
}

bool Cipher::processBytes(const QByteArray& in, QByteArray& out, bool encrypting) const
{
    out.clear();
    if (!isUsable())
        return false;
    if (in.isEmpty())
        return true;
    QByteArray run = in;
    if (run.size() % Blowfish::blockSize != 0) {
        // Only a plain text may be short of a whole block: it is padded with
        // zeros. A cipher text that is not whole blocks is damaged.
        if (!encrypting) {
            m_error = bufferLengthMessage;
            return false;
        }
        run.append(Blowfish::blockSize - run.size() % Blowfish::blockSize, '\0');
    }
    std::uint64_t chain = m_initialValue;
    if (!process(run, encrypting, chain))
        return false;
    out = run;
    return true;
}

bool Cipher::processStream(DataBufferIn& in, DataBufferOut& out, int maxLength, bool encrypting) const
{
    if (!isUsable())
        return false;
    std::uint64_t chain = m_initialValue;
    long long processed = 0;
    QByteArray run;
    while (!in.fail() && !out.fail() && (maxLength <= 0 || processed < maxLength)) {
        int wanted = DataBufferIn::bufferSize;
        if (maxLength > 0 && maxLength - processed < wanted)
            wanted = static_cast<int>(maxLength - processed);
        run.clear();
        const int taken = readChunk(in, wanted, run);
        if (taken == 0)
            break;
        processed += taken;
        // Runs are whole buffers (a multiple of the block size) except the
        // last, so only the end of the input can be short of a block.
        if (taken % Blowfish::blockSize != 0) {
            if (!encrypting) {
                m_error = bufferLengthMessage;
                return false;
            }
            run.append(Blowfish::blockSize - taken % Blowfish::blockSize, '\0');
        }
        if (!process(run, encrypting, chain))
            return false;
        out.write(run);
    }
    out.flush();
    return !in.fail() && !out.fail() && (maxLength <= 0 || processed == maxLength);
}

bool Cipher::encrypt(DataBufferIn& in, DataBufferOut& out, int maxLength) const
{
    return processStream(in, out, maxLength, true);
}

bool Cipher::decrypt(DataBufferIn& in, DataBufferOut& out, int maxLength) const
{
    return processStream(in, out, maxLength, false);
}

bool Cipher::encrypt(const QByteArray& in, QByteArray& out) const
{
    return processBytes(in, out, true);
}

bool Cipher::decrypt(const QByteArray& in, QByteArray& out) const
{
    return processBytes(in, out, false);
}

} // namespace vantorix
