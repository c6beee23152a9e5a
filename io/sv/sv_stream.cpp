#include "io/sv/sv_stream.h"

#include <cstdio>

bool parseMacAddress(const std::string& text, MacAddress& mac) {
    if (text.size() != 17) return false;
    for (std::size_t i = 0; i < 6; ++i) {
        unsigned byte = 0;
        for (std::size_t k = 0; k < 2; ++k) {
            const char c = text[i * 3 + k];
            unsigned v;
            if (c >= '0' && c <= '9') {
                v = static_cast<unsigned>(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                v = static_cast<unsigned>(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                v = static_cast<unsigned>(c - 'A' + 10);
            } else {
                return false;
            }
            byte = byte * 16 + v;
        }
        if (i < 5 && text[i * 3 + 2] != ':' && text[i * 3 + 2] != '-') return false;
        mac[i] = static_cast<uint8_t>(byte);
    }
    return true;
}

std::string formatMacAddress(const MacAddress& mac) {
    char text[18];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2], mac[3], mac[4],
                  mac[5]);
    return text;
}

bool SvSelector::matches(const SvFrame& frame, const SvAsdu& asdu) const {
    if (svId && asdu.svId != *svId) return false;
    if (appId && frame.appId != *appId) return false;
    if (source && frame.source != *source) return false;
    return true;
}

std::vector<std::string> SvMalformedCounts::describe() const {
    std::vector<std::string> lines;
    for (std::size_t k = 0; k < kSvFaultKinds; ++k) {
        if (count[k] == 0) continue;
        lines.push_back(std::to_string(count[k]) + " malformed frames skipped: " +
                        svFaultText(static_cast<SvFault>(k)) + " (first: packet " + std::to_string(firstPacket[k]) +
                        ", byte " + std::to_string(firstOffset[k]) + ")");
    }
    return lines;
}

uint64_t SvMalformedCounts::total() const {
    uint64_t sum = 0;
    for (uint64_t c : count) sum += c;
    return sum;
}

bool SvMalformedCounts::note(SvFault fault, uint64_t packet, std::size_t offset) {
    const std::size_t k = static_cast<std::size_t>(fault);
    if (count[k]++ > 0) return false;
    firstPacket[k] = packet;
    firstOffset[k] = offset;
    return true;
}

SvStreamReader::SvStreamReader(PacketReader& packets, const SvStreamOptions& options)
    : packets_(packets), options_(options), continuity_(options.rate, options.reorderWindow) {}

std::optional<SvFault> SvStreamReader::newFaultKind() {
    for (std::size_t k = 0; k < kSvFaultKinds; ++k) {
        if (malformed_.count[k] > 0 && !announced_[k]) {
            announced_[k] = true;
            return static_cast<SvFault>(k);
        }
    }
    return std::nullopt;
}

void SvStreamReader::take(const CapturedPacket& packet) {
    ++packetNumber_;
    lastCapture_ = packet.time;
    continuity_.clock(packet.time);
    SvFault fault{};
    std::size_t offset = 0;
    const SvDecode result = decodeSvFrame(packet.bytes, frame_, fault, offset);
    if (result == SvDecode::NotSampledValues) return;
    if (result == SvDecode::Malformed) {
        malformed_.note(fault, packetNumber_, offset);
        return;
    }
    bool counted = false;
    for (const SvAsdu& asdu : frame_.asdus) {
        // The first stream that fits the selection is the one taken; the
        // others pass by.
        const bool ours = svId_ ? (asdu.svId == *svId_ && frame_.appId == appId_ && frame_.source == source_)
                                : options_.select.matches(frame_, asdu);
        if (!ours) {
            if (!counted) ++otherFrames_;
            counted = true;
            continue;
        }
        if (!svId_) {
            svId_ = std::string(asdu.svId);
            appId_ = frame_.appId;
            source_ = frame_.source;
        }
        if (asdu.channels() < options_.dataSet.channelsNeeded()) {
            error_ = "stream '" + *svId_ + "' carries " + std::to_string(asdu.channels()) +
                     " channels; the phases need channel " + std::to_string(options_.dataSet.channelsNeeded() - 1) +
                     " (channels count from 0)";
            return;
        }
        SvArrival a;
        a.stamp = svStamp(packet.time, asdu.refreshTime);
        a.smpCnt = asdu.smpCnt;
        a.smpRate = asdu.smpRate;
        readPhases(asdu, options_.dataSet, a.phase, a.flags, quality_);
        continuity_.offer(a, ready_);
    }
}

SvStreamReader::Status SvStreamReader::next(SvSample& sample) {
    while (ready_.empty()) {
        if (!error_.empty()) return Status::Error;
        if (ended_) return Status::End;
        CapturedPacket packet;
        switch (packets_.next(packet)) {
            case PacketReader::Status::Packet:
                take(packet);
                break;
            case PacketReader::Status::Timeout:
                continuity_.clock(packet.time);
                return Status::Timeout;
            case PacketReader::Status::End:
                continuity_.finish(ready_);
                ended_ = true;
                break;
            case PacketReader::Status::Error:
                error_ = packets_.error();
                return Status::Error;
        }
    }
    if (!error_.empty()) return Status::Error;
    sample = ready_.front();
    ready_.pop_front();
    return Status::Sample;
}
