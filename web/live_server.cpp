// The one file that speaks HTTP, through Debian's cpp-httplib.
#include "web/live_server.h"

#include <httplib.h>
#include <sys/socket.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string_view>
#include <thread>

#include "live_assets.h"

namespace {

// The page with the chart library in a script element of its own, so that
// the page needs nothing but itself.
std::string assemblePage() {
    std::string page(kLivePageHtml, kLivePageHtmlSize);
    const std::string marker = "<!-- chart library -->";
    const size_t at = page.find(marker);
    if (at != std::string::npos)
        page.replace(at, marker.size(), "<script>\n" + std::string(kChartJs, kChartJsSize) + "\n</script>");
    return page;
}

// "?updates=N": the event stream ends after N events (a still view for
// screenshots and scripts); 0 or absent: it runs as long as the stream.
uint64_t updateLimit(const httplib::Request& request) {
    if (!request.has_param("updates")) return 0;
    const std::string text = request.get_param_value("updates");
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9' || value > 1000000) return 0;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    return value;
}

}  // namespace

struct LiveServer::Impl {
    explicit Impl(LiveState& s) : state(s), page(assemblePage()) {}

    LiveState& state;
    const std::string page;
    httplib::Server server;
    std::thread thread;
    HostPort bound;
    std::atomic<int> streams{0};
    bool running = false;

    void route();
};

void LiveServer::Impl::route() {
    // A thread per open event stream and some for the page and JSON.
    server.new_task_queue = [] { return new httplib::ThreadPool(LiveServer::kMaxStreams + 8); };
    server.set_keep_alive_timeout(2);
    server.set_read_timeout(5);
    // A browser that takes nothing for this long is let go: its socket's
    // buffers are all that is ever held for it.
    server.set_write_timeout(5);
    server.set_payload_max_length(4096);
    // SO_REUSEADDR only: the library's default adds SO_REUSEPORT, with
    // which a second live view binds the same port and browsers reach
    // either at random. A taken port must fail at start.
    server.set_socket_options([](int sock) {
        int yes = 1;
        ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    server.set_default_headers({{"Cache-Control", "no-store"}, {"X-Content-Type-Options", "nosniff"}});

    server.Get("/", [this](const httplib::Request&, httplib::Response& response) {
        response.set_content(page, "text/html; charset=utf-8");
    });
    server.Get("/state", [this](const httplib::Request&, httplib::Response& response) {
        uint64_t since = 0;
        response.set_content(state.json(since) + "\n", "application/json");
    });
    server.Get("/events", [this](const httplib::Request& request, httplib::Response& response) {
        if (streams.fetch_add(1) >= LiveServer::kMaxStreams) {
            streams.fetch_sub(1);
            response.status = 503;
            response.set_content("too many live views open at once\n", "text/plain");
            return;
        }
        struct Reader {
            uint64_t seenChanges = ~uint64_t{0};  // nothing seen: the first event goes at once
            uint64_t seenFrames = 0;
            uint64_t sent = 0;
            uint64_t limit = 0;
            std::chrono::steady_clock::time_point last{};
        };
        auto reader = std::make_shared<Reader>();
        reader->limit = updateLimit(request);
        response.set_chunked_content_provider(
            "text/event-stream",
            [this, reader](size_t, httplib::DataSink& sink) {
                if (reader->sent == 0 && !sink.write("retry: 2000\n\n", 13)) return false;
                // Frames that arrive faster than the spacing go out together.
                std::this_thread::sleep_until(reader->last + std::chrono::milliseconds(LiveServer::kEventSpacingMs));
                const uint64_t now = state.waitForChange(reader->seenChanges, std::chrono::seconds(10));
                if (state.closed()) return false;
                std::string text;
                if (now == reader->seenChanges) {
                    text = ": idle\n\n";  // a comment, so that a vanished browser shows up as a failed write
                } else {
                    reader->seenChanges = now;
                    text = "data: " + state.json(reader->seenFrames) + "\n\n";
                    ++reader->sent;
                }
                reader->last = std::chrono::steady_clock::now();
                if (!sink.write(text.data(), text.size())) return false;
                if (reader->limit != 0 && reader->sent >= reader->limit) sink.done();
                return true;
            },
            [this](bool) { streams.fetch_sub(1); });
    });
    // Whatever else is asked, with any method, is not here.
    const auto notFound = [](const httplib::Request&, httplib::Response& response) { response.status = 404; };
    server.Post(".*", notFound);
    server.Put(".*", notFound);
    server.Patch(".*", notFound);
    server.Delete(".*", notFound);
    server.Options(".*", notFound);
    server.set_error_handler([](const httplib::Request&, httplib::Response& response) {
        if (!response.body.empty()) return;
        response.set_content(response.status == 404 ? "404 not found: the live view serves /, /state and /events\n"
                                                    : std::to_string(response.status) + "\n",
                             "text/plain");
    });
}

LiveServer::LiveServer(LiveState& state) : impl_(std::make_unique<Impl>(state)) {}

LiveServer::~LiveServer() { stop(); }

bool LiveServer::start(const HostPort& address, std::string& error) {
    impl_->route();
    errno = 0;
    int port = address.port;
    if (address.port == 0) {
        port = impl_->server.bind_to_any_port(address.host);
    } else if (!impl_->server.bind_to_port(address.host, address.port)) {
        port = -1;
    }
    if (port < 0) {
        const int code = errno;
        error = "cannot listen for the live view on " + formatHostPort(address) +
                (code != 0 ? std::string(": ") + std::strerror(code) : std::string());
        return false;
    }
    impl_->bound = address;
    impl_->bound.port = static_cast<uint16_t>(port);
    impl_->running = true;
    impl_->thread = std::thread([this] { impl_->server.listen_after_bind(); });
    return true;
}

const HostPort& LiveServer::address() const { return impl_->bound; }

void LiveServer::stop() {
    if (!impl_->running) return;
    impl_->running = false;
    impl_->state.close();
    impl_->server.stop();
    if (impl_->thread.joinable()) impl_->thread.join();
}
