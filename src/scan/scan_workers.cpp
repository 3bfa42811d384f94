#include "scan/scan_workers.h"

#include <algorithm>
#include <system_error>

namespace sk720 {

namespace {
constexpr int32_t kMaxWorkers = 16;
}  // namespace

ScanWorkers::ScanWorkers(int32_t workers) {
  if (workers <= 0) workers = int32_t(std::thread::hardware_concurrency());
  workers = std::clamp(workers, 1, kMaxWorkers);
  threads_.reserve(size_t(workers - 1));
  for (int32_t w = 1; w < workers; ++w) {
    try {
      threads_.emplace_back(&ScanWorkers::loop, this, w);
    } catch (const std::system_error&) {
      break;  // the passes run on the threads there are
    }
  }
  count_ = int32_t(threads_.size()) + 1;
}

ScanWorkers::~ScanWorkers() {
  {
    std::lock_guard<std::mutex> g(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (std::thread& t : threads_) t.join();
}

void ScanWorkers::run(Task task, void* context) {
  if (count_ > 1) {
    {
      std::lock_guard<std::mutex> g(mutex_);
      task_ = task;
      context_ = context;
      running_ = count_ - 1;
      ++generation_;
    }
    wake_.notify_all();
  }
  task(context, 0);
  if (count_ > 1) {
    std::unique_lock<std::mutex> g(mutex_);
    finished_.wait(g, [this] { return running_ == 0; });
  }
}

void ScanWorkers::loop(int32_t worker) {
  uint64_t seen = 0;
  for (;;) {
    Task task;
    void* context;
    {
      std::unique_lock<std::mutex> g(mutex_);
      wake_.wait(g, [&] { return stopping_ || generation_ != seen; });
      if (stopping_) return;
      seen = generation_;
      task = task_;
      context = context_;
    }
    task(context, worker);
    bool last;
    {
      std::lock_guard<std::mutex> g(mutex_);
      last = --running_ == 0;
    }
    if (last) finished_.notify_one();
  }
}

}  // namespace sk720
