#pragma once

#include <QRect>

class QWidget;
class RegistryStore;

// A window's place kept in the program key's "WndRect" value: Left, Top,
// Width, Height as little-endian signed 32-bit integers. Left and Top are the
// frame's position as the window system places it, Width and Height the
// window's own size: what move() and resize() take, so that a window closed
// and opened again stands exactly where it stood.
namespace WindowRect {

// Places the window as stored. A missing key or value, or one of another
// length, leaves the window where it is; a place no screen shows (a monitor
// that is gone) is moved to the centre of the primary screen, size kept.
void Restore(RegistryStore& store, QWidget& window);
// Stores the window's place; without the program key nothing is written.
void Save(RegistryStore& store, const QWidget& window);

// The rectangle, moved onto the primary screen when no screen shows enough
// of it to grab its title bar.
QRect OnSomeScreen(const QRect& rect);

}
