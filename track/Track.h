#pragma once
// One GPX track, route or stand-alone waypoint: a name, a number and the
// points of all its segments in file order (segments are not kept).

#include "track/WayPoint.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class Track {
public:
    Track() = default;
    virtual ~Track() = default;
    Track(const Track&) = delete;
    Track& operator=(const Track&) = delete;

    // Stored without leading and trailing white space; blanks alone give "".
    void setName(std::string_view name);
    const std::string& getName() const { return m_name; }

    // Takes the trimmed text as a base-10 integer; anything but a whole
    // integer within 32 bits (empty, "12a", "x", "2147483648") gives 0.
    void setNumber(std::string_view text);
    void setNumber(std::int32_t number) { m_number = number; }
    std::int32_t getNumber() const { return m_number; }

    void addWayPoint(std::unique_ptr<WayPoint> point);
    // Takes ownership of a point allocated with new.
    void addWayPoint(WayPoint* point) { addWayPoint(std::unique_ptr<WayPoint>(point)); }
    // Appends a default point placed in blocks of memory the track keeps
    // for its points, which spares a long track a heap allocation for each.
    WayPoint& appendWayPoint();

    // Null for any index outside 0 .. count-1, negative ones included.
    const WayPoint* getWayPoint(int index) const;
    WayPoint* getWayPoint(int index);
    int getWayPointCount() const { return static_cast<int>(m_points.size()); }

private:
    std::string m_name;
    std::int32_t m_number { 0 };
    struct BlockDeleter {
        void operator()(unsigned char* block) const;
    };
    // Declared before the points, which may live in them.
    std::vector<std::unique_ptr<unsigned char[], BlockDeleter>> m_blocks;
    std::size_t m_blockSize { 0 }; // in points
    std::size_t m_blockUsed { 0 };
    std::vector<std::unique_ptr<WayPoint>> m_points;
};

// The white space of the C locale's isspace: blank, \t, \n, \v, \f, \r.
std::string_view trimWhiteSpace(std::string_view text);
