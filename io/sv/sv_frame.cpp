#include "io/sv/sv_frame.h"

namespace {

constexpr uint8_t kSavPduTag = 0x60;
constexpr uint8_t kNoAsduTag = 0x80;
constexpr uint8_t kSeqAsduTag = 0xA2;
constexpr uint8_t kAsduTag = 0x30;
constexpr std::size_t kApduHeaderBytes = 8;  // APPID, length, reserved 1 and 2

uint16_t be16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
uint32_t be32(const uint8_t* p) {
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | p[3];
}

// One BER element: a one-byte tag, a length in the short form or the 0x81 /
// 0x82 long forms, and that many bytes of content.
struct Element {
    uint8_t tag = 0;
    std::span<const uint8_t> content;
};

// Walks the elements of `bytes`, which begin at `base` within the frame (so
// that a fault can name its offset).
class BerWalker {
public:
    BerWalker(std::span<const uint8_t> bytes, std::size_t base) : bytes_(bytes), base_(base) {}

    bool done() const { return pos_ >= bytes_.size(); }
    std::size_t offset() const { return base_ + pos_; }

    bool next(Element& e, SvFault& fault) {
        const std::size_t left = bytes_.size() - pos_;
        if (left < 2) return fail(SvFault::Truncated, fault);
        e.tag = bytes_[pos_];
        // Tag numbers above 30 continue in further bytes; no sampled-values
        // field uses them.
        if ((e.tag & 0x1F) == 0x1F) return fail(SvFault::BadTag, fault);
        std::size_t length = bytes_[pos_ + 1];
        std::size_t head = 2;
        if (length == 0x81) {
            if (left < 3) return fail(SvFault::Truncated, fault);
            length = bytes_[pos_ + 2];
            head = 3;
        } else if (length == 0x82) {
            if (left < 4) return fail(SvFault::Truncated, fault);
            length = be16(&bytes_[pos_ + 2]);
            head = 4;
        } else if (length >= 0x80) {
            // 0x80 is the indefinite form; 0x83 and up are lengths beyond
            // any Ethernet frame.
            return fail(SvFault::BadBerLength, fault);
        }
        if (length > left - head) return fail(SvFault::Truncated, fault);
        e.content = bytes_.subspan(pos_ + head, length);
        contentOffset_ = base_ + pos_ + head;
        pos_ += head + length;
        return true;
    }
    std::size_t contentOffset() const { return contentOffset_; }

private:
    bool fail(SvFault kind, SvFault& fault) {
        fault = kind;
        return false;
    }

    std::span<const uint8_t> bytes_;
    std::size_t base_;
    std::size_t pos_ = 0;
    std::size_t contentOffset_ = 0;
};

bool decodeAsdu(std::span<const uint8_t> content, std::size_t base, SvAsdu& asdu, SvFault& fault,
                std::size_t& offset) {
    asdu = SvAsdu{};
    bool haveId = false, haveCount = false, haveRev = false, haveSynch = false, haveData = false;
    BerWalker walker(content, base);
    while (!walker.done()) {
        Element e;
        offset = walker.offset();
        if (!walker.next(e, fault)) return false;
        const std::size_t n = e.content.size();
        const uint8_t* p = e.content.data();
        auto sized = [&](std::size_t want) {
            if (n == want) return true;
            fault = SvFault::FieldSize;
            return false;
        };
        switch (e.tag) {
            case 0x80:
                asdu.svId = std::string_view(reinterpret_cast<const char*>(p), n);
                haveId = true;
                break;
            case 0x81:
                asdu.dataSet = std::string_view(reinterpret_cast<const char*>(p), n);
                break;
            case 0x82:
                if (!sized(2)) return false;
                asdu.smpCnt = be16(p);
                haveCount = true;
                break;
            case 0x83:
                if (!sized(4)) return false;
                asdu.confRev = be32(p);
                haveRev = true;
                break;
            case 0x84:
                if (!sized(8)) return false;
                asdu.refreshTime = SvRefreshTime{be32(p), (static_cast<uint32_t>(p[4]) << 16) |
                                                              (static_cast<uint32_t>(p[5]) << 8) | p[6],
                                                 p[7]};
                break;
            case 0x85:
                if (!sized(1)) return false;
                asdu.smpSynch = p[0];
                haveSynch = true;
                break;
            case 0x86:
                if (!sized(2)) return false;
                asdu.smpRate = be16(p);
                break;
            case 0x87:
                if (n % kSvChannelBytes != 0) {
                    fault = SvFault::SeqDataSize;
                    return false;
                }
                asdu.seqData = e.content;
                haveData = true;
                break;
            default:
                // smpMod and whatever later editions add: skipped by length.
                break;
        }
    }
    if (!(haveId && haveCount && haveRev && haveSynch && haveData)) {
        offset = base;
        fault = SvFault::MissingField;
        return false;
    }
    return true;
}

}  // namespace

int32_t SvAsdu::value(std::size_t channel) const {
    return static_cast<int32_t>(be32(seqData.data() + channel * kSvChannelBytes));
}

uint32_t SvAsdu::quality(std::size_t channel) const { return be32(seqData.data() + channel * kSvChannelBytes + 4); }

const char* svFaultText(SvFault fault) {
    switch (fault) {
        case SvFault::Truncated:
            return "truncated: a header or field runs past the end of the frame";
        case SvFault::BadLength:
            return "the APDU length is shorter than its own header";
        case SvFault::BadBerLength:
            return "a BER length in the indefinite or an over-long form";
        case SvFault::BadTag:
            return "an unexpected or multi-byte BER tag";
        case SvFault::AsduCount:
            return "noASDU is missing, zero or not the number of ASDUs present";
        case SvFault::MissingField:
            return "an ASDU lacks svID, smpCnt, confRev, smpSynch or seqData";
        case SvFault::FieldSize:
            return "smpCnt, confRev, refrTm, smpSynch or smpRate of the wrong size";
        case SvFault::SeqDataSize:
            return "seqData is not whole value-and-quality pairs";
    }
    return "unknown fault";
}

SvDecode decodeSvFrame(std::span<const uint8_t> bytes, SvFrame& frame, SvFault& fault, std::size_t& offset) {
    frame.asdus.clear();
    frame.vlanId.reset();
    offset = 0;
    auto malformed = [&](SvFault kind, std::size_t at) {
        fault = kind;
        offset = at;
        return SvDecode::Malformed;
    };
    if (bytes.size() < 14) return SvDecode::NotSampledValues;
    std::copy(bytes.begin(), bytes.begin() + 6, frame.destination.begin());
    std::copy(bytes.begin() + 6, bytes.begin() + 12, frame.source.begin());
    std::size_t pos = 12;
    uint16_t type = be16(&bytes[pos]);
    if (type == kVlanTagType) {
        if (bytes.size() < 18) return SvDecode::NotSampledValues;
        const uint16_t tci = be16(&bytes[pos + 2]);
        frame.vlanPriority = static_cast<uint8_t>(tci >> 13);
        frame.vlanId = static_cast<uint16_t>(tci & 0x0FFF);
        pos += 4;
        type = be16(&bytes[pos]);
    }
    if (type != kSvEtherType) return SvDecode::NotSampledValues;
    pos += 2;
    if (bytes.size() - pos < kApduHeaderBytes) return malformed(SvFault::Truncated, pos);
    frame.appId = be16(&bytes[pos]);
    const std::size_t length = be16(&bytes[pos + 2]);
    frame.simulated = (bytes[pos + 4] & 0x80) != 0;
    if (length < kApduHeaderBytes) return malformed(SvFault::BadLength, pos + 2);
    if (length > bytes.size() - pos) return malformed(SvFault::Truncated, pos + 2);
    // Bytes past `length` are Ethernet padding.
    const std::size_t pduStart = pos + kApduHeaderBytes;
    BerWalker outer(bytes.subspan(pduStart, length - kApduHeaderBytes), pduStart);
    Element pdu;
    if (!outer.next(pdu, fault)) return malformed(fault, pduStart);
    if (pdu.tag != kSavPduTag) return malformed(SvFault::BadTag, pduStart);

    BerWalker inner(pdu.content, outer.contentOffset());
    std::optional<std::size_t> declared;
    bool haveSequence = false;
    while (!inner.done()) {
        Element e;
        const std::size_t at = inner.offset();
        if (!inner.next(e, fault)) return malformed(fault, at);
        if (e.tag == kNoAsduTag) {
            if (e.content.empty() || e.content.size() > 2) return malformed(SvFault::AsduCount, at);
            declared = e.content.size() == 1 ? e.content[0] : be16(e.content.data());
        } else if (e.tag == kSeqAsduTag) {
            haveSequence = true;
            BerWalker asdus(e.content, inner.contentOffset());
            while (!asdus.done()) {
                Element a;
                const std::size_t asduAt = asdus.offset();
                if (!asdus.next(a, fault)) return malformed(fault, asduAt);
                if (a.tag != kAsduTag) return malformed(SvFault::BadTag, asduAt);
                // Never more ASDUs than declared: a hostile count cannot grow
                // the list beyond what the frame itself holds anyway.
                SvAsdu asdu;
                std::size_t fieldAt = asdus.contentOffset();
                if (!decodeAsdu(a.content, asdus.contentOffset(), asdu, fault, fieldAt)) {
                    return malformed(fault, fieldAt);
                }
                frame.asdus.push_back(asdu);
            }
        }
        // The security field and anything unknown: skipped by length.
    }
    if (!declared || !haveSequence || *declared == 0 || *declared != frame.asdus.size()) {
        return malformed(SvFault::AsduCount, pduStart);
    }
    return SvDecode::Frame;
}

namespace {

void appendLength(std::vector<uint8_t>& out, std::size_t length, bool longForm) {
    if (!longForm && length < 0x80) {
        out.push_back(static_cast<uint8_t>(length));
    } else if (!longForm && length < 0x100) {
        out.push_back(0x81);
        out.push_back(static_cast<uint8_t>(length));
    } else {
        out.push_back(0x82);
        out.push_back(static_cast<uint8_t>(length >> 8));
        out.push_back(static_cast<uint8_t>(length));
    }
}

void appendElement(std::vector<uint8_t>& out, uint8_t tag, std::span<const uint8_t> content, bool longForm) {
    out.push_back(tag);
    appendLength(out, content.size(), longForm);
    out.insert(out.end(), content.begin(), content.end());
}

void appendBe(std::vector<uint8_t>& out, uint64_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

std::span<const uint8_t> textBytes(std::string_view s) {
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

void encodeAsdu(const SvAsduFields& a, bool longForm, std::vector<uint8_t>& out) {
    std::vector<uint8_t> field;
    auto put = [&](uint8_t tag, uint64_t v, int bytes) {
        field.clear();
        appendBe(field, v, bytes);
        appendElement(out, tag, field, longForm);
    };
    appendElement(out, 0x80, textBytes(a.svId), longForm);
    if (!a.dataSet.empty()) appendElement(out, 0x81, textBytes(a.dataSet), longForm);
    put(0x82, a.smpCnt, 2);
    put(0x83, a.confRev, 4);
    if (a.refreshTime) {
        const SvRefreshTime& t = *a.refreshTime;
        put(0x84, (static_cast<uint64_t>(t.seconds) << 32) | (static_cast<uint64_t>(t.fraction & 0xFFFFFF) << 8) |
                      t.quality,
            8);
    }
    put(0x85, a.smpSynch, 1);
    if (a.smpRate) put(0x86, *a.smpRate, 2);
    field.clear();
    for (std::size_t i = 0; i < a.values.size(); ++i) {
        appendBe(field, static_cast<uint32_t>(a.values[i]), 4);
        appendBe(field, i < a.qualities.size() ? a.qualities[i] : 0u, 4);
    }
    appendElement(out, 0x87, field, longForm);
}

}  // namespace

void encodeSvFrame(const SvLinkFields& link, std::span<const SvAsduFields> asdus, std::vector<uint8_t>& out) {
    const bool lf = link.longLengths;
    std::vector<uint8_t> sequence;
    std::vector<uint8_t> one;
    for (const SvAsduFields& a : asdus) {
        one.clear();
        encodeAsdu(a, lf, one);
        appendElement(sequence, kAsduTag, one, lf);
    }
    std::vector<uint8_t> pdu;
    const uint8_t count = static_cast<uint8_t>(asdus.size());
    appendElement(pdu, kNoAsduTag, std::span<const uint8_t>(&count, 1), lf);
    appendElement(pdu, kSeqAsduTag, sequence, lf);
    std::vector<uint8_t> sav;
    appendElement(sav, kSavPduTag, pdu, lf);

    out.clear();
    out.insert(out.end(), link.destination.begin(), link.destination.end());
    out.insert(out.end(), link.source.begin(), link.source.end());
    if (link.vlanId) {
        appendBe(out, kVlanTagType, 2);
        appendBe(out, (static_cast<uint32_t>(link.vlanPriority & 7) << 13) | (*link.vlanId & 0x0FFF), 2);
    }
    appendBe(out, kSvEtherType, 2);
    appendBe(out, link.appId, 2);
    appendBe(out, kApduHeaderBytes + sav.size(), 2);
    appendBe(out, link.simulated ? 0x8000 : 0, 2);
    appendBe(out, 0, 2);
    out.insert(out.end(), sav.begin(), sav.end());
}
