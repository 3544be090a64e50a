// [SECTION] Bytes: checksum and numbers in either byte order
// [SECTION] Messages: definitions, data and compressed timestamps
// [SECTION] Chain: one FIT file after the other

#include "track/FitReader.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

// -----------------------------------------------------------------------------
// [SECTION] Bytes
// -----------------------------------------------------------------------------

// CRC-16 with the reflected polynomial 0xA001, as FIT files carry it, eight
// bytes a step (slicing by eight): the checksum runs over the whole file and
// would otherwise cost as much as reading it.
std::uint16_t crc16(const unsigned char* data, std::size_t size)
{
    using Tables = std::array<std::array<std::uint16_t, 256>, 8>;
    static const Tables tables = [] {
        Tables values {};
        for (unsigned i = 0; i < 256; ++i) {
            unsigned crc = i;
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
            values[0][i] = static_cast<std::uint16_t>(crc);
        }
        for (unsigned i = 0; i < 256; ++i)
            for (std::size_t k = 1; k < 8; ++k)
                values[k][i] = static_cast<std::uint16_t>((values[k - 1][i] >> 8) ^ values[0][values[k - 1][i] & 0xFF]);
        return values;
    }();
    unsigned crc = 0;
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        const unsigned char* b = data + i;
        crc = tables[7][(crc ^ b[0]) & 0xFF] ^ tables[6][((crc >> 8) ^ b[1]) & 0xFF] ^ tables[5][b[2]] ^
              tables[4][b[3]] ^ tables[3][b[4]] ^ tables[2][b[5]] ^ tables[1][b[6]] ^ tables[0][b[7]];
    }
    for (; i < size; ++i)
        crc = (crc >> 8) ^ tables[0][(crc ^ data[i]) & 0xFF];
    return static_cast<std::uint16_t>(crc);
}

std::uint32_t readUnsigned(const unsigned char* at, int size, bool bigEndian)
{
    std::uint32_t value = 0;
    for (int i = 0; i < size; ++i)
        value |= std::uint32_t { at[bigEndian ? size - 1 - i : i] } << (8 * i);
    return value;
}

// Names of the manufacturers most activities come from; the numbers are
// those of the FIT profile, where some makers have an old and a new one.
std::string manufacturerName(std::uint32_t number)
{
    switch (number) {
    case 1:
        return "Garmin";
    case 23:
        return "Suunto";
    case 32:
        return "Wahoo";
    case 112:
    case 267:
        return "Bryton";
    case 123:
        return "Polar";
    case 129:
    case 294:
        return "Coros";
    case 144:
    case 260:
        return "Zwift";
    case 255:
        return "Development";
    case 265:
        return "Strava";
    case 289:
        return "Hammerhead";
    default:
        return "manufacturer " + std::to_string(number);
    }
}

// -----------------------------------------------------------------------------
// [SECTION] Messages
// -----------------------------------------------------------------------------

constexpr std::int64_t kFitEpoch = 631065600; // 1989-12-31 00:00:00 UTC in Unix seconds
constexpr std::uint16_t kFileIdMessage = 0;
constexpr std::uint16_t kRecordMessage = 20;
constexpr int kNoField = -1;

// Where the fields this reader wants lie in a data message; kNoField when
// the definition lacks them or declares them with a size they cannot have.
struct Layout {
    int latitude { kNoField };
    int longitude { kNoField };
    int altitude { kNoField };
    int enhancedAltitude { kNoField };
    int timestamp { kNoField };
    int manufacturer { kNoField };
};

struct Definition {
    bool defined { false };
    bool bigEndian { false };
    std::uint16_t global { 0 };
    std::size_t size { 0 }; // of a data message, developer fields included
    Layout layout;
};

// One FIT file of the chain, read into one track.
class FitFile {
public:
    FitFile(const unsigned char* begin, const unsigned char* end)
        : m_pos(begin)
        , m_end(end)
    {
    }

    // Reads messages up to the end; false when one is cut off or not a
    // message at all.
    bool read();

    std::unique_ptr<Track> track { std::make_unique<Track>() };
    std::int64_t firstTime { -1 };
    std::uint32_t manufacturer { 0xFFFF };

private:
    bool definition(int local, bool developer);
    bool data(const Definition& definition, std::int64_t compressedTime);
    void addPoint(const unsigned char* message, const Definition& definition, std::int64_t time);

    const unsigned char* m_pos;
    const unsigned char* m_end;
    std::array<Definition, 16> m_definitions {};
    UtcTimeText m_timeText;
    // Seconds since the FIT epoch of the last timestamp seen, which the
    // compressed headers count on from; -1 before the first.
    std::int64_t m_lastTime { -1 };
};

bool FitFile::read()
{
    while (m_pos < m_end) {
        const unsigned header = *m_pos++;
        if (header & 0x80) {
            // Compressed timestamp: five bits of seconds after the last full
            // timestamp, rolling over every 32 seconds.
            const Definition& definition = m_definitions[(header >> 5) & 0x03];
            std::int64_t time = -1;
            if (m_lastTime >= 0) {
                const std::int64_t offset = header & 0x1F;
                time = (m_lastTime & ~std::int64_t { 0x1F }) + offset;
                if (offset < (m_lastTime & 0x1F))
                    time += 0x20;
                m_lastTime = time;
            }
            if (!data(definition, time))
                return false;
        } else if (header & 0x40) {
            if (!definition(header & 0x0F, header & 0x20))
                return false;
        } else if (!data(m_definitions[header & 0x0F], -1)) {
            return false;
        }
    }
    return true;
}

bool FitFile::definition(int local, bool developer)
{
    if (m_end - m_pos < 5)
        return false;
    Definition next;
    next.defined = true;
    next.bigEndian = m_pos[1] == 1;
    if (m_pos[1] > 1)
        return false;
    next.global = static_cast<std::uint16_t>(readUnsigned(m_pos + 2, 2, next.bigEndian));
    const int fieldCount = m_pos[4];
    m_pos += 5;
    if (m_end - m_pos < 3 * fieldCount)
        return false;
    for (int i = 0; i < fieldCount; ++i, m_pos += 3) {
        const unsigned number = m_pos[0];
        const unsigned size = m_pos[1];
        // Only fields of their proper size are read, whatever base type the
        // file claims for them; others are skipped like unknown ones.
        const int offset = static_cast<int>(next.size);
        Layout& layout = next.layout;
        if (next.global == kRecordMessage) {
            if (number == 0 && size == 4)
                layout.latitude = offset;
            else if (number == 1 && size == 4)
                layout.longitude = offset;
            else if (number == 2 && size == 2)
                layout.altitude = offset;
            else if (number == 78 && size == 4)
                layout.enhancedAltitude = offset;
        } else if (next.global == kFileIdMessage && number == 1 && size == 2) {
            layout.manufacturer = offset;
        }
        if (number == 253 && size == 4)
            layout.timestamp = offset;
        next.size += size;
    }
    if (developer) {
        if (m_pos == m_end)
            return false;
        const int developerCount = *m_pos++;
        if (m_end - m_pos < 3 * developerCount)
            return false;
        for (int i = 0; i < developerCount; ++i, m_pos += 3)
            next.size += m_pos[1];
    }
    m_definitions[static_cast<std::size_t>(local)] = next;
    return true;
}

bool FitFile::data(const Definition& definition, std::int64_t compressedTime)
{
    if (!definition.defined || static_cast<std::size_t>(m_end - m_pos) < definition.size)
        return false;
    const unsigned char* message = m_pos;
    m_pos += definition.size;
    const Layout& layout = definition.layout;
    std::int64_t time = compressedTime;
    if (layout.timestamp != kNoField) {
        const std::uint32_t value = readUnsigned(message + layout.timestamp, 4, definition.bigEndian);
        if (value != 0xFFFFFFFF)
            m_lastTime = time = value;
    }
    if (definition.global == kRecordMessage)
        addPoint(message, definition, time);
    else if (layout.manufacturer != kNoField && manufacturer == 0xFFFF)
        manufacturer = readUnsigned(message + layout.manufacturer, 2, definition.bigEndian);
    return true;
}

void FitFile::addPoint(const unsigned char* message, const Definition& definition, std::int64_t time)
{
    const Layout& layout = definition.layout;
    if (layout.latitude == kNoField || layout.longitude == kNoField)
        return;
    const std::uint32_t latitude = readUnsigned(message + layout.latitude, 4, definition.bigEndian);
    const std::uint32_t longitude = readUnsigned(message + layout.longitude, 4, definition.bigEndian);
    if (latitude == 0x7FFFFFFF || longitude == 0x7FFFFFFF)
        return;
    // Semicircles: 2^31 of them make 180 degrees.
    constexpr double kDegreesPerSemicircle = 180.0 / 2147483648.0;
    WayPoint& point = track->appendWayPoint();
    point.setLat(static_cast<std::int32_t>(latitude) * kDegreesPerSemicircle);
    point.setLon(static_cast<std::int32_t>(longitude) * kDegreesPerSemicircle);
    // Both altitudes are fifths of a metre above 500 m below sea level.
    std::uint32_t altitude = 0xFFFFFFFF;
    if (layout.enhancedAltitude != kNoField)
        altitude = readUnsigned(message + layout.enhancedAltitude, 4, definition.bigEndian);
    if (altitude == 0xFFFFFFFF && layout.altitude != kNoField) {
        altitude = readUnsigned(message + layout.altitude, 2, definition.bigEndian);
        if (altitude == 0xFFFF)
            altitude = 0xFFFFFFFF;
    }
    if (altitude != 0xFFFFFFFF)
        point.setEle(altitude / 5.0 - 500.0);
    if (time >= 0) {
        const std::int64_t unixTime = time + kFitEpoch;
        // Kept like GPX times: UTC seconds truncated to 32 bits.
        point.setTime(static_cast<std::int32_t>(static_cast<std::uint32_t>(unixTime)));
        point.setTimeString(m_timeText(unixTime));
        if (firstTime < 0)
            firstTime = unixTime;
    }
}

// -----------------------------------------------------------------------------
// [SECTION] Chain
// -----------------------------------------------------------------------------

struct FileHeader {
    std::size_t size { 0 };
    std::uint32_t dataSize { 0 };
    int protocol { 0 };
    bool headerCrcWrong { false };
};

// The header at the start of `bytes`, or nothing when these are no FIT file.
std::optional<FileHeader> readHeader(std::string_view bytes)
{
    const auto* at = reinterpret_cast<const unsigned char*>(bytes.data());
    if (bytes.size() < 12 || at[0] < 12 || at[0] > bytes.size() || bytes.substr(8, 4) != ".FIT")
        return std::nullopt;
    FileHeader header;
    header.size = at[0];
    header.protocol = at[1];
    header.dataSize = readUnsigned(at + 4, 4, false);
    // A header CRC of 0 means the writer left it out.
    if (header.size >= 14) {
        const std::uint16_t stored = static_cast<std::uint16_t>(readUnsigned(at + 12, 2, false));
        header.headerCrcWrong = stored != 0 && stored != crc16(at, 12);
    }
    return header;
}

} // namespace

ActivityRead readFit(std::string_view bytes)
{
    ActivityRead result;
    auto gpx = std::make_unique<Gpx>();
    bool first = true;
    while (!bytes.empty()) {
        std::optional<FileHeader> header = readHeader(bytes);
        if (!header) {
            // Anything after the last file, or instead of the first, is damage.
            result.damaged = true;
            break;
        }
        const auto* begin = reinterpret_cast<const unsigned char*>(bytes.data());
        const std::size_t available = bytes.size() - header->size;
        // A file cut off is read as far as it goes; its CRC is lost with the end.
        const std::size_t dataSize = std::min<std::size_t>(header->dataSize, available);
        const bool complete = available - dataSize >= 2;
        FitFile file(begin + header->size, begin + header->size + dataSize);
        bool intact = file.read() && complete && !header->headerCrcWrong;
        if (complete) {
            const std::size_t end = header->size + dataSize;
            const auto stored = static_cast<std::uint16_t>(readUnsigned(begin + end, 2, false));
            intact = intact && stored == crc16(begin, end);
        }
        if (first) {
            if (file.manufacturer != 0xFFFF)
                gpx->setCreator(manufacturerName(file.manufacturer));
            gpx->setVersion("FIT " + std::to_string(header->protocol >> 4) + "." + std::to_string(header->protocol & 0x0F));
            first = false;
        }
        if (file.track->getWayPointCount() > 0) {
            std::string name = "Activity";
            if (file.firstTime >= 0) {
                // "2013-02-06T12:11:14Z" -> "2013-02-06 12:11"
                UtcTimeText timeText;
                const std::string_view time = timeText(file.firstTime);
                name += " ";
                name += time.substr(0, 10);
                name += " ";
                name += time.substr(11, 5);
            }
            file.track->setName(name);
            gpx->addTrack(std::move(file.track));
        }
        if (!intact) {
            result.damaged = true;
            break;
        }
        bytes.remove_prefix(header->size + dataSize + 2);
    }
    if (gpx->getTrackCount() > 0)
        result.gpx = std::move(gpx);
    return result;
}

ActivityRead readFitFile(const std::filesystem::path& path)
{
    std::optional<FileBytes> bytes = readWholeFile(path, kMaxActivityBytes);
    if (!bytes)
        return {};
    return readFit(bytes->view());
}
