#include "sim/pty_posix.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace sk720::sim {
namespace {

volatile sig_atomic_t stopFlag = 0;

void onStopSignal(int) { stopFlag = 1; }

bool makeRaw(int fd) {
  termios t{};
  if (tcgetattr(fd, &t) != 0) return false;
  cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  return tcsetattr(fd, TCSANOW, &t) == 0;
}

std::string reason(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

}  // namespace

bool PtyLink::open(const std::string& linkPath, std::string& error) {
  close();
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (master_ < 0) {
    error = reason("posix_openpt");
    return false;
  }
  fcntl(master_, F_SETFD, FD_CLOEXEC);
  const char* name = nullptr;
  if (grantpt(master_) != 0 || unlockpt(master_) != 0 || !(name = ptsname(master_))) {
    error = reason("grantpt/unlockpt");
    close();
    return false;
  }
  slavePath_ = name;
  slave_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (slave_ < 0 || !makeRaw(slave_)) {
    error = reason(slavePath_.c_str());
    close();
    return false;
  }
  if (!linkPath.empty()) {
    struct stat st {};
    if (lstat(linkPath.c_str(), &st) == 0) {
      if (!S_ISLNK(st.st_mode)) {
        error = linkPath + " exists and is not a symbolic link";
        close();
        return false;
      }
      ::unlink(linkPath.c_str());
    }
    if (::symlink(slavePath_.c_str(), linkPath.c_str()) != 0) {
      error = reason(linkPath.c_str());
      close();
      return false;
    }
    link_ = linkPath;
  }
  return true;
}

int32_t PtyLink::write(const void* data, size_t size) {
  if (master_ < 0) return -1;
  const auto* p = static_cast<const uint8_t*>(data);
  size_t done = 0;
  bool flushed = false;
  while (done < size) {
    const ssize_t n = ::write(master_, p + done, size - done);
    if (n > 0) {
      done += size_t(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && !flushed) {
      tcflush(slave_, TCIFLUSH);
      flushed = true;
      continue;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    return -1;
  }
  return int32_t(done);
}

int32_t PtyLink::read(void* data, size_t size) {
  if (master_ < 0) return -1;
  const ssize_t n = ::read(master_, data, size);
  if (n >= 0) return int32_t(n);
  return (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) ? 0 : -1;
}

void PtyLink::close() {
  if (!link_.empty()) {
    // Another simulator may have taken the link over since: only a link to our own slave goes.
    char target[4096];
    const ssize_t n = ::readlink(link_.c_str(), target, sizeof target);
    if (n >= 0 && std::string(target, size_t(n)) == slavePath_) ::unlink(link_.c_str());
    link_.clear();
  }
  if (slave_ >= 0) ::close(slave_);
  if (master_ >= 0) ::close(master_);
  slave_ = master_ = -1;
  slavePath_.clear();
}

int openRawSerial(const std::string& path, int32_t baud, std::string& error) {
  speed_t speed;
  switch (baud) {
    case 4800:
      speed = B4800;
      break;
    case 9600:
      speed = B9600;
      break;
    case 19200:
      speed = B19200;
      break;
    case 38400:
      speed = B38400;
      break;
    case 57600:
      speed = B57600;
      break;
    case 115200:
      speed = B115200;
      break;
    default:
      error = "unsupported rate " + std::to_string(baud);
      return -1;
  }
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    error = reason(path.c_str());
    return -1;
  }
  termios t{};
  if (tcgetattr(fd, &t) != 0) {
    error = reason(path.c_str());
    ::close(fd);
    return -1;
  }
  cfmakeraw(&t);
  t.c_cflag &= ~tcflag_t(CSTOPB | PARENB | CRTSCTS);
  t.c_cflag |= CLOCAL | CREAD | CS8;
  cfsetispeed(&t, speed);
  cfsetospeed(&t, speed);
  if (tcsetattr(fd, TCSANOW, &t) != 0) {
    error = reason(path.c_str());
    ::close(fd);
    return -1;
  }
  return fd;
}

void watchStopSignals() {
  struct sigaction sa {};
  sa.sa_handler = onStopSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGHUP, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);
}

bool stopSignalled() { return stopFlag != 0; }

}  // namespace sk720::sim
