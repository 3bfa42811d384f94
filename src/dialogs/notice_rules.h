#pragma once
// How long the small notice window stays up: a completed action is confirmed in a glance, a
// failure stays long enough to be read (a click closes it earlier).
#include <cstddef>
#include <cstdint>

namespace sk720 {

enum class NoticeKind { Done, Failure };

constexpr uint32_t kDoneNoticeMs = 500;
constexpr uint32_t kFailureNoticeMinMs = 2000;
constexpr uint32_t kFailureNoticeMaxMs = 8000;

// Failures: about 15 characters a second of reading, within the bounds above.
uint32_t noticeShowMs(NoticeKind kind, size_t characters);

}  // namespace sk720
