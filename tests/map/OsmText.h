// Builders for small OSM XML documents, one element per line as the scanner
// expects.
#pragma once

#include "map/OsmReader.h"

#include <initializer_list>
#include <string>
#include <vector>

namespace osmtext {

inline std::string node(int id, double lat, double lon)
{
    return "  <node id=\"" + std::to_string(id) + "\" lat=\"" + std::to_string(lat) + "\" lon=\""
        + std::to_string(lon) + "\"/>\n";
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

inline std::string member(const std::string& type, int ref, const std::string& role)
{
    return "    <member type=\"" + type + "\" ref=\"" + std::to_string(ref) + "\" role=\"" + role + "\"/>\n";
}

inline std::string relation(const std::string& content)
{
    return "  <relation id=\"1\">\n" + content + "  </relation>\n";
}

// The features of a document whose lines are given without the <osm> wrapper.
inline std::vector<pathlark::MapFeature> read(const std::string& body)
{
    return pathlark::readOsmText("<?xml version='1.0' encoding='UTF-8'?>\n<osm version=\"0.6\">\n" + body
                                 + "</osm>\n");
}

} // namespace osmtext
