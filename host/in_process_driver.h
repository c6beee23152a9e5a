// Runs a block whose methods are linked into this program: the host fills
// the record's method slots with the block's own functions and calls them
// through those slots, in the order the simulation host would.
#ifndef ORVANE_HOST_IN_PROCESS_DRIVER_H
#define ORVANE_HOST_IN_PROCESS_DRIVER_H

#include <string>

#include "host/block_driver.h"
#include "host/block_record.h"

class InProcessDriver : public BlockDriver {
public:
    // `installMethods` fills a record's method slots; `name` is the block's
    // S-function name.
    InProcessDriver(void (*installMethods)(SimStruct*), const std::string& name);
    ~InProcessDriver() override;

    bool start() override;
    bool step(const ModelInputs& in, ModelOutputs& out) override;
    void finish() override;
    const std::string& error() const override { return error_; }

    BlockRecord& record() { return record_; }

private:
    bool failed();

    BlockRecord record_;
    std::string error_;
    bool running_ = false;
};

#endif  // ORVANE_HOST_IN_PROCESS_DRIVER_H
