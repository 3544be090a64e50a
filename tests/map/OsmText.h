// Small OSM XML documents, one element per line as the scanner expects, and
// a one-line summary of what the reader made of them.
#pragma once

#include "map/OsmReader.h"

#include <initializer_list>
#include <string>
#include <vector>

namespace osmtext {

inline std::string node(int id, double lat, double lon)
{
    return "  <node id=\"" + std::to_string(id) + "\" lat=\"" + std::to_string(lat) + "\" lon=\"" + std::to_string(lon)
           + "\"/>\n";
}

inline std::string tag(const std::string& k, const std::string& v)
{
    return "    <tag k=\"" + k + "\" v=\"" + v + "\"/>\n";
}

inline std::string way(int id, std::initializer_list<int> refs, const std::string& tags = "")
{
    std::string text = "  <way id=\"" + std::to_string(id) + "\">\n";
    for (int ref : refs)
        text += "    <nd ref=\"" + std::to_string(ref) + "\"/>\n";
    return text + tags + "  </way>\n";
}

inline std::string member(int ref, const std::string& role, const std::string& type = "way")
{
    return "    <member type=\"" + type + "\" ref=\"" + std::to_string(ref) + "\" role=\"" + role + "\"/>\n";
}

inline std::string relation(const std::string& content)
{
    return "  <relation id=\"1\">\n" + content + "  </relation>\n";
}

// "Forest 9 closed [4 5]": category, points, closed, and the sizes of further rings; features separated by ", ".
inline std::string summary(const std::vector<pathlark::MapFeature>& features)
{
    static const char* const names[] = {"None", "Motorway", "Primary", "Secondary", "Minor", "Service",
                                        "Path", "Railway", "Waterway", "Water", "Boundary", "Forest",
                                        "Grass", "Residential", "Commercial", "Parking", "Building"};
    std::string text;
    for (const pathlark::MapFeature& f : features) {
        text += (text.empty() ? "" : ", ") + std::string(names[int(f.category)]) + " " + std::to_string(f.points.size())
                + (f.closed ? " closed" : "");
        for (std::size_t i = 0; i < f.rings.size(); ++i)
            text += (i ? " " : " [") + std::to_string(f.rings[i].size()) + (i + 1 == f.rings.size() ? "]" : "");
    }
    return text;
}

// What the reader makes of a whole document, or its error.
inline std::string readRaw(const std::string& text)
{
    try {
        return summary(pathlark::readOsmText(text));
    } catch (const std::exception& error) {
        return std::string("error: ") + error.what();
    }
}

// The same for a document whose lines are given without the <osm> wrapper.
inline std::string read(const std::string& body)
{
    return readRaw("<?xml version='1.0' encoding='UTF-8'?>\n<osm version=\"0.6\">\n" + body + "</osm>\n");
}

} // namespace osmtext
