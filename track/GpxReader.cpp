// [SECTION] Limits: the nesting scan run before Tidy sees the input
// [SECTION] Values: number and time rules
// [SECTION] Clean-up and parse: Tidy, then Mini-XML
// [SECTION] Traversal: from the element tree into the model

#include "track/GpxReader.h"

#include "i18n/Translate.h"
#include "track/Strptime.h"

#include <mxml.h>
#include <tidy/tidy.h>
#include <tidy/tidybuffio.h>

#include <charconv>
#include <clocale>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace {

// -----------------------------------------------------------------------------
// [SECTION] Limits
// -----------------------------------------------------------------------------

bool isNameChar(char c)
{
    return c != '>' && c != '/' && c != ' ' && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != '\v';
}

// Position just after `terminator` at or after `from`, or the end of `text`.
std::size_t skipPast(std::string_view text, std::size_t from, std::string_view terminator)
{
    std::size_t found = text.find(terminator, from);
    return found == std::string_view::npos ? text.size() : found + terminator.size();
}

// True when the elements of `text` nest deeper than `limit` the way Tidy's
// XML parser builds them: an end tag closes the innermost open element of
// that name and everything inside it, and an end tag matching nothing open is
// dropped. Unclosed elements therefore keep nesting, as they do in Tidy.
bool nestsDeeperThan(std::string_view text, int limit)
{
    std::vector<std::string_view> open;
    std::size_t pos = 0;
    while ((pos = text.find('<', pos)) != std::string_view::npos) {
        std::string_view rest = text.substr(pos);
        if (rest.starts_with("<!--")) {
            pos = skipPast(text, pos + 4, "-->");
        } else if (rest.starts_with("<![CDATA[")) {
            pos = skipPast(text, pos + 9, "]]>");
        } else if (rest.starts_with("<?")) {
            pos = skipPast(text, pos + 2, "?>");
        } else if (rest.starts_with("<!")) {
            pos = skipPast(text, pos + 2, ">");
        } else if (rest.starts_with("</")) {
            std::size_t end = pos + 2;
            while (end < text.size() && isNameChar(text[end]))
                ++end;
            std::string_view name = text.substr(pos + 2, end - pos - 2);
            for (std::size_t i = open.size(); i-- > 0;) {
                if (open[i] == name) {
                    open.resize(i);
                    break;
                }
            }
            pos = skipPast(text, end, ">");
        } else if (rest.size() > 1 && isNameChar(rest[1])) {
            std::size_t end = pos + 1;
            while (end < text.size() && isNameChar(text[end]))
                ++end;
            std::string_view name = text.substr(pos + 1, end - pos - 1);
            // Attribute values may hold '>' and "/>".
            char quote = 0;
            bool selfClosing = false;
            for (; end < text.size(); ++end) {
                char c = text[end];
                if (quote != 0) {
                    if (c == quote)
                        quote = 0;
                } else if (c == '"' || c == '\'') {
                    quote = c;
                } else if (c == '>') {
                    selfClosing = text[end - 1] == '/';
                    break;
                }
            }
            pos = end;
            if (!selfClosing) {
                open.push_back(name);
                if (static_cast<int>(open.size()) > limit)
                    return true;
            }
        } else {
            ++pos;
        }
    }
    return false;
}

void checkSize(std::uintmax_t size)
{
    if (size > kMaxGpxBytes)
        throw GpxLimitError(pathlark::tr("file is too large") + std::string(" (> ") +
                            std::to_string(kMaxGpxBytes >> 20) + " MiB)");
}

void checkLimits(std::string_view text)
{
    checkSize(text.size());
    if (nestsDeeperThan(text, kMaxGpxNesting))
        throw GpxLimitError(pathlark::tr("elements are nested too deeply") + std::string(" (> ") +
                            std::to_string(kMaxGpxNesting) + ")");
}

// -----------------------------------------------------------------------------
// [SECTION] Values
// -----------------------------------------------------------------------------

const char* readTwoDigits(const char* text, int& value)
{
    if (text[0] < '0' || text[0] > '9' || text[1] < '0' || text[1] > '9')
        return nullptr;
    value = (text[0] - '0') * 10 + (text[1] - '0');
    return text + 2;
}

// What follows the seconds: an optional fraction, then "Z" or an offset.
// Fractions come from Garmin Connect and Movescount on every point, offsets
// from phones; both are common enough that refusing them would leave whole
// tracks without speeds. Returns the zone's offset east of UTC in seconds.
std::optional<int> readZone(const char* text)
{
    if (*text == '.' || *text == ',') {
        const char* digits = ++text;
        while (*text >= '0' && *text <= '9')
            ++text;
        if (text == digits)
            return std::nullopt;
    }
    if (*text == 'Z')
        return 0;
    if (*text != '+' && *text != '-')
        return std::nullopt;
    int sign = *text == '-' ? -1 : 1;
    int hours = 0;
    int minutes = 0;
    if (!(text = readTwoDigits(text + 1, hours)) || hours > 23)
        return std::nullopt;
    if (*text == ':')
        ++text;
    if (readTwoDigits(text, minutes) && minutes > 59)
        return std::nullopt;
    return sign * (hours * 3600 + minutes * 60);
}

// "YYYY-MM-DDThh:mm:ss" with every field in range, read into the fields
// strptime would fill from it, without walking the pattern: the time of
// every track point passes here. Null for anything else.
const char* readUsualTime(const char* text, std::tm& tm)
{
    static constexpr std::string_view kShape = "dddd-dd-ddTdd:dd:dd";
    for (std::size_t i = 0; i < kShape.size(); ++i) {
        bool digit = text[i] >= '0' && text[i] <= '9';
        if (kShape[i] == 'd' ? !digit : text[i] != kShape[i])
            return nullptr;
    }
    auto twoDigits = [text](int at) { return (text[at] - '0') * 10 + (text[at + 1] - '0'); };
    int month = twoDigits(5);
    int day = twoDigits(8);
    int hour = twoDigits(11);
    int minute = twoDigits(14);
    int second = twoDigits(17);
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 61)
        return nullptr;
    tm.tm_year = twoDigits(0) * 100 + twoDigits(2) - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    return text + kShape.size();
}

// timegm for the fields strptime fills, without needing the platform to have
// timegm. Out-of-range days and seconds carry over as they do there.
std::int64_t utcSeconds(const std::tm& tm)
{
    // Days from 1970-01-01 to the first of the month (Howard Hinnant's
    // days_from_civil, in a year that starts in March).
    std::int64_t year = std::int64_t { tm.tm_year } + 1900;
    int month = tm.tm_mon + 1;
    year -= month <= 2;
    std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    std::int64_t yearOfEra = year - era * 400;
    std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5;
    std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    std::int64_t days = era * 146097 + dayOfEra - 719468 + (tm.tm_mday - 1);
    return days * 86400 + tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec;
}

} // namespace

double readGpxNumber(std::string_view text)
{
    double value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    (void)end;
    return error == std::errc() ? value : 0.0;
}

std::int32_t readGpxTime(std::string_view text)
{
    // strptime wants a terminated text; an embedded NUL simply ends the match.
    // Times of every track point pass here, so the usual ones are copied
    // without allocating.
    char buffer[64];
    std::string copy;
    const char* terminated = buffer;
    if (text.size() < sizeof buffer) {
        std::memcpy(buffer, text.data(), text.size());
        buffer[text.size()] = '\0';
    } else {
        copy = text;
        terminated = copy.c_str();
    }
    std::tm tm {};
    const char* rest = readUsualTime(terminated, tm);
    if (!rest)
        rest = pathlark::strptime(terminated, "%Y-%m-%dT%H:%M:%S", &tm);
    if (!rest)
        return -1;
    std::optional<int> offset = readZone(rest);
    if (!offset)
        return -1;
    // Truncation is modular since C++20; only differences within a track are
    // used, and those survive it.
    return static_cast<std::int32_t>(utcSeconds(tm) - *offset);
}

namespace {

// -----------------------------------------------------------------------------
// [SECTION] Clean-up and parse
// -----------------------------------------------------------------------------

// Every allocation Tidy makes for one document, so that what Tidy 5.6 loses
// is freed all the same: an XML declaration cut off at the end of the input
// ("<?xml version=") leaks the attribute being read, and a reader that runs
// on every file the user opens must not grow with each bad one.
class TidyArena {
public:
    TidyArena() { m_base.vtbl = &kFunctions; }
    ~TidyArena()
    {
        while (m_blocks)
            release(m_blocks);
    }
    TidyArena(const TidyArena&) = delete;
    TidyArena& operator=(const TidyArena&) = delete;

    TidyAllocator* allocator() { return &m_base; }

private:
    // Sits in front of each block; keeps the block maximally aligned.
    struct alignas(std::max_align_t) Header {
        Header* previous;
        Header* next;
    };

    static TidyArena& of(TidyAllocator* base)
    {
        // m_base is the first member of a standard-layout class.
        return *reinterpret_cast<TidyArena*>(base);
    }

    void link(Header* header)
    {
        header->previous = nullptr;
        header->next = m_blocks;
        if (m_blocks)
            m_blocks->previous = header;
        m_blocks = header;
    }

    void unlink(Header* header)
    {
        if (header->previous)
            header->previous->next = header->next;
        else
            m_blocks = header->next;
        if (header->next)
            header->next->previous = header->previous;
    }

    void release(Header* header)
    {
        unlink(header);
        std::free(header);
    }

    static void* TIDY_CALL allocate(TidyAllocator* base, std::size_t bytes)
    {
        auto* header = static_cast<Header*>(std::malloc(sizeof(Header) + bytes));
        if (!header)
            return nullptr; // Tidy calls panic
        of(base).link(header);
        return header + 1;
    }

    static void* TIDY_CALL reallocate(TidyAllocator* base, void* block, std::size_t bytes)
    {
        if (!block)
            return allocate(base, bytes);
        TidyArena& arena = of(base);
        Header* header = static_cast<Header*>(block) - 1;
        arena.unlink(header);
        auto* moved = static_cast<Header*>(std::realloc(header, sizeof(Header) + bytes));
        if (!moved) {
            arena.link(header);
            return nullptr;
        }
        arena.link(moved);
        return moved + 1;
    }

    static void TIDY_CALL deallocate(TidyAllocator* base, void* block)
    {
        if (block)
            of(base).release(static_cast<Header*>(block) - 1);
    }

    [[noreturn]] static void TIDY_CALL panic(TidyAllocator*, ctmbstr message)
    {
        // Only called when memory is exhausted; there is no way back into Tidy.
        std::fprintf(stderr, "Tidy: %s\n", message);
        std::abort();
    }

    static constexpr TidyAllocatorVtbl kFunctions { allocate, reallocate, deallocate, panic };

    TidyAllocator m_base;
    Header* m_blocks { nullptr };
};

struct TidyDocDeleter {
    void operator()(TidyDoc doc) const { tidyRelease(doc); }
};
using TidyDocument = std::unique_ptr<std::remove_pointer_t<TidyDoc>, TidyDocDeleter>;

struct TidyBufferOwner {
    TidyBuffer buffer;
    TidyBufferOwner() { tidyBufInit(&buffer); }
    ~TidyBufferOwner() { tidyBufFree(&buffer); }
    TidyBufferOwner(const TidyBufferOwner&) = delete;
    TidyBufferOwner& operator=(const TidyBufferOwner&) = delete;
};

// Repairs the markup into well-formed, indented XML. Empty when Tidy gives
// nothing back (it writes no output for input it finds hopeless).
// Tidy sets the process locale from the environment when it creates a
// document; the program's own choice (the message language) must survive it.
class LocaleGuard {
public:
    LocaleGuard()
    {
        if (const char* current = setlocale(LC_ALL, nullptr))
            saved = current;
    }
    ~LocaleGuard()
    {
        if (!saved.empty())
            setlocale(LC_ALL, saved.c_str());
    }
    LocaleGuard(const LocaleGuard&) = delete;
    LocaleGuard& operator=(const LocaleGuard&) = delete;

private:
    std::string saved;
};

std::string cleanUp(std::string_view text)
{
    // Released last, after the document.
    LocaleGuard locale;
    // Declared before the document, which uses them until it is released.
    TidyArena arena;
    TidyBufferOwner report;
    TidyDocument doc(tidyCreateWithAllocator(arena.allocator()));
    tidyOptSetBool(doc.get(), TidyXmlTags, yes);
    tidyOptSetBool(doc.get(), TidyMakeClean, yes);
    tidyOptSetInt(doc.get(), TidyIndentContent, TidyAutoState);
    tidyOptSetInt(doc.get(), TidyWrapLen, 0);
    // An auto-bool in Tidy 5.6: setting it with tidyOptSetBool asserts.
    tidyOptSetInt(doc.get(), TidyVertSpace, TidyNoState);
    tidyOptSetBool(doc.get(), TidyLiteralAttribs, yes);
    // Comments carry nothing we read, and Mini-XML takes an empty one
    // ("<!---->") for the start of a comment that never ends, losing the
    // rest of the document.
    tidyOptSetBool(doc.get(), TidyHideComments, yes);
    tidyOptSetBool(doc.get(), TidyQuiet, yes);
    tidyOptSetBool(doc.get(), TidyShowWarnings, no);
    tidyOptSetInt(doc.get(), TidyShowErrors, 0);
    tidySetCharEncoding(doc.get(), "utf8");
    tidySetReportFilter(doc.get(), nullptr);
    // Whatever Tidy would still report goes to a buffer and is dropped: a
    // reader has no business writing to the terminal.
    tidySetErrorBuffer(doc.get(), &report.buffer);

    TidyBuffer input;
    tidyBufInit(&input);
    // Tidy only reads an attached buffer; the cast is for its C interface.
    tidyBufAttach(&input, reinterpret_cast<byte*>(const_cast<char*>(text.data())),
                  static_cast<uint>(text.size()));
    tidyParseBuffer(doc.get(), &input);
    tidyBufDetach(&input);
    tidyCleanAndRepair(doc.get());

    TidyBufferOwner output;
    tidySaveBuffer(doc.get(), &output.buffer);
    if (output.buffer.bp == nullptr)
        return {};
    return std::string(reinterpret_cast<const char*>(output.buffer.bp), output.buffer.size);
}

struct MxmlDeleter {
    void operator()(mxml_node_t* node) const { mxmlDelete(node); }
};
using XmlTree = std::unique_ptr<mxml_node_t, MxmlDeleter>;

void ignoreXmlError(const char*) { }

// Parses under a top node of our own. Without one, Mini-XML makes the root
// element the top node when there is no XML declaration, and its searches
// never test the top node itself; and it rejects a comment before the root
// as a second root. Either way a valid file would read as empty. Every node
// Mini-XML creates hangs below this top, so deleting it frees everything,
// also after a failed parse.
std::optional<XmlTree> parseXml(const std::string& text)
{
    XmlTree top(mxmlNewElement(MXML_NO_PARENT, "pathlark-document"));
    if (!top)
        return std::nullopt;
    // Mini-XML prints errors to stderr unless told otherwise; the callback is
    // per thread, so setting it before each parse keeps every reader quiet.
    mxmlSetErrorCallback(ignoreXmlError);
    // The opaque callback keeps each leaf's whole text, white space included,
    // as one node.
    if (!mxmlLoadString(top.get(), text.c_str(), MXML_OPAQUE_CALLBACK))
        return std::nullopt;
    return top;
}

// -----------------------------------------------------------------------------
// [SECTION] Traversal
// -----------------------------------------------------------------------------

mxml_node_t* findBelow(mxml_node_t* start, mxml_node_t* top, const char* name)
{
    return mxmlFindElement(start, top, name, nullptr, nullptr, MXML_DESCEND);
}

// Calls `visit` for every element named `name` at any depth below `parent`,
// in document order.
template <typename Visit>
void forEachBelow(mxml_node_t* parent, const char* name, Visit&& visit)
{
    for (mxml_node_t* node = findBelow(parent, parent, name); node; node = findBelow(node, parent, name))
        visit(node);
}

bool isBlank(const char* text)
{
    return trimWhiteSpace(text).empty();
}

// The text of an element: its first child's text, or the text of its CDATA
// sections when nothing but white space surrounds them (Tidy moves a CDATA
// section onto a line of its own). Empty when there is no text child.
std::optional<std::string> elementText(mxml_node_t* element)
{
    mxml_node_t* first = mxmlGetFirstChild(element);
    if (!first)
        return std::nullopt;
    std::string sections;
    bool haveSection = false;
    for (mxml_node_t* child = first; child; child = mxmlGetNextSibling(child)) {
        if (const char* cdata = mxmlGetCDATA(child)) {
            sections += cdata;
            haveSection = true;
        } else if (mxmlGetType(child) != MXML_OPAQUE || !isBlank(mxmlGetOpaque(child))) {
            haveSection = false;
            break;
        }
    }
    if (haveSection)
        return sections;
    if (mxmlGetType(first) == MXML_OPAQUE)
        return std::string(mxmlGetOpaque(first));
    return std::nullopt;
}

// The value of the first element named `name` below `element`. The search
// starts at the first child node and never tests that node itself, only its
// descendants and what follows it; in Tidy's indented output that node is the
// white space before the first child element.
std::optional<std::string> childValue(mxml_node_t* element, const char* name)
{
    mxml_node_t* first = mxmlGetFirstChild(element);
    if (!first)
        return std::nullopt;
    mxml_node_t* match = findBelow(first, element, name);
    if (!match)
        return std::nullopt;
    return elementText(match);
}

enum class PointKind { TrackPoint, RoutePoint, WayPoint };

std::unique_ptr<WayPoint> readPoint(mxml_node_t* element, PointKind kind)
{
    auto point = std::make_unique<WayPoint>();
    const char* lat = mxmlElementGetAttr(element, "lat");
    const char* lon = mxmlElementGetAttr(element, "lon");
    if (lat && lon) {
        point->setLat(readGpxNumber(lat));
        point->setLon(readGpxNumber(lon));
    }
    if (kind == PointKind::WayPoint) {
        if (auto name = childValue(element, "name"))
            point->setName(std::move(*name));
        if (auto cmt = childValue(element, "cmt"))
            point->setCmt(std::move(*cmt));
        if (auto desc = childValue(element, "desc"))
            point->setDesc(std::move(*desc));
        return point;
    }
    if (auto ele = childValue(element, "ele"))
        point->setEle(readGpxNumber(*ele));
    if (kind == PointKind::TrackPoint) {
        if (auto time = childValue(element, "time")) {
            point->setTime(readGpxTime(*time));
            point->setTimeString(*time);
        }
    }
    return point;
}

std::unique_ptr<Track> readTrackHeader(mxml_node_t* element)
{
    auto track = std::make_unique<Track>();
    if (auto name = childValue(element, "name"))
        track->setName(*name);
    if (auto number = childValue(element, "number"))
        track->setNumber(*number);
    return track;
}

void readBounds(mxml_node_t* gpxElement, Gpx& gpx)
{
    mxml_node_t* bounds = findBelow(gpxElement, gpxElement, "bounds");
    if (!bounds)
        return;
    if (const char* value = mxmlElementGetAttr(bounds, "minlat"))
        gpx.setMinLat(readGpxNumber(value));
    if (const char* value = mxmlElementGetAttr(bounds, "minlon"))
        gpx.setMinLon(readGpxNumber(value));
    if (const char* value = mxmlElementGetAttr(bounds, "maxlat"))
        gpx.setMaxLat(readGpxNumber(value));
    if (const char* value = mxmlElementGetAttr(bounds, "maxlon"))
        gpx.setMaxLon(readGpxNumber(value));
}

std::unique_ptr<Gpx> readDocument(mxml_node_t* gpxElement)
{
    auto gpx = std::make_unique<Gpx>();
    if (const char* creator = mxmlElementGetAttr(gpxElement, "creator"))
        gpx->setCreator(creator);
    if (const char* version = mxmlElementGetAttr(gpxElement, "version"))
        gpx->setVersion(version);
    readBounds(gpxElement, *gpx);

    forEachBelow(gpxElement, "trk", [&](mxml_node_t* trk) {
        auto track = readTrackHeader(trk);
        forEachBelow(trk, "trkseg", [&](mxml_node_t* segment) {
            forEachBelow(segment, "trkpt", [&](mxml_node_t* point) {
                track->addWayPoint(readPoint(point, PointKind::TrackPoint));
            });
        });
        gpx->addTrack(std::move(track));
    });
    forEachBelow(gpxElement, "rte", [&](mxml_node_t* rte) {
        auto track = readTrackHeader(rte);
        forEachBelow(rte, "rtept", [&](mxml_node_t* point) {
            track->addWayPoint(readPoint(point, PointKind::RoutePoint));
        });
        gpx->addTrack(std::move(track));
    });
    forEachBelow(gpxElement, "wpt", [&](mxml_node_t* wpt) {
        auto point = readPoint(wpt, PointKind::WayPoint);
        auto track = std::make_unique<Track>();
        track->setName("WP: " + point->getName());
        track->addWayPoint(std::move(point));
        gpx->addTrack(std::move(track));
    });
    return gpx;
}

} // namespace

std::unique_ptr<Gpx> readGpxRepairing(std::string_view text)
{
    checkLimits(text);
    if (text.empty())
        return nullptr;
    std::string cleaned = cleanUp(text);
    std::optional<XmlTree> tree = parseXml(cleaned);
    if (!tree)
        return nullptr;
    mxml_node_t* top = tree->get();
    mxml_node_t* gpxElement = findBelow(top, top, "gpx");
    if (!gpxElement)
        return nullptr;
    return readDocument(gpxElement);
}

std::unique_ptr<Gpx> readGpxString(std::string_view text)
{
    checkSize(text.size());
    if (auto gpx = readGpxDirect(text))
        return gpx;
    return readGpxRepairing(text);
}

std::unique_ptr<Gpx> readGpxFile(const std::filesystem::path& path)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return nullptr;
    std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error)
        return nullptr;
    // Refused before reading, so a huge file costs no time or memory.
    checkSize(size);
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return nullptr;
    if (auto gpx = readGpxDirect(file))
        return gpx;
    file.clear();
    file.seekg(0);
    std::string text(static_cast<std::size_t>(size), '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    // The file may have shrunk since it was measured; use what was read.
    text.resize(static_cast<std::size_t>(file.gcount()));
    if (file.bad())
        return nullptr;
    return readGpxRepairing(text);
}
