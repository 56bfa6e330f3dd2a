#include "updatelist_cli.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "platform/shift_jis.h"
#include "update/update_list.h"

namespace hanamizu::tools {
namespace {

namespace fs = std::filesystem;

class UpdateListTool : public ::testing::Test {
 protected:
  UpdateListTool() {
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    dir_ = fs::temp_directory_path() / ("hanamizu-updatelist-" + name);
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  ~UpdateListTool() override { fs::remove_all(dir_); }

  std::string File(const std::string& name) const {
    const std::u8string path =
        (dir_ / fs::path(std::u8string(name.begin(), name.end()))).u8string();
    return std::string(path.begin(), path.end());
  }

  int Run(std::vector<std::string> args) {
    out.str("");
    err.str("");
    return RunUpdateList(args, out, err, *sjis);
  }

  std::string Bytes(const std::string& path) const {
    std::ifstream file(fs::path(std::u8string(path.begin(), path.end())), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
  }
  void Put(const std::string& path, const std::string& bytes) const {
    std::ofstream file(fs::path(std::u8string(path.begin(), path.end())), std::ios::binary);
    file << bytes;
  }
  bool Exists(const std::string& path) const {
    return fs::exists(fs::path(std::u8string(path.begin(), path.end())));
  }

  std::unique_ptr<AnsiCodec> sjis = MakeShiftJisCodec();
  std::ostringstream out;
  std::ostringstream err;

 private:
  fs::path dir_;
};

TEST_F(UpdateListTool, WriteThenShowAndTheLaunchersReaderReadTheSameJapaneseList) {
  const std::string list = File("リスト.dat");
  ASSERT_EQ(Run({"write", list, "--mode", "-2", "--version", "8.1.26", "--location",
                 "http://例え.test/更新/", "--package", "ハナミズ更新.EXE"}),
            kExitOk)
      << err.str();
  const std::string bytes = Bytes(list);
  // Shift-JIS on the disk: "ハナミズ更新.EXE" is 6 two-byte characters and 4 ASCII ones.
  EXPECT_EQ(bytes.substr(bytes.size() - 18, 2), std::string("\x10\x00", 2));
  EXPECT_EQ(bytes.substr(bytes.size() - 4), ".EXE");

  const UpdateListRecord record = ReadUpdateListRecord(bytes, *sjis);
  EXPECT_EQ(record, (UpdateListRecord{-2, 8, 1, 26, "http://例え.test/更新/", "ハナミズ更新.EXE"}));
  EXPECT_EQ(UpdateListRecordLength(bytes), bytes.size());

  ASSERT_EQ(Run({"show", list}), kExitOk) << err.str();
  const std::string shown = out.str();
  for (const std::string line :
       {"DownloadMode:    -2\n", "ServerMajor:     8\n", "ServerMinor:     1\n",
        "ServerBuild:     26\n", "PackageLocation: http://例え.test/更新/\n",
        "PackageFile:     ハナミズ更新.EXE\n", "version:         8.1.26\n"}) {
    EXPECT_NE(shown.find(line), std::string::npos) << line << " in\n" << shown;
  }
  EXPECT_EQ(shown.find("note:"), std::string::npos) << shown;
}

TEST_F(UpdateListTool, ModeDefaultsToZeroAndExtremesRoundTrip) {
  const std::string list = File("di04.dat");
  ASSERT_EQ(Run({"write", list, "--version", "-2147483648.2147483647.0", "--location", "https://h/",
                 "--package", "s.exe"}),
            kExitOk);
  EXPECT_EQ(ReadUpdateListRecord(Bytes(list), *sjis),
            (UpdateListRecord{0, INT32_MIN, INT32_MAX, 0, "https://h/", "s.exe"}));
  ASSERT_EQ(Run({"write", list, "--mode", "32767", "--version", "8.1.26", "--location", "http://h/",
                 "--package", "s.exe"}),
            kExitOk);
  EXPECT_EQ(ReadUpdateListRecord(Bytes(list), *sjis).DownloadMode, 32767);
}

TEST_F(UpdateListTool, BadArgumentsAreRefusedAndNothingIsWritten) {
  const std::string list = File("di04.dat");
  const std::vector<std::string> good = {"write",      list,        "--version", "8.1.26",
                                         "--location", "http://h/", "--package", "setup.exe"};
  const std::vector<std::pair<std::string, std::string>> bad = {
      {"--location", "http://h"},
      {"--location", "ftp://h/"},
      {"--location", "/local/"},
      {"--package", "setup.msi"},
      {"--package", "sub/setup.exe"},
      {"--package", "..\\setup.exe"},
      {"--package", ""},
      {"--version", "8.1"},
      {"--version", "8.1.26.0"},
      {"--version", "8.x.26"},
      {"--version", "8.1.2147483648"},
      {"--version", "8..26"},
      {"--package", "😀.exe"},
  };
  for (const auto& [option, value] : bad) {
    SCOPED_TRACE(option + " " + value);
    std::vector<std::string> args = good;
    for (size_t i = 2; i < args.size(); i += 2) {
      if (args[i] == option) args[i + 1] = value;
    }
    EXPECT_EQ(Run(args), kExitBadArguments);
    EXPECT_NE(err.str().find("usage:"), std::string::npos);
    EXPECT_FALSE(Exists(list));
  }
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{},
        {"write"},
        {"show"},
        {"show", list, "extra"},
        {"list", list},
        {"write", list, "--mode", "32768", "--version", "8.1.26", "--location", "http://h/",
         "--package", "s.exe"},
        {"write", list, "--mode"},
        {"write", list, "--version", "8.1.26", "--location", "http://h/"},
        {"write", list, "--version", "8.1.26", "--version", "8.1.27", "--location", "http://h/",
         "--package", "s.exe"},
        {"write", list, "--colour", "red"}}) {
    EXPECT_EQ(Run(args), kExitBadArguments) << args.size();
    EXPECT_FALSE(Exists(list));
  }
}

TEST_F(UpdateListTool, ATextTooLongForItsLengthIsRefused) {
  const std::string list = File("di04.dat");
  std::string location = "http://h/";
  location.insert(7, std::string(70000, 'a'));
  EXPECT_EQ(
      Run({"write", list, "--version", "8.1.26", "--location", location, "--package", "s.exe"}),
      kExitBadArguments);
  EXPECT_NE(err.str().find("65535"), std::string::npos) << err.str();
  EXPECT_FALSE(Exists(list));
}

TEST_F(UpdateListTool, ShowsShortAndDamagedListsAsTheLauncherReadsThem) {
  const std::string list = File("short.dat");
  Put(list, std::string("\x01\x00\x08\x00\x00\x00\x02", 7));
  ASSERT_EQ(Run({"show", list}), kExitOk);
  EXPECT_NE(out.str().find("(7 bytes)"), std::string::npos);
  EXPECT_NE(out.str().find("DownloadMode:    1\n"), std::string::npos);
  EXPECT_NE(out.str().find("ServerMajor:     8\n"), std::string::npos);
  EXPECT_NE(out.str().find("ServerMinor:     0\n"), std::string::npos);
  EXPECT_NE(out.str().find("PackageFile:     \n"), std::string::npos);
  EXPECT_NE(out.str().find("ends inside the record"), std::string::npos);
  EXPECT_NE(out.str().find("unusable"), std::string::npos);

  Put(list, "");
  ASSERT_EQ(Run({"show", list}), kExitOk);
  EXPECT_NE(out.str().find("version:         0.0.0\n"), std::string::npos);

  const std::string trailing = File("trailing.dat");
  ASSERT_EQ(Run({"write", trailing, "--version", "8.1.26", "--location", "http://h/", "--package",
                 "s.exe"}),
            kExitOk);
  Put(trailing, Bytes(trailing) + "<html>");
  ASSERT_EQ(Run({"show", trailing}), kExitOk);
  EXPECT_NE(out.str().find("6 bytes after PackageFile are ignored"), std::string::npos);
}

TEST_F(UpdateListTool, AFileThatCannotBeReadOrWrittenFails) {
  EXPECT_EQ(Run({"show", File("missing.dat")}), kExitFailed);
  EXPECT_NE(err.str().find("cannot read"), std::string::npos);
  EXPECT_EQ(Run({"write", File("no-dir/di04.dat"), "--version", "8.1.26", "--location", "http://h/",
                 "--package", "s.exe"}),
            kExitFailed);
  EXPECT_NE(err.str().find("cannot write"), std::string::npos);
}

}  // namespace
}  // namespace hanamizu::tools
