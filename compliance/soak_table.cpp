#include "compliance/soak_table.h"

#include <cstdio>

std::string soakHeading(const SoakSettings& s, uint64_t samples, const std::string& model, const std::string& road,
                        const std::string& timeBase) {
    char text[1024];
    std::snprintf(text, sizeof text,
                  "soak: %.6g simulated hours (%llu samples) through %s%s; Time from %.1f s (time base %s)\n"
                  "signal: peak %.0f, 50 Hz +- %.3g Hz over %.0f s; %d reports per second; first %.3g s left out\n\n"
                  "%5s  %16s  %8s  %8s  %13s  %13s  %14s  %10s\n",
                  s.hours, static_cast<unsigned long long>(samples), model.c_str(), road.c_str(), s.base,
                  timeBase.c_str(), kSoakAmplitude, s.wander, s.wanderPeriod, s.reportRate, s.settle, "row",
                  "Time at start (s)", "reports", "off grid", "worst TVE (%)", "worst FE (Hz)", "worst RFE (Hz/s)",
                  "non-finite");
    return text;
}

std::string soakRow(std::size_t index, const SoakInterval& f) {
    char text[256];
    std::snprintf(text, sizeof text, "%5zu  %16.4f  %8llu  %8llu  %13.3e  %13.3e  %14.3e  %10llu\n", index + 1,
                  f.startTime, static_cast<unsigned long long>(f.reports), static_cast<unsigned long long>(f.offGrid),
                  f.worstTve * 100.0, f.worstFe, f.worstRfe, static_cast<unsigned long long>(f.nonFinite));
    return text;
}
