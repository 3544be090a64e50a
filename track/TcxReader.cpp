#include "track/TcxReader.h"

#include "track/GpxReader.h"

#include <mxml.h>

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

void ignoreXmlError(const char*) { }

// TCX files nest about eight elements deep. Mini-XML keeps every open
// element, so a file of nothing but start tags would cost a hundred times
// its size in memory; the reading stops before the first one too deep.
constexpr int kMaxTcxNesting = 64;

// Where the element that nests deeper than kMaxTcxNesting starts, or the
// end of `text`. Comments, CDATA, declarations and quoted attribute values
// may hold anything and are skipped whole.
std::size_t nestingEnd(std::string_view text)
{
    auto skipPast = [&](std::size_t from, std::string_view terminator) {
        std::size_t found = text.find(terminator, from);
        return found == std::string_view::npos ? text.size() : found + terminator.size();
    };
    int depth = 0;
    std::size_t pos = 0;
    while ((pos = text.find('<', pos)) != std::string_view::npos) {
        std::string_view rest = text.substr(pos);
        if (rest.starts_with("<!--")) {
            pos = skipPast(pos + 4, "-->");
        } else if (rest.starts_with("<![CDATA[")) {
            pos = skipPast(pos + 9, "]]>");
        } else if (rest.starts_with("<?")) {
            pos = skipPast(pos + 2, "?>");
        } else if (rest.starts_with("<!")) {
            pos = skipPast(pos + 2, ">");
        } else if (rest.starts_with("</")) {
            --depth;
            pos = skipPast(pos + 2, ">");
        } else {
            std::size_t end = pos + 1;
            char quote = 0;
            for (; end < text.size(); ++end) {
                if (quote) {
                    if (text[end] == quote)
                        quote = 0;
                } else if (text[end] == '"' || text[end] == '\'') {
                    quote = text[end];
                } else if (text[end] == '>') {
                    break;
                }
            }
            if (end < text.size() && text[end - 1] != '/' && ++depth > kMaxTcxNesting)
                return pos;
            pos = end;
        }
    }
    return text.size();
}

// Element names without their namespace prefix: exports differ in prefixes.
std::string_view localName(const char* name)
{
    std::string_view text(name ? name : "");
    std::size_t colon = text.rfind(':');
    return colon == std::string_view::npos ? text : text.substr(colon + 1);
}

// Collects the document from Mini-XML's events, so that a file broken off
// keeps everything before the break.
class TcxBuilder {
public:
    void open(std::string_view name);
    void text(const char* data) { m_text += data; }
    void close();
    std::unique_ptr<Gpx> finish();

private:
    bool parentIs(std::string_view name) const
    {
        return m_open.size() >= 2 && m_open[m_open.size() - 2] == name;
    }
    void endTrack(std::unique_ptr<Track>& track, std::vector<std::unique_ptr<Track>>& group);

    struct PendingPoint {
        bool open { false };
        bool hasLat { false };
        bool hasLon { false };
        double lat { 0 };
        double lon { 0 };
        double ele { 0 };
        std::string time;
    };

    std::vector<std::string> m_open;
    std::string m_text;
    std::string m_creator;
    bool m_creatorSeen { false };
    std::unique_ptr<Track> m_activity;
    std::unique_ptr<Track> m_course;
    std::vector<std::unique_ptr<Track>> m_activities;
    std::vector<std::unique_ptr<Track>> m_courses;
    PendingPoint m_point;
};

void TcxBuilder::open(std::string_view name)
{
    m_open.emplace_back(name);
    m_text.clear();
    // Nested alike (which no exporter writes), the outer one is ended first.
    if (name == "Activity") {
        endTrack(m_activity, m_activities);
        m_activity = std::make_unique<Track>();
    } else if (name == "Course") {
        endTrack(m_course, m_courses);
        m_course = std::make_unique<Track>();
    } else if (name == "Trackpoint") {
        m_point = PendingPoint {};
        m_point.open = true;
    }
}

void TcxBuilder::close()
{
    if (m_open.empty())
        return;
    const std::string name = std::move(m_open.back());
    const std::string_view value = trimWhiteSpace(m_text);
    if (name == "Activity") {
        endTrack(m_activity, m_activities);
    } else if (name == "Course") {
        endTrack(m_course, m_courses);
    } else if (name == "Id" && parentIs("Activity") && m_activity) {
        m_activity->setName(value);
    } else if (name == "Name" && parentIs("Course") && m_course) {
        m_course->setName(value);
    } else if (name == "Name" && parentIs("Creator") && !m_creatorSeen) {
        m_creatorSeen = true;
        m_creator = value;
    } else if (m_point.open) {
        if (name == "Trackpoint") {
            Track* track = m_activity ? m_activity.get() : m_course.get();
            if (track && m_point.hasLat && m_point.hasLon) {
                WayPoint& point = track->appendWayPoint();
                point.setLat(m_point.lat);
                point.setLon(m_point.lon);
                point.setEle(m_point.ele);
                if (!m_point.time.empty()) {
                    point.setTime(readGpxTime(m_point.time));
                    point.setTimeString(m_point.time);
                }
            }
            m_point = PendingPoint {};
        } else if (name == "LatitudeDegrees" && parentIs("Position")) {
            m_point.lat = readGpxNumber(value);
            m_point.hasLat = true;
        } else if (name == "LongitudeDegrees" && parentIs("Position")) {
            m_point.lon = readGpxNumber(value);
            m_point.hasLon = true;
        } else if (name == "AltitudeMeters" && parentIs("Trackpoint")) {
            m_point.ele = readGpxNumber(value);
        } else if (name == "Time" && parentIs("Trackpoint")) {
            m_point.time = value;
        }
    }
    m_open.pop_back();
    m_text.clear();
}

void TcxBuilder::endTrack(std::unique_ptr<Track>& track, std::vector<std::unique_ptr<Track>>& group)
{
    // A track without a single position shows nothing; a file of only such
    // reads as one without tracks.
    if (track && track->getWayPointCount() > 0)
        group.push_back(std::move(track));
    track.reset();
}

std::unique_ptr<Gpx> TcxBuilder::finish()
{
    // What a broken-off file left open still counts, but not a half point.
    endTrack(m_activity, m_activities);
    endTrack(m_course, m_courses);
    if (m_activities.empty() && m_courses.empty())
        return nullptr;
    auto gpx = std::make_unique<Gpx>();
    gpx->setCreator(m_creator);
    gpx->setVersion("TCX");
    for (auto& track : m_activities)
        gpx->addTrack(std::move(track));
    for (auto& track : m_courses)
        gpx->addTrack(std::move(track));
    return gpx;
}

void onEvent(mxml_node_t* node, mxml_sax_event_t event, void* data)
{
    auto* builder = static_cast<TcxBuilder*>(data);
    switch (event) {
    case MXML_SAX_ELEMENT_OPEN:
        builder->open(localName(mxmlGetElement(node)));
        break;
    case MXML_SAX_ELEMENT_CLOSE:
        builder->close();
        break;
    case MXML_SAX_DATA:
        if (const char* text = mxmlGetOpaque(node))
            builder->text(text);
        break;
    case MXML_SAX_CDATA:
        // Mini-XML hands CDATA over as an element named "![CDATA[" and its text.
        if (const char* text = mxmlGetCDATA(node))
            builder->text(text);
        break;
    default:
        break;
    }
}

struct NodeDeleter {
    void operator()(mxml_node_t* node) const { mxmlDelete(node); }
};

} // namespace

ActivityRead readTcx(std::string_view text)
{
    ActivityRead result;
    // Mini-XML reads up to the first NUL; one inside the text is damage.
    std::string copy(text.substr(0, std::min(text.find('\0'), nestingEnd(text))));
    result.damaged = copy.size() != text.size();
    std::unique_ptr<mxml_node_t, NodeDeleter> top(mxmlNewElement(MXML_NO_PARENT, "pathlark-document"));
    if (!top)
        return result;
    TcxBuilder builder;
    mxmlSetErrorCallback(ignoreXmlError);
    if (!mxmlSAXLoadString(top.get(), copy.c_str(), MXML_OPAQUE_CALLBACK, onEvent, &builder))
        result.damaged = true;
    result.gpx = builder.finish();
    return result;
}

ActivityRead readTcxFile(const std::filesystem::path& path)
{
    std::optional<FileBytes> bytes = readWholeFile(path, kMaxActivityBytes);
    if (!bytes)
        return {};
    return readTcx(bytes->view());
}
