#include "view/MapPathList.h"

#include <algorithm>

namespace pathlark {

void MapPathList::clear()
{
    m_steps.clear();
    m_coordinates.clear();
    m_paints.clear();
    m_paths.clear();
}

void MapPathList::newPath()
{
    m_paths.push_back(PathStart{m_steps.size(), m_coordinates.size(), m_paints.size()});
    m_steps.push_back(Step::NewPath);
}

// As the raster bounds a path: a y that is not a number leaves the bounds as they are.
void MapPathList::extend(double y)
{
    if (m_paths.empty())
        return;
    m_paths.back().minY = std::min(m_paths.back().minY, y);
    m_paths.back().maxY = std::max(m_paths.back().maxY, y);
}

void MapPathList::moveTo(double x, double y)
{
    m_steps.push_back(Step::MoveTo);
    m_coordinates.push_back(x);
    m_coordinates.push_back(y);
    extend(y);
}

void MapPathList::lineTo(double x, double y)
{
    m_steps.push_back(Step::LineTo);
    m_coordinates.push_back(x);
    m_coordinates.push_back(y);
    extend(y);
}

void MapPathList::closePath()
{
    m_steps.push_back(Step::ClosePath);
}

void MapPathList::fill(FillRule rule, RasterColor color)
{
    m_steps.push_back(Step::Fill);
    m_paints.push_back(Paint{rule, {}, color});
}

void MapPathList::stroke(const StrokeStyle& style, RasterColor color)
{
    m_steps.push_back(Step::Stroke);
    m_paints.push_back(Paint{FillRule::NonZero, style, color});
    // A miter reaches out at most ten half-widths; a width that is not a number draws nothing.
    double reach = (style.joins == LineJoins::Miter ? 5.0 : 0.5) * style.width;
    if (!m_paths.empty() && reach > m_paths.back().reach)
        m_paths.back().reach = reach;
}

void MapPathList::replay(MapRaster& raster) const
{
    const double* xy = m_coordinates.data();
    const Paint* paint = m_paints.data();
    std::size_t path = 0;
    for (std::size_t i = 0; i < m_steps.size(); ++i) {
        switch (m_steps[i]) {
        case Step::NewPath: {
            const PathStart& start = m_paths[path++];
            if (raster.missesRows(start.minY - start.reach, start.maxY + start.reach)) {
                if (path == m_paths.size())
                    return;
                const PathStart& following = m_paths[path];
                i = following.step - 1;
                xy = m_coordinates.data() + following.coordinate;
                paint = m_paints.data() + following.paint;
                break;
            }
            raster.newPath();
            break;
        }
        case Step::MoveTo:
            raster.moveTo(xy[0], xy[1]);
            xy += 2;
            break;
        case Step::LineTo:
            raster.lineTo(xy[0], xy[1]);
            xy += 2;
            break;
        case Step::ClosePath:
            raster.closePath();
            break;
        case Step::Fill:
            raster.fill(paint->rule, paint->color);
            ++paint;
            break;
        case Step::Stroke:
            raster.stroke(paint->style, paint->color);
            ++paint;
            break;
        }
    }
}

} // namespace pathlark
