#pragma once
#include "track/Gpx.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

inline std::string readText(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// Every field of a document as text, one line per track and point, so that
// two documents compare field for field and a difference shows where it is.
// Numbers keep all their digits, signs of zero and NaNs.

inline std::string gpxText(const Gpx* gpx)
{
    if (!gpx)
        return "no document\n";
    auto quoted = [](std::string_view text) { return "\"" + std::string(text) + "\""; };
    char text[32];
    auto number = [&text](double value) { return std::string(text, std::snprintf(text, sizeof text, "%.17g", value)); };
    std::string out = "gpx creator=" + quoted(gpx->getCreator()) + " version=" + quoted(gpx->getVersion())
        + " bounds=" + number(gpx->getMinLat()) + "," + number(gpx->getMinLon()) + ","
        + number(gpx->getMaxLat()) + "," + number(gpx->getMaxLon()) + "\n";
    for (int i = 0; i < gpx->getTrackCount(); ++i) {
        const Track& track = *gpx->getTrack(i);
        out += "track " + quoted(track.getName()) + " number=" + std::to_string(track.getNumber()) + "\n";
        for (int j = 0; j < track.getWayPointCount(); ++j) {
            const WayPoint& point = *track.getWayPoint(j);
            out += "  point " + number(point.getLat()) + "," + number(point.getLon()) + " ele="
                + number(point.getEle()) + " time=" + std::to_string(point.getTime()) + " "
                + quoted(point.getTimeString()) + " name=" + quoted(point.getName()) + " cmt="
                + quoted(point.getCmt()) + " desc=" + quoted(point.getDesc()) + "\n";
        }
    }
    return out;
}
