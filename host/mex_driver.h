// Runs a measurement deliverable loaded from its file, through mexFunction
// only, as Simulink would: the road that ships. Its results must equal the
// in-process road's bit for bit.
#ifndef ORVANE_HOST_MEX_DRIVER_H
#define ORVANE_HOST_MEX_DRIVER_H

#include <memory>
#include <string>

#include "host/block_driver.h"
#include "host/mex_block.h"

class MexDriver : public BlockDriver {
public:
    // Null, with `error` set, when the file is no loadable deliverable.
    static std::unique_ptr<MexDriver> open(const std::string& path, std::string& error);
    explicit MexDriver(std::shared_ptr<const Deliverable> deliverable);
    ~MexDriver() override;

    bool start() override;
    bool step(const ModelInputs& in, ModelOutputs& out) override;
    void finish() override;
    const std::string& error() const override { return error_; }

    MexBlock& block() { return block_; }

private:
    bool fail();

    MexBlock block_;
    std::string error_;
    bool running_ = false;
};

#endif  // ORVANE_HOST_MEX_DRIVER_H
