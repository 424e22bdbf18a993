#include "ui/common/QtMessageSink.h"

#include <QApplication>
#include <QMessageBox>

namespace vantrell::ui {

namespace {
QMessageBox::StandardButton show(QMessageBox::Icon icon, const QString& text,
                                 QMessageBox::StandardButtons buttons)
{
    QMessageBox box(icon, QApplication::applicationName(), text, buttons,
                    QApplication::activeWindow());
    return static_cast<QMessageBox::StandardButton>(box.exec());
}
} // namespace

void QtMessageSink::information(const QString& text)
{
    show(QMessageBox::NoIcon, text, QMessageBox::Ok);
}

void QtMessageSink::warning(const QString& text)
{
    show(QMessageBox::Warning, text, QMessageBox::Ok);
}

void QtMessageSink::error(const QString& text)
{
    show(QMessageBox::Critical, text, QMessageBox::Ok);
}

bool QtMessageSink::question(const QString& text)
{
    return show(QMessageBox::NoIcon, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

} // namespace vantrell::ui
