// libFuzzer target: the direct GPX reader against the repairing one. Any
// input the direct reader accepts must give the same document through Tidy
// and Mini-XML, and the same again when streamed in small chunks.
// An input starting with '#' is not read as it is but spells a well-formed
// document, built from the names, values and texts where Tidy has its
// quirks; raw bytes rarely stay well-formed under mutation.

#include "tests/support/GpxText.h"
#include "track/GpxReader.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <utility>
#include <string_view>

namespace {

class Choices {
public:
    Choices(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    unsigned next() { return m_size > 0 ? (--m_size, *m_data++) : 0; }
    bool empty() const { return m_size == 0; }
    template <std::size_t N> std::string_view pick(const std::array<std::string_view, N>& from)
    {
        return from[next() % N];
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
};

constexpr std::array<std::string_view, 21> kNames = {
    "trk", "trkseg", "trkpt", "rte", "rtept", "wpt", "name", "number", "ele", "time", "cmt",
    "desc", "bounds", "extensions", "gpx", "pre", "gpxtpx:hr", "Name", "br", "script", "listing",
};
constexpr std::array<std::string_view, 13> kAttributes = {
    "lat", "lon", "minlat", "maxlon", "creator", "version", "xml:space",
    "xmlns", "a", "Xml:Space", "Version", "href", "LAT",
};
constexpr std::array<std::string_view, 14> kValues = {
    "1", "-2.5", " 3", "4e1", "&amp;x", "&#233;", "+1", "", "nan", "a &quot;b&quot;", "1&#10;", "&#32;7", "a>b", "]]>",
};
constexpr std::array<std::string_view, 21> kTexts = {
    "A", "  Evening \n ride  ", "2023-08-19T13:18:46Z", "12", " 12 ", "450.5", "&amp;", "&#233;", "&#10;", "&#32;",
    "&lt;b&gt;", "\t", "\r\n", "\xc2\xa0", "]]", "a&#x1F600;", "&#128;", "x  y", "&nbsp;", "-0", "a\r\rb",
};

// What usually comes below an element, so that generated documents mostly
// look like GPX.
std::string_view usualChild(std::string_view parent, Choices& in)
{
    static constexpr std::array<std::pair<std::string_view, std::array<std::string_view, 3>>, 6> kUsual { {
        { "gpx", { "trk", "rte", "wpt" } },
        { "trk", { "name", "trkseg", "number" } },
        { "trkseg", { "trkpt", "trkpt", "extensions" } },
        { "trkpt", { "ele", "time", "extensions" } },
        { "rte", { "name", "rtept", "rtept" } },
        { "wpt", { "name", "cmt", "desc" } },
    } };
    for (const auto& [name, children] : kUsual)
        if (name == parent)
            return in.pick(children);
    return in.pick(kNames);
}

void element(Choices& in, std::string& out, int depth, std::string_view parent = {})
{
    std::string_view name = depth == 0 ? "gpx" : in.next() % 4 ? usualChild(parent, in) : in.pick(kNames);
    out += "<" + std::string(name);
    for (unsigned count = in.next() % 3; count > 0; --count) {
        char quote = in.next() % 2 ? '"' : '\'';
        out += " " + std::string(in.pick(kAttributes)) + (in.next() % 4 ? "=" : "\n = ") + quote
            + std::string(in.pick(kValues)) + quote;
    }
    if (in.next() % 4 == 0) {
        out += "/>";
        return;
    }
    out += ">";
    for (unsigned count = in.next() % 5; count > 0 && !in.empty(); --count) {
        switch (in.next() % 6) {
        case 0:
        case 1:
            if (depth < 6)
                element(in, out, depth + 1, name);
            break;
        case 2:
            out += in.pick(kTexts);
            break;
        case 3:
            out += in.next() % 2 ? "\n  " : " ";
            break;
        case 4:
            out += "<!-- " + std::string(in.pick(kTexts)) + " -->";
            break;
        default:
            out += "<![CDATA[" + std::string(in.pick(kTexts)) + "]]>";
            break;
        }
    }
    out += "</" + std::string(name) + ">";
}

std::string document(Choices& in)
{
    std::string out;
    unsigned prolog = in.next();
    if (prolog & 1)
        out += "\xEF\xBB\xBF";
    if (prolog & 2)
        out += prolog & 4 ? "<?xml version='1.0' encoding='utf-8'?>\n" : "<?xml version=\"1.0\"?>";
    element(in, out, 0);
    return out;
}

void expectSame(const char* what, const Gpx* direct, const Gpx* other, std::string_view text)
{
    std::string expected = gpxText(other);
    std::string actual = gpxText(direct);
    if (actual == expected)
        return;
    std::fprintf(stderr, "direct reader differs from %s on\n%.*s\n--- direct:\n%s--- %s:\n%s", what,
                 static_cast<int>(text.size()), text.data(), actual.c_str(), what, expected.c_str());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string generated;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    if (size > 0 && data[0] == '#') {
        Choices choices(data + 1, size - 1);
        generated = document(choices);
        text = generated;
    }
    std::unique_ptr<Gpx> direct = readGpxDirect(text);
    std::istringstream stream { std::string(text) };
    std::unique_ptr<Gpx> streamed = readGpxDirect(stream, 1 + size % 13);
    expectSame("itself streamed", direct.get(), streamed.get(), text);
    if (!direct)
        return 0;
    std::unique_ptr<Gpx> repairing;
    try {
        repairing = readGpxRepairing(text);
    } catch (const GpxLimitError&) {
        // Left null, which differs from any document the direct reader made.
    }
    expectSame("the repairing reader", direct.get(), repairing.get(), text);
    return 0;
}
