#include "io/comtrade/phase_selection.h"

#include <cctype>

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

// 0, 1, 2 for a phase field A, B, C (either case), -1 otherwise.
int phaseOfField(const std::string& field) {
    const std::string_view ph = trimmed(field);
    if (ph.size() != 1) return -1;
    for (int p = 0; p < 3; ++p) {
        if (ph[0] == "ABC"[p] || ph[0] == "abc"[p]) return p;
    }
    return -1;
}

int findChannel(const ComtradeConfig& config, const std::string& token, const std::string& fileName) {
    const std::string_view t = trimmed(token);
    if (const auto number = parseInteger(t)) {
        // Channel numbers are the file's labels (some recorders skip
        // numbers or start above 1).
        for (std::size_t i = 0; i < config.analogs.size(); ++i) {
            if (config.analogs[i].number == *number) return static_cast<int>(i);
        }
        throw ComtradeError(fileName, 0, 0, "",
                            "--phases: no analog channel numbered " + std::string(t) + " (channels: " +
                                std::to_string(config.analogs.front().number) + " to " +
                                std::to_string(config.analogs.back().number) + ")");
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
    // No channel of that name: "A4" is analog channel 4, as the channel
    // lines spell their numbers (An).
    if (match < 0 && t.size() > 1 && (t[0] == 'A' || t[0] == 'a') && parseInteger(t.substr(1))) {
        return findChannel(config, std::string(t.substr(1)), fileName);
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

// Which line-to-line pair a channel name says: 0 for a-b, 1 for b-c, 2 for
// c-a, -1 for none. Case, blanks, '-' and '_' do not matter, a leading V or
// U (voltage) and trailing digits neither: VAB, UAB, Vab, A-B, V_BC1.
int pairOfName(const std::string& name) {
    std::string n;
    for (char c : name) {
        if (c == ' ' || c == '-' || c == '_' || c == '\t') continue;
        n += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    while (!n.empty() && std::isdigit(static_cast<unsigned char>(n.back()))) n.pop_back();
    if (n.size() == 3 && (n[0] == 'V' || n[0] == 'U')) n.erase(0, 1);
    if (n == "AB") return 0;
    if (n == "BC") return 1;
    if (n == "CA") return 2;
    return -1;
}

}  // namespace

std::optional<std::array<int, 3>> selectLineToLine(const ComtradeConfig& config, bool forced,
                                                   const std::vector<std::string>& requested,
                                                   const std::string& fileName) {
    if (!requested.empty()) {
        if (!forced) return std::nullopt;
        return selectPhases(config, requested, fileName);
    }
    std::array<int, 3> pairs{-1, -1, -1};
    int found = 0;
    for (std::size_t i = 0; i < config.analogs.size(); ++i) {
        if (!isVoltageUnit(config.analogs[i].unit)) continue;
        const int pair = pairOfName(config.analogs[i].id);
        if (pair < 0) continue;
        if (pairs[static_cast<std::size_t>(pair)] >= 0) {
            throw ComtradeError(fileName, 0, 0, "",
                                "two voltage channels for line " + std::string(pair == 0 ? "a-b" : pair == 1 ? "b-c" : "c-a") +
                                    "; choose them with --line-to-line --phases AB,BC,CA");
        }
        pairs[static_cast<std::size_t>(pair)] = static_cast<int>(i);
        ++found;
    }
    if (found >= 2) return pairs;
    if (!forced) return std::nullopt;
    return selectPhases(config, {}, fileName);
}

std::array<int, 3> selectPhases(const ComtradeConfig& config, const std::vector<std::string>& requested,
                                const std::string& fileName, std::vector<std::string>* notes) {
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
            // Phase fields that name A, B and C once each decide the order
            // when it is not the file's (a recorder listing C, B, A).
            std::array<int, 3> byField{-1, -1, -1};
            int named = 0;
            for (int i : voltages) {
                const int p = phaseOfField(config.analogs[static_cast<std::size_t>(i)].phase);
                if (p >= 0 && byField[static_cast<std::size_t>(p)] < 0) {
                    byField[static_cast<std::size_t>(p)] = i;
                    ++named;
                }
            }
            if (named == 3 && byField != chosen) {
                if (notes != nullptr) {
                    notes->push_back("warning: " + fileName + ": the phase fields of the voltage channels " +
                                     channelList(config, voltages) + " name them in another order than the file's; " +
                                     "taken by their phase fields as a, b, c: " +
                                     channelList(config, {byField[0], byField[1], byField[2]}) +
                                     " (--phases chooses otherwise)");
                }
                chosen = byField;
            }
        } else {
            // More voltages than phases (a neutral, a second bus): take the
            // one voltage channel marked A, B and C each, if there is one.
            std::array<std::vector<int>, 3> byPhase;
            for (int i : voltages) {
                const int p = phaseOfField(config.analogs[static_cast<std::size_t>(i)].phase);
                if (p >= 0) byPhase[static_cast<std::size_t>(p)].push_back(i);
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
