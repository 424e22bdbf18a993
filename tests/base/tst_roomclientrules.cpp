#include "base/roomclient/RoomClientRules.h"
#include "base/roomhost/RoomSettings.h"
#include "base/transfer/UsermapTransfer.h"

#include <QTest>

using namespace vantrell;
using namespace vantrell::roomclient;
using roomhost::SettingRow;

Q_DECLARE_METATYPE(transfer::MemberUsermapDecision::Kind)

namespace {

std::vector<SettingRow> hDukeRows(const std::string& gameType)
{
    std::vector<SettingRow> rows(vantrell::sourcePortRow(vantrell::SourcePort::HDuke).settingsRows,
                                 SettingRow{"x", "y"});
    rows[roomhost::kGameTypeRow].value = gameType;
    return rows;
}

std::vector<SettingRow> gameAndMap(const std::string& game, const std::string& map)
{
    return {{"Game", game}, {"Source Port", "hDuke"}, {"Map", map}, {"Players", "2/8"}};
}

} // namespace

class TestRoomClientRules : public QObject
{
    Q_OBJECT

private slots:
    // A sequence of game types, each applied to what the one before left; the column
    // gives the number of teams offered after each step (-1: disabled and empty).
    void teamChoicesFollowTheGameType_data()
    {
        QTest::addColumn<QStringList>("gameTypes");
        QTest::addColumn<QList<int>>("teams");
        QTest::newRow("team game fills nine") << QStringList{"Team Dukematch"} << QList<int>{9};
        QTest::newRow("special respawn fills two")
            << QStringList{"Team Dukematch (Special Respawn)"} << QList<int>{2};
        QTest::newRow("a filled list is not refilled between team types")
            << QStringList{"Team Dukematch", "Team Dukematch (Special Respawn)"}
            << QList<int>{9, 9};
        QTest::newRow("cooperative in between empties, the next team type refills")
            << QStringList{"Team Dukematch", "Cooperative", "Team Dukematch (Special Respawn)"}
            << QList<int>{9, -1, 2};
        QTest::newRow("the games without teams empty it")
            << QStringList{"Team Dukematch", "Dukematch (Spawn)", "Team Dukematch",
                           "Dukematch (No Spawn)"}
            << QList<int>{9, -1, 9, -1};
        QTest::newRow("an unknown game type changes nothing")
            << QStringList{"Team Dukematch (Special Respawn)", "Capture the Flag"}
            << QList<int>{2, 2};
    }
    void teamChoicesFollowTheGameType()
    {
        QFETCH(QStringList, gameTypes);
        QFETCH(QList<int>, teams);
        TeamChoices choices;
        for (int i = 0; i < gameTypes.size(); ++i) {
            choices = nextTeamChoices(choices, hDukeRows(gameTypes[i].toStdString()));
            if (teams[i] < 0) {
                QVERIFY(choices.items.empty());
                QVERIFY(!choices.enabled);
                continue;
            }
            QCOMPARE(int(choices.items.size()), teams[i]);
            QVERIFY(choices.enabled);
            QCOMPARE(choices.items.front(), std::string("Team 1"));
            QCOMPARE(choices.items.back(), "Team " + std::to_string(teams[i]));
        }
    }

    void teamChoicesNeedAnHDukeList()
    {
        // An EDuke32-OldMP list has 12 rows: its row 4 is no hDuke game type.
        const TeamChoices filled{{"Team 1", "Team 2"}, true};
        auto rows = hDukeRows("Cooperative");
        rows.resize(vantrell::sourcePortRow(vantrell::SourcePort::EDuke32OldMP).settingsRows);
        QCOMPARE(nextTeamChoices(filled, rows), filled);
        QCOMPARE(nextTeamChoices(TeamChoices{}, {}), TeamChoices{});
    }

    void pingText_data()
    {
        QTest::addColumn<qint64>("roundTrip");
        QTest::addColumn<QString>("shown"); // "-" leaves the column as it was
        QTest::newRow("0") << qint64(0) << "1 ms";
        QTest::newRow("4") << qint64(4) << "5 ms";
        QTest::newRow("5 leaves it") << qint64(5) << "-";
        QTest::newRow("6") << qint64(6) << "12 ms";
        QTest::newRow("998") << qint64(998) << "1004 ms";
        QTest::newRow("999 leaves it") << qint64(999) << "-";
        QTest::newRow("1000") << qint64(1000) << "N/A";
        QTest::newRow("unanswered") << qint64(5000) << "N/A";
    }
    void pingText()
    {
        QFETCH(qint64, roundTrip);
        QFETCH(QString, shown);
        const auto text = clientPingText(roundTrip);
        QCOMPARE(text ? QString::fromStdString(*text) : QStringLiteral("-"), shown);
    }

    void roomPort_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("port"); // 0: not a port
        QTest::newRow("8501") << "8501" << 8501;
        QTest::newRow("65535") << "65535" << 65535;
        QTest::newRow("0") << "0" << 0;
        QTest::newRow("65536") << "65536" << 0;
        QTest::newRow("99999999999 does not wrap") << "99999999999" << 0;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("sign") << "+8501" << 0;
        QTest::newRow("hex") << "0x21" << 0;
    }
    void roomPort()
    {
        QFETCH(QString, text);
        QFETCH(int, port);
        const auto parsed = parseRoomPort(text.toStdString());
        QCOMPARE(parsed ? int(*parsed) : 0, port);
    }

    void usermapDecision_data()
    {
        using K = transfer::MemberUsermapDecision::Kind;
        QTest::addColumn<QString>("game");
        QTest::addColumn<QString>("map"); // "<none>": a list of two rows
        QTest::addColumn<K>("kind");
        QTest::addColumn<QString>("request");
        QTest::addColumn<QString>("folderKey");
        QTest::newRow("duke usermap") << "Duke Nukem 3D"
                                      << "dm.map" << K::Fetch << "RequestFile"
                                      << "Duke3d Usermaps Path";
        QTest::newRow("capital MAP") << "Duke Nukem 3D"
                                     << "DM.MAP" << K::Fetch << "RequestFile"
                                     << "Duke3d Usermaps Path";
        QTest::newRow("blood usermap") << "Blood Game"
                                       << "bb.Map" << K::Fetch << "NBloodRequestFile"
                                       << "Blood Usermaps Path";
        QTest::newRow("game level") << "Duke Nukem 3D"
                                    << "E1L1: Hollywood Holocaust" << K::Nothing << ""
                                    << "";
        QTest::newRow("no map row") << "Duke Nukem 3D"
                                    << "<none>" << K::Nothing << ""
                                    << "";
        QTest::newRow("shadow warrior") << "Shadow Warrior"
                                        << "x.map" << K::Nothing << ""
                                        << "";
        QTest::newRow("just the extension is no name") << "Duke Nukem 3D"
                                                       << ".map" << K::Fetch << "RequestFile"
                                                       << "Duke3d Usermaps Path";
        QTest::newRow("parent folder") << "Duke Nukem 3D"
                                       << "../x.map" << K::UnsafeName << "RequestFile"
                                       << "Duke3d Usermaps Path";
        QTest::newRow("backslash") << "Blood Game"
                                   << "..\\x.map" << K::UnsafeName << "NBloodRequestFile"
                                   << "Blood Usermaps Path";
        QTest::newRow("absolute") << "Duke Nukem 3D"
                                  << "/etc/x.map" << K::UnsafeName << "RequestFile"
                                  << "Duke3d Usermaps Path";
    }
    void usermapDecision()
    {
        QFETCH(QString, game);
        QFETCH(QString, map);
        QFETCH(transfer::MemberUsermapDecision::Kind, kind);
        QFETCH(QString, request);
        QFETCH(QString, folderKey);
        auto rows = gameAndMap(game.toStdString(), map.toStdString());
        if (map == "<none>")
            rows.resize(2);
        const auto decision = transfer::memberUsermapDecision(rows);
        QCOMPARE(decision.kind, kind);
        if (kind == transfer::MemberUsermapDecision::Kind::Nothing)
            return;
        QCOMPARE(QString::fromStdString(decision.request.requestLine), request);
        QCOMPARE(QString::fromStdString(decision.request.folderKey), folderKey);
        QCOMPARE(QString::fromStdString(decision.request.map), map);

        // The host serves exactly what a member may fetch, and only for its own game.
        const bool fetch = kind == transfer::MemberUsermapDecision::Kind::Fetch;
        QCOMPARE(transfer::servedUsermap(request.toStdString(), rows).has_value(), fetch);
        const std::string other = request == "RequestFile" ? "NBloodRequestFile" : "RequestFile";
        QVERIFY(!transfer::servedUsermap(other, rows));
    }

    void sizeBytes_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QByteArray>("wire");
        QTest::addColumn<bool>("acceptable");
        QTest::newRow("empty") << qint64(0) << QByteArray(8, '\0') << true;
        QTest::newRow("most significant first")
            << qint64(0x0102030405060708) << QByteArray("\x01\x02\x03\x04\x05\x06\x07\x08", 8)
            << false;
        QTest::newRow("50 MiB") << qint64(50) * 1024 * 1024 << QByteArray("\0\0\0\0\x03\x20\0\0", 8)
                                << true;
        QTest::newRow("512 MiB is the limit")
            << qint64(transfer::kMaxUsermapSize) << QByteArray("\0\0\0\0\x20\0\0\0", 8) << true;
        QTest::newRow("one past") << qint64(transfer::kMaxUsermapSize + 1)
                                  << QByteArray("\0\0\0\0\x20\0\0\x01", 8) << false;
        QTest::newRow("negative") << qint64(-1) << QByteArray(8, '\xff') << false;
    }
    void sizeBytes()
    {
        QFETCH(qint64, size);
        QFETCH(QByteArray, wire);
        QFETCH(bool, acceptable);
        const auto encoded = transfer::encodeSize(size);
        QCOMPARE(QByteArray(encoded.data(), 8), wire);
        std::array<char, 8> bytes{};
        std::copy(wire.begin(), wire.end(), bytes.begin());
        QCOMPARE(transfer::decodeSize(bytes), size);
        QCOMPARE(transfer::isAcceptableSize(size), acceptable);
    }
};

QTEST_APPLESS_MAIN(TestRoomClientRules)
#include "tst_roomclientrules.moc"
