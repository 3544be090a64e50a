#include "view/MapPathList.h"

namespace pathlark {

void MapPathList::clear()
{
    m_steps.clear();
    m_coordinates.clear();
    m_paints.clear();
}

void MapPathList::newPath()
{
    m_steps.push_back(Step::NewPath);
}

void MapPathList::moveTo(double x, double y)
{
    m_steps.push_back(Step::MoveTo);
    m_coordinates.push_back(x);
    m_coordinates.push_back(y);
}

void MapPathList::lineTo(double x, double y)
{
    m_steps.push_back(Step::LineTo);
    m_coordinates.push_back(x);
    m_coordinates.push_back(y);
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
}

void MapPathList::replay(MapRaster& raster) const
{
    const double* xy = m_coordinates.data();
    const Paint* paint = m_paints.data();
    for (Step step : m_steps) {
        switch (step) {
        case Step::NewPath:
            raster.newPath();
            break;
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
