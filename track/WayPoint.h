#pragma once
// One point of a track, route or stand-alone waypoint, as read from a GPX file.

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <utility>

class WayPoint {
public:
    WayPoint() = default;
    virtual ~WayPoint() = default;

    // Points placed by Track::appendWayPoint are destroyed here but not
    // freed: their memory belongs to the track's blocks.
    void operator delete(WayPoint* point, std::destroying_delete_t)
    {
        bool inBlock = point->m_inBlock;
        void* memory = dynamic_cast<void*>(point);
        point->~WayPoint();
        if (!inBlock)
            ::operator delete(memory);
    }

    // Decimal degrees, north and east positive, exactly as written in the file.
    // Both are 0 when the file did not give both.
    void setLat(double lat) { m_lat = lat; }
    double getLat() const { return m_lat; }
    void setLon(double lon) { m_lon = lon; }
    double getLon() const { return m_lon; }

    // Metres; 0 when the point has no elevation.
    void setEle(double ele) { m_ele = ele; }
    double getEle() const { return m_ele; }

    // Seconds since 1970-01-01 00:00 UTC, truncated to 32 bits. 0 for a point
    // without time, -1 when the time text could not be read. Only differences
    // within one track mean anything.
    void setTime(std::int32_t time) { m_time = time; }
    std::int32_t getTime() const { return m_time; }

    // The time exactly as written, for display. Times as devices write them
    // are kept in the point itself, longer texts apart.
    void setTimeString(std::string_view text)
    {
        if (text.size() <= sizeof m_timeChars) {
            std::memcpy(m_timeChars, text.data(), text.size());
            m_timeLength = static_cast<std::uint8_t>(text.size());
        } else {
            details().timeText = text;
            m_timeLength = kLongTime;
        }
    }
    std::string_view getTimeString() const
    {
        return m_timeLength == kLongTime ? std::string_view(m_details->timeText)
                                         : std::string_view(m_timeChars, m_timeLength);
    }

    // Name, comment and description are only read for stand-alone waypoints
    // and kept untrimmed. They live apart, so that track points, which come
    // in hundreds of thousands, carry no room for them.
    void setName(std::string name) { details().name = std::move(name); }
    const std::string& getName() const { return m_details ? m_details->name : kNone; }
    void setCmt(std::string cmt) { details().cmt = std::move(cmt); }
    const std::string& getCmt() const { return m_details ? m_details->cmt : kNone; }
    void setDesc(std::string desc) { details().desc = std::move(desc); }
    const std::string& getDesc() const { return m_details ? m_details->desc : kNone; }

private:
    friend class Track;

    struct Details {
        std::string name;
        std::string cmt;
        std::string desc;
        std::string timeText;
    };
    Details& details()
    {
        if (!m_details)
            m_details = std::make_unique<Details>();
        return *m_details;
    }
    static inline const std::string kNone;
    static constexpr std::uint8_t kLongTime = 0xFF;

    double m_lat { 0 };
    double m_lon { 0 };
    double m_ele { 0 };
    std::int32_t m_time { 0 };
    std::uint8_t m_timeLength { 0 };
    bool m_inBlock { false };
    char m_timeChars[26];
    std::unique_ptr<Details> m_details;
};
