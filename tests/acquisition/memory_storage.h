#pragma once
// Record storage in memory for tests: files are byte vectors; an append can be made to fail.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "records/record_sink.h"

namespace sk720::testing {

class MemoryStorage : public RecordStorage {
 public:
  std::map<std::string, std::vector<uint8_t>> files;
  int32_t failAppendNumber = -1;  // the n-th append (0-based, over all files) fails to start
  int32_t appends = 0;

  bool ensureFolder(const std::string&) override { return true; }
  std::unique_ptr<RecordSink> create(const std::string& path) override {
    files[path].clear();
    return std::make_unique<Sink>(*this, path);
  }
  bool remove(const std::string& path) override { return files.erase(path) == 1; }

 private:
  class Sink : public RecordSink {
   public:
    Sink(MemoryStorage& s, std::string path) : s_(s), path_(std::move(path)) {}
    bool append(const uint8_t* data, uint32_t size) override {
      if (s_.appends++ == s_.failAppendNumber) return false;
      auto& f = s_.files[path_];
      f.insert(f.end(), data, data + size);
      return true;
    }
    int64_t finish() override { return int64_t(s_.files[path_].size()); }

   private:
    MemoryStorage& s_;
    std::string path_;
  };
};

}  // namespace sk720::testing
