#include "app/StatusLine.h"

#include "app/PathText.h"
#include "i18n/Translate.h"
#include "track/TrackStatistics.h"

#include <cmath>
#include <filesystem>
#include <locale>
#include <sstream>

namespace pathlark {

std::string displayFileName(const std::string& path)
{
    return utf8Text(std::filesystem::path(path).filename());
}

std::string statusLineText(const std::string& gpxPath, const Track& track, const CursorState& state)
{
    const int count = track.getWayPointCount();
    if (state.cursorIndex < 0 || count == 0)
        return {};

    // The classic locale keeps the decimal point a point whatever the user's locale.
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << displayFileName(gpxPath) << "  |  ";
    if (state.freeCursor) {
        out << tr("free cursor") << "  |  ";
        out.setf(std::ios::fixed);
        out.precision(6);
        out << state.freeCursorLat << ", " << state.freeCursorLon;
        return out.str();
    }

    const int cursor = std::min(state.cursorIndex, count - 1);
    out << tr("point") << ' ' << cursor + 1 << '/' << count << "  |  " << track.getWayPoint(cursor)->getEle() << " m";

    const bool haveA = state.markerA >= 0 && state.markerA < count;
    const bool haveB = state.markerB >= 0 && state.markerB < count;
    if (state.markerA >= 0 || state.markerB >= 0) {
        out << "  |  A: ";
        if (state.markerA >= 0)
            out << state.markerA + 1;
        else
            out << '-';
        out << "  B: ";
        if (state.markerB >= 0)
            out << state.markerB + 1;
        else
            out << '-';
    }
    if (haveA && haveB) {
        const auto stretch = stretchStatistics(track, state.markerA, state.markerB);
        out << "  |  A-B: " << std::llround(stretch->distance) << " m";
        if (stretch->duration != 0)
            out << ", " << stretch->duration << " s";
    }
    return out.str();
}

} // namespace pathlark
