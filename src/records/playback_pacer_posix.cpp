#include "records/playback.h"

namespace sk720 {

std::unique_ptr<PlaybackPacer> makePlatformPacer() { return std::make_unique<SteadyPacer>(); }

}  // namespace sk720
