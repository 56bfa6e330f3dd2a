#include "updatelist_cli.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <optional>
#include <stdexcept>

#include "common/app_error.h"
#include "update/update_list.h"
#include "update/update_rules.h"

namespace hanamizu::tools {
namespace {

constexpr char kUsage[] =
    "usage: updatelist write <file> [--mode N] --version MAJOR.MINOR.BUILD --location URL/ "
    "--package NAME.exe\n"
    "       updatelist show <file>\n";

// A wrong argument: reported with the usage, and nothing is written.
struct BadArgument {
  std::string message;
};

std::filesystem::path PathOf(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

template <class T>
std::optional<T> ParseInteger(std::string_view text) {
  T value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

UpdateListRecord ParseWriteOptions(const std::vector<std::string>& args) {
  std::map<std::string, std::string> options;
  for (size_t i = 2; i < args.size(); i += 2) {
    const std::string& name = args[i];
    if (name != "--mode" && name != "--version" && name != "--location" && name != "--package") {
      throw BadArgument{"unknown option " + name};
    }
    if (i + 1 >= args.size()) throw BadArgument{name + " needs a value"};
    if (!options.emplace(name, args[i + 1]).second) throw BadArgument{name + " given twice"};
  }
  for (const char* required : {"--version", "--location", "--package"}) {
    if (!options.count(required)) throw BadArgument{std::string(required) + " is missing"};
  }

  UpdateListRecord record;
  if (options.count("--mode")) {
    const auto mode = ParseInteger<int16_t>(options["--mode"]);
    if (!mode) throw BadArgument{"--mode must be a whole number from -32768 to 32767"};
    record.DownloadMode = *mode;
  }

  const std::string& version = options["--version"];
  const size_t dot1 = version.find('.');
  const size_t dot2 = dot1 == std::string::npos ? dot1 : version.find('.', dot1 + 1);
  const auto major = ParseInteger<int32_t>(std::string_view(version).substr(0, dot1));
  const auto minor =
      dot2 == std::string::npos
          ? std::nullopt
          : ParseInteger<int32_t>(std::string_view(version).substr(dot1 + 1, dot2 - dot1 - 1));
  const auto build = dot2 == std::string::npos
                         ? std::nullopt
                         : ParseInteger<int32_t>(std::string_view(version).substr(dot2 + 1));
  if (!major || !minor || !build) {
    throw BadArgument{"--version must be three whole numbers, e.g. 8.1.26: " + version};
  }
  record.ServerMajor = *major;
  record.ServerMinor = *minor;
  record.ServerBuild = *build;

  record.PackageLocation = options["--location"];
  const std::string& location = record.PackageLocation;
  if (location.rfind("http://", 0) != 0 && location.rfind("https://", 0) != 0) {
    throw BadArgument{"--location must be an http:// or https:// address: " + location};
  }
  if (location.back() != '/') throw BadArgument{"--location must end with /: " + location};

  record.PackageFile = options["--package"];
  if (!IsUsablePackageFile(record.PackageFile)) {
    throw BadArgument{"--package must be a plain file name ending in .exe: " + record.PackageFile};
  }
  return record;
}

int Write(const std::vector<std::string>& args, std::ostream& out, const AnsiCodec& shift_jis) {
  const UpdateListRecord record = ParseWriteOptions(args);
  std::string bytes;
  try {
    bytes = WriteUpdateListRecord(record, shift_jis);
  } catch (const AppError& error) {
    throw BadArgument{error.description()};
  }
  // Written aside and renamed, so that a launcher fetching the list meanwhile never reads half of
  // it.
  const std::filesystem::path target = PathOf(args[1]), written = PathOf(args[1] + ".tmp");
  std::ofstream file(written, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  file.close();
  std::error_code failed;
  if (file) std::filesystem::rename(written, target, failed);
  if (!file || failed) {
    std::filesystem::remove(written, failed);
    throw std::runtime_error("cannot write " + args[1]);
  }
  out << "wrote " << args[1] << " (" << bytes.size() << " bytes)\n";
  return kExitOk;
}

int Show(const std::string& path, std::ostream& out, const AnsiCodec& shift_jis) {
  std::ifstream file(PathOf(path), std::ios::binary);
  if (!file) throw std::runtime_error("cannot read " + path);
  std::string bytes;
  char buffer[65536];
  // What the launcher reads; the rest of a larger file only counts.
  size_t size = 0;
  while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
    const size_t got = static_cast<size_t>(file.gcount());
    size += got;
    if (bytes.size() < kUpdateListMaxBytes) {
      bytes.append(buffer, std::min(got, kUpdateListMaxBytes - bytes.size()));
    }
  }
  if (file.bad()) throw std::runtime_error("cannot read " + path);

  const UpdateListRecord record = ReadUpdateListRecord(bytes, shift_jis);
  out << "file:            " << path << " (" << size << " bytes)\n"
      << "DownloadMode:    " << record.DownloadMode << "\n"
      << "ServerMajor:     " << record.ServerMajor << "\n"
      << "ServerMinor:     " << record.ServerMinor << "\n"
      << "ServerBuild:     " << record.ServerBuild << "\n"
      << "PackageLocation: " << record.PackageLocation << "\n"
      << "PackageFile:     " << record.PackageFile << "\n"
      << "version:         "
      << VersionText(record.ServerMajor, record.ServerMinor, record.ServerBuild) << "\n";
  const std::optional<size_t> length = UpdateListRecordLength(bytes);
  if (!length) {
    out << "note: the file ends inside the record; the fields it cuts off read as 0 or empty\n";
  } else if (*length < size) {
    out << "note: " << size - *length << " bytes after PackageFile are ignored\n";
  }
  if (!IsUsablePackageFile(record.PackageFile)) {
    out << "note: the launcher finds this list unusable (PackageFile is no plain name "
           "ending in .exe)\n";
  }
  return kExitOk;
}

}  // namespace

int RunUpdateList(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                  const AnsiCodec& shift_jis) {
  try {
    if (args.size() >= 2 && args[0] == "write") return Write(args, out, shift_jis);
    if (args.size() == 2 && args[0] == "show") return Show(args[1], out, shift_jis);
    throw BadArgument{args.empty() ? "no command" : "wrong command or arguments"};
  } catch (const BadArgument& bad) {
    err << "updatelist: " << bad.message << "\n" << kUsage;
    return kExitBadArguments;
  } catch (const std::exception& failure) {
    err << "updatelist: " << failure.what() << "\n";
    return kExitFailed;
  }
}

}  // namespace hanamizu::tools
