#include "base/common/SourcePorts.h"
#include "base/launch/PortCommandLines.h"
#include "base/roomhost/RoomSettings.h"
#include "base/settings/SourcePortSettings.h"

#include <QTest>

using namespace vantrell;

class TestSourcePorts : public QObject
{
    Q_OBJECT

private slots:
    // Every row in its place, and the names a room port is found by lead back to it. The
    // shown name and the stored one differ for NBlood: its keys keep the settings file's
    // spelling, its rooms the one peers know.
    void rows_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("enabledKey");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("settingsRows");
        QTest::newRow("EDuke32-OldMP") << 0 << "EDuke32-OldMP"
                                       << "EDuke32-OldMP Checkbox"
                                       << "OldMP" << 12;
        QTest::newRow("hDuke") << 1 << "hDuke"
                               << "hDuke Checkbox"
                               << "hDuke" << 17;
        QTest::newRow("nDuke") << 2 << "nDuke"
                               << "nDuke Checkbox"
                               << "" << 0;
        QTest::newRow("EDuke32") << 3 << "EDuke32"
                                 << "EDuke32 Checkbox"
                                 << "" << 0;
        QTest::newRow("NBlood") << 4 << "NBlood"
                                << "nBlood Checkbox"
                                << "NBlood" << 4;
        QTest::newRow("VoidSW") << 5 << "VoidSW"
                                << "VoidSW Checkbox"
                                << "" << 0;
    }

    void rows()
    {
        QFETCH(int, port);
        QFETCH(QString, shown);
        QFETCH(QString, enabledKey);
        QFETCH(QString, kind);
        QFETCH(int, settingsRows);
        const SourcePortRow& row = sourcePortRows()[std::size_t(port)];
        QCOMPARE(int(row.port), port);
        QCOMPARE(QString::fromLatin1(row.name.data(), row.name.size()), shown);
        QCOMPARE(QString::fromStdString(settings::SourcePortSettings::enabledKey(row.port)),
                 enabledKey);
        QCOMPARE(row.hostsRooms(), !kind.isEmpty());
        QCOMPARE(launch::commandLinesFor(row.port) != nullptr, row.hostsRooms());
        if (!row.hostsRooms()) {
            QVERIFY(!roomPortNamed(row.name));
            return;
        }
        QCOMPARE(roomPortNamed(row.name), std::optional(row.port));
        QCOMPARE(roomPortOfKind(kind.toStdString()), std::optional(row.port));
        QCOMPARE(roomPortWithRows(std::size_t(settingsRows)), std::optional(row.port));
        // The list a room of the port builds is the length members tell the port by, and
        // names the port and its game as the table does.
        roomhost::RoomSettings room;
        room.kind = row.port;
        const auto list = roomhost::buildSettingsList(room, 1);
        QCOMPARE(list.size(), std::size_t(settingsRows));
        QCOMPARE(list[roomhost::kSourcePortRow].value, std::string(row.name));
        QCOMPARE(list[roomhost::kGameRow].value, std::string(gameRow(row.game).roomName));
    }

    // Names differing in case, stored spellings and create-room names are no room names.
    void lookupsTakeExactNames()
    {
        for (const char* name : {"hduke", "nBlood", "OldMP", "EDuke32", ""})
            QVERIFY2(!roomPortNamed(name), name);
        QVERIFY(!roomPortOfKind("EDuke32-OldMP"));
        QCOMPARE(gameWithRoomName("Blood Game"), std::optional(Game::Blood));
        QVERIFY(!gameWithRoomName(""));
    }
};

QTEST_APPLESS_MAIN(TestSourcePorts)
#include "tst_sourceports.moc"
