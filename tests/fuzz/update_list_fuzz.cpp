// Any bytes at all as an update list: reading never fails or reads past the data (in Shift-JIS or
// byte for byte), a whole record written back gives exactly the bytes it was read from, and a
// block after it is read within the data and checked against a key without a failure.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/shift_jis.h"
#include "update/publisher_key.h"
#include "update/update_integrity.h"
#include "update/update_list.h"

namespace {

// Bytes kept as they are, so that writing a record back can be compared byte for byte.
class ByteCodec : public hanamizu::AnsiCodec {
 public:
  std::string ToUtf8(std::string_view ansi) const override { return std::string(ansi); }
  std::string FromUtf8(std::string_view utf8) const override { return std::string(utf8); }

 protected:
  std::optional<std::string> Character(std::string_view) const override { return {}; }
};

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  static const auto shift_jis = hanamizu::MakeShiftJisCodec();
  hanamizu::ReadUpdateListRecord(bytes, *shift_jis);
  const ByteCodec raw;
  const hanamizu::UpdateListRecord record = hanamizu::ReadUpdateListRecord(bytes, raw);
  const std::optional<size_t> length = hanamizu::UpdateListRecordLength(bytes);
  if (length) {
    Require(*length <= size);
    Require(hanamizu::WriteUpdateListRecord(record, raw) == bytes.substr(0, *length));
  } else {
    Require(record.PackageFile.empty());
  }
  if (const auto block = hanamizu::ReadIntegrityBlock(bytes, *shift_jis)) {
    static const auto crypto = hanamizu::MakeSystemCrypto();
    static const std::vector<std::string> keys = {
        hanamizu::PublicKeyPem(crypto->MakeP256Key().public_key)};
    Require(length && block->signed_length + 64 == *length + block->length &&
            *length + block->length <= size);
    Require(hanamizu::JudgeList(bytes, keys, {block->product, 0, 0}, *crypto, raw) !=
            hanamizu::ListVerdict::kTrusted);
  }
  return 0;
}
