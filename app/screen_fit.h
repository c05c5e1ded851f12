#pragma once
// Keeps the main window's designed size where the screen has room; on a smaller screen the window
// opens fitted to the available area and its content scrolls, so every control stays reachable.

#include <QRect>

class QMainWindow;
class QScrollArea;

namespace screenfit {

// Puts the window's central widget inside a frameless scroll area (once); object names and
// findChild keep working, and nothing scrolls while the window has its designed size.
QScrollArea* wrapCentral(QMainWindow* window);

// Shrinks `window` to fit into `available` (room left for the title bar) and moves it to the
// area's top; a window that already fits is left as it is.
void fitInto(QMainWindow* window, const QRect& available);

// wrapCentral, then fitInto the available area of the screen the window will open on.
void arrange(QMainWindow* window);

} // namespace screenfit
