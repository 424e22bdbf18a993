#pragma once

#include <QWidget>

namespace vantrell::ui {

// A settings window: it loads its values when it becomes the active window and saves them
// when it stops being it (switching to another window, hiding or closing), so the file and
// the fields never drift apart. Subclasses supply the three handlers; this class turns the
// window system's activation changes into exactly one FormActivate per FormDeactivate.
//
// While a settings window is open the main window is locked: FormActivate asks for the lock
// and FormClose for the unlock, through the two signals the program connects.
class SettingsWindow : public QWidget
{
    Q_OBJECT

public:
    using QWidget::QWidget;

    virtual void FormActivate() = 0;
    virtual void FormDeactivate() = 0;
    virtual void FormClose() = 0;

    // What showing the window and closing it again at once does, without the window ever
    // appearing: load, save back, lock and unlock the main window.
    void reloadAndSave();

signals:
    void mainWindowLockRequested();
    void mainWindowUnlockRequested();

protected:
    // Counts as activation at once, whatever the window system reports later.
    void enterActive();
    void leaveActive();

    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

    // Set while one of the window's own dialogs is open: the dialog taking the activation is
    // not the player leaving the window.
    bool m_ignoreActivationChanges = false;

private:
    bool m_active = false;
};

} // namespace vantrell::ui
