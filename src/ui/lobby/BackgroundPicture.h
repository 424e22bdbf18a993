#pragma once

#include <QPixmap>
#include <QString>

namespace vantrell::ui {

// The main window's background: a dark night sky over a glowing grid floor, drawn here at
// a small size and stretched over the window.
QPixmap lobbyBackgroundPicture();

// The style of the main window's lists, log and chat line over that background: dark but
// see-through, so the picture shows behind them and not only in the margins between them,
// and every text box framed, so the chat line can be seen before it has the focus.
QString lobbyPanelStyle();

} // namespace vantrell::ui
