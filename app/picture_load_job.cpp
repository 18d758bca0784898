#include "picture_load_job.h"

#include <QFile>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "decode/picture_opener.h"
#include "decode/picture_loader.h"
#include "render/area_resampler.h"

namespace tessaglyph {

struct PictureLoadJob::Shared {
  std::atomic<bool> cancel{false};
  std::mutex mutex;
  QObject* relay = nullptr;  // null once the job is gone
};

namespace {

using Outcome = PictureLoadJob::Outcome;

// Workers run detached: a decoder that does not yet look at the cancel flag
// may keep one busy after its job is gone, and nothing should wait for it
// but the end of the process.
struct Workers {
  std::mutex mutex;
  std::condition_variable ended;
  int running = 0;
};

Workers& AllWorkers() {
  static Workers workers;
  return workers;
}

void WorkerStarts() {
  const std::lock_guard lock(AllWorkers().mutex);
  ++AllWorkers().running;
}

void WorkerEnds() {
  {
    const std::lock_guard lock(AllWorkers().mutex);
    --AllWorkers().running;
  }
  AllWorkers().ended.notify_all();
}

// The loader's rows, read by whoever reads them (the preview's reduction, the
// load's own loop) only while the load is still wanted.
class WantedRows final : public PixelSource {
 public:
  WantedRows(PictureLoader& loader, const std::atomic<bool>& cancel) : loader_(loader), cancel_(cancel) {}

  std::int32_t Width() const override { return loader_.Width(); }
  std::int32_t Height() const override { return loader_.Height(); }
  const Pixel32* Row(std::int32_t y) override { return Cancelled() ? nullptr : loader_.Row(y); }
  bool Cancelled() const { return cancel_.load(std::memory_order_relaxed); }

 private:
  PictureLoader& loader_;
  const std::atomic<bool>& cancel_;
};

// An area average of the rows as they are decoded; null when the preview
// would be empty or the rows stopped.
QImage ReducedPreview(PixelSource& rows, QSize size) {
  if (size.isEmpty()) {
    return QImage();
  }
  AreaResampler resampler(rows, size.width(), size.height());
  QImage preview(size, QImage::Format_RGB32);
  for (int y = 0; y < size.height(); ++y) {
    const CellAverage* cells = resampler.Line(y);
    if (cells == nullptr) {
      return QImage();
    }
    auto* line = reinterpret_cast<QRgb*>(preview.scanLine(y));
    for (int x = 0; x < size.width(); ++x) {
      line[x] = qRgb(cells[x].red, cells[x].green, cells[x].blue);
    }
  }
  return preview;
}

Outcome Failure(PictureError error) {
  Outcome outcome;
  outcome.kind = Outcome::Kind::kFailed;
  // Only a refusal over memory names it; a pixel cap or a damaged header does not.
  outcome.refusedForMemory = error.kind == PictureErrorKind::kOutOfMemory ||
                             (error.kind == PictureErrorKind::kOverLimit &&
                              error.sentence.find("memory") != std::string::npos);
  outcome.message = std::move(error.sentence);
  return outcome;
}

Outcome Cancelled() {
  Outcome outcome;
  outcome.kind = Outcome::Kind::kCancelled;
  return outcome;
}

}  // namespace

Outcome PictureLoadJob::Load(const QString& path, const PreviewSizer& previewSize, const std::atomic<bool>& cancel) {
  // A helper thread decodes ahead while this one reduces the rows to the
  // preview, so the picture is read once and the preview is ready with it.
  DecodeOptions options;
  options.decodeAhead = true;
  options.keepsPicture = true;
  options.cancel = &cancel;
  OpenedPicture opened = OpenPictureFile(QFile::encodeName(path).toStdString(), options);
  PictureError error = opened.error;
  const std::unique_ptr<PictureLoader> loader = opened ? PictureLoader::Open(std::move(opened.source), error) : nullptr;
  if (cancel) {
    return Cancelled();
  }
  if (!loader) {
    return Failure(std::move(error));
  }
  WantedRows rows(*loader, cancel);
  QImage preview = ReducedPreview(rows, previewSize(loader->Width(), loader->Height()));
  // Whatever rows the preview did not need, one at a time, so a cancel is
  // noticed between any two of them.
  for (std::int32_t y = 0; y < rows.Height() && rows.Row(y) != nullptr; ++y) {
  }
  if (rows.Cancelled()) {
    return Cancelled();
  }
  LoadedPicture decoded = loader->TakePicture();
  if (!decoded.Ok()) {
    return Failure(std::move(*decoded.error));
  }
  Outcome outcome;
  outcome.kind = Outcome::Kind::kLoaded;
  outcome.picture = std::move(decoded.picture);
  outcome.preview = std::move(preview);
  outcome.message = std::move(decoded.warning);
  return outcome;
}

PictureLoadJob::PictureLoadJob(const QString& path, PreviewSizer previewSize, Done done)
    : shared_(std::make_shared<Shared>()) {
  shared_->relay = &relay_;
  auto work = [shared = shared_, path, previewSize = std::move(previewSize), done = std::move(done)] {
    auto outcome = std::make_shared<Outcome>(Load(path, previewSize, shared->cancel));
    const std::lock_guard lock(shared->mutex);
    if (shared->relay != nullptr && outcome->kind != Outcome::Kind::kCancelled) {
      QMetaObject::invokeMethod(
          shared->relay, [done, outcome] { done(std::move(*outcome)); }, Qt::QueuedConnection);
    }
  };
  WorkerStarts();
  try {
    std::thread([work] {
      work();
      WorkerEnds();
    }).detach();
  } catch (const std::system_error&) {
    // No thread to spare: the load still happens, only without the window's answers meanwhile.
    work();
    WorkerEnds();
  }
}

PictureLoadJob::~PictureLoadJob() {
  shared_->cancel = true;
  const std::lock_guard lock(shared_->mutex);
  shared_->relay = nullptr;
}

bool PictureLoadJob::WorkersEndWithin(std::chrono::milliseconds timeout) {
  std::unique_lock lock(AllWorkers().mutex);
  return AllWorkers().ended.wait_for(lock, timeout, [] { return AllWorkers().running == 0; });
}

}  // namespace tessaglyph
