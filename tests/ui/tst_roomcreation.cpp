#include "base/roomhost/RoomSettings.h"
#include "core/common/Environment.h"
#include "support/RecordingMessageSink.h"
#include "support/StringLists.h"
#include "support/Widgets.h"
#include "ui/roomhost/TForm5.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace vantrell;

Q_DECLARE_METATYPE(vantrell::roomhost::RoomSettings)

class TestRoomCreation : public QObject
{
    Q_OBJECT

    QTemporaryDir m_maps;
    QTemporaryDir m_programFolder;
    core::Environment m_env;
    ui::RecordingMessageSink m_messages;
    std::unique_ptr<ui::TForm5> m_form;

    template <typename T>
    T* child(const char* name)
    {
        return ::child<T>(m_form.get(), name);
    }
    void open(SourcePort kind) { m_form->openFor(kind, m_maps.path().toStdString()); }

private slots:
    void initTestCase()
    {
        qRegisterMetaType<roomhost::RoomSettings>();
        QVERIFY(m_maps.isValid());
        for (const char* name : {"b.map", "A.MAP", "readme.txt"}) {
            QFile f(QDir(m_maps.path()).filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
    }
    void init()
    {
        m_env.programFolder = m_programFolder.path();
        m_form = std::make_unique<ui::TForm5>(m_env, m_messages);
    }
    void cleanup() { m_form.reset(); }

    void preparesEachKind_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("sourcePort");
        QTest::addColumn<int>("maxPlaces");
        QTest::addColumn<QStringList>("gameTypes");
        QTest::addColumn<QStringList>("userMaps");
        QTest::addColumn<int>("hDukeOptionsShown");
        QTest::addColumn<int>("oldMpOptionsShown");
        QTest::newRow("hDuke") << int(SourcePort::HDuke) << "Create a hDuke room."
                               << "hDuke" << 8
                               << QStringList{"Dukematch (Spawn)", "Cooperative",
                                              "Dukematch (No Spawn)", "Team Dukematch",
                                              "Team Dukematch (Special Respawn)"}
                               << QStringList{"A.MAP", "b.map"} << 8 << 0;
        QTest::newRow("OldMP") << int(SourcePort::EDuke32OldMP) << "Create a EDuke32-OldMP room."
                               << "EDuke32-OldMP" << 16
                               << QStringList{"Dukematch", "Cooperative", "Team Dukematch"}
                               << QStringList{"A.MAP", "b.map"} << 0 << 3;
        QTest::newRow("NBlood") << int(SourcePort::NBlood) << "Create a NBlood room."
                                << "NBlood" << 8 << QStringList{}
                                << QStringList{"None", "A.MAP", "b.map"} << 0 << 0;
    }
    void preparesEachKind()
    {
        QFETCH(int, kind);
        QFETCH(QString, caption);
        QFETCH(QString, sourcePort);
        QFETCH(int, maxPlaces);
        QFETCH(QStringList, gameTypes);
        QFETCH(QStringList, userMaps);
        QFETCH(int, hDukeOptionsShown);
        QFETCH(int, oldMpOptionsShown);
        // Open another kind first: preparing must undo what the previous kind set.
        open(SourcePort(kind) == SourcePort::NBlood ? SourcePort::EDuke32OldMP
                                                    : SourcePort::NBlood);
        child<QComboBox>("originalMapList")->setCurrentIndex(5);
        open(SourcePort(kind));

        QCOMPARE(m_form->windowTitle(), caption);
        QCOMPARE(child<QLineEdit>("sourcePortEdit")->text(), sourcePort);
        QCOMPARE(child<QLineEdit>("tcModEdit")->text(), QString("Not implemented yet"));
        auto* places = child<QComboBox>("placesList");
        QCOMPARE(places->count(), maxPlaces);
        QCOMPARE(places->currentText(), QString("8"));
        QCOMPARE(itemsOf(child<QComboBox>("gameTypeList")), gameTypes);
        QCOMPARE(child<QComboBox>("gameTypeList")->isVisible(), !gameTypes.isEmpty());
        QCOMPARE(child<QComboBox>("skillList")->isVisible(), !gameTypes.isEmpty());
        QCOMPARE(child<QScrollBar>("fraglimitBar")->isVisible(), !gameTypes.isEmpty());
        auto* userMap = child<QComboBox>("userMapList");
        QCOMPARE(itemsOf(userMap), userMaps);
        QCOMPARE(child<QComboBox>("originalMapList")->currentText(), QString("None"));
        QCOMPARE(child<QComboBox>("originalMapList")->count(), 45);
        QVERIFY(!child<QComboBox>("teamList")->isEnabled());
        QCOMPARE(child<QComboBox>("teamList")->count(), 0);

        int shown = 0;
        for (int i = 0; i < 8; ++i)
            shown += child<QCheckBox>(qPrintable(QString("hDukeOption%1").arg(i)))->isVisible();
        QCOMPARE(shown, hDukeOptionsShown);
        shown = 0;
        for (int i = 0; i < 3; ++i)
            shown += child<QCheckBox>(qPrintable(QString("oldMpOption%1").arg(i)))->isVisible();
        QCOMPARE(shown, oldMpOptionsShown);

        const bool blood = SourcePort(kind) == SourcePort::NBlood;
        QCOMPARE(child<QCheckBox>("originalMapBox")->isChecked(), !blood);
        QCOMPARE(child<QCheckBox>("userMapBox")->isChecked(), blood);
        QCOMPARE(child<QCheckBox>("originalMapBox")->isEnabled(), !blood);
        QCOMPARE(child<QCheckBox>("userMapBox")->isEnabled(), !blood);
        QCOMPARE(child<QComboBox>("originalMapList")->isEnabled(), !blood);
        QCOMPARE(userMap->isEnabled(), blood);
        QCOMPARE(child<QCheckBox>("spectateBox")->isEnabled(),
                 SourcePort(kind) == SourcePort::HDuke);
        // Nothing picked yet: the list reads "None" either way.
        const auto s = m_form->settingsFromControls();
        QCOMPARE(s.userMap, std::string("None"));
        QCOMPARE(s.map(), std::string("None"));
    }

    void emptyFolderListsNothing()
    {
        QTemporaryDir empty;
        m_form->prepare(SourcePort::HDuke, empty.path().toStdString());
        QCOMPARE(child<QComboBox>("userMapList")->count(), 0);
        m_form->prepare(SourcePort::NBlood, QDir(empty.path()).filePath("gone").toStdString());
        QCOMPARE(itemsOf(child<QComboBox>("userMapList")), QStringList{"None"});
    }

    void mapBoxesAreNeverBothUnticked()
    {
        open(SourcePort::HDuke);
        auto* original = child<QCheckBox>("originalMapBox");
        auto* user = child<QCheckBox>("userMapBox");
        auto* originalList = child<QComboBox>("originalMapList");
        auto* userList = child<QComboBox>("userMapList");
        originalList->setCurrentIndex(9);

        original->click(); // untick original
        QVERIFY(!original->isChecked());
        QVERIFY(user->isChecked());
        QVERIFY(!originalList->isEnabled());
        QVERIFY(userList->isEnabled());
        // Unticking the original box does not reset its list; ticking the user box does.
        QCOMPARE(originalList->currentIndex(), 9);

        user->click(); // untick user
        QVERIFY(original->isChecked());
        QVERIFY(!user->isChecked());
        QVERIFY(originalList->isEnabled());
        QVERIFY(!userList->isEnabled());

        user->click(); // tick user
        QVERIFY(!original->isChecked());
        QCOMPARE(originalList->currentText(), QString("None"));

        userList->setCurrentIndex(1);
        auto s = m_form->settingsFromControls();
        QCOMPARE(s.map(), std::string("b.map"));

        // Spectate re-applies the original box's rule without changing which box is ticked.
        child<QCheckBox>("spectateBox")->click();
        QVERIFY(user->isChecked());
        QVERIFY(userList->isEnabled());
        QVERIFY(!originalList->isEnabled());
        QVERIFY(m_form->settingsFromControls().spectate);
    }

    void dependentControls()
    {
        open(SourcePort::HDuke);
        auto* passwordBox = child<QCheckBox>("passwordBox");
        auto* password = child<QLineEdit>("passwordEdit");
        QVERIFY(!password->isEnabled());
        passwordBox->click();
        QVERIFY(password->isEnabled());
        passwordBox->click();
        QVERIFY(!password->isEnabled());

        auto* allWeapons = child<QCheckBox>("hDukeOption6");
        auto* expander = child<QCheckBox>("hDukeOption7");
        QVERIFY(!expander->isEnabled());
        allWeapons->click();
        QVERIFY(expander->isEnabled());
        expander->click();
        QVERIFY(expander->isChecked());
        allWeapons->click();
        QVERIFY(!expander->isEnabled());
        QVERIFY(!expander->isChecked());

        auto* frag = child<QScrollBar>("fraglimitBar");
        QCOMPARE(m_form->settingsFromControls().fraglimit, 0);
        QCOMPARE(child<QLineEdit>("fraglimitText")->text(), QString("0"));
        frag->triggerAction(QAbstractSlider::SliderPageStepAdd);
        frag->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(child<QLineEdit>("fraglimitText")->text(), QString::number(frag->value()));
        QCOMPARE(m_form->settingsFromControls().fraglimit, frag->value());
        frag->setValue(1000);
        QCOMPARE(child<QLineEdit>("fraglimitText")->text(), QString("100"));
    }

    void gameTypeDecidesTeams_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("teams");
        QTest::newRow("Cooperative") << 1 << 0;
        QTest::newRow("Team Dukematch") << 3 << 9;
        QTest::newRow("Special Respawn") << 4 << 2;
        QTest::newRow("Dukematch (Spawn)") << 0 << 0;
    }
    void gameTypeDecidesTeams()
    {
        QFETCH(int, position);
        QFETCH(int, teams);
        open(SourcePort::HDuke);
        auto* gameType = child<QComboBox>("gameTypeList");
        auto* team = child<QComboBox>("teamList");
        gameType->setCurrentIndex(position == 3 ? 4 : 3); // from a team game ...
        team->setCurrentIndex(1);
        gameType->setCurrentIndex(position); // ... to the one under test
        QCOMPARE(team->count(), teams);
        QCOMPARE(team->isEnabled(), teams > 0);
        QCOMPARE(team->currentIndex(), -1); // no team until the host picks one
        QVERIFY(m_form->settingsFromControls().hostTeam.empty());
        if (teams) {
            team->setCurrentIndex(teams - 1);
            QCOMPARE(m_form->settingsFromControls().hostTeam,
                     QString("Team %1").arg(teams).toStdString());
        }
        // Reopening leaves no team behind a non-team game type.
        open(SourcePort::HDuke);
        QVERIFY(m_form->settingsFromControls().hostTeam.empty());
        QVERIFY(!team->isEnabled());
    }

    void nameFilterDiscardsForbiddenCharacters()
    {
        open(SourcePort::HDuke);
        auto* name = child<QLineEdit>("roomNameEdit");
        name->setFocus();
        QTest::keyClicks(name, "Duke~s|room, 1");
        QCOMPARE(name->text(), QString("Dukesroom 1"));
        QTest::keyClick(name, Qt::Key_Backspace);
        QCOMPARE(name->text(), QString("Dukesroom "));
        for (char16_t c : {u'\u00e9', u'\u20ac'}) { // e-acute, euro sign
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(QChar(c)));
            QCoreApplication::sendEvent(name, &press);
        }
        QCOMPARE(name->text(), QString("Dukesroom "));
        QGuiApplication::clipboard()->setText(QStringLiteral("pasted"));
        QTest::keyClick(name, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(name->text(), QString("Dukesroom "));
        QCOMPARE(name->contextMenuPolicy(), Qt::NoContextMenu);
        QCOMPARE(name->maxLength(), 255);
        QCOMPARE(child<QLineEdit>("passwordEdit")->maxLength(), 38);
    }

    void createRoomHandsOverTheSettings_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("values");
        const QStringList duke = {"Game",  "SourcePort", "Map",        "Players",  "Game Type",
                                  "Skill", "Spawn",      "Connection", "Fraglimit"};
        QTest::newRow("hDuke")
            << int(SourcePort::HDuke)
            << duke + QStringList{"ForceRespawn",           "Disable Pistol",  "Disable Coop View",
                                  "Disable Changing Teams", "Chronometer",     "Special Fragbar",
                                  "Srart with all Weapons", "Disable Expander"}
            << QStringList{"Duke Nukem 3D", "hDuke",       "E1L1: Hollywood Holocaust",
                           "1/4",           "Cooperative", "Let's Rock",
                           "Items",         "P2P",         "0",
                           "Disabled",      "Enabled",     "Disabled",
                           "Disabled",      "Disabled",    "Disabled",
                           "Disabled",      "Disabled"};
        QTest::newRow("OldMP") << int(SourcePort::EDuke32OldMP)
                               << duke + QStringList{"Disable Friendly Fire", "Enable Weapon Stay",
                                                     "Allow Visibility Adjustment"}
                               << QStringList{
                                      "Duke Nukem 3D", "EDuke32-OldMP", "E1L1: Hollywood Holocaust",
                                      "1/4",           "Cooperative",   "Let's Rock",
                                      "Items",         "Master/Slave",  "0",
                                      "Disabled",      "Enabled",       "Disabled"};
        QTest::newRow("NBlood") << int(SourcePort::NBlood)
                                << QStringList{"Game", "SourcePort", "Map", "Players"}
                                << QStringList{"Blood Game", "NBlood", "None", "1/4"};
    }
    void createRoomHandsOverTheSettings()
    {
        QFETCH(int, kind);
        QFETCH(QStringList, names);
        QFETCH(QStringList, values);
        open(SourcePort(kind));
        QSignalSpy created(m_form.get(), &ui::TForm5::roomCreated);
        QSignalSpy closed(m_form.get(), &ui::TForm5::closedWithoutCreating);
        QTest::keyClicks(child<QLineEdit>("roomNameEdit"), "Late game");
        child<QComboBox>("placesList")->setCurrentIndex(3);
        // The same picks for every kind; the ones a kind hides must not reach its room.
        child<QComboBox>("originalMapList")->setCurrentIndex(2);
        child<QComboBox>("gameTypeList")->setCurrentIndex(1);
        child<QComboBox>("skillList")->setCurrentIndex(2);
        child<QComboBox>("spawnList")->setCurrentIndex(2);
        child<QCheckBox>("hDukeOption1")->setChecked(true);
        child<QCheckBox>("oldMpOption1")->setChecked(true);

        QTest::mouseClick(child<QPushButton>("createRoomButton"), Qt::LeftButton);
        QCOMPARE(created.count(), 1);
        QCOMPARE(closed.count(), 0);
        QVERIFY(m_form->isHidden());
        const auto s = created.at(0).at(0).value<roomhost::RoomSettings>();
        QVERIFY(s == m_form->createdSettings());
        QCOMPARE(s.roomName, std::string("Late game"));
        QCOMPARE(s.playerPlaces, 4);
        const auto rows = roomhost::buildSettingsList(s, 1);
        QCOMPARE(fieldOf(rows, &roomhost::SettingRow::name), names);
        QCOMPARE(fieldOf(rows, &roomhost::SettingRow::value), values);
        // The controls keep their values after the room is created.
        QCOMPARE(child<QLineEdit>("roomNameEdit")->text(), QString("Late game"));
    }

    void closingWithoutCreating()
    {
        open(SourcePort::EDuke32OldMP);
        QSignalSpy created(m_form.get(), &ui::TForm5::roomCreated);
        QSignalSpy closed(m_form.get(), &ui::TForm5::closedWithoutCreating);
        QVERIFY(m_form->close());
        QCOMPARE(closed.count(), 1);
        QCOMPARE(created.count(), 0);
    }
};

QTEST_MAIN(TestRoomCreation)
#include "tst_roomcreation.moc"
