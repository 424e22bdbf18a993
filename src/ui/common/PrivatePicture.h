#pragma once

#include <QPixmap>

namespace vantrell::ui {

// The room list's mark for a password-protected room, 16 by 16 with a transparent
// background: a golden padlock, its shackle closed over a body with a dark keyhole.
class PrivatePicture
{
public:
    static constexpr int kSize = 16;

    static QPixmap padlock();
};

} // namespace vantrell::ui
