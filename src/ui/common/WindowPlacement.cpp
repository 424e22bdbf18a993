#include "ui/common/WindowPlacement.h"

#include "ui/common/MessageSink.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace vantrell::ui {

namespace {
void centreFrameAt(QWidget& window, const QPoint& centre)
{
    QRect frame = window.frameGeometry();
    frame.moveCenter(centre);
    window.move(frame.topLeft());
}
} // namespace

void centreOnScreen(QWidget& window)
{
    const QScreen* screen = window.screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen)
        centreFrameAt(window, screen->availableGeometry().center());
}

void centreOn(QWidget& window, const QWidget& other)
{
    centreFrameAt(window, other.frameGeometry().center());
}

void restoreOuterSize(QWidget& window, const settings::ConfigFile& file, std::string_view section)
{
    if (!file.exists())
        return;
    const settings::ConfigFile::SavedSize saved = file.restoreSize(section);
    const QSize frame = window.frameGeometry().size() - window.size();
    if (saved.height)
        window.resize(window.width(), *saved.height - frame.height());
    if (saved.width)
        window.resize(*saved.width - frame.width(), window.height());
}

Result<void> saveOuterSize(const QWidget& window, settings::ConfigFile& file,
                           std::string_view section)
{
    const QSize outer = window.frameGeometry().size();
    return file.saveSize(section, outer.height(), outer.width());
}

void showPlaced(QWidget& window, const QWidget* over, const settings::ConfigFile& file,
                std::string_view section)
{
    if (over && !window.isVisible())
        centreOn(window, *over);
    window.show();
    restoreOuterSize(window, file, section);
    window.raise();
    window.activateWindow();
}

void saveOuterSizeOrTell(const QWidget& window, settings::ConfigFile& file,
                         std::string_view section, MessageSink& messages)
{
    if (!saveOuterSize(window, file, section))
        messages.information(QStringLiteral("Unable to save to the config file vantrel.cfg"));
}

} // namespace vantrell::ui
