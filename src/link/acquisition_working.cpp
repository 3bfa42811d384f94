#include <cstdio>
#include <vector>

#include "base/timestamp.h"
#include "link/acquisition.h"
#include "link/working_loop.h"
#include "records/ping_record.h"
#include "records/recorder.h"

namespace sk720 {
namespace {

WorkingExit runLoop(Acquisition& acq, const ThreadJob& job) {
  AcquisitionState& st = acq.state;
  if (!acq.headPort) return WorkingExit::NoPort;
  SerialPort& port = *acq.headPort;
  Clock& clock = acq.clock;

  RecordFile file;
  if (!openRecordFile(acq.storage, job.workingFolder, FormatTimestamp(), file, acq.statusText)) {
    return WorkingExit::FileFailed;
  }
  acq.setRecordPath(file.path);

  KeepAlive keepAlive(clock);
  HeadingFix heading = HeadingFix::startingAt(clock.nowMs());
  // Without a receiver of its own the session records no position: the shared fix may still hold
  // one that playback took from a file.
  const GpsFix noReceiver;
  RecorderShared shared{st.recordEvent, acq.gpsPort ? acq.gps : noReceiver, acq.inputs,
                        acq.statusText};
  std::vector<uint8_t> buffer(kRecordBufferSize);
  uint8_t* record = buffer.data();
  RecordReader reader(&st.stopRequest);
  int32_t previousLine = -1;
  int32_t previousSide = st.previousTurnSide.load();
  uint32_t count = 0;
  WorkingExit exit = WorkingExit::Stopped;

  for (;;) {
    const int32_t r = ReadPingRecord(port, record, clock, reader);
    if (r == kReadFailed) {
      exit = WorkingExit::PortFailed;
      break;
    }
    const DataHeader h = r >= 0 ? parseDataHeader(record) : DataHeader{};
    if (r >= 0 && h.angle != kNoEchoAngle) {
      if (keepAlive.afterRecord(port, r, h.angle)) st.keepAlivesSent.fetch_add(1);
      ++count;
      st.recordsReceived.fetch_add(1, std::memory_order_relaxed);
      char text[96];
      std::snprintf(text, sizeof text, " data Receive = %s, count : %u\n\n",
                    FormatTimestamp().c_str(), count);
      linkDiagnostic(text);

      // The head-up bit in force is the previous record's.
      const bool headUp = (acq.inputs.lastCommandWord.load(std::memory_order_relaxed) >> 4) & 1;
      if (detectTurn(previousSide, lineIndexOf(h.angle, headUp))) {
        acq.inputs.turnCompleted.store(1, std::memory_order_relaxed);
        st.turns.fetch_add(1, std::memory_order_relaxed);
      }
      st.previousTurnSide.store(previousSide, std::memory_order_relaxed);
      acq.inputs.lastDeviceId.store(h.deviceid, std::memory_order_relaxed);
      acq.inputs.lastCommandWord.store(h.commandid, std::memory_order_relaxed);
      acq.inputs.currentRangeMm.store(RangeFromRecordLength(h.samples), std::memory_order_relaxed);

      if (!recordPing(file, record, shared)) {
        exit = WorkingExit::WriteFailed;
        break;
      }
      st.recordsWritten.store(file.recordsWritten, std::memory_order_relaxed);
      st.bytesWritten.store(file.bytesWritten, std::memory_order_relaxed);
      file.sink->completeFinished();

      if (!st.stopRequest.load() && st.hold.load(std::memory_order_relaxed) == 0) {
        const ViewSettings view = acq.viewSettings();
        previousLine = storeEchoLine(acq.store, record, headUp, view, previousLine);
        acq.store.currentLineIndex.store(previousLine, std::memory_order_relaxed);
        updateHeading(heading, h, clock.nowMs(), acq.inputs);
      }
    }
    // After every reader result, time-outs included: a silent head must not delay a stop.
    if (st.stopRequest.load()) break;
  }
  closeRecordFile(acq.storage, file);
  return exit;
}

}  // namespace

WorkingExit WorkingThread(const ThreadJob& job) {
  Acquisition& acq = *job.acquisition;
  AcquisitionState& st = acq.state;
  st.workingRunning.store(true);
  st.recordsReceived.store(0);
  st.recordsWritten.store(0);
  st.bytesWritten.store(0);
  st.turns.store(0);
  st.keepAlivesSent.store(0);
  st.workingLoopsStarted.fetch_add(1);
  acq.observer->workingThreadStarted();
  const WorkingExit exit = runLoop(acq, job);
  st.recordEvent.store(false);
  st.workingExit.store(exit);
  st.workingRunning.store(false);
  return exit;
}

}  // namespace sk720
