// [SECTION] Characters: UTF-8, references, names
// [SECTION] Scanner: one pass over the markup
// [SECTION] Model: what each element adds to the document

// The direct reader builds, in one pass and without a tree, the document the
// repairing reader builds from Tidy's output. It takes only well-formed XML
// whose repaired form it knows for certain and declines everything else, so
// the repairing reader stays the one authority on what a file means:
// - Tidy collapses each run of blanks, tabs and line ends in a text to one
//   blank and drops them at both ends; whitespace-only text vanishes, and an
//   element left without content has no value at all (not an empty one).
// - CDATA sections keep their text, and Mini-XML joins the sections of an
//   element when nothing but white space lies between them.
// - Tidy starts every element that holds elements on a new line, so a value
//   search below an element sees all its descendants in document order:
//   a trk without a name of its own takes the first name anywhere below it.
// - Tidy preserves white space below xml:space and a few HTML names, turns
//   references to C1 controls into Windows-1252 letters, replaces
//   non-characters, drops U+FEFF and escapes unknown entities. Inputs that
//   meet any of these, or white space written as a reference, are declined.

#include "track/GpxReader.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Thrown inside the scanner when the input is not one the direct reader
// reads with certainty; caught at its entry.
struct Decline { };

[[noreturn]] void decline()
{
    throw Decline {};
}

bool isBlank(unsigned char c)
{
    return c == ' ' || c == '\n' || c == '\t' || c == '\r';
}

// -----------------------------------------------------------------------------
// [SECTION] Characters
// -----------------------------------------------------------------------------

// Code points that pass Tidy and Mini-XML unchanged, written raw or as a
// reference. Controls, C1 controls (a reference to one becomes a
// Windows-1252 letter), surrogates, U+FEFF (dropped) and the
// non-characters U+FFFE and U+FFFF (replaced) are not among them.
bool isPlainCodePoint(std::uint32_t c)
{
    if (c < 0xA0)
        return c >= 0x20 && c < 0x80;
    if (c >= 0xD800 && c <= 0xDFFF)
        return false;
    return c != 0xFEFF && c != 0xFFFE && c != 0xFFFF && c <= 0x10FFFF;
}

// Reads one multi-byte UTF-8 sequence at `pos` and returns the position
// after it; declines invalid, overlong and unwanted sequences.
const char* skipUtf8(const char* pos, const char* end)
{
    auto lead = static_cast<unsigned char>(*pos);
    int length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || lead > 0xF4 || end - pos < length)
        decline();
    std::uint32_t c = lead & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        auto next = static_cast<unsigned char>(pos[i]);
        if ((next & 0xC0) != 0x80)
            decline();
        c = (c << 6) | (next & 0x3F);
    }
    static constexpr std::uint32_t kSmallest[] = { 0, 0, 0x80, 0x800, 0x10000 };
    if (c < kSmallest[length] || !isPlainCodePoint(c))
        decline();
    return pos + length;
}

void appendUtf8(std::string& out, std::uint32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Reads the reference after an '&' at `pos` into `c`; returns the position
// after its ';'. Only the five XML entities and character references are
// taken; references to white space are declined, since Tidy treats them
// unlike written white space.
const char* readReference(const char* pos, const char* end, std::uint32_t& c)
{
    ++pos;
    auto length = static_cast<std::size_t>(std::min<std::ptrdiff_t>(end - pos, 12));
    const char* semicolon = static_cast<const char*>(std::memchr(pos, ';', length));
    if (!semicolon)
        decline();
    std::string_view name(pos, static_cast<std::size_t>(semicolon - pos));
    if (name == "amp")
        c = '&';
    else if (name == "lt")
        c = '<';
    else if (name == "gt")
        c = '>';
    else if (name == "quot")
        c = '"';
    else if (name == "apos")
        c = '\'';
    else if (name.size() >= 2 && name[0] == '#') {
        bool hex = name[1] == 'x';
        std::string_view digits = name.substr(hex ? 2 : 1);
        if (digits.empty() || digits.size() > 8)
            decline();
        c = 0;
        for (char d : digits) {
            std::uint32_t value;
            if (d >= '0' && d <= '9')
                value = static_cast<std::uint32_t>(d - '0');
            else if (hex && d >= 'a' && d <= 'f')
                value = static_cast<std::uint32_t>(d - 'a' + 10);
            else if (hex && d >= 'A' && d <= 'F')
                value = static_cast<std::uint32_t>(d - 'A' + 10);
            else
                decline();
            c = c * (hex ? 16 : 10) + value;
        }
        if (c == ' ' || !isPlainCodePoint(c))
            decline();
    } else {
        decline();
    }
    return semicolon + 1;
}

// Byte classes for the scanner's inner loops.
enum : std::uint8_t {
    kNameStart = 1,
    kNameChar = 2,
    kPlainText = 4,      // printable ASCII that text takes as it is
    kPlainAttribute = 8, // printable ASCII that attribute values take as it is
};

constexpr std::array<std::uint8_t, 256> kByteClass = [] {
    std::array<std::uint8_t, 256> table {};
    for (int c = 0x21; c < 0x80; ++c) {
        bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':';
        bool digit = (c >= '0' && c <= '9') || c == '-' || c == '.';
        table[c] = static_cast<std::uint8_t>((letter ? kNameStart | kNameChar : 0) | (digit ? kNameChar : 0) |
                                             (c != '<' && c != '&' && c != '>' ? kPlainText : 0) |
                                             (c != '<' && c != '&' && c != '"' && c != '\'' ? kPlainAttribute : 0));
    }
    table[' '] = kPlainAttribute;
    return table;
}();

bool is(unsigned char c, std::uint8_t byteClass)
{
    return (kByteClass[c] & byteClass) != 0;
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

// -----------------------------------------------------------------------------
// [SECTION] Scanner
// -----------------------------------------------------------------------------

// The elements the document is built from; all others only nest.
enum class Tag : std::uint8_t {
    Other,
    Trk,
    Trkseg,
    Trkpt,
    Rte,
    Rtept,
    Wpt,
    Bounds,
    // Elements whose text is a value.
    Name,
    Number,
    Ele,
    Time,
    Cmt,
    Desc,
};

constexpr std::string_view kTagNames[] = {
    {}, "trk", "trkseg", "trkpt", "rte", "rtept", "wpt", "bounds", "name", "number", "ele", "time", "cmt", "desc",
};

bool isValue(Tag tag)
{
    return tag >= Tag::Name;
}

Tag classify(std::string_view name)
{
    switch (name.size()) {
    case 3:
        if (name == "trk")
            return Tag::Trk;
        if (name == "rte")
            return Tag::Rte;
        if (name == "wpt")
            return Tag::Wpt;
        if (name == "ele")
            return Tag::Ele;
        if (name == "cmt")
            return Tag::Cmt;
        return Tag::Other;
    case 4:
        if (name == "name")
            return Tag::Name;
        if (name == "time")
            return Tag::Time;
        if (name == "desc")
            return Tag::Desc;
        return Tag::Other;
    case 5:
        return name == "trkpt" ? Tag::Trkpt : name == "rtept" ? Tag::Rtept : Tag::Other;
    case 6:
        if (name == "trkseg")
            return Tag::Trkseg;
        if (name == "bounds")
            return Tag::Bounds;
        if (name == "number")
            return Tag::Number;
        return Tag::Other;
    default:
        return Tag::Other;
    }
}

// Tidy keeps the white space inside these as written (some only in lower
// case, but any case is left to the repairing reader).
bool preservesWhiteSpace(std::string_view name)
{
    static constexpr std::string_view kPreserving[] = { "pre", "listing", "xmp", "plaintext", "xsl:text" };
    for (std::string_view preserving : kPreserving)
        if (equalsIgnoringCase(name, preserving))
            return true;
    return false;
}

struct Attribute {
    std::string_view name;
    std::string_view raw; // between the quotes
    bool hasReference;
};

struct OpenElement {
    std::size_t nameEnd; // in the reader's stack of names (which holds only Other ones)
    Tag tag;
    bool hasChildren { false }; // elements or comments
    bool hasText { false };     // anything but white space
    bool hasCData { false };
};

// The single-point track of a stand-alone waypoint, or a track or route,
// while its element is open. Value flags say which values were taken: only
// the first element of each name below counts, even when it has no value.
struct OpenTrack {
    Track* track { nullptr };
    std::size_t depth { 0 };
    bool name { false };
    bool number { false };
};

struct OpenPoint {
    WayPoint* point { nullptr };
    bool open { false }; // also when the point is not part of any track
    bool ele { false };
    bool time { false };
    bool name { false };
    bool cmt { false };
    bool desc { false };
};

class DirectReader {
public:
    // All of a text at once.
    explicit DirectReader(std::string_view text)
        : m_pos(text.data()), m_end(text.data() + text.size()), m_filled(m_end), m_atEnd(true)
    {
    }
    // A stream a chunk at a time.
    DirectReader(std::istream& input, std::size_t chunkBytes)
        : m_input(&input), m_buffer(std::max<std::size_t>(chunkBytes, 1), '\0')
    {
        m_pos = m_end = m_filled = m_buffer.data();
        refill();
    }

    std::unique_ptr<Gpx> read();

private:
    bool refill();
    void prolog();
    void xmlDeclaration();
    void outside();
    bool comment();
    bool cdata(OpenElement& parent);
    void text(OpenElement& parent);
    void startTag();
    void endTag();
    std::string_view name();
    void skipBlanks();
    bool startsWith(std::string_view prefix) const
    {
        return static_cast<std::size_t>(m_end - m_pos) >= prefix.size() &&
               std::memcmp(m_pos, prefix.data(), prefix.size()) == 0;
    }
    void close();

    // What each element adds to the document.
    void opened(const OpenElement& element);
    void closed(const OpenElement& element);
    void value(Tag tag, const std::string* text);
    const Attribute* attribute(std::string_view name) const;
    std::string_view attributeValue(const Attribute& attribute);
    void readPosition(WayPoint& point);

    // The scanner reads up to m_end, which is either the end of the input
    // or the last '<' read so far. Markup never holds a '<' after its first
    // byte, so everything before m_end but comments and CDATA sections is
    // complete there; those two ask for more with refill().
    const char* m_pos;
    const char* m_end;
    const char* m_filled;
    bool m_atEnd { false };
    std::istream* m_input { nullptr };
    std::string m_buffer;

    std::vector<OpenElement> m_open;
    std::string m_openNames; // the names of open Other elements, one after another
    std::vector<Attribute> m_attributes;
    std::string m_decoded;
    std::string m_value;
    bool m_pendingBlank { false };

    std::unique_ptr<Gpx> m_gpx;
    std::vector<std::unique_ptr<Track>> m_tracks;
    std::vector<std::unique_ptr<Track>> m_routes;
    std::vector<std::unique_ptr<Track>> m_wayPoints;
    bool m_boundsSeen { false };
    OpenTrack m_track;
    std::size_t m_segmentDepth { 0 };
    OpenPoint m_trackPoint;
    OpenTrack m_route;
    OpenPoint m_routePoint;
    OpenTrack m_wayPointTrack;
    OpenPoint m_wayPoint;
};

// Keeps the unread bytes and reads on until a '<' beyond the current end of
// the window has arrived, or the input ends. False when nothing more came.
bool DirectReader::refill()
{
    if (m_atEnd)
        return false;
    auto window = static_cast<std::size_t>(m_end - m_pos);
    auto filled = static_cast<std::size_t>(m_filled - m_pos);
    std::memmove(m_buffer.data(), m_pos, filled);
    while (true) {
        if (filled == m_buffer.size())
            m_buffer.resize(m_buffer.size() * 2);
        m_input->read(m_buffer.data() + filled, static_cast<std::streamsize>(m_buffer.size() - filled));
        filled += static_cast<std::size_t>(m_input->gcount());
        m_atEnd = !*m_input;
        m_pos = m_buffer.data();
        m_filled = m_pos + filled;
        if (m_atEnd) {
            m_end = m_filled;
            return filled > window;
        }
        const char* last = m_filled;
        while (last > m_pos + window + 1 && last[-1] != '<')
            --last;
        if (last > m_pos + window + 1) {
            m_end = last - 1;
            return true;
        }
    }
}

void DirectReader::skipBlanks()
{
    while (m_pos < m_end && isBlank(static_cast<unsigned char>(*m_pos)))
        ++m_pos;
}

std::string_view DirectReader::name()
{
    const char* start = m_pos;
    if (m_pos == m_end || !is(*m_pos, kNameStart))
        decline();
    ++m_pos;
    while (m_pos < m_end && is(*m_pos, kNameChar))
        ++m_pos;
    return std::string_view(start, static_cast<std::size_t>(m_pos - start));
}

void DirectReader::prolog()
{
    if (startsWith("\xEF\xBB\xBF"))
        m_pos += 3;
    if (m_pos == m_end)
        refill();
    if (startsWith("<?xml") && m_end - m_pos > 5 && isBlank(static_cast<unsigned char>(m_pos[5])))
        xmlDeclaration();
}

// The declaration: version, then optional encoding and standalone. A file
// declared in another encoding is declined, though Tidy reads every file as
// UTF-8: such files are seldom UTF-8, and the repairing reader knows best
// what becomes of their bytes.
void DirectReader::xmlDeclaration()
{
    m_pos += 5;
    static constexpr std::string_view kNames[] = { "version", "encoding", "standalone" };
    std::size_t next = 0;
    while (true) {
        bool blank = m_pos < m_end && isBlank(static_cast<unsigned char>(*m_pos));
        skipBlanks();
        if (startsWith("?>") && next > 0) {
            m_pos += 2;
            return;
        }
        if (!blank)
            decline();
        std::string_view key = name();
        std::size_t index = 0;
        while (index < std::size(kNames) && kNames[index] != key)
            ++index;
        if (index == std::size(kNames) || index < next || (next == 0 && index != 0))
            decline();
        next = index + 1;
        skipBlanks();
        if (m_pos == m_end || *m_pos != '=')
            decline();
        ++m_pos;
        skipBlanks();
        if (m_pos == m_end || (*m_pos != '"' && *m_pos != '\''))
            decline();
        std::string_view rest(m_pos + 1, static_cast<std::size_t>(m_end - m_pos - 1));
        std::size_t length = rest.find(*m_pos);
        if (length == std::string_view::npos)
            decline();
        std::string_view value = rest.substr(0, length);
        m_pos = value.data() + length + 1;
        if (key == "version" && value != "1.0")
            decline();
        if (key == "encoding" && !equalsIgnoringCase(value, "utf-8") && !equalsIgnoringCase(value, "us-ascii"))
            decline();
        if (key == "standalone" && value != "yes" && value != "no")
            decline();
    }
}

// White space and comments around the root element.
void DirectReader::outside()
{
    while (true) {
        skipBlanks();
        if (m_pos == m_end) {
            if (!refill())
                return;
        } else if (startsWith("<!--")) {
            if (!comment() && !refill())
                decline();
        } else {
            return;
        }
    }
}

// A comment from its "<!--". False, with nothing read, when its end has
// not arrived yet.
bool DirectReader::comment()
{
    const char* pos = m_pos + 4;
    while (true) {
        if (pos == m_end) {
            if (m_atEnd)
                decline();
            return false;
        }
        auto c = static_cast<unsigned char>(*pos);
        if (c == '-' && m_end - pos > 1 && pos[1] == '-') {
            if (m_end - pos < 3 || pos[2] != '>')
                decline();
            m_pos = pos + 3;
            return true;
        }
        if (c >= 0x80)
            pos = skipUtf8(pos, m_end);
        else if (c < 0x20 && !isBlank(c))
            decline();
        else
            ++pos;
    }
}

// A CDATA section from its "<![CDATA[", as comment().
bool DirectReader::cdata(OpenElement& parent)
{
    const char* pos = m_pos + 9;
    std::size_t length = std::string_view(pos, static_cast<std::size_t>(m_end - pos)).find("]]>");
    if (length == std::string_view::npos) {
        if (m_atEnd)
            decline();
        return false;
    }
    if (parent.hasText || parent.hasChildren)
        decline();
    parent.hasCData = true;
    bool collect = isValue(parent.tag);
    const char* end = pos + length;
    while (pos < end) {
        auto c = static_cast<unsigned char>(*pos);
        const char* start = pos;
        if (c >= 0x80) {
            pos = skipUtf8(pos, end);
        } else if (c < 0x20 && c != '\n' && c != '\r') {
            decline(); // controls, and tabs, which Tidy expands to the next tab stop of the line
        } else if (c == '\r') {
            // Line ends arrive as line feeds, CR LF as one; Tidy keeps the
            // second of two CRs as it is.
            ++pos;
            if (pos < end && *pos == '\r')
                decline();
            if (pos < end && *pos == '\n')
                ++pos;
            if (collect)
                m_value += '\n';
            continue;
        } else {
            ++pos;
        }
        if (collect)
            m_value.append(start, pos);
    }
    m_pos = end + 3;
    return true;
}

// Text up to the next markup. Inside a value element it is collected the
// way Tidy writes it: blank runs as one blank, none at either end.
void DirectReader::text(OpenElement& parent)
{
    const char* start = m_pos;
    bool collect = isValue(parent.tag);
    bool blank = true;
    while (m_pos < m_end) {
        auto c = static_cast<unsigned char>(*m_pos);
        if (c == '<')
            break;
        if (isBlank(c)) {
            ++m_pos;
            m_pendingBlank = !m_value.empty();
            continue;
        }
        blank = false;
        if (collect && m_pendingBlank) {
            m_value += ' ';
            m_pendingBlank = false;
        }
        const char* from = m_pos;
        if (is(c, kPlainText)) {
            while (++m_pos < m_end && is(*m_pos, kPlainText)) { }
        } else if (c == '&') {
            std::uint32_t decoded = 0;
            m_pos = readReference(m_pos, m_end, decoded);
            if (collect)
                appendUtf8(m_value, decoded);
            continue;
        } else if (c >= 0x80) {
            m_pos = skipUtf8(m_pos, m_end);
        } else if (c == '>' && !(m_pos - start >= 2 && m_pos[-1] == ']' && m_pos[-2] == ']')) {
            ++m_pos;
        } else {
            decline(); // controls, and "]]>" outside CDATA
        }
        if (collect)
            m_value.append(from, m_pos);
    }
    if (!blank) {
        // Text beside elements or CDATA is mixed content, which Tidy lays
        // out differently.
        if (parent.hasChildren || parent.hasCData)
            decline();
        parent.hasText = true;
    }
}

void DirectReader::startTag()
{
    ++m_pos;
    std::string_view elementName = name();
    OpenElement element { 0, classify(elementName) };
    if (element.tag == Tag::Other && preservesWhiteSpace(elementName))
        decline();
    m_attributes.clear();
    bool selfClosing = false;
    while (true) {
        bool blank = m_pos < m_end && isBlank(static_cast<unsigned char>(*m_pos));
        skipBlanks();
        if (m_pos == m_end)
            decline();
        if (*m_pos == '>') {
            ++m_pos;
            break;
        }
        if (*m_pos == '/') {
            if (m_end - m_pos < 2 || m_pos[1] != '>')
                decline();
            m_pos += 2;
            selfClosing = true;
            break;
        }
        if (!blank)
            decline();
        Attribute attribute { name(), {}, false };
        if (equalsIgnoringCase(attribute.name, "xml:space"))
            decline(); // in any case, as Tidy reads it
        // Of HTML attributes spelt alike but for case, such as version and
        // Version, Tidy keeps only the last.
        for (const Attribute& other : m_attributes)
            if (equalsIgnoringCase(other.name, attribute.name))
                decline();
        skipBlanks();
        if (m_pos == m_end || *m_pos != '=')
            decline();
        ++m_pos;
        skipBlanks();
        if (m_pos == m_end || (*m_pos != '"' && *m_pos != '\''))
            decline();
        char quote = *m_pos++;
        const char* start = m_pos;
        while (true) {
            while (m_pos < m_end && is(*m_pos, kPlainAttribute))
                ++m_pos;
            if (m_pos == m_end)
                decline();
            auto c = static_cast<unsigned char>(*m_pos);
            if (c == static_cast<unsigned char>(quote))
                break;
            if (c == '&') {
                std::uint32_t decoded = 0;
                m_pos = readReference(m_pos, m_end, decoded);
                attribute.hasReference = true;
            } else if (c >= 0x80) {
                m_pos = skipUtf8(m_pos, m_end);
            } else if (c < 0x20 || c == '<') {
                // Tidy re-indents line ends and tabs in attribute values.
                decline();
            } else {
                ++m_pos;
            }
        }
        attribute.raw = std::string_view(start, static_cast<std::size_t>(m_pos - start));
        ++m_pos;
        m_attributes.push_back(attribute);
    }

    if (!m_open.empty()) {
        OpenElement& parent = m_open.back();
        if (parent.hasText || parent.hasCData || isValue(parent.tag))
            decline();
        parent.hasChildren = true;
    } else if (elementName != "gpx") {
        decline();
    }
    if (isValue(element.tag)) {
        m_value.clear();
        m_pendingBlank = false;
    }
    if (m_open.size() == kMaxGpxNesting)
        decline(); // the repairing reader reports it
    if (element.tag == Tag::Other)
        m_openNames += elementName;
    element.nameEnd = m_openNames.size();
    m_open.push_back(element);
    opened(element);
    if (selfClosing)
        close();
}

void DirectReader::close()
{
    closed(m_open.back());
    m_open.pop_back();
    m_openNames.resize(m_open.empty() ? 0 : m_open.back().nameEnd);
}

void DirectReader::endTag()
{
    m_pos += 2;
    std::string_view closing = name();
    skipBlanks();
    const OpenElement& element = m_open.back();
    std::size_t nameStart = m_open.size() > 1 ? m_open[m_open.size() - 2].nameEnd : 0;
    std::string_view expected = element.tag == Tag::Other ? std::string_view(m_openNames).substr(nameStart)
                                                          : kTagNames[static_cast<int>(element.tag)];
    if (m_pos == m_end || *m_pos != '>' || expected != closing)
        decline();
    ++m_pos;
    close();
}

std::unique_ptr<Gpx> DirectReader::read()
{
    m_gpx = std::make_unique<Gpx>();
    prolog();
    outside();
    if (!startsWith("<"))
        decline();
    startTag();
    while (!m_open.empty()) {
        OpenElement& parent = m_open.back();
        text(parent);
        if (m_pos == m_end) {
            if (!refill())
                decline();
        } else if (startsWith("</")) {
            endTag();
        } else if (startsWith("<!--")) {
            if (parent.hasText || parent.hasCData || isValue(parent.tag))
                decline();
            parent.hasChildren = true;
            if (!comment() && !refill())
                decline();
        } else if (startsWith("<![CDATA[")) {
            if (!cdata(parent) && !refill())
                decline();
        } else if (startsWith("<!") || startsWith("<?")) {
            decline();
        } else {
            startTag();
        }
    }
    outside();
    if (m_pos != m_end || !m_atEnd)
        decline();

    for (auto* group : { &m_tracks, &m_routes, &m_wayPoints })
        for (auto& track : *group)
            m_gpx->addTrack(std::move(track));
    return std::move(m_gpx);
}

// -----------------------------------------------------------------------------
// [SECTION] Model
// -----------------------------------------------------------------------------

const Attribute* DirectReader::attribute(std::string_view name) const
{
    for (const Attribute& attribute : m_attributes)
        if (attribute.name == name)
            return &attribute;
    return nullptr;
}

std::string_view DirectReader::attributeValue(const Attribute& attribute)
{
    if (!attribute.hasReference)
        return attribute.raw;
    m_decoded.clear();
    const char* pos = attribute.raw.data();
    const char* end = pos + attribute.raw.size();
    while (pos < end) {
        if (*pos == '&') {
            std::uint32_t decoded = 0;
            pos = readReference(pos, end, decoded);
            appendUtf8(m_decoded, decoded);
        } else {
            m_decoded += *pos++;
        }
    }
    return m_decoded;
}

void DirectReader::readPosition(WayPoint& point)
{
    const Attribute* lat = attribute("lat");
    const Attribute* lon = attribute("lon");
    if (lat && lon) {
        point.setLat(readGpxNumber(attributeValue(*lat)));
        point.setLon(readGpxNumber(attributeValue(*lon)));
    }
}

void DirectReader::opened(const OpenElement& element)
{
    std::size_t depth = m_open.size();
    auto openTrack = [&](OpenTrack& open, std::vector<std::unique_ptr<Track>>& group) {
        // Nested alike, an element would be searched twice over.
        if (open.track)
            decline();
        group.push_back(std::make_unique<Track>());
        open = OpenTrack { group.back().get(), depth };
    };
    auto openPoint = [&](OpenPoint& open, Track* track) {
        if (open.open)
            decline();
        open = OpenPoint {};
        open.open = true;
        if (track) {
            open.point = &track->appendWayPoint();
            readPosition(*open.point);
        }
    };

    switch (element.tag) {
    case Tag::Trk:
        openTrack(m_track, m_tracks);
        break;
    case Tag::Trkseg:
        if (m_segmentDepth != 0)
            decline();
        m_segmentDepth = depth;
        break;
    case Tag::Trkpt:
        // A point belongs to a track through a segment inside that track.
        openPoint(m_trackPoint, m_track.track && m_segmentDepth > m_track.depth ? m_track.track : nullptr);
        break;
    case Tag::Rte:
        openTrack(m_route, m_routes);
        break;
    case Tag::Rtept:
        openPoint(m_routePoint, m_route.track);
        break;
    case Tag::Wpt:
        openTrack(m_wayPointTrack, m_wayPoints);
        openPoint(m_wayPoint, m_wayPointTrack.track);
        break;
    case Tag::Bounds:
        if (!m_boundsSeen) {
            m_boundsSeen = true;
            if (const Attribute* value = attribute("minlat"))
                m_gpx->setMinLat(readGpxNumber(attributeValue(*value)));
            if (const Attribute* value = attribute("minlon"))
                m_gpx->setMinLon(readGpxNumber(attributeValue(*value)));
            if (const Attribute* value = attribute("maxlat"))
                m_gpx->setMaxLat(readGpxNumber(attributeValue(*value)));
            if (const Attribute* value = attribute("maxlon"))
                m_gpx->setMaxLon(readGpxNumber(attributeValue(*value)));
        }
        break;
    default:
        if (depth == 1) {
            if (const Attribute* creator = attribute("creator"))
                m_gpx->setCreator(std::string(attributeValue(*creator)));
            if (const Attribute* version = attribute("version"))
                m_gpx->setVersion(std::string(attributeValue(*version)));
        }
        break;
    }
}

void DirectReader::closed(const OpenElement& element)
{
    switch (element.tag) {
    case Tag::Trk:
        m_track = {};
        break;
    case Tag::Trkseg:
        m_segmentDepth = 0;
        break;
    case Tag::Trkpt:
        m_trackPoint = {};
        break;
    case Tag::Rte:
        m_route = {};
        break;
    case Tag::Rtept:
        m_routePoint = {};
        break;
    case Tag::Wpt:
        m_wayPointTrack.track->setName("WP: " + m_wayPoint.point->getName());
        m_wayPointTrack = {};
        m_wayPoint = {};
        break;
    default:
        if (isValue(element.tag))
            value(element.tag, element.hasCData || !m_value.empty() ? &m_value : nullptr);
        break;
    }
}

// Hands the value of a just closed element to each open element that still
// waits for one of that name. `text` is null for an element without value,
// which still counts as the first of its name.
void DirectReader::value(Tag tag, const std::string* text)
{
    auto take = [](bool& taken) {
        bool first = !taken;
        taken = true;
        return first;
    };
    switch (tag) {
    case Tag::Name:
        for (OpenTrack* open : { &m_track, &m_route })
            if (open->track && take(open->name) && text)
                open->track->setName(*text);
        if (m_wayPoint.open && take(m_wayPoint.name) && text)
            m_wayPoint.point->setName(*text);
        break;
    case Tag::Number:
        for (OpenTrack* open : { &m_track, &m_route })
            if (open->track && take(open->number) && text)
                open->track->setNumber(std::string_view(*text));
        break;
    case Tag::Ele:
        for (OpenPoint* open : { &m_trackPoint, &m_routePoint })
            if (open->point && take(open->ele) && text)
                open->point->setEle(readGpxNumber(*text));
        break;
    case Tag::Time:
        if (m_trackPoint.point && take(m_trackPoint.time) && text) {
            m_trackPoint.point->setTime(readGpxTime(*text));
            m_trackPoint.point->setTimeString(*text);
        }
        break;
    case Tag::Cmt:
        if (m_wayPoint.open && take(m_wayPoint.cmt) && text)
            m_wayPoint.point->setCmt(*text);
        break;
    case Tag::Desc:
        if (m_wayPoint.open && take(m_wayPoint.desc) && text)
            m_wayPoint.point->setDesc(*text);
        break;
    default:
        break;
    }
}

} // namespace

std::unique_ptr<Gpx> readGpxDirect(std::string_view text)
{
    try {
        return DirectReader(text).read();
    } catch (const Decline&) {
        return nullptr;
    }
}

std::unique_ptr<Gpx> readGpxDirect(std::istream& input, std::size_t chunkBytes)
{
    try {
        return DirectReader(input, chunkBytes).read();
    } catch (const Decline&) {
        return nullptr;
    }
}
