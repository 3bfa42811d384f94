// Temporary placeholders while the data-path commands are being written; replaced shortly.
#include "sk720/commands.h"
namespace sk720::cli {
int runSynth(const Args&) { return fail("synth: not available yet"); }
int runInfo(const Args&) { return fail("info: not available yet"); }
int runRender(const Args&) { return fail("render: not available yet"); }
}  // namespace sk720::cli
