// The capture library behind PacketReader and PacketWriter.
#include <pcap/pcap.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>

#include "io/output_file.h"
#include "io/sv/packet_capture.h"

namespace {

// Sampled-values frames, tagged or not; the decoder checks the rest.
constexpr int kSnapshotBytes = 9216;
constexpr int kRingBytes = 16 << 20;
// How long a live read waits for a frame before it reports a timeout.
constexpr int kWaitMilliseconds = 100;

constexpr const char* kSvFilter = "ether proto 0x88ba or (vlan and ether proto 0x88ba)";

SvClock wallClock() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return SvClock{now.tv_sec, now.tv_nsec};
}

class PcapReader : public PacketReader {
public:
    PcapReader(pcap_t* handle, bool live, long fileSize) : handle_(handle), live_(live), fileSize_(fileSize) {}
    ~PcapReader() override { pcap_close(handle_); }

    Status next(CapturedPacket& packet) override {
        if (!error_.empty()) return Status::Error;
        pcap_pkthdr* header = nullptr;
        const u_char* data = nullptr;
        int rc = pcap_next_ex(handle_, &header, &data);
        if (rc == 0 && live_) {
            // The library's own read timeout need not expire while no frame
            // arrives at all, so a live handle is non-blocking and waits
            // here, a bounded time.
            pollfd ready{pcap_get_selectable_fd(handle_), POLLIN, 0};
            if (poll(&ready, 1, kWaitMilliseconds) > 0) rc = pcap_next_ex(handle_, &header, &data);
        }
        if (rc == 1) {
            packet.bytes = std::span<const uint8_t>(data, header->caplen);
            // The handle was opened for nanosecond stamps; older files in
            // microseconds are scaled up by the library.
            packet.time = SvClock{header->ts.tv_sec, header->ts.tv_usec * (nano_ ? 1 : 1000)};
            return Status::Packet;
        }
        if (rc == 0) {
            packet.bytes = {};
            packet.time = wallClock();
            return Status::Timeout;
        }
        if (rc == PCAP_ERROR_BREAK && !live_) return Status::End;
        error_ = std::string(live_ ? "capture failed: " : "reading failed: ") + pcap_geterr(handle_);
        return Status::Error;
    }

    const std::string& error() const override { return error_; }

    double fractionRead() const override {
        if (live_ || fileSize_ <= 0) return 0.0;
        FILE* f = pcap_file(handle_);
        if (f == nullptr) return 0.0;
        const long at = std::ftell(f);
        return at <= 0 ? 0.0 : static_cast<double>(at) / static_cast<double>(fileSize_);
    }

    void setNano(bool nano) { nano_ = nano; }

private:
    pcap_t* handle_;
    bool live_;
    long fileSize_;
    bool nano_ = true;
    std::string error_;
};

std::string activationError(pcap_t* handle, int rc, const std::string& interface) {
    switch (rc) {
        case PCAP_ERROR_NO_SUCH_DEVICE:
            return "interface '" + interface + "' does not exist (see `ip link` for the names)";
        case PCAP_ERROR_PERM_DENIED:
        case PCAP_ERROR_PROMISC_PERM_DENIED:
            return "no permission to capture on interface '" + interface +
                   "': run as root or give the program the CAP_NET_RAW capability";
        case PCAP_ERROR_IFACE_NOT_UP:
            return "interface '" + interface + "' is down";
        default:
            return "cannot open interface '" + interface + "': " + pcap_geterr(handle);
    }
}

// A handle on a live interface, activated; null with `error` set.
pcap_t* openLive(const std::string& interface, bool forCapture, std::string& error) {
    char message[PCAP_ERRBUF_SIZE] = {0};
    pcap_t* handle = pcap_create(interface.c_str(), message);
    if (handle == nullptr) {
        error = "cannot open interface '" + interface + "': " + message;
        return nullptr;
    }
    if (forCapture) {
        // The kernel's ring holds whole slots of the snapshot length: a
        // frame's worth (jumbo included) instead of 64 KiB gives it room for
        // over a thousand frames, a quarter second of a busy stream.
        pcap_set_snaplen(handle, kSnapshotBytes);
        pcap_set_buffer_size(handle, kRingBytes);
        // Sampled values go to multicast groups nobody joins on this host.
        pcap_set_promisc(handle, 1);
        pcap_set_immediate_mode(handle, 1);
        pcap_set_timeout(handle, 100);
        pcap_set_tstamp_precision(handle, PCAP_TSTAMP_PRECISION_NANO);
    }
    const int rc = pcap_activate(handle);
    if (rc < 0) {
        error = activationError(handle, rc, interface);
        pcap_close(handle);
        return nullptr;
    }
    if (pcap_datalink(handle) != DLT_EN10MB) {
        error = "interface '" + interface + "' is not an Ethernet interface";
        pcap_close(handle);
        return nullptr;
    }
    return handle;
}

// The capture goes through an OutputFile: a temporary file beside the
// target, named in the table a signal handler empties, renamed over the
// target only when the capture is complete.
class PcapFileWriter : public PacketWriter {
public:
    PcapFileWriter(pcap_t* dead, pcap_dumper_t* dumper, std::unique_ptr<OutputFile> file)
        : dead_(dead), dumper_(dumper), file_(std::move(file)) {}
    ~PcapFileWriter() override {
        if (dumper_ != nullptr) pcap_dump_close(dumper_);
        file_->discard();
        pcap_close(dead_);
    }

    bool write(std::span<const uint8_t> frame, const SvClock& time) override {
        if (dumper_ == nullptr) {
            error_ = file_->path() + ": already closed";
            return false;
        }
        pcap_pkthdr header{};
        header.ts.tv_sec = static_cast<time_t>(time.seconds);
        header.ts.tv_usec = static_cast<suseconds_t>(time.nanoseconds / 1000);
        header.caplen = static_cast<bpf_u_int32>(frame.size());
        header.len = header.caplen;
        pcap_dump(reinterpret_cast<u_char*>(dumper_), &header, frame.data());
        return true;
    }

    bool close() override {
        if (dumper_ == nullptr) return error_.empty();
        const bool flushed = pcap_dump_flush(dumper_) == 0;
        const int flushError = errno;
        pcap_dump_close(dumper_);  // closes its own descriptor, a duplicate
        dumper_ = nullptr;
        if (!flushed) {
            error_ = file_->path() + ": cannot write: " + std::strerror(flushError);
            file_->discard();
            return false;
        }
        std::string why;
        if (!file_->commit(why)) {
            error_ = why;
            return false;
        }
        return true;
    }

    const std::string& error() const override { return error_; }

private:
    pcap_t* dead_;
    pcap_dumper_t* dumper_;
    std::unique_ptr<OutputFile> file_;
    std::string error_;
};

class PcapInjector : public PacketWriter {
public:
    PcapInjector(pcap_t* handle, std::string interface) : handle_(handle), interface_(std::move(interface)) {}
    ~PcapInjector() override { pcap_close(handle_); }

    bool write(std::span<const uint8_t> frame, const SvClock&) override {
        if (pcap_inject(handle_, frame.data(), frame.size()) < 0) {
            error_ = "cannot send on interface '" + interface_ + "': " + pcap_geterr(handle_);
            return false;
        }
        return true;
    }
    bool close() override { return true; }
    const std::string& error() const override { return error_; }

private:
    pcap_t* handle_;
    std::string interface_;
    std::string error_;
};

}  // namespace

std::unique_ptr<PacketReader> openCaptureFile(const std::string& path, std::string& error) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        error = path + ": cannot open: " + std::strerror(errno);
        return nullptr;
    }
    if (S_ISDIR(info.st_mode)) {
        error = path + ": is a directory, not a capture file";
        return nullptr;
    }
    char message[PCAP_ERRBUF_SIZE] = {0};
    pcap_t* handle = pcap_open_offline_with_tstamp_precision(path.c_str(), PCAP_TSTAMP_PRECISION_NANO, message);
    if (handle == nullptr) {
        const std::string why = message;
        if (why.find("unknown file format") != std::string::npos ||
            why.find("truncated dump file") != std::string::npos) {
            error = path + ": not a pcap or pcapng capture file (" + why + ")";
        } else {
            error = path + ": " + why;
        }
        return nullptr;
    }
    if (pcap_datalink(handle) != DLT_EN10MB) {
        const char* link = pcap_datalink_val_to_name(pcap_datalink(handle));
        error = path + ": holds " + (link != nullptr ? link : "non-Ethernet") + " frames, not Ethernet frames";
        pcap_close(handle);
        return nullptr;
    }
    auto reader = std::make_unique<PcapReader>(handle, false, static_cast<long>(info.st_size));
    reader->setNano(pcap_get_tstamp_precision(handle) == PCAP_TSTAMP_PRECISION_NANO);
    return reader;
}

std::unique_ptr<PacketReader> openCaptureInterface(const std::string& interface, std::string& error) {
    pcap_t* handle = openLive(interface, true, error);
    if (handle == nullptr) return nullptr;
    bpf_program program{};
    if (pcap_compile(handle, &program, kSvFilter, 1, PCAP_NETMASK_UNKNOWN) != 0 ||
        pcap_setfilter(handle, &program) != 0) {
        error = "cannot filter interface '" + interface + "': " + pcap_geterr(handle);
        pcap_freecode(&program);
        pcap_close(handle);
        return nullptr;
    }
    pcap_freecode(&program);
    char message[PCAP_ERRBUF_SIZE] = {0};
    if (pcap_get_selectable_fd(handle) < 0 || pcap_setnonblock(handle, 1, message) != 0) {
        error = "cannot wait on interface '" + interface + "': " + message;
        pcap_close(handle);
        return nullptr;
    }
    auto reader = std::make_unique<PcapReader>(handle, true, 0);
    reader->setNano(pcap_get_tstamp_precision(handle) == PCAP_TSTAMP_PRECISION_NANO);
    return reader;
}

std::unique_ptr<PacketWriter> createCaptureFile(const std::string& path, std::string& error) {
    auto output = std::make_unique<OutputFile>();
    if (!output->open(path, error)) return nullptr;
    if (output->isStandardOutput()) {
        error = "give the capture a file name";
        return nullptr;
    }
    // libpcap writes through a stream of its own on a duplicate of the
    // descriptor; the OutputFile keeps the original for the commit.
    const int fd = ::dup(output->descriptor());
    FILE* file = fd >= 0 ? fdopen(fd, "wb") : nullptr;
    if (file == nullptr) {
        error = path + ": cannot create: " + std::strerror(errno);
        if (fd >= 0) ::close(fd);
        return nullptr;
    }
    pcap_t* dead = pcap_open_dead(DLT_EN10MB, 65535);
    pcap_dumper_t* dumper = dead != nullptr ? pcap_dump_fopen(dead, file) : nullptr;
    if (dumper == nullptr) {
        error = path + ": cannot create: " + (dead != nullptr ? pcap_geterr(dead) : "out of memory");
        std::fclose(file);
        if (dead != nullptr) pcap_close(dead);
        return nullptr;
    }
    return std::make_unique<PcapFileWriter>(dead, dumper, std::move(output));
}

std::unique_ptr<PacketWriter> openInjectionInterface(const std::string& interface, std::string& error) {
    pcap_t* handle = openLive(interface, false, error);
    if (handle == nullptr) return nullptr;
    return std::make_unique<PcapInjector>(handle, interface);
}
