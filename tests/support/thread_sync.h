// Ordering threads in tests, over a mutex and a condition variable. The Windows toolchain's
// std::latch and std::counting_semaphore (libstdc++ 12 without a native wait) can miss a
// wake-up and hang a test now and then; these cannot.
#pragma once

#include <condition_variable>
#include <mutex>

namespace pt::test {

// Opens once its count has been counted down to zero; wait blocks until then.
class latch {
 public:
  explicit latch(int count) : count_(count) {}
  void count_down() {
    std::lock_guard<std::mutex> held(mutex_);
    if (--count_ <= 0)
      changed_.notify_all();
  }
  void wait() {
    std::unique_lock<std::mutex> held(mutex_);
    changed_.wait(held, [&] { return count_ <= 0; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int count_;
};

// A counting semaphore.
class semaphore {
 public:
  void release() {
    std::lock_guard<std::mutex> held(mutex_);
    ++count_;
    changed_.notify_one();
  }
  void acquire() {
    std::unique_lock<std::mutex> held(mutex_);
    changed_.wait(held, [&] { return count_ > 0; });
    --count_;
  }
  bool try_acquire() {
    std::lock_guard<std::mutex> held(mutex_);
    if (count_ == 0)
      return false;
    --count_;
    return true;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int count_ = 0;
};

}  // namespace pt::test
