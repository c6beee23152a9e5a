// The PDC's side of a PMU stream over TCP, UDP or both: asks for the
// configuration, turns data frames on, hands every block of every data
// frame on as CSV rows, asks again after a configuration change and, when
// told to, survives the PMU going away (TCP) or datagrams lost (UDP).
#ifndef ORVANE_STREAM_PDC_CLIENT_H
#define ORVANE_STREAM_PDC_CLIENT_H

#include <csignal>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "io/c37118/pdc_session.h"
#include "net/host_port.h"
#include "net/udp_socket.h"
#include "stream/fault.h"

struct PdcSettings {
    HostPort pmu;                      // unused when only listening
    std::optional<HostPort> udpLocal;  // where data datagrams arrive (mixed or listening)
    bool overUdp = false;              // commands and data by UDP with `pmu`
    bool listenOnly = false;           // no commands: a PMU sending on its own
    bool reconnect = false;
    bool cfg3 = false;
    bool header = false;
    std::string multicastInterface;  // empty: loopback
    uint16_t idCode = 1;
    uint64_t count = 0;  // 0: until the stream ends
    double timeout = 10.0;
};

class PdcClient {
public:
    // `note` hears the notes for standard error, `rows` the CSV text.
    PdcClient(const PdcSettings& settings, std::function<void(const std::string&)> note,
              std::function<void(const std::string&)> rows);

    // Opens the UDP socket when one is needed; false with `error`.
    bool openUdp(std::string& error);
    // Null: nobody listens.
    void observe(PdcObserver* observer) { observer_ = observer; }
    // Connects, receives until the count, the stream's end, `stop` or a
    // failure; turns data off on the way out. None, or Failed with `error`
    // saying what failed where.
    FaultKind run(volatile std::sig_atomic_t& stop, std::string& error);

private:
    bool sendCommands(std::string& why);
    void sleepSeconds(double seconds, volatile std::sig_atomic_t& stop);

    PdcSettings settings_;
    std::function<void(const std::string&)> note_;
    std::function<void(const std::string&)> rows_;
    PdcObserver* observer_ = nullptr;
    UdpSocket udp_;
    UdpPeer pmuPeer_;
    int fd_ = -1;
    std::vector<uint8_t> out_;
};

#endif  // ORVANE_STREAM_PDC_CLIENT_H
