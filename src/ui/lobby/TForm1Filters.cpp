#include "base/lobby/RoomFilter.h"
#include "base/settings/Settings.h"
#include "core/common/QtStrings.h"
#include "ui/common/MessageSink.h"
#include "ui/lobby/RoomListView.h"
#include "ui/lobby/TForm1.h"

#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>

// The main window's "View" menu: the room list's filters.
namespace vantrell::ui {

void TForm1::buildViewMenu()
{
    m_viewMenu = menuBar()->addMenu(QStringLiteral("View"));
    for (const settings::RoomFilterSettings::Entry& entry :
         settings::RoomFilterSettings::entries()) {
        QAction* action = m_viewMenu->addAction(core::qs(entry.key));
        action->setCheckable(true);
        // On the player's click only, so that loading the checks writes nothing.
        connect(action, &QAction::triggered, this, [this, value = entry.value](bool checked) {
            m_settings.roomFilters.*value = checked;
            if (const Result<void> saved = m_settings.roomFilters.save(m_settings.file); !saved)
                m_messages.error(QString::fromStdString(saved.error()));
            filterRooms();
        });
    }
}

void TForm1::loadRoomFilters()
{
    m_settings.roomFilters.load(m_settings.file);
    const QList<QAction*> actions = m_viewMenu->actions();
    const auto entries = settings::RoomFilterSettings::entries();
    for (qsizetype i = 0; i < actions.size() && i < qsizetype(entries.size()); ++i)
        actions.at(i)->setChecked(m_settings.roomFilters.*entries[size_t(i)].value);
    filterRooms();
}

void TForm1::filterRooms(const std::vector<lobby::RoomRecord>* rooms)
{
    const settings::RoomFilterSettings& filters = m_settings.roomFilters;
    std::vector<SourcePort> setUp;
    if (filters.onlySetUpPorts) {
        // The file's word counts at the moment the list is filtered, as for a join; a copy,
        // so that a source-port window open with unsaved changes keeps them.
        settings::SourcePortSettings sourcePorts = m_settings.sourcePorts;
        sourcePorts.load(m_settings.file);
        setUp = lobby::setUpRoomPorts(sourcePorts, [](const std::string& path) {
            return QFileInfo(QString::fromStdString(path)).isFile();
        });
    }
    m_roomList->setFilters(filters, std::move(setUp));
    if (rooms)
        m_roomList->setRooms(*rooms);
    m_roomCountLabel->setText(QStringLiteral("%1 of %2 rooms")
                                  .arg(m_roomList->shownCount())
                                  .arg(m_roomList->listedCount()));
    m_roomCountLabel->setVisible(filters.any());
}

} // namespace vantrell::ui
