#include "Utility/Sha256.h"

#include <openssl/evp.h>

namespace vantorix {

struct Sha256::Context {
    EVP_MD_CTX* context = nullptr;
    ~Context() { EVP_MD_CTX_free(context); }
};

Sha256::Sha256() : m_context(std::make_unique<Context>())
{
    m_context->context = EVP_MD_CTX_new();
    m_failed = m_context->context == nullptr || EVP_DigestInit_ex(m_context->context, EVP_sha256(), nullptr) != 1;
}

Sha256::~Sha256() = default;

void Sha256::addData(const char* data, qint64 size)
{
    if (m_failed || size <= 0)
        return;
    m_failed = EVP_DigestUpdate(m_context->context, data, std::size_t(size)) != 1;
}

QByteArray Sha256::result()
{
    if (m_failed)
        return QByteArray();
    QByteArray digest(EVP_MAX_MD_SIZE, '\0');
    unsigned length = 0;
    if (EVP_DigestFinal_ex(m_context->context, reinterpret_cast<unsigned char*>(digest.data()), &length) != 1) {
        m_failed = true;
        return QByteArray();
    }
    m_failed = true;  // finished: no more data
    digest.resize(int(length));
    return digest;
}

QByteArray Sha256::hash(const QByteArray& data)
{
    Sha256 sha;
    sha.addData(data);
    return sha.result();
}

} // namespace vantorix
