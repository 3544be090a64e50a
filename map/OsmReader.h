#pragma once
// Reads OSM XML as the OpenStreetMap API, Overpass servers, JOSM and osmium
// write it: one element per line. This is a line scanner that recognises
// elements by fixed substrings, not an XML parser; elements may come in any
// order because ways and relations are resolved after the whole file is read.
//
// [SECTION] Records and tables
// [SECTION] Attribute and number scanning
// [SECTION] Line scanner
// [SECTION] Building features
// [SECTION] Whole files

#include "map/FlatIdMap.h"
#include "map/MapFeature.h"

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace pathlark {

// [SECTION] Records and tables

struct OsmWayRecord {
    std::vector<std::int64_t> nodeIds; // in file order
    TagMap tags;
};

struct OsmMember {
    std::int64_t wayId = 0;
    std::string role;
};

struct OsmRelationRecord {
    std::vector<OsmMember> members; // ways only, in file order
    TagMap tags;
};

using OsmNodeTable = FlatIdMap<MapPoint>;

// Ways keyed by id; iterates in the order the ways were first stored, so the
// feature list does not depend on hashing.
class OsmWayTable {
public:
    // Keeps the first way stored under an id; returns false for a later one.
    bool insert(std::int64_t id, OsmWayRecord record);
    const OsmWayRecord* find(std::int64_t id) const;
    std::size_t size() const { return records.size(); }

    const std::vector<std::pair<std::int64_t, OsmWayRecord>>& entries() const { return records; }

private:
    std::vector<std::pair<std::int64_t, OsmWayRecord>> records;
    FlatIdMap<std::uint32_t> indexById;
};

// Everything one scan collected.
struct OsmData {
    OsmNodeTable nodes;
    OsmWayTable ways;
    std::vector<OsmRelationRecord> relations;
};

// [SECTION] Attribute and number scanning

// The raw value of the first `name=` in the line (also the tail of a longer
// name such as "uid="), quoted with ' or "; empty when absent, unquoted or
// unterminated. No references are decoded.
std::string_view readAttribute(std::string_view line, std::string_view name);

// A whole-string decimal number ("-12.5", "3e-7"): no plus sign, no white
// space, no hex, no inf or nan. Anything else throws std::invalid_argument
// with the text "Invalid XML number: " (translated) and the offending text.
double parseXmlNumber(std::string_view text);

// An OSM id with the C library's rule: leading white space skipped, optional
// sign, digits up to the first non-digit. No digit throws
// std::invalid_argument("stoll"), a value beyond 64 bits std::out_of_range("stoll").
std::int64_t parseOsmId(std::string_view text);

// [SECTION] Line scanner

class OsmScanner {
public:
    // Bytes of one line that are looked at; the rest of a longer line is
    // ignored, so a file without line breaks cannot make us buffer all of it.
    static constexpr std::size_t maxLineLength = 1 << 20;

    // One line without its line break. Each line contributes at most one element.
    void scanLine(std::string_view line);

    // Drops an open way or relation and hands over the tables. Throws
    // std::runtime_error when the input had neither an <osm> root nor a single
    // element: that is no map at all (binary garbage, a GPX file, an empty
    // file), and must not replace the map on screen with nothing.
    OsmData finish();

private:
    enum class State { TopLevel, InWay, InRelation };

    void readNode(std::string_view line);
    void beginWay(std::string_view line);
    void endWay();
    void beginRelation();
    void endRelation();
    void readTag(std::string_view line);

    OsmData data;
    State state = State::TopLevel;
    std::int64_t wayId = 0;
    std::vector<std::int64_t> nodeIds;
    std::vector<OsmMember> members;
    TagMap tags;
    bool sawRoot = false;
    bool sawElement = false;
};

// [SECTION] Building features

// Closed rings of node ids from the members with `role` (for "outer", also
// the members without a role), in the order they close. Missing ways and ways
// of fewer than two nodes are skipped; chains that never close are dropped.
// Linear in the members' nodes, so a lake of thousands of ways stays fast.
std::vector<std::vector<std::int64_t>> assembleRings(const OsmRelationRecord& relation,
                                                     const OsmWayTable& ways, std::string_view role);

// The positions of the ids found in the table, in order; unknown ids are left out.
std::vector<MapPoint> resolvePoints(const OsmNodeTable& nodes, const std::vector<std::int64_t>& nodeIds);

// Way features first (in way table order), then multipolygon areas (in file order).
std::vector<MapFeature> buildMapFeatures(const OsmData& data);

// [SECTION] Whole files

// Thrown when the file cannot be opened for reading; what() is the path.
class OsmOpenError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads and builds the complete feature list. Throws OsmOpenError, or another
// std::exception for content that cannot be used (bad number, bad id, no map
// at all, out of memory); nothing is half-built on failure.
std::vector<MapFeature> readOsmMap(const std::string& path);

// The same for text already in memory.
std::vector<MapFeature> readOsmText(std::string_view text);

} // namespace pathlark
