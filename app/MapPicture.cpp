// Saving the map panel as a PNG picture: what the user sees, written safely.

#include "app/MapPicture.h"

#include "app/PathlarkEngine.h"
#include "gui/GuiCairoPanel.h"
#include "i18n/Translate.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace pathlark {

namespace {

struct PngSink {
    int fd = -1;
    int error = 0; // errno of the failed write
};

cairo_status_t writeToFile(void* closure, const unsigned char* data, unsigned int length)
{
    auto* sink = static_cast<PngSink*>(closure);
    while (length > 0) {
        const ssize_t written = ::write(sink->fd, data, length);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            sink->error = errno;
            return CAIRO_STATUS_WRITE_ERROR;
        }
        data += written;
        length -= unsigned(written);
    }
    return CAIRO_STATUS_SUCCESS;
}

// What a new file gets: 0666 less the umask, which can only be read by setting it.
mode_t pictureMode(const std::string& path)
{
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0)
        return existing.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

std::string writePngFile(cairo_surface_t* surface, const std::string& path)
{
    const fs::path target(path);
    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    // Hidden, so the file dialog never lists it while it is being written.
    std::string temporary = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    PngSink sink;
    sink.fd = ::mkstemp(temporary.data());
    if (sink.fd < 0)
        return std::strerror(errno);

    // A file system without permissions (FAT) refuses this; the picture is fine without.
    (void)::fchmod(sink.fd, pictureMode(path));
    const cairo_status_t status = cairo_surface_write_to_png_stream(surface, writeToFile, &sink);
    std::string reason;
    if (status != CAIRO_STATUS_SUCCESS)
        reason = sink.error ? std::strerror(sink.error) : cairo_status_to_string(status);
    // On disk before it takes the old file's place, or a crash could leave an empty one.
    if (reason.empty() && ::fsync(sink.fd) != 0)
        reason = std::strerror(errno);
    if (::close(sink.fd) != 0 && reason.empty())
        reason = std::strerror(errno);
    if (reason.empty() && ::rename(temporary.c_str(), path.c_str()) != 0)
        reason = std::strerror(errno);
    if (!reason.empty())
        ::unlink(temporary.c_str());
    return reason;
}

void PathlarkEngine::saveMapPicture(const std::string& path)
{
    if (!mapPanel || !mapPanel->getSurface())
        return;
    // The panel as it is now, even when its next frame is not due yet.
    renderMapPanel();
    paintedContent = panelContent();

    // Opaque, as the panel is shown: its texture is copied without blending.
    cairo_surface_t* shown = mapPanel->getSurface();
    cairo_surface_t* picture = cairo_image_surface_create(CAIRO_FORMAT_RGB24, cairo_image_surface_get_width(shown),
                                                          cairo_image_surface_get_height(shown));
    cairo_t* cr = cairo_create(picture);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, shown, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    const std::string reason = writePngFile(picture, path);
    cairo_surface_destroy(picture);

    if (reason.empty())
        setStatus(tr("Map picture saved: ") + path);
    else
        setStatus(tr("Could not save map picture: ") + path + ": " + reason);
}

} // namespace pathlark
