#include "io/c37118/config_frame.h"

#include <algorithm>

#include "io/c37118/big_endian.h"

namespace {

constexpr size_t kNameWidth = 16;        // CFG-1/2 names, space padded
constexpr size_t kLongestCfg3Name = 255;  // CFG-3 names, one length byte

void lengthPrefixed(ByteWriter& w, const std::string& text) {
    const size_t length = std::min(text.size(), kLongestCfg3Name);
    w.u8(static_cast<uint8_t>(length));
    w.bytes(reinterpret_cast<const uint8_t*>(text.data()), length);
}

uint16_t fnomWord(int nominalFrequency) { return nominalFrequency == 50 ? 1 : 0; }

void writeCfg12Pmu(ByteWriter& w, const PmuConfig& pmu) {
    w.paddedText(pmu.station, kNameWidth);
    w.u16(pmu.idCode);
    w.u16(pmu.format);
    w.u16(static_cast<uint16_t>(pmu.phasors.size()));
    w.u16(static_cast<uint16_t>(pmu.analogs.size()));
    w.u16(static_cast<uint16_t>(pmu.digitals.size()));
    for (const PhasorChannel& p : pmu.phasors) w.paddedText(p.name, kNameWidth);
    for (const AnalogChannel& a : pmu.analogs) w.paddedText(a.name, kNameWidth);
    for (const DigitalWord& d : pmu.digitals) {
        for (const std::string& label : d.labels) w.paddedText(label, kNameWidth);
    }
    for (const PhasorChannel& p : pmu.phasors) {
        w.u8(p.isCurrent ? 1 : 0);
        w.u24(p.integerScale & 0xFFFFFF);
    }
    for (const AnalogChannel& a : pmu.analogs) {
        w.u8(a.kind);
        w.u24(static_cast<uint32_t>(a.userScale) & 0xFFFFFF);
    }
    for (const DigitalWord& d : pmu.digitals) {
        w.u16(d.normalState);
        w.u16(d.validMask);
    }
    w.u16(fnomWord(pmu.nominalFrequency));
    w.u16(pmu.configCount);
}

void writeCfg3Pmu(ByteWriter& w, const PmuConfig& pmu) {
    lengthPrefixed(w, pmu.station);
    w.u16(pmu.idCode);
    w.bytes(pmu.globalPmuId.data(), pmu.globalPmuId.size());
    w.u16(pmu.format);
    w.u16(static_cast<uint16_t>(pmu.phasors.size()));
    w.u16(static_cast<uint16_t>(pmu.analogs.size()));
    w.u16(static_cast<uint16_t>(pmu.digitals.size()));
    for (const PhasorChannel& p : pmu.phasors) lengthPrefixed(w, p.name);
    for (const AnalogChannel& a : pmu.analogs) lengthPrefixed(w, a.name);
    for (const DigitalWord& d : pmu.digitals) {
        for (const std::string& label : d.labels) lengthPrefixed(w, label);
    }
    for (const PhasorChannel& p : pmu.phasors) {
        w.u16(p.modificationFlags);
        w.u8(static_cast<uint8_t>((p.isCurrent ? 0x08 : 0x00) | (p.component & 0x07)));
        w.u8(p.userByte);
        w.f32(p.scale);
        w.f32(p.angleOffset);
    }
    for (const AnalogChannel& a : pmu.analogs) {
        w.f32(a.multiplier);
        w.f32(a.offset);
    }
    for (const DigitalWord& d : pmu.digitals) {
        w.u16(d.normalState);
        w.u16(d.validMask);
    }
    w.f32(pmu.latitude);
    w.f32(pmu.longitude);
    w.f32(pmu.elevation);
    w.u8(static_cast<uint8_t>(pmu.serviceClass));
    w.i32(pmu.windowMicroseconds);
    w.i32(pmu.groupDelayMicroseconds);
    w.u16(fnomWord(pmu.nominalFrequency));
    w.u16(pmu.configCount);
}

// Reads one PMU block; on failure `field` names what the frame ended in.
bool readCfg12Pmu(ByteReader& r, PmuConfig& pmu, const char*& field) {
    uint16_t counts[3] = {0, 0, 0};
    field = "STN";
    if (!r.paddedText(pmu.station, kNameWidth)) return false;
    field = "IDCODE";
    if (!r.u16(pmu.idCode)) return false;
    field = "FORMAT";
    if (!r.u16(pmu.format)) return false;
    field = "PHNMR, ANNMR, DGNMR";
    if (!r.u16(counts[0]) || !r.u16(counts[1]) || !r.u16(counts[2])) return false;
    // Check the counts against the bytes left before sizing anything by them.
    const size_t needed = (size_t{counts[0]} + counts[1] + 16u * counts[2]) * kNameWidth +
                          4u * (size_t{counts[0]} + counts[1] + counts[2]) + 4u;
    field = "CHNAM";
    if (r.remaining() < needed) return false;
    pmu.phasors.assign(counts[0], PhasorChannel{});
    pmu.analogs.assign(counts[1], AnalogChannel{});
    pmu.digitals.assign(counts[2], DigitalWord{});
    for (PhasorChannel& p : pmu.phasors) r.paddedText(p.name, kNameWidth);
    for (AnalogChannel& a : pmu.analogs) r.paddedText(a.name, kNameWidth);
    for (DigitalWord& d : pmu.digitals) {
        for (std::string& label : d.labels) r.paddedText(label, kNameWidth);
    }
    for (PhasorChannel& p : pmu.phasors) {
        uint8_t kind = 0;
        r.u8(kind);
        r.u24(p.integerScale);
        p.isCurrent = kind == 1;
    }
    for (AnalogChannel& a : pmu.analogs) {
        uint32_t scale = 0;
        r.u8(a.kind);
        r.u24(scale);
        // Sign-extend the 24-bit user scale.
        a.userScale = static_cast<int32_t>(scale << 8) >> 8;
    }
    for (DigitalWord& d : pmu.digitals) {
        r.u16(d.normalState);
        r.u16(d.validMask);
    }
    uint16_t fnom = 0;
    r.u16(fnom);
    r.u16(pmu.configCount);
    pmu.nominalFrequency = (fnom & 1) != 0 ? 50 : 60;
    return true;
}

bool readCfg3Pmu(ByteReader& r, PmuConfig& pmu, const char*& field) {
    uint16_t counts[3] = {0, 0, 0};
    field = "STN";
    if (!r.lengthPrefixedText(pmu.station)) return false;
    field = "IDCODE";
    if (!r.u16(pmu.idCode)) return false;
    field = "G_PMU_ID";
    if (!r.bytes(pmu.globalPmuId.data(), pmu.globalPmuId.size())) return false;
    field = "FORMAT";
    if (!r.u16(pmu.format)) return false;
    field = "PHNMR, ANNMR, DGNMR";
    if (!r.u16(counts[0]) || !r.u16(counts[1]) || !r.u16(counts[2])) return false;
    // Each name takes at least its length byte: refuse counts the frame
    // cannot hold before sizing anything by them.
    field = "CHNAM";
    if (r.remaining() < size_t{counts[0]} + counts[1] + 16u * counts[2]) return false;
    pmu.phasors.assign(counts[0], PhasorChannel{});
    pmu.analogs.assign(counts[1], AnalogChannel{});
    pmu.digitals.assign(counts[2], DigitalWord{});
    for (PhasorChannel& p : pmu.phasors) {
        if (!r.lengthPrefixedText(p.name)) return false;
    }
    for (AnalogChannel& a : pmu.analogs) {
        if (!r.lengthPrefixedText(a.name)) return false;
    }
    for (DigitalWord& d : pmu.digitals) {
        for (std::string& label : d.labels) {
            if (!r.lengthPrefixedText(label)) return false;
        }
    }
    field = "PHSCALE";
    for (PhasorChannel& p : pmu.phasors) {
        uint8_t type = 0;
        if (!r.u16(p.modificationFlags) || !r.u8(type) || !r.u8(p.userByte) || !r.f32(p.scale) ||
            !r.f32(p.angleOffset)) {
            return false;
        }
        p.isCurrent = (type & 0x08) != 0;
        p.component = type & 0x07;
    }
    field = "ANSCALE";
    for (AnalogChannel& a : pmu.analogs) {
        if (!r.f32(a.multiplier) || !r.f32(a.offset)) return false;
    }
    field = "DIGUNIT";
    for (DigitalWord& d : pmu.digitals) {
        if (!r.u16(d.normalState) || !r.u16(d.validMask)) return false;
    }
    field = "PMU_LAT, PMU_LON, PMU_ELEV";
    if (!r.f32(pmu.latitude) || !r.f32(pmu.longitude) || !r.f32(pmu.elevation)) return false;
    uint8_t serviceClass = 0;
    field = "SVC_CLASS";
    if (!r.u8(serviceClass)) return false;
    pmu.serviceClass = static_cast<char>(serviceClass);
    field = "WINDOW, GRP_DLY";
    if (!r.i32(pmu.windowMicroseconds) || !r.i32(pmu.groupDelayMicroseconds)) return false;
    uint16_t fnom = 0;
    field = "FNOM, CFGCNT";
    if (!r.u16(fnom) || !r.u16(pmu.configCount)) return false;
    pmu.nominalFrequency = (fnom & 1) != 0 ? 50 : 60;
    return true;
}

}  // namespace

bool encodeConfigFrame(const ConfigFrame& config, std::vector<uint8_t>& out, std::string& error) {
    const bool cfg3 = config.type == FrameType::Config3;
    beginFrame(out, config.type, cfg3 ? kVersion2011 : kVersion2005, config.idCode, config.time);
    ByteWriter w(out);
    if (cfg3) w.u16(config.continuationIndex);
    w.u8(config.timeBaseFlags);
    w.u24(config.timeBase);
    w.u16(static_cast<uint16_t>(config.pmus.size()));
    for (const PmuConfig& pmu : config.pmus) {
        if (cfg3) {
            writeCfg3Pmu(w, pmu);
        } else {
            writeCfg12Pmu(w, pmu);
        }
    }
    w.i16(config.dataRate);
    if (!sealFrame(out)) {
        error = std::string(frameTypeName(config.type)) + " would be " + std::to_string(out.size() + kCheckSize) +
                " bytes, more than the 65535 FRAMESIZE can express";
        return false;
    }
    return true;
}

bool decodeConfigFrame(std::span<const uint8_t> frame, ConfigFrame& config, std::string& error) {
    FrameHeader header;
    if (!checkFrame(frame, header, error)) return false;
    if (header.type != FrameType::Config1 && header.type != FrameType::Config2 && header.type != FrameType::Config3) {
        error = std::string("expected a configuration frame, got a ") + frameTypeName(header.type);
        return false;
    }
    const bool cfg3 = header.type == FrameType::Config3;
    const std::string kind = frameTypeName(header.type);
    config = ConfigFrame{};
    config.type = header.type;
    config.idCode = header.idCode;
    config.time = header.time;
    ByteReader r(frameBody(frame));
    auto tooShort = [&](const std::string& where) {
        error = "wrong size: " + kind + " of " + std::to_string(frame.size()) +
                " bytes is too short for its own counts (it ends inside " + where + ")";
        return false;
    };
    if (cfg3 && !r.u16(config.continuationIndex)) return tooShort("CONT_IDX");
    if (!r.u8(config.timeBaseFlags) || !r.u24(config.timeBase)) return tooShort("TIME_BASE");
    if (config.timeBase == 0) {
        error = kind + " has TIME_BASE 0: FRACSEC cannot be turned into time";
        return false;
    }
    if (cfg3 && config.continuationIndex != 0) {
        error = "fragmented CFG-3 (CONT_IDX " + std::to_string(config.continuationIndex) +
                ") is not supported; only single-frame CFG-3 is";
        return false;
    }
    uint16_t pmuCount = 0;
    if (!r.u16(pmuCount)) return tooShort("NUM_PMU");
    for (unsigned k = 0; k < pmuCount; ++k) {
        PmuConfig pmu;
        const char* field = "";
        const bool complete = cfg3 ? readCfg3Pmu(r, pmu, field) : readCfg12Pmu(r, pmu, field);
        if (!complete) {
            return tooShort(std::string(field) + " of PMU " + std::to_string(k + 1) + " of " +
                            std::to_string(pmuCount));
        }
        config.pmus.push_back(std::move(pmu));
    }
    if (!r.i16(config.dataRate)) return tooShort("DATA_RATE");
    if (r.remaining() != 0) {
        error = "wrong size: " + kind + " holds " + std::to_string(r.remaining()) + " bytes after DATA_RATE";
        return false;
    }
    if (config.dataRate == 0) {
        error = kind + " has DATA_RATE 0, which is no rate";
        return false;
    }
    return true;
}

size_t dataBlockSize(const PmuConfig& pmu) {
    const size_t phasorSize = (pmu.format & kFormatPhasorFloat) != 0 ? 8 : 4;
    const size_t frequencySize = (pmu.format & kFormatFrequencyFloat) != 0 ? 8 : 4;
    const size_t analogSize = (pmu.format & kFormatAnalogFloat) != 0 ? 4 : 2;
    return 2 + pmu.phasors.size() * phasorSize + frequencySize + pmu.analogs.size() * analogSize +
           2 * pmu.digitals.size();
}

size_t dataFrameSize(const ConfigFrame& config) {
    size_t size = kMinimumFrameSize;
    for (const PmuConfig& pmu : config.pmus) size += dataBlockSize(pmu);
    return size;
}
