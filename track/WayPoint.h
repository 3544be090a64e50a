#pragma once
// One point of a track, route or stand-alone waypoint, as read from a GPX file.

#include <cstdint>
#include <string>
#include <utility>

class WayPoint {
public:
    WayPoint() = default;
    virtual ~WayPoint() = default;

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

    // The time exactly as written, for display.
    void setTimeString(std::string text) { m_timeText = std::move(text); }
    const std::string& getTimeString() const { return m_timeText; }

    // Name, comment and description are only read for stand-alone waypoints
    // and kept untrimmed.
    void setName(std::string name) { m_name = std::move(name); }
    const std::string& getName() const { return m_name; }
    void setCmt(std::string cmt) { m_cmt = std::move(cmt); }
    const std::string& getCmt() const { return m_cmt; }
    void setDesc(std::string desc) { m_desc = std::move(desc); }
    const std::string& getDesc() const { return m_desc; }

private:
    double m_lat { 0 };
    double m_lon { 0 };
    double m_ele { 0 };
    std::int32_t m_time { 0 };
    std::string m_timeText;
    std::string m_name;
    std::string m_cmt;
    std::string m_desc;
};
