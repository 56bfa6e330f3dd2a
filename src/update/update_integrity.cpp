#include "update/update_integrity.h"

#include <algorithm>

#include "common/app_error.h"
#include "update/background_sha256.h"
#include "update/publisher_key.h"
#include "update/update_list.h"

namespace hanamizu {
namespace {

constexpr std::string_view kTag = "HMZ1";
// NTE_BAD_SIGNATURE: what Windows itself says of a signature that does not verify.
constexpr int32_t kBadSignature = static_cast<int32_t>(0x80090006);

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

CheckedSink::CheckedSink(ByteSink& target, const IntegrityBlock& block, Crypto& crypto,
                         std::string url)
    : target_(target),
      block_(block),
      hash_(std::make_unique<BackgroundSha256>(crypto.StartSha256())),
      url_(std::move(url)) {}

void CheckedSink::Write(std::string_view bytes) {
  size_ += bytes.size();
  if (size_ > block_.package_size) Mismatch();  // no need to fill the disk to know
  hash_->Add(bytes);
  target_.Write(bytes);
}

void CheckedSink::Check() {
  if (size_ != block_.package_size || hash_->Finish() != block_.package_sha256) Mismatch();
}

void CheckedSink::Mismatch() const {
  throw AppError(kBadSignature,
                 "ダウンロードしたパッケージが発行元の署名した内容と一致しません (" + url_ + ")");
}

}  // namespace hanamizu
