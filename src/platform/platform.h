#pragma once

// The operations the launcher needs from the system, as small interfaces grouped by concern.
// The Win32 backend (platform/win32) implements them with the real calls; tests pass fakes.
// All text is UTF-8; the backend converts at its boundary. Failures throw AppError.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ansi_codec.h"
#include "platform/crypto.h"
#include "platform/http.h"
#include "platform/processes.h"
#include "platform/splash.h"

namespace hanamizu {

class LaunchLog;  // common/launch_log.h

struct LocalTime {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

enum class MessageIcon { kNone, kInformation, kExclamation };
enum class MessageButtons { kOk, kOkCancel };
enum class MessageAnswer { kOk, kCancel };

// A file being written under a temporary name beside its target. Commit puts it in the target's
// place (replacing an earlier file); without a commit the temporary file is removed again.
class PendingFile : public ByteSink {
 public:
  virtual void Commit() = 0;
};

// What identifies a part of a download: where it came from, the server's validator for that
// version of the file (its ETag, or its Last-Modified), and the whole file's announced length.
struct PartInfo {
  std::string url;
  std::string validator;
  std::optional<uint64_t> length;
  bool operator==(const PartInfo&) const = default;
};

// What the system makes of a file's own (Authenticode) signature: none, one over other bytes
// (the file altered after signing), one it refuses for another reason, or one it accepts; the
// signer's certificate, where there is one, as the SHA-256 of its SubjectPublicKeyInfo (DER) and
// its subject; and the system's own result code.
struct CodeSignature {
  enum class State { kUnsigned, kAltered, kOtherError, kSigned };
  State state = State::kUnsigned;
  Sha256Digest signer_key{};
  std::string signer;
  int32_t result = 0;
};

// A committed package, kept from writers and from being renamed or deleted while it lives: what
// was checked, until it has been started.
class HeldFile {
 public:
  virtual ~HeldFile() = default;
  virtual std::string Path() = 0;
  // Through the held handle itself, so that what is read is what will start.
  virtual std::string Read(uint64_t offset, size_t size) = 0;
  virtual void Discard() = 0;  // lets go of the file and deletes it; a failure is an error
  // Its signature as the system verifies it, through the held handle; revocation only as far as
  // the system already knows it, never fetched.
  virtual CodeSignature Signature() = 0;
};

// A download kept beside its target, under a name of its own, while it arrives: unlike a
// PendingFile it stays when an attempt fails, so that the next one can pick up where it stopped.
// It is one launcher's alone, and no one else writes to it, from its opening to its commit.
class PartialFile : public ByteSink {
 public:
  virtual uint64_t Size() = 0;  // of what is on the disk
  // What the part was saved with; nothing when nothing describes it. A description that cannot
  // be read (held by another program past the retries) is an error, so that the part is kept.
  virtual std::optional<PartInfo> Info() = 0;
  virtual double AgeDays() = 0;  // since it last grew
  virtual std::string Read(uint64_t offset, size_t size) = 0;
  // Empties the part for a download from the start, or keeps its bytes for one that goes on;
  // Write puts bytes after those.
  virtual void Restart(const PartInfo& info) = 0;
  virtual void Continue(const PartInfo& info) = 0;
  // The part takes the target's name, replacing an earlier file, and stays held.
  virtual std::unique_ptr<HeldFile> Commit() = 0;
  virtual void Discard() = 0;  // the part and what identifies it go; a failure is an error
};

// The launcher's own log, for whoever supports the PC: lines of UTF-8 text, each stamped with
// the local time to the millisecond and its offset from UTC. Past kLogMostBytes the file is
// renamed as the previous log (NAME.previous.log, replacing an earlier one) and a new one begins.
inline constexpr uint64_t kLogMostBytes = 1'000'000;  // under 1 MiB, a line or two of a rival too
class LogFile {
 public:
  virtual ~LogFile() = default;
  // The whole line in one write, so that two launchers writing at once each write whole lines;
  // a line that cannot be written is dropped without a word.
  virtual void Append(std::string_view line) noexcept = 0;
};

enum class RegistryRoot { kUsers };
inline constexpr uint32_t kRegSz = 1;

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Directory of the launcher's own executable: a drive root ends with "\", others do not.
  virtual std::string LauncherDirectory() = 0;
  virtual void ChangeDrive(char letter) = 0;
  virtual void ChangeDirectory(const std::string& path) = 0;
  // Names, without their directory, of the files that match a wildcard pattern (case ignored).
  // Directories, hidden files and system files are left out.
  virtual std::vector<std::string> ListFiles(const std::string& pattern) = 0;
  // Appends line and CR LF in the ANSI code page; the file is created when missing.
  virtual void AppendAnsiLine(const std::string& path, const std::string& line) = 0;
  // True for an existing file that is neither a directory nor hidden nor a system file.
  virtual bool NormalFileExists(const std::string& path) = 0;
  // The dotted four-part file version of an executable, or the empty text when it has none.
  virtual std::string FileVersion(const std::string& path) = 0;
  // The code page of the text inside the launcher's files (oem.ini, jiban.err, the update list).
  virtual const AnsiCodec& Ansi() = 0;
  // Throws when an existing file could not be replaced now (open, running, read-only), naming it.
  virtual void CheckReplaceable(const std::string& path) = 0;
  // A folder that only this user (and the system) may write into: made, or an existing one of
  // this user's given that access.
  virtual void MakePrivateFolder(const std::string& path) = 0;
  // Names, without their directory, of the folders that match a wildcard pattern.
  virtual std::vector<std::string> ListFolders(const std::string& pattern) = 0;
  // Removes a folder and the files in it as far as they can go now (some may be in use); what
  // stays is no error.
  virtual void RemoveFolder(const std::string& path) = 0;
  // Starts writing a file that replaces path once committed.
  virtual std::unique_ptr<PendingFile> CreatePendingFile(const std::string& path) = 0;
  // The part of a download of target kept from an earlier attempt, or an empty one; while
  // another launcher has it open, an error of the condition kDownloadInProgress.
  virtual std::unique_ptr<PartialFile> OpenPartialFile(const std::string& target) = 0;
  // Up to max_bytes from the start of an existing file.
  virtual std::string ReadFileStart(const std::string& path, size_t max_bytes) = 0;
  // The bytes free for the user on the volume of a folder.
  virtual uint64_t FreeSpace(const std::string& folder) = 0;
  // The log at path (its folders made as needed), open until what is returned goes; nothing
  // when it cannot be opened, which is no error.
  virtual std::unique_ptr<LogFile> OpenLog(const std::string& path) noexcept = 0;
};

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  // Per-user settings; an absent setting reads as the empty text.
  virtual std::string ReadSetting(const std::string& app, const std::string& section,
                                  const std::string& key) = 0;
  virtual void WriteSetting(const std::string& app, const std::string& section,
                            const std::string& key, const std::string& value) = 0;
  // A registry value read as text through a 256-byte buffer: the text before the first NUL,
  // or nothing when the read reports any failure.
  virtual std::optional<std::string> QueryRegistryText(RegistryRoot root, const std::string& subkey,
                                                       const std::string& value_name,
                                                       uint32_t kind) = 0;
};

class IniReader {
 public:
  virtual ~IniReader() = default;
  // The profile reader's value through a 255-character buffer, up to its first NUL.
  virtual std::string ReadProfileString(const std::string& section, const std::string& key,
                                        const std::string& default_value,
                                        const std::string& path) = 0;
};

class UserInterface {
 public:
  virtual ~UserInterface() = default;
  // A modal message box; returns when the user has closed it.
  virtual MessageAnswer ShowMessage(const std::string& text, const std::string& caption,
                                    MessageButtons buttons, MessageIcon icon) = 0;
  virtual void DefaultBeep() = 0;
  // Lets the launcher's windows handle the events waiting for them.
  virtual void DoEvents() = 0;
  // The splash window, created hidden with its design-time contents.
  virtual std::unique_ptr<SplashWindow> CreateSplashWindow() = 0;
  // The primary screen's size in twips.
  virtual TwipsSize ScreenSize() = 0;
};

class SystemServices {
 public:
  virtual ~SystemServices() = default;
  // Everything after the program's own name on the command line, as handed over.
  virtual std::string CommandLineArguments() = 0;
  virtual LocalTime LocalNow() = 0;
  // Seconds on a clock that only moves forward: neither midnight nor a clock change moves it.
  virtual double MonotonicSeconds() = 0;
  // The PC's clock as Unix seconds UTC (which may be wrong).
  virtual int64_t UnixTime() = 0;
  // The user's local application data folder (FOLDERID_LocalAppData), without a trailing "\".
  virtual std::string LocalAppDataFolder() = 0;
  // A number from the system's random source, unpredictable to others.
  virtual uint64_t RandomNumber() = 0;
  // The running process's identifier, which the system's own tools show.
  virtual uint32_t ProcessId() = 0;
  // An environment variable; nothing when it is not set.
  virtual std::optional<std::string> EnvironmentVariable(const std::string& name) = 0;
  // Stops the process at once.
  [[noreturn]] virtual void EndProcess() = 0;
};

struct Platform {
  FileSystem& files;
  SettingsStore& settings;
  IniReader& ini;
  UserInterface& ui;
  SystemServices& system;
  HttpClient& http;
  ProcessLauncher& processes;
  Crypto& crypto;
  LaunchLog& log;
  // The publisher's public keys (PEM) built in; with any, only signed update lists are used.
  std::vector<std::string> publisher_keys = {};
  // The SubjectPublicKeyInfo digests of the publisher's code-signing certificates built in; with
  // any, a package starts only when one of them signed it.
  std::vector<Sha256Digest> package_signers = {};
};

}  // namespace hanamizu
