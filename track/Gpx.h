#pragma once
// One loaded GPX document: creator and version of the file, its bounds
// element, and its tracks, then routes, then stand-alone waypoints, each as a
// Track. Nothing changes a document once the reader has returned it.

#include "track/Track.h"

#include <memory>
#include <string>
#include <utility>
#include <string_view>
#include <vector>

class Gpx {
public:
    Gpx() = default;
    virtual ~Gpx() = default;
    Gpx(const Gpx&) = delete;
    Gpx& operator=(const Gpx&) = delete;

    // As written in the gpx element's attributes; empty when absent.
    void setCreator(std::string creator) { m_creator = std::move(creator); }
    const std::string& getCreator() const { return m_creator; }
    void setVersion(std::string version) { m_version = std::move(version); }
    const std::string& getVersion() const { return m_version; }

    // Decimal degrees from the bounds element, 0 when absent. Stored only:
    // views compute their extents from the points.
    void setMinLat(double value) { m_minLat = value; }
    double getMinLat() const { return m_minLat; }
    void setMinLon(double value) { m_minLon = value; }
    double getMinLon() const { return m_minLon; }
    void setMaxLat(double value) { m_maxLat = value; }
    double getMaxLat() const { return m_maxLat; }
    void setMaxLon(double value) { m_maxLon = value; }
    double getMaxLon() const { return m_maxLon; }

    void addTrack(std::unique_ptr<Track> track);
    // Takes ownership of a track allocated with new.
    void addTrack(Track* track) { addTrack(std::unique_ptr<Track>(track)); }

    // Null for any index outside 0 .. count-1, negative ones included.
    const Track* getTrack(int index) const;
    Track* getTrack(int index);
    int getTrackCount() const { return static_cast<int>(m_tracks.size()); }

    // The first track whose name equals `name` byte for byte, or null.
    const Track* findTrack(std::string_view name) const;

private:
    std::string m_creator;
    std::string m_version;
    double m_minLat { 0 };
    double m_minLon { 0 };
    double m_maxLat { 0 };
    double m_maxLon { 0 };
    std::vector<std::unique_ptr<Track>> m_tracks;
};
