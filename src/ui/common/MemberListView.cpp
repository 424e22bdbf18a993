#include "ui/common/MemberListView.h"

#include "core/common/QtStrings.h"
#include "ui/common/ReadyPictures.h"

#include <QHeaderView>

namespace vantrell::ui {

using core::qs;

namespace {
constexpr int kReadyCodeRole = Qt::UserRole;
} // namespace

MemberListView::MemberListView(const MemberColumnWidths& widths, QWidget* parent)
    : QTreeWidget(parent)
{
    setObjectName(QStringLiteral("memberList"));
    setColumnCount(ColumnCount);
    setHeaderLabels(
        {QStringLiteral("Ready"), QStringLiteral("Nicknames"), QStringLiteral("Operating System"),
         QStringLiteral("Remote IPs"), QStringLiteral("Local IPs"), QStringLiteral("Team"),
         QStringLiteral("Remote Port"), QStringLiteral("UDP Port"), QStringLiteral("Ping")});
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setIconSize(QSize(ReadyPictures::kSize, ReadyPictures::kSize));

    QHeaderView* head = header();
    head->setStretchLastSection(false);
    head->setMinimumSectionSize(0);
    head->resizeSection(Ready, widths.ready);
    head->resizeSection(Nicknames, widths.nicknames);
    head->resizeSection(OperatingSystem, widths.operatingSystem);
    head->resizeSection(RemoteIPs, widths.remoteIps);
    head->resizeSection(LocalIPs, widths.localIps);
    head->resizeSection(Team, widths.team);
    head->setSectionResizeMode(Team, QHeaderView::Fixed);
    head->resizeSection(Ping, widths.ping);
    head->setSectionResizeMode(Ping, QHeaderView::Fixed);
    for (int hidden : {RemotePort, UdpPort}) {
        head->resizeSection(hidden, 0);
        head->setSectionResizeMode(hidden, QHeaderView::Fixed);
    }
}

void MemberListView::setPing(int row, const QString& ping)
{
    if (QTreeWidgetItem* item = topLevelItem(row))
        item->setText(Ping, ping);
}

void MemberListView::setMembers(const std::vector<roomhost::MemberRow>& members)
{
    QString selectedPort;
    bool hostSelected = false;
    if (auto* current = currentItem(); current && current->isSelected()) {
        selectedPort = current->text(RemotePort);
        hostSelected = indexOfTopLevelItem(current) == 0;
    }

    clear();
    const QPixmap ready = ReadyPictures::ready();
    const QPixmap notReady = ReadyPictures::notReady();
    for (const auto& m : members) {
        auto* item = new QTreeWidgetItem(this);
        item->setData(Ready, kReadyCodeRole, qs(m.readyCode));
        if (m.readyCode == "0")
            item->setIcon(Ready, ready);
        else if (m.readyCode == "1")
            item->setIcon(Ready, notReady);
        item->setText(Nicknames, qs(m.nickname));
        item->setText(OperatingSystem, qs(m.os));
        item->setText(RemoteIPs, qs(m.remoteAddress));
        item->setText(LocalIPs, qs(m.localAddress));
        item->setText(Team, qs(m.team));
        item->setText(RemotePort, qs(m.remotePort));
        item->setText(UdpPort, qs(m.udpPort));
        item->setText(Ping, qs(m.ping));
    }

    for (int i = 0; i < topLevelItemCount(); ++i) {
        auto* item = topLevelItem(i);
        if ((hostSelected && i == 0) ||
            (!hostSelected && !selectedPort.isEmpty() && item->text(RemotePort) == selectedPort)) {
            setCurrentItem(item);
            break;
        }
    }
}

std::vector<roomhost::MemberRow> MemberListView::members() const
{
    std::vector<roomhost::MemberRow> rows;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        const auto* item = topLevelItem(i);
        roomhost::MemberRow m;
        m.readyCode = item->data(Ready, kReadyCodeRole).toString().toStdString();
        m.nickname = item->text(Nicknames).toStdString();
        m.os = item->text(OperatingSystem).toStdString();
        m.remoteAddress = item->text(RemoteIPs).toStdString();
        m.localAddress = item->text(LocalIPs).toStdString();
        m.team = item->text(Team).toStdString();
        m.remotePort = item->text(RemotePort).toStdString();
        m.udpPort = item->text(UdpPort).toStdString();
        m.ping = item->text(Ping).toStdString();
        rows.push_back(std::move(m));
    }
    return rows;
}

} // namespace vantrell::ui
