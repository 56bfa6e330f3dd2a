#include "updatelist_cli.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <optional>
#include <stdexcept>
#include <tuple>

#include "common/app_error.h"
#include "launcher/product_launch.h"
#include "update/publisher_key.h"
#include "update/update_integrity.h"
#include "update/update_list.h"
#include "update/update_rules.h"
#include "whole_file.h"

namespace hanamizu::tools {
namespace {

constexpr char kUsage[] =
    "usage: updatelist write <file> [--mode N] --version MAJOR.MINOR.BUILD --location URL/ "
    "--package NAME.exe [--package-file PATH [--sign PRIVATE.pem] [--sequence N] "
    "[--expires 30d|YYYY-MM-DD] [--product NAME] [--rollout PERCENT]]\n"
    "       updatelist show <file> [--key PUBLIC.pem]\n"
    "       updatelist verify <file> <package> --key PUBLIC.pem [--previous EARLIER.dat] "
    "[--product NAME]\n"
    "       updatelist keygen <private.pem> <public.pem>\n";

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

// The options after the first `from` arguments, each known and given once with its value.
std::map<std::string, std::string> ParseOptions(const std::vector<std::string>& args, size_t from,
                                                std::initializer_list<std::string_view> known) {
  std::map<std::string, std::string> options;
  for (size_t i = from; i < args.size(); i += 2) {
    const std::string& name = args[i];
    if (std::find(known.begin(), known.end(), name) == known.end())
      throw BadArgument{"unknown option " + name};
    if (i + 1 >= args.size()) throw BadArgument{name + " needs a value"};
    if (!options.emplace(name, args[i + 1]).second) throw BadArgument{name + " given twice"};
  }
  return options;
}

std::string ReadWhole(const std::string& path, size_t most) {
  std::ifstream file(PathOf(path), std::ios::binary);
  std::string bytes(std::min<size_t>(most, 1 << 20), '\0');
  file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!file && !file.eof()) throw std::runtime_error("cannot read " + path);
  bytes.resize(static_cast<size_t>(file.gcount()));
  return bytes;
}

P256PrivateKey ReadPrivateKey(const std::string& path) {
  const std::optional<P256PrivateKey> key = ReadPrivateKeyPem(ReadWhole(path, 65536));
  if (!key) throw BadArgument{path + " is not a P-256 private key (PEM, with its public half)"};
  return *key;
}

P256PublicKey ReadPublicKey(const std::string& path) {
  const std::optional<P256PublicKey> key = ReadPublicKeyPem(ReadWhole(path, 65536));
  if (!key) throw BadArgument{path + " is not a P-256 public key (PEM)"};
  return *key;
}

// A package's size and SHA-256, read in pieces.
std::pair<uint64_t, Sha256Digest> Measure(const std::string& path, Crypto& crypto) {
  std::ifstream file(PathOf(path), std::ios::binary);
  if (!file) throw BadArgument{"cannot read the package " + path};
  const std::unique_ptr<Sha256> hash = crypto.StartSha256();
  std::vector<char> buffer(1 << 20);
  uint64_t size = 0;
  while (file.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || file.gcount()) {
    hash->Add(std::string_view(buffer.data(), static_cast<size_t>(file.gcount())));
    size += static_cast<uint64_t>(file.gcount());
  }
  if (file.bad()) throw BadArgument{"cannot read the package " + path};
  return {size, hash->Finish()};
}

UpdateListRecord ParseWriteOptions(std::map<std::string, std::string>& options) {
  for (const char* required : {"--version", "--location", "--package"}) {
    if (!options.count(required)) throw BadArgument{std::string(required) + " is missing"};
  }
  if (options.count("--sign") && !options.count("--package-file"))
    throw BadArgument{"--sign needs --package-file"};

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

int64_t Now() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// "30d": that many days from now; "2027-01-31": the start of that day, UTC.
int64_t ParseExpiry(const std::string& text) {
  if (text.size() > 1 && text.back() == 'd') {
    if (const auto days = ParseInteger<int32_t>(std::string_view(text).substr(0, text.size() - 1)))
      return Now() + int64_t{*days} * 86400;
  }
  const auto year = ParseInteger<int32_t>(std::string_view(text).substr(0, 4));
  const auto month = ParseInteger<uint32_t>(std::string_view(text).substr(5, 2));
  const auto day = ParseInteger<uint32_t>(std::string_view(text).substr(8));
  const std::chrono::year_month_day date{std::chrono::year(year.value_or(0)),
                                         std::chrono::month(month.value_or(0)),
                                         std::chrono::day(day.value_or(0))};
  if (text.size() != 10 || text[4] != '-' || text[7] != '-' || !year || !date.ok())
    throw BadArgument{"--expires must be days from now (30d) or a date (2027-01-31): " + text};
  return std::chrono::sys_days(date).time_since_epoch() / std::chrono::seconds(1);
}

// The list's file name alone, which the launcher fetches it as.
std::string FileName(const std::string& path) {
  return path.substr(path.find_last_of("/\\") + 1);
}

int Write(const std::vector<std::string>& args, std::ostream& out, const AnsiCodec& shift_jis,
          SigningCrypto& crypto) {
  auto options = ParseOptions(args, 2,
                              {"--mode", "--version", "--location", "--package", "--package-file",
                               "--sign", "--sequence", "--expires", "--product", "--rollout"});
  const UpdateListRecord record = ParseWriteOptions(options);
  for (const char* needs_block : {"--sequence", "--expires", "--product", "--rollout"}) {
    if (options.count(needs_block) && !options.count("--package-file"))
      throw BadArgument{std::string(needs_block) + " needs --package-file"};
  }
  std::string bytes;
  try {
    bytes = WriteUpdateListRecord(record, shift_jis);
  } catch (const AppError& error) {
    throw BadArgument{error.description()};
  }
  if (options.count("--package-file")) {
    ReleaseFields release;
    release.product = options.count("--product") ? options["--product"] : FileName(args[1]);
    // One more than the list this one replaces, unless given.
    if (options.count("--sequence")) {
      const auto sequence = ParseInteger<uint64_t>(options["--sequence"]);
      if (!sequence) throw BadArgument{"--sequence must be a whole number from 0"};
      release.sequence = *sequence;
    } else if (std::filesystem::exists(PathOf(args[1]))) {
      const auto earlier = ReadIntegrityBlock(ReadWhole(args[1], kListMostBytes), shift_jis);
      release.sequence = earlier ? earlier->sequence + 1 : 1;
    } else {
      release.sequence = 1;
    }
    if (options.count("--expires")) release.expires = ParseExpiry(options["--expires"]);
    if (options.count("--rollout")) {
      const auto rollout = ParseInteger<int>(options["--rollout"]);
      if (!rollout || *rollout < 0 || *rollout > 100)
        throw BadArgument{"--rollout must be a percentage, 0 to 100"};
      release.rollout = *rollout;
    }
    const std::optional<P256PrivateKey> key =
        options.count("--sign") ? std::optional(ReadPrivateKey(options["--sign"])) : std::nullopt;
    std::tie(release.package_size, release.package_sha256) =
        Measure(options["--package-file"], crypto);
    try {
      bytes = WriteSignedList(bytes, release, key ? &*key : nullptr, crypto, shift_jis);
    } catch (const AppError& error) {
      throw BadArgument{error.description()};
    }
  }
  WriteWholeFile(args[1], bytes, FileKind::kList);
  out << "wrote " << args[1] << " (" << bytes.size() << " bytes)\n";
  return kExitOk;
}

int Keygen(const std::vector<std::string>& args, std::ostream& out, SigningCrypto& crypto) {
  for (const std::string& path : {args[1], args[2]}) {
    if (std::filesystem::exists(PathOf(path)))
      throw BadArgument{path + " exists: a key is never overwritten"};
  }
  const P256PrivateKey key = crypto.MakeP256Key();
  // The public half first: without the private key it is of no use and, unlike that key (which
  // only its owner may touch), is always removed again.
  WriteWholeFile(args[2], PublicKeyPem(key.public_key), FileKind::kPublicKey);
  try {
    WriteWholeFile(args[1], PrivateKeyPem(key), FileKind::kPrivateKey);
  } catch (...) {
    std::error_code ignored;
    std::filesystem::remove(PathOf(args[2]), ignored);
    throw;
  }
  out << "wrote " << args[1] << " (keep it secret) and " << args[2] << " (build it in)\n";
  return kExitOk;
}

// The list's block against a key and what a launcher with that key checks (the name it fetches
// the list as, a list it accepted before, the time now), and with a package, the package against
// the block; the first thing that does not match, or nothing.
std::optional<std::string> Mismatch(const std::string& product, const std::string& list,
                                    const std::string& key_path, const std::string* previous,
                                    const std::string* package, const AnsiCodec& ansi,
                                    Crypto& crypto) {
  const std::optional<IntegrityBlock> block = ReadIntegrityBlock(list, ansi);
  std::optional<IntegrityBlock> before;
  if (previous) before = ReadIntegrityBlock(ReadWhole(*previous, kListMostBytes), ansi);
  const ListContext context{product, before ? before->sequence : 0, Now()};
  const ListJudgement judgement =
      JudgeList(list, block, {PublicKeyPem(ReadPublicKey(key_path))}, context, crypto);
  if (judgement.verdict != ListVerdict::kTrusted) return JudgementWords(judgement);
  if (!package) return std::nullopt;
  const auto [size, hash] = Measure(*package, crypto);
  if (size != block->package_size)
    return "the package is " + std::to_string(size) + " bytes, the list says " +
           std::to_string(block->package_size);
  if (hash != block->package_sha256)
    return "the package's SHA-256 is " + DigestHex(hash) + ", the list says " +
           DigestHex(block->package_sha256);
  return std::nullopt;
}

// A release at the address of one with other bytes: a cache that keeps the old bytes under it
// costs every PC behind it a second download, from the origin.
std::optional<std::string> ReusedAddress(const std::string& list, const std::string& previous,
                                         const AnsiCodec& ansi) {
  const UpdateListRecord now = ReadUpdateListRecord(list, ansi);
  const UpdateListRecord before = ReadUpdateListRecord(previous, ansi);
  const std::optional<IntegrityBlock> block = ReadIntegrityBlock(list, ansi);
  const std::optional<IntegrityBlock> earlier = ReadIntegrityBlock(previous, ansi);
  const std::string address = now.PackageLocation + now.PackageFile;
  if (address != before.PackageLocation + before.PackageFile || !block || !earlier ||
      (block->package_size == earlier->package_size &&
       block->package_sha256 == earlier->package_sha256)) {
    return std::nullopt;
  }
  return "warning: the package's address " + address +
         " served other bytes before: caches that keep them cost each PC a second download; "
         "give each release an address of its own\n";
}

int Verify(const std::vector<std::string>& args, std::ostream& out, const AnsiCodec& shift_jis,
           Crypto& crypto) {
  auto options = ParseOptions(args, 3, {"--key", "--previous", "--product"});
  if (!options.count("--key")) throw BadArgument{"--key is missing"};
  // The name the list is served under, which the launcher checks; the local file's name is no
  // part of it.
  const std::string product = options.count("--product") ? options["--product"] : kUpdateListName;
  const std::optional<std::string> mismatch = Mismatch(
      product, ReadWhole(args[1], kListMostBytes), options["--key"],
      options.count("--previous") ? &options["--previous"] : nullptr, &args[2], shift_jis, crypto);
  if (mismatch) throw std::runtime_error("does not match: " + *mismatch);
  if (options.count("--previous")) {
    out << ReusedAddress(ReadWhole(args[1], kListMostBytes),
                         ReadWhole(options["--previous"], kListMostBytes), shift_jis)
               .value_or("");
  }
  const int rollout = ReadIntegrityBlock(ReadWhole(args[1], kListMostBytes), shift_jis)->rollout;
  out << args[2] << " is what " << args[1] << " says, signed with " << options["--key"] << " for "
      << product << ", rollout " << rollout << " %\n";
  return kExitOk;
}

int Show(const std::vector<std::string>& args, std::ostream& out, const AnsiCodec& shift_jis,
         Crypto& crypto) {
  auto options = ParseOptions(args, 2, {"--key"});
  const std::string& path = args[1];
  std::ifstream file(PathOf(path), std::ios::binary);
  if (!file) throw std::runtime_error("cannot read " + path);
  std::string bytes;
  char buffer[65536];
  // What the launcher reads; the rest of a larger file only counts.
  size_t size = 0;
  while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
    const size_t got = static_cast<size_t>(file.gcount());
    size += got;
    const size_t most = kListMostBytes;
    if (bytes.size() < most) bytes.append(buffer, std::min(got, most - bytes.size()));
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
  const std::optional<IntegrityBlock> block = ReadIntegrityBlock(bytes, shift_jis);
  if (block) {
    if (block->version == 2) {
      out << "Product:         " << block->product << "\n"
          << "Sequence:        " << block->sequence << "\n"
          << "Expires:         " << UtcDateText(block->expires) << "\n"
          << "Rollout:         " << block->rollout << " %\n";
    }
    out << "PackageSize:     " << block->package_size << "\n"
        << "PackageSHA256:   " << DigestHex(block->package_sha256) << "\n";
    if (options.count("--key")) {
      const auto mismatch =
          Mismatch(kUpdateListName, bytes, options["--key"], nullptr, nullptr, shift_jis, crypto);
      out << "signature:       " << mismatch.value_or("verifies with " + options["--key"]) << "\n";
    }
  }
  const size_t used = length.value_or(0) + (block ? block->length : 0);
  if (!length) {
    out << "note: the file ends inside the record; the fields it cuts off read as 0 or empty\n";
  } else if (!block) {
    out << "note: no signed block: a launcher built with the publisher's keys refuses this list\n";
  }
  if (length && used < size) out << "note: " << size - used << " bytes after it are ignored\n";
  if (!IsUsablePackageFile(record.PackageFile)) {
    out << "note: the launcher finds this list unusable (PackageFile is no plain name "
           "ending in .exe)\n";
  }
  return kExitOk;
}

}  // namespace

int RunUpdateList(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                  const AnsiCodec& shift_jis, SigningCrypto& crypto) {
  try {
    const std::string command = args.empty() ? "" : args[0];
    if (command == "write" && args.size() >= 2) return Write(args, out, shift_jis, crypto);
    if (command == "show" && args.size() >= 2) return Show(args, out, shift_jis, crypto);
    if (command == "verify" && args.size() >= 3) return Verify(args, out, shift_jis, crypto);
    if (command == "keygen" && args.size() == 3) return Keygen(args, out, crypto);
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
