#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>

namespace hanamizu {

using Sha256Digest = std::array<uint8_t, 32>;
// An ECDSA P-256 public key as its point's X then Y, and a signature as r then s: big-endian,
// 32 bytes each.
using P256PublicKey = std::array<uint8_t, 64>;
using P256Signature = std::array<uint8_t, 64>;
struct P256PrivateKey {
  std::array<uint8_t, 32> d{};
  P256PublicKey public_key{};
};

class Sha256 {
 public:
  virtual ~Sha256() = default;
  virtual void Add(std::string_view bytes) = 0;
  virtual Sha256Digest Finish() = 0;
};

// What the launcher needs to know that a download is what the publisher released.
class Crypto {
 public:
  virtual ~Crypto() = default;
  virtual std::unique_ptr<Sha256> StartSha256() = 0;
  // Whether signature is the key's ECDSA signature of a SHA-256 digest; never throws for a bad
  // signature or a point that is not on the curve.
  virtual bool VerifyP256(const P256PublicKey& key, const Sha256Digest& digest,
                          const P256Signature& signature) = 0;
};

// The publisher's side as well. Throws AppError when the system refuses.
class SigningCrypto : public Crypto {
 public:
  virtual P256PrivateKey MakeP256Key() = 0;
  virtual P256Signature SignP256(const P256PrivateKey& key, const Sha256Digest& digest) = 0;
};

// The system's own: CNG on Windows, libcrypto elsewhere.
std::unique_ptr<SigningCrypto> MakeSystemCrypto();

}  // namespace hanamizu
