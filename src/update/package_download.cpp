#include "update/package_download.h"

#include <algorithm>
#include <cstdio>

#include "common/app_error.h"
#include "common/launch_log.h"
#include "common/text.h"
#include "update/background_sha256.h"

namespace hanamizu {
namespace {

constexpr double kMostPartAgeDays = 7;
constexpr uint64_t kRoomMargin = 10 << 20;  // free beyond the package, for the system's own needs
// ERROR_DISK_FULL: what the system says of a disk without room.
constexpr int32_t kDiskFull = 112;
constexpr size_t kReadPiece = 1 << 20;
// NTE_BAD_SIGNATURE: what Windows itself says of a signature that does not verify.
constexpr int32_t kBadSignature = static_cast<int32_t>(0x80090006);
// ERROR_INTERNET_CONNECTION_ABORTED: what the system says of a body cut short.
constexpr int32_t kConnectionAborted = 12030;
// ERROR_FILE_INVALID: what the system says of a file that is no longer what it was.
constexpr int32_t kFileInvalid = 1006;
// What the system says of a file without a signature (TRUST_E_NOSIGNATURE), of a signature over
// other bytes (TRUST_E_BAD_DIGEST), and of a certificate it does not trust (CERT_E_UNTRUSTEDROOT).
constexpr int32_t kNoSignature = static_cast<int32_t>(0x800B0100);
constexpr int32_t kBadDigest = static_cast<int32_t>(0x80096010);
constexpr int32_t kUntrustedSigner = static_cast<int32_t>(0x800B0109);
// A program's path, with which it is started and which becomes its folder, must stay shorter
// than MAX_PATH (260 UTF-16 units).
constexpr size_t kMostStartablePath = 259;
constexpr char kFolderPattern[] = "hmz-*";

class PackageSink : public ByteSink {
 public:
  PackageSink(Platform& platform, PartialFile& part, std::string url, std::string folder,
              const std::optional<IntegrityBlock>& block)
      : platform_(platform),
        part_(part),
        url_(std::move(url)),
        folder_(std::move(folder)),
        block_(block) {
    Reset();
  }

  // Room on the disk for what is still to come of a file of that length, and a margin, before
  // any of it is fetched; once.
  void CheckRoom(std::optional<uint64_t> length) {
    if (!length || room_checked_ || *length < size_) return;
    room_checked_ = true;
    const uint64_t needed = *length - size_ + kRoomMargin;
    const uint64_t free = platform_.files.FreeSpace(folder_);
    if (free >= needed) return;
    const auto megabytes = [](uint64_t bytes, uint64_t round) {
      return std::to_string((bytes + round) / (1 << 20)) + " MB";
    };
    throw AppError(kDiskFull, "ディスクの空き容量が足りません (必要 " +
                                  megabytes(needed, (1 << 20) - 1) + "、空き " +
                                  megabytes(free, 0) + ") (" + folder_ + ")");
  }

  // Hashes what an earlier attempt kept, through the part itself, handling the window's
  // messages between pieces; the rest is asked for from where the hash stopped.
  ResumeFrom TakeOver(const PartInfo& kept) {
    Reset();
    kept_ = kept;
    for (std::string piece; (piece = part_.Read(size_, kReadPiece)).size() > 0;) {
      hash_->Add(piece);
      size_ += piece.size();
      platform_.ui.DoEvents();
    }
    whole_length_ = kept.length;
    return {size_, kept.validator};
  }
  // The whole file again, and room for all of it.
  void StartOver() {
    kept_.reset();
    size_ = 0;
    room_checked_ = false;
  }

  // The whole file, or exactly the rest asked for of the same version; anything else is never
  // joined to what was kept.
  // Checked before the part is touched, so that a download refused for lack of room leaves
  // nothing behind.
  void Start(const DownloadStart& start) override {
    if (start.partial && !(kept_ && start.offset == size_ && start.validator == kept_->validator &&
                           start.whole_length == kept_->length)) {
      const auto number = [](std::optional<uint64_t> n) { return n ? std::to_string(*n) : "?"; };
      platform_.log.Write(
          "partial answer (HTTP " + std::to_string(start.status) + ") refused: it starts at " +
          number(start.offset) + " of " + number(start.whole_length) + ", validator " +
          start.validator + "; asked for the rest from " + std::to_string(size_) + " of " +
          (kept_ ? number(kept_->length) + ", validator " + kept_->validator : "nothing kept"));
      throw AppError(kErrorInternal, "サーバーの応答が求めた続きではありません (" + url_ + ")",
                     Condition::kUnusableRange);
    }
    if (!start.partial) {
      Reset();
      size_ = 0;
    }
    whole_length_ = start.whole_length;
    if (block_ && whole_length_ && *whole_length_ != block_->package_size) {
      Mismatch("the server announces " + std::to_string(*whole_length_) + " bytes, the list says " +
               std::to_string(block_->package_size));
    }
    CheckRoom(whole_length_);
    const PartInfo info{url_, start.validator, start.whole_length};
    if (start.partial) {
      part_.Continue(info);
    } else {
      part_.Restart(info);
    }
  }

  // A write that fails (a full disk, most likely) leaves no part behind to keep the disk full.
  void Write(std::string_view bytes) override {
    size_ += bytes.size();
    arrived_ += bytes.size();
    if (block_ && size_ > block_->package_size) {  // no need to fill the disk to know
      Mismatch("more arrived than the released size (" + std::to_string(size_) + " bytes so far)");
    }
    hash_->Add(bytes);
    try {
      part_.Write(bytes);
    } catch (const AppError&) {
      try {
        part_.Discard();
      } catch (const AppError& discard) {  // the write's failure is the one to tell
        platform_.log.Write("the part could not be removed after a failed write: " +
                            ErrorWords(discard));
      }
      throw;
    }
  }

  // The whole file: as long as the block, or else the server, says, and as released; the part
  // on the disk holds exactly what was counted and hashed. A part cut short stays for the next
  // attempt. Gives the SHA-256 of what arrived.
  Sha256Digest Check() {
    const std::optional<uint64_t> length = block_ ? block_->package_size : whole_length_;
    if (!length) {
      part_.Discard();
      throw AppError(kErrorInternal, "サーバーがファイルの長さを知らせていません (" + url_ + ")");
    }
    if (size_ < *length) {
      throw AppError(kConnectionAborted,
                     "受信したデータが途中で切れています (" + std::to_string(size_) + " / " +
                         std::to_string(*length) + " バイト) (" + url_ + ")",
                     Condition::kBodyCutShort);
    }
    const Sha256Digest digest = hash_->Finish();
    const std::string figures = "expected " + std::to_string(*length) + " bytes" +
                                (block_ ? ", SHA-256 " + DigestHex(block_->package_sha256)
                                        : " (the server's length; no signed block)") +
                                "; received " + std::to_string(size_) + " bytes, SHA-256 " +
                                DigestHex(digest);
    if (size_ != *length) Mismatch(figures);
    if (part_.Size() != size_) {
      Mismatch(figures + "; the part on the disk holds " + std::to_string(part_.Size()) + " bytes");
    }
    if (block_ && digest != block_->package_sha256) Mismatch(figures);
    platform_.log.Write("package check passed: " + figures);
    return digest;
  }
  uint64_t size() const { return size_; }
  uint64_t arrived() const { return arrived_; }  // over the network, by every attempt

 private:
  void Reset() { hash_ = std::make_unique<BackgroundSha256>(platform_.crypto.StartSha256()); }
  [[noreturn]] void Mismatch(const std::string& figures) {
    platform_.log.Write("package check failed: " + figures);
    part_.Discard();
    throw AppError(
        kBadSignature,
        block_ ? "ダウンロードしたパッケージが発行元の署名した内容と一致しません (" + url_ + ")"
               : "ダウンロードしたファイルの長さが違います (" + url_ + ")",
        Condition::kPackageMismatch);
  }

  Platform& platform_;
  PartialFile& part_;
  std::string url_, folder_;
  std::optional<IntegrityBlock> block_;
  bool room_checked_ = false;
  std::optional<PartInfo> kept_;
  std::unique_ptr<Sha256> hash_;
  uint64_t size_ = 0, arrived_ = 0;
  std::optional<uint64_t> whole_length_;
};

// Why a part that an earlier attempt kept is not worth going on from: only a recent part of
// this address, of a version a strong validator names and of a length that the released package
// has, is.
std::optional<std::string> UnusablePart(PartialFile& part, const std::optional<PartInfo>& kept,
                                        uint64_t size, const std::string& url,
                                        const std::optional<IntegrityBlock>& block) {
  if (!kept) return "nothing says what it is";
  if (kept->url != url) return "it is of another address, " + kept->url;
  if (kept->validator.empty()) return "no strong validator names its version";
  if (!kept->length) return "its whole length is unknown";
  if (block && kept->length != block->package_size) {
    return "it is of a file of " + std::to_string(*kept->length) + " bytes, the release has " +
           std::to_string(block->package_size);
  }
  if (size == 0) return "it is empty";
  if (size > *kept->length) {
    return "it is longer than its file of " + std::to_string(*kept->length) + " bytes";
  }
  if (const double age = part.AgeDays(); age > kMostPartAgeDays) {
    return "it last grew " + std::to_string(static_cast<int>(age)) + " days ago";
  }
  return std::nullopt;
}

// The bytes, the time and the rate of a download, for the log.
std::string Figures(uint64_t bytes, double from, double to) {
  const long long ms = Milliseconds(from, to);
  const uint64_t rate = ms > 0 ? bytes * 1000 / 1024 / static_cast<uint64_t>(ms) : 0;
  return std::to_string(bytes) + " bytes in " + std::to_string(ms) + " ms (" +
         std::to_string(rate) + " KiB/s)";
}

// A download's folder, named for the package's address: a part kept for a resume is found again,
// and another release gets a folder of its own.
std::string PackageFolderName(const std::string& url) {
  uint64_t hash = 14695981039346656037ULL;  // FNV-1a
  for (const unsigned char c : url) hash = (hash ^ c) * 1099511628211ULL;
  char name[24];
  std::snprintf(name, sizeof name, "hmz-%016llx", static_cast<unsigned long long>(hash));
  return name;
}

// Earlier downloads' folders are of no more use once a newer package is there; one whose files
// are in use (a package still running) goes at a later launch.
void RemoveEarlierFolders(Platform& platform, const std::string& root, const std::string& kept) {
  try {
    for (const std::string& name : platform.files.ListFolders(root + kFolderPattern)) {
      if (name != kept) platform.files.RemoveFolder(root + name);
    }
  } catch (const AppError& error) {  // what is left costs room, never the update
    platform.log.Write("earlier download folders left in " + root + ": " + ErrorWords(error));
  }
}

// With the publisher's certificates built in, the held package starts only when the system
// accepts its own signature and one of them made it; any other goes, and the error says why.
void CheckPackageSigner(Platform& platform, HeldFile& held) {
  if (platform.package_signers.empty()) return;
  const CodeSignature signature = held.Signature();
  const std::string path = held.Path();
  const bool pinned = signature.state == CodeSignature::State::kSigned &&
                      std::find(platform.package_signers.begin(), platform.package_signers.end(),
                                signature.signer_key) != platform.package_signers.end();
  char result[16];
  std::snprintf(result, sizeof result, "0x%08X", static_cast<unsigned>(signature.result));
  const char* states[] = {"unsigned", "altered", "not verified", "signed"};
  platform.log.Write("package signature of " + path + ": " +
                     states[static_cast<int>(signature.state)] + " (" + result + ")" +
                     (signature.signer.empty() ? ""
                                               : " by " + signature.signer + ", key SHA-256 " +
                                                     DigestHex(signature.signer_key)) +
                     (pinned ? ", a publisher's certificate" : ", refused"));
  if (pinned) return;
  held.Discard();
  const std::string where = " (" + path + ")";
  switch (signature.state) {
    case CodeSignature::State::kUnsigned:
      throw AppError(kNoSignature, "ダウンロードしたパッケージに発行元の署名がありません" + where,
                     Condition::kPackageSigner);
    case CodeSignature::State::kAltered:
      throw AppError(kBadDigest, "ダウンロードしたパッケージは署名の後で改変されています" + where,
                     Condition::kPackageSigner);
    case CodeSignature::State::kOtherError:
      throw AppError(
          signature.result,
          "ダウンロードしたパッケージの署名を確認できません (" + std::string(result) + ")" + where,
          Condition::kPackageSigner);
    case CodeSignature::State::kSigned:
      break;
  }
  throw AppError(
      kUntrustedSigner,
      "ダウンロードしたパッケージは別の発行元 (" + signature.signer + ") が署名しています" + where,
      Condition::kPackageSigner);
}

}  // namespace

void CheckHeldPackage(Platform& platform, HeldFile& held, uint64_t size,
                      const Sha256Digest& digest) {
  BackgroundSha256 hash(platform.crypto.StartSha256());
  uint64_t read = 0;
  for (std::string piece; (piece = held.Read(read, kReadPiece)).size() > 0; read += piece.size()) {
    hash.Add(piece);
    platform.ui.DoEvents();
  }
  const Sha256Digest held_digest = hash.Finish();
  const std::string figures = std::to_string(read) + " bytes, SHA-256 " + DigestHex(held_digest) +
                              "; checked " + std::to_string(size) + " bytes, SHA-256 " +
                              DigestHex(digest);
  const std::string path = held.Path();
  if (read == size && held_digest == digest) {
    platform.log.Write("held package " + path + " read again: " + figures);
    return;
  }
  platform.log.Write("held package " + path + " changed after its check: " + figures);
  held.Discard();
  throw AppError(kFileInvalid, "ダウンロードしたパッケージが確認の後で変わりました (" + path + ")",
                 Condition::kPackageMismatch);
}

std::unique_ptr<HeldFile> DownloadPackage(Platform& platform, const std::string& url,
                                          const std::string& update_dir, const std::string& name,
                                          const std::optional<IntegrityBlock>& block,
                                          DownloadProgress* progress,
                                          const std::function<bool()>& unattended) {
  const std::string folder_name = PackageFolderName(url);
  std::string root = update_dir;
  if (Utf8ToUtf16(root + folder_name + "\\" + name).size() > kMostStartablePath) {
    root = platform.system.LocalAppDataFolder() + "\\Hanamizu";
    platform.files.MakePrivateFolder(root);
    root += "\\";
  }
  platform.files.MakePrivateFolder(root + folder_name);
  const std::string folder = root + folder_name + "\\", target = folder + name;
  const std::unique_ptr<PartialFile> part = platform.files.OpenPartialFile(target);
  // A package that is still running (its wizard left open) cannot be replaced: better to say so
  // than to fetch it all first; checked once no other launcher can be downloading it.
  platform.files.CheckReplaceable(target);
  const std::optional<PartInfo> kept = part->Info();
  const uint64_t size = part->Size();
  platform.log.Write("package " + url + " into " + target);
  const std::optional<std::string> unusable = UnusablePart(*part, kept, size, url, block);
  const bool usable = !unusable;
  if (unusable && (kept || size > 0)) {
    platform.log.Write("kept part of " + std::to_string(size) + " bytes dropped: " + *unusable);
    part->Discard();
  }
  PackageSink sink(platform, *part, url, folder, block);
  const auto commit = [&](const Sha256Digest& digest) -> std::unique_ptr<HeldFile> {
    if (unattended && unattended()) {
      platform.log.Write("the package arrived while the main program runs: kept whole as " +
                         target + "'s part, for the next launch");
      return nullptr;
    }
    std::unique_ptr<HeldFile> held = part->Commit();
    CheckHeldPackage(platform, *held, sink.size(), digest);
    CheckPackageSigner(platform, *held);
    RemoveEarlierFolders(platform, root, folder_name);
    return held;
  };
  DownloadRequest request{.progress = progress};
  if (usable) request.resume = sink.TakeOver(*kept);
  if (request.resume && request.resume->offset == *kept->length) {
    platform.log.Write("kept part is whole (" + std::to_string(size) +
                       " bytes): checked without a download");
    std::optional<Sha256Digest> digest;
    try {  // nothing is left to ask for: the part is checked as it is
      digest = sink.Check();
    } catch (const AppError& error) {
      if (error.condition() != Condition::kPackageMismatch) throw;
      request.resume.reset();
      sink.StartOver();
    }
    if (digest) return commit(*digest);
  }
  sink.CheckRoom(block ? block->package_size : request.resume ? kept->length : std::nullopt);
  const auto download = [&] {
    platform.log.Write((request.resume ? "resumed from " + std::to_string(request.resume->offset) +
                                             " of " + std::to_string(*kept->length) + " bytes"
                                       : std::string("whole file")) +
                       (request.from_caches ? ", caches may answer" : ", end to end"));
    const double start = platform.system.MonotonicSeconds();
    const uint64_t before = sink.arrived();
    const auto figures = [&] {
      return Figures(sink.arrived() - before, start, platform.system.MonotonicSeconds());
    };
    try {
      platform.http.Download(url, sink, request);
    } catch (const AppError& error) {
      platform.log.Write("download failed after " + figures() + ": " + ErrorWords(error));
      throw;
    }
    platform.log.Write("received " + figures());
  };
  const auto fetch = [&] {
    try {
      download();
    } catch (const AppError& error) {
      // No rest to send, or an answer that is not the rest asked for: the whole file, once.
      if (!request.resume || (error.condition() != Condition::kRangeNotSatisfiable &&
                              error.condition() != Condition::kUnusableRange)) {
        throw;
      }
      part->Discard();
      request.resume.reset();
      sink.StartOver();
      download();
    }
    return sink.Check();
  };
  // Bytes the block pins may come from any cache on the way (an office's proxy): they are checked
  // whoever serves them. A cache may still hold an older file under the address: what fails the
  // check is fetched once more, whole, from the origin itself, before anything is said.
  request.from_caches = block.has_value();
  std::optional<Sha256Digest> digest;
  try {
    digest = fetch();
  } catch (const AppError& error) {
    if (!request.from_caches || error.condition() != Condition::kPackageMismatch) throw;
  }
  if (!digest) {
    platform.log.Write("what caches may have served failed its check: once more, end to end");
    request = {.progress = progress};
    sink.StartOver();
    digest = fetch();
  }
  return commit(*digest);
}

}  // namespace hanamizu
