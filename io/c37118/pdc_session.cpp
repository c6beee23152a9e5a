#include "io/c37118/pdc_session.h"

#include "io/c37118/command_frame.h"
#include "io/c37118/report_text.h"

void PdcSession::command(uint16_t command, std::vector<uint8_t>& out) const {
    CommandFrame frame;
    frame.idCode = idCode_;
    frame.command = command;
    std::vector<uint8_t> bytes;
    std::string error;
    encodeCommandFrame(frame, bytes, error);
    out.insert(out.end(), bytes.begin(), bytes.end());
}

bool PdcSession::fail(const std::string& message) {
    error_ = message;
    return false;
}

bool PdcSession::receive(std::span<const uint8_t> bytes, uint64_t maxDataFrames, std::vector<uint8_t>& reply,
                         std::string& rows, std::vector<std::string>& notes) {
    assembler_.append(bytes);
    FrameHeader header;
    FrameAssembler::Result result;
    while ((result = assembler_.next(frame_, header)) == FrameAssembler::Result::Frame) {
        if (!handle(header, reply, rows, notes)) return false;
        if (maxDataFrames != 0 && dataFrames_ >= maxDataFrames) return true;
    }
    if (result == FrameAssembler::Result::Failed) return fail("bad stream: " + assembler_.error());
    return true;
}

bool PdcSession::receiveDatagram(std::span<const uint8_t> bytes, uint64_t maxDataFrames, std::vector<uint8_t>& reply,
                                 std::string& rows, std::vector<std::string>& notes) {
    FrameAssembler datagram;
    datagram.append(bytes);
    FrameHeader header;
    FrameAssembler::Result result;
    while ((result = datagram.next(frame_, header)) == FrameAssembler::Result::Frame) {
        if (!handle(header, reply, rows, notes)) {
            notes.push_back("skipped a datagram: " + error_);
            error_.clear();
            return true;
        }
        if (maxDataFrames != 0 && dataFrames_ >= maxDataFrames) return true;
    }
    if (result == FrameAssembler::Result::Failed) {
        notes.push_back("skipped a datagram: " + datagram.error());
    } else if (datagram.pending() != 0) {
        notes.push_back("skipped a datagram that ends inside a frame");
    }
    return true;
}

void PdcSession::restart(std::vector<uint8_t>& out) {
    assembler_ = FrameAssembler{};
    dataOnSent_ = false;
    awaitingConfig_ = true;
    lastRequest_ = std::chrono::steady_clock::now();
    command(configCommand_, out);
}

bool PdcSession::handle(const FrameHeader& header, std::vector<uint8_t>& reply, std::string& rows,
                        std::vector<std::string>& notes) {
    std::string error;
    switch (header.type) {
    case FrameType::Config1:
    case FrameType::Config2:
    case FrameType::Config3: {
        ConfigFrame config;
        if (!decodeConfigFrame(frame_, config, error)) return fail("bad configuration frame: " + error);
        notes.push_back(describeConfig(config));
        if (haveConfig_) {
            for (size_t k = 0; k < config.pmus.size() && k < config_.pmus.size(); ++k) {
                if (config.pmus[k].configCount != config_.pmus[k].configCount) {
                    notes.push_back("PMU " + std::to_string(config.pmus[k].idCode) + " changed its configuration (CFGCNT " +
                                    std::to_string(config_.pmus[k].configCount) + " -> " +
                                    std::to_string(config.pmus[k].configCount) + ")");
                }
            }
        }
        config_ = config;
        haveConfig_ = true;
        awaitingConfig_ = false;
        if (observer_ != nullptr) observer_->configured(config_);
        const std::string header = dataCsvHeader(config_);
        if (header != csvHeader_) {
            rows += header + "\n";
            csvHeader_ = header;
        }
        if (!dataOnSent_) {
            command(kCommandDataOn, reply);
            dataOnSent_ = true;
        }
        return true;
    }
    case FrameType::Header: {
        HeaderFrame text;
        if (!decodeHeaderFrame(frame_, text, error)) return fail("bad header frame: " + error);
        notes.push_back("header: " + text.text);
        ++headerFrames_;
        return true;
    }
    case FrameType::Data: {
        if (!haveConfig_) {
            if (skippedBeforeConfig_++ == 0) {
                notes.push_back("data frames arrive; they are skipped until a configuration frame comes (a PMU "
                                "sending on its own repeats it, often once a minute)");
            }
            return true;
        }
        if (!decodeDataFrame(frame_, config_, data_, error)) return fail("bad data frame: " + error);
        appendDataRows(config_, data_, rows);
        ++dataFrames_;
        if (observer_ != nullptr) observer_->received(config_, data_);
        bool changed = false;
        for (const PmuData& pmu : data_.pmus) {
            changed = changed || (pmu.stat & kStatConfigChange) != 0;
            if ((pmu.stat & kStatDataErrorMask) != 0) ++blocksNotToUse_;
        }
        // The bit stays set while a change is pending and until this PDC
        // has the new configuration: ask again at most once a second.
        const auto now = std::chrono::steady_clock::now();
        if (changed && !awaitingConfig_ && now - lastRequest_ >= std::chrono::seconds(1)) {
            notes.push_back("the PMU signals a configuration change; requesting it again");
            awaitingConfig_ = true;
            lastRequest_ = now;
            command(configCommand_, reply);
        }
        return true;
    }
    case FrameType::Command: return fail("the PMU sent a command frame, which only a PDC sends");
    }
    return true;
}
