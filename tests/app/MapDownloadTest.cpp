// Map downloads against a small HTTP server of our own on 127.0.0.1: the
// order of servers, the verdict on each answer, the files left behind, the
// texts the user sees and loading the downloaded map.

#include "AppTestSupport.h"

#include "map/OverpassQuery.h"
#include "track/Track.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <sstream>
#include <thread>

using namespace apptest;

namespace {

struct CannedReply {
    int status;
    std::string body;
    int trickleMs = 0;  // the body goes out in pieces over this long
};

struct Request {
    std::string head;  // request line and headers
    std::string body;
};

// Answers one connection per canned reply, in order, then stops; also stops
// on its own after a few seconds without a connection, so no test can hang on it.
class CannedHttpServer {
public:
    explicit CannedHttpServer(std::vector<CannedReply> replies) : replies(std::move(replies))
    {
        listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;  // any free port
        socklen_t length = sizeof address;
        if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
            || listen(listener, 4) != 0 || getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("test server could not listen");
        port = ntohs(address.sin_port);
        worker = std::thread([this] { serve(); });
    }
    ~CannedHttpServer()
    {
        stopping = true;
        worker.join();
        close(listener);
    }

    OverpassEndpoint endpoint(const std::string& name) const
    {
        return {name, "http://127.0.0.1:" + std::to_string(port) + "/" + name + "/api/interpreter"};
    }
    std::vector<Request> requests()
    {
        std::lock_guard lock(mutex);
        return received;
    }

private:
    static bool readable(int fd, int timeoutMs)
    {
        pollfd entry{fd, POLLIN, 0};
        return poll(&entry, 1, timeoutMs) > 0;
    }

    void serve()
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(8);
        std::size_t served = 0;
        while (served < replies.size() && !stopping && std::chrono::steady_clock::now() < deadline) {
            if (!readable(listener, 50))
                continue;
            const int connection = accept(listener, nullptr, nullptr);
            if (connection < 0)
                continue;
            answer(connection, replies[served++]);
            close(connection);
        }
    }

    void answer(int connection, const CannedReply& reply)
    {
        Request request;
        std::string data;
        char buffer[4096];
        std::size_t headEnd = std::string::npos, bodyLength = 0;
        bool continued = false;
        while (readable(connection, 2000)) {
            const ssize_t n = recv(connection, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            data.append(buffer, std::size_t(n));
            if (headEnd == std::string::npos && (headEnd = data.find("\r\n\r\n")) != std::string::npos) {
                request.head = data.substr(0, headEnd);
                const std::size_t field = request.head.find("Content-Length: ");
                if (field != std::string::npos)
                    bodyLength = std::stoul(request.head.substr(field + 16));
                if (request.head.find("Expect: 100-continue") != std::string::npos && !continued) {
                    sendAll(connection, "HTTP/1.1 100 Continue\r\n\r\n");
                    continued = true;
                }
            }
            if (headEnd != std::string::npos && data.size() >= headEnd + 4 + bodyLength)
                break;
        }
        if (headEnd != std::string::npos)
            request.body = data.substr(headEnd + 4);
        {
            std::lock_guard lock(mutex);
            received.push_back(request);
        }
        const std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " Canned\r\nContent-Length: "
                                 + std::to_string(reply.body.size()) + "\r\nConnection: close\r\n\r\n";
        if (reply.trickleMs <= 0) {
            sendAll(connection, head + reply.body);
            return;
        }
        constexpr int pieces = 20;
        const std::size_t piece = reply.body.size() / pieces + 1;
        bool open = sendAll(connection, head);
        for (std::size_t at = 0; open && !stopping && at < reply.body.size(); at += piece) {
            std::this_thread::sleep_for(std::chrono::milliseconds(reply.trickleMs / pieces));
            open = sendAll(connection, reply.body.substr(at, piece));
        }
    }

    static bool sendAll(int connection, const std::string& text)
    {
        for (std::size_t sent = 0; sent < text.size();) {
            const ssize_t n = send(connection, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            sent += std::size_t(n);
        }
        return true;
    }

    std::vector<CannedReply> replies;
    int listener = -1;
    int port = 0;
    std::atomic<bool> stopping{false};
    std::mutex mutex;
    std::vector<Request> received;
    std::thread worker;
};

const OverpassEndpoint deadEndpoint{"dead", "http://127.0.0.1:1/api/interpreter"};

const std::string osmAnswer = smallMap;
const std::string remarkAnswer = "<?xml version=\"1.0\"?>\n<osm version=\"0.6\">\n"
                                 "<remark> runtime error: Query timed out </remark>\n</osm>\n";

// Standard error of the code under test, line by line.
class CerrLines {
public:
    CerrLines() : previous(std::cerr.rdbuf(captured.rdbuf())) {}
    ~CerrLines() { std::cerr.rdbuf(previous); }
    std::vector<std::string> lines() const
    {
        std::vector<std::string> result;
        std::istringstream in(captured.str());
        for (std::string line; std::getline(in, line);)
            result.push_back(line);
        return result;
    }

private:
    std::ostringstream captured;
    std::streambuf* previous;
};

std::string readAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Form encoding as the servers expect it: letters, digits and -._~ stay, every other byte is %XX.
std::string formEncoded(const std::string& text)
{
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            out += char(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
        }
    }
    return out;
}

const std::string boxPrefix = "Could not create the OSM map.\n\n";

class MapDownload : public Application {
protected:
    // The sample is shown and the test's servers take over from the dead port.
    void startWith(const std::vector<OverpassEndpoint>& endpoints)
    {
        start();
        engine->overpassEndpoints = endpoints;
        shownErrorBoxes.clear();
        target = dir / "ride.osm";
        part = dir / "ride.osm.part";
    }

    fs::path target, part;
};

} // namespace

TEST_F(MapDownload, FirstServerFailsSecondSucceedsThirdIsNeverAsked)
{
    CannedHttpServer server({{504, "Gateway Timeout"}, {200, osmAnswer}, {200, osmAnswer}});
    startWith({server.endpoint("one"), server.endpoint("two"), server.endpoint("three")});
    write("ride.osm", "the old map");
    CerrLines cerr;
    ASSERT_TRUE(engine->downloadOsmMap(target));

    EXPECT_EQ(readAll(target), osmAnswer);
    EXPECT_FALSE(fs::exists(part));
    EXPECT_TRUE(shownErrorBoxes.empty());
    const std::vector<std::string> expected{
        "OSM download: attempt 1 of 3 \u2014 one",
        "OSM download failed: one: HTTP 504",
        "OSM server failed: one (HTTP 504). Trying the next server in 2 seconds.",
        "OSM download: attempt 2 of 3 \u2014 two",
        "OSM map downloaded successfully: ride.osm",
        "OSM map downloaded to \"" + target.string() + "\"",
    };
    EXPECT_EQ(cerr.lines(), expected);
    EXPECT_EQ(status(), "OSM map downloaded successfully: ride.osm");

    const std::vector<Request> requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].head.rfind("POST /one/api/interpreter HTTP/1.1\r\n", 0), 0u);
    EXPECT_EQ(requests[1].head.rfind("POST /two/api/interpreter HTTP/1.1\r\n", 0), 0u);
    TrackBounds bounds;
    const Track* track = engine->shownTrack();
    for (int i = 0; i < track->getWayPointCount(); ++i)
        bounds.add(track->getWayPoint(i)->getLat(), track->getWayPoint(i)->getLon());
    const std::string body = "data=" + formEncoded(overpassQuery(downloadArea(bounds)));
    for (const Request& request : requests) {
        EXPECT_EQ(request.body, body);
        EXPECT_NE(request.head.find("\r\nUser-Agent: Pathlark/0.0.0 (GPX map download)\r\n"), std::string::npos);
        EXPECT_NE(request.head.find("\r\nContent-Type: application/x-www-form-urlencoded"), std::string::npos);
    }
}

TEST_F(MapDownload, WhenEveryServerFailsTheBoxNamesTheLastReasonAndTheOldMapStays)
{
    CannedHttpServer server({{200, remarkAnswer}, {429, osmAnswer}});
    startWith({deadEndpoint, server.endpoint("two"), server.endpoint("three")});
    write("ride.osm", "the old map");
    CerrLines cerr;
    EXPECT_FALSE(engine->downloadOsmMap(target));

    ASSERT_EQ(shownErrorBoxes.size(), 1u);
    EXPECT_EQ(shownErrorBoxes[0], boxPrefix + "Download failed after all attempts: HTTP 429");
    EXPECT_EQ(status(), shownErrorBoxes[0]);
    EXPECT_EQ(readAll(target), "the old map");
    EXPECT_FALSE(fs::exists(part));

    std::vector<std::string> failures, retries;
    for (const std::string& line : cerr.lines()) {
        if (line.rfind("OSM download failed: ", 0) == 0)
            failures.push_back(line);
        if (line.rfind("OSM server failed: ", 0) == 0)
            retries.push_back(line);
    }
    const std::vector<std::string> expected{"OSM download failed: dead: Couldn't connect to server",
                                            "OSM download failed: two: HTTP 200",
                                            "OSM download failed: three: HTTP 429"};
    EXPECT_EQ(failures, expected);
    EXPECT_EQ(retries.size(), 2u);  // no pause announced after the last server
    EXPECT_EQ(server.requests().size(), 2u);
}

TEST_F(MapDownload, OnlyAnOsmDocumentWithoutRemarkPasses)
{
    const std::string padding(4096, ' ');
    const struct {
        CannedReply reply;
        const char* reason;  // null: accepted
    } cases[] = {
        {{200, ""}, "HTTP 200"},
        {{200, "<html>busy</html>"}, "HTTP 200"},
        {{200, remarkAnswer}, "HTTP 200"},
        {{200, padding + osmAnswer}, "HTTP 200"},       // "<osm" only past the first 4 kB
        {{200, "<osm>" + padding + "<remark/><remark>\n</osm>\n \n"}, nullptr},  // a remark that far in is data
        {{200, osmAnswer.substr(0, osmAnswer.size() - 4)}, "HTTP 200"},  // cut off before "</osm>" ends
        {{504, osmAnswer}, "HTTP 504"},
        {{301, ""}, "HTTP 301"},
    };
    startWith({});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply.body.substr(0, 40) + " / " + std::to_string(c.reply.status));
        CannedHttpServer server({c.reply});
        engine->overpassEndpoints = {server.endpoint("only")};
        shownErrorBoxes.clear();
        fs::remove(target);
        CerrLines cerr;
        const bool saved = engine->downloadOsmMap(target);
        EXPECT_EQ(saved, c.reason == nullptr);
        EXPECT_EQ(fs::exists(target), saved);
        EXPECT_FALSE(fs::exists(part));
        if (c.reason) {
            EXPECT_EQ(shownErrorBoxes, std::vector<std::string>{boxPrefix + "Download failed after all attempts: "
                                                                + c.reason});
        }
    }
}

TEST_F(MapDownload, StalePartFileIsReplacedNotWrittenThrough)
{
    CannedHttpServer server({{200, osmAnswer}});
    startWith({server.endpoint("one")});
    // A .part left behind as a link must not lead the download into another file.
    write("victim.txt", "keep me");
    fs::create_symlink(dir / "victim.txt", part);
    CerrLines cerr;
    ASSERT_TRUE(engine->downloadOsmMap(target));
    EXPECT_EQ(readAll(dir / "victim.txt"), "keep me");
    EXPECT_EQ(readAll(target), osmAnswer);
    EXPECT_FALSE(fs::exists(part));
}

TEST_F(MapDownload, LocalFileProblemsEndTheDownload)
{
    CannedHttpServer server({{200, osmAnswer}, {200, osmAnswer}});
    startWith({server.endpoint("one"), server.endpoint("two")});
    CerrLines cerr;

    // No directory for the .part file: no server is asked at all.
    const fs::path nowhere = dir / "missing" / "ride.osm";
    EXPECT_FALSE(engine->downloadOsmMap(nowhere));
    EXPECT_EQ(shownErrorBoxes, std::vector<std::string>{boxPrefix + "The file could not be created:\n" + nowhere.string()});
    EXPECT_TRUE(server.requests().empty());

    // The answer cannot take the place of a directory; nothing is left behind.
    shownErrorBoxes.clear();
    fs::create_directories(target / "inside");
    EXPECT_FALSE(engine->downloadOsmMap(target));
    ASSERT_EQ(shownErrorBoxes.size(), 1u);
    EXPECT_EQ(shownErrorBoxes[0].rfind(boxPrefix + "The downloaded map could not be saved: ", 0), 0u) << shownErrorBoxes[0];
    EXPECT_GT(shownErrorBoxes[0].size(), (boxPrefix + "The downloaded map could not be saved: ").size());
    EXPECT_FALSE(fs::exists(part));
    EXPECT_TRUE(fs::is_directory(target / "inside"));
    EXPECT_EQ(server.requests().size(), 1u);
}

TEST_F(MapDownload, LoadingATrackWithoutMapDownloadsAndShowsIt)
{
    CannedHttpServer server({{200, osmAnswer}});
    startWith({server.endpoint("one"), deadEndpoint, deadEndpoint});
    const std::string gpx = write("ride.gpx", gpxWithTracks(trackXml("Ride", 5)));
    CerrLines cerr;
    engine->loadGpxFile(gpx);

    EXPECT_EQ(readAll(target), osmAnswer);
    EXPECT_EQ(engine->mapPath, target.string());
    EXPECT_EQ(engine->mapFeatures.size(), 1u);
    EXPECT_EQ(engine->mapLabel->text, "ride.osm  |  1 map ways");
    EXPECT_EQ(status(), "ride.osm  |  1 map ways loaded");
    EXPECT_TRUE(shownErrorBoxes.empty());

    // Next time the map is simply there.
    engine->loadGpxFile(gpx);
    EXPECT_EQ(server.requests().size(), 1u);
}

TEST_F(MapDownload, NothingIsAskedForTooLargeOrRejectedTracks)
{
    CannedHttpServer server({{200, osmAnswer}});
    startWith({server.endpoint("one")});
    CerrLines cerr;

    const std::string wide = write("wide.gpx", gpxWithTracks("<trk><trkseg><trkpt lat=\"47.0\" lon=\"9.0\"/>"
                                                             "<trkpt lat=\"47.3\" lon=\"9.3\"/></trkseg></trk>"));
    engine->loadGpxFile(wide);
    EXPECT_EQ(shownErrorBoxes,
              std::vector<std::string>{boxPrefix + "The track area is too large for the automatic download."});
    EXPECT_EQ(engine->mapLabel->text, "No OSM map loaded");
    EXPECT_FALSE(fs::exists(dir / "wide.osm"));
    EXPECT_FALSE(fs::exists(dir / "wide.osm.part"));

    // A file without tracks leaves the previous track shown: its area is not
    // saved under the new file's name.
    shownErrorBoxes.clear();
    const std::string empty = write("empty.gpx", gpxWithTracks(""));
    engine->loadGpxFile(empty);
    EXPECT_EQ(status(), "No tracks found in " + empty);
    EXPECT_TRUE(shownErrorBoxes.empty());
    EXPECT_FALSE(fs::exists(dir / "empty.osm"));
    EXPECT_TRUE(server.requests().empty());
}

namespace {

// About 200 kB of map, for answers that take their time.
std::string largeAnswer()
{
    std::string body = "<osm version=\"0.6\">\n";
    for (int id = 100; body.size() < 200 * 1000; ++id)
        body += "  <node id=\"" + std::to_string(id) + "\" lat=\"47.1\" lon=\"9.5\"/>\n";
    return body + "</osm>\n";
}

// Sends an event to the engine's queue from outside, as the user would while it waits.
std::thread sendLater(int delayMs, SDL_Event event)
{
    return std::thread([delayMs, event]() mutable {
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        SDL_PushEvent(&event);
    });
}

SDL_Event escapeKey()
{
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.keysym.sym = SDLK_ESCAPE;
    return e;
}

} // namespace

TEST_F(MapDownload, FramesKeepComingWhileAnAnswerTrickles)
{
    CannedHttpServer server({{200, largeAnswer(), 1000}});
    startWith({server.endpoint("one")});
    std::vector<Uint32> frames{SDL_GetTicks()};
    std::vector<std::string> texts;
    engine->framePresented = [&] {
        frames.push_back(SDL_GetTicks());
        texts.push_back(status());
    };
    CerrLines cerr;
    ASSERT_TRUE(engine->downloadOsmMap(target));
    frames.push_back(SDL_GetTicks());

    Uint32 longest = 0;
    for (std::size_t i = 1; i < frames.size(); ++i)
        longest = std::max(longest, frames[i] - frames[i - 1]);
    EXPECT_LT(longest, 500u);  // the benchmark holds the 250 ms target; this allows for sanitizers
    EXPECT_GE(frames.size(), 8u);
    const auto showsAmount = [](const std::string& text) {
        return text.rfind("OSM download: attempt 1 of 1 \u2014 one (", 0) == 0 && text.ends_with(" kB)");
    };
    EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), showsAmount));
}

TEST_F(MapDownload, EscapeOrClosingTheWindowCancelsAndKeepsTheOldMap)
{
    SDL_Event close{};
    close.type = SDL_QUIT;
    for (const SDL_Event& event : {escapeKey(), close}) {
        SCOPED_TRACE(event.type);
        CannedHttpServer server({{200, largeAnswer(), 3000}, {200, osmAnswer}});
        startWith({server.endpoint("one"), server.endpoint("two")});
        write("ride.osm", "the old map");
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        CerrLines cerr;
        std::thread user = sendLater(300, event);
        EXPECT_FALSE(engine->downloadOsmMap(target));
        user.join();

        EXPECT_EQ(readAll(target), "the old map");
        EXPECT_FALSE(fs::exists(part));
        EXPECT_TRUE(shownErrorBoxes.empty());
        EXPECT_EQ(status(), "OSM download cancelled.");
        EXPECT_EQ(server.requests().size(), 1u);
        // Escape was spent on the download; a quit stays queued for the loop to end the program.
        SDL_Event left{};
        EXPECT_EQ(SDL_PollEvent(&left) == 1 && left.type == SDL_QUIT, event.type == SDL_QUIT);
    }

    // A cancelled download for a new track leaves the map shown before.
    CannedHttpServer server({{200, largeAnswer(), 3000}});
    startWith({server.endpoint("one")});
    const std::string old = write("old.osm", osmAnswer);
    engine->loadOsmMap(old);
    CerrLines cerr;
    std::thread user = sendLater(300, escapeKey());
    engine->loadGpxFile(write("walk.gpx", gpxWithTracks(trackXml("Walk", 5))));
    user.join();
    EXPECT_EQ(engine->mapPath, old);
    EXPECT_EQ(engine->mapFeatures.size(), 1u);
    EXPECT_FALSE(fs::exists(dir / "walk.osm"));
    EXPECT_FALSE(fs::exists(dir / "walk.osm.part"));
}
