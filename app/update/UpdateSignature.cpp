#include "update/UpdateSignature.h"

#include <QFile>

#include <openssl/evp.h>

#include <memory>

namespace installer {

namespace {

#ifdef VANTORIX_UPDATE_TEST_KEY
// The test key: its private half is tests/data/app/update/test-update-key.private.pem.
const char* const keyHex = "57b7a227fa3b7648c325ff92b00fbfb8e850724e3d8dbabe1093158a5dc3b86f";
#else
// The release key: updates are signed with its private half by the publisher.
const char* const keyHex = VANTORIX_UPDATE_RELEASE_KEY;
#endif

struct KeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct ContextFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

} // namespace

QByteArray UpdateSignature::trustedKey()
{
    return QByteArray::fromHex(keyHex);
}

bool UpdateSignature::usesTestKey()
{
#ifdef VANTORIX_UPDATE_TEST_KEY
    return true;
#else
    return false;
#endif
}

UpdateSignature::Result UpdateSignature::verify(const QString& archivePath, const QByteArray& signature,
                                                const QByteArray& key)
{
    if (signature.isEmpty())
        return unsigned_;
    if (signature.size() != signatureSize || key.size() != keySize)
        return mismatch;
    QFile file(archivePath);
    if (!file.open(QIODevice::ReadOnly))
        return unreadable;
    const qint64 size = file.size();
    if (size <= 0)
        return mismatch;
    // Ed25519 hashes the message twice, so it takes the whole of it at once:
    // the mapping lets the system page it in instead of our heap.
    uchar* bytes = file.map(0, size);
    if (bytes == nullptr)
        return unreadable;
    const std::unique_ptr<EVP_PKEY, KeyFree> publicKey(EVP_PKEY_new_raw_public_key(
        EVP_PKEY_ED25519, nullptr, reinterpret_cast<const unsigned char*>(key.constData()), std::size_t(key.size())));
    const std::unique_ptr<EVP_MD_CTX, ContextFree> context(EVP_MD_CTX_new());
    bool good = false;
    if (publicKey && context &&
        EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, publicKey.get()) == 1) {
        good = EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char*>(signature.constData()),
                                std::size_t(signature.size()), bytes, std::size_t(size)) == 1;
    }
    file.unmap(bytes);
    return good ? valid : mismatch;
}

} // namespace installer
