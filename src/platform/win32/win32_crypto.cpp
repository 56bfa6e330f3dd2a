// SHA-256 and ECDSA P-256 through CNG (bcrypt.dll), a part of Windows.

#include <windows.h>
#include <bcrypt.h>

#include <algorithm>
#include <vector>

#include "common/app_error.h"
#include "platform/crypto.h"
#include "platform/win32/win32_handles.h"

namespace hanamizu {
namespace {

struct AlgorithmTraits {
  using Handle = BCRYPT_ALG_HANDLE;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { BCryptCloseAlgorithmProvider(h, 0); }
};
struct HashTraits {
  using Handle = BCRYPT_HASH_HANDLE;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { BCryptDestroyHash(h); }
};
struct KeyTraits {
  using Handle = BCRYPT_KEY_HANDLE;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { BCryptDestroyKey(h); }
};

using win32::UniqueHandle;
using Algorithm = UniqueHandle<AlgorithmTraits>;
using Hash = UniqueHandle<HashTraits>;
using Key = UniqueHandle<KeyTraits>;

void Check(NTSTATUS status, const char* what) {
  if (!BCRYPT_SUCCESS(status)) {
    throw AppError(static_cast<int32_t>(status), std::string("CNG: ") + what);
  }
}

Algorithm Open(LPCWSTR name) {
  BCRYPT_ALG_HANDLE handle = nullptr;
  Check(BCryptOpenAlgorithmProvider(&handle, name, nullptr, 0), "algorithm");
  return Algorithm(handle);
}

// A BCRYPT_ECCKEY_BLOB: its header, then X, Y and (private) d.
std::vector<UCHAR> KeyBlob(ULONG magic, const P256PublicKey& point, const uint8_t* d = nullptr) {
  const BCRYPT_ECCKEY_BLOB header{magic, 32};
  std::vector<UCHAR> blob(reinterpret_cast<const UCHAR*>(&header),
                          reinterpret_cast<const UCHAR*>(&header) + sizeof header);
  blob.insert(blob.end(), point.begin(), point.end());
  if (d) blob.insert(blob.end(), d, d + 32);
  return blob;
}

Key Import(BCRYPT_ALG_HANDLE algorithm, LPCWSTR type, std::vector<UCHAR> blob) {
  BCRYPT_KEY_HANDLE handle = nullptr;
  const NTSTATUS status = BCryptImportKeyPair(algorithm, nullptr, type, &handle, blob.data(),
                                              static_cast<ULONG>(blob.size()), 0);
  SecureZeroMemory(blob.data(), blob.size());
  return Key(BCRYPT_SUCCESS(status) ? handle : nullptr);
}

class CngSha256 : public Sha256 {
 public:
  explicit CngSha256(BCRYPT_ALG_HANDLE algorithm) {
    BCRYPT_HASH_HANDLE handle = nullptr;
    Check(BCryptCreateHash(algorithm, &handle, nullptr, 0, nullptr, 0, 0), "SHA-256");
    hash_ = Hash(handle);
  }
  void Add(std::string_view bytes) override {
    // CNG takes at most 4 GiB a call.
    for (size_t done = 0; done < bytes.size();) {
      const ULONG part = static_cast<ULONG>(std::min<size_t>(bytes.size() - done, 1u << 30));
      Check(
          BCryptHashData(hash_.get(),
                         reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data() + done)), part, 0),
          "SHA-256");
      done += part;
    }
  }
  Sha256Digest Finish() override {
    Sha256Digest digest{};
    Check(BCryptFinishHash(hash_.get(), digest.data(), 32, 0), "SHA-256");
    return digest;
  }

 private:
  Hash hash_;
};

class CngCrypto : public SigningCrypto {
 public:
  std::unique_ptr<Sha256> StartSha256() override {
    return std::make_unique<CngSha256>(Opened(sha256_, BCRYPT_SHA256_ALGORITHM));
  }

  bool VerifyP256(const P256PublicKey& key, const Sha256Digest& digest,
                  const P256Signature& signature) override {
    const Key imported =
        Import(Ecdsa(), BCRYPT_ECCPUBLIC_BLOB, KeyBlob(BCRYPT_ECDSA_PUBLIC_P256_MAGIC, key));
    return imported &&
           BCryptVerifySignature(imported.get(), nullptr, const_cast<PUCHAR>(digest.data()), 32,
                                 const_cast<PUCHAR>(signature.data()), 64, 0) == 0;
  }

  P256PrivateKey MakeP256Key() override {
    BCRYPT_KEY_HANDLE handle = nullptr;
    Check(BCryptGenerateKeyPair(Ecdsa(), &handle, 256, 0), "key pair");
    const Key key(handle);
    Check(BCryptFinalizeKeyPair(key.get(), 0), "key pair");
    std::vector<UCHAR> blob(sizeof(BCRYPT_ECCKEY_BLOB) + 96);
    ULONG length = 0;
    Check(BCryptExportKey(key.get(), nullptr, BCRYPT_ECCPRIVATE_BLOB, blob.data(),
                          static_cast<ULONG>(blob.size()), &length, 0),
          "key pair");
    P256PrivateKey made;
    const UCHAR* numbers = blob.data() + sizeof(BCRYPT_ECCKEY_BLOB);
    std::copy_n(numbers, 64, made.public_key.begin());
    std::copy_n(numbers + 64, 32, made.d.begin());
    SecureZeroMemory(blob.data(), blob.size());
    return made;
  }

  P256Signature SignP256(const P256PrivateKey& key, const Sha256Digest& digest) override {
    const Key imported =
        Import(Ecdsa(), BCRYPT_ECCPRIVATE_BLOB,
               KeyBlob(BCRYPT_ECDSA_PRIVATE_P256_MAGIC, key.public_key, key.d.data()));
    if (!imported) throw AppError(kErrorInternal, "CNG: the key is not a P-256 key pair");
    P256Signature signature{};
    ULONG length = 0;  // the buffer takes r and s whatever a size query answers
    Check(BCryptSignHash(imported.get(), nullptr, const_cast<PUCHAR>(digest.data()), 32,
                         signature.data(), 64, &length, 0),
          "signing");
    return signature;
  }

 private:
  // Opened when first needed: a launch without an update loads no part of CNG.
  static BCRYPT_ALG_HANDLE Opened(Algorithm& algorithm, LPCWSTR name) {
    if (!algorithm) algorithm = Open(name);
    return algorithm.get();
  }
  BCRYPT_ALG_HANDLE Ecdsa() { return Opened(ecdsa_, BCRYPT_ECDSA_P256_ALGORITHM); }

  Algorithm sha256_, ecdsa_;
};

}  // namespace

std::unique_ptr<SigningCrypto> MakeSystemCrypto() {
  return std::make_unique<CngCrypto>();
}

}  // namespace hanamizu
