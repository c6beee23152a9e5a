// What the model allocates in mdlStart and keeps through the block's user
// data: the block-signal record, first, so that slot 0 of the holder points
// at it, followed by the work-vector addresses resolved for the run and the
// results kept between restarts.
#ifndef ORVANE_MODEL_MODEL_RECORD_H
#define ORVANE_MODEL_MODEL_RECORD_H

#include <type_traits>

#include "model/block_signals.h"
#include "model/estimation/restart_memo.h"
#include "model/work_vectors.h"

struct ModelRecord {
    BlockSignals signals;
    WorkVectorTable vectors;
    est::RestartMemos memos;
};

// Slot 0 of the holder is read as the block-signal record as well.
static_assert(std::is_standard_layout_v<ModelRecord>);

// The record behind the block's user data, or null before mdlStart, after
// mdlTerminate, or when mdlStart could not allocate it.
inline ModelRecord* modelRecordOf(SimStruct* S) {
    auto* holder = static_cast<SignalHolder*>(ssGetUserData(S));
    return holder == nullptr ? nullptr : static_cast<ModelRecord*>(holder->slots[0]);
}

#endif  // ORVANE_MODEL_MODEL_RECORD_H
