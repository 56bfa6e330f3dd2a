// SHA-256 and ECDSA P-256 through the host's libcrypto, for the native build: the publisher tool
// and the tests.

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <algorithm>

#include "common/app_error.h"
#include "platform/crypto.h"
#include "update/publisher_key.h"

namespace hanamizu {
namespace {

template <auto Free>
struct Deleter {
  void operator()(auto* pointer) const { Free(pointer); }
};
using Key = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY_free>>;
using KeyContext = std::unique_ptr<EVP_PKEY_CTX, Deleter<EVP_PKEY_CTX_free>>;
using Signature = std::unique_ptr<ECDSA_SIG, Deleter<ECDSA_SIG_free>>;
using Number = std::unique_ptr<BIGNUM, Deleter<BN_free>>;

[[noreturn]] void Fail(const char* what) {
  throw AppError(kErrorInternal, std::string("libcrypto: ") + what);
}

class OpenSslSha256 : public Sha256 {
 public:
  OpenSslSha256() : context_(EVP_MD_CTX_new()) {
    if (!context_ || !EVP_DigestInit_ex(context_.get(), EVP_sha256(), nullptr)) Fail("SHA-256");
  }
  void Add(std::string_view bytes) override {
    if (!EVP_DigestUpdate(context_.get(), bytes.data(), bytes.size())) Fail("SHA-256");
  }
  Sha256Digest Finish() override {
    Sha256Digest digest{};
    if (!EVP_DigestFinal_ex(context_.get(), digest.data(), nullptr)) Fail("SHA-256");
    return digest;
  }

 private:
  std::unique_ptr<EVP_MD_CTX, Deleter<EVP_MD_CTX_free>> context_;
};

class OpenSslCrypto : public SigningCrypto {
 public:
  std::unique_ptr<Sha256> StartSha256() override { return std::make_unique<OpenSslSha256>(); }

  bool VerifyP256(const P256PublicKey& key, const Sha256Digest& digest,
                  const P256Signature& signature) override {
    const std::string der = PublicKeyDer(key);
    const auto* bytes = reinterpret_cast<const unsigned char*>(der.data());
    const Key public_key(d2i_PUBKEY(nullptr, &bytes, static_cast<long>(der.size())));
    const Signature sig(ECDSA_SIG_new());
    BIGNUM* r = BN_bin2bn(signature.data(), 32, nullptr);
    BIGNUM* s = BN_bin2bn(signature.data() + 32, 32, nullptr);
    if (!public_key || !sig || !ECDSA_SIG_set0(sig.get(), r, s)) {
      BN_free(r), BN_free(s);
      return false;
    }
    unsigned char* encoded = nullptr;
    const int length = i2d_ECDSA_SIG(sig.get(), &encoded);
    const KeyContext context(EVP_PKEY_CTX_new(public_key.get(), nullptr));
    const bool valid = length > 0 && context && EVP_PKEY_verify_init(context.get()) == 1 &&
                       EVP_PKEY_verify(context.get(), encoded, static_cast<size_t>(length),
                                       digest.data(), digest.size()) == 1;
    OPENSSL_free(encoded);
    return valid;
  }

  P256PrivateKey MakeP256Key() override {
    const Key key(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"));
    BIGNUM* d = nullptr;
    unsigned char point[65];
    size_t length = 0;
    if (!key || !EVP_PKEY_get_bn_param(key.get(), OSSL_PKEY_PARAM_PRIV_KEY, &d)) Fail("key pair");
    const Number secret(d);
    P256PrivateKey made;
    if (BN_bn2binpad(secret.get(), made.d.data(), 32) != 32 ||
        !EVP_PKEY_get_octet_string_param(key.get(), OSSL_PKEY_PARAM_PUB_KEY, point, sizeof point,
                                         &length) ||
        length != 65 || point[0] != 4) {
      Fail("key pair");
    }
    std::copy_n(point + 1, 64, made.public_key.begin());
    return made;
  }

  P256Signature SignP256(const P256PrivateKey& key, const Sha256Digest& digest) override {
    const std::string der = PrivateKeyDer(key);
    const auto* bytes = reinterpret_cast<const unsigned char*>(der.data());
    const Key private_key(d2i_AutoPrivateKey(nullptr, &bytes, static_cast<long>(der.size())));
    const KeyContext context(private_key ? EVP_PKEY_CTX_new(private_key.get(), nullptr) : nullptr);
    unsigned char encoded[80];
    size_t length = sizeof encoded;
    if (!context || EVP_PKEY_sign_init(context.get()) != 1 ||
        EVP_PKEY_sign(context.get(), encoded, &length, digest.data(), digest.size()) != 1) {
      Fail("signing");
    }
    const unsigned char* read = encoded;
    const Signature sig(d2i_ECDSA_SIG(nullptr, &read, static_cast<long>(length)));
    P256Signature signature{};
    if (!sig || BN_bn2binpad(ECDSA_SIG_get0_r(sig.get()), signature.data(), 32) != 32 ||
        BN_bn2binpad(ECDSA_SIG_get0_s(sig.get()), signature.data() + 32, 32) != 32) {
      Fail("signing");
    }
    return signature;
  }
};

}  // namespace

std::unique_ptr<SigningCrypto> MakeSystemCrypto() {
  return std::make_unique<OpenSslCrypto>();
}

}  // namespace hanamizu
