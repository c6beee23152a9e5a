// The COMTRADE reader on any single-file recording (.cff): section split,
// configuration, data in all four formats, phase choice, sections and time
// origin. Any fault must come out as a ComtradeError naming the file;
// nothing else may escape, crash or run away with memory.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "fuzz/scratch_file.h"
#include "io/comtrade/comtrade_error.h"
#include "io/comtrade/comtrade_recording.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static ScratchFile file("comtrade", ".cff");
    // The first byte picks the options; the rest is the file.
    ComtradeReadOptions options;
    options.side = (data[0] & 1) != 0 ? ValueSide::Secondary : ValueSide::Primary;
    switch ((data[0] >> 1) % 4) {
        case 1: options.phases = {"1", "2", "3"}; break;
        case 2: options.phases = {"VA", "VB", "VC"}; break;
        case 3: options.phases = {"3", "0", "99999999999"}; break;
        default: break;
    }
    const std::string& path = file.hold(data + 1, size - 1);
    try {
        const ComtradeRecording recording = readComtrade(path, options);
        for (std::size_t p = 1; p < 3; ++p) {
            FUZZ_CHECK(recording.phases[p].size() == recording.size(), "phases of different lengths");
        }
        if (recording.size() > 0) (void)recording.timeOf(recording.size() - 1);
    } catch (const ComtradeError& e) {
        FUZZ_CHECK(e.file() == path, "fault names '%s', not the file", e.file().c_str());
    }
    return 0;
}
