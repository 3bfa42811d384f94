#pragma once
// Whether a path given as input can be read, or as output written, and if not why, in words for
// the user. Checked before the work, so that a bad path costs no time.
#include <string>

namespace sk720::cli {

enum class InputKind {
  RegularFile,  // record files: a folder, pipe or device would block or never end
  Stream,       // NMEA logs: a pipe or a receiver's device is read to its end like a file
};

// Empty when `path` can be opened for reading as `kind`; otherwise the reason
// ("it is a folder, not a file", "Permission denied").
std::string unreadableReason(const std::string& path, InputKind kind);

// Empty when a file can be created (or replaced) at `path`; otherwise the reason. Leaves no file
// behind that was not there before.
std::string unwritableReason(const std::string& path);

// Empty when `folder` is a folder files can be created in, after creating it (and its parents)
// when it is missing; otherwise the reason.
std::string unusableFolderReason(const std::string& folder);

}  // namespace sk720::cli
