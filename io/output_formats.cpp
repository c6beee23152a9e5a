#include "io/output_formats.h"

#include <algorithm>
#include <cctype>

#include "io/comtrade/comtrade_sink.h"
#include "io/csv/csv_sink.h"
#include "io/hdf5/hdf5_sink.h"

namespace {

template <typename Sink>
std::unique_ptr<OutputSink> opened(std::unique_ptr<Sink> sink, std::string& error) {
    if (!sink->open()) {
        error = sink->error();
        return nullptr;
    }
    return sink;
}

struct Format {
    const char* name;
    const char* extensions[3];  // lower case; the first is the one we give
    std::unique_ptr<OutputSink> (*open)(const OutputRequest&, std::string&);
};

const Format kFormats[] = {
    {"csv",
     {".csv", nullptr, nullptr},
     [](const OutputRequest& r, std::string& e) -> std::unique_ptr<OutputSink> {
         return opened(std::make_unique<CsvSink>(r.path, r.reportsOnly, r.quality), e);
     }},
    {"hdf5",
     {".h5", ".hdf5", ".hdf"},
     [](const OutputRequest& r, std::string& e) -> std::unique_ptr<OutputSink> {
         return opened(std::make_unique<Hdf5Sink>(r.path, r.reportsOnly, r.description), e);
     }},
    {"comtrade",
     {".cfg", nullptr, nullptr},
     [](const OutputRequest& r, std::string& e) -> std::unique_ptr<OutputSink> {
         return opened(std::make_unique<ComtradeSink>(r.path, r.description), e);
     }},
};

const Format* byName(const std::string& name) {
    for (const Format& f : kFormats) {
        if (name == f.name) return &f;
    }
    return nullptr;
}

const Format* byExtension(const std::string& path) {
    const std::string::size_type dot = path.rfind('.');
    const std::string::size_type slash = path.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return nullptr;
    std::string extension = path.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const Format& f : kFormats) {
        for (const char* e : f.extensions) {
            if (e != nullptr && extension == e) return &f;
        }
    }
    return nullptr;
}

}  // namespace

std::string outputFormatNames() {
    std::string names;
    const std::size_t count = std::size(kFormats);
    for (std::size_t i = 0; i < count; ++i) {
        names += (i == 0 ? "" : i + 1 == count ? " or " : ", ");
        names += kFormats[i].name;
    }
    return names;
}

std::string outputFormatOf(const OutputRequest& request, std::string& error) {
    if (!request.format.empty()) {
        if (byName(request.format) == nullptr) {
            error = "unknown output format '" + request.format + "' (expected " + outputFormatNames() + ")";
            return "";
        }
        return request.format;
    }
    const Format* format = byExtension(request.path);
    return format != nullptr ? format->name : "csv";
}

std::string outputExtension(const std::string& format) {
    const Format* f = byName(format);
    return f != nullptr ? f->extensions[0] : ".csv";
}

std::unique_ptr<OutputSink> openOutputSink(const OutputRequest& request, std::string& error) {
    const std::string name = outputFormatOf(request, error);
    if (name.empty()) return nullptr;
    return byName(name)->open(request, error);
}
