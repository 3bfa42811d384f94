#include "dialogs/notice_rules.h"

#include <algorithm>

namespace sk720 {

uint32_t noticeShowMs(NoticeKind kind, size_t characters) {
  if (kind == NoticeKind::Done) return kDoneNoticeMs;
  constexpr uint64_t kMsPerCharacter = 1000 / 15;
  const uint64_t reading = uint64_t(characters) * kMsPerCharacter;
  return uint32_t(std::clamp<uint64_t>(reading, kFailureNoticeMinMs, kFailureNoticeMaxMs));
}

}  // namespace sk720
