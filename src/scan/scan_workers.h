#pragma once
// A small pool of worker threads for the long passes of a paint (converting the whole map,
// counting or colouring every pixel). The threads start once and wait between passes; a pass
// allocates nothing. Portable: std::thread only.
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace sk720 {

class ScanWorkers {
 public:
  using Task = void (*)(void* context, int32_t worker);

  // workers counts the calling thread; 0 takes the machine's core count. Fewer threads than
  // asked run when the system refuses one.
  explicit ScanWorkers(int32_t workers = 0);
  ~ScanWorkers();
  ScanWorkers(const ScanWorkers&) = delete;
  ScanWorkers& operator=(const ScanWorkers&) = delete;

  int32_t count() const { return count_; }

  // Runs task(context, w) for every w in 0..count()-1, w 0 on the calling thread, and returns
  // when all have finished. One pass at a time.
  void run(Task task, void* context);

 private:
  void loop(int32_t worker);

  int32_t count_ = 1;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable finished_;
  Task task_ = nullptr;
  void* context_ = nullptr;
  uint64_t generation_ = 0;
  int32_t running_ = 0;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace sk720
