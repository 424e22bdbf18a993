#include "ui/common/SettingsListView.h"

#include <QHeaderView>

namespace vantrell::ui {

SettingsListView::SettingsListView(QWidget* parent) : QTreeWidget(parent)
{
    setObjectName(QStringLiteral("settingsList"));
    setColumnCount(2);
    setHeaderLabels({QStringLiteral("Settings"), QStringLiteral("Value")});
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    header()->resizeSection(0, 120);
    header()->resizeSection(1, 173);
    connect(this, &QTreeWidget::itemClicked, this,
            [](QTreeWidgetItem* item) { item->setSelected(false); });
}

void SettingsListView::setRows(const std::vector<roomhost::SettingRow>& rows)
{
    clear();
    for (const auto& row : rows) {
        auto* item = new QTreeWidgetItem(this);
        item->setText(0, QString::fromStdString(row.name));
        item->setText(1, QString::fromStdString(row.value));
    }
}

std::vector<roomhost::SettingRow> SettingsListView::rows() const
{
    std::vector<roomhost::SettingRow> out;
    for (int i = 0; i < topLevelItemCount(); ++i)
        out.push_back(
            {topLevelItem(i)->text(0).toStdString(), topLevelItem(i)->text(1).toStdString()});
    return out;
}

} // namespace vantrell::ui
