#include "update/update_integrity.h"

#include <algorithm>

#include "update/publisher_key.h"
#include "update/update_list.h"

namespace hanamizu {
namespace {

constexpr std::string_view kTag = "HMZ1";

Sha256Digest DigestOf(std::string_view bytes, Crypto& crypto) {
  const std::unique_ptr<Sha256> hash = crypto.StartSha256();
  hash->Add(bytes);
  return hash->Finish();
}

}  // namespace

std::optional<IntegrityBlock> ReadIntegrityBlock(std::string_view list) {
  const std::optional<size_t> record = UpdateListRecordLength(list);
  if (!record || list.size() < *record + kIntegrityBlockBytes) return std::nullopt;
  std::string_view block = list.substr(*record, kIntegrityBlockBytes);
  if (!block.starts_with(kTag)) return std::nullopt;
  IntegrityBlock read;
  for (size_t i = 0; i < 8; ++i)
    read.package_size |= uint64_t{static_cast<uint8_t>(block[4 + i])} << (8 * i);
  std::copy_n(block.begin() + 12, 32, read.package_sha256.begin());
  std::copy_n(block.begin() + 44, 64, read.signature.begin());
  read.signed_length = *record + 44;
  return read;
}

std::string WriteSignedList(std::string_view record, uint64_t package_size,
                            const Sha256Digest& package_sha256, const P256PrivateKey* key,
                            SigningCrypto& crypto) {
  std::string list(record);
  list += kTag;
  for (size_t i = 0; i < 8; ++i) list += static_cast<char>(package_size >> (8 * i) & 0xFF);
  list.append(package_sha256.begin(), package_sha256.end());
  const P256Signature signature =
      key ? crypto.SignP256(*key, DigestOf(list, crypto)) : P256Signature{};
  return list.append(signature.begin(), signature.end());
}

bool IsTrustedList(std::string_view list, const std::vector<std::string>& publisher_keys,
                   Crypto& crypto) {
  if (publisher_keys.empty()) return true;
  const std::optional<IntegrityBlock> block = ReadIntegrityBlock(list);
  if (!block) return false;
  const Sha256Digest digest = DigestOf(list.substr(0, block->signed_length), crypto);
  return std::any_of(publisher_keys.begin(), publisher_keys.end(), [&](const std::string& pem) {
    const std::optional<P256PublicKey> key = ReadPublicKeyPem(pem);
    return key && crypto.VerifyP256(*key, digest, block->signature);
  });
}

}  // namespace hanamizu
