#include "sk720/path_checks.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "base/utf16.h"

namespace sk720::cli {

namespace fs = std::filesystem;

std::string unreadableReason(const std::string& path, InputKind kind) {
  std::error_code ec;
  const fs::file_status st = fs::status(pathFromUtf8(path), ec);
  if (ec || !fs::exists(st)) {
    return ec ? ec.message() : std::string("no such file");
  }
  switch (st.type()) {
    case fs::file_type::regular:
      break;
    case fs::file_type::directory:
      return "it is a folder, not a file";
    case fs::file_type::fifo:
      if (kind == InputKind::Stream) break;
      return "it is a pipe, not a record file";
    case fs::file_type::character:
    case fs::file_type::block:
      if (kind == InputKind::Stream) break;
      return "it is a device, not a record file";
    case fs::file_type::socket:
      return "it is a socket, not a file";
    default:
      return "it is not a regular file";
  }
  // A pipe would block this test open until a writer comes; its own open does that anyway.
  if (st.type() != fs::file_type::regular) return {};
  errno = 0;
  std::ifstream probe(pathFromUtf8(path), std::ios::binary);
  if (!probe.is_open()) return errno != 0 ? std::strerror(errno) : "it cannot be opened";
  return {};
}

std::string unwritableReason(const std::string& path) {
  const fs::path p = pathFromUtf8(path);
  std::error_code ec;
  const fs::file_status st = fs::status(p, ec);
  if (fs::is_directory(st)) return "it is a folder, not a file";
  const bool existed = fs::exists(st);
  errno = 0;
  {
    std::ofstream probe(p, std::ios::binary | std::ios::app);
    if (!probe.is_open()) return errno != 0 ? std::strerror(errno) : "it cannot be created";
  }
  if (!existed) fs::remove(p, ec);
  return {};
}

std::string unusableFolderReason(const std::string& folder) {
  const fs::path p = pathFromUtf8(folder);
  std::error_code ec;
  const fs::file_status st = fs::status(p, ec);
  if (fs::exists(st) && !fs::is_directory(st)) return "it is a file, not a folder";
  if (!fs::exists(st) && !fs::create_directories(p, ec) && ec) return ec.message();
  // The record file's own name cannot clash with this one.
  return unwritableReason(pathToUtf8(p / ".sk720-write-test"));
}

}  // namespace sk720::cli
