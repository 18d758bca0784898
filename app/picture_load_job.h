#pragma once

#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "picture/working_picture.h"

namespace tessaglyph {

// Decodes one picture for the window on a worker thread, so the window keeps
// answering while a large or hostile file is read. Every call the window makes
// into decoding is here. The outcome comes back through the event loop of the
// thread that started the job; a job destroyed first (a new choice, a closed
// window) cancels the decoding and never answers.
class PictureLoadJob {
 public:
  struct Outcome {
    enum class Kind { kLoaded, kFailed, kCancelled };
    Kind kind = Kind::kFailed;
    WorkingPicture picture;
    // The preview reduced from the rows as they were decoded, at the size
    // asked for; null when that size is empty.
    QImage preview;
    // The reason of a failure, else the decoder's warning (empty when the
    // picture is sound), in the decoder's own words.
    std::string message;
    // Refused because holding the whole picture would exceed the memory the
    // window may use; the command-line converter, which streams rows, can
    // still convert it.
    bool refusedForMemory = false;
  };
  using Done = std::function<void(Outcome)>;
  // The preview's size in device pixels for a picture of width x height;
  // called on the worker thread.
  using PreviewSizer = std::function<QSize(int width, int height)>;

  // Starts decoding the file at path. done runs on the calling thread, from
  // its event loop.
  PictureLoadJob(const QString& path, PreviewSizer previewSize, Done done);
  ~PictureLoadJob();
  PictureLoadJob(const PictureLoadJob&) = delete;
  PictureLoadJob& operator=(const PictureLoadJob&) = delete;

  // The whole load on the calling thread: decoding, the preview from the rows
  // as they come, and the cancel flag checked between rows.
  static Outcome Load(const QString& path, const PreviewSizer& previewSize, const std::atomic<bool>& cancel);

  // Waits up to timeout for the workers of jobs that are gone to notice it;
  // false while one is still busy (a decoder deep in a long open). Static
  // destructors must not run under such a worker: the process then ends
  // with _Exit.
  static bool WorkersEndWithin(std::chrono::milliseconds timeout);

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
  // Answers arrive as events posted to it: destroyed with the job, it takes
  // an answer still under way with it.
  QObject relay_;
};

}  // namespace tessaglyph
