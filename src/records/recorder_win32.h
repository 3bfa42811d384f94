#pragma once
// Record files on Windows: overlapped appends whose completion routines run during the working
// loop's alertable zero-time sleep; each write's block is freed by its routine.
#include <windows.h>

#include <cstdint>

#include "records/record_sink.h"

namespace sk720 {

RecordStorage& overlappedRecordStorage();

// Write blocks allocated and not yet freed by their completion routine (for tests).
int32_t overlappedBlocksOutstanding();

}  // namespace sk720
