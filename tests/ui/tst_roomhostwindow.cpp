#include "ProgramFixture.h"
#include "base/settings/ConfigFile.h"
#include "core/transfer/FileServerControl.h"
#include "support/RoomLab.h"
#include "support/RoomMemberScript.h"
#include "support/RoomWindows.h"
#include "support/Widgets.h"
#include "ui/common/MemberListView.h"
#include "ui/common/ReadyPictures.h"
#include "ui/common/SettingsListView.h"
#include "ui/lobby/TForm1.h"
#include "ui/roomhost/TForm5.h"
#include "ui/roomhost/TForm6.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

using namespace vantrell;

namespace {
// A file server made of a real listening socket on a port the test chooses, so a port in
// use fails for real.
class SocketFileServer : public core::FileServerControl
{
public:
    explicit SocketFileServer(quint16 port) : m_port(port) {}
    quint16 configuredPort() const override { return m_port; }
    bool isListening() const override { return m_server.isListening(); }
    bool start() override
    {
        ++starts;
        return m_server.listen(QHostAddress::AnyIPv4, m_port);
    }
    void stop() override
    {
        ++stops;
        m_server.close();
    }
    int starts = 0;
    int stops = 0;

private:
    quint16 m_port;
    QTcpServer m_server;
};

ui::TForm6& hostWindow(ProgramFixture& p)
{
    return *p.form6;
}

} // namespace

class TestRoomHostWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir m_maps;
    QString m_sourcePort;

    // A program whose configuration has every source port enabled and a usermaps folder,
    // and whose room port is `roomPort`.
    std::unique_ptr<ProgramFixture> program(quint16 roomPort, const QByteArray& extra = {},
                                            core::FileServerControl* fileServer = nullptr)
    {
        auto p = std::make_unique<ProgramFixture>(4444, 50, QString(), fileServer);
        const QByteArray maps = m_maps.path().toUtf8();
        const QByteArray exe = m_sourcePort.toUtf8();
        p->writeConfig(
            "[Configured Ports]\r\nUDPPort=23999\r\nTCPPort=" + QByteArray::number(roomPort) +
            "\r\n[Nicknames]\r\nLauncher Nickname=HostAnn\r\n"
            "[GamePath]\r\nhDuke Checkbox=1\r\nhDuke Path=" +
            exe + "\r\nEDuke32-OldMP Checkbox=1\r\nEDuke32-OldMP Path=" + exe +
            "\r\nnBlood Checkbox=1\r\nnBlood Path=" + exe +
            "\r\n[Usermaps Directorys]\r\nDuke3d Usermaps Path=" + maps +
            "\r\nBlood Usermaps Path=" + maps + "\r\n" + extra);
        p->start();
        return p;
    }

    // The player's way in: the menu command, the creation window, "Create room".
    void createRoom(ProgramFixture& p, SourcePort kind, const QString& name)
    {
        p.form1->createRoom(kind);
        QVERIFY(p.form5->isVisible());
        // The folder as the source-port window publishes it, and the lobby locked meanwhile.
        auto* userMaps = child<QComboBox>(p.form5, "userMapList");
        QVERIFY(userMaps->findText("castle.map") >= 0);
        QCOMPARE(menusEnabled(*p.form1), (QList<bool>{false, false, false, false}));
        QTest::keyClicks(child<QLineEdit>(p.form5, "roomNameEdit"), name);
        child<QPushButton>(p.form5, "createRoomButton")->click();
        QVERIFY(!p.form5->isVisible());
        QVERIFY(hostWindow(p).isVisible());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_maps.isValid());
        QFile map(QDir(m_maps.path()).filePath("castle.map"));
        QVERIFY(map.open(QIODevice::WriteOnly));
        m_sourcePort = QDir(m_maps.path()).filePath("sourceport.exe");
        QFile exe(m_sourcePort);
        QVERIFY(exe.open(QIODevice::WriteOnly));
    }

    void closingTheCreationWindowUnlocksTheLobby()
    {
        auto p = program(freePort());
        p->form1->createRoom(SourcePort::NBlood);
        QVERIFY(p->form5->isVisible());
        QCOMPARE(menusEnabled(*p->form1), (QList<bool>{false, false, false, false}));
        QVERIFY(p->form5->close());
        QCOMPARE(menusEnabled(*p->form1), (QList<bool>{true, true, true, true}));
        QVERIFY(!hostWindow(*p).isVisible());
        QVERIFY(!hostWindow(*p).room());
    }

    // Each opening lists the usermaps of the folder the file names at that moment.
    void creationWindowListsTheFolderInTheFile()
    {
        QTemporaryDir blood;
        QFile map(QDir(blood.path()).filePath("cradle.map"));
        QVERIFY(map.open(QIODevice::WriteOnly));
        auto p = program(freePort());
        settings::ConfigFile config(p->folder().toStdString());
        QVERIFY(config.writeString("Usermaps Directorys", "Blood Usermaps Path",
                                   blood.path().toStdString()));
        const auto listed = [&p](SourcePort kind) {
            p->form1->createRoom(kind);
            const QStringList items = itemsOf(child<QComboBox>(p->form5, "userMapList"));
            p->form5->close();
            return items;
        };
        QCOMPARE(listed(SourcePort::EDuke32OldMP), QStringList{"castle.map"});
        QCOMPARE(listed(SourcePort::NBlood), (QStringList{"None", "cradle.map"}));
        QVERIFY(config.writeString("Usermaps Directorys", "Duke3d Usermaps Path",
                                   blood.path().toStdString()));
        QCOMPARE(listed(SourcePort::HDuke), QStringList{"cradle.map"});
    }

    void openingShowsTheNewRoom_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("settingsRows");
        QTest::addColumn<bool>("recordDemo");
        QTest::newRow("hDuke") << int(SourcePort::HDuke) << 17 << true;
        QTest::newRow("OldMP") << int(SourcePort::EDuke32OldMP) << 12 << false;
        QTest::newRow("NBlood") << int(SourcePort::NBlood) << 4 << false;
    }
    void openingShowsTheNewRoom()
    {
        QFETCH(int, kind);
        QFETCH(int, settingsRows);
        QFETCH(bool, recordDemo);
        const quint16 port = freePort();
        auto p = program(port);
        createRoom(*p, SourcePort(kind), "Late game");
        ui::TForm6& form = hostWindow(*p);

        QCOMPARE(form.windowTitle(), QString("Late game"));
        QCOMPARE(logLines(form),
                 QStringList{QString("You are now hosting a room on TCP port %1.").arg(port)});
        QVERIFY(form.room() && form.room()->isListening());
        QCOMPARE(child<QCheckBox>(&form, "recordDemoBox")->isVisibleTo(&form), recordDemo);
        QCOMPARE(child<QPushButton>(&form, "advertiseButton")->text(), QString("Advertise Room"));

        auto* settings = child<ui::SettingsListView>(&form, "settingsList");
        QCOMPARE(settings->topLevelItemCount(), settingsRows);
        QCOMPARE(settings->topLevelItem(3)->text(1), QString("1/8"));
        QCOMPARE(settings->topLevelItem(1)->text(1),
                 QString::fromStdString(form.roomSettings().sourcePort()));

        auto* members = child<ui::MemberListView>(&form, "memberList");
        QCOMPARE(members->topLevelItemCount(), 1);
        QCOMPARE(members->topLevelItem(0)->text(ui::MemberListView::Nicknames), QString("HostAnn"));
        QCOMPARE(members->topLevelItem(0)->text(ui::MemberListView::UdpPort), QString("23999"));
        QCOMPARE(members->topLevelItem(0)->text(ui::MemberListView::RemoteIPs), QString(" "));
        QCOMPARE(pictureOf(form, 0), picture(ui::ReadyPictures::ready()));

        // The room keeps the main window's menus and "Connect" locked, chat usable.
        QCOMPARE(menusEnabled(*p->form1), (QList<bool>{false, false, false, false}));
        QVERIFY(child<QPushButton>(p->form1, "sendButton")->isEnabled());
        QVERIFY(!child<QPushButton>(p->form1, "connectButton")->isEnabled());
    }

    void membersChatAndClosing()
    {
        const quint16 port = freePort();
        auto p = program(port);
        createRoom(*p, SourcePort::HDuke, "Room");
        ui::TForm6& form = hostWindow(*p);
        auto* members = child<ui::MemberListView>(&form, "memberList");

        // The host's chat line with nobody there yet is still sent (to nobody) and logged.
        RoomMemberScript member;
        QVERIFY(member.connectTo(port));
        member.send("AddUserToList~Bob~Linux 64 bit ~10.0.0.7~23513");
        QTRY_COMPARE(members->topLevelItemCount(), 2);
        QCOMPARE(members->topLevelItem(1)->text(ui::MemberListView::Nicknames), QString("Bob"));
        QCOMPARE(members->topLevelItem(1)->text(ui::MemberListView::RemotePort),
                 QString::number(member.localPort()));
        QCOMPARE(pictureOf(form, 1), picture(ui::ReadyPictures::notReady()));
        member.send("ClientSentReadyMessage");
        QTRY_COMPARE(pictureOf(form, 1), picture(ui::ReadyPictures::ready()));

        auto* chat = child<QLineEdit>(&form, "chatEdit");
        chat->setText("hello all");
        QTest::keyClick(chat, Qt::Key_Return);
        QVERIFY(chat->text().isEmpty());
        QTRY_VERIFY(member.lines().contains("RoomChat~HostAnn~hello all"));
        QVERIFY(logLines(form).contains("HostAnn: hello all"));
        member.send("RoomChat~Bob~hi~there");
        QTRY_VERIFY(logLines(form).contains("Bob: hi"));

        // The main server's answer to the address request fills the host's own row.
        emit p->program->lobby().yourRemoteIP(QStringLiteral("198.51.100.20"));
        QCOMPARE(members->topLevelItem(0)->text(ui::MemberListView::RemoteIPs),
                 QString("198.51.100.20"));

        // Not logged in: advertising only advises.
        child<QPushButton>(&form, "advertiseButton")->click();
        QVERIFY(logLines(form).contains("You need to login before advertising a room!"));

        QSignalSpy launch(&form, &ui::TForm6::hostLaunchRequested);
        child<QPushButton>(&form, "Button2")->click();
        QCOMPARE(launch.count(), 1);

        // Closing ends the room for its members and gives the main window back.
        QVERIFY(form.close());
        QTRY_VERIFY(member.isClosed());
        QVERIFY(!form.isVisible());
        QCOMPARE(menusEnabled(*p->form1), (QList<bool>{true, true, true, true}));
        QVERIFY(child<QPushButton>(p->form1, "connectButton")->isEnabled());
        RoomMemberScript late;
        QVERIFY(!late.connectTo(port));
    }

    void chatStaysWhenNothingListens()
    {
        const quint16 port = freePort();
        QTcpServer squatter;
        QVERIFY(squatter.listen(QHostAddress::AnyIPv4, port));
        auto p = program(port);
        createRoom(*p, SourcePort::EDuke32OldMP, "Blocked");
        ui::TForm6& form = hostWindow(*p);
        QCOMPARE(logLines(form),
                 (QStringList{QString("Your room failed to start on TCP port %1.").arg(port),
                              "Try enabling UPnP in the \"Settings\" and \"Multiplayer and "
                              "Networking\" menu, or changing the port number.",
                              "You may need to forward your ports on your Router, or enable "
                              "UPnP on your Router settings."}));
        QVERIFY(form.isVisible());
        auto* chat = child<QLineEdit>(&form, "chatEdit");
        chat->setText("anyone?");
        child<QPushButton>(&form, "sendButton")->click();
        QCOMPARE(chat->text(), QString("anyone?"));
    }

    void unusableRoomPortSetting()
    {
        // A port the system would have to pick is no room port: the room does not start.
        auto p = program(0);
        createRoom(*p, SourcePort::NBlood, "Zero");
        QVERIFY(!hostWindow(*p).room()->isListening());
        QCOMPARE(logLines(hostWindow(*p)).value(0),
                 QString("Your room failed to start on TCP port 0."));
    }

    void fileServerStartsAndStopsWithTheRoom_data()
    {
        QTest::addColumn<bool>("portTaken");
        QTest::newRow("free") << false;
        QTest::newRow("in use") << true;
    }
    void fileServerStartsAndStopsWithTheRoom()
    {
        QFETCH(bool, portTaken);
        const quint16 filePort = freePort();
        QTcpServer squatter;
        if (portTaken)
            QVERIFY(squatter.listen(QHostAddress::AnyIPv4, filePort));
        SocketFileServer files(filePort);
        const quint16 port = freePort();
        auto p = program(port, {}, &files);
        createRoom(*p, SourcePort::HDuke, "Files");
        QCOMPARE(files.starts, 1);
        QCOMPARE(files.isListening(), !portTaken);
        const QStringList expected =
            portTaken
                ? QStringList{QString("You are now hosting a room on TCP port %1.").arg(port),
                              QString("Your room failed to use TCP port %1.").arg(filePort),
                              "This could cause problems when sending file transfers to "
                              "other players for usermaps."}
                : QStringList{QString("You are now hosting a room on TCP port %1.").arg(port)};
        QCOMPARE(logLines(hostWindow(*p)), expected);
        hostWindow(*p).close();
        QVERIFY(!files.isListening());
        QVERIFY(files.stops >= 1);
    }

    void windowSizeIsKept()
    {
        const quint16 port = freePort();
        auto p = program(port, "[Host Room Window Size]\r\nMain height=640\r\nMain width=900\r\n");
        createRoom(*p, SourcePort::HDuke, "Sized");
        ui::TForm6& form = hostWindow(*p);
        QCOMPARE(form.frameGeometry().size(), QSize(900, 640));
        form.resize(700, 500);
        QVERIFY(form.close());
        settings::ConfigFile config(p->folder().toStdString());
        const auto saved = config.restoreSize(ui::TForm6::kSizeSection);
        QCOMPARE(saved.height, std::optional<int>(form.frameGeometry().height()));
        QCOMPARE(saved.width, std::optional<int>(form.frameGeometry().width()));
        QVERIFY(p->messages.texts().isEmpty());

        // A width that does not convert leaves the width alone; the height still applies.
        QVERIFY(config.writeString(ui::TForm6::kSizeSection, "Main width", "wide"));
        QVERIFY(config.writeString(ui::TForm6::kSizeSection, "Main height", "610"));
        p->form1->EnableForm1Items();
        createRoom(*p, SourcePort::HDuke, "Again");
        QCOMPARE(form.frameGeometry().height(), 610);
        QCOMPARE(form.frameGeometry().width(), saved.width.value());
        QVERIFY(form.close());
    }

    void sizeThatCannotBeSavedIsReported()
    {
        const quint16 port = freePort();
        auto p = program(port);
        createRoom(*p, SourcePort::HDuke, "Doomed");
        // The file replaced by a folder: every write of it fails, whoever runs the test.
        QVERIFY(QFile::remove(p->configPath()));
        QVERIFY(QDir(p->folder()).mkdir("vantrel.cfg"));
        QVERIFY(hostWindow(*p).close());
        QCOMPARE(p->messages.texts(), QStringList{"Unable to save to the config file vantrel.cfg"});
        QVERIFY(!hostWindow(*p).isVisible());
        QVERIFY(!hostWindow(*p).room());
    }
};

QTEST_MAIN(TestRoomHostWindow)
#include "tst_roomhostwindow.moc"
