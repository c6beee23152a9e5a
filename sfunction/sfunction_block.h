// What the S-function frame needs to know about the block it carries. The
// frame (mexFunction's two roads) is written once; each deliverable hands it
// one of these records, built at compile time.
#ifndef ORVANE_SFUNCTION_SFUNCTION_BLOCK_H
#define ORVANE_SFUNCTION_SFUNCTION_BLOCK_H

#include <array>
#include <cstddef>

#include "contract/simstruc.h"

struct SfunctionBlock {
    // The S-function name, which is also the MEX file's name.
    const char* name;
    // "MEX level2 S-function \"<name>\"": the subject of the command-line
    // road's messages.
    const char* description;

    // Methods every block has; the frame calls them itself.
    mdlVoidFcn initializeSizes;
    mdlVoidFcn initializeSampleTimes;
    mdlTidFcn outputs;
    mdlVoidFcn terminate;

    // Optional lifecycle methods. A block without one (null here) has no
    // method flag for it: the flag is reported as invalid.
    mdlVoidFcn initializeConditions;
    mdlVoidFcn start;
    mdlTidFcn update;

    // Optional propagation methods, which the host calls through the slots.
    mdlPortIntFcn setInputPortDataType;
    mdlPortIntFcn setOutputPortDataType;
    mdlVoidFcn setDefaultPortDataTypes;
    mdlPortIntFcn setInputPortFrameData;

    // Whether the sizes call tells a host that attached the SimStruct to a
    // block that the call comes from that block (generic request 280).
    bool announcesSizesCallFromBlock;
};

// Fills the host's method slots with the block's methods, as Simulink reads
// them after the sizes hand-over: every method the block has, and the stubs
// for variable sample hits and zero crossings. The slots of methods the
// block lacks stay as the host left them.
void fillMethodSlots(const SfunctionBlock& block, SimStruct* S);

// The stubs every deliverable carries for methods no block of ours has.
void variableHitStub(SimStruct* S);
void zeroCrossingStub(SimStruct* S);

namespace sfunction_text {

constexpr std::size_t length(const char* s) {
    std::size_t n = 0;
    while (s[n] != '\0') ++n;
    return n;
}

inline constexpr const char* kDescriptionHead = "MEX level2 S-function \"";
inline constexpr const char* kDescriptionTail = "\"";

constexpr std::size_t descriptionSize(const char* name) {
    return length(kDescriptionHead) + length(name) + length(kDescriptionTail) + 1;
}

// The block description text with its NUL, built from the name at compile
// time so that no deliverable spells its own name twice.
template <std::size_t N>
constexpr std::array<char, N> description(const char* name) {
    std::array<char, N> out{};
    std::size_t pos = 0;
    for (const char* part : {kDescriptionHead, name, kDescriptionTail}) {
        for (std::size_t i = 0; part[i] != '\0'; ++i) out[pos++] = part[i];
    }
    out[pos] = '\0';
    return out;
}

}  // namespace sfunction_text

#endif  // ORVANE_SFUNCTION_SFUNCTION_BLOCK_H
