// The frames of one stream that carries several PMU blocks: one
// configuration listing every block, one data frame per report instant
// holding every block in that order. Each block is framed by its own
// ReportFramer (its IDCODE, station, STAT, CFGCNT); this class puts them
// side by side.
//
// The first block leads: its reports set the instants. Another block
// contributes the report it made at the same instant on UTC (each block's
// Time plus its own origin); when it has none
// (its input ended, fell behind or runs on another grid) its place carries
// absent data (NaN) flagged "do not use", so that one input never holds up
// the others.
#ifndef ORVANE_IO_C37118_PMU_STREAM_FRAMER_H
#define ORVANE_IO_C37118_PMU_STREAM_FRAMER_H

#include <cstdint>
#include <string>
#include <vector>

#include "io/c37118/report_framer.h"

class PmuStreamFramer {
public:
    // One StreamSettings per block; the stream's own IDCODE (the one
    // commands address) is `streamIdCode`. False with `error` when a block
    // cannot be framed or two blocks share an IDCODE.
    bool configure(const std::vector<StreamSettings>& blocks, uint16_t streamIdCode, std::string& error);

    size_t blockCount() const { return blocks_.size(); }
    ReportFramer& block(size_t k) { return blocks_[k]; }

    // Takes a block's report (see ReportFramer::takeReport); configChanged
    // when the stream's configuration changed with it. `quality`: the
    // report's quality word, carried in the block's STAT (statWithQuality).
    TakenReport takeReport(size_t block, const ModelOutputs& report, int32_t requestedRate, double nominalFrequency,
                           ReportQuality quality = 0);
    // Marks a block whose input ended: its place is absent from now on.
    void endBlock(size_t block) { ended_[block] = true; }

    // The frame of the leader's last report; `configChangeFlag` sets STAT
    // bit 10 in every block.
    void encodeData(bool configChangeFlag, std::vector<uint8_t>& out);
    bool configChangeFlagFor(uint16_t recipientConfigCount) const;
    void encodeConfig(FrameType type, std::vector<uint8_t>& out);
    void encodeHeader(std::vector<uint8_t>& out) { blocks_[0].encodeHeader(out); }
    void setTime(double seconds);

    // Changes whenever any block's CFGCNT changes.
    uint16_t configCount() const { return configCount_; }
    uint16_t idCode() const { return idCode_; }
    // The blocks absent from the last data frame.
    size_t absentInLastFrame() const { return absent_; }

private:
    void rebuildConfig();

    std::vector<ReportFramer> blocks_;
    std::vector<bool> ended_;
    std::vector<ReportQuality> quality_;
    uint16_t idCode_ = 1;
    uint16_t configCount_ = 0;
    double changeTimestamp_ = 0.0;
    size_t absent_ = 0;
    ConfigFrame config_;
    DataFrame data_;
};

#endif  // ORVANE_IO_C37118_PMU_STREAM_FRAMER_H
