#pragma once

#include "base/common/Result.h"
#include "base/settings/ConfigFile.h"

#include <string_view>

class QWidget;

namespace vantrell::ui {

class MessageSink;

// Where a window opens and at what size. Sizes in the settings file are outer sizes, the
// frame included, as "Main height" and "Main width" of a section of the window's own; Qt
// sizes the inside of the frame, so the frame is taken off on the way in and added on the
// way out.

// Moves the window so that its frame is centred on the available area of its screen.
void centreOnScreen(QWidget& window);
// Moves the window so that its frame is centred on the frame of another window.
void centreOn(QWidget& window, const QWidget& other);

// Gives the window the outer size stored in the section. The height applies even when the
// width does not convert; nothing changes without a file. Call it once the window is shown,
// when its frame is known.
void restoreOuterSize(QWidget& window, const settings::ConfigFile& file, std::string_view section);
// Stores the window's outer size in the section.
Result<void> saveOuterSize(const QWidget& window, settings::ConfigFile& file,
                           std::string_view section);

// Opens a window the way every room window opens: centred on `over` (may be null) when not
// shown yet, shown, given its stored outer size once its frame is known, raised and active.
void showPlaced(QWidget& window, const QWidget* over, const settings::ConfigFile& file,
                std::string_view section);
// Stores the window's outer size; the player is told when the file cannot be written.
void saveOuterSizeOrTell(const QWidget& window, settings::ConfigFile& file,
                         std::string_view section, MessageSink& messages);

} // namespace vantrell::ui
