// Sleeping until another thread has changed something, the same way on every platform.
//
// The change itself is made in an atomic, outside any lock, by the thread that makes it; Notify
// then passes through the lock, so that a thread that looked at the atomic under the lock and
// found nothing has gone to sleep before it is woken, and the wake-up is never lost. (Waiting
// on the atomic itself is avoided: where the standard library has no futex to wait on, as in
// the Windows build, it has been seen to sleep through a notification.)
#pragma once

#include <condition_variable>
#include <mutex>

namespace talvo::driver {

class Wakeup {
 public:
  // Wakes every thread asleep in Wait; called once the change is made.
  void Notify() {
    { const std::lock_guard lock(mutex_); }
    changed_.notify_all();
  }
  // Sleeps until `done()` holds, looking at it under the lock.
  template <typename Done>
  void Wait(Done done) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, done);
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
};

}  // namespace talvo::driver
