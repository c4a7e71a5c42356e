#ifndef VANTORIX_UTILITY_CIPHER_H
#define VANTORIX_UTILITY_CIPHER_H

#include "Utility/String.h"

#include <QByteArray>

#include <cstdint>
#include <memory>
#include <stdexcept>

namespace vantorix {

class DataBufferIn;
class DataBufferOut;

// Appends up to maxBytes unread bytes of `in` to `bytes` and returns how many
// it took (0 at the end of the input or after a failure). The stream codecs
// read their input through it, one buffer-sized run at a time.
int readChunk(DataBufferIn& in, int maxBytes, QByteArray& bytes);

// Raised by the block cipher for a key or a buffer it cannot take. Cipher
// catches it and answers false; the message tells why ("Incorrect key length",
// "Incorrect buffer length").
class CipherError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The Blowfish block cipher (64-bit blocks, keys of 1 to 56 bytes): key
// schedule and block operations on runs of whole blocks. Each 8-byte block is
// read as two 32-bit halves, most significant byte first. Cipher drives it.
class Blowfish {
public:
    static const int maxKeyLength = 56;
    static const int blockSize = 8;

    // Throws CipherError("Incorrect key length") for an empty key or one of
    // more than 56 bytes.
    explicit Blowfish(const QByteArray& key);

    void encryptBlock(std::uint32_t& left, std::uint32_t& right) const;
    void decryptBlock(std::uint32_t& left, std::uint32_t& right) const;

    // Enciphers or deciphers `length` bytes in place in the given mode (see
    // Cipher::Mode); `chain` carries the chaining value from one run to the
    // next. Throws CipherError("Incorrect buffer length") unless length is a
    // non-zero multiple of 8.
    void encrypt(unsigned char* data, int length, int mode, std::uint64_t& chain) const;
    void decrypt(unsigned char* data, int length, int mode, std::uint64_t& chain) const;

private:
    std::uint32_t mix(std::uint32_t x) const
    {
        return ((m_s[0][x >> 24] + m_s[1][(x >> 16) & 0xFF]) ^ m_s[2][(x >> 8) & 0xFF]) + m_s[3][x & 0xFF];
    }
    std::uint64_t encryptWord(std::uint64_t block) const;
    std::uint64_t decryptWord(std::uint64_t block) const;

    std::uint32_t m_p[18];
    std::uint32_t m_s[4][256];
};

// Enciphers and deciphers byte streams with a key given as text (its UTF-8
// bytes). Blowfish is the only type. Input that does not end on a block
// boundary is padded with zero bytes, so an encrypted text is always a
// multiple of 8 bytes long and decryption returns the padding with the text.
// The chaining value of CBC and CFB starts at zero unless set otherwise.
class Cipher {
public:
    enum Type : int { blowfish = 0 };
    enum Mode : int { ecb = 0, cbc = 1, cfb = 2 };

    Cipher(const String& key, Type type, Mode mode);
    // A key of raw bytes (the published test keys are not UTF-8 text).
    Cipher(const QByteArray& key, Type type, Mode mode);
    ~Cipher();

    // The starting chaining value for CBC and CFB (0 by default).
    void setInitialValue(std::uint64_t value) { m_initialValue = value; }

    // Reads from `in` until it is exhausted (or maxLength bytes when that is
    // not 0) and writes the result to `out`, which is flushed. False for an
    // unknown type or mode, an empty or over-long key, a failed stream,
    // decrypting input that is not whole blocks, or fewer than maxLength
    // bytes. The chaining value runs on from one buffer to the next, so the
    // result does not depend on how the input is buffered.
    bool encrypt(DataBufferIn& in, DataBufferOut& out, int maxLength) const;
    bool decrypt(DataBufferIn& in, DataBufferOut& out, int maxLength) const;

    // The whole of `in` into `out`. False for an unknown type or mode, an
    // empty or over-long key, or a cipher text that is not whole blocks.
    bool encrypt(const QByteArray& in, QByteArray& out) const;
    bool decrypt(const QByteArray& in, QByteArray& out) const;

    // Why the last operation failed ("Incorrect key length", ...), empty after
    // a success.
    const String& errorMessage() const { return m_error; }

private:
    bool isUsable() const;
    bool process(QByteArray& run, bool encrypting, std::uint64_t& chain) const;
    bool processStream(DataBufferIn& in, DataBufferOut& out, int maxLength, bool encrypting) const;
    bool processBytes(const QByteArray& in, QByteArray& out, bool encrypting) const;

    QByteArray m_key;
    Type m_type;
    Mode m_mode;
    std::uint64_t m_initialValue = 0;
    std::unique_ptr<Blowfish> m_blowfish;  // the key schedule, built once
    String m_keyError;
    mutable String m_error;
};

} // namespace vantorix

#endif
