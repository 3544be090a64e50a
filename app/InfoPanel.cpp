#include "app/InfoPanel.h"

#include "i18n/Translate.h"
#include "track/TrackStatistics.h"

namespace pathlark {

namespace {

std::string markerText(int marker)
{
    return marker >= 0 ? std::to_string(marker + 1) : std::string("-");
}

} // namespace

std::vector<InfoRow> infoPanelRows(const Gpx& gpx, const Track& track, int markerA, int markerB)
{
    std::vector<InfoRow> rows;
    auto add = [&rows](int id, int parent, const char* label, std::string value) {
        rows.push_back(InfoRow{id, parent, tr(label), std::move(value)});
    };

    add(1, 0, "Track info", {});
    add(10, 1, "Name", track.getName().empty() ? tr("Unnamed") : track.getName());
    add(11, 1, "Number", std::to_string(track.getNumber()));
    add(12, 1, "Creator", gpx.getCreator());
    add(13, 1, "GPX version", gpx.getVersion());

    add(2, 0, "Track analyses", {});
    const auto stats = trackStatistics(track);
    if (stats) {
        add(20, 2, "Start time", stats->startTime);
        add(21, 2, "Stop time", stats->stopTime);
        add(22, 2, "Min. height", formatFixed(stats->minHeight, 0, " m"));
        add(23, 2, "Max. height", formatFixed(stats->maxHeight, 0, " m"));
        add(24, 2, "Min. speed", formatFixed(stats->minSpeed, 1, " km/h"));
        add(25, 2, "Max. speed", formatFixed(stats->maxSpeed, 1, " km/h"));
        add(26, 2, "Duration", formatDuration(stats->duration));
        add(27, 2, "Distance", formatFixed(stats->distance / 1000.0, 2, " km"));
        add(28, 2, "Average", formatFixed(stats->average, 1, " km/h"));
        add(29, 2, "Waypoints", std::to_string(unsigned(stats->pointCount)));
        add(40, 2, "Ascent", formatFixed(stats->ascent, 0, " m"));
        add(41, 2, "Descent", formatFixed(stats->descent, 0, " m"));
        add(42, 2, "Moving time", formatDuration(stats->movingTime));
        add(43, 2, "Moving average", formatFixed(stats->movingAverage, 1, " km/h"));
    }

    add(3, 0, "A-B analyses", {});
    add(30, 3, "Waypoint A", markerText(markerA));
    add(31, 3, "Waypoint B", markerText(markerB));
    if (stats) {
        if (const auto stretch = stretchStatistics(track, markerA, markerB)) {
            add(32, 3, "Duration", formatDuration(stretch->duration));
            add(33, 3, "Distance", formatFixed(stretch->distance / 1000.0, 2, " km"));
            add(34, 3, "Average", formatFixed(stretch->average, 1, " km/h"));
            add(35, 3, "Waypoints", std::to_string(stretch->pointCount));
            add(36, 3, "Direct", formatFixed(stretch->direct / 1000.0, 2, " km"));
            add(44, 3, "Ascent", formatFixed(stretch->ascent, 0, " m"));
            add(45, 3, "Descent", formatFixed(stretch->descent, 0, " m"));
        }
    }
    return rows;
}

} // namespace pathlark
