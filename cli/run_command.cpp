// orvane run: samples (sample CSV files, COMTRADE recordings or a built-in
// signal) through one build of the measurement model, outputs to CSV, HDF5
// or COMTRADE.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cli/batch_lines.h"
#include "cli/options.h"
#include "cli/progress.h"
#include "io/distinct_files.h"
#include "io/output_formats.h"
#include "stream/file_batch.h"
#include "stream/file_run.h"

namespace {

struct RunOptions {
    std::vector<InputFile> inputs;  // --input and --comtrade in the order given
    std::optional<std::string> signal, output, outputDir, frames, format, plot, svPcap;
    bool reportsOnly = false;
    bool timing = false;
    RecordingOptions recording;
    SvOptions sv;
    int64_t idCode = 1;
    std::optional<int64_t> jobs;
    FileRunSettings settings;
    SignalShape shape;
    std::vector<CLI::Option*> portOptions, shapeOptions;
    CLI::Option* idCodeOption = nullptr;
};

int runBatch(RunOptions& o, const std::string& format, const std::vector<std::string>& inputFiles) {
    if (o.output) throw UsageError("with several files or --jobs give --output-dir DIR, not --output");
    if (o.frames) throw UsageError("--c37118 takes one input file");
    if (o.plot) throw UsageError("--plot takes one input file (draw several with 'orvane plot')");
    if (o.timing) throw UsageError("--timing takes one input file");
    const std::filesystem::path dir = o.outputDir.value_or(".");
    if (!std::filesystem::exists(dir)) {
        throw UsageError("--output-dir '" + dir.string() + "' does not exist: create the folder first");
    }
    if (!std::filesystem::is_directory(dir)) throw UsageError("--output-dir '" + dir.string() + "' is a file, not a folder");
    std::vector<FileJob> jobs;
    std::string error;
    if (!planFileJobs(o.inputs, dir.string(), outputExtension(format), jobs, error)) throw UsageError(error);
    std::vector<std::string> outputFiles;
    for (const FileJob& job : jobs) outputFiles.push_back(job.input.outputPath);
    if (!checkDistinctFiles(inputFiles, outputFiles, error)) return failWith(2, error);
    // On a terminal one line per file, redrawn in place; elsewhere each
    // file's line once, when it is finished.
    ProgressDisplay display(commandName());
    std::vector<bool> printed(jobs.size(), false);
    const BatchProgress progress = [&](const std::vector<FileJob>& all, bool final) {
        if (display.enabled()) {
            std::vector<std::string> lines;
            for (std::size_t i = 0; i < all.size(); ++i) lines.push_back("orvane run: " + describeFileJob(all[i], i, all.size()));
            display.draw(lines, final);
            return;
        }
        for (std::size_t i = 0; i < all.size(); ++i) {
            if (all[i].state != FileJob::State::Done || printed[i]) continue;
            printed[i] = true;
            note(describeFileJob(all[i], i, all.size()));
        }
    };
    const FaultKind worst = runFileBatch(jobs, o.settings, static_cast<std::size_t>(o.jobs.value_or(1)), progress);
    note(describeBatchEnd(jobs));
    return exitStatusOf(worst);
}

int runCommand(RunOptions& o) {
    if (o.svPcap) {
        if (!o.inputs.empty() || o.signal) throw UsageError("give --sv-pcap FILE alone, without --input, --comtrade or --signal");
        if (o.jobs || o.outputDir) throw UsageError("--sv-pcap takes one capture: give --output, not --jobs or --output-dir");
        o.inputs.push_back(InputFile{*o.svPcap, false, "", true});
        readSvOptions(o.sv, o.settings.sv);
    } else {
        refuseGiven(o.sv.options, "--sv-pcap");
    }
    if (o.inputs.empty() == !o.signal) throw UsageError("give either --input FILE or --signal NAME");
    FileRunSettings& settings = o.settings;
    bool recording = false, csv = false;
    for (const InputFile& input : o.inputs) {
        recording = recording || input.comtrade || input.svCapture;
        csv = csv || (!input.comtrade && !input.svCapture);
    }
    if (!o.signal) refuseGiven(o.shapeOptions, "--signal");
    // A plain three-phase CSV takes the port options and --phases; a CSV of
    // thirteen columns refuses them when it is opened.
    if (!o.signal && !recording && !csv) refuseGiven(o.portOptions, "--signal, --comtrade or --sv-pcap");
    if (o.svPcap) refuseGiven(o.recording.options, "--comtrade recordings");
    if (!recording && !o.svPcap) {
        refuseGiven(csv ? recordingOnlyOptions(o.recording) : o.recording.options,
                    csv ? "--comtrade recordings" : "--comtrade recordings and plain CSVs");
    }
    for (const CLI::Option* option : o.portOptions) settings.portsGiven = settings.portsGiven || option->count() > 0;
    if (o.idCodeOption->count() > 0 && !o.frames) throw UsageError("--idcode has no effect without --c37118");
    settings.buildTag = settings.driver.buildTag;
    settings.reportsOnly = o.reportsOnly;
    settings.nominalFrequencyGiven = o.portOptions[kNominalFrequencyOption]->count() > 0;
    settings.idCode = static_cast<uint16_t>(o.idCode);
    readRecordingOptions(o.recording, settings.comtrade);
    settings.format = o.format.value_or("");
    settings.plotPath = o.plot.value_or("");
    settings.commandLine = commandLine();
    std::string error;
    const std::string format =
        outputFormatOf(OutputRequest{o.output.value_or(""), settings.format, false, {}, false}, error);
    if (format.empty()) throw UsageError(error);
    const std::vector<std::string> inputFiles = filesRead(o.inputs);
    if (o.inputs.size() > 1 || o.jobs || o.outputDir) return runBatch(o, format, inputFiles);
    if (o.frames) settings.framesPath = o.frames->empty() ? "-" : *o.frames;
    if (!checkDistinctFiles(inputFiles, {o.output.value_or(""), o.frames.value_or(""), settings.plotPath}, error)) {
        return failWith(2, error);
    }

    ProgressDisplay display(commandName() + ": " + (o.signal ? "signal " + *o.signal : o.inputs[0].path));
    const SampleProgress progress = [&display](uint64_t samples, std::optional<double> f) {
        display.update(samples, f);
    };
    FileOutcome outcome;
    if (o.signal) {
        if (settings.buildTag == "auto") {
            throw UsageError("--build auto needs an input file (a signal has no rate of its own)");
        }
        outcome = runSignal(*o.signal, o.shape, o.output.value_or(""), settings, progress);
    } else {
        InputFile input = o.inputs[0];
        input.outputPath = o.output.value_or("");
        outcome = runInputFile(input, settings, progress);
    }
    display.clear();
    for (const std::string& line : outcome.notes) note(line);
    if (outcome.fault != FaultKind::None) return failWith(exitStatusOf(outcome.fault), outcome.error);
    if (o.timing) note(describeTiming(outcome.timing));
    return 0;
}

Command setup(CLI::App& root) {
    auto o = std::make_shared<RunOptions>();
    CLI::App* app = root.add_subcommand("run", "run samples (CSV files, recordings or a built-in signal) through the model");
    describe(app, 
        "usage: orvane run --build 10k|14p4k|4k (--input FILE.csv | --signal NAME [signal options])\n"
        "                  [--output FILE] [--format NAME] [--plot PAGE.html] [--reports-only] [--timing]\n"
        "                  [--bridge-gaps] [--quality] [--deliverable PATH | --in-process]\n"
        "       orvane run [--build TAG|auto] (--comtrade FILE | --input FILE.csv)... [--jobs N]\n"
        "                  [--output-dir DIR] [--phases A,B,C] [--line-to-line] [--primary | --secondary]\n"
        "       orvane run [--build TAG|auto] --sv-pcap FILE [--sv-id ID | --appid N | --sv-mac MAC]\n"
        "                  [--sv-channels A,B,C] [--sv-scale S|SA,SB,SC] [--output FILE.csv]\n"
        "\n"
        "Runs samples through the measurement model and writes one row of its seven\n"
        "outputs per sample (CSV by default, HDF5 or COMTRADE by --format or the\n"
        "--output extension):\n"
        "  timestamp,magnitude,angle,frequency,rocof,report_strobe,active_report_rate\n"
        "A sample CSV has the header\n"
        "  time,va,vb,vc,report_rate,mag_c2,mag_c1,mag_c0,ph_p2,ph_p1,ph_p0,nominal_frequency,report_mode\n"
        "or, a plain three-phase CSV, 'time,va,vb,vc' (or any header with a 'time' column and\n"
        "--phases naming three), its ports from --report-rate, --nominal-frequency, ... as for\n"
        "recordings. A file's sample rate is the mean step of time over its first second.\n"
        "A recording's Time input counts seconds since UTC midnight of the day its first\n"
        "sample was taken (its start time moved to UTC by the 2013 time code), and the output\n"
        "timestamps count from the same midnight; --c37118 frames carry the absolute time.\n"
        "A sampled-values capture (pcap or pcapng) is timed the same way: each sample at its\n"
        "second (from the capture clock) plus smpCnt over the stream's rate.\n");
    for (const bool comtrade : {false, true}) {
        addRepeated(
            app, comtrade ? "--comtrade" : "--input",
            [o, comtrade](const std::string& path) { o->inputs.push_back(InputFile{path, comtrade, ""}); },
            comtrade ? "a COMTRADE recording (.cfg with its .dat, or .cff); repeat for several files"
                     : "a sample CSV; repeat for several files")
            ->type_name("FILE");
    }
    addText(app, "--signal", o->signal, "a built-in signal instead of a file (listed below)")->type_name("NAME");
    addRoadOptions(app, o->settings.driver, true);
    addText(app, "--output", o->output,
            "where the outputs go (default: standard output), as CSV, or HDF5 / COMTRADE by extension or --format; "
            "written only when the whole run succeeds")
        ->type_name("FILE");
    addText(app, "--format", o->format,
            "csv, hdf5 or comtrade (default: by the --output extension: .h5/.hdf5 HDF5, .cfg COMTRADE of the "
            "reports, else CSV)")
        ->type_name("NAME");
    addText(app, "--plot", o->plot, "also draw the run as one self-contained HTML page")->type_name("FILE.html");
    app->add_flag("--reports-only", o->reportsOnly, "only the rows whose report strobe is 1");
    app->add_flag("--timing", o->timing,
                  "at the end, say on standard error where the run's wall time went: reading the input, the model, "
                  "writing the outputs");
    app->add_flag("--bridge-gaps", o->settings.bridgeGaps,
                  "bridge short runs of missing samples (NaN) in a sample CSV: each takes the value the same "
                  "phase had one measured period earlier (always done for recordings)");
    app->add_flag("--quality", o->settings.quality,
                  "add a last output column 'quality': 1 where the measurement rests on missing samples or on "
                  "gaps longer than the bridge is proven for");
    addText(app, "--c37118", o->frames,
            "also write the reports as IEEE C37.118.2 frames: CFG-2, then one data frame per report")
        ->type_name("FILE");
    o->idCodeOption = addInteger(app, "--idcode", 1, 65534, o->idCode, "IDCODE of those frames, 1..65534 (default 1)");
    addRecordingOptions(app, o->recording);
    addText(app, "--sv-pcap", o->svPcap,
            "a capture (pcap or pcapng) of sampled-values frames; one stream of it is run")
        ->type_name("FILE")
        ->group("Sampled values");
    addSvOptions(app, o->sv);
    const std::string recordings = "Several files";
    addInteger(app, "--jobs", 1, 256, o->jobs, "run up to N files at once, each in its own process (default 1)")
        ->group(recordings);
    addText(app, "--output-dir", o->outputDir,
            "with several files: FILE's output goes to DIR/STEM.out.csv (.out.h5 or .out.cfg with --format hdf5 or "
            "comtrade; default: the current directory)")
        ->type_name("DIR")
        ->group(recordings);
    o->portOptions = addPortOptions(app, o->settings.ports);
    o->shapeOptions = addSignalOptions(app, o->shape);
    app->footer(signalHelp() + "\nexit status: 0 done, 1 the model or the output failed, 2 bad input or usage");
    return {app, [o] { return runCommand(*o); }};
}

const CommandRegistration kRegistration(setup);

}  // namespace
