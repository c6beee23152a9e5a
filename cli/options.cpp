#include "cli/options.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <map>

#include "io/comtrade/comtrade_text.h"
#include "io/input_checks.h"

std::vector<Command (*)(CLI::App&)>& commandSetups() {
    static std::vector<Command (*)(CLI::App&)> setups;
    return setups;
}

CommandRegistration::CommandRegistration(Command (*setup)(CLI::App& root)) { commandSetups().push_back(setup); }

namespace {

std::string gCommandName = "orvane";

std::map<const CLI::App*, std::string>& descriptions() {
    static std::map<const CLI::App*, std::string> texts;
    return texts;
}

bool parseFinite(const std::string& text, double& value) { return parseNumber(text, value) && std::isfinite(value); }

// Throws the tool's one-line usage message for an option's value.
[[noreturn]] void refuse(const std::string& name, const std::string& why) {
    throw CLI::ValidationError("option '" + name + "': " + why);
}

}  // namespace

void describe(CLI::App* app, const std::string& text) { descriptions()[app] = text; }

std::string descriptionOf(const CLI::App* app) {
    const auto found = descriptions().find(app);
    return found == descriptions().end() ? app->get_description() : found->second;
}

const std::string& commandName() { return gCommandName; }
void setCommandName(const std::string& name) { gCommandName = name; }

namespace {
std::string gCommandLine;
}  // namespace
const std::string& commandLine() { return gCommandLine; }
void setCommandLine(const std::string& line) { gCommandLine = line; }

int exitStatusOf(FaultKind fault) {
    switch (fault) {
        case FaultKind::None: return 0;
        case FaultKind::Failed: return 1;
        case FaultKind::BadInput: return 2;
    }
    return 1;
}

int failWith(int status, const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", gCommandName.c_str(), message.c_str());
    return status;
}

bool parseNumber(const std::string& text, double& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const double parsed = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size()) return false;
    // A finite number too large for a double ("1e999") is refused rather
    // than silently read as infinity; "inf" itself parses without ERANGE.
    if (errno == ERANGE && std::isinf(parsed)) return false;
    value = parsed;
    return true;
}

std::string numberProblem(const std::string& text) {
    char* end = nullptr;
    std::strtod(text.c_str(), &end);
    const bool whole = !text.empty() && end == text.c_str() + text.size();
    return whole ? "is out of the range of a double" : "is not a number";
}

std::vector<std::string> freeArguments(const CLI::App& app) {
    std::vector<std::string> args = app.remaining();
    for (const std::string& text : app.get_parent()->remaining()) args.push_back(text);
    return args;
}

std::vector<double> numbersOf(const std::vector<std::string>& texts, const std::string& noun, std::size_t first) {
    std::vector<double> values;
    for (const std::string& text : texts) {
        double value = 0.0;
        if (!parseNumber(text, value)) {
            throw UsageError(noun + " " + std::to_string(first + values.size()) + " ('" + text + "') " +
                             numberProblem(text));
        }
        values.push_back(value);
    }
    return values;
}

CLI::Option* addNumber(CLI::App* app, const std::string& name, std::function<void(double)> set,
                       const std::string& help) {
    return app
        ->add_option_function<std::string>(
            name,
            [set, name](const std::string& text) {
                double value = 0.0;
                if (!parseFinite(text, value)) refuse(name, "'" + text + "' is not a finite number");
                set(value);
            },
            help)
        ->type_name("NUM");
}

CLI::Option* addInteger(CLI::App* app, const std::string& name, int64_t low, int64_t high,
                        std::function<void(int64_t)> set, const std::string& help, bool hex) {
    return app
        ->add_option_function<std::string>(
            name,
            [set, name, low, high, hex](const std::string& text) {
                char* end = nullptr;
                errno = 0;
                const long long parsed = std::strtoll(text.c_str(), &end, hex ? 0 : 10);
                if (text.empty() || end != text.c_str() + text.size() || errno == ERANGE || parsed < low ||
                    parsed > high) {
                    char range[96];
                    std::snprintf(range, sizeof range, hex ? " (0x%llx to 0x%llx)" : "", static_cast<long long>(low),
                                  static_cast<long long>(high));
                    refuse(name, "'" + text + "' is not an integer from " + std::to_string(low) + " to " +
                                     std::to_string(high) + range);
                }
                set(parsed);
            },
            help)
        ->type_name("N");
}

CLI::Option* addTriple(CLI::App* app, const std::string& name, std::function<void(const double*)> set,
                       const std::string& help) {
    return app
        ->add_option_function<std::string>(
            name,
            [set, name](const std::string& text) {
                double parsed[3];
                std::size_t count = 0;
                std::string::size_type start = 0;
                while (count < 3) {
                    const std::string::size_type comma = text.find(',', start);
                    double value = 0.0;
                    if (!parseFinite(text.substr(start, comma - start), value)) break;
                    parsed[count++] = value;
                    if (comma == std::string::npos) {
                        if (count != 3) break;
                        set(parsed);
                        return;
                    }
                    start = comma + 1;
                }
                refuse(name, "'" + text + "' is not 3 comma-separated finite numbers");
            },
            help)
        ->type_name("A,B,C");
}

CLI::Option* addTriple(CLI::App* app, const std::string& name, double* target, const std::string& help) {
    return addTriple(app, name, [target](const double* v) { std::copy(v, v + 3, target); }, help);
}

CLI::Option* addText(CLI::App* app, const std::string& name, std::optional<std::string>& target,
                     const std::string& help) {
    return app->add_option_function<std::string>(name, [&target](const std::string& text) { target = text; }, help);
}

CLI::Option* addRepeated(CLI::App* app, const std::string& name, std::function<void(const std::string&)> take,
                         const std::string& help) {
    return app
        ->add_option_function<std::string>(
            name,
            [take, name](const std::string& text) {
                if (text.empty()) refuse(name, "needs a value");
                take(text);
            },
            help)
        ->trigger_on_parse()
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
}

void addRoadOptions(CLI::App* app, DriverChoice& choice, bool allowAuto) {
    std::vector<std::string> builds = {"10k", "14p4k", "4k"};
    if (allowAuto) builds.push_back("auto");
    std::string expected = "10k, 14p4k, 4k";
    if (allowAuto) expected += " or auto";
    app->add_option_function<std::string>(
           "--build",
           [&choice, builds, expected](const std::string& tag) {
               for (const std::string& b : builds) {
                   if (tag == b) {
                       choice.buildTag = tag;
                       return;
                   }
               }
               throw CLI::ValidationError("unknown build '" + tag + "' (expected " + expected + ")");
           },
           "sample-rate build: " + expected + " (default 10k)" +
               (allowAuto ? "; auto: the build at an input file's rate (a recording's, or a sample CSV's from its "
                            "time column) or the nearest above it, other rates resampled"
                          : ""))
        ->type_name("TAG");
    CLI::Option* deliverable =
        app->add_option("--deliverable", choice.deliverablePath, "drive this deliverable instead of the build's own")
            ->type_name("PATH");
    CLI::Option* inProcess =
        app->add_flag("--in-process", choice.inProcess, "call the model's methods linked into the tool");
    deliverable->excludes(inProcess);
}

std::vector<CLI::Option*> addPortOptions(CLI::App* app, ModelInputs& ports) {
    return {
        addInteger(
            app, "--report-rate", 1, 1200, [&ports](int64_t v) { ports.reportRate = static_cast<int32_t>(v); },
            "ReportRate port, 1..1200 reports per second (default 50); the 4k build reports every instant only "
            "up to 999, and more is refused"),
        addNumber(
            app, "--nominal-frequency",
            [&ports](double hz) {
                // The model's filters and its correction are laid out for
                // 50 and 60 Hz systems.
                const std::string refused = nominalFrequencyError(hz);
                if (!refused.empty()) throw CLI::ValidationError("option '--nominal-frequency': " + refused);
                ports.nominalFrequency = hz;
            },
            "NominalFrequency port, 45..65 Hz (default 50)")
            ->type_name("HZ"),
        addInteger(
            app, "--report-mode", 0, 1, [&ports](int64_t v) { ports.reportMode = v == 1; },
            "ReportMode port, 0 or 1 (default 1)"),
        addTriple(app, "--magnitude-coeffs", ports.magnitudeCoeffs, "MagnitudeCoeffs port (default 0,0,1)")
            ->type_name("C2,C1,C0"),
        addTriple(app, "--phase-coeffs", ports.phaseCoeffs, "PhaseCoeffs port, rad (default 0,0,0)")
            ->type_name("P2,P1,P0"),
    };
}

void addRecordingOptions(CLI::App* app, RecordingOptions& r) {
    const std::string group = "Recordings";
    r.options = {
        addText(app, "--phases", r.phases,
                "the recording's phase channels by name or number (4 or A4, from 1) (default: its three voltage "
                "channels, ordered by their phase fields A, B, C when those name each once, or the voltages marked "
                "phase A, B, C); for a CSV, its phase columns by header name (a plain three-phase CSV, ports from "
                "the options)")
            ->type_name("A,B,C"),
        app->add_flag("--line-to-line", r.lineToLine,
                      "the voltage channels (or --phases AB,BC,CA) are line-to-line; found from names like VAB, "
                      "UAB, A-B without this option"),
        app->add_flag("--primary", r.primary, "values on the transformer's primary side (default)"),
        app->add_flag("--secondary", r.secondary, "values on the secondary side"),
    };
    for (CLI::Option* option : r.options) option->group(group);
}

void readRecordingOptions(const RecordingOptions& r, ComtradeReadOptions& read) {
    if (r.primary && r.secondary) throw UsageError("give either --primary or --secondary");
    read.side = r.secondary ? ValueSide::Secondary : ValueSide::Primary;
    read.lineToLine = r.lineToLine;
    if (!r.phases) return;
    for (const std::string_view name : splitFields(*r.phases)) read.phases.emplace_back(name);
    if (read.phases.size() != 3) throw UsageError("--phases needs three channels, as in VA,VB,VC");
}

std::vector<CLI::Option*> recordingOnlyOptions(const RecordingOptions& r) {
    return std::vector<CLI::Option*>(r.options.begin() + 1, r.options.end());
}

std::vector<CLI::Option*> addSignalOptions(CLI::App* app, SignalShape& s) {
    const std::string group = "Signal shaping (any signal takes any of them; angles in degrees)";
    std::vector<CLI::Option*> options = {
        addNumber(app, "--frequency", s.frequency, "fundamental frequency at the start, Hz (default: per signal)"),
        addNumber(app, "--amplitude", s.amplitude, "peak amplitude per phase (default 100)"),
        addNumber(app, "--phase", s.phase, "phase of va at time 0, degrees (default 0)"),
        addNumber(app, "--duration", s.duration, "length of the run, s (default 1, up to a day)"),
        addNumber(app, "--start-time", s.startTime, "absolute time of the first sample, s (default 0)"),
        addNumber(app, "--event-time", s.eventTime, "steps and the ramp's start, s after the first sample (default 0.5)"),
        addNumber(app, "--ramp-rate", s.rampRate, "frequency ramp rate, Hz/s (ramp: 1)"),
        addNumber(app, "--ramp-duration", s.rampDuration, "ramp length, s (default: to the end)"),
        addNumber(app, "--magnitude-step", s.magnitudeStep, "magnitude step, fraction (magnitude-step: 0.1)"),
        addNumber(app, "--phase-step", s.phaseStep, "phase step, degrees (phase-step: 10)"),
        addNumber(app, "--am-depth", s.amDepth, "amplitude modulation depth, fraction (amplitude-modulation: 0.1)"),
        addNumber(app, "--am-frequency", s.amFrequency, "amplitude modulation frequency, Hz (amplitude-modulation: 2)"),
        addNumber(app, "--pm-depth", s.pmDepth, "phase modulation depth, degrees (phase-modulation: 5)"),
        addNumber(app, "--pm-frequency", s.pmFrequency, "phase modulation frequency, Hz (phase-modulation: 2)"),
        addInteger(app, "--harmonic-order", 1, 1000, s.harmonicOrder, "order of one added harmonic (harmonics: 3)"),
        addNumber(app, "--harmonic-fraction", s.harmonicFraction,
                  "its amplitude relative to the fundamental (harmonics: 0.1)"),
        addTriple(
            app, "--phase-gains", [&s](const double* v) { s.phaseGains = std::array<double, 3>{v[0], v[1], v[2]}; },
            "per-phase amplitude factors (unbalance: 1,0.9,1.1)")
            ->type_name("GA,GB,GC"),
        addNumber(app, "--noise", s.noise, "white Gaussian noise, in the amplitude's unit (noise: 1 % of it)"),
        addInteger(
            app, "--seed", 0, std::numeric_limits<int64_t>::max(),
            [&s](int64_t v) { s.seed = static_cast<uint64_t>(v); }, "noise seed (default 1)"),
    };
    for (CLI::Option* option : options) {
        option->group(group);
        const std::string& name = option->get_name();
        if (name == "--duration" || name == "--start-time" || name == "--event-time" || name == "--ramp-duration") {
            option->type_name("S");
        } else if (name.find("frequency") != std::string::npos) {
            option->type_name("HZ");
        } else if (name == "--phase" || name == "--phase-step" || name == "--pm-depth") {
            option->type_name("DEG");
        }
    }
    return options;
}

CLI::Option* addFraction(CLI::App* app, const std::string& name, double& target, const std::string& help) {
    return addNumber(app, name, [&target, name](double f) {
        if (!(f >= 0.0 && f <= 1.0)) throw CLI::ValidationError("option '" + name + "': must be a fraction 0..1");
        target = f;
    }, help)->type_name("FRACTION");
}

void refuseGiven(const std::vector<CLI::Option*>& options, const std::string& what) {
    for (const CLI::Option* option : options) {
        if (option->count() > 0) throw UsageError("option '" + option->get_name() + "' applies to " + what + " only");
    }
}

void addSvOptions(CLI::App* app, SvOptions& sv) {
    const std::string group = "Sampled values";
    sv.options = {
        addText(app, "--sv-id", sv.svId, "take the stream of this svID (default: the first stream seen)")
            ->type_name("ID"),
        addInteger(app, "--appid", 0, 0xFFFF, sv.appId, "take the stream of this APPID (decimal or 0x hex)", true),
        addText(app, "--sv-mac", sv.mac, "take the stream from this source MAC (aa:bb:cc:dd:ee:ff)")->type_name("MAC"),
        addText(app, "--sv-channels", sv.channels,
                "the phase channels a, b, c of the data set, counted from 0 (default 4,5,6: UA UB UC of the "
                "protection data set)")
            ->type_name("A,B,C"),
        addText(app, "--sv-scale", sv.scale,
                "value of one count, one for all phases or one each (default: 0.01 for voltages, 0.001 for "
                "currents)")
            ->type_name("S|SA,SB,SC"),
    };
    for (CLI::Option* option : sv.options) option->group(group);
}

void readSvOptions(const SvOptions& sv, SvStreamOptions& out) {
    out.select.svId = sv.svId;
    if (sv.appId) out.select.appId = static_cast<uint16_t>(*sv.appId);
    if (sv.mac) {
        MacAddress mac{};
        if (!parseMacAddress(*sv.mac, mac)) {
            throw UsageError("option '--sv-mac': '" + *sv.mac + "' is not a MAC address like 01:0c:cd:04:00:01");
        }
        out.select.source = mac;
    }
    std::string error;
    if (!SvDataSet::parse(sv.channels.value_or(""), sv.scale.value_or(""), out.dataSet, error)) {
        throw UsageError("options '--sv-channels' and '--sv-scale': " + error);
    }
}
