// The service staff's access code: the program keeps only a salted SHA-256 of it, and a typed
// code is compared with that digest in constant time.
#pragma once

#include <QByteArray>
#include <QString>

namespace k740 {

// SHA-256 of the salt followed by the code's UTF-8 bytes.
QByteArray saltedCodeDigest(const QByteArray& salt, const QString& code);

// Equal length and equal bytes; the time taken does not depend on where they differ.
bool constantTimeEqual(const QByteArray& a, const QByteArray& b);

// The typed code is the service code (an empty code never is).
bool serviceCodeAccepted(const QString& code);

}  // namespace k740
