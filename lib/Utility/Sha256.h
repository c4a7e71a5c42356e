#ifndef VANTORIX_UTILITY_SHA256_H
#define VANTORIX_UTILITY_SHA256_H

#include <QByteArray>

#include <memory>

namespace vantorix {

// SHA-256 through OpenSSL's libcrypto, which uses the processor's SHA
// instructions where there are any (several times Qt's own hash). Fed in
// pieces as the bytes arrive; result() ends it.
class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void addData(const char* data, qint64 size);
    void addData(const QByteArray& data) { addData(data.constData(), data.size()); }
    // The 32 bytes of the digest; empty when the hash could not be made.
    QByteArray result();

    static QByteArray hash(const QByteArray& data);

private:
    struct Context;
    std::unique_ptr<Context> m_context;
    bool m_failed = false;
};

} // namespace vantorix

#endif
