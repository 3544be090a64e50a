// The engine's view operations: thin wrappers that hand the engine's view
// state to the pure functions of view/ and write the result back.

#include "app/MainWindow.h"
#include "app/PathlarkEngine.h"
#include "gui/GuiCairoPanel.h"
#include "gui/GuiComboBox.h"
#include "i18n/Translate.h"
#include "track/Track.h"
#include "view/GraphRenderer.h"
#include "view/MapRenderer.h"

#include <cmath>
#include <string>

namespace pathlark {

namespace {

constexpr int kPerspectiveReset = 0;
constexpr int kPerspectiveCustom = 5;

// The shown track when it has points; the view operations need at least one.
const Track* trackWithPoints(const PathlarkEngine& engine)
{
    const Track* track = engine.shownTrack();
    return track && track->getWayPointCount() > 0 ? track : nullptr;
}

} // namespace

ViewState PathlarkEngine::mapViewState() const
{
    ViewState view;
    if (mapPanel) {
        view.width = mapPanel->w;
        view.height = mapPanel->h;
    }
    view.zoom = zoom;
    view.panX = panX;
    view.panY = panY;
    view.angleX = angleX;
    view.angleY = angleY;
    view.angleZ = angleZ;
    view.headingAngle = headingAngle;
    view.showHeight = showHeight;
    return view;
}

void PathlarkEngine::centerOnCursor()
{
    const Track* track = trackWithPoints(*this);
    if (!track)
        return;
    ViewState view = mapViewState();
    MapProjection projection(*track, trackExtent, view);
    ScreenPoint cursor;
    if (freeCursor) {
        cursor = projection.projectGround(freeCursorLat, freeCursorLon, Pan::Without);
    } else {
        const WayPoint* point = track->getWayPoint(cursorIndex);
        if (!point)
            return;
        cursor = projection.projectWayPoint(*point, Pan::Without);
    }
    centerOn(view, cursor);
    panX = view.panX;
    panY = view.panY;
}

void PathlarkEngine::updateHeading()
{
    const Track* track = trackWithPoints(*this);
    if (!track)
        return;
    headingAngle = followDirection ? followHeading(*track, cursorIndex) : 0.0;
}

void PathlarkEngine::zoomBy(double factor)
{
    if (!std::isfinite(factor) || factor <= 0.0)
        return;
    zoom = clampZoom(zoom * factor);
    setStatus(tr("Zoom: ") + std::to_string(std::lround(100.0 * zoom)) + "%");
}

void PathlarkEngine::zoomAtMouse(double factor, int mouseX, int mouseY)
{
    if (!trackWithPoints(*this) || !mapPanel)
        return;
    if (centerCursor) {
        zoomBy(factor);
        centerOnCursor();
        return;
    }
    ViewState view = mapViewState();
    zoomAbout(view, factor, mouseX - mapPanel->x, mouseY - mapPanel->y);
    zoom = view.zoom;
    panX = view.panX;
    panY = view.panY;
    setStatus(tr("Zoom: ") + std::to_string(std::lround(100.0 * zoom)) + "%");
}

void PathlarkEngine::rotateBy(int& angle, int step)
{
    // Rotation belongs to the track view: a free cursor goes back to its point.
    if (freeCursor)
        setCursor(cursorIndex);
    angle = wrapAngle(angle, step);
    if (perspectiveCombo)
        perspectiveCombo->select(kPerspectiveCustom, false);
    updateAngleFields(*this);
    if (centerCursor)
        centerOnCursor();
}

void PathlarkEngine::resetView()
{
    angleX = angleY = angleZ = 0;
    zoom = 1.0;
    panX = panY = 0.0;
    headingAngle = 0.0;
    if (perspectiveCombo)
        perspectiveCombo->select(kPerspectiveReset, false);
    updateAngleFields(*this);
    setCursor(0);
}

int PathlarkEngine::pickNearestPoint(int panelX, int panelY)
{
    const Track* track = trackWithPoints(*this);
    if (!track)
        return -1;
    MapProjection projection(*track, trackExtent, mapViewState());
    return pathlark::pickNearestPoint(projection, *track, panelX, panelY);
}

bool PathlarkEngine::unprojectFlat(int panelX, int panelY, double& lat, double& lon)
{
    const Track* track = trackWithPoints(*this);
    if (!track)
        return false;
    MapProjection projection(*track, trackExtent, mapViewState());
    MapPoint point = projection.unprojectFlat(panelX, panelY);
    if (!std::isfinite(point.latitude) || !std::isfinite(point.longitude))
        return false;
    lat = point.latitude;
    lon = point.longitude;
    return true;
}

void PathlarkEngine::renderMapPanel()
{
    const Track* track = shownTrack();
    if (mapPanel && mapPanel->getCairo()) {
        MapScene scene;
        scene.track = track;
        scene.view = mapViewState();
        scene.cursorIndex = cursorIndex;
        scene.markerA = markerA;
        scene.markerB = markerB;
        scene.freeCursor = freeCursor;
        scene.freeCursorLat = freeCursorLat;
        scene.freeCursorLon = freeCursorLon;
        scene.showMap = showMap;
        scene.showWaypoints = showWaypoints;
        scene.showDirectLine = showDirectLine;
        scene.features = &mapFeatures;
        scene.mapRevision = mapRevision;
        scene.flags = FlagImages{flagStartSurface, flagFinishSurface, flagMarkASurface, flagMarkBSurface};
        pathlark::renderMapPanel(mapPanel->getCairo(), scene, trackExtent, mapLayerCache);
        mapPanel->markChanged();
    }
    if (graphPanel && graphPanel->getCairo()) {
        if (track && track->getWayPointCount() > 0) {
            GraphMode mode = statisticsMode == 1   ? GraphMode::Speed
                             : statisticsMode == 2 ? GraphMode::HeightAndSpeed
                                                   : GraphMode::Height;
            renderGraphPanel(graphPanel->getCairo(), graphPanel->w, graphPanel->h, *track, cursorIndex, mode);
        } else {
            // No profile to show: an empty graph rather than the previous track's.
            cairo_t* cr = graphPanel->getCairo();
            cairo_set_source_rgb(cr, 0.98, 0.98, 0.98);
            cairo_paint(cr);
        }
        graphPanel->markChanged();
    }
}

} // namespace pathlark
