#include "base/lobby/MainServerCodec.h"
#include "ui/common/PrivatePicture.h"
#include "ui/lobby/RoomListView.h"

#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

using namespace vantrell;
using Column = ui::RoomListModel::Column;

Q_DECLARE_METATYPE(vantrell::lobby::JoinRow)

namespace {

struct Room
{
    const char* id;
    const char* name;
    const char* players = "1/8";
    const char* flag = "0";
};

// The rooms as the main server sends them, through the real parser.
std::vector<lobby::RoomRecord> roomsFromLine(std::initializer_list<Room> rooms)
{
    std::string line = "NewRoomsListUpdate~" + std::to_string(rooms.size());
    int n = 0;
    for (const Room& r : rooms) {
        ++n;
        line += "~Host~203.0.113." + std::to_string(n) + "~" + r.flag + "~" + r.name +
                "~Duke Nukem 3D~hDuke~" + r.players + "~DM7.MAP~DukeMatch~Let's Rock~No~" + r.id +
                "~850" + std::to_string(n);
    }
    const auto message = lobby::parseServerMessage(line);
    if (!message || !std::holds_alternative<lobby::NewRoomsListUpdate>(*message))
        qFatal("not a room list line: %s", line.c_str());
    return std::get<lobby::NewRoomsListUpdate>(*message).rooms;
}

QStringList shownNames(const ui::RoomListView& view)
{
    QStringList names;
    for (const auto& room : view.shownRooms())
        names << QString::fromStdString(room.roomName);
    return names;
}

QString selectedId(const ui::RoomListView& view)
{
    const auto room = view.selectedRoom();
    return room ? QString::fromStdString(room->id) : QString();
}

} // namespace

class TestRoomListView : public QObject
{
    Q_OBJECT

private slots:
    void rebuildsWholeFromEachLine()
    {
        ui::RoomListView view;
        view.setRooms(roomsFromLine({{"1", "Alpha"}, {"2", "Bravo"}, {"3", "Charlie"}}));
        QCOMPARE(shownNames(view), (QStringList{"Alpha", "Bravo", "Charlie"}));
        view.setRooms(roomsFromLine({{"4", "Delta"}}));
        QCOMPARE(shownNames(view), QStringList{"Delta"});
        view.setRooms({});
        QCOMPARE(shownNames(view), QStringList());

        // The cells in column order, the address in the last (hidden) column.
        view.setRooms(roomsFromLine({{"9", "Echo", "3/8", "1"}}));
        QAbstractItemModel* model = view.model();
        QStringList cells;
        for (int c = Column::RoomName; c < Column::ColumnCount; ++c)
            cells << model->index(0, c).data().toString();
        QCOMPARE(cells, (QStringList{"Echo", "Duke Nukem 3D", "hDuke", "3/8", "DM7.MAP",
                                     "DukeMatch", "Let's Rock", "No", "9", "8501", "203.0.113.1"}));
        for (int c : {Column::Id, Column::RoomPort, Column::Ip})
            QVERIFY(view.isColumnHidden(c));
    }

    void privateRoomsShowThePadlock()
    {
        ui::RoomListView view;
        view.setRooms(roomsFromLine({{"1", "Open"}, {"2", "Locked", "1/8", "1"}}));
        const QAbstractItemModel* model = view.model();
        QVERIFY(model->index(0, Column::Private).data(Qt::DecorationRole).isNull());
        const auto picture = model->index(1, Column::Private).data(Qt::DecorationRole);
        QVERIFY(picture.canConvert<QPixmap>());
        const QImage lock = picture.value<QPixmap>().toImage();
        QCOMPARE(lock.size(), QSize(16, 16));
        QCOMPARE(lock, ui::PrivatePicture::padlock().toImage());
        // Drawn, not blank: a transparent corner and an opaque body.
        QCOMPARE(qAlpha(lock.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(lock.pixel(4, 12)), 255);
        QCOMPARE(model->index(1, Column::Private).data().toString(), QString());
    }

    void sorts_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("clicks");
        QTest::addColumn<QStringList>("order");
        // After a rebuild that lists the rooms in reverse.
        QTest::addColumn<QStringList>("rebuilt");
        QTest::newRow("server order until a click")
            << -1 << 0 << QStringList{"c", "A", "b", "D"} << QStringList{"D", "b", "A", "c"};
        QTest::newRow("name, letter case ignored")
            << int(Column::RoomName) << 1 << QStringList{"A", "b", "c", "D"}
            << QStringList{"A", "b", "c", "D"};
        QTest::newRow("name, second click reverses")
            << int(Column::RoomName) << 2 << QStringList{"D", "c", "b", "A"}
            << QStringList{"D", "c", "b", "A"};
        QTest::newRow("players by number")
            << int(Column::Players) << 1 << QStringList{"A", "b", "D", "c"}
            << QStringList{"A", "b", "D", "c"};
        QTest::newRow("private rooms last, ties keep the server's order")
            << int(Column::Private) << 1 << QStringList{"c", "b", "D", "A"}
            << QStringList{"D", "b", "c", "A"};
        QTest::newRow("a hidden column is never sorted")
            << int(Column::Id) << 1 << QStringList{"c", "A", "b", "D"}
            << QStringList{"D", "b", "A", "c"};
    }

    void sorts()
    {
        QFETCH(int, column);
        QFETCH(int, clicks);
        QFETCH(QStringList, order);
        QFETCH(QStringList, rebuilt);
        ui::RoomListView view;
        view.setRooms(roomsFromLine(
            {{"1", "c", "10/16"}, {"2", "A", "2/8", "1"}, {"3", "b", "2/10"}, {"4", "D", "10/8"}}));
        for (int i = 0; i < clicks; ++i)
            view.sortByColumn(column);
        QCOMPARE(shownNames(view), order);
        // The sort holds when the list is rebuilt in another order.
        view.setRooms(roomsFromLine(
            {{"4", "D", "10/8"}, {"3", "b", "2/10"}, {"2", "A", "2/8", "1"}, {"1", "c", "10/16"}}));
        QCOMPARE(shownNames(view), rebuilt);
    }

    void selectionFollowsTheRoomsId()
    {
        ui::RoomListView view;
        view.setRooms(roomsFromLine({{"1", "a"}, {"2", "b"}, {"3", "c"}}));
        QVERIFY(!view.selectedRoom());
        QVERIFY(view.selectRoom("2"));
        // Moved, renamed, and now first after sorting: still the selected one.
        view.sortByColumn(Column::RoomName);
        view.setRooms(roomsFromLine({{"3", "c"}, {"1", "z"}, {"2", "0 renamed"}}));
        QCOMPARE(selectedId(view), QStringLiteral("2"));
        QCOMPARE(view.currentIndex().row(), 0);
        // Gone from the list: nothing is selected, not the room that took its place.
        view.setRooms(roomsFromLine({{"3", "c"}, {"1", "z"}}));
        QCOMPARE(selectedId(view), QString());
        view.setRooms(roomsFromLine({{"2", "back"}}));
        QCOMPARE(selectedId(view), QString());
    }

    // A refresh keeps the place the player scrolled to, away from the selected room.
    void refreshKeepsTheScrollPosition()
    {
        ui::RoomListView view;
        view.show();
        std::vector<lobby::RoomRecord> rooms(40, roomsFromLine({{"0", "a"}}).front());
        for (size_t i = 0; i < rooms.size(); ++i)
            rooms[i].id = std::to_string(i);
        view.setRooms(rooms);
        QVERIFY(view.selectRoom("0"));
        view.verticalScrollBar()->setValue(20);
        view.setRooms(rooms);
        QCOMPARE(view.verticalScrollBar()->value(), 20);
    }

    void doubleClickAsksToJoinWithTheRowsValues()
    {
        ui::RoomListView view;
        view.resize(1400, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QSignalSpy join(&view, &ui::RoomListView::joinRequested);
        // Below the last row: nothing is joined.
        view.setRooms(roomsFromLine({{"1", "a"}, {"2", "b"}}));
        QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, QPoint(200, 280));
        QCOMPARE(join.size(), 0);

        const QRect second = view.visualRect(view.model()->index(1, Column::RoomName));
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, second.center());
        QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, second.center());
        QCOMPARE(join.size(), 1);
        const auto row = join.first().first().value<lobby::JoinRow>();
        QCOMPARE(QString::fromStdString(row.ip), QStringLiteral("203.0.113.2"));
        QCOMPARE(QString::fromStdString(row.roomPort), QStringLiteral("8502"));
        QCOMPARE(QString::fromStdString(row.sourcePort), QStringLiteral("hDuke"));
        QCOMPARE(QString::fromStdString(row.game), QStringLiteral("Duke Nukem 3D"));
        QCOMPARE(QString::fromStdString(row.map), QStringLiteral("DM7.MAP"));
    }

    // Dragging a header elsewhere leaves every column where it is.
    void columnsKeepTheirOrder()
    {
        ui::RoomListView view;
        view.resize(900, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QHeaderView* head = view.header();
        const auto at = [head](int column) {
            return QPointF(head->sectionViewportPosition(column) + 10, head->height() / 2);
        };
        const auto mouse = [head](QEvent::Type type, QPointF pos, Qt::MouseButtons held) {
            QMouseEvent event(type, pos, head->viewport()->mapToGlobal(pos),
                              type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held,
                              Qt::NoModifier);
            QApplication::sendEvent(head->viewport(), &event);
        };
        mouse(QEvent::MouseButtonPress, at(Column::RoomName), Qt::LeftButton);
        mouse(QEvent::MouseMove, at(Column::RoomName) + QPointF(40, 0), Qt::LeftButton);
        mouse(QEvent::MouseMove, at(Column::RoomName + 3), Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, at(Column::RoomName + 3), Qt::NoButton);
        for (int column = 0; column < ui::RoomListModel::ColumnCount; ++column)
            QCOMPARE(head->visualIndex(column), column);
    }

    void inGameColumnKeepsItsWidth()
    {
        ui::RoomListView view;
        QHeaderView* head = view.header();
        QCOMPARE(head->sectionSize(Column::InGame), 100);
        head->resizeSection(Column::InGame, 30);
        QCOMPARE(head->sectionSize(Column::InGame), 100);
        head->resizeSection(Column::InGame, 140);
        QCOMPARE(head->sectionSize(Column::InGame), 140);
    }
};

QTEST_MAIN(TestRoomListView)
#include "tst_roomlistview.moc"
