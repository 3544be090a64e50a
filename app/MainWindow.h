#pragma once
// The main window's controls: creation in a fixed order (later ones receive
// the mouse where they overlap), option bindings, and the layout that follows
// the window's size every frame.

#include "gui/AppWindow.h"

class GuiObject;

namespace pathlark {

class PathlarkEngine;

constexpr int DesignWidth = 1100;
constexpr int DesignHeight = 720;

void buildMainWindow(PathlarkEngine& engine, AppWindow* window, bool fullscreen);
void layoutMainWindow(PathlarkEngine& engine, AppWindow* window);
void updateAngleFields(PathlarkEngine& engine);
void setTooltip(GuiObject* widget, const char* text);

} // namespace pathlark
