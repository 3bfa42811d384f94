// The settings file written so that it survives a crash or a power cut: the new content reaches
// the disk before the rename makes it the settings file, and the rename itself is synced.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "settings/settings_file_backend.h"

namespace sk720 {

namespace {

bool writeAll(int fd, const std::string& content) {
  size_t done = 0;
  while (done < content.size()) {
    const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += size_t(n);
  }
  return true;
}

}  // namespace

bool writeFileDurably(const std::filesystem::path& file, const std::string& content) {
  const std::filesystem::path tmp = temporaryFileBeside(file);
  const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  const bool written = writeAll(fd, content) && ::fsync(fd) == 0;
  const bool closed = ::close(fd) == 0;
  std::error_code ec;
  if (!written || !closed || !replaceFileAtomically(tmp, file)) {
    std::filesystem::remove(tmp, ec);
    return false;
  }
  // The new directory entry; a failure here leaves the old file or the new one, both whole.
  const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : ".";
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

}  // namespace sk720
