#pragma once

#include <QString>
#include <QWidget>

namespace vantrell::ui {

// Brings a window of the program up and gives it the keyboard when the player asked for it
// from outside the program (a click on one of its notifications), while another program has
// the focus. activationToken: what the desktop gave with the click, empty when nothing.
//
// Desktops refuse to hand the focus over on a stale request. On Wayland the compositor wants
// an activation token of its own; Qt takes it from XDG_ACTIVATION_TOKEN for the next
// activation. On X the request carries a time, the program's last event time unless told
// otherwise, and by now the other program took the focus later than that: the request is
// dropped (without a window manager the server itself drops it). The time is made current
// first: the token's where it carries one (a startup id ending in "_TIME" and the time), a
// fresh one from the server where not.
void bringToFront(QWidget* window, const QString& activationToken);

} // namespace vantrell::ui
