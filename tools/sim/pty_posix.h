#pragma once
// A pseudo-terminal standing in for a serial device, for the simulated GPS receiver and the
// simulated head: the simulator writes the master side, the program under test opens the slave
// side through a stable symbolic link (such as /tmp/sk720-gps). Native builds only.
#include <cstddef>
#include <cstdint>
#include <string>

namespace sk720::sim {

class PtyLink {
 public:
  PtyLink() = default;
  PtyLink(const PtyLink&) = delete;
  PtyLink& operator=(const PtyLink&) = delete;
  ~PtyLink() { close(); }

  // Opens a master in raw mode and, when linkPath is not empty, points linkPath at its slave
  // (an existing symbolic link there is replaced, any other file is left alone and fails).
  bool open(const std::string& linkPath, std::string& error);
  // Writes what the slave side can take; when nobody reads and its queue is full, the stale
  // queue is discarded first, as a line without a listener loses what was sent. Returns the
  // bytes written or -1 when the pseudo-terminal failed.
  int32_t write(const void* data, size_t size);
  // Reads what the slave side sent, without waiting; 0 when nothing is there, -1 on failure.
  int32_t read(void* data, size_t size);
  // Closes both sides and removes the link.
  void close();

  int masterFd() const { return master_; }
  const std::string& slavePath() const { return slavePath_; }

 private:
  int master_ = -1;
  int slave_ = -1;  // held open so that the raw settings stay and a reader can come and go
  std::string slavePath_;
  std::string link_;
};

// Opens a real serial device raw, 8N1, at one of the usual rates; -1 with a reason on failure.
int openRawSerial(const std::string& path, int32_t baud, std::string& error);

// SIGINT and SIGTERM raise a flag instead of ending the process, so that links get removed.
void watchStopSignals();
bool stopSignalled();

}  // namespace sk720::sim
