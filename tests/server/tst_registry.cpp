// The server's users and rooms, and the lines built from them.
#include "base/common/LineFraming.h"
#include "server/Registry.h"

#include <QTest>

using namespace vantrell;
using namespace vantrell::server;

namespace {

lobby::AdvertiseRoom room(const std::string& name, const std::string& port = "8501")
{
    return lobby::AdvertiseRoom{"Host",          "0",          port,  name,
                                "Duke Nukem 3D", "hDuke",      "1/8", "E1L1",
                                "DukeMatch",     "Let's Rock", "No"};
}

// The line as a lobby reads it: without its line end, and parsed.
std::string text(const SharedLine& line)
{
    return line->substr(0, line->size() - 2);
}

} // namespace

class TestRegistry : public QObject
{
    Q_OBJECT

private slots:
    void nicknamesAreCleanedForTildeLines_data()
    {
        QTest::addColumn<QByteArray>("received");
        QTest::addColumn<QByteArray>("kept");
        QTest::newRow("plain") << QByteArray("Ann") << QByteArray("Ann");
        QTest::newRow("tilde") << QByteArray("a~b~") << QByteArray("a?b?");
        QTest::newRow("utf-8") << QByteArray("J\xc3\xb6rg") << QByteArray("J?rg");
        QTest::newRow("comma and quote stay") << QByteArray("\"S, J\"") << QByteArray("\"S, J\"");
    }
    void nicknamesAreCleanedForTildeLines()
    {
        QFETCH(QByteArray, received);
        QFETCH(QByteArray, kept);
        QCOMPARE(QByteArray::fromStdString(Registry::cleanNickname(received.toStdString())), kept);
    }

    void longListsAreCutToOneReadableLine()
    {
        Registry registry;
        const std::size_t users = 400; // 400 * 41 characters is well past one line
        for (std::size_t i = 0; i < users; ++i)
            registry.addUser(i, "user" + std::to_string(1000 + i) + std::string(32, ','));

        const std::string list = text(registry.userListLine());
        QVERIFY(list.size() <= kMaxLineLength);
        auto parsed = lobby::parseServerMessage(list);
        QVERIFY(parsed);
        const auto& update = std::get<lobby::UserListUpdate>(*parsed);
        // The count stays the true one; the names are the first ones, whole and in order.
        QCOMPARE(update.countText, std::to_string(users));
        QVERIFY(update.nicknames.size() > 100 && update.nicknames.size() < users);
        QCOMPARE(update.nicknames.back(), "user" +
                                              std::to_string(1000 + update.nicknames.size() - 1) +
                                              std::string(32, ','));
        // Not one more name would have fitted.
        QVERIFY(list.size() + 1 + std::string("\"user1xyz\"").size() + 32 > kMaxLineLength);

        const std::string timed = text(registry.timedUserListLine());
        QVERIFY(timed.size() <= kMaxLineLength);
        parsed = lobby::parseServerMessage(timed);
        const auto& timedUpdate = std::get<lobby::UpdateTimedUserList>(*parsed);
        // The timed list's count tells the lobby how many names follow, so it is the number sent.
        QVERIFY(
            timed.rfind("UpdateTimedUserList~" + std::to_string(timedUpdate.nicknames.size()) + "~",
                        0) == 0);
        QVERIFY(timedUpdate.nicknames.size() > update.nicknames.size());

        for (std::size_t i = 0; i < 200; ++i)
            QVERIFY(registry.advertise(i, room(std::string(200, 'r')), "Host", "10.0.0.1"));
        const std::string rooms = text(registry.roomsListLine());
        QVERIFY(rooms.size() <= kMaxLineLength);
        parsed = lobby::parseServerMessage(rooms);
        const auto& roomsUpdate = std::get<lobby::NewRoomsListUpdate>(*parsed);
        QVERIFY(roomsUpdate.rooms.size() > 10 && roomsUpdate.rooms.size() < 200);
        QVERIFY(rooms.rfind("NewRoomsListUpdate~" + std::to_string(roomsUpdate.rooms.size()) + "~",
                            0) == 0);
        QCOMPARE(roomsUpdate.rooms.back().id, std::to_string(roomsUpdate.rooms.size()));
    }

    void linesFollowChanges()
    {
        Registry registry;
        registry.addUser(1, "Ann");
        QCOMPARE(text(registry.userListLine()), std::string("UserListUpdate,1,Ann"));
        QVERIFY(!registry.addUser(1, "Again"));
        registry.addUser(2, "Bob");
        QCOMPARE(text(registry.userListLine()), std::string("UserListUpdate,2,Ann,Bob"));
        QCOMPARE(text(registry.timedUserListLine()), std::string("UpdateTimedUserList~2~Ann~Bob"));
        registry.removeUser(1);
        QCOMPARE(text(registry.userListLine()), std::string("UserListUpdate,1,Bob"));
        QCOMPARE(text(registry.timedUserListLine()), std::string("UpdateTimedUserList~1~Bob"));
        registry.removeUser(1); // gone already: nothing happens
        QCOMPARE(registry.userCount(), std::size_t(1));
    }

    void roomsKeepIdAndPlace()
    {
        Registry registry;
        auto first = registry.advertise(1, room("one"), "Ann", "10.0.0.1");
        auto second = registry.advertise(2, room("two", "08600"), "Bob", "10.0.0.2");
        QVERIFY(first && second);
        QCOMPARE(first->id, std::string("1"));
        QVERIFY(!first->replaced);
        auto again = registry.advertise(1, room("one"), "Ann", "10.0.0.1");
        QVERIFY(again && again->replaced && !again->changed);
        auto renamed = registry.advertise(1, room("uno"), "Ann", "10.0.0.1");
        QVERIFY(renamed && renamed->replaced && renamed->changed);
        QCOMPARE(renamed->id, std::string("1"));
        // A port with leading zeros is written as the number it is.
        QCOMPARE(text(registry.roomsListLine()),
                 std::string("NewRoomsListUpdate~2~Ann~10.0.0.1~0~uno~Duke Nukem 3D~hDuke~1/8~"
                             "E1L1~DukeMatch~Let's Rock~No~1~8501~Bob~10.0.0.2~0~two~Duke Nukem "
                             "3D~hDuke~1/8~E1L1~DukeMatch~Let's Rock~No~2~8600"));
        QCOMPARE(registry.removeRoom(1), std::string("1"));
        QCOMPARE(registry.removeRoom(1), std::string());
        // Identifiers are never reused within a run.
        auto back = registry.advertise(1, room("one"), "Ann", "10.0.0.1");
        QCOMPARE(back->id, std::string("3"));
    }
};

QTEST_APPLESS_MAIN(TestRegistry)
#include "tst_registry.moc"
