#include "map/OsmReader.h"

#include "i18n/Translate.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <limits>
#include <memory>
#include <unordered_set>

// [SECTION] Way table
// [SECTION] Attribute and number scanning
// [SECTION] Line scanner
// [SECTION] Ring assembly and features
// [SECTION] Whole files

namespace pathlark {

namespace {

bool contains(std::string_view line, std::string_view what)
{
    return line.find(what) != std::string_view::npos;
}

bool isSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Only these keys are ever consulted; dropping the rest (addresses, sources,
// opening hours...) before storing keeps the tag maps small.
bool isUsedTagKey(std::string_view key)
{
    static constexpr std::array<std::string_view, 15> used = {
        "highway", "railway", "waterway", "natural", "landuse", "building", "amenity", "leisure",
        "boundary", "name", "name:de", "bridge", "tunnel", "layer", "type",
    };
    return std::find(used.begin(), used.end(), key) != used.end();
}

} // namespace

// [SECTION] Way table

bool OsmWayTable::insert(std::int64_t id, OsmWayRecord record)
{
    if (records.size() >= std::numeric_limits<std::uint32_t>::max())
        throw std::length_error("too many ways");
    auto [index, inserted] = indexById.insert(id, static_cast<std::uint32_t>(records.size()));
    if (!inserted)
        return false;
    records.emplace_back(id, std::move(record));
    return true;
}

const OsmWayRecord* OsmWayTable::find(std::int64_t id) const
{
    const std::uint32_t* index = indexById.find(id);
    return index ? &records[*index].second : nullptr;
}

// [SECTION] Attribute and number scanning

std::string_view readAttribute(std::string_view line, std::string_view name)
{
    if (name.empty())
        return {};
    for (std::size_t at = line.find(name); at != std::string_view::npos; at = line.find(name, at + 1)) {
        std::size_t equals = at + name.size();
        if (equals >= line.size() || line[equals] != '=')
            continue;
        std::size_t open = equals + 1;
        if (open >= line.size() || (line[open] != '"' && line[open] != '\''))
            return {};
        std::size_t close = line.find(line[open], open + 1);
        if (close == std::string_view::npos)
            return {};
        return line.substr(open + 1, close - open - 1);
    }
    return {};
}

double parseXmlNumber(std::string_view text)
{
    // Validate the grammar first: from_chars alone would accept "inf" and "nan".
    std::size_t i = 0;
    if (i < text.size() && text[i] == '-')
        ++i;
    std::size_t mantissaDigits = 0;
    while (i < text.size() && isDigit(text[i]))
        ++i, ++mantissaDigits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && isDigit(text[i]))
            ++i, ++mantissaDigits;
    }
    bool valid = mantissaDigits > 0;
    if (valid && i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            ++i;
        std::size_t exponentDigits = 0;
        while (i < text.size() && isDigit(text[i]))
            ++i, ++exponentDigits;
        valid = exponentDigits > 0;
    }
    double value = 0.0;
    if (valid && i == text.size()) {
        // Overflow and underflow are refused too: no coordinate is 1e400.
        auto result = std::from_chars(text.data(), text.data() + text.size(), value);
        if (result.ec == std::errc() && result.ptr == text.data() + text.size())
            return value;
    }
    // The text goes to the status line; a hostile attribute may be huge.
    constexpr std::size_t shown = 64;
    std::string message = tr("Invalid XML number: ");
    if (text.size() <= shown) {
        message.append(text);
    } else {
        std::size_t cut = shown;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
            --cut; // not inside a UTF-8 sequence
        message.append(text.substr(0, cut)).append("...");
    }
    throw std::invalid_argument(message);
}

std::int64_t parseOsmId(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    if (i >= text.size() || !isDigit(text[i]))
        throw std::invalid_argument("stoll");
    // Accumulate towards the negative side, which holds one more value.
    constexpr std::int64_t minimum = std::numeric_limits<std::int64_t>::min();
    std::int64_t value = 0;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        int digit = text[i] - '0';
        if (value < (minimum + digit) / 10)
            throw std::out_of_range("stoll");
        value = value * 10 - digit;
    }
    if (negative)
        return value;
    if (value == minimum)
        throw std::out_of_range("stoll");
    return -value;
}

// [SECTION] Line scanner

void OsmScanner::scanLine(std::string_view line)
{
    if (!sawRoot) {
        std::size_t at = line.find("<osm");
        if (at != std::string_view::npos) {
            std::size_t after = at + 4;
            sawRoot = after == line.size() || isSpace(line[after]) || line[after] == '>' || line[after] == '/';
        }
    }

    // Only the first matching test acts: a line holds at most one element.
    switch (state) {
    case State::TopLevel:
        if (contains(line, "<node ")) {
            readNode(line);
        } else if (contains(line, "<way ")) {
            beginWay(line);
        } else if (contains(line, "<relation ")) {
            beginRelation();
        }
        break;
    case State::InWay:
        if (contains(line, "<way ")) {
            beginWay(line); // the open way had no end and is dropped
        } else if (contains(line, "<nd ")) {
            std::string_view ref = readAttribute(line, "ref");
            if (!ref.empty())
                nodeIds.push_back(parseOsmId(ref));
        } else if (contains(line, "<tag ")) {
            readTag(line);
        } else if (contains(line, "</way>")) {
            endWay();
        }
        break;
    case State::InRelation:
        if (contains(line, "<tag ")) {
            readTag(line);
        } else if (contains(line, "<relation ")) {
            beginRelation(); // the open relation had no end and is dropped
        } else if (contains(line, "<member ") && readAttribute(line, "type") == "way") {
            std::string_view ref = readAttribute(line, "ref");
            if (!ref.empty())
                members.push_back(OsmMember{parseOsmId(ref), std::string(readAttribute(line, "role"))});
        } else if (contains(line, "</relation>")) {
            endRelation();
        }
        break;
    }
}

void OsmScanner::readNode(std::string_view line)
{
    std::string_view id = readAttribute(line, "id");
    std::string_view lat = readAttribute(line, "lat");
    std::string_view lon = readAttribute(line, "lon");
    if (id.empty() || lat.empty() || lon.empty())
        return;
    std::int64_t nodeId = parseOsmId(id);
    MapPoint point{parseXmlNumber(lat), parseXmlNumber(lon)};
    data.nodes.assign(nodeId, point); // a later node with the same id wins
    sawElement = true;
}

void OsmScanner::beginWay(std::string_view line)
{
    nodeIds.clear();
    tags.clear();
    std::string_view id = readAttribute(line, "id");
    wayId = id.empty() ? 0 : parseOsmId(id);
    state = State::InWay;
    sawElement = true;
}

void OsmScanner::endWay()
{
    // Id 0 marks a way without a usable id; the first way with an id wins.
    if (wayId != 0 && !data.ways.find(wayId))
        data.ways.insert(wayId, OsmWayRecord{nodeIds, std::move(tags)});
    tags.clear();
    state = State::TopLevel;
}

void OsmScanner::beginRelation()
{
    members.clear();
    tags.clear();
    state = State::InRelation;
    sawElement = true;
}

void OsmScanner::endRelation()
{
    data.relations.push_back(OsmRelationRecord{members, std::move(tags)});
    tags.clear();
    state = State::TopLevel;
}

void OsmScanner::readTag(std::string_view line)
{
    std::string_view key = readAttribute(line, "k");
    if (key.empty() || !isUsedTagKey(key))
        return;
    std::string_view value = readAttribute(line, "v");
    auto it = tags.find(key);
    if (it != tags.end())
        it->second.assign(value);
    else
        tags.emplace(std::string(key), std::string(value));
}

OsmData OsmScanner::finish()
{
    if (!sawRoot && !sawElement)
        throw std::runtime_error(tr("no OSM data in the file"));
    state = State::TopLevel;
    nodeIds = {};
    members = {};
    tags = {};
    return std::move(data);
}

// [SECTION] Ring assembly and features

namespace {

// Remaining segments that end at one node id, by position in the segment list.
// Positions are taken in ascending order, and a taken segment never returns,
// so the lowest remaining one is found by moving a cursor forwards.
struct EndpointSegments {
    std::vector<std::uint32_t> positions;
    std::size_t cursor = 0;
};

} // namespace

std::vector<std::vector<std::int64_t>> assembleRings(const OsmRelationRecord& relation,
                                                     const OsmWayTable& ways, std::string_view role)
{
    std::vector<const std::vector<std::int64_t>*> segments;
    for (const OsmMember& member : relation.members) {
        bool qualifies = member.role == role || (role == "outer" && member.role.empty());
        if (!qualifies)
            continue;
        const OsmWayRecord* way = ways.find(member.wayId);
        if (way && way->nodeIds.size() >= 2)
            segments.push_back(&way->nodeIds);
    }

    // Matching a chain end against every remaining segment would be quadratic;
    // a lake of 5,000 member ways must not freeze the program.
    std::unordered_map<std::int64_t, EndpointSegments> byEndpoint;
    for (std::uint32_t i = 0; i < segments.size(); ++i) {
        std::int64_t first = segments[i]->front();
        std::int64_t last = segments[i]->back();
        byEndpoint[first].positions.push_back(i);
        if (last != first)
            byEndpoint[last].positions.push_back(i);
    }
    std::vector<bool> taken(segments.size(), false);
    auto lowestRemaining = [&](std::int64_t id) -> std::size_t {
        auto it = byEndpoint.find(id);
        if (it == byEndpoint.end())
            return segments.size();
        EndpointSegments& entry = it->second;
        while (entry.cursor < entry.positions.size() && taken[entry.positions[entry.cursor]])
            ++entry.cursor;
        return entry.cursor < entry.positions.size() ? entry.positions[entry.cursor] : segments.size();
    };

    std::vector<std::vector<std::int64_t>> rings;
    std::deque<std::int64_t> chain;
    std::size_t back = segments.size();
    while (true) {
        // Each chain starts from the last segment not yet used.
        while (back > 0 && taken[back - 1])
            --back;
        if (back == 0)
            break;
        taken[back - 1] = true;
        const std::vector<std::int64_t>& start = *segments[back - 1];
        chain.assign(start.begin(), start.end());

        bool closed = true;
        while (chain.front() != chain.back()) {
            std::size_t next = std::min(lowestRemaining(chain.back()), lowestRemaining(chain.front()));
            if (next == segments.size()) {
                closed = false;
                break;
            }
            taken[next] = true;
            const std::vector<std::int64_t>& s = *segments[next];
            if (s.front() == chain.back()) {
                chain.insert(chain.end(), s.begin() + 1, s.end());
            } else if (s.back() == chain.back()) {
                chain.insert(chain.end(), s.rbegin() + 1, s.rend());
            } else if (s.back() == chain.front()) {
                chain.insert(chain.begin(), s.begin(), s.end() - 1);
            } else {
                chain.insert(chain.begin(), s.rbegin(), s.rend() - 1);
            }
        }
        // First and last are the same id, so four ids make a triangle.
        if (closed && chain.size() >= 4)
            rings.emplace_back(chain.begin(), chain.end());
    }
    return rings;
}

std::vector<MapPoint> resolvePoints(const OsmNodeTable& nodes, const std::vector<std::int64_t>& nodeIds)
{
    std::vector<MapPoint> points;
    points.reserve(nodeIds.size());
    for (std::int64_t id : nodeIds) {
        if (const MapPoint* point = nodes.find(id))
            points.push_back(*point);
    }
    return points;
}

std::vector<MapFeature> buildMapFeatures(const OsmData& data)
{
    auto isAreaMultipolygon = [](const OsmRelationRecord& relation) {
        return hasTagValue(relation.tags, "type", "multipolygon") && isAreaCategory(classifyFeature(relation.tags));
    };

    // Ways that an area relation draws; on their own they would be painted twice.
    std::unordered_set<std::int64_t> areaMembers;
    for (const OsmRelationRecord& relation : data.relations) {
        if (!isAreaMultipolygon(relation))
            continue;
        for (const OsmMember& member : relation.members)
            areaMembers.insert(member.wayId);
    }

    std::vector<MapFeature> features;
    for (const auto& [id, way] : data.ways.entries()) {
        MapCategory category = classifyFeature(way.tags);
        if (category == MapCategory::None)
            continue;
        if (isAreaCategory(category) && areaMembers.count(id))
            continue;
        MapFeature feature;
        applyFeatureTags(feature, way.tags);
        feature.closed = way.nodeIds.size() > 2 && way.nodeIds.front() == way.nodeIds.back();
        feature.points = resolvePoints(data.nodes, way.nodeIds);
        if (feature.points.size() >= 2)
            features.push_back(std::move(feature));
    }

    for (const OsmRelationRecord& relation : data.relations) {
        if (!isAreaMultipolygon(relation))
            continue;
        std::vector<std::vector<std::int64_t>> outer = assembleRings(relation, data.ways, "outer");
        if (outer.empty())
            continue;
        MapFeature feature;
        applyFeatureTags(feature, relation.tags);
        feature.closed = true;
        feature.points = resolvePoints(data.nodes, outer.front());
        if (feature.points.size() < 4)
            continue;
        for (std::size_t i = 1; i < outer.size(); ++i)
            feature.rings.push_back(resolvePoints(data.nodes, outer[i]));
        for (const std::vector<std::int64_t>& inner : assembleRings(relation, data.ways, "inner"))
            feature.rings.push_back(resolvePoints(data.nodes, inner));
        features.push_back(std::move(feature));
    }
    return features;
}

// [SECTION] Whole files

namespace {

// Splits a byte stream into lines without copying the ones that lie inside a
// chunk; only a line crossing a chunk boundary is gathered in `partial`, and
// never beyond maxLineLength.
class LineSplitter {
public:
    explicit LineSplitter(OsmScanner& scanner) : scanner(scanner) {}

    void feed(const char* data, std::size_t size)
    {
        while (size > 0) {
            const char* newline = static_cast<const char*>(std::memchr(data, '\n', size));
            std::size_t length = newline ? static_cast<std::size_t>(newline - data) : size;
            if (newline && !pending) {
                scanner.scanLine(std::string_view(data, std::min(length, OsmScanner::maxLineLength)));
            } else {
                std::size_t room = OsmScanner::maxLineLength - partial.size();
                partial.append(data, std::min(length, room));
                pending = true;
                if (newline)
                    flush();
            }
            std::size_t consumed = newline ? length + 1 : length;
            data += consumed;
            size -= consumed;
        }
    }

    void flush()
    {
        if (!pending)
            return;
        scanner.scanLine(partial);
        partial.clear();
        pending = false;
    }

private:
    OsmScanner& scanner;
    std::string partial;
    bool pending = false;
};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

std::unique_ptr<std::FILE, FileCloser> openForReading(const std::string& path)
{
    std::error_code error;
    std::filesystem::path fsPath(std::u8string(path.begin(), path.end()));
    // fopen happily opens a directory on POSIX; reading it would fail later
    // with a less helpful message.
    if (std::filesystem::is_directory(fsPath, error))
        return nullptr;
#ifdef _WIN32
    return std::unique_ptr<std::FILE, FileCloser>(_wfopen(fsPath.c_str(), L"rb"));
#else
    return std::unique_ptr<std::FILE, FileCloser>(std::fopen(fsPath.c_str(), "rb"));
#endif
}

} // namespace

std::vector<MapFeature> readOsmMap(const std::string& path)
{
    auto file = openForReading(path);
    if (!file)
        throw OsmOpenError(path);

    OsmScanner scanner;
    LineSplitter lines(scanner);
    std::vector<char> buffer(1 << 20);
    while (std::size_t got = std::fread(buffer.data(), 1, buffer.size(), file.get()))
        lines.feed(buffer.data(), got);
    if (std::ferror(file.get()))
        throw std::runtime_error(std::strerror(errno));
    lines.flush();
    file.reset();
    buffer = {};

    OsmData data = scanner.finish();
    return buildMapFeatures(data);
}

std::vector<MapFeature> readOsmText(std::string_view text)
{
    OsmScanner scanner;
    LineSplitter lines(scanner);
    lines.feed(text.data(), text.size());
    lines.flush();
    OsmData data = scanner.finish();
    return buildMapFeatures(data);
}

} // namespace pathlark
