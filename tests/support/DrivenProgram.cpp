// The program exactly as main() runs it, with a ProgramDriver listening on standard input, so
// an end-to-end test can work its windows. Built by the test suite only, never installed.
#include "app/Program.h"
#include "app/Run.h"
#include "support/ProgramDriver.h"
#include "ui/lobby/TForm1.h"

#include <algorithm>

#include <QApplication>
#include <QEvent>
#include <QScreen>
#include <QWidget>

namespace {

// scripts/demo shows two players on one screen: each player's windows open in its own half
// (VANTRELL_DEMO_SIDE 0 the left, 1 the right), centred there, so a person can follow both.
class DemoPlacement : public QObject
{
public:
    DemoPlacement(int side, QObject* parent) : QObject(parent), m_side(side) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* window = qobject_cast<QWidget*>(watched);
        if (event->type() == QEvent::Show && window && window->isWindow() &&
            window->windowType() != Qt::Popup && window->windowType() != Qt::ToolTip) {
            // After the window's own placement, which runs as it is shown.
            QMetaObject::invokeMethod(
                window, [this, window] { place(*window); }, Qt::QueuedConnection);
        }
        return false;
    }

private:
    void place(QWidget& window) const
    {
        const QScreen* screen = window.screen();
        if (!screen)
            return;
        QRect half = screen->availableGeometry();
        half.setWidth(half.width() / 2);
        if (m_side == 1)
            half.moveLeft(half.left() + half.width());
        QRect frame = window.frameGeometry();
        frame.moveCenter(half.center());
        frame.moveLeft(std::clamp(frame.left(), half.left(),
                                  std::max(half.left(), half.right() - frame.width())));
        frame.moveTop(std::max(frame.top(), half.top()));
        window.move(frame.topLeft());
    }

    int m_side;
};

} // namespace

int main(int argc, char* argv[])
{
    return vantrell::app::runProgram(argc, argv, [](vantrell::app::Program& program) {
        // Owned by the main window, so it lives exactly as long as the windows.
        new ProgramDriver(&program.mainWindow());
        bool isSide = false;
        const int side = qEnvironmentVariableIntValue("VANTRELL_DEMO_SIDE", &isSide);
        if (isSide)
            qApp->installEventFilter(new DemoPlacement(side, &program.mainWindow()));
    });
}
