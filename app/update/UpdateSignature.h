#ifndef INSTALLER_UPDATE_UPDATESIGNATURE_H
#define INSTALLER_UPDATE_UPDATESIGNATURE_H

#include <QByteArray>
#include <QString>

namespace installer {

// Checks that an installer update archive was signed by the publisher: an
// Ed25519 signature (64 bytes, served beside the archive as "<address>.sig")
// of the archive's whole content, checked against the public key built into
// this program. A build trusts exactly one key: the release key, or, in
// builds made for tests and demonstrations (VANTORIX_UPDATE_TEST_KEY), the
// test key whose private half lies with the test data.
class UpdateSignature {
public:
    enum Result { valid, unsigned_, mismatch, unreadable };

    static constexpr int signatureSize = 64;
    static constexpr int keySize = 32;

    // The raw 32-byte public key this build trusts.
    static QByteArray trustedKey();
    // Whether this build trusts the test key instead of the release key.
    static bool usesTestKey();

    // Checks the file at archivePath against signature with key (raw, 32
    // bytes). The file is mapped, not read into memory.
    static Result verify(const QString& archivePath, const QByteArray& signature, const QByteArray& key);
    static Result verify(const QString& archivePath, const QByteArray& signature)
    {
        return verify(archivePath, signature, trustedKey());
    }
};

} // namespace installer

#endif
