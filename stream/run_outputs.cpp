#include "stream/run_outputs.h"

#include "io/fan_out_sink.h"
#include "plot/plot_sink.h"

RunDescription describeRun(const SampleRateBuild& build, const DriverChoice& driver, const std::string& input,
                           double epochOfTimeZero, const std::string& commandLine) {
    RunDescription d;
    d.model = build.modelName;
    d.build = driver.buildTag;
    d.sampleRate = build.fs;
    d.deliverable = driver.inProcess ? "in-process"
                    : driver.deliverablePath.empty()
                        ? builtDeliverablePath(std::string(build.sfunctionName) + ".mexa64")
                        : driver.deliverablePath;
    d.input = input;
    d.commandLine = commandLine;
    d.epochOfTimeZero = epochOfTimeZero;
    return d;
}

std::unique_ptr<OutputSink> openRunOutputs(const OutputRequest& request, const std::string& plotPath,
                                           std::string& error) {
    std::unique_ptr<OutputSink> main = openOutputSink(request, error);
    if (!main || plotPath.empty()) return main;
    auto page = std::make_unique<PlotSink>(plotPath, request.description);
    if (!page->open()) {
        error = page->error();
        return nullptr;
    }
    auto both = std::make_unique<FanOutSink>();
    both->add(std::move(main));
    both->add(std::move(page));
    return both;
}
