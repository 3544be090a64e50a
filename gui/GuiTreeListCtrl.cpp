// GuiTreeListCtrl: nodes and columns, paths, layout, drawing, events.
//
// [SECTION] Columns and nodes
// [SECTION] Selection, expansion and paths
// [SECTION] Layout and hit tests
// [SECTION] Drawing
// [SECTION] Events

#include "gui/GuiTreeListCtrl.h"

#include "gui/GuiListCtrl.h"
#include "gui/GuiText.h"
#include "gui/GuiWindow.h"

#include <algorithm>

namespace {
constexpr int IndentPerLevel = 16;
constexpr int ExpanderSize = 8;
constexpr int ExpanderSpace = 16;  // the box and the gap before the text
constexpr int CellMargin = 4;

void setColour(SDL_Renderer* renderer, SDL_Color c)
{
    SDL_SetRenderDrawColor(renderer, c.r, c.g, c.b, c.a);
}
} // namespace

GuiTreeListCtrl::GuiTreeListCtrl(GuiObject* parent_, int id_, int x_, int y_, int w_, int h_, Uint32 colour_,
                                 TTF_Font* font_)
    : GuiObject(parent_, id_, x_, y_, w_, h_, colour_), backColour(colour), font(font_)
{
    vScrollBar.orientation = ScrollBar::Vertical;
    hScrollBar.orientation = ScrollBar::Horizontal;
    rowHeight = rowHeightForFont(font, rowHeight);
    layoutTree();
}

bool GuiTreeListCtrl::wantsWheel() { return true; }
bool GuiTreeListCtrl::isCacheable() { return true; }
const char* GuiTreeListCtrl::className() { return "GuiTreeListCtrl"; }

// [SECTION] Columns and nodes

int GuiTreeListCtrl::addColumn(const std::string& title, int width)
{
    columns.push_back(TreeColumn{title, width});
    layoutTree();
    markDirty();
    return int(columns.size()) - 1;
}

void GuiTreeListCtrl::setColumnWidth(int columnIndex, int width)
{
    if (columnIndex < 0 || columnIndex >= int(columns.size()))
        return;
    columns[size_t(columnIndex)].width = width;
    layoutTree();
    markDirty();
}

int GuiTreeListCtrl::addNode(int parentIndex, int nodeId, const std::vector<std::string>& cells)
{
    TreeNode node;
    node.id = nodeId;
    node.cells = cells;
    const int index = int(nodes.size());
    if (validNode(parentIndex)) {
        node.parentIndex = parentIndex;
        node.depth = nodes[size_t(parentIndex)].depth + 1;
        nodes[size_t(parentIndex)].children.push_back(index);
    } else {
        rootNodes.push_back(index);
    }
    nodes.push_back(std::move(node));
    rebuildVisibleRows();
    layoutTree();
    markDirty();
    return index;
}

void GuiTreeListCtrl::clear()
{
    nodes.clear();
    rootNodes.clear();
    visibleRows.clear();
    selectedIndex = -1;
    scrollX = 0;
    layoutTree();
    markDirty();
}

void GuiTreeListCtrl::rebuildVisibleRows()
{
    visibleRows.clear();
    // Depth first, pre-order, with an explicit stack: a deep tree must not
    // exhaust the call stack.
    std::vector<int> pending(rootNodes.rbegin(), rootNodes.rend());
    while (!pending.empty()) {
        const int index = pending.back();
        pending.pop_back();
        visibleRows.push_back(index);
        const TreeNode& node = nodes[size_t(index)];
        if (node.expanded)
            pending.insert(pending.end(), node.children.rbegin(), node.children.rend());
    }
}

const TreeNode* GuiTreeListCtrl::nodeAt(int nodeIndex) const
{
    return validNode(nodeIndex) ? &nodes[size_t(nodeIndex)] : nullptr;
}

int GuiTreeListCtrl::visibleRowNode(int row) const
{
    return row >= 0 && row < int(visibleRows.size()) ? visibleRows[size_t(row)] : -1;
}

const TreeNode* GuiTreeListCtrl::selectedNode() const { return nodeAt(selectedIndex); }

int GuiTreeListCtrl::selectedId() const
{
    const TreeNode* node = selectedNode();
    return node ? node->id : -1;
}

const TreeColumn* GuiTreeListCtrl::column(int index) const
{
    return index >= 0 && index < int(columns.size()) ? &columns[size_t(index)] : nullptr;
}

int GuiTreeListCtrl::totalColumnWidth() const
{
    int total = 0;
    for (const TreeColumn& c : columns)
        total += c.width;
    return total;
}

// [SECTION] Selection, expansion and paths

void GuiTreeListCtrl::select(int nodeIndex, bool notify)
{
    if (!validNode(nodeIndex)) {
        selectedIndex = -1;
        markDirty();
        return;
    }
    selectedIndex = nodeIndex;
    ensureSelectionVisible();
    markDirty();
    if (notify && window)
        window->postNotification(GuiNotify::TreeSelected, Uint32(id), Uint64(Sint64(nodes[size_t(nodeIndex)].id)),
                                 this);
}

void GuiTreeListCtrl::setExpanded(int nodeIndex, bool expand, bool notify)
{
    if (!validNode(nodeIndex) || nodes[size_t(nodeIndex)].expanded == expand)
        return;
    nodes[size_t(nodeIndex)].expanded = expand;
    rebuildVisibleRows();
    layoutTree();
    markDirty();
    if (notify && window)
        window->postNotification(GuiNotify::TreeExpanded, Uint32(id), Uint64(Sint64(nodes[size_t(nodeIndex)].id)),
                                 this);
}

bool GuiTreeListCtrl::isExpanded(int nodeIndex) const
{
    return validNode(nodeIndex) && nodes[size_t(nodeIndex)].expanded;
}

std::string GuiTreeListCtrl::pathOf(int nodeIndex) const
{
    std::vector<std::string> names;
    for (int at = nodeIndex; validNode(at); at = nodes[size_t(at)].parentIndex) {
        const TreeNode& node = nodes[size_t(at)];
        std::string name;
        for (char c : node.cells.empty() ? std::string() : node.cells.front()) {
            if (c == '/' || c == '\\')
                name += '\\';
            name += c;
        }
        names.push_back(std::move(name));
    }
    std::string path;
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        if (it != names.rbegin())
            path += '/';
        path += *it;
    }
    return path;
}

bool GuiTreeListCtrl::getValue(std::string& out)
{
    out = selectedIndex >= 0 ? pathOf(selectedIndex) : std::string();
    return true;
}

bool GuiTreeListCtrl::setValue(const std::string& value)
{
    if (value.empty()) {
        selectedIndex = -1;
        markDirty();
        return true;
    }
    for (int index = 0; index < int(nodes.size()); ++index) {
        if (pathOf(index) != value)
            continue;
        std::vector<int> ancestors;
        for (int at = nodes[size_t(index)].parentIndex; validNode(at); at = nodes[size_t(at)].parentIndex)
            ancestors.push_back(at);
        for (auto it = ancestors.rbegin(); it != ancestors.rend(); ++it)
            setExpanded(*it, true, true);
        select(index, true);
        return true;
    }
    return false;
}

void GuiTreeListCtrl::ensureSelectionVisible()
{
    auto found = std::find(visibleRows.begin(), visibleRows.end(), selectedIndex);
    if (selectedIndex < 0 || found == visibleRows.end())
        return;  // e.g. under a collapsed parent
    const int viewH = viewHeight();
    if (viewH < 1)
        return;
    scrollY = scrollToShow(scrollY, int(found - visibleRows.begin()) * rowHeight, rowHeight, viewH);
    layoutTree();
    markDirty();
}

void GuiTreeListCtrl::scrollToTop()
{
    scrollY = 0;
    layoutTree();
    markDirty();
}

// [SECTION] Layout and hit tests

int GuiTreeListCtrl::viewHeight() const
{
    return h - headerHeight() - (hScrollBar.visible ? ScrollBarThickness : 0);
}

void GuiTreeListCtrl::layout()
{
    rowHeight = rowHeightForFont(font, rowHeight);
    layoutTree();
}

void GuiTreeListCtrl::layoutTree()
{
    rowHeight = rowHeightForFont(font, rowHeight);
    const int header = headerHeight();
    layoutScrollArea(vScrollBar, hScrollBar, SDL_Rect{x, y + header, w, h - header}, totalColumnWidth(),
                     int(visibleRows.size()) * rowHeight, scrollX, scrollY);
}

void GuiTreeListCtrl::resize(SDL_Renderer* renderer, int newW, int newH)
{
    GuiObject::resize(renderer, newW, newH);
    layoutTree();
    markDirty();
}

int GuiTreeListCtrl::rowAt(int px, int py) const
{
    const int top = y + headerHeight();
    if (px < x || px >= x + viewWidth() || py < top || py >= top + viewHeight() || rowHeight < 1)
        return -1;
    const int row = (py - top + scrollY) / rowHeight;
    return row < int(visibleRows.size()) ? row : -1;
}

bool GuiTreeListCtrl::expanderHit(int px, int nodeIndex) const
{
    if (!validNode(nodeIndex) || nodes[size_t(nodeIndex)].children.empty() || columns.empty())
        return false;
    const int bx = x - scrollX + nodes[size_t(nodeIndex)].depth * IndentPerLevel + CellMargin;
    return px >= bx && px <= bx + ExpanderSize - 1;
}

// [SECTION] Drawing

void GuiTreeListCtrl::drawHeader(SDL_Renderer* renderer, int viewW)
{
    SDL_Rect header{x, y, viewW, rowHeight};
    SDL_RenderSetClipRect(renderer, &header);
    setColour(renderer, headerColour);
    SDL_RenderFillRect(renderer, &header);
    int cx = x - scrollX;
    for (const TreeColumn& c : columns) {
        int tw = 0, th = 0;
        if (!c.title.empty() && measureText(font, c.title, tw, th))
            drawText(renderer, font, c.title, headerTextColour, cx + CellMargin, y + (rowHeight - th) / 2);
        cx += c.width;
        setColour(renderer, gridColour);
        SDL_RenderDrawLine(renderer, cx - 1, y, cx - 1, y + rowHeight - 1);
    }
    setColour(renderer, gridColour);
    SDL_RenderDrawLine(renderer, x, y + rowHeight - 1, x + viewW, y + rowHeight - 1);
    SDL_RenderSetClipRect(renderer, nullptr);
}

void GuiTreeListCtrl::drawRow(SDL_Renderer* renderer, int nodeIndex, int rowY, const SDL_Rect& rowsArea)
{
    const TreeNode& node = nodes[size_t(nodeIndex)];
    const bool selected = nodeIndex == selectedIndex;
    setColour(renderer, selected ? selectionColour : backColour);
    SDL_Rect row{x, rowY, rowsArea.w, rowHeight};
    SDL_RenderFillRect(renderer, &row);

    const int passes = std::max(int(columns.size()), 1);
    int cx = x - scrollX;
    for (int c = 0; c < passes; ++c) {
        const int width = columns.empty() ? rowsArea.w : columns[size_t(c)].width;
        // Cut to the rows' area too: a row half scrolled under the header, or
        // a column scrolled off to the left, must not paint outside it.
        SDL_Rect cell{std::max(cx, x), rowY, cx + width - std::max(cx, x), rowHeight};
        SDL_Rect clip;
        if (SDL_IntersectRect(&cell, &rowsArea, &clip)) {
            SDL_RenderSetClipRect(renderer, &clip);
            int tx = cx + CellMargin;
            if (c == 0) {
                tx += node.depth * IndentPerLevel;
                if (!node.children.empty()) {
                    const int by = rowY + (rowHeight - ExpanderSize) / 2;
                    SDL_Rect box{tx, by, ExpanderSize, ExpanderSize};
                    setColour(renderer, expanderColour);
                    SDL_RenderDrawRect(renderer, &box);
                    SDL_RenderDrawLine(renderer, tx + 2, by + 4, tx + 6, by + 4);
                    if (!node.expanded)
                        SDL_RenderDrawLine(renderer, tx + 4, by + 2, tx + 4, by + 6);
                    tx += ExpanderSpace;
                }
            }
            int tw = 0, th = 0;
            if (c < int(node.cells.size()) && !node.cells[size_t(c)].empty() &&
                measureText(font, node.cells[size_t(c)], tw, th))
                drawText(renderer, font, node.cells[size_t(c)], selected ? selectedTextColour : textColour, tx,
                         rowY + (rowHeight - th) / 2);
            SDL_RenderSetClipRect(renderer, &rowsArea);
        }
        cx += width;
    }
}

void GuiTreeListCtrl::draw(SDL_Renderer* renderer)
{
    setColour(renderer, backColour);
    SDL_Rect whole = rect();
    SDL_RenderFillRect(renderer, &whole);

    const int header = headerHeight();
    const int viewW = viewWidth(), viewH = viewHeight();
    if (!columns.empty() && viewW > 0 && rowHeight > 0)
        drawHeader(renderer, viewW);

    if (viewW > 0 && viewH > 0 && rowHeight > 0) {
        const SDL_Rect rowsArea{x, y + header, viewW, viewH};
        SDL_RenderSetClipRect(renderer, &rowsArea);
        if (!visibleRows.empty()) {
            const int first = scrollY / rowHeight;
            const int last = std::min((scrollY + viewH) / rowHeight, int(visibleRows.size()) - 1);
            for (int r = first, k = 0; r <= last; ++r, ++k)
                drawRow(renderer, visibleRows[size_t(r)], y + header - scrollY % rowHeight + k * rowHeight,
                        rowsArea);
        }
        setColour(renderer, gridColour);
        int edge = x - scrollX;
        for (const TreeColumn& c : columns) {
            edge += c.width;
            SDL_RenderDrawLine(renderer, edge - 1, y + header, edge - 1, y + header + viewH - 1);
        }
        SDL_RenderSetClipRect(renderer, nullptr);
    }
    drawScrollBars(renderer, vScrollBar, hScrollBar);
}

// [SECTION] Events

void GuiTreeListCtrl::handleEvent(GuiEvent& event)
{
    const SDL_Event* sdl = event.sdlEvent;
    if (event.kind != GuiEvent::SdlInput || !sdl)
        return;
    if (sdl->type == SDL_MOUSEBUTTONDOWN)
        focused = true;
    if (scrollAreaInput(*sdl, vScrollBar, hScrollBar, totalColumnWidth(), int(visibleRows.size()) * rowHeight,
                        std::max(vScrollBar.track.h - rowHeight, 1), rowHeight, scrollX, scrollY)) {
        layoutTree();
        markDirty();
        return;
    }
    // Keys are ignored.
    if (sdl->type != SDL_MOUSEBUTTONDOWN)
        return;
    const int px = sdl->button.x;
    const int nodeIndex = visibleRowNode(rowAt(px, sdl->button.y));
    if (nodeIndex < 0)
        return;
    if (expanderHit(px, nodeIndex))
        setExpanded(nodeIndex, !nodes[size_t(nodeIndex)].expanded, true);
    else
        select(nodeIndex, true);
}
