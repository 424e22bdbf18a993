#pragma once

#include <string_view>

#include <QPixmap>

namespace vantrell::ui {

// The two pictures of a member list's Ready column, 16 by 16 with a transparent
// background: index 0 (ready) is a green disc with a white tick, index 1 (not ready) a red
// octagon with a white cross. The ready code a row carries is the picture's index.
class ReadyPictures
{
public:
    static constexpr int kSize = 16;
    static constexpr int kReady = 0;
    static constexpr int kNotReady = 1;

    static QPixmap ready();
    static QPixmap notReady();
    // The picture for a ready code ("0" or "1"); a null pixmap for anything else.
    static QPixmap forCode(std::string_view readyCode);
};

} // namespace vantrell::ui
