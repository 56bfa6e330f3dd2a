#include "update/update_list.h"

#include <gtest/gtest.h>

#include <memory>

#include "common/app_error.h"
#include "platform/shift_jis.h"

namespace hanamizu {
namespace {

// A record as the publisher writes it, byte by byte: mode -2, version 8.1.-3,
// "http://h/" and "更新.exe" in Shift-JIS.
const std::string kFullRecord = std::string(
    "\xFE\xFF"
    "\x08\x00\x00\x00"
    "\x01\x00\x00\x00"
    "\xFD\xFF\xFF\xFF"
    "\x09\x00"
    "http://h/"
    "\x08\x00"
    "\x8D\x58\x90\x56.exe",
    2 + 4 + 4 + 4 + 2 + 9 + 2 + 8);

class UpdateListRecordTest : public ::testing::Test {
 protected:
  std::unique_ptr<AnsiCodec> sjis = MakeShiftJisCodec();
  UpdateListRecord Read(std::string_view data) { return ReadUpdateListRecord(data, *sjis); }
};

TEST_F(UpdateListRecordTest, ReadsEveryFieldLittleEndianWithoutPadding) {
  const UpdateListRecord record = Read(kFullRecord);
  EXPECT_EQ(record.DownloadMode, -2);
  EXPECT_EQ(record.ServerMajor, 8);
  EXPECT_EQ(record.ServerMinor, 1);
  EXPECT_EQ(record.ServerBuild, -3);
  EXPECT_EQ(record.PackageLocation, "http://h/");
  EXPECT_EQ(record.PackageFile, "更新.exe");
  EXPECT_EQ(UpdateListRecordLength(kFullRecord), kFullRecord.size());
}

TEST_F(UpdateListRecordTest, NumbersUseAllTheirBytes) {
  std::string data = kFullRecord;
  data.replace(0, 14, std::string("\x34\x12\x78\x56\x34\x12\x00\x00\x00\x80\xFF\xFF\xFF\x7F", 14));
  const UpdateListRecord record = Read(data);
  EXPECT_EQ(record.DownloadMode, 0x1234);
  EXPECT_EQ(record.ServerMajor, 0x12345678);
  EXPECT_EQ(record.ServerMinor, INT32_MIN);
  EXPECT_EQ(record.ServerBuild, INT32_MAX);
}

TEST_F(UpdateListRecordTest, EmptyDataGivesTheResetRecord) {
  EXPECT_EQ(Read(""), UpdateListRecord{});
  EXPECT_EQ(UpdateListRecordLength(""), std::nullopt);
}

TEST_F(UpdateListRecordTest, EveryCutKeepsTheWholeFieldsBeforeItAndResetsTheRest) {
  // Offsets where each field ends; a field cut anywhere inside reads as its reset value.
  const size_t mode_end = 2, major_end = 6, minor_end = 10, build_end = 14;
  const size_t location_end = 16 + 9, file_end = location_end + 2 + 8;
  for (size_t size = 0; size < kFullRecord.size(); ++size) {
    SCOPED_TRACE(size);
    const UpdateListRecord record = Read(std::string_view(kFullRecord).substr(0, size));
    EXPECT_EQ(record.DownloadMode, size >= mode_end ? -2 : 0);
    EXPECT_EQ(record.ServerMajor, size >= major_end ? 8 : 0);
    EXPECT_EQ(record.ServerMinor, size >= minor_end ? 1 : 0);
    EXPECT_EQ(record.ServerBuild, size >= build_end ? -3 : 0);
    EXPECT_EQ(record.PackageLocation, size >= location_end ? "http://h/" : "");
    EXPECT_EQ(record.PackageFile, size >= file_end ? "更新.exe" : "");
    EXPECT_EQ(UpdateListRecordLength(std::string_view(kFullRecord).substr(0, size)), std::nullopt);
  }
}

TEST_F(UpdateListRecordTest, FewerThanEighteenBytesNeverHoldAPackageFile) {
  // Both texts empty: the shortest whole record is exactly 18 bytes.
  const std::string empty_texts(18, '\0');
  EXPECT_EQ(UpdateListRecordLength(empty_texts), 18u);
  EXPECT_EQ(UpdateListRecordLength(empty_texts.substr(0, 17)), std::nullopt);
  EXPECT_EQ(Read(empty_texts.substr(0, 17)).PackageFile, "");
}

TEST_F(UpdateListRecordTest, ALengthBeyondTheDataEndsTheReading) {
  std::string data = kFullRecord;
  data[14] = '\x40';  // PackageLocation claims 64 bytes; the rest of the file has 19
  const UpdateListRecord record = Read(data);
  EXPECT_EQ(record.ServerBuild, -3);
  EXPECT_EQ(record.PackageLocation, "");
  EXPECT_EQ(record.PackageFile, "");
}

TEST_F(UpdateListRecordTest, BytesAfterThePackageFileAreIgnored) {
  const std::string data = kFullRecord + "trailing garbage\xFF\x00";
  EXPECT_EQ(Read(data), Read(kFullRecord));
  EXPECT_EQ(UpdateListRecordLength(data), kFullRecord.size());
}

TEST_F(UpdateListRecordTest, TheLongestTextsALengthCanAnnounce) {
  UpdateListRecord big;
  big.PackageLocation = std::string(0xFFFF, 'l');
  big.PackageFile = std::string(0xFFFF - 4, 'f') + ".exe";
  const std::string data = WriteUpdateListRecord(big, *sjis);
  EXPECT_EQ(data.size(), kUpdateListMaxBytes);
  EXPECT_EQ(Read(data), big);
  EXPECT_EQ(Read(data + "more"), big);
}

TEST_F(UpdateListRecordTest, InvalidShiftJisBytesReadAsReplacementCharacters) {
  std::string data(16, '\0');
  data += std::string("\x02\x00\x81\xFF", 4);  // 0x81 0xFF is no Shift-JIS character
  const UpdateListRecord record = Read(data);
  EXPECT_FALSE(record.PackageFile.empty());
  EXPECT_EQ(record.PackageFile.find('\x81'), std::string::npos);
}

TEST(UpdateListRecordWrite, WritesTheSameBytesTheReaderTakes) {
  const std::unique_ptr<AnsiCodec> sjis = MakeShiftJisCodec();
  UpdateListRecord record;
  record.DownloadMode = -2;
  record.ServerMajor = 8;
  record.ServerMinor = 1;
  record.ServerBuild = -3;
  record.PackageLocation = "http://h/";
  record.PackageFile = "更新.exe";
  EXPECT_EQ(WriteUpdateListRecord(record, *sjis), kFullRecord);
  EXPECT_EQ(WriteUpdateListRecord(UpdateListRecord{}, *sjis), std::string(18, '\0'));
}

TEST(UpdateListRecordWrite, RefusesTextsThatDoNotFitTheirLengthOrTheCodePage) {
  const std::unique_ptr<AnsiCodec> sjis = MakeShiftJisCodec();
  UpdateListRecord record;
  // 32768 two-byte characters: 65536 bytes in Shift-JIS, one too many.
  for (int i = 0; i < 0x8000; ++i) record.PackageLocation += "更";
  EXPECT_THROW(WriteUpdateListRecord(record, *sjis), AppError);
  record.PackageLocation = "http://h/";
  record.PackageFile = "😀.exe";  // no Shift-JIS form
  EXPECT_THROW(WriteUpdateListRecord(record, *sjis), AppError);
}

}  // namespace
}  // namespace hanamizu
