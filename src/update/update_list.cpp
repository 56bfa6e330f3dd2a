#include "update/update_list.h"

#include <type_traits>

#include "common/app_error.h"

namespace hanamizu {
namespace {

// Takes fixed-size little-endian fields and length-prefixed texts off the front of the data.
// A field that the data does not hold whole yields nothing and ends the reading.
class FieldReader {
 public:
  explicit FieldReader(std::string_view data) : rest_(data) {}

  template <class T>
  std::optional<T> Number() {
    if (rest_.size() < sizeof(T)) return Stop<T>();
    uint64_t value = 0;
    for (size_t i = 0; i < sizeof(T); ++i) {
      value |= static_cast<uint64_t>(static_cast<uint8_t>(rest_[i])) << (8 * i);
    }
    Take(sizeof(T));
    // Two's complement: the low bytes give the signed value.
    return static_cast<T>(value);
  }

  std::optional<std::string_view> Text() {
    const std::optional<uint16_t> length = Number<uint16_t>();
    if (!length) return std::nullopt;
    if (rest_.size() < *length) return Stop<std::string_view>();
    const std::string_view text = rest_.substr(0, *length);
    Take(*length);
    return text;
  }

  size_t used() const { return used_; }

 private:
  template <class T>
  std::optional<T> Stop() {
    rest_ = {};
    return std::nullopt;
  }
  void Take(size_t count) {
    rest_.remove_prefix(count);
    used_ += count;
  }

  std::string_view rest_;
  size_t used_ = 0;
};

template <class T>
void PutNumber(std::string& out, T value) {
  const auto bits = static_cast<std::make_unsigned_t<T>>(value);
  for (size_t i = 0; i < sizeof(T); ++i) out += static_cast<char>((bits >> (8 * i)) & 0xFF);
}

void PutText(std::string& out, const std::string& utf8, const AnsiCodec& ansi, const char* field) {
  const std::string bytes = ansi.FromUtf8(utf8);
  if (bytes.size() > 0xFFFF) {
    throw AppError(kErrorOverflow, std::string(field) + " is " + std::to_string(bytes.size()) +
                                       " bytes long; at most 65535 fit its length field");
  }
  PutNumber(out, static_cast<uint16_t>(bytes.size()));
  out += bytes;
}

}  // namespace

UpdateListRecord ReadUpdateListRecord(std::string_view data, const AnsiCodec& ansi) {
  UpdateListRecord record;
  FieldReader reader(data);
  if (auto v = reader.Number<int16_t>()) record.DownloadMode = *v;
  if (auto v = reader.Number<int32_t>()) record.ServerMajor = *v;
  if (auto v = reader.Number<int32_t>()) record.ServerMinor = *v;
  if (auto v = reader.Number<int32_t>()) record.ServerBuild = *v;
  if (auto v = reader.Text()) record.PackageLocation = ansi.ToUtf8(*v);
  if (auto v = reader.Text()) record.PackageFile = ansi.ToUtf8(*v);
  return record;
}

std::optional<size_t> UpdateListRecordLength(std::string_view data) {
  FieldReader reader(data);
  const bool whole = reader.Number<int16_t>() && reader.Number<int32_t>() &&
                     reader.Number<int32_t>() && reader.Number<int32_t>() && reader.Text() &&
                     reader.Text();
  if (!whole) return std::nullopt;
  return reader.used();
}

std::string WriteUpdateListRecord(const UpdateListRecord& record, const AnsiCodec& ansi) {
  std::string out;
  PutNumber(out, record.DownloadMode);
  PutNumber(out, record.ServerMajor);
  PutNumber(out, record.ServerMinor);
  PutNumber(out, record.ServerBuild);
  PutText(out, record.PackageLocation, ansi, "PackageLocation");
  PutText(out, record.PackageFile, ansi, "PackageFile");
  return out;
}

}  // namespace hanamizu
