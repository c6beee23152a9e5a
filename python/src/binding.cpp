// The Python module orvane._orvane: pybind11 adapters from numpy arrays to
// the host, io, signals and compliance libraries. Checks of shapes and
// option values, defaults and documentation live in the Python package; this
// file only moves numbers across and turns the libraries' errors into
// Python exceptions (their text unchanged).
#include <dlfcn.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "compliance/json_report.h"
#include "compliance/plan_runner.h"
#include "host/deliverable.h"
#include "host/in_process_driver.h"
#include "host/mex_driver.h"
#include "io/comtrade/line_frequency.h"
#include "io/reporting_capacity.h"
#include "io/c37118/config_frame.h"
#include "io/c37118/data_frame.h"
#include "io/c37118/frame_assembler.h"
#include "io/comtrade/comtrade_error.h"
#include "io/comtrade/comtrade_sample_source.h"
#include "io/csv/csv_sink.h"
#include "io/csv/csv_sample_source.h"
#include "io/input_checks.h"
#include "model/model_entry.h"
#include "signals/three_phase_signal.h"
#include "stream/input_table.h"
#include "stream/model_driver.h"
#include "stream/stop_request.h"

namespace py = pybind11;

namespace {

using Doubles = py::array_t<double, py::array::forcecast>;

const ModelEntry* modelOf(const std::string& tag) {
    const ModelEntry* entry = entryByTag(tag);
    if (entry == nullptr) throw py::value_error("unknown build '" + tag + "' (expected 10k, 14p4k or 4k)");
    return entry;
}

// A deliverable resolves its mx/mex symbols against the process's global
// scope; Python loads extension modules (and so our host library) locally.
void exposeHostSymbols() {
    Dl_info info;
    if (dladdr(reinterpret_cast<void*>(&commandLineSizes), &info) != 0 && info.dli_fname != nullptr) {
        dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_GLOBAL);
    }
}

[[noreturn]] void raiseFileError(const std::string& path, const std::string& message) {
    std::error_code ignored;
    if (!std::filesystem::exists(path, ignored)) {
        PyErr_SetString(PyExc_FileNotFoundError, message.c_str());
        throw py::error_already_set();
    }
    throw py::value_error(message);
}

std::unique_ptr<BlockDriver> makeDriver(const std::string& tag, const std::string& deliverable, bool inProcess,
                                        std::string& error) {
    const ModelEntry* entry = modelOf(tag);
    if (inProcess) return std::make_unique<InProcessDriver>(entry->installMethods, entry->build->sfunctionName);
    return MexDriver::open(deliverable, error);
}

std::string describeTime(double time) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", time);
    return text;
}

// One model instance fed chunk by chunk.
class PmuCore {
public:
    PmuCore(const std::string& tag, const std::string& deliverable, bool inProcess)
        : mex_(!inProcess), quality_(qualityTrackerFor(*modelOf(tag)->build)), checks_("samples", modelOf(tag)->build->fs) {
        std::string error;
        driver_ = makeDriver(tag, deliverable, inProcess, error);
        if (!driver_) {
            PyErr_SetString(PyExc_OSError, error.c_str());
            throw py::error_already_set();
        }
        bool started;
        {
            py::gil_scoped_release release;
            started = driver_->start();
        }
        if (!started) throw std::runtime_error("the block did not start: " + driver_->error());
        // A deliverable of another build: refused as the tool refuses it.
        const DriverChoice choice{tag, deliverable, inProcess};
        std::string refused;
        if (!checkDriverRate(*driver_, choice, *modelOf(tag)->build, refused)) throw py::value_error(refused);
        running_ = true;
    }
    ~PmuCore() { close(); }

    void close() {
        py::gil_scoped_release release;
        const std::lock_guard<std::mutex> own(busy_);
        if (!running_) return;
        driver_->finish();
        running_ = false;
    }

    uint64_t samples() const { return samples_; }

    // Config arrays may be broadcast views (stride 0); each has n entries.
    py::tuple step(const Doubles& time, const Doubles& phases, const py::array_t<int32_t, py::array::forcecast>& rate,
                   const Doubles& magnitudeCoeffs, const Doubles& phaseCoeffs, const Doubles& nominal,
                   const py::array_t<bool, py::array::forcecast>& mode) {
        const py::ssize_t n = time.shape(0);
        if (phases.ndim() != 2 || phases.shape(0) != n || phases.shape(1) != 3 || rate.shape(0) != n ||
            magnitudeCoeffs.ndim() != 2 || magnitudeCoeffs.shape(0) != n || phaseCoeffs.ndim() != 2 ||
            phaseCoeffs.shape(0) != n || nominal.shape(0) != n || mode.shape(0) != n) {
            throw py::value_error("port arrays of different lengths");
        }
        if (!busy_.try_lock()) throw std::runtime_error("the PMU is busy in another thread");
        const std::lock_guard<std::mutex> own(busy_, std::adopt_lock);
        if (!error_.empty()) throw std::runtime_error(error_);
        if (!running_) throw std::runtime_error("the PMU is closed");
        py::array_t<double> ts(n), mag(n), ang(n), freq(n), rocof(n);
        py::array_t<bool> strobe(n);
        py::array_t<int32_t> active(n);
        py::array_t<uint16_t> quality(n);
        auto t = time.unchecked<1>();
        auto ph = phases.unchecked<2>();
        auto rr = rate.unchecked<1>();
        auto mc = magnitudeCoeffs.unchecked<2>();
        auto pc = phaseCoeffs.unchecked<2>();
        auto f0 = nominal.unchecked<1>();
        auto rm = mode.unchecked<1>();
        double* outTs = ts.mutable_data();
        double* outMag = mag.mutable_data();
        double* outAng = ang.mutable_data();
        double* outFreq = freq.mutable_data();
        double* outRocof = rocof.mutable_data();
        bool* outStrobe = strobe.mutable_data();
        int32_t* outActive = active.mutable_data();
        uint16_t* outQuality = quality.mutable_data();
        bool failed = false;
        bool interrupted = false;
        {
            py::gil_scoped_release release;
            ModelInputs in;
            ModelOutputs out;
            for (py::ssize_t i = 0; i < n; ++i) {
                in.time = t(i);
                for (int k = 0; k < 3; ++k) {
                    in.phase[k] = ph(i, k);
                    in.magnitudeCoeffs[k] = mc(i, k);
                    in.phaseCoeffs[k] = pc(i, k);
                }
                in.reportRate = rr(i);
                in.nominalFrequency = f0(i);
                in.reportMode = rm(i);
                checks_.observe(in);
                if (!driver_->step(in, out)) {
                    error_ = "the block stopped at sample " + std::to_string(samples_ + 1) + " (time " +
                             describeTime(in.time) + "): " + driver_->error();
                    driver_->finish();
                    running_ = false;
                    failed = true;
                    break;
                }
                ++samples_;
                if ((samples_ & 0xFFFFu) == 0) {
                    py::gil_scoped_acquire acquire;
                    interrupted = PyErr_CheckSignals() != 0;
                }
                if (interrupted) {
                    // The caller never sees this chunk's outputs, so the
                    // instance cannot go on from a known sample.
                    error_ = "the PMU was interrupted at sample " + std::to_string(samples_);
                    driver_->finish();
                    running_ = false;
                    break;
                }
                outTs[i] = out.timestamp;
                outMag[i] = out.magnitude;
                outAng[i] = out.angle;
                outFreq[i] = out.frequency;
                outRocof[i] = out.rocof;
                outStrobe[i] = out.reportStrobe;
                outActive[i] = out.activeReportRate;
                outQuality[i] = quality_.next(in, out, 0, false);
            }
        }
        if (interrupted) throw py::error_already_set();
        if (failed) throw std::runtime_error(error_);
        return py::make_tuple(ts, mag, ang, freq, rocof, strobe, active, quality);
    }

    // The shared input checks' warnings since the last call ("warning: "
    // left off); `atEnd` when the caller's input is over.
    std::vector<std::string> takeWarnings(bool atEnd) {
        std::vector<std::string> lines = checks_.takeWarnings(atEnd);
        for (std::string& line : lines) {
            if (line.rfind("warning: ", 0) == 0) line.erase(0, 9);
        }
        return lines;
    }

private:
    std::unique_ptr<BlockDriver> driver_;
    // One call at a time per instance: the block's state is not shared.
    std::mutex busy_;
    bool mex_;
    bool running_ = false;
    uint64_t samples_ = 0;
    ReportQualityTracker quality_;  // the run's own rule, as for the tool
    std::string error_;
    InputChecks checks_;
};

py::dict buildInfo(const std::string& tag) {
    const SampleRateBuild* b = modelOf(tag)->build;
    py::dict d;
    d["fs"] = b->fs;
    d["ts"] = b->ts;
    d["sfunction"] = std::string(b->sfunctionName);
    return d;
}

// The sample CSV as the tool reads it: directly, or, for a build (or
// "auto"), opened as `orvane run --input` opens it (its rate found and
// checked, resampled to the build's rate under "auto").
py::dict readSampleCsv(const std::string& path, const std::vector<std::string>& phaseColumns,
                       const std::string& buildTag) {
    std::vector<double> time, phases, magc, phc, nominal;
    std::vector<int32_t> rate;
    std::vector<uint8_t> mode;
    std::string error;
    bool plain = false;
    std::string tag = buildTag;
    std::string rateHow;
    double inputRate = 0.0;
    {
        py::gil_scoped_release release;
        CsvReadOptions options;
        options.phases = phaseColumns;
        std::unique_ptr<CsvSampleSource> probe = CsvSampleSource::open(path, error, options);
        std::unique_ptr<SampleSource> source;
        std::unique_ptr<OpenedInput> opened;
        if (probe) {
            plain = probe->plain();
            if (tag.empty()) {
                source = std::move(probe);
            } else {
                // Opened as the tool opens it, through the input table.
                InputSettings settings;
                settings.comtrade.phases = phaseColumns;
                opened = openInput({inputKindByName("csv"), path}, settings, tag, error);
                if (opened) {
                    inputRate = opened->facts().inputRate;
                    rateHow = opened->facts().rateHow;
                }
            }
        }
        SampleSource* samples = opened ? &opened->source() : source.get();
        if (samples != nullptr) {
            SampleSource& source = *samples;
            ModelInputs in;
            SampleSource::Status status;
            while ((status = source.next(in)) == SampleSource::Status::Sample) {
                time.push_back(in.time);
                phases.insert(phases.end(), in.phase, in.phase + 3);
                rate.push_back(in.reportRate);
                magc.insert(magc.end(), in.magnitudeCoeffs, in.magnitudeCoeffs + 3);
                phc.insert(phc.end(), in.phaseCoeffs, in.phaseCoeffs + 3);
                nominal.push_back(in.nominalFrequency);
                mode.push_back(in.reportMode ? 1 : 0);
            }
            if (status == SampleSource::Status::Error) error = source.error();
        }
    }
    if (!error.empty()) raiseFileError(path, error);
    const py::ssize_t n = static_cast<py::ssize_t>(time.size());
    py::dict d;
    d["time"] = py::array_t<double>(n, time.data());
    d["phases"] = py::array_t<double>({n, py::ssize_t(3)}, phases.data());
    if (!buildTag.empty()) {
        d["build"] = tag;
        d["input_rate"] = inputRate;
        d["rate_how"] = rateHow;
    }
    // A plain three-phase CSV carries no ports: the caller gives them.
    if (plain) return d;
    d["report_rate"] = py::array_t<int32_t>(n, rate.data());
    d["magnitude_coeffs"] = py::array_t<double>({n, py::ssize_t(3)}, magc.data());
    d["phase_coeffs"] = py::array_t<double>({n, py::ssize_t(3)}, phc.data());
    d["nominal_frequency"] = py::array_t<double>(n, nominal.data());
    d["report_mode"] = py::array_t<uint8_t>(n, mode.data()).attr("astype")("bool");
    return d;
}

// A recording's phase channels at its own rates and, when `sampleRate` is
// positive, as the model gets them at that rate (resampled where needed).
py::dict comtradeArrays(const std::string& path, const std::vector<std::string>& phases, bool secondary,
                      double sampleRate) {
    ComtradeReadOptions options;
    options.phases = phases;
    options.side = secondary ? ValueSide::Secondary : ValueSide::Primary;
    std::string error;
    std::unique_ptr<ComtradeSampleSource> source;
    std::vector<double> buildTime, buildPhases, held;
    {
        py::gil_scoped_release release;
        source = ComtradeSampleSource::open(path, options, error);
        // The source keeps none of the recording's samples; they are read
        // through once more for the arrays.
        if (source) {
            try {
                PhaseReader reader(source->recording());
                held.resize(3 * source->recording().size());
                std::size_t done = 0;
                while (done < source->recording().size()) {
                    const std::size_t got =
                        reader.read(held.data() + 3 * done, nullptr, source->recording().size() - done);
                    if (got == 0) break;
                    done += got;
                }
            } catch (const ComtradeError& e) {
                error = e.what();
            }
        }
        if (source && error.empty() && sampleRate > 0.0 && source->prepare(sampleRate, ModelInputs{}, error)) {
            ModelInputs in;
            SampleSource::Status status;
            while ((status = source->next(in)) == SampleSource::Status::Sample) {
                buildTime.push_back(in.time);
                buildPhases.insert(buildPhases.end(), in.phase, in.phase + 3);
            }
            if (status == SampleSource::Status::Error) error = source->error();
        }
    }
    if (!error.empty()) raiseFileError(path, error);
    const ComtradeRecording& rec = source->recording();
    const py::ssize_t n = static_cast<py::ssize_t>(rec.size());
    py::array_t<double> values({n, py::ssize_t(3)});
    py::array_t<double> times(n);
    auto v = values.mutable_unchecked<2>();
    auto t = times.mutable_unchecked<1>();
    for (py::ssize_t i = 0; i < n; ++i) {
        for (int k = 0; k < 3; ++k) v(i, k) = held[3 * static_cast<size_t>(i) + static_cast<size_t>(k)];
        t(i) = rec.timeOf(static_cast<size_t>(i));
    }
    py::list channels, sections, chosen;
    for (const ComtradeAnalogChannel& c : rec.config.analogs) channels.append(c.id);
    for (int k = 0; k < 3; ++k) chosen.append(rec.config.analogs[static_cast<size_t>(rec.phaseChannels[k])].id);
    for (const SampleSection& s : rec.sections) sections.append(py::make_tuple(s.first, s.count, s.rate));
    py::dict d;
    d["phases"] = values;
    d["time"] = times;
    d["channels"] = channels;
    d["phase_channels"] = chosen;
    d["sections"] = sections;
    d["max_rate"] = rec.maxRate();
    d["line_frequency"] = rec.config.lineFrequency;
    // What the tool prints as warnings while reading (departures from the
    // standard, the phase order taken from the phase fields).
    py::list notes;
    for (const std::string& w : rec.config.warnings) notes.append(w);
    d["notes"] = notes;
    d["epoch_of_origin"] = rec.origin.epochSecondsOfOrigin();
    d["station"] = rec.config.station;
    d["device"] = rec.config.device;
    d["revision"] = rec.config.revision;
    if (sampleRate > 0.0) {
        const py::ssize_t m = static_cast<py::ssize_t>(buildTime.size());
        d["build_time"] = py::array_t<double>(m, buildTime.data());
        d["build_phases"] = py::array_t<double>({m, py::ssize_t(3)}, buildPhases.data());
    }
    return d;
}

// The output CSV exactly as `orvane run` writes it.
void writeOutputCsv(const std::string& path, const Doubles& timestamp, const Doubles& magnitude, const Doubles& angle,
                    const Doubles& frequency, const Doubles& rocof,
                    const py::array_t<bool, py::array::forcecast>& strobe,
                    const py::array_t<int32_t, py::array::forcecast>& active, bool reportsOnly) {
    const py::ssize_t n = timestamp.shape(0);
    for (const py::array* a : {static_cast<const py::array*>(&magnitude), static_cast<const py::array*>(&angle),
                               static_cast<const py::array*>(&frequency), static_cast<const py::array*>(&rocof),
                               static_cast<const py::array*>(&strobe), static_cast<const py::array*>(&active)}) {
        if (a->ndim() != 1 || a->shape(0) != n) throw py::value_error("output arrays of different lengths");
    }
    auto ts = timestamp.unchecked<1>();
    auto mg = magnitude.unchecked<1>();
    auto an = angle.unchecked<1>();
    auto fr = frequency.unchecked<1>();
    auto rc = rocof.unchecked<1>();
    auto st = strobe.unchecked<1>();
    auto ac = active.unchecked<1>();
    std::string error;
    {
        py::gil_scoped_release release;
        CsvSink writer(path, reportsOnly);
        bool ok = writer.open();
        const ModelInputs in;
        ModelOutputs out;
        for (py::ssize_t i = 0; ok && i < n; ++i) {
            out.timestamp = ts(i);
            out.magnitude = mg(i);
            out.angle = an(i);
            out.frequency = fr(i);
            out.rocof = rc(i);
            out.reportStrobe = st(i);
            out.activeReportRate = ac(i);
            ok = writer.write(in, out);
        }
        if (ok) ok = writer.finish();
        if (!ok) error = writer.error();
    }
    if (!error.empty()) {
        PyErr_SetString(PyExc_OSError, error.c_str());
        throw py::error_already_set();
    }
}

ThreePhaseSignalParameters specFrom(const py::dict& d) {
    ThreePhaseSignalParameters s;
    auto get = [&](const char* key, double& field) {
        if (d.contains(key)) field = d[key].cast<double>();
    };
    get("amplitude", s.amplitude);
    get("frequency", s.frequency);
    get("phase", s.phase);
    get("start_time", s.startTime);
    get("am_depth", s.amDepth);
    get("am_frequency", s.amFrequency);
    get("pm_depth", s.pmDepth);
    get("pm_frequency", s.pmFrequency);
    get("ramp_rate", s.rampRate);
    get("ramp_start", s.rampStart);
    get("ramp_end", s.rampEnd);
    get("step_time", s.stepTime);
    get("magnitude_step", s.magnitudeStep);
    get("phase_step", s.phaseStep);
    get("noise_std_dev", s.noiseStdDev);
    if (d.contains("noise_seed")) s.noiseSeed = d["noise_seed"].cast<uint64_t>();
    if (d.contains("phase_gain")) {
        const auto gains = d["phase_gain"].cast<std::vector<double>>();
        if (gains.size() != 3) throw py::value_error("phase_gains needs three values");
        for (int k = 0; k < 3; ++k) s.phaseGain[k] = gains[static_cast<size_t>(k)];
    }
    if (d.contains("harmonics")) {
        for (const auto& h : d["harmonics"].cast<std::vector<std::tuple<int, double, double>>>()) {
            s.harmonics.push_back(Harmonic{std::get<0>(h), std::get<1>(h), std::get<2>(h)});
        }
    }
    return s;
}

py::array_t<double> signalSamples(const py::dict& spec, const Doubles& time) {
    ThreePhaseSignal signal(specFrom(spec));
    const py::ssize_t n = time.shape(0);
    py::array_t<double> out({n, py::ssize_t(3)});
    auto t = time.unchecked<1>();
    double* p = out.mutable_data();
    py::gil_scoped_release release;
    for (py::ssize_t i = 0; i < n; ++i) signal.sample(t(i), p + 3 * i);
    return out;
}

py::array_t<double> signalReference(const py::dict& spec, const Doubles& time, double nominalFrequency) {
    const ThreePhaseSignal signal(specFrom(spec));
    const py::ssize_t n = time.shape(0);
    py::array_t<double> out({n, py::ssize_t(4)});
    auto t = time.unchecked<1>();
    auto o = out.mutable_unchecked<2>();
    for (py::ssize_t i = 0; i < n; ++i) {
        const ThreePhaseSignal::Reference r = signal.reference(t(i), nominalFrequency);
        o(i, 0) = r.magnitude;
        o(i, 1) = r.angle;
        o(i, 2) = r.frequency;
        o(i, 3) = r.rocof;
    }
    return out;
}

// The JSON text `orvane compliance --json` writes, for settings already
// checked by the caller.
std::string complianceJson(const std::string& tag, int nominal, int reportRate, const std::string& estimator,
                           bool quick, int stepPositions, double startTime, const std::string& deliverable,
                           bool inProcess) {
    const SampleRateBuild* build = modelOf(tag)->build;
    PlanSettings settings;
    settings.sampleRate = build->fs;
    settings.samplePeriod = build->ts;
    settings.quick = quick;
    settings.nominalFrequency = nominal;
    settings.reportRate = reportRate;
    settings.stepPositions = stepPositions;
    settings.startTime = startTime;
    std::string error = planSettingsError(settings);
    if (!error.empty()) throw py::value_error(error);
    const bool runModel = estimator != "reference";
    const bool runReference = estimator != "model";
    if (runModel && !makeDriver(tag, deliverable, inProcess, error)) {
        PyErr_SetString(PyExc_OSError, error.c_str());
        throw py::error_already_set();
    }
    const DriverFactory factory = [=](std::string& e) -> std::unique_ptr<BlockDriver> {
        return makeDriver(tag, deliverable, inProcess, e);
    };
    PlanResult result;
    bool ran;
    {
        py::gil_scoped_release release;
        const TestPlan plan = makeTestPlan(settings);
        ran = runPlan(plan, factory, runModel, runReference, PlanProgress(), result, error);
    }
    if (!ran) throw std::runtime_error(error);
    return jsonReport(result, build->sfunctionName);
}

// A file of synchrophasor frames: each data frame's first PMU block under
// the configuration frame before it.
py::dict readC37118(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        PyErr_SetString(PyExc_FileNotFoundError, (path + ": cannot be opened").c_str());
        throw py::error_already_set();
    }
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    FrameAssembler assembler;
    assembler.append(bytes);
    std::vector<double> time, magnitude, angle, frequency, rocof;
    std::vector<uint32_t> soc, fracsec;
    std::vector<uint16_t> stat, configCount;
    ConfigFrame config;
    bool haveConfig = false;
    std::vector<uint8_t> frame;
    FrameHeader header;
    std::string error;
    uint64_t at = 0;
    int frames = 0;
    while (error.empty()) {
        const FrameAssembler::Result result = assembler.next(frame, header);
        if (result == FrameAssembler::Result::NeedMore) {
            if (assembler.pending() != 0) error = "the file ends inside a frame";
            break;
        }
        if (result == FrameAssembler::Result::Failed) {
            error = assembler.error();
            break;
        }
        ++frames;
        if (header.type == FrameType::Config1 || header.type == FrameType::Config2 ||
            header.type == FrameType::Config3) {
            haveConfig = decodeConfigFrame(frame, config, error);
            if (haveConfig && config.pmus.empty()) error = "a configuration without a PMU";
        } else if (header.type == FrameType::Data) {
            DataFrame data;
            if (!haveConfig) {
                error = "a data frame before any configuration frame";
            } else if (decodeDataFrame(frame, config, data, error)) {
                const PmuData& pmu = data.pmus[0];
                const bool polar = (config.pmus[0].format & kFormatPolar) != 0;
                double m = std::nan(""), a = std::nan("");
                if (!pmu.phasors.empty()) {
                    const PhasorValue& p = pmu.phasors[0];
                    m = polar ? p.first : std::hypot(p.first, p.second);
                    a = polar ? p.second : std::atan2(p.second, p.first);
                }
                soc.push_back(data.time.soc);
                fracsec.push_back(data.time.fracSec);
                time.push_back(static_cast<double>(data.time.soc) +
                               static_cast<double>(data.time.fracSec) / static_cast<double>(config.timeBase));
                magnitude.push_back(m);
                angle.push_back(a);
                frequency.push_back(pmu.frequency);
                rocof.push_back(pmu.rocof);
                stat.push_back(pmu.stat);
                configCount.push_back(config.pmus[0].configCount);
            }
        }
        if (error.empty()) at = assembler.consumed();
    }
    if (!error.empty()) {
        throw py::value_error(path + ": frame " + std::to_string(frames) + " (byte " + std::to_string(at) + "): " +
                              error);
    }
    const py::ssize_t n = static_cast<py::ssize_t>(time.size());
    py::dict d;
    d["time"] = py::array_t<double>(n, time.data());
    d["soc"] = py::array_t<uint32_t>(n, soc.data());
    d["fracsec"] = py::array_t<uint32_t>(n, fracsec.data());
    d["magnitude"] = py::array_t<double>(n, magnitude.data());
    d["angle"] = py::array_t<double>(n, angle.data());
    d["frequency"] = py::array_t<double>(n, frequency.data());
    d["rocof"] = py::array_t<double>(n, rocof.data());
    d["stat"] = py::array_t<uint16_t>(n, stat.data());
    d["config_count"] = py::array_t<uint16_t>(n, configCount.data());
    return d;
}

}  // namespace

PYBIND11_MODULE(_orvane, m) {
    // SIGTERM and SIGHUP remove the outputs being written, as in the tool;
    // Python's own SIGINT (KeyboardInterrupt) is left alone.
    installStopHandling();
    exposeHostSymbols();
    m.doc() = "Adapters from numpy to the measurement model and its libraries (use the orvane package).";
    py::class_<PmuCore>(m, "PmuCore")
        .def(py::init<const std::string&, const std::string&, bool>())
        .def("step", &PmuCore::step)
        .def("close", &PmuCore::close)
        .def("take_warnings", &PmuCore::takeWarnings)
        .def_property_readonly("samples", &PmuCore::samples);
    m.def("build_info", &buildInfo);
    m.def("nominal_for_line_frequency", [](double lineFrequency, const std::string& fileName) {
        const NominalChoice c = nominalForLineFrequency(lineFrequency, fileName);
        return py::make_tuple(c.nominal, c.note);
    });
    m.def("reporting_capacity_caution", [](double sampleRate, int32_t reportRate) {
        return reportingCapacityCaution(sampleRate, reportRate);
    });
    m.def("reporting_capacity_problem", [](double sampleRate, int32_t reportRate) {
        return reportingCapacityProblem(sampleRate, reportRate);
    });
    m.def("read_sample_csv", &readSampleCsv);
    // The shared input checks (io/input_checks.h), with the tool's texts.
    m.def("find_sample_rate", [](const Doubles& times) {
        const py::ssize_t n = times.ndim() == 1 ? times.shape(0) : 0;
        const RateFinding found = findSampleRate(times.data(), static_cast<std::size_t>(n));
        return py::make_tuple(found.rate, found.how);
    });
    m.def("rate_against_build", [](const Doubles& times, const std::string& tag) {
        const py::ssize_t n = times.ndim() == 1 ? times.shape(0) : 0;
        const RateFinding found = findSampleRate(times.data(), static_cast<std::size_t>(n));
        return rateAgainstBuildError(found, tag, modelOf(tag)->build->fs);
    });
    m.def("build_for_rate", &buildTagForRate);
    m.def("report_rate_error", &reportRateError);
    m.def("nominal_frequency_error", &nominalFrequencyError);
    m.def("rate_window_seconds", [] { return kRateWindowSeconds; });
    m.def("read_comtrade", &comtradeArrays);
    m.def("write_output_csv", &writeOutputCsv);
    m.def("signal_samples", &signalSamples);
    m.def("signal_reference", &signalReference);
    m.def("compliance_json", &complianceJson);
    m.def("read_c37118", &readC37118);
}
