#pragma once
// The record file as the recorder sees it: appends that may complete later, and the few file
// system operations around them. Windows writes with overlapped appends; elsewhere a stream.
#include <cstdint>
#include <memory>
#include <string>

namespace sk720 {

class RecordSink {
 public:
  virtual ~RecordSink() = default;
  // Starts appending a copy of the bytes (the caller may reuse its buffer at once). Appends land
  // in the order they were started. False when the append could not be started.
  virtual bool append(const uint8_t* data, uint32_t size) = 0;
  // Lets appends that have finished complete (the working loop's alertable zero-time sleep).
  virtual void completeFinished() {}
  // Bytes of started appends that have not landed yet (held in memory until they do).
  virtual uint64_t pendingBytes() const { return 0; }
  // Waits for every started append, closes the file and returns its size (-1 when unknown).
  virtual int64_t finish() = 0;
};

class RecordStorage {
 public:
  virtual ~RecordStorage() = default;
  // Creates the folder when it is not there (one level); false when it still is not.
  virtual bool ensureFolder(const std::string& folder) = 0;
  // Creates the file, truncating one of the same name; nullptr on failure.
  virtual std::unique_ptr<RecordSink> create(const std::string& path) = 0;
  virtual bool remove(const std::string& path) = 0;
};

// Plain buffered file streams, for systems without overlapped appends.
RecordStorage& streamRecordStorage();

}  // namespace sk720
