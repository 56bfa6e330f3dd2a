#include "update/package_download.h"

#include "common/app_error.h"
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

class PackageSink : public ByteSink {
 public:
  PackageSink(Platform& platform, PartialFile& part, std::string url, std::string folder,
              const std::optional<IntegrityBlock>& block)
      : platform_(platform),
        part_(part),
        url_(std::move(url)),
        folder_(std::move(folder)),
        block_(block) {}

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
      if (hash_) hash_->Add(piece);
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
  void Start(const DownloadStart& start) override {
    const PartInfo info{url_, start.validator, start.whole_length};
    if (!start.partial) {
      Reset();
      size_ = 0;
      part_.Restart(info);
    } else if (kept_ && start.offset == size_ && start.validator == kept_->validator &&
               start.whole_length == kept_->length) {
      part_.Continue(info);
    } else {
      throw AppError(kErrorInternal, "サーバーの応答が求めた続きではありません (" + url_ + ")",
                     Condition::kUnusableRange);
    }
    whole_length_ = start.whole_length;
    if (block_ && whole_length_ && *whole_length_ != block_->package_size) Mismatch();
    CheckRoom(whole_length_);
  }

  // A write that fails (a full disk, most likely) leaves no part behind to keep the disk full.
  void Write(std::string_view bytes) override {
    size_ += bytes.size();
    if (block_ && size_ > block_->package_size) Mismatch();  // no need to fill the disk to know
    if (hash_) hash_->Add(bytes);
    try {
      part_.Write(bytes);
    } catch (const AppError&) {
      try {
        part_.Discard();
      } catch (const AppError&) {  // the write's failure is the one to tell
      }
      throw;
    }
  }

  // The whole file: as long as the block, or else the server, says, and as released; the part
  // on the disk holds exactly what was counted and hashed. A part cut short stays for the next
  // attempt.
  void Check() {
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
    if (size_ != *length || part_.Size() != size_ ||
        (hash_ && hash_->Finish() != block_->package_sha256)) {
      Mismatch();
    }
  }

 private:
  void Reset() {
    if (block_) hash_ = std::make_unique<BackgroundSha256>(platform_.crypto.StartSha256());
  }
  [[noreturn]] void Mismatch() {
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
  uint64_t size_ = 0;
  std::optional<uint64_t> whole_length_;
};

}  // namespace

std::unique_ptr<HeldFile> DownloadPackage(Platform& platform, const std::string& url,
                                          const std::string& target,
                                          const std::optional<IntegrityBlock>& block,
                                          DownloadProgress* progress) {
  const std::unique_ptr<PartialFile> part = platform.files.OpenPartialFile(target);
  // A package that is still running (its wizard left open) cannot be replaced: better to say so
  // than to fetch it all first; checked once no other launcher can be downloading it.
  platform.files.CheckReplaceable(target);
  const std::optional<PartInfo> kept = part->Info();
  const uint64_t size = part->Size();
  // Only a recent part of this address, of a version a strong validator names and of a length
  // that the released package has, is worth going on from.
  const bool usable = kept && kept->url == url && !kept->validator.empty() && kept->length &&
                      (!block || kept->length == block->package_size) && size > 0 &&
                      size <= *kept->length && part->AgeDays() <= kMostPartAgeDays;
  if (!usable && (kept || size > 0)) part->Discard();
  PackageSink sink(platform, *part, url, target.substr(0, target.rfind('\\') + 1), block);
  DownloadRequest request{.progress = progress};
  if (usable) request.resume = sink.TakeOver(*kept);
  if (request.resume && request.resume->offset == *kept->length) {
    try {  // nothing is left to ask for: the part is checked as it is
      sink.Check();
      return part->Commit();
    } catch (const AppError& error) {
      if (error.condition() != Condition::kPackageMismatch) throw;
      request.resume.reset();
      sink.StartOver();
    }
  }
  sink.CheckRoom(block ? block->package_size : request.resume ? kept->length : std::nullopt);
  try {
    platform.http.Download(url, sink, request);
  } catch (const AppError& error) {
    // No rest to send, or an answer that is not the rest asked for: the whole file, once.
    if (!request.resume || (error.condition() != Condition::kRangeNotSatisfiable &&
                            error.condition() != Condition::kUnusableRange)) {
      throw;
    }
    part->Discard();
    request.resume.reset();
    sink.StartOver();
    platform.http.Download(url, sink, request);
  }
  sink.Check();
  return part->Commit();
}

}  // namespace hanamizu
