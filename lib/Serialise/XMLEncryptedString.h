#ifndef VANTORIX_SERIALISE_XMLENCRYPTEDSTRING_H
#define VANTORIX_SERIALISE_XMLENCRYPTEDSTRING_H

#include "Serialise/XMLShipping.h"

#include <QByteArray>

namespace vantorix {

// A text leaf stored enciphered: the UTF-8 bytes, Blowfish (ECB) under the
// program's fixed key, written as upper-case hexadecimal text. With the high
// complexity each byte is first spread over two bytes together with a random
// byte, and the result is enciphered twice, so equal texts are stored
// differently every time. Bound to the caller's String or to one of its own.
class XMLEncryptedString : public XMLUnit {
public:
    enum Complexity : int { standard = 0, high = 1 };

    XMLEncryptedString(String& value, const char* tag, bool isAttribute = false, const char* nameSpace = nullptr,
                       Complexity complexity = high);
    // Bound to a String of its own.
    XMLEncryptedString(const char* tag, bool isAttribute = false, const char* nameSpace = nullptr,
                       Complexity complexity = high);
    XMLEncryptedString(const XMLEncryptedString&) = delete;
    XMLEncryptedString& operator=(const XMLEncryptedString&) = delete;
    ~XMLEncryptedString() override;

    String& getText() const { return *m_text; }
    bool isRead() const { return m_read; }
    Complexity getComplexity() const { return m_complexity; }

    // The enciphered text.
    bool write(String& text) override;
    const char* getTag() const override { return m_tag; }
    const char* getNameSpace() const override { return m_nameSpace; }
    void setTag(const char* tag) override { m_tag = tag; }
    // Empties the bound text; not read, valid.
    void setDefault() override;
    // Recovers the plain text; false for text that is not a hexadecimal
    // cipher text of whole blocks.
    bool read(const String& text) override;
    bool validate() override { return m_valid; }

    // The two directions on their own, for callers that store such texts
    // elsewhere. decrypt returns false for text that does not decipher.
    static bool encrypt(const String& plain, Complexity complexity, String& cipherText);
    static bool decrypt(const String& cipherText, Complexity complexity, String& plain);

private:
    static String key();
    static QByteArray mix(const QByteArray& bytes);
    static QByteArray unmix(const QByteArray& bytes);

    String m_own;
    String* m_text;
    const char* m_tag;
    const char* m_nameSpace;
    bool m_read = false;
    bool m_valid = true;
    Complexity m_complexity;
};

} // namespace vantorix

#endif
