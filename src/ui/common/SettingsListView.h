#pragma once

#include "base/roomhost/RoomCodec.h"

#include <vector>

#include <QTreeWidget>

namespace vantrell::ui {

// A room's settings list: "Settings" and "Value", one row per setting, in the room's order.
// Read-only; a click leaves no row selected, the list is there to be read.
class SettingsListView : public QTreeWidget
{
    Q_OBJECT

public:
    explicit SettingsListView(QWidget* parent = nullptr);

    void setRows(const std::vector<roomhost::SettingRow>& rows);
    std::vector<roomhost::SettingRow> rows() const;
};

} // namespace vantrell::ui
