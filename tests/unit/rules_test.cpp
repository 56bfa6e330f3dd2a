// The plain routines and the update list record: one table each, then what runs them.

#include <gtest/gtest.h>

#include "common/path_routines.h"
#include "common/process_runner.h"
#include "common/text.h"
#include "fakes/fake_platform.h"
#include "launcher/launch_rules.h"
#include "launcher/splash.h"
#include "update/background_sha256.h"
#include "update/publisher_key.h"
#include "update/update_integrity.h"
#include "update/update_list.h"
#include "update/update_rules.h"

namespace hanamizu {
namespace {

using fakes::FakePlatform;
using Strings = std::vector<std::string>;
const std::string a32766(32766, 'a'), kOverflow = "6 オーバーフローしました。";
const UpdateListRecord kRecord{-2, 0x01020304, 5, 26, "http://u/", "a.exe"};

// clang-format off
const Strings kPathNoEn[] = {{"  C:\\Data\\  ", "C:\\Data"}, {"C:\\", "C:"}, {"C:\\Data\\\\", "C:\\Data\\"}, {"", ""}, {"   ", ""}, {"D:\\台帳　", "D:\\台帳　"}};
// Text, delimiter, field, token. Positions are 16-bit: 32,767 is the last that can be found.
const std::tuple<std::string, std::string, int16_t, std::string> kGetToken[] = {
    {"a,b", ",", 1, "a"}, {"a,b", ",", 2, "b"}, {"a,b", ",", 3, ""}, {"a,,b", ",", 2, ""}, {"a,,b", ",", 3, "b"}, {"", ",", 1, ""},
    {"C:", ":", 1, "C"}, {"Tools", ":", 1, "Tools"}, {"aXb", "x", 1, "aXb"}, {"𠮷田:水門:x", ":", 2, "水門"}, {"a,b", ",", 0, ""},
    {"a,b", "", 1, "a,b"}, {a32766 + ",b", ",", 1, a32766}, {a32766 + ",b", ",", 2, kOverflow}, {a32766 + "a", ",", 1, kOverflow}};
const Strings kSplitPath[] = {
    {"C:\\dir\\file.txt", "C:\\dir", "file.txt", "file", "txt"}, {"C:\\dir\\archive.tar.gz", "C:\\dir", "archive.tar.gz", "archive", "tar"},
    {"C:\\dir\\Page.HTML", "C:\\dir", "Page.HTML", "Page", "htm"}, {"C:\\file.txt", "C:", "file.txt", "file", "txt"},
    {"C:\\dir\\sub\\", "C:\\dir", "sub\\", "sub\\", ""}, {"C:\\Tools\\Launcher", "C:\\Tools", "Launcher", "Launcher", ""},
    {"D:\\𠮷田\\台帳.ＥＸＥ", "D:\\𠮷田", "台帳.ＥＸＥ", "台帳", "ｅｘｅ"}, {"file.c", "", "file.c", "file", "c"}};
// A third column: no program path, said in a box; the command line comes back unchanged.
const Strings kGetShellPathName[] = {
    {"C:\\Tools\\Main.exe", "\"C:\\Tools\\Main.exe\""}, {"C:\\Program Files\\Main.EXE /a", "\"C:\\Program Files\\Main.EXE\" /a"},
    {"a.exe b.exe", "\"a.exe\" b.exe"}, {" C:\\a.exe x", "\" C:\\a.exe\" x"}, {"C:\\a.exe  x", "\"C:\\a.exe\"  x"}, {"noexe", "\"noexe\""},
    {"D:\\台帳 ツール\\本体.exe 水門", "\"D:\\台帳 ツール\\本体.exe\" 水門"},
    {"\"C:\\a.exe\" x", "\"C:\\a.exe\" x", "box"}, {"", "", "box"}, {"a b", "a b", "box"}, {"exe x", "exe x", "box"}};
const Strings kSplitFileVersion[] = {
    {"8.1.0.25", "8 1 25"}, {"8.1.3", "8 1 0"}, {"8.1", "8 0 0"}, {"", "0 0 0"}, {"8", "0 0 0"}, {" 8 .+1.0.2147483647", "8 1 2147483647"},
    {"-1.2.3.4", "-1 2 4"}, {"8.x.0.1", "13 型が一致しません。"}, {"8.1.0.2147483648", kOverflow}};
const std::pair<const char*, bool> kSwitch[] = {
    {"1", true}, {" 1 ", true}, {"\t1", true}, {"1.4", true}, {"0.51", true}, {"+1", true}, {"1e0", true}, {"1.25e0", true}, {"1.5", false},
    {"0.5", false}, {"2.5", false}, {"0", false}, {"2", false}, {"-1", false}, {"on", false}, {"", false}, {" ", false}, {"1x", false},
    {"0x1", false}, {"40000", false}, {"65537", false}, {"nan", false}, {"inf", false}, {"1,0", false}};
// The server's minor and build against the installed ones: the minor decides first.
const std::pair<std::vector<int32_t>, bool> kNewer[] = {
    {{2, 0, 1, 25}, true}, {{1, 26, 1, 25}, true}, {{-1, 5, -2, 9}, true}, {{1, 25, 1, 25}, false}, {{1, 24, 1, 25}, false}, {{0, 99, 1, 25}, false}};
const std::pair<const char*, bool> kPackageFile[] = {
    {"setup.exe", true}, {"SETUP.EXE", true}, {"更新.Exe", true}, {".exe", true}, {"a b.exe", true}, {"setup.exe ", false}, {"setup.msi", false},
    {"", false}, {"exe", false}, {"..\\..\\a.exe", false}, {"sub/a.exe", false}, {"C:a.exe", false}, {"a\r.exe", false}, {"a\x7F.exe", false}, {"a\x1F.exe", false},
    {"setup?.exe", false}, {"a|b.exe", false}, {"a*.exe", false}, {"CON.exe", false}, {"con .EXE", false}, {"Nul.setup.exe", false}, {"COM1.exe", false},
    {"lpt9.exe", false}, {"COM0.exe", true}, {"COM10.exe", true}, {"console.exe", true}};
// Mode -2, version 0x01020304.5.26, location "http://u/", file "a.exe"; each cut keeps the whole
// fields before it and resets the rest.
const std::string kBytes("\xFE\xFF\x04\x03\x02\x01\x05\0\0\0\x1A\0\0\0\x09\0http://u/\x05\0a.exe", 32);
const std::pair<size_t, UpdateListRecord> kCuts[] = {{0, {0, 0, 0, 0, "", ""}}, {1, {0, 0, 0, 0, "", ""}}, {2, {-2, 0, 0, 0, "", ""}},
    {5, {-2, 0, 0, 0, "", ""}}, {6, {-2, 0x01020304, 0, 0, "", ""}}, {13, {-2, 0x01020304, 5, 0, "", ""}}, {14, {-2, 0x01020304, 5, 26, "", ""}},
    {15, {-2, 0x01020304, 5, 26, "", ""}}, {24, {-2, 0x01020304, 5, 26, "", ""}}, {25, {-2, 0x01020304, 5, 26, "http://u/", ""}},
    {31, {-2, 0x01020304, 5, 26, "http://u/", ""}}, {32, kRecord}, {40, kRecord}};
const std::pair<int16_t, int16_t> kModes[] = {{-1, 0}, {32766, 32767}, {-32768, -32767}};  // the update check's result
std::string VersionOf(const std::string& text) {
  const InstalledVersion v = SplitFileVersion(text);
  return std::to_string(v.major) + " " + std::to_string(v.minor) + " " + std::to_string(v.build);
}
// clang-format on

// What a call gives, or the error it throws as "number description".
template <class Call>
std::string Result(Call&& call) {
  try {
    return call();
  } catch (const AppError& error) {
    return std::to_string(error.number()) + " " + error.description();
  }
}

TEST(Rules, PathRoutines) {
  for (auto c : kPathNoEn) {
    FakePlatform fake;
    const std::string tidied = path_no_en(fake, c[0]);
    EXPECT_EQ(tidied + "|" + c[0], c[1] + "|" + c[1]);  // dir_name holds the result too
  }
  for (const auto& [text, delimiter, field, token] : kGetToken) {
    const auto call = [&t = text, &d = delimiter, f = field] { return Get_Token(t, d, f); };
    EXPECT_EQ(Result(call), token) << text.size();
  }
  for (const auto& c : kSplitPath) {
    const SplitPathParts p = Split_Path(c[0]);
    EXPECT_EQ((Strings{c[0], p.directory, p.file_name, p.base_name, p.extension}), c);
  }
  for (const auto& c : kGetShellPathName) {
    FakePlatform fake;
    const std::string quoted = Get_Shell_PathName(fake, c[0]);
    EXPECT_EQ(quoted + (fake.journal.empty() ? "" : " box"), c[1] + (c.size() < 3 ? "" : " box"));
  }
}

TEST(Rules, LaunchAndUpdateRules) {
  for (const auto& c : kSplitFileVersion)
    EXPECT_EQ(Result([&] { return VersionOf(c[0]); }), c[1]) << c[0];
  for (const auto& [text, on] : kSwitch) EXPECT_EQ(AutoUpdateSwitchOn(text), on) << text;
  for (const auto& [v, newer] : kNewer)
    EXPECT_EQ(IsNewerVersion(v[0], v[1], v[2], v[3]), newer) << v[0] << v[1];
  for (const auto& [name, usable] : kPackageFile)
    EXPECT_EQ(IsUsablePackageFile(name), usable) << name;
  EXPECT_EQ(VersionText(-8, 0, -2147483647 - 1), "-8.0.-2147483648");
  for (const auto& [mode, result] : kModes) EXPECT_EQ(DownloadModeResult(mode), result);
}

TEST(Rules, Text) {
  // UTF-16 units from UTF-8 and back; a malformed sequence reads as U+FFFD.
  EXPECT_EQ(Utf8ToUtf16("a\u00DF\u0800水𠮷\U0010FFFF|\xC0\x80|\xED\xA0\x80|\xF4\x90\x80\x80|"
                        "\xE3\x81\x41|\xFF|\xE0\x9F\xBF|\xF0\x8F\xBF\xBF"),
            u"a\u00DF\u0800水𠮷\U0010FFFF|\uFFFD|\uFFFD|\uFFFD|\uFFFDA|\uFFFD|\uFFFD|\uFFFD");
  EXPECT_EQ(Utf16ToUtf8(u"a\u00DF\u0800水𠮷\U0010FFFF" + std::u16string(1, u'\xD800') + u"a\xDC00"),
            "a\u00DF\u0800水𠮷\U0010FFFF\uFFFDa\uFFFD");
  EXPECT_EQ(TrimBlanks("  a b  ") + TrimBlanks("\ta\u3000"), "a b\ta\u3000");
  EXPECT_EQ(ToLowerLatin(u"AZaz@[ＡＺ＠［ß"), u"azaz@[ａｚ＠［ß");
  FakePlatform fake;  // a screen smaller than the window: negative, not clamped; left first
  fake.splash_size = {20001, 16000};
  Center_Form(*fake.CreateSplashWindow(), fake.screen);
  EXPECT_EQ(fake.journal, (Strings{"splash left=-400.5", "splash top=-320"}));
}

TEST(Rules, UpdateListRecord) {
  const auto codec = MakeShiftJisCodec();
  // A stray or lone lead byte, a pair no table assigns and a byte outside the code page: one
  // U+FFFD each, the characters around them kept.
  EXPECT_EQ(codec->ToUtf8("\x80"
                          "a\x81 b\x85\x40"
                          "c\xA0\xFD\x8D\x58\xB1\x81\x7E\x81\x7F\x81"),
            "\uFFFDa\uFFFD b\uFFFDc\uFFFD\uFFFD更ｱ×\uFFFD\x7F\uFFFD");
  EXPECT_EQ(WriteUpdateListRecord(kRecord, *codec), kBytes);
  for (const auto& [size, record] : kCuts) {
    const std::string data = (kBytes + "trailing").substr(0, size);
    EXPECT_EQ(ReadUpdateListRecord(data, *codec), record) << size;
    EXPECT_EQ(UpdateListRecordLength(data), size < 32 ? std::nullopt : std::optional<size_t>(32))
        << size;
  }
  const UpdateListRecord longest{0, 8, 1, 26, "http://更新/", std::string(65531, 'x') + ".exe"};
  EXPECT_EQ(WriteUpdateListRecord(longest, *codec).substr(14, 16),
            std::string("\x0C\0http://\x8D\x58\x90\x56/\xFF\xFF", 16));
  EXPECT_THROW(WriteUpdateListRecord({0, 8, 1, 26, "", "x" + longest.PackageFile}, *codec),
               AppError);
  EXPECT_THROW(WriteUpdateListRecord({0, 8, 1, 26, "", "𠮷.exe"}, *codec), AppError);
}

// clang-format off
TEST(Rules, PublisherKeysAndTheListsBlock) {
  using fakes::kTestPublicKey;
  const auto crypto = MakeSystemCrypto();
  const auto key = ReadPrivateKeyPem(fakes::kTestPrivateKey), sec1 = ReadPrivateKeyPem(fakes::kTestSec1Key);
  ASSERT_TRUE(key && sec1);
  // Read and written as OpenSSL does; a key of another curve, another kind or damaged is none.
  EXPECT_EQ(PrivateKeyPem(*sec1) + PublicKeyPem(key->public_key), fakes::kTestPrivateKey + kTestPublicKey);
  const std::string p384 = "-----BEGIN PUBLIC KEY-----\nMHYwEAYHKoZIzj0CAQYFK4EEACIDYgAE1sGEZOeombRvNAI81PCIAs/1h6BvuYYk\n"
                           "+bbgmoT2WuOlpRfMxb3CGUGRdZ+T7V7QHgHy6ORGNQFdhhKy5+LOCb7gT63JHhFk\n1oPjvUxnvqjPvrFesm9h7XwAXsMSyPv9\n-----END PUBLIC KEY-----\n";
  for (const std::string& other : {p384, kTestPublicKey.substr(0, 60), fakes::kTestPrivateKey, std::string("MFkw")})
    EXPECT_FALSE(ReadPublicKeyPem(other)) << other;
  EXPECT_FALSE(ReadPrivateKeyPem(kTestPublicKey));
  // A list with its block: trusted as signed, with another key beside, or with no key required;
  // not after any one bit of the signed bytes changes, nor cut, nor for another key alone.
  const auto hash = crypto->StartSha256();
  hash->Add("12345");
  const std::string record = WriteUpdateListRecord(kRecord, *MakeShiftJisCodec());
  const std::string list = WriteSignedList(record, 5, hash->Finish(), &*key, *crypto) + "after";
  const std::string other = PublicKeyPem(crypto->MakeP256Key().public_key);
  const std::optional<IntegrityBlock> block = ReadIntegrityBlock(list);
  ASSERT_TRUE(block);
  EXPECT_EQ(block->package_size, 5u);
  EXPECT_EQ(block->package_sha256[0], 0x59);  // SHA-256("12345") begins 5994471a
  EXPECT_TRUE(IsTrustedList(list, {kTestPublicKey}, *crypto) && IsTrustedList(list, {other, kTestPublicKey}, *crypto) &&
              IsTrustedList(record, {}, *crypto));
  EXPECT_FALSE(IsTrustedList(list, {other}, *crypto) || IsTrustedList(record, {kTestPublicKey}, *crypto));
  for (size_t bit = 0; bit < (record.size() + kIntegrityBlockBytes) * 8; ++bit) {
    std::string changed = list;
    changed[bit / 8] = static_cast<char>(changed[bit / 8] ^ (1 << bit % 8));
    EXPECT_FALSE(IsTrustedList(changed, {kTestPublicKey}, *crypto)) << bit;
  }
  EXPECT_FALSE(IsTrustedList(list.substr(0, record.size() + kIntegrityBlockBytes - 1), {kTestPublicKey}, *crypto));
  EXPECT_EQ(ReadIntegrityBlock(record + "HMZ2" + list.substr(record.size() + 4)), std::nullopt);
  // Hashed beside the caller, more than waits at once: the same digest; a failure comes back.
  BackgroundSha256 beside(crypto->StartSha256());
  const auto direct = crypto->StartSha256();
  for (int i = 0; i < 300; ++i) beside.Add(std::string(65536, static_cast<char>(i))), direct->Add(std::string(65536, static_cast<char>(i)));
  EXPECT_EQ(beside.Finish(), direct->Finish());
  struct Failing : Sha256 {
    void Add(std::string_view) override { throw AppError(5, "拒否"); }
    Sha256Digest Finish() override { return {}; }
  };
  BackgroundSha256 failing(std::make_unique<Failing>());
  for (int i = 0; i < 300; ++i) failing.Add(std::string(65536, 'x'));
  EXPECT_THROW(failing.Finish(), AppError);
}
// clang-format on

}  // namespace
}  // namespace hanamizu
