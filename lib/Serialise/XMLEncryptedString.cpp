#include "Serialise/XMLEncryptedString.h"

#include "Serialise/HexCoder.h"
#include "Utility/Cipher.h"
#include "Utility/Convert.h"

#include <QRandomGenerator>

#include <cstdint>

namespace vantorix {

namespace {

// The one place where the key of enciphered strings is fixed: the cipher key
// is the decimal text of this constant.
const std::uint64_t keyConstant = 0x9E3779B97F4A7C15ULL;

} // namespace

XMLEncryptedString::XMLEncryptedString(String& value, const char* tag, bool isAttribute, const char* nameSpace,
                                       Complexity complexity)
    : XMLUnit(isAttribute), m_text(&value), m_tag(tag), m_nameSpace(nameSpace), m_complexity(complexity)
{
}

XMLEncryptedString::XMLEncryptedString(const char* tag, bool isAttribute, const char* nameSpace,
                                       Complexity complexity)
    : XMLUnit(isAttribute), m_text(&m_own), m_tag(tag), m_nameSpace(nameSpace), m_complexity(complexity)
{
}

XMLEncryptedString::~XMLEncryptedString() = default;

String XMLEncryptedString::key()
{
    return ToString(static_cast<unsigned long long>(keyConstant)).value();
}

// Each byte b and a random byte r become two bytes, each made of four 2-bit
// pairs taken alternately from b and r, lowest pairs first:
//   first  = b0 | r0 << 2 | b1 << 4 | r1 << 6
//   second = b2 | r2 << 2 | b3 << 4 | r3 << 6      (bk = bits 2k..2k+1 of b)
QByteArray XMLEncryptedString::mix(const QByteArray& bytes)
{
    QByteArray mixed;
    mixed.reserve(bytes.size() * 2);
    QRandomGenerator* random = QRandomGenerator::global();
    for (const char c : bytes) {
        const unsigned b = static_cast<unsigned char>(c);
        const unsigned r = random->bounded(256u);
        for (int half = 0; half < 2; ++half) {
            const unsigned shift = unsigned(half) * 4;
            const unsigned out = ((b >> shift) & 3) | (((r >> shift) & 3) << 2) | (((b >> (shift + 2)) & 3) << 4)
                | (((r >> (shift + 2)) & 3) << 6);
            mixed.append(static_cast<char>(out));
        }
    }
    return mixed;
}

QByteArray XMLEncryptedString::unmix(const QByteArray& bytes)
{
    QByteArray plain;
    plain.reserve(bytes.size() / 2);
    for (int i = 0; i + 1 < bytes.size(); i += 2) {
        const unsigned first = static_cast<unsigned char>(bytes[i]);
        const unsigned second = static_cast<unsigned char>(bytes[i + 1]);
        const unsigned b = (first & 3) | (((first >> 4) & 3) << 2) | ((second & 3) << 4) | (((second >> 4) & 3) << 6);
        plain.append(static_cast<char>(b));
    }
    return plain;
}

bool XMLEncryptedString::encrypt(const String& plain, Complexity complexity, String& cipherText)
{
    const Cipher cipher(key(), Cipher::blowfish, Cipher::ecb);
    QByteArray bytes = plain.toByteArray();
    if (complexity == high)
        bytes = mix(bytes);
    QByteArray enciphered;
    if (!cipher.encrypt(bytes, enciphered))
        return false;
    if (complexity == high && !cipher.encrypt(QByteArray(enciphered), enciphered))
        return false;
    cipherText = String(QString::fromLatin1(HexCoder(1).encode(enciphered)));
    return true;
}

bool XMLEncryptedString::decrypt(const String& cipherText, Complexity complexity, String& plain)
{
    const Cipher cipher(key(), Cipher::blowfish, Cipher::ecb);
    QByteArray bytes;
    if (!HexCoder(1).decode(cipherText.qString().trimmed().toLatin1(), bytes))
        return false;
    QByteArray deciphered;
    if (!cipher.decrypt(bytes, deciphered))
        return false;
    if (complexity == high) {
        if (!cipher.decrypt(QByteArray(deciphered), deciphered))
            return false;
        deciphered = unmix(deciphered);
    }
    // The zero bytes that padded the text to whole blocks are not part of it.
    int length = deciphered.size();
    while (length > 0 && deciphered[length - 1] == '\0')
        --length;
    deciphered.truncate(length);
    plain = String(QString::fromUtf8(deciphered));
    return true;
}

bool XMLEncryptedString::write(String& text)
{
    return encrypt(*m_text, m_complexity, text);
}

void XMLEncryptedString::setDefault()
{
    m_read = false;
    m_valid = true;
    m_text->clear();
}

bool XMLEncryptedString::read(const String& text)
{
    m_read = true;
    m_valid = false;
    String plain;
    if (!decrypt(text, m_complexity, plain))
        return false;
    *m_text = plain;
    m_valid = true;
    return true;
}

} // namespace vantorix
