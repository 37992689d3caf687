#include "driver/helper_thread.h"

#include <system_error>
#include <utility>

namespace talvo::driver {

HelperThread::~HelperThread() {
  {
    std::unique_lock lock(mutex_);
    done_.wait(lock, [this] { return !busy_; });
    stop_ = true;
  }
  wake_.notify_one();
  if (thread_.joinable()) thread_.join();
}

void HelperThread::Start(std::function<void()> task) {
  {
    std::lock_guard lock(mutex_);
    task_ = std::move(task);
    busy_ = true;
  }
  if (!thread_.joinable()) {
    try {
      thread_ = std::thread(&HelperThread::Loop, this);
    } catch (const std::system_error&) {
      // No second thread to be had: the work is done all the same, only not beside the rest.
      std::function<void()> now;
      {
        std::lock_guard lock(mutex_);
        now = std::move(task_);
        task_ = nullptr;
      }
      try {
        now();
      } catch (...) {
        error_ = std::current_exception();
      }
      busy_ = false;
      return;
    }
  }
  wake_.notify_one();
}

void HelperThread::Wait() {
  std::unique_lock lock(mutex_);
  done_.wait(lock, [this] { return !busy_; });
  if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
}

void HelperThread::Loop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return task_ != nullptr || stop_; });
    if (task_ == nullptr) return;  // stopped with nothing in hand
    std::function<void()> task = std::move(task_);
    task_ = nullptr;
    lock.unlock();
    std::exception_ptr error;
    try {
      task();
    } catch (...) {
      error = std::current_exception();
    }
    lock.lock();
    error_ = error;
    busy_ = false;
    done_.notify_all();
  }
}

}  // namespace talvo::driver
