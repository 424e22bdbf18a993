#pragma once

#include <QPixmap>

namespace vantrell::ui {

// The main window's background: a dark night sky over a glowing grid floor, drawn here at
// a small size and stretched over the window.
QPixmap lobbyBackgroundPicture();

} // namespace vantrell::ui
