#include "ui/common/SettingsWindow.h"

#include <QCloseEvent>
#include <QEvent>
#include <QHideEvent>

namespace vantrell::ui {

void SettingsWindow::reloadAndSave()
{
    FormActivate();
    FormDeactivate();
    FormClose();
}

void SettingsWindow::enterActive()
{
    if (!m_active) {
        m_active = true;
        FormActivate();
    }
}

void SettingsWindow::leaveActive()
{
    if (m_active) {
        m_active = false;
        FormDeactivate();
    }
}

void SettingsWindow::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::ActivationChange || m_ignoreActivationChanges)
        return;
    if (isActiveWindow())
        enterActive();
    else
        leaveActive();
}

void SettingsWindow::hideEvent(QHideEvent* event)
{
    leaveActive();
    QWidget::hideEvent(event);
}

void SettingsWindow::closeEvent(QCloseEvent* event)
{
    QWidget::closeEvent(event);
    leaveActive();
    FormClose();
}

} // namespace vantrell::ui
