#include "map/OverpassDownload.h"

#include "app/Translate.h"

#include <curl/curl.h>

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
    return !text.empty() && text.find("<osm") != std::string_view::npos
           && text.find("<remark>") == std::string_view::npos;
}

namespace {

std::string utf8Of(const fs::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

using CurlHandle = std::unique_ptr<CURL, decltype(&curl_easy_cleanup)>;

OverpassDownloadResult failure(std::string error)
{
    return {false, std::move(error)};
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

    const std::size_t attempts = settings.endpoints.size();
    std::string lastError;
    for (std::size_t n = 1; n <= attempts; ++n) {
        const OverpassEndpoint& endpoint = settings.endpoints[n - 1];
        fs::remove(part);
        std::ofstream out(part, std::ios::binary | std::ios::trunc);
        if (!out)
            return failure(tr("The file could not be created:\n") + utf8Of(target));

        report(tr("OSM download: attempt ") + std::to_string(n) + tr(" of ") + std::to_string(attempts)
               + " \u2014 " + endpoint.label);

        curl_easy_setopt(handle, CURLOPT_URL, endpoint.url.c_str());
        curl_easy_setopt(handle, CURLOPT_WRITEDATA, static_cast<std::ostream*>(&out));
        const CURLcode result = curl_easy_perform(handle);
        long code = 0;
        curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &code);
        out.close();

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
        report(tr("OSM server failed: ") + endpoint.label + " (" + reason
               + tr("). Trying the next server in 2 seconds."));
        std::this_thread::sleep_for(std::chrono::milliseconds(settings.retryPauseMs));
    }
    if (attempts == 0)  // nothing to ask; every real attempt either broke out or returned
        return failure(tr("Download failed after all attempts: ") + lastError);
    curl.reset();

    std::error_code ec;
    fs::rename(part, target, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(part, ignored);
        return failure(tr("The downloaded map could not be saved: ") + ec.message());
    }
    report(tr("OSM map downloaded successfully: ") + utf8Of(target.filename()));
    log << tr("OSM map downloaded to ") << std::quoted(utf8Of(target)) << '\n';
    return {true, {}};
}

} // namespace pathlark
