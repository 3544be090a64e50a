#pragma once
// A tree of rows with several columns under a header. The first column is
// indented by depth and carries a plus/minus box for rows with children.
// Rows are selected (GuiNotify::TreeSelected) and expanded or collapsed
// (GuiNotify::TreeExpanded) with the mouse or by a path of first-column texts.

#include "gui/GuiObject.h"
#include "gui/ScrollBar.h"

#include <SDL_ttf.h>

#include <string>
#include <vector>

struct TreeColumn {
    std::string title;
    int width = 0;  // pixels
};

struct TreeNode {
    int id = -1;                     // chosen by the application
    std::vector<std::string> cells;  // one per column; may be fewer or more
    int parentIndex = -1;            // -1 for a top-level node
    std::vector<int> children;       // node indices, in insertion order
    bool expanded = true;
    int depth = 0;
};

class GuiTreeListCtrl : public GuiObject {
public:
    GuiTreeListCtrl(GuiObject* parent, int id, int x, int y, int w, int h, Uint32 colour, TTF_Font* font);

    bool getValue(std::string& out) override;          // the selected node's path
    bool setValue(const std::string& value) override;  // selects by path, expanding its ancestors
    bool wantsWheel() override;
    bool isCacheable() override;
    const char* className() override;
    void draw(SDL_Renderer* renderer) override;
    void resize(SDL_Renderer* renderer, int newW, int newH) override;
    void handleEvent(GuiEvent& event) override;
    void layout() override;

    int addColumn(const std::string& title, int width);
    void setColumnWidth(int columnIndex, int width);
    // Node indices stay valid until clear(), so applications keep them.
    int addNode(int parentIndex, int nodeId, const std::vector<std::string>& cells);
    void clear();
    void select(int nodeIndex, bool notify);
    void setExpanded(int nodeIndex, bool expand, bool notify);
    bool isExpanded(int nodeIndex) const;
    const TreeNode* nodeAt(int nodeIndex) const;
    int visibleRowNode(int row) const;
    const TreeNode* selectedNode() const;
    int selectedId() const;
    const TreeColumn* column(int index) const;
    int totalColumnWidth() const;
    // First-column texts from the top down, joined with "/"; "/" and "\" in a
    // text are escaped with a backslash so every path is unambiguous.
    std::string pathOf(int nodeIndex) const;
    void ensureSelectionVisible();
    void scrollToTop();
    // Visible row under a window point, or -1.
    int rowAt(int px, int py) const;
    // Whether window x `px` falls on the node's plus/minus box.
    bool expanderHit(int px, int nodeIndex) const;

    int headerHeight() const { return columns.empty() ? 0 : rowHeight; }
    int viewWidth() const { return vScrollBar.visible ? w - ScrollBarThickness : w; }
    int viewHeight() const;
    void layoutTree();

    std::vector<TreeColumn> columns;
    std::vector<TreeNode> nodes;
    std::vector<int> rootNodes;
    std::vector<int> visibleRows;  // node indices in display order
    SDL_Color backColour;
    SDL_Color textColour{0, 0, 0, 255};
    SDL_Color selectionColour{0, 120, 215, 255};
    SDL_Color selectedTextColour{255, 255, 255, 255};
    SDL_Color headerColour{225, 225, 225, 255};
    SDL_Color headerTextColour{0, 0, 0, 255};
    SDL_Color gridColour{210, 210, 210, 255};
    SDL_Color expanderColour{90, 90, 90, 255};
    TTF_Font* font;  // not owned
    int rowHeight = 20;
    int scrollX = 0;
    int scrollY = 0;
    ScrollBar vScrollBar;
    ScrollBar hScrollBar;
    int selectedIndex = -1;

private:
    void rebuildVisibleRows();
    bool validNode(int nodeIndex) const { return nodeIndex >= 0 && nodeIndex < int(nodes.size()); }
    void drawHeader(SDL_Renderer* renderer, int viewW);
    void drawRow(SDL_Renderer* renderer, int nodeIndex, int rowY, const SDL_Rect& rowsArea);
};
