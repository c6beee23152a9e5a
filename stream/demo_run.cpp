#include "stream/demo_run.h"

#include <cstdio>
#include <memory>
#include <numbers>

#include "io/csv/csv_sink.h"
#include "signals/signal_sample_source.h"
#include "stream/model_driver.h"
#include "stream/run_loop.h"

namespace {

// Passes every sample to the CSV file and keeps the reports.
class ReportCollector : public OutputSink {
public:
    ReportCollector(CsvSink& csv, std::vector<ModelOutputs>& reports) : csv_(csv), reports_(reports) {}
    bool write(const ModelInputs& in, const ModelOutputs& out) override {
        if (out.reportStrobe) reports_.push_back(out);
        return csv_.write(in, out);
    }
    bool finish() override { return csv_.finish(); }
    const std::string& error() const override { return csv_.error(); }

private:
    CsvSink& csv_;
    std::vector<ModelOutputs>& reports_;
};

}  // namespace

DemoResult runDemo(int32_t reportRate, const std::string& csvPath) {
    DemoResult result;
    DriverChoice choice;
    const SampleRateBuild* build = buildByTag(choice.buildTag);
    result.modelName = build->sfunctionName;
    ThreePhaseSignalParameters spec;
    spec.amplitude = 100.0;
    spec.frequency = 50.5;
    spec.harmonics = {Harmonic{3, 0.1, 0.0}};
    ModelInputs ports;
    ports.reportRate = reportRate;
    ports.reportMode = true;
    const uint64_t sampleCount = static_cast<uint64_t>(2.0 * build->fs);
    SignalSampleSource source("demo signal", spec, build->fs, 0.0, sampleCount, ports);

    std::unique_ptr<BlockDriver> driver = makeDriver(choice, result.error);
    if (!driver) {
        result.fault = FaultKind::Failed;
        return result;
    }
    CsvSink csv(csvPath, false);
    if (!csv.open()) {
        result.fault = FaultKind::BadInput;
        result.error = csv.error();
        return result;
    }
    if (!driver->start()) {
        result.fault = FaultKind::Failed;
        result.error = "the block did not start: " + driver->error();
        return result;
    }
    ReportCollector collector(csv, result.reports);
    const RunOutcome outcome = runSamples(source, *driver, collector);
    result.fault = outcome.fault;
    result.error = outcome.error;
    result.samples = outcome.samples;
    return result;
}

std::string demoTable(const std::vector<ModelOutputs>& reports) {
    char line[160];
    std::snprintf(line, sizeof line, "%10s  %12s  %11s  %13s  %12s\n", "time (s)", "magnitude", "angle (deg)",
                  "frequency (Hz)", "ROCOF (Hz/s)");
    std::string table = line;
    for (const ModelOutputs& r : reports) {
        std::snprintf(line, sizeof line, "%10.4f  %12.6f  %11.5f  %14.6f  %12.5f\n", r.timestamp, r.magnitude,
                      r.angle * 180.0 / std::numbers::pi, r.frequency, r.rocof);
        table += line;
    }
    return table;
}
