// What the model allocates in mdlStart and keeps through the block's user
// data: the block-signal record, first, so that slot 0 of the holder points
// at it, followed by the work-vector addresses resolved for the run and the
// results kept between restarts. Also the work vectors reached through the
// host, for the methods that run before those addresses are resolved.
#ifndef ORVANE_MODEL_MODEL_RECORD_H
#define ORVANE_MODEL_MODEL_RECORD_H

#include <cstdint>
#include <type_traits>

#include "contract/simstruc.h"
#include "model/estimation/restart_memo.h"
#include "model/record/block_signals.h"
#include "model/record/work_vectors.h"

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

inline double* dworkReal(SimStruct* S, int k) { return static_cast<double*>(ssGetDWork(S, k)); }
inline int32_t* dworkInt(SimStruct* S, int k) { return static_cast<int32_t*>(ssGetDWork(S, k)); }
inline bool* dworkBool(SimStruct* S, int k) { return static_cast<bool*>(ssGetDWork(S, k)); }

// The host allocates the work vectors before mdlStart and keeps them in
// place until it frees the block, so a sample reads each address with one
// load from the table instead of walking the host's record 300 times.
inline void resolveWorkVectors(SimStruct* S, WorkVectorTable& table) {
    for (int k = 0; k < kNumWorkVectors; ++k) table.data[k] = ssGetDWork(S, k);
}

#endif  // ORVANE_MODEL_MODEL_RECORD_H
