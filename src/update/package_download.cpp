#include "update/package_download.h"

#include "common/app_error.h"
#include "update/background_sha256.h"

namespace hanamizu {
namespace {

constexpr double kMostPartAgeDays = 7;
constexpr int32_t kRangeNotSatisfiable = 416;
constexpr size_t kReadPiece = 1 << 20;
// NTE_BAD_SIGNATURE: what Windows itself says of a signature that does not verify.
constexpr int32_t kBadSignature = static_cast<int32_t>(0x80090006);

class PackageSink : public ByteSink {
 public:
  PackageSink(Platform& platform, PartialFile& part, std::string url,
              const std::optional<IntegrityBlock>& block)
      : platform_(platform), part_(part), url_(std::move(url)), block_(block) {}

  // Hashes what an earlier attempt kept, handling the window's messages between pieces.
  void TakeOver() {
    Reset();
    for (size_ = 0; size_ < part_.Size(); size_ += kReadPiece) {
      if (hash_) hash_->Add(part_.Read(size_, kReadPiece));
      platform_.ui.DoEvents();
    }
    size_ = part_.Size();
  }

  void Start(const DownloadStart& start) override {
    const PartInfo info{url_, start.validator, start.whole_length};
    if (start.offset == 0) {
      Reset();
      size_ = 0;
      part_.Restart(info);
    } else if (start.offset == size_) {
      part_.Continue(info);
    } else {
      part_.Discard();
      throw AppError(kErrorInternal,
                     "サーバーの応答が途中からの続きになっていません (" + url_ + ")");
    }
    whole_length_ = start.whole_length;
  }

  void Write(std::string_view bytes) override {
    size_ += bytes.size();
    if (block_ && size_ > block_->package_size) Mismatch();  // no need to fill the disk to know
    if (hash_) hash_->Add(bytes);
    part_.Write(bytes);
  }

  void Check() {
    if (whole_length_ && size_ != *whole_length_) {
      part_.Discard();
      throw AppError(kErrorInternal,
                     "ダウンロードしたファイルの長さが違います (" + std::to_string(size_) + " / " +
                         std::to_string(*whole_length_) + " バイト) (" + url_ + ")");
    }
    if (block_ && (size_ != block_->package_size || hash_->Finish() != block_->package_sha256))
      Mismatch();
  }

 private:
  void Reset() {
    if (block_) hash_ = std::make_unique<BackgroundSha256>(platform_.crypto.StartSha256());
  }
  [[noreturn]] void Mismatch() {
    part_.Discard();
    throw AppError(kBadSignature,
                   "ダウンロードしたパッケージが発行元の署名した内容と一致しません (" + url_ + ")");
  }

  Platform& platform_;
  PartialFile& part_;
  std::string url_;
  std::optional<IntegrityBlock> block_;
  std::unique_ptr<Sha256> hash_;
  uint64_t size_ = 0;
  std::optional<uint64_t> whole_length_;
};

}  // namespace

void DownloadPackage(Platform& platform, const std::string& url, const std::string& target,
                     const std::optional<IntegrityBlock>& block, DownloadProgress* progress) {
  const std::unique_ptr<PartialFile> part = platform.files.OpenPartialFile(target);
  const std::optional<PartInfo> kept = part->Info();
  const bool usable = kept && kept->url == url && !kept->validator.empty() &&
                      part->AgeDays() <= kMostPartAgeDays && part->Size() > 0;
  if (!usable && (kept || part->Size() > 0)) part->Discard();
  PackageSink sink(platform, *part, url, block);
  DownloadRequest request{.progress = progress};
  if (usable) {
    sink.TakeOver();
    request.resume = ResumeFrom{part->Size(), kept->validator};
  }
  try {
    platform.http.Download(url, sink, request);
  } catch (const AppError& error) {
    // A part as long as the file, or longer (the launcher ended before it could rename it, or
    // the file changed under the same validator), has no rest to ask for: the whole file then.
    if (!request.resume || error.number() != kRangeNotSatisfiable) throw;
    request.resume.reset();
    platform.http.Download(url, sink, request);
  }
  sink.Check();
  part->Commit();
}

}  // namespace hanamizu
