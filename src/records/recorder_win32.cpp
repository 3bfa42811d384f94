#include "records/recorder_win32.h"

#include <atomic>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string>

#include "base/wide_text_win32.h"

namespace sk720 {
namespace {

std::atomic<int32_t> gBlocksOutstanding{0};

class OverlappedRecordSink;

// One write: the overlapped block first (the routine gets its address back), then the bytes,
// which must stay put until the write has finished.
struct WriteBlock {
  OVERLAPPED overlapped;
  OverlappedRecordSink* owner;
  uint32_t size;
  uint8_t data[1];
};

class OverlappedRecordSink : public RecordSink {
 public:
  explicit OverlappedRecordSink(HANDLE file) : file_(file) {}
  ~OverlappedRecordSink() override { finish(); }

  bool append(const uint8_t* data, uint32_t size) override {
    const size_t bytes = offsetof(WriteBlock, data) + (size ? size : 1);
    auto* block = static_cast<WriteBlock*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes));
    if (!block) return false;
    ++gBlocksOutstanding;
    // Both offset words all ones: append at the end of the file as it stands when the write runs.
    block->overlapped.Offset = 0xFFFFFFFF;
    block->overlapped.OffsetHigh = 0xFFFFFFFF;
    block->owner = this;
    block->size = size;
    std::memcpy(block->data, data, size);
    if (!WriteFileEx(file_, block->data, size, &block->overlapped, &writeDone)) {
      HeapFree(GetProcessHeap(), 0, block);
      --gBlocksOutstanding;
      return false;
    }
    ++pending_;
    pendingBytes_ += size;
    return true;
  }

  void completeFinished() override { SleepEx(0, TRUE); }
  uint64_t pendingBytes() const override { return pendingBytes_; }

  int64_t finish() override {
    if (file_ == INVALID_HANDLE_VALUE) return -1;
    // Closing with writes in flight would drop their completion routines (and leak the blocks),
    // and the size read below would miss them.
    for (int i = 0; pending_ > 0 && i < 1000; ++i) SleepEx(10, TRUE);
    DWORD high = 0;
    const DWORD low = GetFileSize(file_, &high);
    const bool known = !(low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR);
    CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
    return known ? (int64_t(high) << 32 | low) : -1;
  }

 private:
  static VOID CALLBACK writeDone(DWORD, DWORD, LPOVERLAPPED overlapped) {
    // Write failures are not looked at: the record is gone either way, the loop goes on.
    auto* block = reinterpret_cast<WriteBlock*>(overlapped);
    --block->owner->pending_;
    block->owner->pendingBytes_ -= block->size;
    HeapFree(GetProcessHeap(), 0, block);
    --gBlocksOutstanding;
  }

  HANDLE file_;
  // Touched only by the thread that writes (routines run on it).
  int32_t pending_ = 0;
  uint64_t pendingBytes_ = 0;
};

class OverlappedRecordStorage : public RecordStorage {
 public:
  bool ensureFolder(const std::string& folder) override {
    const std::wstring w = widen(folder);
    const DWORD a = GetFileAttributesW(w.c_str());
    if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY)) return true;
    return CreateDirectoryW(w.c_str(), nullptr) != 0;
  }
  std::unique_ptr<RecordSink> create(const std::string& path) override {
    const HANDLE h =
        CreateFileW(widen(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<OverlappedRecordSink>(h);
  }
  bool remove(const std::string& path) override { return DeleteFileW(widen(path).c_str()) != 0; }
};

}  // namespace

RecordStorage& overlappedRecordStorage() {
  static OverlappedRecordStorage storage;
  return storage;
}

int32_t overlappedBlocksOutstanding() { return gBlocksOutstanding.load(); }

}  // namespace sk720
