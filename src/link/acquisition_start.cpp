#include <memory>
#include <string>
#include <system_error>

#include "gps/gps_reader.h"
#include "link/acquisition.h"

namespace sk720 {

StartResult startSonar(Acquisition& acq) {
  AcquisitionState& st = acq.state;
  if (!acq.headPort) return StartResult::LoadFailed;

  deriveSonarParams(acq.settings, acq.params, st.headBaud.load());
  ViewSettings view = acq.viewSettings();
  view.hold = 0;  // a new start always shows live data
  acq.setViewSettings(view);
  const SonarParamBlocks blocks =
      buildParamBlocks(acq.params, acq.tunable, acq.settings.rangeIndex);

  // Owned here until a thread takes them; an abandoned start frees them on the way out.
  auto workingJob = std::make_shared<ThreadJob>(ThreadJob{&acq, acq.workingFolder()});
  auto gpsJob = std::make_shared<ThreadJob>(ThreadJob{&acq, std::string()});

  st.recordEvent.store(false);  // no recording while the head is reconfigured
  auto stopWorking = [&acq] {
    RIZ720_StopWorkingThread(acq.state.stopRequest, &acq.workingThread);
    // Never load the head beside a loop that still reads the port.
    while (acq.workingThread.valid() && !acq.workingThread.joinFor(1000)) {
    }
  };
  const int32_t loaded = loadHeadParameters(*acq.headPort, blocks.block0, blocks.block1,
                                            stopWorking, acq.clock, &st.linkStopRequest);
  if (st.linkStopRequest.load()) return StartResult::Stopped;
  if (loaded < 0) return StartResult::LoadFailed;

  st.stopRequest.store(false);
  st.stopEventCreated.store(true);
  // A stop that came while the loading finished must not be lost with the reset
  // above: the stop sets the link request before the stop event.
  if (st.linkStopRequest.load()) return StartResult::Stopped;

  try {
    if (!acq.gpsThread.valid()) {
      st.gpsStopRequest.store(false);
      acq.gpsThread.start([gpsJob] {
        Acquisition& a = *gpsJob->acquisition;
        if (!a.gpsPort) return;
        a.gpsSentence.set(std::string());
        a.state.gpsReading.store(true);
        runGpsReader(*a.gpsPort, a.gps, a.state.gpsStopRequest, &a.gpsSentence);
        a.state.gpsReading.store(false);
      });
    }
  } catch (const std::system_error& e) {
    acq.observer->threadStartFailed(e.what());
    return StartResult::ThreadFailed;
  }

  // The range before the new loop can publish its own.
  const int32_t previousRange = acq.inputs.currentRangeMm.load();

  // Recording resumes before the loop reads its first record, so that none is missed.
  const bool resume = st.recordingActive.load() == 1;
  if (resume) st.recordEvent.store(true);
  st.workingRunning.store(true);
  try {
    acq.workingThread.start([workingJob] { WorkingThread(*workingJob); });
  } catch (const std::system_error& e) {
    st.workingRunning.store(false);
    st.recordEvent.store(false);
    acq.observer->threadStartFailed(e.what());
    return StartResult::ThreadFailed;
  }
  if (resume) acq.observer->recordingResumed();

  const int32_t range = kRangeValuesMm[acq.settings.rangeIndex];
  acq.inputs.currentRangeMm.store(range);
  if (range != previousRange) acq.observer->resetView();
  acq.observer->stopPlayback();
  return StartResult::Started;
}

}  // namespace sk720
