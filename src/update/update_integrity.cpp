#include "update/update_integrity.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "common/app_error.h"
#include "update/publisher_key.h"

namespace hanamizu {
namespace {

constexpr std::string_view kFirstTag = "HMZ1", kTag = "HMZ2", kFieldsTag = "HMZF";

Sha256Digest DigestOf(std::string_view bytes, Crypto& crypto) {
  const std::unique_ptr<Sha256> hash = crypto.StartSha256();
  hash->Add(bytes);
  return hash->Finish();
}

// Fields taken from the front of the bytes, little-endian numbers, while they last.
class Reader {
 public:
  explicit Reader(std::string_view bytes) : bytes_(bytes), size_(bytes.size()) {}
  bool Has(size_t size) const { return bytes_.size() >= size; }
  size_t Taken() const { return size_ - bytes_.size(); }
  uint64_t Number(size_t size) {
    uint64_t value = 0;
    for (size_t i = 0; i < size; ++i) value |= uint64_t{static_cast<uint8_t>(bytes_[i])} << (8 * i);
    bytes_.remove_prefix(size);
    return value;
  }
  std::string_view Bytes(size_t size) {
    const std::string_view taken = bytes_.substr(0, size);
    bytes_.remove_prefix(size);
    return taken;
  }

 private:
  std::string_view bytes_;
  size_t size_;
};

void AppendNumber(std::string& bytes, uint64_t value, size_t size) {
  for (size_t i = 0; i < size; ++i) bytes += static_cast<char>(value >> (8 * i) & 0xFF);
}

bool SameName(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return lower(x) == lower(y);
  });
}

ListVerdict Verdict(std::string_view list, const std::optional<IntegrityBlock>& block,
                    const std::vector<std::string>& publisher_keys, const ListContext& context,
                    Crypto& crypto) {
  if (publisher_keys.empty()) return ListVerdict::kTrusted;
  if (!block) return ListVerdict::kNoBlock;
  if (block->version == 1) return ListVerdict::kFirstBlock;
  const auto signed_by_one = [&](size_t length, const P256Signature& signature) {
    const Sha256Digest digest = DigestOf(list.substr(0, length), crypto);
    return std::any_of(publisher_keys.begin(), publisher_keys.end(), [&](const std::string& pem) {
      const std::optional<P256PublicKey> key = ReadPublicKeyPem(pem);
      return key && crypto.VerifyP256(*key, digest, signature);
    });
  };
  if (!signed_by_one(block->signed_length, block->signature) || block->unsigned_bytes ||
      (block->fields_signed_length &&
       !signed_by_one(block->fields_signed_length, block->fields_signature))) {
    return ListVerdict::kNoSignature;
  }
  if (block->unknown_field) return ListVerdict::kUnknownField;
  if (!SameName(block->product, context.product)) return ListVerdict::kOtherProduct;
  if (block->sequence < context.highest_accepted) return ListVerdict::kOlderSequence;
  if (block->expires != 0 && context.now - kExpiryToleranceSeconds > block->expires)
    return ListVerdict::kExpired;
  return ListVerdict::kTrusted;
}

// The fields after the block, when the bytes there are fields.
void ReadFields(Reader& reader, size_t record, IntegrityBlock& block) {
  const size_t start = reader.Taken();
  if (!reader.Has(6) || reader.Bytes(4) != kFieldsTag) {
    block.unsigned_bytes = true;
    return;
  }
  const size_t length = reader.Number(2);
  if (!reader.Has(length + 64)) {
    block.unsigned_bytes = true;
    return;
  }
  Reader fields(reader.Bytes(length));
  while (fields.Has(4)) {
    const auto type = static_cast<uint16_t>(fields.Number(2));
    const size_t size = fields.Number(2);
    if (!fields.Has(size)) break;
    const std::string_view value = fields.Bytes(size);
    if ((type & ~kMustUnderstand) == kRolloutField) {
      // A share that cannot be read is none this launcher understands.
      const bool readable = size == 1 && static_cast<uint8_t>(value[0]) <= 100;
      if (readable) block.rollout = static_cast<uint8_t>(value[0]);
      block.unknown_field |= !readable;
    } else if (type & kMustUnderstand) {
      block.unknown_field = true;
    }
  }
  if (fields.Has(1)) block.unsigned_bytes = true;  // a field cut short
  block.fields_signed_length = record + reader.Taken();
  const std::string_view signature = reader.Bytes(64);
  std::copy(signature.begin(), signature.end(), block.fields_signature.begin());
  block.length += reader.Taken() - start;
}

}  // namespace

std::optional<IntegrityBlock> ReadIntegrityBlock(std::string_view list, const AnsiCodec& ansi) {
  const std::optional<size_t> record = UpdateListRecordLength(list);
  if (!record) return std::nullopt;
  Reader reader(list.substr(*record));
  IntegrityBlock block;
  if (!reader.Has(4)) return std::nullopt;
  const std::string_view tag = reader.Bytes(4);
  if (tag == kFirstTag) {
    block.version = 1;
  } else if (tag == kTag && reader.Has(2)) {
    const size_t product = reader.Number(2);
    if (!reader.Has(product + 16)) return std::nullopt;
    block.product = ansi.ToUtf8(reader.Bytes(product));
    block.sequence = reader.Number(8);
    block.expires = static_cast<int64_t>(reader.Number(8));
  } else {
    return std::nullopt;
  }
  if (!reader.Has(8 + 32 + 64)) return std::nullopt;
  block.package_size = reader.Number(8);
  const std::string_view hash = reader.Bytes(32);
  std::copy(hash.begin(), hash.end(), block.package_sha256.begin());
  block.signed_length = *record + reader.Taken();
  const std::string_view signature = reader.Bytes(64);
  std::copy(signature.begin(), signature.end(), block.signature.begin());
  block.length = reader.Taken();
  if (reader.Has(1)) ReadFields(reader, *record, block);
  return block;
}

std::string WriteSignedList(std::string_view record, const ReleaseFields& release,
                            const P256PrivateKey* key, SigningCrypto& crypto,
                            const AnsiCodec& ansi) {
  const std::string product = ansi.FromUtf8(release.product);
  if (product.size() > 0xFFFF) throw AppError(kErrorOverflow, "製品名が長すぎます");
  std::string list(record);
  list += kTag;
  AppendNumber(list, product.size(), 2);
  list += product;
  AppendNumber(list, release.sequence, 8);
  AppendNumber(list, static_cast<uint64_t>(release.expires), 8);
  AppendNumber(list, release.package_size, 8);
  list.append(release.package_sha256.begin(), release.package_sha256.end());
  const auto sign = [&] {
    const P256Signature signature =
        key ? crypto.SignP256(*key, DigestOf(list, crypto)) : P256Signature{};
    list.append(signature.begin(), signature.end());
  };
  sign();
  if (release.rollout == 100) return list;  // as launchers before the fields wrote it
  list += kFieldsTag;
  AppendNumber(list, 5, 2);
  AppendNumber(list, kRolloutField, 2);
  AppendNumber(list, 1, 2);
  AppendNumber(list, static_cast<uint64_t>(release.rollout), 1);
  sign();
  return list;
}

ListJudgement JudgeList(std::string_view list, const std::optional<IntegrityBlock>& block,
                        const std::vector<std::string>& publisher_keys, const ListContext& context,
                        Crypto& crypto) {
  ListJudgement judgement{ListVerdict::kTrusted, block, context, !publisher_keys.empty()};
  judgement.verdict = Verdict(list, block, publisher_keys, context, crypto);
  return judgement;
}

std::string DigestHex(const Sha256Digest& digest) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  for (const uint8_t byte : digest) text += {kHex[byte >> 4], kHex[byte & 15]};
  return text;
}

std::string UtcDateText(int64_t unix_seconds) {
  if (unix_seconds == 0) return "never";
  using namespace std::chrono;
  const sys_seconds time{seconds(unix_seconds)};
  const year_month_day date{floor<days>(time)};
  const hh_mm_ss clock{time - floor<days>(time)};
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u %02d:%02d:%02d UTC", int{date.year()},
                unsigned{date.month()}, unsigned{date.day()},
                static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                static_cast<int>(clock.seconds().count()));
  return text;
}

std::string JudgementWords(const ListJudgement& judgement) {
  const std::optional<IntegrityBlock>& block = judgement.block;
  const ListContext& context = judgement.context;
  switch (judgement.verdict) {
    case ListVerdict::kTrusted:
      if (!judgement.keys) return "trusted: this launcher has no publisher keys and checks no list";
      return "trusted: signed for " + block->product + ", sequence " +
             std::to_string(block->sequence) + " (highest accepted " +
             std::to_string(context.highest_accepted) + "), expires " +
             UtcDateText(block->expires) + ", rollout " + std::to_string(block->rollout) + " %";
    case ListVerdict::kNoBlock:
      return "no block: the list has no signed block after its record";
    case ListVerdict::kFirstBlock:
      return "first block: the list has the first block (HMZ1), which a launcher with keys "
             "refuses";
    case ListVerdict::kNoSignature:
      return "no signature: none of the publisher's keys verifies the list's signature";
    case ListVerdict::kOtherProduct:
      return "other list: signed for " + block->product + ", not " + context.product;
    case ListVerdict::kOlderSequence:
      return "older sequence: the list's sequence " + std::to_string(block->sequence) +
             " is older than " + std::to_string(context.highest_accepted) +
             ", the highest accepted";
    case ListVerdict::kExpired:
      return "expired: the list expired on " + UtcDateText(block->expires) +
             "; the PC's clock says " + UtcDateText(context.now) + " (a day's tolerance)";
    case ListVerdict::kUnknownField:
      return "unknown field: the list has a field that a launcher must understand, and this one "
             "does not";
  }
  return "unknown verdict";
}

}  // namespace hanamizu
