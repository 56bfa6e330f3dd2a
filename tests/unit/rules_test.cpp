// The plain routines and the update list with its block: one table each, each row named.

#include <gtest/gtest.h>

#include "common/path_routines.h"
#include "common/process_runner.h"
#include "common/text.h"
#include "fakes/fake_platform.h"
#include "launcher/launch_rules.h"
#include "launcher/splash.h"
#include "update/publisher_key.h"
#include "update/update_integrity.h"
#include "update/update_list.h"
#include "update/update_rules.h"

namespace hanamizu {
namespace {

using fakes::FakePlatform;
using Strings = std::vector<std::string>;

// What a call gives, or the error it throws as "number description".
template <class Call>
std::string Result(Call&& call) {
  try {
    return call();
  } catch (const AppError& error) {
    return std::to_string(error.number()) + " " + error.description();
  }
}

const std::string a32766(32766, 'a'), kOverflow = "6 オーバーフローしました。";

struct TextRule {
  const char* name;
  std::string text, result;
};
struct TokenRule {
  const char* name;
  std::string text, delimiter;
  int16_t field;
  std::string token;
};
struct SwitchRule {
  const char* name;
  std::string text;
  bool yes;
};

// clang-format off
const TextRule kPathNoEn[] = {
    {"blanks and one backslash go", "  C:\\Data\\  ", "C:\\Data"}, {"drive root", "C:\\", "C:"},
    {"only one backslash", "C:\\Data\\\\", "C:\\Data\\"}, {"blanks only", "   ", ""}, {"only blanks go", "\tD:\\台帳　", "\tD:\\台帳　"}};
// Positions are 16-bit: 32,767 is the last that can be found.
const TokenRule kGetToken[] = {
    {"second", "a,b", ",", 2, "b"}, {"empty field", "a,,b", ",", 2, ""},
    {"characters, not bytes", "𠮷田:水門:x", ":", 2, "水門"},
    {"last position", a32766 + ",b", ",", 1, a32766}, {"beyond it", a32766 + ",b", ",", 2, kOverflow},
    {"found beyond it", a32766 + "a", ",", 1, kOverflow}};
// Directory|file name|base name|extension.
const TextRule kSplitPath[] = {
    {"plain", "C:\\dir\\file.txt", "C:\\dir|file.txt|file|txt"}, {"three letters, lower", "C:\\dir\\Page.HTML", "C:\\dir|Page.HTML|Page|htm"},
    {"last backslash kept", "C:\\dir\\sub\\", "C:\\dir|sub\\|sub\\|"},
    {"full-width", "D:\\𠮷田\\台帳.ＥＸＥ", "D:\\𠮷田|台帳.ＥＸＥ|台帳|ｅｘｅ"}};
// " box": no program path, said in a box; the command line comes back unchanged.
const TextRule kGetShellPathName[] = {
    {"one word", "C:\\Tools\\Main.exe", "\"C:\\Tools\\Main.exe\""}, {"two blanks", "C:\\a.exe  x", "\"C:\\a.exe\"  x"},
    {"blanks up to .EXE", "C:\\Program Files\\Main.EXE /a", "\"C:\\Program Files\\Main.EXE\" /a"},
    {"quoted", "\"C:\\a.exe\" x", "\"C:\\a.exe\" x box"}, {"no .exe", "a b", "a b box"}};
const TextRule kSplitFileVersion[] = {
    {"four parts", "8.1.0.25", "8 1 25"}, {"three", "8.1.3", "8 1 0"}, {"none", "", "0 0 0"},
    {"blanks and signs", " 8 .+1.0.2147483647", "8 1 2147483647"}, {"negative", "-1.2.3.4", "-1 2 4"},
    {"not a number", "8.x.0.1", "13 型が一致しません。"}, {"beyond 32 bits", "8.1.0.2147483648", kOverflow}};
const SwitchRule kSwitch[] = {
    {"one", "1", true}, {"blanks", " 1 ", true}, {"rounds down", "1.4", true}, {"rounds up", "0.51", true},
    {"half to even", "1.5", false}, {"half to zero", "0.5", false}, {"empty", "", false},
    {"beyond 16 bits", "40000", false}, {"comma", "1,0", false}};
const SwitchRule kPackageFile[] = {
    {"plain", "setup.exe", true}, {"trailing blank", "setup.exe ", false},
    {"empty", "", false}, {"up a folder", "..\\..\\a.exe", false}, {"drive", "C:a.exe", false}, {"control", "a\x1F.exe", false},
    {"wildcard", "a*.exe", false}, {"device", "con .EXE", false}, {"device first", "Nul.setup.exe", false}, {"COM1", "COM1.exe", false},
    {"COM0 is no device", "COM0.exe", true}, {"CON inside a name", "console.exe", true}};
// The server's minor and build against the installed 1.25: the minor decides first.
const std::tuple<const char*, int32_t, int32_t, bool> kNewer[] = {
    {"minor", 2, 0, true}, {"build", 1, 26, true}, {"same", 1, 25, false}, {"older build", 1, 24, false},
    {"older minor, newer build", 0, 99, false}, {"signed", -1, 5, false}};
// The kept group against the release's share: "-" when it is drawn again.
const std::tuple<const char*, int, const char*> kRollout[] = {
    {"29", 30, "in"}, {"30", 30, "out"}, {"0", 0, "out"}, {"99", 100, "in"}, {"100", 100, "-"}, {"", 9, "-"}};
// clang-format on

std::string Joined(const SplitPathParts& p) {
  return p.directory + "|" + p.file_name + "|" + p.base_name + "|" + p.extension;
}
std::string VersionOf(const std::string& text) {
  const InstalledVersion v = SplitFileVersion(text);
  return std::to_string(v.major) + " " + std::to_string(v.minor) + " " + std::to_string(v.build);
}

TEST(Rules, PathRoutines) {
  FakePlatform fake;
  for (const auto& row : kPathNoEn) {
    SCOPED_TRACE(row.name);
    std::string dir_name = row.text;
    EXPECT_EQ(path_no_en(fake, dir_name), row.result);
    EXPECT_EQ(dir_name, row.result);
  }
  for (const auto& row : kGetToken) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(Result([&] { return Get_Token(row.text, row.delimiter, row.field); }), row.token);
  }
  for (const auto& row : kSplitPath) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(Joined(Split_Path(row.text)), row.result);
  }
  for (const auto& row : kGetShellPathName) {
    SCOPED_TRACE(row.name);
    fake.journal.clear();
    const std::string quoted = Get_Shell_PathName(fake, row.text);
    EXPECT_EQ(quoted + (fake.journal.empty() ? "" : " box"), row.result);
  }
}

TEST(Rules, LaunchAndUpdateRules) {
  for (const auto& row : kSplitFileVersion) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(Result([&] { return VersionOf(row.text); }), row.result);
  }
  for (const auto& row : kSwitch) EXPECT_EQ(AutoUpdateSwitchOn(row.text), row.yes) << row.name;
  for (const auto& row : kPackageFile)
    EXPECT_EQ(IsUsablePackageFile(row.text), row.yes) << row.name;
  for (const auto& [name, minor, build, newer] : kNewer)
    EXPECT_EQ(IsNewerVersion(minor, build, 1, 25), newer) << name;
  for (const auto& [kept, rollout, in] : kRollout) {
    const std::optional<int> group = ReadRolloutGroup(kept);
    EXPECT_EQ(group ? InRollout(*group, rollout) ? "in" : "out" : "-", std::string(in)) << kept;
  }
  EXPECT_EQ(DownloadModeResult(-1), 0);
  EXPECT_EQ(DownloadModeResult(-32768), -32767);
  EXPECT_EQ(Result([] { return std::to_string(DownloadModeResult(32767)); }), kOverflow);
}

TEST(Rules, Text) {
  // UTF-16 units, one or two a character, from UTF-8 and back.
  EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16("a\u00DF水𠮷\U0010FFFF")), "a\u00DF水𠮷\U0010FFFF");
  EXPECT_EQ(Utf8ToUtf16("\u00DF水𠮷").size(), 4u);
  // A shift-JIS stray or lone lead byte, a pair no table assigns and a byte outside the code
  // page: one U+FFFD each, the characters around them kept.
  EXPECT_EQ(MakeShiftJisCodec()->ToUtf8("\x80"
                                        "a\x81 b\x85\x40"
                                        "c\xA0\xFD\x8D\x58\xB1\x81\x7E\x81\x7F\x81"),
            "\uFFFDa\uFFFD b\uFFFDc\uFFFD\uFFFD更ｱ×\uFFFD\x7F\uFFFD");
}

// Mode -2, version 0x01020304.5.26, location "http://u/", file "a.exe".
const UpdateListRecord kRecord{-2, 0x01020304, 5, 26, "http://u/", "a.exe"};
const std::string kBytes("\xFE\xFF\x04\x03\x02\x01\x05\0\0\0\x1A\0\0\0\x09\0http://u/\x05\0a.exe",
                         32);

TEST(Rules, UpdateListRecord) {
  const auto codec = MakeShiftJisCodec();
  EXPECT_EQ(WriteUpdateListRecord(kRecord, *codec), kBytes);
  // Each cut keeps the whole fields before it and resets the rest.
  // clang-format off
  const std::tuple<const char*, size_t, UpdateListRecord> cuts[] = {
      {"empty", 0, {}}, {"major", 6, {-2, 0x01020304, 0, 0, "", ""}}, {"location", 25, {-2, 0x01020304, 5, 26, "http://u/", ""}},
      {"inside the file", 31, {-2, 0x01020304, 5, 26, "http://u/", ""}}, {"whole", 32, kRecord}};
  // clang-format on
  for (const auto& [name, size, record] : cuts) {
    SCOPED_TRACE(name);
    const std::string data = kBytes.substr(0, size);
    EXPECT_EQ(ReadUpdateListRecord(data, *codec), record);
    EXPECT_EQ(UpdateListRecordLength(data), size < 32 ? std::nullopt : std::optional<size_t>(32));
  }
  const UpdateListRecord longest{0, 8, 1, 26, "http://更新/", std::string(65531, 'x') + ".exe"};
  EXPECT_EQ(WriteUpdateListRecord(longest, *codec).substr(14, 16),
            std::string("\x0C\0http://\x8D\x58\x90\x56/\xFF\xFF", 16));
  EXPECT_THROW(WriteUpdateListRecord({0, 8, 1, 26, "", "x" + longest.PackageFile}, *codec),
               AppError);
  EXPECT_THROW(WriteUpdateListRecord({0, 8, 1, 26, "", "𠮷.exe"}, *codec), AppError);
}

TEST(Rules, PublisherKeysAndTheListsBlock) {
  using fakes::kTestPublicKey;
  const auto crypto = MakeSystemCrypto();
  const auto codec = MakeShiftJisCodec();
  const auto key = ReadPrivateKeyPem(fakes::kTestPrivateKey);
  const auto sec1 = ReadPrivateKeyPem(fakes::kTestSec1Key);
  ASSERT_TRUE(key && sec1);
  // Read and written as OpenSSL does; a key of another curve or another kind is none.
  EXPECT_EQ(PrivateKeyPem(*sec1), fakes::kTestPrivateKey);
  EXPECT_FALSE(ReadPublicKeyPem(fakes::kP384PublicKey) || ReadPublicKeyPem(fakes::kTestPrivateKey));
  const auto hash = crypto->StartSha256();
  hash->Add("12345");
  const int64_t expires = 1'800'000'000;
  const std::string record = WriteUpdateListRecord(kRecord, *codec);
  const std::string list =
      WriteSignedList(record, {"更新.dat", 7, expires, 5, hash->Finish()}, &*key, *crypto, *codec);
  const std::optional<IntegrityBlock> block = ReadIntegrityBlock(list + "after", *codec);
  ASSERT_TRUE(block);
  EXPECT_EQ(list.substr(record.size(), 14), std::string("HMZ2\x08\0\x8D\x58\x90\x56.dat", 14));
  EXPECT_EQ(block->product + " " + std::to_string(block->sequence) + " " +
                std::to_string(block->expires) + " " + std::to_string(block->package_size),
            "更新.dat 7 1800000000 5");
  EXPECT_EQ(block->package_sha256[0], 0x59);  // SHA-256("12345") begins 5994471a
  for (size_t cut = record.size(); cut < list.size(); ++cut)
    EXPECT_FALSE(ReadIntegrityBlock(list.substr(0, cut), *codec)) << cut;
  // The first block: the size, the hash and a signature alone.
  const std::string first =
      record + "HMZ1" + list.substr(list.size() - 104, 40) + std::string(64, '\0');
  EXPECT_EQ(ReadIntegrityBlock(first, *codec)->package_size, 5u);
  // What a launcher with the tests' key makes of a list, on the day it expires, a day after
  // (the clock's tolerance), and after that.
  // The same list as OpenSSL signed it once, as the publisher's tool does on Linux: read alike on
  // either side.
  const std::string by_openssl = list.substr(0, list.size() - 64) +
                                 "\x79\xF1\x7F\xA6\x2C\x9A\xA2\xA7\x76\xD4\xBA\x90\x88\x12\xED\x55"
                                 "\x7C\x2A\x07\x01\xB5\x01\x3B\x82\xF3\x18\xF9\xCF\x16\x1A\x5F\x47"
                                 "\x50\x88\x6C\xA2\x85\xFD\xF7\x29\x4F\xF3\x69\x2B\xAC\xA0\xCE\xAC"
                                 "\x5D\x6C\x2D\x83\x5E\x88\x3D\x7B\x0E\xB4\xB4\x9F\x54\x09\x6A\xC1";
  const std::string other = PublicKeyPem(crypto->MakeP256Key().public_key);
  const std::vector<std::string> keys = {kTestPublicKey};
  // Fields after the block, signed on their own: the rollout, one to skip, one to understand.
  const auto fielded = [&](const std::string& fields) {
    std::string bytes =
        list + "HMZF" + std::string{static_cast<char>(fields.size()), '\0'} + fields;
    const auto digest = crypto->StartSha256();
    digest->Add(bytes);
    const P256Signature signature = crypto->SignP256(*key, digest->Finish());
    return bytes.append(signature.begin(), signature.end());
  };
  const std::string rolled = WriteSignedList(
      record, {"更新.dat", 7, expires, 5, block->package_sha256, 30}, &*key, *crypto, *codec);
  const auto judge = [&](const std::string& bytes, const std::vector<std::string>& trusted,
                         const ListContext& context) {
    return JudgeList(bytes, ReadIntegrityBlock(bytes, *codec), trusted, context, *crypto);
  };
  // What decided, in the words of the log and of the publisher's tool.
  // clang-format off
  const std::tuple<std::string, std::vector<std::string>, ListContext, std::string> cases[] = {
      {list, {other, kTestPublicKey}, {"更新.dat", 7, expires}, "trusted: signed for 更新.dat, sequence 7 (highest accepted 7), expires 2027-01-15 08:00:00 UTC"},
      {by_openssl, keys, {"更新.dat", 7, expires}, "trusted: signed"},
      {first, {}, {}, "trusted: this launcher has no publisher keys"},
      {record, keys, {"更新.dat"}, "no block:"},
      {first, keys, {"更新.dat"}, "first block:"},
      {list, {other}, {"更新.dat"}, "no signature:"},
      {list, keys, {"di04.dat"}, "other list: signed for 更新.dat, not di04.dat"},
      {list, keys, {"更新.DAT", 6}, "trusted: signed for 更新.dat, sequence 7 (highest accepted 6)"},
      {list, keys, {"更新.dat", 8}, "older sequence: the list's sequence 7 is older than 8,"},
      {list, keys, {"更新.dat", 7, expires + 86400}, "trusted: signed"},
      {rolled, keys, {"更新.dat"}, "trusted: signed for 更新.dat, sequence 7 (highest accepted 0), expires 2027-01-15 08:00:00 UTC, rollout 30 %"},
      {fielded(std::string("\x07\0\x01\0x\x01\0\x01\0\x0A", 10)), keys, {"更新.dat"}, "trusted: signed for 更新.dat, sequence 7 (highest accepted 0), expires 2027-01-15 08:00:00 UTC, rollout 10 %"},
      {fielded(std::string("\x07\x80\x01\0x", 5)), keys, {"更新.dat"}, "unknown field:"},
      {list, keys, {"更新.dat", 7, expires + 86401}, "expired: the list expired on 2027-01-15 08:00:00 UTC; the PC's clock says 2027-01-16 08:00:01 UTC"}};
  // clang-format on
  for (const auto& [bytes, trusted, context, words] : cases) {
    const std::string said = JudgementWords(judge(bytes, trusted, context));
    EXPECT_TRUE(said.starts_with(words)) << said;
  }
  // Not after any one bit of the list changes, its fields included.
  for (size_t bit = 0; bit < rolled.size() * 8; ++bit) {
    std::string changed = rolled;
    changed[bit / 8] = static_cast<char>(changed[bit / 8] ^ (1 << bit % 8));
    EXPECT_NE(judge(changed, keys, {"更新.dat", 7, expires}).verdict, ListVerdict::kTrusted) << bit;
  }
}

}  // namespace
}  // namespace hanamizu
