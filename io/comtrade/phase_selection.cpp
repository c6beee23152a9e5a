#include "io/comtrade/phase_selection.h"

#include "io/comtrade/comtrade_error.h"
#include "io/comtrade/comtrade_text.h"

namespace {

// V, kV, mV, MV: a voltage; VA or VAr is not.
bool isVoltageUnit(const std::string& unit) {
    const std::string_view u = trimmed(unit);
    if (u == "V" || u == "v") return true;
    return u.size() == 2 && (u[1] == 'V' || u[1] == 'v') && (u[0] == 'k' || u[0] == 'K' || u[0] == 'm' || u[0] == 'M');
}

std::string channelList(const ComtradeConfig& config, const std::vector<int>& indices) {
    std::string list;
    for (int i : indices) {
        const ComtradeAnalogChannel& c = config.analogs[static_cast<std::size_t>(i)];
        if (!list.empty()) list += ", ";
        list += std::to_string(c.number) + " '" + c.id + "' [" + c.unit + "]";
    }
    return list.empty() ? "none" : list;
}

int findChannel(const ComtradeConfig& config, const std::string& token, const std::string& fileName) {
    const std::string_view t = trimmed(token);
    if (const auto number = parseInteger(t)) {
        if (*number < 1 || static_cast<std::size_t>(*number) > config.analogs.size()) {
            throw ComtradeError(fileName, 0, 0, "",
                                "--phases: channel number " + std::string(t) + " is not between 1 and " +
                                    std::to_string(config.analogs.size()));
        }
        return static_cast<int>(*number - 1);
    }
    for (std::size_t i = 0; i < config.analogs.size(); ++i) {
        if (config.analogs[i].id == t) return static_cast<int>(i);
    }
    int match = -1;
    for (std::size_t i = 0; i < config.analogs.size(); ++i) {
        if (!equalsIgnoringCase(config.analogs[i].id, t)) continue;
        if (match >= 0) throw ComtradeError(fileName, 0, 0, "", "--phases: channel name '" + std::string(t) + "' is ambiguous");
        match = static_cast<int>(i);
    }
    if (match < 0) {
        std::vector<int> all;
        for (std::size_t i = 0; i < config.analogs.size(); ++i) all.push_back(static_cast<int>(i));
        throw ComtradeError(fileName, 0, 0, "",
                            "--phases: no analog channel named '" + std::string(t) + "' (channels: " +
                                channelList(config, all) + ")");
    }
    return match;
}

}  // namespace

std::array<int, 3> selectPhases(const ComtradeConfig& config, const std::vector<std::string>& requested,
                                const std::string& fileName) {
    std::array<int, 3> chosen{};
    if (!requested.empty()) {
        if (requested.size() != 3) {
            throw ComtradeError(fileName, 0, 0, "",
                                "--phases needs three channels (a,b,c), got " + std::to_string(requested.size()));
        }
        for (std::size_t p = 0; p < 3; ++p) {
            chosen[p] = findChannel(config, requested[p], fileName);
            for (std::size_t q = 0; q < p; ++q) {
                if (chosen[q] == chosen[p])
                    throw ComtradeError(fileName, 0, 0, "", "--phases names channel '" + requested[p] + "' twice");
            }
        }
    } else {
        std::vector<int> voltages;
        for (std::size_t i = 0; i < config.analogs.size(); ++i) {
            if (isVoltageUnit(config.analogs[i].unit)) voltages.push_back(static_cast<int>(i));
        }
        if (voltages.size() == 3) {
            chosen = {voltages[0], voltages[1], voltages[2]};
        } else {
            // More voltages than phases (a neutral, a second bus): take the
            // one voltage channel marked A, B and C each, if there is one.
            std::array<std::vector<int>, 3> byPhase;
            for (int i : voltages) {
                const std::string_view ph = trimmed(config.analogs[static_cast<std::size_t>(i)].phase);
                for (std::size_t p = 0; p < 3; ++p) {
                    if (ph.size() == 1 && (ph[0] == "ABC"[p] || ph[0] == "abc"[p])) byPhase[p].push_back(i);
                }
            }
            if (byPhase[0].size() != 1 || byPhase[1].size() != 1 || byPhase[2].size() != 1) {
                throw ComtradeError(fileName, 0, 0, "",
                                    "cannot tell the three phases apart; voltage channels: " +
                                        channelList(config, voltages) + "; choose them with --phases A,B,C");
            }
            chosen = {byPhase[0][0], byPhase[1][0], byPhase[2][0]};
        }
    }
    const std::string& unit = config.analogs[static_cast<std::size_t>(chosen[0])].unit;
    for (std::size_t p = 1; p < 3; ++p) {
        if (config.analogs[static_cast<std::size_t>(chosen[p])].unit != unit) {
            throw ComtradeError(fileName, 0, 0, "",
                                "the phase channels have different units: " +
                                    channelList(config, {chosen[0], chosen[1], chosen[2]}));
        }
    }
    return chosen;
}
