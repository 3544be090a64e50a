#include "map/OverpassDownload.h"

#include "i18n/Translate.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <iomanip>
#include <memory>
#include <string_view>
#include <system_error>
#include <thread>

namespace fs = std::filesystem;

namespace pathlark {

std::vector<OverpassEndpoint> defaultOverpassEndpoints()
{
    std::vector<OverpassEndpoint> endpoints;
    for (const char* host : {"overpass-api.de", "overpass.kumi.systems", "overpass.private.coffee"})
        endpoints.push_back({host, std::string("https://") + host + "/api/interpreter"});
    return endpoints;
}

std::size_t writeToStream(char* data, std::size_t size, std::size_t count, void* stream)
{
    auto& out = *static_cast<std::ostream*>(stream);
    if (!out)
        return 0;
    const std::size_t total = size * count;
    out.write(data, static_cast<std::streamsize>(total));
    return out ? total : 0;
}

bool looksLikeOsmAnswer(const fs::path& file)
{
    std::error_code ec;
    if (!fs::is_regular_file(file, ec))
        return false;
    std::ifstream in(file, std::ios::binary);
    char head[4096];
    in.read(head, sizeof head);
    const std::string_view text(head, static_cast<std::size_t>(in.gcount()));
    if (text.empty() || text.find("<osm") == std::string_view::npos || text.find("<remark>") != std::string_view::npos)
        return false;

    char tail[256];
    const std::uintmax_t size = fs::file_size(file, ec);
    if (ec)
        return false;
    in.clear();
    in.seekg(static_cast<std::streamoff>(size - std::min<std::uintmax_t>(size, sizeof tail)));
    in.read(tail, sizeof tail);
    std::string_view end(tail, static_cast<std::size_t>(in.gcount()));
    while (!end.empty() && std::string_view(" \t\r\n").find(end.back()) != std::string_view::npos)
        end.remove_suffix(1);
    return end.ends_with("</osm>");
}

std::string receivedAmountText(std::uint64_t bytes)
{
    if (bytes == 0)
        return {};
    if (bytes < 1000 * 1000)
        return " (" + std::to_string((bytes + 999) / 1000) + " kB)";
    const std::uint64_t tenths = (bytes + 50 * 1000) / (100 * 1000);
    return " (" + std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " MB)";
}

namespace {

std::string utf8Of(const fs::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

using CurlHandle = std::unique_ptr<CURL, decltype(&curl_easy_cleanup)>;
using MultiHandle = std::unique_ptr<CURLM, decltype(&curl_multi_cleanup)>;

OverpassDownloadResult failure(std::string error)
{
    return {false, false, std::move(error)};
}

// The caller's waiting callback for one attempt: the text grows by the bytes
// received so far, and a refusal is remembered so the transfer can stop.
struct Waiting {
    const OverpassDownloadSettings& settings;
    std::string text;
    curl_off_t received = 0;
    bool asked = false;
    bool cancelled = false;

    bool keepGoing()
    {
        asked = true;
        if (!cancelled && settings.waiting)
            cancelled = !settings.waiting(text + receivedAmountText(std::uint64_t(std::max<curl_off_t>(received, 0))));
        return !cancelled;
    }
};

int onTransferProgress(void* data, curl_off_t, curl_off_t received, curl_off_t, curl_off_t)
{
    auto& waiting = *static_cast<Waiting*>(data);
    waiting.received = received;
    return waiting.keepGoing() ? 0 : 1;
}

// curl_easy_perform, but never blind for long: libcurl calls back only about
// once a second while a server is silent (as Overpass is while it works on a
// query), so the handle runs in a multi loop that wakes every waitStepMs.
CURLcode performWhileWaiting(CURLM* multi, CURL* handle, Waiting& waiting)
{
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &waiting);
    if (curl_multi_add_handle(multi, handle) != CURLM_OK)
        return CURLE_FAILED_INIT;
    CURLcode result = CURLE_OK;
    int running = 1;
    while (running) {
        waiting.asked = false;
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            result = CURLE_RECV_ERROR;
            break;
        }
        if (!running)
            break;
        if (curl_multi_poll(multi, nullptr, 0, std::max(waiting.settings.waitStepMs, 1), nullptr) != CURLM_OK) {
            result = CURLE_RECV_ERROR;
            break;
        }
        if (!waiting.asked && !waiting.keepGoing())
            break;
        if (waiting.cancelled)
            break;
    }
    if (running == 0 && result == CURLE_OK) {
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &left))
            if (message->msg == CURLMSG_DONE && message->easy_handle == handle)
                result = message->data.result;
    }
    curl_multi_remove_handle(multi, handle);
    return waiting.cancelled ? CURLE_ABORTED_BY_CALLBACK : result;
}

// The pause between two servers, with the window kept alive; false when cancelled.
bool pauseWhileWaiting(int pauseMs, Waiting& waiting)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(pauseMs);
    while (waiting.keepGoing()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        if (left.count() <= 0)
            return true;
        std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(std::max(waiting.settings.waitStepMs, 1))));
    }
    return false;
}

// The answer reaches the disk before it takes the map's name, so a crash
// right after cannot leave an empty map behind.
std::error_code flushToDisk(const fs::path& file)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {errno, std::system_category()};
    std::error_code ec;
    if (::fsync(fd) != 0)
        ec.assign(errno, std::system_category());
    ::close(fd);
    return ec;
}

} // namespace

OverpassDownloadResult downloadOverpassMap(const std::string& query, const fs::path& target,
                                           const OverpassDownloadSettings& settings)
{
    std::ostream& log = settings.log ? *settings.log : std::cerr;
    auto report = [&](const std::string& text) {
        log << text << '\n';
        if (settings.progress)
            settings.progress(text);
    };
    fs::path part = target;
    part += ".part";

    CurlHandle curl(curl_easy_init(), &curl_easy_cleanup);
    if (!curl) {
        fs::remove(part);
        return failure(tr("The OSM download could not be initialized."));
    }
    std::string body;
    if (char* escaped = curl_easy_escape(curl.get(), query.data(), static_cast<int>(query.size()))) {
        body = std::string("data=") + escaped;
        curl_free(escaped);
    } else {
        curl.reset();
        fs::remove(part);
        return failure(tr("The OSM download could not be prepared."));
    }

    CURL* handle = curl.get();
    curl_easy_setopt(handle, CURLOPT_POSTFIELDS, body.c_str());
    curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
    curl_easy_setopt(handle, CURLOPT_USERAGENT, OverpassUserAgent);
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
#if LIBCURL_VERSION_NUM >= 0x075500
    // A server's redirect must not lead to a local file or another protocol.
    curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
#endif
    curl_easy_setopt(handle, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, 10L);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT, 75L);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &writeToStream);
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, &onTransferProgress);
    MultiHandle multi(curl_multi_init(), &curl_multi_cleanup);
    if (!multi) {
        curl.reset();
        fs::remove(part);
        return failure(tr("The OSM download could not be initialized."));
    }
    auto cancelled = [&] {
        std::error_code ignored;
        fs::remove(part, ignored);
        const std::string text = tr("OSM download cancelled.");
        log << text << '\n';
        return OverpassDownloadResult{false, true, text};
    };

    const std::size_t attempts = settings.endpoints.size();
    std::string lastError;
    for (std::size_t n = 1; n <= attempts; ++n) {
        const OverpassEndpoint& endpoint = settings.endpoints[n - 1];
        fs::remove(part);
        std::ofstream out(part, std::ios::binary | std::ios::trunc);
        if (!out)
            return failure(tr("The file could not be created:\n") + utf8Of(target));

        Waiting waiting{settings, tr("OSM download: attempt ") + std::to_string(n) + tr(" of ")
                                      + std::to_string(attempts) + " \u2014 " + endpoint.label};
        report(waiting.text);

        curl_easy_setopt(handle, CURLOPT_URL, endpoint.url.c_str());
        curl_easy_setopt(handle, CURLOPT_WRITEDATA, static_cast<std::ostream*>(&out));
        const CURLcode result = performWhileWaiting(multi.get(), handle, waiting);
        long code = 0;
        curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &code);
        out.close();
        if (waiting.cancelled)
            return cancelled();

        std::string reason;
        if (result != CURLE_OK)
            reason = curl_easy_strerror(result);
        else if (!out)
            // A write that failed only when the buffer was flushed at close:
            // the file is cut short even though the transfer went through.
            reason = curl_easy_strerror(CURLE_WRITE_ERROR);
        else if (code != 200 || !looksLikeOsmAnswer(part))
            reason = "HTTP " + std::to_string(code);
        else
            break;

        lastError = reason;
        log << tr("OSM download failed: ") << endpoint.label << ": " << reason << '\n';
        fs::remove(part);
        if (n == attempts)
            return failure(tr("Download failed after all attempts: ") + lastError);
        Waiting pause{settings, tr("OSM server failed: ") + endpoint.label + " (" + reason
                                    + tr("). Trying the next server in 2 seconds.")};
        report(pause.text);
        if (!pauseWhileWaiting(settings.retryPauseMs, pause))
            return cancelled();
    }
    if (attempts == 0)  // nothing to ask; every real attempt either broke out or returned
        return failure(tr("Download failed after all attempts: ") + lastError);
    multi.reset();
    curl.reset();

    std::error_code ec = flushToDisk(part);
    if (!ec)
        fs::rename(part, target, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(part, ignored);
        return failure(tr("The downloaded map could not be saved: ") + ec.message());
    }
    report(tr("OSM map downloaded successfully: ") + utf8Of(target.filename()));
    log << tr("OSM map downloaded to ") << std::quoted(utf8Of(target)) << '\n';
    return {true, false, {}};
}

} // namespace pathlark
