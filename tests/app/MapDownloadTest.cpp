// Map downloads against a small HTTP server of our own on 127.0.0.1: the
// order of servers, the verdict on each answer, the files left behind, the
// texts the user sees and loading the downloaded map.

#include "AppTestSupport.h"

#include "map/OverpassDownload.h"
#include "map/OverpassQuery.h"
#include "track/Track.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/time.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <mutex>
#include <thread>

using namespace apptest;

namespace {

struct CannedReply {
    int status;
    std::string body;
    int trickleMs = 0;  // the body goes out in pieces over this long
};

// Answers one connection per canned reply, in order, then stops.
class CannedHttpServer {
public:
    explicit CannedHttpServer(std::vector<CannedReply> replies) : replies(std::move(replies))
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(listener, 4) != 0
            || getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0 || !timeout(listener, 50))
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
    std::vector<std::string> requests()
    {
        std::lock_guard lock(mutex);
        return received;
    }

private:
    static bool timeout(int fd, int ms)
    {
        const timeval wait{ms / 1000, ms % 1000 * 1000};
        return setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait) == 0;
    }

    void serve()
    {
        for (std::size_t served = 0; served < replies.size() && !stopping;)
            if (const int connection = accept(listener, nullptr, nullptr); connection >= 0) {
                answer(connection, replies[served++]);
                close(connection);
            }
    }

    // Reads the request (head and a body of Content-Length bytes), then replies.
    void answer(int connection, const CannedReply& reply)
    {
        std::string data;
        char buffer[4096];
        bool continued = false;
        timeout(connection, 2000);
        for (ssize_t n; (n = recv(connection, buffer, sizeof buffer, 0)) > 0;) {
            data.append(buffer, std::size_t(n));
            if (!continued && data.find("Expect: 100-continue") != std::string::npos)
                continued = sendAll(connection, "HTTP/1.1 100 Continue\r\n\r\n");
            const std::size_t headEnd = data.find("\r\n\r\n"), field = data.find("Content-Length: ");
            if (field < headEnd && headEnd != std::string::npos && data.size() >= headEnd + 4 + std::stoul(data.substr(field + 16)))
                break;
        }
        {
            std::lock_guard lock(mutex);
            received.push_back(data);
        }
        const std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " Canned\r\nContent-Length: "
                                 + std::to_string(reply.body.size()) + "\r\nConnection: close\r\n\r\n";
        const std::size_t piece = reply.trickleMs > 0 ? reply.body.size() / 20 + 1 : reply.body.size();
        bool open = sendAll(connection, head);
        for (std::size_t at = 0; open && !stopping && at < reply.body.size(); at += piece) {
            std::this_thread::sleep_for(std::chrono::milliseconds(reply.trickleMs / 20));
            open = sendAll(connection, reply.body.substr(at, piece));
        }
    }

    static bool sendAll(int connection, const std::string& text)
    {
        ssize_t n = 1;
        for (std::size_t sent = 0; sent < text.size() && n > 0; sent += std::size_t(n))
            n = send(connection, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        return n > 0;
    }

    std::vector<CannedReply> replies;
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    int port = 0;
    std::atomic<bool> stopping{false};
    std::mutex mutex;
    std::vector<std::string> received;
    std::thread worker;
};

const OverpassEndpoint deadEndpoint{"dead", "http://127.0.0.1:1/api/interpreter"};
const std::string remarkAnswer = "<?xml version=\"1.0\"?>\n<osm version=\"0.6\">\n"
                                 "<remark> runtime error: Query timed out </remark>\n</osm>\n";
const std::string boxPrefix = "Could not create the OSM map.\n\n";

// Standard error of the code under test.
struct CerrText {
    std::ostringstream text;
    std::streambuf* previous = std::cerr.rdbuf(text.rdbuf());
    ~CerrText() { std::cerr.rdbuf(previous); }
};

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

TEST(MapDownloadText, ReceivedBytesShowAsWholeKilobytesRoundedUpThenTenthsOfMegabytes)
{
    const std::pair<std::uint64_t, const char*> cases[] = {
        {0, ""}, {1, " (1 kB)"}, {1000, " (1 kB)"}, {1001, " (2 kB)"}, {999'999, " (1000 kB)"},
        {1'000'000, " (1.0 MB)"}, {1'449'999, " (1.4 MB)"}, {1'450'000, " (1.5 MB)"}, {12'345'678, " (12.3 MB)"}};
    for (auto [bytes, text] : cases)
        EXPECT_EQ(receivedAmountText(bytes), text) << bytes;
}

TEST_F(MapDownload, FirstServerFailsSecondSucceedsThirdIsNeverAsked)
{
    CannedHttpServer server({{504, "Gateway Timeout"}, {200, smallMap}, {200, smallMap}});
    startWith({server.endpoint("one"), server.endpoint("two"), server.endpoint("three")});
    write("ride.osm", "the old map");
    CerrText cerr;
    ASSERT_TRUE(engine->downloadOsmMap(target));
    EXPECT_EQ(readAll(target), smallMap);
    EXPECT_FALSE(fs::exists(part));
    EXPECT_TRUE(shownErrorBoxes.empty());
    EXPECT_EQ(cerr.text.str(), "OSM download: attempt 1 of 3 \u2014 one\n"
                               "OSM download failed: one: HTTP 504\n"
                               "OSM server failed: one (HTTP 504). Trying the next server in 2 seconds.\n"
                               "OSM download: attempt 2 of 3 \u2014 two\n"
                               "OSM map downloaded successfully: ride.osm\n"
                               "OSM map downloaded to \"" + target.string() + "\"\n");
    EXPECT_EQ(status(), "OSM map downloaded successfully: ride.osm");

    // The query for the track's area, form-encoded as the servers expect it.
    TrackBounds bounds;
    const Track* track = engine->shownTrack();
    for (int i = 0; i < track->getWayPointCount(); ++i)
        bounds.add(track->getWayPoint(i)->getLat(), track->getWayPoint(i)->getLon());
    std::string body = "\r\n\r\ndata=";
    for (unsigned char c : overpassQuery(downloadArea(bounds))) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%%%02X", c);
        body += std::isalnum(c) || std::strchr("-._~", c) ? std::string(1, char(c)) : std::string(hex);
    }
    const std::vector<std::string> requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_TRUE(requests[0].starts_with("POST /one/api/interpreter HTTP/1.1\r\n")) << requests[0];
    const std::string& second = requests[1];
    EXPECT_TRUE(second.starts_with("POST /two/api/interpreter HTTP/1.1\r\n")) << second;
    EXPECT_NE(second.find("\r\nUser-Agent: Pathlark/0.0.0 (GPX map download)\r\n"), std::string::npos);
    EXPECT_NE(second.find("\r\nContent-Type: application/x-www-form-urlencoded"), std::string::npos);
    EXPECT_TRUE(second.ends_with(body)) << second;
}

TEST_F(MapDownload, WhenEveryServerFailsTheBoxNamesTheLastReasonAndTheOldMapStays)
{
    CannedHttpServer server({{200, remarkAnswer}, {429, smallMap}});
    startWith({deadEndpoint, server.endpoint("two"), server.endpoint("three")});
    write("ride.osm", "the old map");
    CerrText cerr;
    EXPECT_FALSE(engine->downloadOsmMap(target));
    EXPECT_EQ(shownErrorBoxes, std::vector<std::string>{boxPrefix + "Download failed after all attempts: HTTP 429"});
    EXPECT_EQ(status(), shownErrorBoxes.at(0));
    EXPECT_EQ(readAll(target), "the old map");
    EXPECT_FALSE(fs::exists(part));
    const std::string log = cerr.text.str();
    for (const char* line : {"failed: dead: Couldn't connect to server\n", "failed: two: HTTP 200\n",
                             "failed: three: HTTP 429\n", "OSM server failed: two"})
        EXPECT_NE(log.find(line), std::string::npos) << log;
    EXPECT_EQ(log.find("OSM server failed: three"), std::string::npos) << "no pause announced after the last server";
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
        {{200, padding + smallMap}, "HTTP 200"},  // "<osm" only past the first 4 kB
        {{200, "<osm>" + padding + "<remark/><remark>\n</osm>\n \n"}, nullptr},  // a remark that far in is data
        {{200, smallMap.substr(0, smallMap.size() - 4)}, "HTTP 200"},  // cut off before "</osm>" ends
        {{504, smallMap}, "HTTP 504"},
        {{301, ""}, "HTTP 301"},
    };
    startWith({});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply.body.substr(0, 40) + " / " + std::to_string(c.reply.status));
        CannedHttpServer server({c.reply});
        engine->overpassEndpoints = {server.endpoint("only")};
        shownErrorBoxes.clear();
        fs::remove(target);
        CerrText cerr;
        const bool saved = engine->downloadOsmMap(target);
        EXPECT_EQ(saved, c.reason == nullptr);
        EXPECT_EQ(fs::exists(target), saved);
        EXPECT_FALSE(fs::exists(part));
        const std::vector<std::string> box{boxPrefix + "Download failed after all attempts: " + (c.reason ? c.reason : "")};
        EXPECT_EQ(shownErrorBoxes, c.reason ? box : std::vector<std::string>{});
    }
}

TEST_F(MapDownload, LocalFileProblemsEndTheDownload)
{
    CannedHttpServer server({{200, smallMap}, {200, smallMap}, {200, smallMap}});
    startWith({server.endpoint("one"), server.endpoint("two")});
    CerrText cerr;
    // No directory for the .part file: no server is asked at all.
    const fs::path nowhere = dir / "missing" / "ride.osm";
    EXPECT_FALSE(engine->downloadOsmMap(nowhere));
    EXPECT_EQ(shownErrorBoxes, std::vector<std::string>{boxPrefix + "The file could not be created:\n" + nowhere.string()});
    EXPECT_TRUE(server.requests().empty());

    // The answer cannot take the place of a directory; nothing is left behind.
    shownErrorBoxes.clear();
    fs::create_directories(target / "inside");
    EXPECT_FALSE(engine->downloadOsmMap(target));
    const std::string saving = boxPrefix + "The downloaded map could not be saved: ";
    ASSERT_EQ(shownErrorBoxes.size(), 1u);
    EXPECT_TRUE(shownErrorBoxes[0].starts_with(saving) && shownErrorBoxes[0].size() > saving.size()) << shownErrorBoxes[0];
    EXPECT_FALSE(fs::exists(part));
    EXPECT_TRUE(fs::is_directory(target / "inside"));
    EXPECT_EQ(server.requests().size(), 1u);

    // A .part left behind as a link must not lead the download into another file.
    fs::remove_all(target);
    write("victim.txt", "keep me");
    fs::create_symlink(dir / "victim.txt", part);
    ASSERT_TRUE(engine->downloadOsmMap(target));
    EXPECT_EQ(readAll(dir / "victim.txt"), "keep me");
    EXPECT_EQ(readAll(target), smallMap);
    EXPECT_FALSE(fs::exists(part));
}

TEST_F(MapDownload, ATrackWithoutMapGetsOneUnlessItsAreaIsTooLarge)
{
    CannedHttpServer server({{200, smallMap}});
    startWith({server.endpoint("one"), deadEndpoint, deadEndpoint});
    CerrText cerr;
    const std::string wide = write("wide.gpx", gpxWithTracks("<trk><trkseg><trkpt lat=\"47.0\" lon=\"9.0\"/>"
                                                             "<trkpt lat=\"47.3\" lon=\"9.3\"/></trkseg></trk>"));
    engine->loadGpxFile(wide);
    EXPECT_EQ(shownErrorBoxes,
              std::vector<std::string>{boxPrefix + "The track area is too large for the automatic download."});
    EXPECT_EQ(engine->mapLabel->text, "No OSM map loaded");
    EXPECT_FALSE(fs::exists(dir / "wide.osm") || fs::exists(dir / "wide.osm.part"));
    // A file without tracks leaves the previous track shown: its area is not
    // saved under the new file's name.
    shownErrorBoxes.clear();
    engine->loadGpxFile(write("empty.gpx", gpxWithTracks("")));
    EXPECT_TRUE(shownErrorBoxes.empty());
    EXPECT_FALSE(fs::exists(dir / "empty.osm"));
    EXPECT_TRUE(server.requests().empty());

    engine->loadGpxFile(write("ride.gpx", gpxWithTracks(trackXml("Ride", 5))));
    EXPECT_EQ(readAll(target), smallMap);
    EXPECT_EQ(engine->mapPath, target.string());
    EXPECT_EQ(engine->mapLabel->text, "ride.osm  |  1 map ways");
    EXPECT_EQ(status(), "ride.osm  |  1 map ways loaded");
    EXPECT_TRUE(shownErrorBoxes.empty());
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
std::thread sendLater(Uint32 type)
{
    return std::thread([type] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        SDL_Event event{};
        event.type = type;
        event.key.keysym.sym = SDLK_ESCAPE;
        SDL_PushEvent(&event);
    });
}

} // namespace

TEST_F(MapDownload, EscapeOrClosingTheWindowCancelsAndKeepsTheOldMap)
{
    for (Uint32 type : {Uint32(SDL_KEYDOWN), Uint32(SDL_QUIT)}) {
        SCOPED_TRACE(type);
        CannedHttpServer server({{200, largeAnswer(), 3000}, {200, smallMap}});
        startWith({server.endpoint("one"), server.endpoint("two")});
        write("ride.osm", "the old map");
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        CerrText cerr;
        std::thread user = sendLater(type);
        EXPECT_FALSE(engine->downloadOsmMap(target));
        user.join();
        EXPECT_EQ(readAll(target), "the old map");
        EXPECT_FALSE(fs::exists(part));
        EXPECT_TRUE(shownErrorBoxes.empty());
        EXPECT_EQ(status(), "OSM download cancelled.");
        EXPECT_EQ(server.requests().size(), 1u);
        // Escape was spent on the download; a quit stays queued for the loop to end the program.
        SDL_Event left{};
        EXPECT_EQ(SDL_PollEvent(&left) == 1 && left.type == SDL_QUIT, type == SDL_QUIT);
    }
    // A cancelled download for a new track leaves the map shown before.
    CannedHttpServer server({{200, largeAnswer(), 3000}});
    startWith({server.endpoint("one")});
    const std::string old = write("old.osm", smallMap);
    engine->loadOsmMap(old);
    CerrText cerr;
    std::thread user = sendLater(SDL_KEYDOWN);
    engine->loadGpxFile(write("walk.gpx", gpxWithTracks(trackXml("Walk", 5))));
    user.join();
    EXPECT_EQ(engine->mapPath, old);
    EXPECT_EQ(engine->mapFeatures.size(), 1u);
    EXPECT_FALSE(fs::exists(dir / "walk.osm") || fs::exists(dir / "walk.osm.part"));
}
