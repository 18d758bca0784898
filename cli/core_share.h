#pragma once

#include <mutex>

namespace tessaglyph {

// The cores a batch may keep busy, shared by its jobs. Every job holds a
// core until it has no picture left; a picture gets a decode-ahead helper
// only when, as it starts, a core is left free by the jobs, the helpers
// already running and whatever else the system runs. Else the helper would
// only take turns with a job's thread and cost the hand-overs.
class CoreShare {
 public:
  // The cores this process may run on.
  static unsigned Cores();

  CoreShare(unsigned cores, unsigned jobs) : cores_(cores), busy_(jobs) {}

  // A job that has no picture left gives its core back.
  void JobDone();

  // One picture's helper, when a core is free for it, held until destroyed.
  class Helper {
   public:
    explicit Helper(CoreShare& share) : share_(share), granted_(share.TakeHelper()) {}
    ~Helper();
    Helper(const Helper&) = delete;
    Helper& operator=(const Helper&) = delete;
    bool Granted() const { return granted_; }

   private:
    CoreShare& share_;
    bool granted_;
  };

 private:
  // Threads ready to run on the whole system at this moment, ours too.
  static unsigned RunnableThreads();
  bool TakeHelper();

  const unsigned cores_;
  std::mutex mutex_;
  unsigned busy_;  // jobs with pictures left, and helpers
};

}  // namespace tessaglyph
