// The window during a map download: a loopback server trickles a 2 MB answer
// over 3 s while the real program waits for it. ours = the longest gap in
// seconds between two frames shown from the start of the download to its end.

#include "BenchSupport.h"
#include "RealEngine.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::string twoMegabyteMap()
{
    std::string body = "<?xml version=\"1.0\"?>\n<osm version=\"0.6\">\n";
    for (int id = 1; body.size() < 2 * 1000 * 1000; ++id)
        body += "  <node id=\"" + std::to_string(id) + "\" lat=\"47.1\" lon=\"9.5\"/>\n";
    return body + "</osm>\n";
}

// Answers one POST with `body`, in 60 pieces 50 ms apart.
class TricklingServer {
public:
    explicit TricklingServer(std::string body_) : body(std::move(body_))
    {
        listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
            || listen(listener, 1) != 0 || getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            std::perror("download_frames: listen");
        port = ntohs(address.sin_port);
        worker = std::thread([this] { serve(); });
    }
    ~TricklingServer()
    {
        worker.join();
        close(listener);
    }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port) + "/api/interpreter"; }

private:
    void serve()
    {
        pollfd entry{listener, POLLIN, 0};
        if (poll(&entry, 1, 10000) <= 0)
            return;
        const int connection = accept(listener, nullptr, nullptr);
        if (connection < 0)
            return;
        // The whole request: its head, then as many body bytes as it announced.
        std::string request;
        char buffer[65536];
        for (;;) {
            const std::size_t headEnd = request.find("\r\n\r\n");
            const std::size_t field = request.find("Content-Length: ");
            if (headEnd != std::string::npos && field != std::string::npos
                && request.size() >= headEnd + 4 + std::stoul(request.substr(field + 16)))
                break;
            const ssize_t n = recv(connection, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            request.append(buffer, std::size_t(n));
        }
        const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size())
                                 + "\r\nConnection: close\r\n\r\n";
        send(connection, head.data(), head.size(), MSG_NOSIGNAL);
        constexpr int pieces = 60;
        const std::size_t piece = body.size() / pieces + 1;
        for (std::size_t at = 0; at < body.size(); at += piece) {
            std::this_thread::sleep_for(std::chrono::milliseconds(3000 / pieces));
            const std::string part = body.substr(at, piece);
            if (send(connection, part.data(), part.size(), MSG_NOSIGNAL) < 0)
                break;
        }
        close(connection);
    }

    std::string body;
    int listener = -1;
    int port = 0;
    std::thread worker;
};

} // namespace

int main()
{
    namespace fs = std::filesystem;
    auto engine = bench::startRealEngine();
    TricklingServer server(twoMegabyteMap());
    engine->overpassEndpoints = {{"127.0.0.1", server.url()}};
    std::vector<std::string> errors;
    engine->showErrorBox = [&](const std::string&, const std::string& text) {
        errors.push_back(text);
        return true;
    };
    std::vector<Clock::time_point> frames;
    engine->framePresented = [&] { frames.push_back(Clock::now()); };
    const fs::path target = fs::temp_directory_path() / ("pathlark-bench-download-" + std::to_string(getpid()) + ".osm");

    engine->render(engine->mainWindow);  // the window as the user sees it before the download
    frames.clear();
    frames.push_back(Clock::now());
    const bool saved = engine->downloadOsmMap(target);
    frames.push_back(Clock::now());
    const double seconds = std::chrono::duration<double>(frames.back() - frames.front()).count();
    std::error_code ignored;
    fs::remove(target, ignored);
    if (!saved) {
        std::printf("download_frames failed: %s\n", errors.empty() ? "no map saved" : errors.front().c_str());
        return 1;
    }

    double longest = 0.0;
    for (std::size_t i = 1; i < frames.size(); ++i)
        longest = std::max(longest, std::chrono::duration<double>(frames[i] - frames[i - 1]).count());
    std::printf("download_frames: %zu frames in %.2f s of download, longest gap %.3f s\n", frames.size() - 2, seconds,
                longest);
    std::printf("BENCH download_frames ours=%.3f ref=- ratio=- peak_mb=%.1f\n", longest, bench::peakMegabytes());
    return 0;
}
