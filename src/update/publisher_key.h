#pragma once

// The publisher's keys as PEM files, the forms OpenSSL writes and reads: a public key as
// SubjectPublicKeyInfo ("PUBLIC KEY"), a private key as PKCS #8 ("PRIVATE KEY") or SEC 1
// ("EC PRIVATE KEY"), each with its public half. Only P-256 keys are read.

#include <optional>
#include <string>
#include <string_view>

#include "platform/crypto.h"

namespace hanamizu {

std::optional<P256PublicKey> ReadPublicKeyPem(std::string_view pem);
std::optional<P256PrivateKey> ReadPrivateKeyPem(std::string_view pem);
std::string PublicKeyPem(const P256PublicKey& key);
std::string PrivateKeyPem(const P256PrivateKey& key);
// The DER inside those files: SubjectPublicKeyInfo and PKCS #8.
std::string PublicKeyDer(const P256PublicKey& key);
std::string PrivateKeyDer(const P256PrivateKey& key);

}  // namespace hanamizu
