#pragma once

#include "support/Widgets.h"
#include "ui/common/MemberListView.h"

#include <QImage>
#include <QPixmap>
#include <QPlainTextEdit>

// What the tests of the two room windows read: the room log by line and the ready pictures.

inline QStringList logLines(const QWidget* window)
{
    return child<QPlainTextEdit>(window, "roomLog")->toPlainText().split('\n');
}
inline QStringList logLines(const QWidget& window)
{
    return logLines(&window);
}

// A picture as the tests compare it: its pixels in one format.
inline QImage picture(const QPixmap& pixmap)
{
    return pixmap.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// The ready picture of a member row; a null image while there is no such row.
inline QImage pictureOf(const QWidget* window, int row)
{
    const QTreeWidgetItem* item =
        child<vantrell::ui::MemberListView>(window, "memberList")->topLevelItem(row);
    return item ? picture(item->icon(vantrell::ui::MemberListView::Ready).pixmap(16, 16))
                : QImage();
}
inline QImage pictureOf(const QWidget& window, int row)
{
    return pictureOf(&window, row);
}
