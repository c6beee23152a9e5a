// The per-block record of the simulation host and the accessors that block
// code uses on it. Block code (the model, the S-function frame, the cast
// block) reaches the host only through the names below, so the same sources
// read as code written against the real host's header.
//
// Everything here is a plain record or a static inline function over it: a
// deliverable that includes this header imports no function for it. The
// record needs mxArray only as an opaque pointer, so it pairs with any MEX
// header.
#ifndef ORVANE_CONTRACT_SIMSTRUC_H
#define ORVANE_CONTRACT_SIMSTRUC_H

#include <cstdint>
#include <cstring>

#include "contract/host_types.h"

#ifndef ORVANE_MXARRAY_DECLARED
#define ORVANE_MXARRAY_DECLARED
#if defined(ORVANE_OCTAVE_MEX)
typedef void mxArray;  // as GNU Octave's MEX header declares it
#else
typedef struct mxArray_tag mxArray;
#endif
#endif

struct SimStruct_tag;
typedef struct SimStruct_tag SimStruct;

// Entries of the 40-word sizes record that the sizes query copies out.
enum SizesEntry : int {
    kSizesNumContStates = 0,
    kSizesNumOutputPorts = 2,
    kSizesNumInputPorts = 3,
    kSizesNumSampleTimes = 6,
    kSizesNumSFcnParams = 7,
    kSizesChecksum0 = 15,
    kSizesVersion = 19,
    kSizesNumNonsampledZCs = 20,
    kSizesOptions = 23,
    kSizesRTWGeneratedSFcn = 30,
    kSizesFlags = 31,
    kSizesCount = 40,
};

// Bits of the sizes-flags entry.
constexpr int32_t kSizesFlagDimsMethods = 0x1;        // port-size slots take a dimensions record
constexpr int32_t kSizesFlagPortCountsRegistered = 0x2;

constexpr int SS_SIMMODE_NORMAL = 0;
constexpr int SS_SIMMODE_SIZES_CALL_ONLY = 1;

constexpr int SS_NOT_REUSABLE_AND_GLOBAL = 0;
constexpr int SS_REUSABLE_AND_LOCAL = 1;

constexpr int SS_DWORK_USED_AS_DWORK = 0;
constexpr int SS_DWORK_USED_AS_DSTATE = 1;

constexpr double INHERITED_SAMPLE_TIME = -1.0;

// Requests of the host's generic service function.
constexpr int GEN_FCN_SUPPORTS_MULTI_EXEC_INSTANCES = 197;
constexpr int GEN_FCN_HAS_STATE_INSIDE_FOR_EACH = 207;
constexpr int GEN_FCN_REGISTER_MULTI_EXEC_REFUSAL = 268;
constexpr int GEN_FCN_SIZES_CALL_FROM_BLOCK = 280;

// Dimensions record handed to the host's port-dimension registration.
struct DimsInfo_T {
    int width;
    int numDims;
    int* dims;
    DimsInfo_T* nextSigDims;
};
constexpr DimsInfo_T DECL_AND_INIT_DIMSINFO_DEFAULT = {-1, -1, nullptr, nullptr};

typedef const void* const* InputPtrsType;
typedef const double* const* InputRealPtrsType;

struct SsInputPort {
    int width;
    int dataType;
    int complexSignal;
    int directFeedThrough;
    double sampleTime;
    double offsetTime;
    int optimOpts;
    int overWritable;
    int requiredContiguous;
    int frameData;
    const void* const* signalPtrs;  // element pointers, one per element
    const void* signal;             // contiguous buffer, when the host has one
};

struct SsOutputPort {
    int width;
    int dataType;
    int complexSignal;
    double sampleTime;
    double offsetTime;
    int optimOpts;
    int frameData;
    void* signal;
};

constexpr int kDWorkNameCapacity = 32;

struct SsDWork {
    int width;
    int dataType;
    int complexSignal;
    int usedAs;
    void* array;
    char name[kDWorkNameCapacity];
};

struct SsModelInfo {
    int fatalReportFlag;  // set when a fatal error dialog was raised
};

// Method slots, one per block method.
typedef void (*mdlVoidFcn)(SimStruct*);
typedef void (*mdlTidFcn)(SimStruct*, int);
typedef void (*mdlPortIntFcn)(SimStruct*, int, int);
typedef void (*mdlPortDimsFcn)(SimStruct*, int, const DimsInfo_T*);
typedef void (*mdlPortTimeFcn)(SimStruct*, int, double, double);

// The width methods and the dimension-info methods share one slot per
// direction; the dimensions-method flag of the sizes record says which kind
// the slot holds.
union SsPortSizeSlot {
    mdlPortIntFcn width;
    mdlPortDimsFcn dims;
};

struct SsMethods {
    mdlVoidFcn mdlInitializeSizes;
    mdlVoidFcn mdlInitializeSampleTimes;
    mdlVoidFcn mdlInitializeConditions;
    mdlVoidFcn mdlStart;
    mdlVoidFcn mdlGetTimeOfNextVarHit;
    mdlTidFcn mdlOutputs;
    mdlTidFcn mdlUpdate;
    mdlVoidFcn mdlZeroCrossings;
    mdlVoidFcn mdlTerminate;
    mdlVoidFcn mdlSetWorkWidths;
    mdlVoidFcn mdlCheckParameters;
    mdlPortIntFcn mdlSetInputPortDataType;
    mdlPortIntFcn mdlSetOutputPortDataType;
    SsPortSizeSlot inputPortSize;
    SsPortSizeSlot outputPortSize;
    mdlPortIntFcn mdlSetInputPortComplexSignal;
    mdlPortIntFcn mdlSetOutputPortComplexSignal;
    mdlPortTimeFcn mdlSetInputPortSampleTime;
    mdlPortTimeFcn mdlSetOutputPortSampleTime;
    mdlPortIntFcn mdlSetInputPortFrameData;
    mdlVoidFcn mdlSetDefaultPortDimensionInfo;
    mdlVoidFcn mdlSetDefaultPortDataTypes;
    mdlVoidFcn mdlSetDefaultPortComplexSignals;
    mdlPortIntFcn mdlInitializePropagationPass_;  // (S, port index, unused)
};

// Registration functions the host places in the record; any may be absent.
typedef int (*SsPortCountFcn)(void* context, int count);
typedef int (*SsPortDimsFcn)(SimStruct* S, int port, const DimsInfo_T* dims);
typedef int (*SsNumDWorkFcn)(SimStruct* S, int count);
typedef int (*SsGenericFcn)(SimStruct* S, int request, int intArg, void* data);

struct SsRegistration {
    SsPortCountFcn setNumInputPorts;
    void* inputPortsContext;
    SsPortCountFcn setNumOutputPorts;
    void* outputPortsContext;
    SsPortDimsFcn setInputPortDims;
    SsPortDimsFcn setOutputPortDims;
    SsNumDWorkFcn setNumDWork;
    SsGenericFcn genericFcn;
};

// Values the host posts before a propagation call; kept apart from the 40
// entries that the sizes query copies.
struct SsPosted {
    int portIndex;  // also the constant-task marker (-2) for mdlOutputs
    int proposedInt;
    double proposedSampleTime;
    double proposedOffsetTime;
    const DimsInfo_T* proposedDims;
};

constexpr int kMaxSampleTimes = 4;

struct SimStruct_tag {
    int32_t sizes[kSizesCount];
    SsPosted posted;
    SsMethods methods;
    SsRegistration regs;

    const char* modelName;
    const char* path;
    int simMode;
    void* blockHandle;  // null when the frame made the record itself
    int sfcnParamsCount;
    const mxArray** sfcnParams;

    SsInputPort* inputPorts;
    SsOutputPort* outputPorts;
    SsDWork* dwork;
    int dworkCapacity;

    double sampleTimes[kMaxSampleTimes];
    double offsetTimes[kMaxSampleTimes];

    void* userData;
    const char* errorStatus;
    SsModelInfo* modelInfo;
    SimStruct* root;

    void* hostContext;  // the host's own object behind this record
};

// ---------------------------------------------------------------- root, names
static inline SimStruct* ssGetRootSS(SimStruct* S) { return S->root != nullptr ? S->root : S; }
static inline const char* ssGetModelName(const SimStruct* S) { return S->modelName; }
static inline const char* ssGetPath(const SimStruct* S) { return S->path; }
static inline int ssGetSimMode(const SimStruct* S) { return S->simMode; }
static inline SsModelInfo* ssGetModelInfo(SimStruct* S) { return ssGetRootSS(S)->modelInfo; }

// ---------------------------------------------------------------- error status
static inline void ssSetErrorStatus(SimStruct* S, const char* msg) { ssGetRootSS(S)->errorStatus = msg; }
static inline const char* ssGetErrorStatus(SimStruct* S) { return ssGetRootSS(S)->errorStatus; }

// ---------------------------------------------------------------- counts
static inline void ssSetNumSampleTimes(SimStruct* S, int n) { S->sizes[kSizesNumSampleTimes] = n; }
static inline void ssSetNumContStates(SimStruct* S, int n) { S->sizes[kSizesNumContStates] = n; }
static inline void ssSetNumDiscStates(SimStruct* S, int n) { (void)S; (void)n; }
static inline void ssSetNumNonsampledZCs(SimStruct* S, int n) { S->sizes[kSizesNumNonsampledZCs] = n; }
static inline void ssSetNumRWork(SimStruct* S, int n) { (void)S; (void)n; }
static inline void ssSetNumIWork(SimStruct* S, int n) { (void)S; (void)n; }
static inline void ssSetNumPWork(SimStruct* S, int n) { (void)S; (void)n; }
static inline void ssSetNumModes(SimStruct* S, int n) { (void)S; (void)n; }
static inline void ssSetNumSFcnParams(SimStruct* S, int n) { S->sizes[kSizesNumSFcnParams] = n; }
static inline int ssGetNumSFcnParams(const SimStruct* S) { return S->sizes[kSizesNumSFcnParams]; }
static inline int ssGetSFcnParamsCount(const SimStruct* S) { return S->sfcnParamsCount; }
static inline const mxArray* ssGetSFcnParam(const SimStruct* S, int i) { return S->sfcnParams[i]; }
static inline void ssSetOptions(SimStruct* S, uint32_t options) { S->sizes[kSizesOptions] = static_cast<int32_t>(options); }
static inline uint32_t ssGetOptions(const SimStruct* S) { return static_cast<uint32_t>(S->sizes[kSizesOptions]); }
static inline void ssSetRTWGeneratedSFcn(SimStruct* S, int v) { S->sizes[kSizesRTWGeneratedSFcn] = v; }
static inline void ssSetVersion(SimStruct* S, int v) { S->sizes[kSizesVersion] = v; }
static inline void ssSetChecksumVal(SimStruct* S, int i, uint32_t v) { S->sizes[kSizesChecksum0 + i] = static_cast<int32_t>(v); }
static inline uint32_t ssGetChecksumVal(const SimStruct* S, int i) { return static_cast<uint32_t>(S->sizes[kSizesChecksum0 + i]); }

static inline bool ssSetNumInputPorts(SimStruct* S, int n) {
    if (S->regs.setNumInputPorts == nullptr) return false;
    return S->regs.setNumInputPorts(S->regs.inputPortsContext, n) != 0;
}
static inline bool ssSetNumOutputPorts(SimStruct* S, int n) {
    if (S->regs.setNumOutputPorts == nullptr) return false;
    return S->regs.setNumOutputPorts(S->regs.outputPortsContext, n) != 0;
}
static inline int ssGetNumInputPorts(const SimStruct* S) { return S->sizes[kSizesNumInputPorts]; }
static inline int ssGetNumOutputPorts(const SimStruct* S) { return S->sizes[kSizesNumOutputPorts]; }

// ---------------------------------------------------------------- ports
static inline void ssSetInputPortWidth(SimStruct* S, int p, int w) { S->inputPorts[p].width = w; }
static inline int ssGetInputPortWidth(const SimStruct* S, int p) { return S->inputPorts[p].width; }
static inline void ssSetInputPortDataType(SimStruct* S, int p, int t) { S->inputPorts[p].dataType = t; }
static inline int ssGetInputPortDataType(const SimStruct* S, int p) { return S->inputPorts[p].dataType; }
static inline void ssSetInputPortComplexSignal(SimStruct* S, int p, int c) { S->inputPorts[p].complexSignal = c; }
static inline void ssSetInputPortSampleTime(SimStruct* S, int p, double t) { S->inputPorts[p].sampleTime = t; }
static inline void ssSetInputPortOffsetTime(SimStruct* S, int p, double t) { S->inputPorts[p].offsetTime = t; }
static inline void ssSetInputPortOptimOpts(SimStruct* S, int p, int o) { S->inputPorts[p].optimOpts = o; }
static inline void ssSetInputPortOverWritable(SimStruct* S, int p, int v) { S->inputPorts[p].overWritable = v; }
static inline void ssSetInputPortRequiredContiguous(SimStruct* S, int p, int v) { S->inputPorts[p].requiredContiguous = v; }
static inline void ssSetInputPortFrameData(SimStruct* S, int p, int v) { S->inputPorts[p].frameData = v; }
static inline const void* ssGetInputPortSignal(const SimStruct* S, int p) { return S->inputPorts[p].signal; }
// Direct feedthrough is stored only through the guarded setter below
// (ssSetInputPortDirectFeedThrough); this is the unguarded store it ends in.
static inline void ssStoreInputPortDirectFeedThrough(SimStruct* S, int p, int v) { S->inputPorts[p].directFeedThrough = v; }
// The unguarded element-pointer read; block code reads through the guarded
// ssGetInputPortSignalPtrs below instead.
static inline const void* const* ssReadInputPortSignalPtrs(const SimStruct* S, int p) { return S->inputPorts[p].signalPtrs; }

static inline void ssSetOutputPortWidth(SimStruct* S, int p, int w) { S->outputPorts[p].width = w; }
static inline int ssGetOutputPortWidth(const SimStruct* S, int p) { return S->outputPorts[p].width; }
static inline void ssSetOutputPortDataType(SimStruct* S, int p, int t) { S->outputPorts[p].dataType = t; }
static inline int ssGetOutputPortDataType(const SimStruct* S, int p) { return S->outputPorts[p].dataType; }
static inline void ssSetOutputPortComplexSignal(SimStruct* S, int p, int c) { S->outputPorts[p].complexSignal = c; }
static inline void ssSetOutputPortSampleTime(SimStruct* S, int p, double t) { S->outputPorts[p].sampleTime = t; }
static inline void ssSetOutputPortOffsetTime(SimStruct* S, int p, double t) { S->outputPorts[p].offsetTime = t; }
static inline void ssSetOutputPortOptimOpts(SimStruct* S, int p, int o) { S->outputPorts[p].optimOpts = o; }
static inline void* ssGetOutputPortSignal(const SimStruct* S, int p) { return S->outputPorts[p].signal; }

// ---------------------------------------------------------------- sample times
static inline void ssSetSampleTime(SimStruct* S, int i, double t) {
    if (i >= 0 && i < kMaxSampleTimes) S->sampleTimes[i] = t;
}
static inline void ssSetOffsetTime(SimStruct* S, int i, double t) {
    if (i >= 0 && i < kMaxSampleTimes) S->offsetTimes[i] = t;
}
static inline double ssGetSampleTime(const SimStruct* S, int i) { return S->sampleTimes[i]; }
static inline double ssGetOffsetTime(const SimStruct* S, int i) { return S->offsetTimes[i]; }

// ---------------------------------------------------------------- work vectors
static inline bool ssSetNumDWork(SimStruct* S, int n) {
    if (S->regs.setNumDWork == nullptr) return false;
    return S->regs.setNumDWork(S, n) != 0;
}
static inline int ssGetNumDWork(const SimStruct* S) { return S->dworkCapacity; }
static inline void ssSetDWorkName(SimStruct* S, int k, const char* name) {
    std::strncpy(S->dwork[k].name, name, kDWorkNameCapacity - 1);
    S->dwork[k].name[kDWorkNameCapacity - 1] = '\0';
}
static inline void ssSetDWorkWidth(SimStruct* S, int k, int w) { S->dwork[k].width = w; }
static inline void ssSetDWorkDataType(SimStruct* S, int k, int t) { S->dwork[k].dataType = t; }
static inline void ssSetDWorkComplexSignal(SimStruct* S, int k, int c) { S->dwork[k].complexSignal = c; }
static inline void ssSetDWorkUsedAsDState(SimStruct* S, int k, int used) {
    S->dwork[k].usedAs = used != 0 ? SS_DWORK_USED_AS_DSTATE : SS_DWORK_USED_AS_DWORK;
}
static inline void* ssGetDWork(const SimStruct* S, int k) { return S->dwork[k].array; }
static inline int ssGetDWorkWidth(const SimStruct* S, int k) { return S->dwork[k].width; }

// ---------------------------------------------------------------- user data
static inline void* ssGetUserData(const SimStruct* S) { return S->userData; }
static inline void ssSetUserData(SimStruct* S, void* p) { S->userData = p; }

// ---------------------------------------------------------------- host requests
static inline int ssCallGenericFcn(SimStruct* S, int request, int intArg, void* data) {
    if (S->regs.genericFcn == nullptr) return 0;
    return S->regs.genericFcn(S, request, intArg, data);
}
static inline void ssSupportsMultipleExecInstances(SimStruct* S, bool v) {
    if (S->blockHandle != nullptr) ssCallGenericFcn(S, GEN_FCN_SUPPORTS_MULTI_EXEC_INSTANCES, v ? 1 : 0, nullptr);
}
static inline void ssHasStateInsideForEachSS(SimStruct* S, bool v) {
    if (S->blockHandle != nullptr) ssCallGenericFcn(S, GEN_FCN_HAS_STATE_INSIDE_FOR_EACH, v ? 1 : 0, nullptr);
}
static inline void ssRegisterMsgForNotSupportingMultiExecInst(SimStruct* S, const char* msg) {
    ssCallGenericFcn(S, GEN_FCN_REGISTER_MULTI_EXEC_REFUSAL, 0, const_cast<char*>(msg));
}

// ---------------------------------------------------------------- guarded services
// Compiled into every block that calls them (contract/guarded_access.cpp):
// the guarded input accessor and direct-feedthrough setter, under the
// host's accessor names.
//
// The guarded input accessor is inline, since a block reads its ports
// through it on every sample: a port in range with registered element
// pointers gives them at once; any other access goes to the
// out-of-line report (error dialog, fatal flag), which returns null.
const void* const* ssReportInputPortSignalPtrsMisuse(SimStruct* S, int port);
static inline const void* const* ssGetInputPortSignalPtrs(SimStruct* S, int port) {
    if (port >= 0 && port < ssGetNumInputPorts(S)) {
        const void* const* pointers = ssReadInputPortSignalPtrs(S, port);
        if (pointers != nullptr) return pointers;
    }
    return ssReportInputPortSignalPtrsMisuse(S, port);
}
static inline InputRealPtrsType ssGetInputPortRealSignalPtrs(SimStruct* S, int port) {
    return reinterpret_cast<InputRealPtrsType>(ssGetInputPortSignalPtrs(S, port));
}
void ssSetInputPortDirectFeedThrough(SimStruct* S, int port, int value);

#endif  // ORVANE_CONTRACT_SIMSTRUC_H
