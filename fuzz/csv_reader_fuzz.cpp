// The CSV sample reader on any bytes: it must yield samples or one located
// fault ("FILE:LINE:COLUMN: what"), never crash, and stop after a fault.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "fuzz/scratch_file.h"
#include "io/csv/csv_sample_source.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static ScratchFile file("csv");
    const std::string& path = file.hold(data, size);

    std::string error;
    std::unique_ptr<CsvSampleSource> reader = CsvSampleSource::open(path, error);
    if (reader == nullptr) {
        FUZZ_CHECK(error.rfind(path + ":", 0) == 0, "refusal without the file's name: %s", error.c_str());
        return 0;
    }
    ModelInputs in;
    std::size_t samples = 0;
    for (;;) {
        const SampleSource::Status status = reader->next(in);
        if (status == SampleSource::Status::Sample) {
            // Every sample takes at least one byte of the file.
            FUZZ_CHECK(++samples <= size, "more samples than bytes");
            continue;
        }
        if (status == SampleSource::Status::Error) {
            FUZZ_CHECK(reader->error().rfind(path + ":", 0) == 0, "fault without the file's name: %s",
                       reader->error().c_str());
            FUZZ_CHECK(reader->next(in) != SampleSource::Status::Sample, "a sample after a fault");
        }
        break;
    }
    return 0;
}
