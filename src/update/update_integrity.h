#pragma once

// The block that may follow the update list's record: what the publisher released and signed,
// for which list, in which order and for how long. Numbers are little-endian:
//
//   "HMZ2"
//   the product's length (2 bytes) and its bytes in the ANSI code page, as the record's texts:
//       the list's file name, e.g. "di04.dat", so that a list cannot stand in for another
//   the release sequence (8 bytes, unsigned), raised by the publisher with every list it signs
//   the expiry (8 bytes, signed): Unix seconds UTC after which the list is not used; 0: never
//   the package's size (8 bytes) and its SHA-256 (32 bytes)
//   the ECDSA P-256 signature (r then s, 32 bytes each, big-endian) of the SHA-256 of every
//       byte before it: the record as served, then the block up to here
//
// Fields that came later follow the block, where launchers that predate them ignore bytes, and
// are signed on their own, so that those launchers still take the list:
//
//   "HMZF"
//   the fields' length (2 bytes), then each field: its type (2 bytes; with bit 15 set, a launcher
//       that does not know the type must not use the list), its value's length (2 bytes), its
//       value; a field of a type it knows, with bit 15 clear, is skipped by a launcher that does
//       not know it
//   the signature, as the block's, of every byte before it: the record, the block, the fields
//
// Types: 1, the rollout: the share of PCs that are offered the release, in percent (1 byte, 0 to
// 100); without it, 100. A launcher with keys takes nothing after the block but fields that one
// of them signed.
//
// The first block, still read, is "HMZ1", the size, the SHA-256 and the signature: sequence 0,
// no expiry, any product; only a launcher without keys uses a list that has it. Launchers that
// predate both read the record and never look further.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ansi_codec.h"
#include "platform/crypto.h"
#include "update/update_list.h"

namespace hanamizu {

// The largest block: the tag, the longest product and the fixed fields; then the most fields.
inline constexpr size_t kIntegrityBlockMostBytes =
    4 + 2 + 0xFFFF + 8 + 8 + 8 + 32 + 64 + 4 + 2 + 0xFFFF + 64;
inline constexpr uint16_t kRolloutField = 1, kMustUnderstand = 0x8000;
// The most of an update list the launcher ever reads: the largest record and its block.
inline constexpr size_t kListMostBytes = kUpdateListMaxBytes + kIntegrityBlockMostBytes;
inline constexpr int64_t kExpiryToleranceSeconds = 24 * 60 * 60;  // for a wrong PC clock

// What the publisher says of a release.
struct ReleaseFields {
  std::string product;  // UTF-8
  uint64_t sequence = 0;
  int64_t expires = 0;
  uint64_t package_size = 0;
  Sha256Digest package_sha256{};
  int rollout = 100;  // percent of the PCs offered the release
};

struct IntegrityBlock : ReleaseFields {
  int version = 2;  // 1: the first block, with the package's size and hash alone
  P256Signature signature{};
  size_t signed_length = 0;  // how many bytes of the list the signature covers
  size_t length = 0;         // of the block, the signature included, and of its fields
  // The fields after the block: what their signature covers (0: none), and that signature.
  size_t fields_signed_length = 0;
  P256Signature fields_signature{};
  bool unknown_field = false;   // one that must be understood
  bool unsigned_bytes = false;  // after the block, that are no fields
};

// The block right after the record at the start of list, when list holds it whole.
std::optional<IntegrityBlock> ReadIntegrityBlock(std::string_view list, const AnsiCodec& ansi);

// The record followed by its block, signed with key when there is one (else the signature is
// zeros, which no key verifies). Throws AppError when the product cannot be written.
std::string WriteSignedList(std::string_view record, const ReleaseFields& release,
                            const P256PrivateKey* key, SigningCrypto& crypto,
                            const AnsiCodec& ansi);

// What a launcher built with the publisher's keys makes of a list: kTrusted, or the first rule
// that it breaks. Without keys every list is trusted.
enum class ListVerdict {
  kTrusted,
  kNoBlock,        // nobody signed it
  kFirstBlock,     // its block predates the signed sequence, product and expiry
  kNoSignature,    // none of the keys signed what it holds
  kOtherProduct,   // signed for another list name
  kOlderSequence,  // older than a list already accepted: a replay
  kExpired,        // past its expiry, a day's tolerance for the clock given
  kUnknownField,   // a field after the block that must be understood and is not
};
struct ListContext {
  std::string product;            // the list's name, e.g. "di04.dat"
  uint64_t highest_accepted = 0;  // of the sequences this user's launcher has accepted
  int64_t now = 0;                // Unix seconds UTC
};
// The verdict with what it compared.
struct ListJudgement {
  ListVerdict verdict = ListVerdict::kTrusted;
  std::optional<IntegrityBlock> block;
  ListContext context;
  bool keys = false;  // whether there were keys to judge with
};
// block: the one list holds (ReadIntegrityBlock), read once by the caller.
ListJudgement JudgeList(std::string_view list, const std::optional<IntegrityBlock>& block,
                        const std::vector<std::string>& publisher_keys, const ListContext& context,
                        Crypto& crypto);

// The verdict's name and the values that decided it, e.g. "expired: ...": the same words in the
// launcher's log and in the publisher's tool.
std::string JudgementWords(const ListJudgement& judgement);

// The digest in lower-case hex.
std::string DigestHex(const Sha256Digest& digest);

// "2027-01-31 00:00:00 UTC", or "never" for 0.
std::string UtcDateText(int64_t unix_seconds);

}  // namespace hanamizu
