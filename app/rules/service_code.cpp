// Salted SHA-256 check of the service code.
#include "app/rules/service_code.h"

#include <QCryptographicHash>

namespace k740 {

namespace {
// The salt and the digest of the service code (the code itself is in the README, for service
// staff; it is not kept here).
const char kSaltHex[] = "62307c54431598278a81510b0976d6a7";
const char kDigestHex[] = "eb1e3721a34477c36fa6f62e3bff385be1fd2456d407c9c6df6c4b29db3f5f8b";
}  // namespace

QByteArray saltedCodeDigest(const QByteArray& salt, const QString& code) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(salt);
    hash.addData(code.toUtf8());
    return hash.result();
}

bool constantTimeEqual(const QByteArray& a, const QByteArray& b) {
    if (a.size() != b.size()) return false;
    unsigned char difference = 0;
    for (int i = 0; i < a.size(); ++i) difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

bool serviceCodeAccepted(const QString& code) {
    if (code.isEmpty()) return false;
    const QByteArray digest = saltedCodeDigest(QByteArray::fromHex(kSaltHex), code);
    return constantTimeEqual(digest, QByteArray::fromHex(kDigestHex));
}

}  // namespace k740
