// The whole join against the real vantrell-server and a local HTTPS web site: other
// lobbies advertise rooms, this program lists them and joins one.

#include "ProgramFixture.h"
#include "server/ServerHarness.h"
#include "support/HttpsTestServer.h"
#include "support/ScriptedServer.h"
#include "support/Widgets.h"
#include "ui/lobby/RoomListView.h"
#include "ui/lobby/TForm1.h"
#include "ui/roomclient/TForm7.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QTest>

using namespace vantrell;

namespace {

const QString kDownloadError = QStringLiteral(
    "An error occured while downloading the usermap file from the website database!!");

// Another lobby that logs in and advertises one hDuke room.
std::unique_ptr<LobbyClient> advertise(quint16 serverPort, const std::string& host,
                                       const std::string& room, const std::string& roomPort,
                                       const std::string& players, const std::string& map)
{
    auto client = std::make_unique<LobbyClient>(serverPort);
    if (!client->loginInOrder(host))
        qFatal("%s cannot log in", host.c_str());
    client->send(lobby::AdvertiseRoom{host, "0", roomPort, room, "Duke Nukem 3D", "hDuke", players,
                                      map, "DukeMatch", "Let's Rock", "No"});
    if (!client->roundTrip())
        qFatal("%s's room was not taken", host.c_str());
    return client;
}

} // namespace

class TestJoinRoom : public QObject
{
    Q_OBJECT

    TestCertificates m_certificates;
    std::unique_ptr<HttpsTestServer> m_web;

    ServerProcess m_server;
    // Where Bob's room listens: the room window the join opens connects to it.
    std::unique_ptr<ScriptedServer> m_bobsRoom;
    std::unique_ptr<LobbyClient> m_bob;
    std::unique_ptr<LobbyClient> m_cy;

    // The program connected to the main server, with hDuke set up, the web site at the local
    // HTTPS server, and the two advertised rooms listed.
    void start(ProgramFixture& program, bool folderPresent = true, int rooms = 2)
    {
        program.env.webHost = m_web->authority();
        program.env.tls.setCaCertificates({m_certificates.authority});
        const QString maps = QDir(program.folder()).filePath(QStringLiteral("maps"));
        const QString exe = QDir(program.folder()).filePath(QStringLiteral("hduke"));
        if (folderPresent)
            QVERIFY(QDir().mkpath(maps));
        QFile executable(exe);
        QVERIFY(executable.open(QIODevice::WriteOnly));
        program.writeConfig(QStringLiteral("[GamePath]\r\nhDuke Checkbox=1\r\nhDuke Path=%1\r\n"
                                           "[Usermaps Directorys]\r\nDuke3d Usermaps Path=%2\r\n")
                                .arg(exe, maps)
                                .toUtf8());
        program.start();
        program.form1->connectClick();
        QTRY_VERIFY_WITH_TIMEOUT(program.form1->isConnected(), 10000);
        program.form1->getRoomsListClick();
        QTRY_COMPARE(program.form1->roomList()->model()->rowCount(), rooms);
    }

    std::string bobsRoomPort() const { return std::to_string(m_bobsRoom->port()); }

    static void doubleClickRoom(ui::RoomListView& list, const QString& name)
    {
        for (int row = 0; row < list.model()->rowCount(); ++row) {
            const QModelIndex index = list.model()->index(row, 1);
            if (index.data().toString() != name)
                continue;
            const QPoint at = list.visualRect(index).center();
            QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, at);
            return;
        }
        QFAIL(qPrintable(QStringLiteral("no room ") + name));
    }

private slots:
    void initTestCase()
    {
        QCOMPARE(m_certificates.make(), QString());
        m_web = std::make_unique<HttpsTestServer>(m_certificates.server, m_certificates.serverKey);
        HttpsTestResponse map;
        map.body = QByteArray(96 * 1024, 'u');
        map.chunkSize = 8 * 1024;
        map.chunkIntervalMs = 60;
        m_web->setResponse(QStringLiteral("/content/uploaded_files/zed.map"), map);

        QVERIFY(m_server.start());
        m_bobsRoom = std::make_unique<ScriptedServer>();
        m_bob = advertise(m_server.port(), "Bob", "Zed's room", bobsRoomPort(), "2/8", "zed.map");
        m_cy =
            advertise(m_server.port(), "Cy", "Arena", "8503", "10/16", "E1L1: Hollywood Holocaust");
    }

    // The whole way: the list from the main server, sorted, a double-click, the usermap with
    // the bar moving, the room window for the room that was clicked.
    void joinsWithAUsermapFromTheWebSite()
    {
        ProgramFixture program(m_server.port());
        start(program);
        auto* list = program.form1->roomList();
        list->sortByColumn(1); // "Arena" first
        QCOMPARE(list->model()->index(0, 1).data().toString(), QStringLiteral("Arena"));

        auto* bar = child<QProgressBar>(program.form1, "fileTransferBar");
        QList<int> values;
        connect(bar, &QProgressBar::valueChanged, this, [&values](int v) { values << v; });
        const int requests = m_web->requests().size();
        doubleClickRoom(*list, QStringLiteral("Zed's room"));
        QTRY_VERIFY(!values.isEmpty());
        // The list is rebuilt and clicked again while the map downloads: one join only.
        program.form1->getRoomsListClick();
        QTest::qWait(50);
        doubleClickRoom(*list, QStringLiteral("Zed's room"));

        ui::TForm7& room = program.program->form7();
        QTRY_VERIFY_WITH_TIMEOUT(room.isVisible(), 10000);
        QCOMPARE(room.room(),
                 (lobby::RoomAddress{"127.0.0.1", bobsRoomPort(), "hDuke", "Zed's room"}));
        QCOMPARE(m_web->requests().size(), requests + 1);
        QCOMPARE(bar->maximum(), 96 * 1024);
        QCOMPARE(bar->value(), 96 * 1024);
        QVERIFY2(values.size() >= 3, "the bar moved in steps");
        const QString target = QDir(program.folder()).filePath(QStringLiteral("maps/zed.map"));
        QCOMPARE(QFileInfo(target).size(), 96 * 1024);
        const QStringList log = program.form1->lobbyLogLines();
        QVERIFY(log.contains(target + QStringLiteral(" does not exist.")));
        QVERIFY(
            log.contains(QStringLiteral("Downloading: https://%1/content/uploaded_files/zed.map")
                             .arg(m_web->authority())));
        QCOMPARE(log.last(), QStringLiteral("Recieved %1 of 98304 bytes.").arg(target));
        QCOMPARE(program.messages.texts(), QStringList());

        // With the room window open a double-click only brings it up.
        const int lines = program.form1->lobbyLogLines().size();
        doubleClickRoom(*list, QStringLiteral("Arena"));
        QTest::qWait(100);
        QCOMPARE(program.form1->lobbyLogLines().size(), lines);
        QCOMPARE(room.room().port, bobsRoomPort());
    }

    void folderMissingShowsTheBoxAndNoRoom()
    {
        ProgramFixture program(m_server.port());
        start(program, false);
        auto* list = program.form1->roomList();
        doubleClickRoom(*list, QStringLiteral("Zed's room"));
        QTRY_COMPARE(program.messages.texts(), QStringList{kDownloadError});
        const QStringList log = program.form1->lobbyLogLines();
        QVERIFY(log.contains(QStringLiteral("Your UserMaps directory location is invalid!")));
        QVERIFY(log.last().startsWith(QStringLiteral("Downloading: https://")));
        QTest::qWait(100);
        QVERIFY(!program.program->form7().isVisible());
    }

    void closingTheMainWindowStopsTheDownload()
    {
        ProgramFixture program(m_server.port());
        start(program);
        auto* list = program.form1->roomList();
        auto* bar = child<QProgressBar>(program.form1, "fileTransferBar");
        doubleClickRoom(*list, QStringLiteral("Zed's room"));
        QTRY_VERIFY(bar->value() > 0);
        program.form1->close();
        const QDir maps(QDir(program.folder()).filePath(QStringLiteral("maps")));
        QVERIFY(maps.isEmpty(QDir::Files | QDir::Hidden | QDir::System));
        QTest::qWait(300);
        QVERIFY(maps.isEmpty(QDir::Files | QDir::Hidden | QDir::System));
        QVERIFY(!program.program->form7().isVisible());
    }

    // The "View" menu over the real server's list: filters, sort and selection hold across
    // rebuilds, set-up ports follow the file, and the checks are kept for the next start.
    void viewMenuFiltersTheList()
    {
        LobbyClient dee(m_server.port()), eve(m_server.port());
        QVERIFY(dee.loginInOrder("Dee") && eve.loginInOrder("Eve"));
        dee.send(lobby::AdvertiseRoom{"Dee", "0", "8504", "Full house", "Duke Nukem 3D", "hDuke",
                                      "8/8", "DM7.MAP", "DukeMatch", "Let's Rock", "Yes"});
        eve.send(lobby::AdvertiseRoom{"Eve", "1", "8505", "Blood bath", "Blood Game", "NBlood",
                                      "1/4", "cryptic.map", "", "", "No"});
        QVERIFY(dee.roundTrip() && eve.roundTrip());
        ProgramFixture program(m_server.port());
        start(program, true, 4);
        QCOMPARE(program.form1->menuBar()->actions().at(2)->text(), QStringLiteral("View"));
        const auto entries = program.form1->menuBar()->actions().at(2)->menu()->actions();
        auto* list = program.form1->roomList();
        const auto names = [list] {
            QStringList out;
            for (const auto& room : list->shownRooms())
                out << QString::fromStdString(room.roomName);
            return out;
        };
        QLabel* count = program.form1->roomCountLabel();
        QVERIFY(!count->isVisible());
        list->sortByColumn(1);
        QVERIFY(list->selectRoom(list->shownRooms().at(3).id)); // "Zed's room"
        entries.at(0)->trigger();                               // "Hide Full Rooms"
        entries.at(3)->trigger(); // "Only Source Ports I Have Set Up": hDuke
        QCOMPARE(names(), (QStringList{"Arena", "Zed's room"}));
        QVERIFY(count->isVisible());
        QCOMPARE(count->text(), QStringLiteral("2 of 4 rooms"));
        QVERIFY(program.readConfig().contains("[Room List Filters]\r\nHide Full Rooms=1\r\n"));
        eve.disconnect();
        program.form1->getRoomsListClick();
        QTRY_COMPARE(count->text(), QStringLiteral("2 of 3 rooms"));
        QCOMPARE(names(), (QStringList{"Arena", "Zed's room"}));
        QCOMPARE(list->selectedRoom()->roomName, std::string("Zed's room"));
        QVERIFY(program.program->settings().file.writeBool("GamePath", "hDuke Checkbox", false));
        program.form1->getRoomsListClick();
        QTRY_COMPARE(count->text(), QStringLiteral("0 of 3 rooms"));
        QVERIFY(!list->selectedRoom());
        ProgramFixture next(m_server.port(), 50, program.folder());
        next.start();
        QCOMPARE(next.program->settings().roomFilters,
                 (settings::RoomFilterSettings{true, false, false, true}));
        QVERIFY(next.form1->menuBar()->actions().at(2)->menu()->actions().at(3)->isChecked());
    }
};

QTEST_MAIN(TestJoinRoom)
#include "tst_joinroom.moc"
