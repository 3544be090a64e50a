#include "view/MapFeatureIndex.h"

#include "view/MapProjection.h"
#include "view/MapStyle.h"

#include <algorithm>
#include <cmath>

namespace pathlark {

namespace {

// A feature filed in more cells than this is tested on every query instead.
constexpr int kLargeCells = 64;
constexpr int kMaxGridSide = 128;

GeoBounds boundsOf(const MapFeature& feature)
{
    GeoBounds bounds;
    bounds.minLat = bounds.minLon = HUGE_VAL;
    bounds.maxLat = bounds.maxLon = -HUGE_VAL;
    // min and max skip a NaN silently, so every coordinate is checked for it.
    bool allFinite = true;
    auto take = [&](const std::vector<MapPoint>& points) {
        for (const MapPoint& p : points) {
            allFinite = allFinite && std::isfinite(p.latitude) && std::isfinite(p.longitude);
            bounds.minLat = std::min(bounds.minLat, p.latitude);
            bounds.maxLat = std::max(bounds.maxLat, p.latitude);
            bounds.minLon = std::min(bounds.minLon, p.longitude);
            bounds.maxLon = std::max(bounds.maxLon, p.longitude);
        }
    };
    take(feature.points);
    for (const std::vector<MapPoint>& ring : feature.rings)
        take(ring);
    bounds.finite = allFinite && std::isfinite(bounds.minLat) && std::isfinite(bounds.maxLon);
    return bounds;
}

MapPoint anchorOf(const MapFeature& feature)
{
    const std::vector<MapPoint>& points = feature.points;
    if (!feature.closed)
        return points[points.size() / 2];
    std::size_t n = points.size();
    const MapPoint& first = points.front();
    const MapPoint& last = points.back();
    if (first.latitude == last.latitude && first.longitude == last.longitude)
        --n; // the closing point would count the first one twice
    double lat = 0.0, lon = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        lat += points[i].latitude;
        lon += points[i].longitude;
    }
    return MapPoint{lat / double(n), lon / double(n)};
}

} // namespace

bool touches(const GeoBounds& bounds, const MapProjection& projection, const ScreenBox& box)
{
    // The ground projection is affine, so the corners' box holds the whole projected box.
    double minX = HUGE_VAL, maxX = -HUGE_VAL, minY = HUGE_VAL, maxY = -HUGE_VAL;
    for (double lat : {bounds.minLat, bounds.maxLat})
        for (double lon : {bounds.minLon, bounds.maxLon}) {
            ScreenPoint p = projection.projectGround(lat, lon, Pan::Applied);
            minX = std::min(minX, p.x);
            maxX = std::max(maxX, p.x);
            minY = std::min(minY, p.y);
            maxY = std::max(maxY, p.y);
        }
    return maxX >= box.left && minX <= box.right && maxY >= box.top && minY <= box.bottom;
}

void MapFeatureIndex::update(const std::vector<MapFeature>& features, std::uint64_t revision)
{
    if (m_built && m_data == features.data() && m_count == features.size() && m_revision == revision)
        return;
    std::vector<std::pair<DrawOrderKey, const MapFeature*>> keyed;
    keyed.reserve(features.size());
    for (const MapFeature& feature : features)
        keyed.emplace_back(drawOrderKey(feature), &feature);
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });

    m_order.clear();
    m_bounds.clear();
    m_labels.clear();
    m_order.reserve(keyed.size());
    m_bounds.reserve(keyed.size());
    m_extent = GeoBounds{HUGE_VAL, -HUGE_VAL, HUGE_VAL, -HUGE_VAL, false};
    for (const auto& [key, feature] : keyed) {
        GeoBounds bounds = boundsOf(*feature);
        if (bounds.finite) {
            m_extent.minLat = std::min(m_extent.minLat, bounds.minLat);
            m_extent.maxLat = std::max(m_extent.maxLat, bounds.maxLat);
            m_extent.minLon = std::min(m_extent.minLon, bounds.minLon);
            m_extent.maxLon = std::max(m_extent.maxLon, bounds.maxLon);
            m_extent.finite = true;
        }
        if (!feature->name.empty() && feature->points.size() >= 2 && categoryStyle(feature->category).labelMinZoom >= 0.0)
            m_labels.push_back(LabelSource{m_order.size(), anchorOf(*feature)});
        m_order.push_back(feature);
        m_bounds.push_back(bounds);
    }

    // About eight features a cell on average.
    int side = std::clamp(int(std::sqrt(double(m_order.size()) / 8.0)), 1, kMaxGridSide);
    m_columns = m_rows = m_extent.finite ? side : 0;
    m_cellStart.assign(std::size_t(m_columns) * std::size_t(m_rows) + 1, 0);
    m_cellEntries.clear();
    m_large.clear();
    double cellLat = (m_extent.maxLat - m_extent.minLat) / m_rows;
    double cellLon = (m_extent.maxLon - m_extent.minLon) / m_columns;
    auto cellRange = [&](double from, double to, double origin, double cell, int count) {
        if (!(cell > 0.0))
            return std::pair{0, 0};
        int first = std::clamp(int((from - origin) / cell), 0, count - 1);
        int last = std::clamp(int((to - origin) / cell), 0, count - 1);
        return std::pair{first, last};
    };
    // Two passes: count each cell's entries, then fill them in.
    for (int pass = 0; pass < 2 && m_extent.finite; ++pass) {
        std::vector<std::uint32_t> filled;
        if (pass == 1) {
            for (std::size_t i = 1; i < m_cellStart.size(); ++i)
                m_cellStart[i] += m_cellStart[i - 1];
            m_cellEntries.resize(m_cellStart.back());
            filled.assign(m_cellStart.begin(), m_cellStart.end() - 1);
        }
        for (std::size_t i = 0; i < m_bounds.size(); ++i) {
            const GeoBounds& b = m_bounds[i];
            if (!b.finite)
                continue;
            auto [row0, row1] = cellRange(b.minLat, b.maxLat, m_extent.minLat, cellLat, m_rows);
            auto [column0, column1] = cellRange(b.minLon, b.maxLon, m_extent.minLon, cellLon, m_columns);
            if ((row1 - row0 + 1) * (column1 - column0 + 1) > kLargeCells) {
                if (pass == 0)
                    m_large.push_back(std::uint32_t(i));
                continue;
            }
            for (int row = row0; row <= row1; ++row)
                for (int column = column0; column <= column1; ++column) {
                    std::size_t cell = std::size_t(row) * std::size_t(m_columns) + std::size_t(column);
                    if (pass == 0)
                        ++m_cellStart[cell + 1];
                    else
                        m_cellEntries[filled[cell]++] = std::uint32_t(i);
                }
        }
    }

    m_data = features.data();
    m_count = features.size();
    m_revision = revision;
    m_built = true;
}

std::vector<std::size_t> MapFeatureIndex::featuresTouching(const MapProjection& projection, const ScreenBox& box) const
{
    // 0 untested, 1 tested and off the box, 2 on it.
    std::vector<std::uint8_t> state(m_order.size(), 0);
    auto test = [&](std::uint32_t i) {
        if (state[i] == 0)
            state[i] = touches(m_bounds[i], projection, box) ? 2 : 1;
    };
    for (std::uint32_t i : m_large)
        test(i);
    double cellLat = (m_extent.maxLat - m_extent.minLat) / std::max(m_rows, 1);
    double cellLon = (m_extent.maxLon - m_extent.minLon) / std::max(m_columns, 1);
    for (int row = 0; row < m_rows; ++row)
        for (int column = 0; column < m_columns; ++column) {
            // The last row and column reach the extent's far edge exactly.
            GeoBounds cell{m_extent.minLat + row * cellLat,
                           row == m_rows - 1 ? m_extent.maxLat : m_extent.minLat + (row + 1) * cellLat,
                           m_extent.minLon + column * cellLon,
                           column == m_columns - 1 ? m_extent.maxLon : m_extent.minLon + (column + 1) * cellLon, true};
            if (!touches(cell, projection, box))
                continue;
            std::size_t index = std::size_t(row) * std::size_t(m_columns) + std::size_t(column);
            for (std::uint32_t k = m_cellStart[index]; k < m_cellStart[index + 1]; ++k)
                test(m_cellEntries[k]);
        }
    std::vector<std::size_t> found;
    for (std::size_t i = 0; i < state.size(); ++i)
        if (state[i] == 2)
            found.push_back(i);
    return found;
}

} // namespace pathlark
