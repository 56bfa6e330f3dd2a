#pragma once

// The update list: the byte image of one UpdateListRecord, read by the launcher and written by the
// publisher tool. Little-endian numbers, no padding, texts in the ANSI code page after their
// 16-bit byte length.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ansi_codec.h"

namespace hanamizu {

struct UpdateListRecord {
  int16_t DownloadMode = 0;
  int32_t ServerMajor = 0;
  int32_t ServerMinor = 0;
  int32_t ServerBuild = 0;
  std::string PackageLocation;  // UTF-8
  std::string PackageFile;      // UTF-8

  bool operator==(const UpdateListRecord&) const = default;
};

// The largest record: the fixed fields and two texts of the longest length a prefix can give.
inline constexpr size_t kUpdateListMaxBytes = 2 + 4 + 4 + 4 + 2 + 0xFFFF + 2 + 0xFFFF;

// Reads a record from the start of data. Never fails: every field that the data does not hold
// whole keeps its reset value (0 or the empty text); bytes after PackageFile are ignored.
UpdateListRecord ReadUpdateListRecord(std::string_view data, const AnsiCodec& ansi);

// The number of bytes the record takes at the start of data, or nothing when data ends inside it.
std::optional<size_t> UpdateListRecordLength(std::string_view data);

// The byte image of a record. Throws AppError when a text cannot be written in the code page or
// is too long for its 16-bit length.
std::string WriteUpdateListRecord(const UpdateListRecord& record, const AnsiCodec& ansi);

}  // namespace hanamizu
