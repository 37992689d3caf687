// A second thread for row processing: it takes one task at a time, such as turning half a
// block of lines into output lines while the calling thread does the other half.
//
// The thread is started with the first task, so a run that never hands one over never starts
// it. Tasks only compute: the files are read and written by the calling thread alone, so
// failures come up there, in the order of the lines, as without the helper.
#pragma once

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace talvo::driver {

class HelperThread {
 public:
  HelperThread() = default;
  HelperThread(const HelperThread&) = delete;
  HelperThread& operator=(const HelperThread&) = delete;
  // Waits for the task in hand, if any, and ends the thread.
  ~HelperThread();

  // Hands over a task; the one before must have been waited for. When no thread can be
  // started, the task runs here and now.
  void Start(std::function<void()> task);

  // Returns when the task is done, rethrowing what it threw.
  void Wait();

 private:
  void Loop();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  std::function<void()> task_;
  std::exception_ptr error_;
  bool busy_ = false;
  bool stop_ = false;
  std::thread thread_;  // last: started after everything it uses exists
};

}  // namespace talvo::driver
