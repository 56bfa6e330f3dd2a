#pragma once

// The block that may follow the update list's record: what the publisher released and signed.
//   "HMZ1", the package's size (8 bytes, little-endian), its SHA-256 (32 bytes), and the ECDSA
//   P-256 signature (r then s, 32 bytes each, big-endian) of the SHA-256 of every byte before it:
//   the record as served, the tag, the size and the hash.
// Launchers that predate it read the record and never look further; bytes after it are ignored.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/crypto.h"
#include "update/update_list.h"

namespace hanamizu {

inline constexpr size_t kIntegrityBlockBytes = 4 + 8 + 32 + 64;
// The most of an update list the launcher ever reads: the largest record and its block.
inline constexpr size_t kListMostBytes = kUpdateListMaxBytes + kIntegrityBlockBytes;

struct IntegrityBlock {
  uint64_t package_size = 0;
  Sha256Digest package_sha256{};
  P256Signature signature{};
  size_t signed_length = 0;  // how many bytes of the list the signature covers
};

// The block right after the record at the start of list, when list holds it whole.
std::optional<IntegrityBlock> ReadIntegrityBlock(std::string_view list);

// The record followed by its block, signed with key when there is one (else the signature is
// zeros, which no key verifies).
std::string WriteSignedList(std::string_view record, uint64_t package_size,
                            const Sha256Digest& package_sha256, const P256PrivateKey* key,
                            SigningCrypto& crypto);

// Whether the list may be used: built with the publisher's keys (PEM), only when one of them
// signed it.
bool IsTrustedList(std::string_view list, const std::vector<std::string>& publisher_keys,
                   Crypto& crypto);

}  // namespace hanamizu
