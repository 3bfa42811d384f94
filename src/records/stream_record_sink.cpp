#include <filesystem>
#include <fstream>
#include <system_error>

#include "records/record_sink.h"

namespace sk720 {
namespace {

class StreamRecordSink : public RecordSink {
 public:
  explicit StreamRecordSink(const std::string& path)
      : path_(path), out_(path, std::ios::binary | std::ios::trunc) {}
  bool isOpen() const { return out_.is_open(); }

  bool append(const uint8_t* data, uint32_t size) override {
    out_.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    return bool(out_);
  }

  // Hands the record to the system once per record, so that an abrupt end of the process loses
  // nothing that was received before it.
  void completeFinished() override { out_.flush(); }

  int64_t finish() override {
    if (!out_.is_open()) return -1;
    out_.close();
    std::error_code ec;
    const auto size = std::filesystem::file_size(path_, ec);
    return ec ? -1 : int64_t(size);
  }

 private:
  std::string path_;
  std::ofstream out_;
};

class StreamRecordStorage : public RecordStorage {
 public:
  bool ensureFolder(const std::string& folder) override {
    std::error_code ec;
    if (std::filesystem::is_directory(folder, ec)) return true;
    std::filesystem::create_directory(folder, ec);
    return std::filesystem::is_directory(folder, ec);
  }
  std::unique_ptr<RecordSink> create(const std::string& path) override {
    auto sink = std::make_unique<StreamRecordSink>(path);
    if (!sink->isOpen()) return nullptr;
    return sink;
  }
  bool remove(const std::string& path) override {
    std::error_code ec;
    return std::filesystem::remove(path, ec);
  }
};

}  // namespace

RecordStorage& streamRecordStorage() {
  static StreamRecordStorage storage;
  return storage;
}

}  // namespace sk720
