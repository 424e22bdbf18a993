// The source-port settings window and the usermaps folder chooser, offscreen, against a
// real "vantrel.cfg" in a folder of the test's own.

#include "ProgramFixture.h"
#include "base/settings/ConfigFile.h"
#include "base/settings/Settings.h"
#include "support/RecordingMessageSink.h"
#include "support/Widgets.h"
#include "ui/lobby/TForm1.h"
#include "ui/settings/TForm2.h"
#include "ui/settings/TForm4.h"

#include <memory>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QQueue>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

using namespace vantrell;
using ui::TForm2;

namespace {

const char* const kUsermapsKeys[3] = {"Duke3d Usermaps Path", "Blood Usermaps Path",
                                      "Shadow Warrior Usermaps Path"};

QString native(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

// One program run over one program folder, with the file dialog answered by the test.
struct Program
{
    explicit Program(const QString& folder)
        : fixture(4444, 50, folder), messages(fixture.messages), form1(fixture.form1),
          form2(fixture.form2), form4(fixture.form4)
    {
        form2->setFileDialog([this](QWidget*, const QString&, const QString& filter) {
            filters << filter;
            return fileAnswers.isEmpty() ? QString() : fileAnswers.dequeue();
        });
    }

    QCheckBox* enabledBox(const QString& port) const
    {
        return form2->findChild<QCheckBox*>(port + QStringLiteral(" Checkbox"));
    }
    QLineEdit* pathField(const QString& port) const
    {
        return form2->findChild<QLineEdit*>(port + QStringLiteral(" Path"));
    }
    QPushButton* locate(const QString& name) const
    {
        return form2->findChild<QPushButton*>(name + QStringLiteral(" Locate"));
    }
    // The usermaps folder of a game as the program's settings hold it.
    QString usermapsSetting(int game) const
    {
        return QString::fromStdString(
            fixture.program->settings().sourcePorts.usermapsFolders[game]);
    }
    QLineEdit* usermapsField(int game) const
    {
        return form2->findChild<QLineEdit*>(QString::fromLatin1(kUsermapsKeys[game]));
    }
    // Whether the main window's lock is on.
    bool mainLocked() const
    {
        return !menusEnabled(*form1).contains(true) &&
               !child<QPushButton>(form1, "connectButton")->isEnabled() &&
               !child<QPushButton>(form1, "sendButton")->isEnabled() &&
               !child<QLineEdit>(form1, "chatLine")->isEnabled();
    }

    ProgramFixture fixture;
    ui::RecordingMessageSink& messages;
    ui::TForm1* form1;
    TForm2* form2;
    ui::TForm4* form4;
    QQueue<QString> fileAnswers;
    QStringList filters;
};

QStringList configLines(const QString& folder)
{
    QFile file(QDir(folder).filePath(QStringLiteral("vantrel.cfg")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
}

bool showActive(QWidget* window)
{
    window->show();
    window->activateWindow();
    return QTest::qWaitForWindowActive(window);
}

} // namespace

class TestSourcePortWindows : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    // Every key in the file's order, one entry per key after several saves; unticking
    // keeps the path; a new run shows what was saved.
    void savesInOrderAndReloads()
    {
        {
            Program program(m_dir->path());
            QVERIFY(showActive(program.form2));
            QVERIFY(program.mainLocked());
            program.enabledBox("hDuke")->click();
            program.fileAnswers << "/games/hduke/hduke.exe"
                                << "/games/nblood/nblood";
            program.locate("hDuke")->click();
            program.enabledBox("nBlood")->click();
            program.locate("nBlood")->click();
            for (int game = 0; game < 3; ++game)
                program.form2->setUsermapsFolder(game, QStringLiteral("/maps/%1").arg(game));
            program.form2->hide();

            const QStringList expected = {
                "[GamePath]",
                "EDuke32-OldMP Checkbox=0",
                "EDuke32-OldMP Path=",
                "hDuke Checkbox=1",
                "hDuke Path=" + native("/games/hduke/hduke.exe"),
                "nDuke Checkbox=0",
                "nDuke Path=",
                "EDuke32 Checkbox=0",
                "EDuke32 Path=",
                "nBlood Checkbox=1",
                "nBlood Path=" + native("/games/nblood/nblood"),
                "VoidSW Checkbox=0",
                "VoidSW Path=",
                "[Usermaps Directorys]",
                "Duke3d Usermaps Path=/maps/0",
                "Blood Usermaps Path=/maps/1",
                "Shadow Warrior Usermaps Path=/maps/2",
            };
            QCOMPARE(configLines(m_dir->path()), expected);

            // Unticked: the field and its button go grey, the path stays, in the file too.
            QVERIFY(showActive(program.form2));
            program.enabledBox("hDuke")->click();
            QVERIFY(!program.pathField("hDuke")->isEnabled());
            QVERIFY(!program.locate("hDuke")->isEnabled());
            QCOMPARE(program.pathField("hDuke")->text(), native("/games/hduke/hduke.exe"));
            program.form2->close();
            QStringList unticked = expected;
            unticked[3] = "hDuke Checkbox=0";
            QCOMPARE(configLines(m_dir->path()), unticked);
            QVERIFY(!program.mainLocked());
            QVERIFY(program.messages.entries().isEmpty());
        }

        Program next(m_dir->path());
        QVERIFY(next.pathField("hDuke")->text().isEmpty());
        QVERIFY(showActive(next.form2));
        QVERIFY(!next.enabledBox("hDuke")->isChecked());
        QVERIFY(!next.pathField("hDuke")->isEnabled());
        QVERIFY(next.enabledBox("nBlood")->isChecked());
        QVERIFY(next.pathField("nBlood")->isEnabled());
        QVERIFY(next.locate("nBlood")->isEnabled());
        QCOMPARE(next.pathField("nBlood")->text(), native("/games/nblood/nblood"));
        QCOMPARE(next.usermapsField(2)->text(), QStringLiteral("/maps/2"));
        QCOMPARE(next.usermapsSetting(int(Game::Duke3d)), QStringLiteral("/maps/0"));
        QCOMPARE(next.usermapsSetting(int(Game::Blood)), QStringLiteral("/maps/1"));
        next.enabledBox("hDuke")->click();
        QVERIFY(next.pathField("hDuke")->isEnabled());
        QCOMPARE(next.pathField("hDuke")->text(), native("/games/hduke/hduke.exe"));
    }

    // The Wine command and prefix, one for all ports: a section of their own once set, and
    // back in the window on the next run.
    void wineChoiceIsSavedAndReloaded()
    {
        const QString command = native("/opt/wine-9/bin/wine"), prefix = native("/games/wine");
        {
            Program program(m_dir->path());
            QVERIFY(showActive(program.form2));
            program.fileAnswers << "/opt/wine-9/bin/wine";
            program.locate("Wine Command")->click();
            child<QLineEdit>(program.form2, "Wine Prefix")->setText(prefix);
            program.form2->hide();
            QCOMPARE(configLines(m_dir->path()).filter("Wine"),
                     QStringList({"[Wine]", "Wine Command=" + command, "Wine Prefix=" + prefix}));
        }
        Program next(m_dir->path());
        QVERIFY(showActive(next.form2));
        QCOMPARE(child<QLineEdit>(next.form2, "Wine Command")->text(), command);
        QCOMPARE(child<QLineEdit>(next.form2, "Wine Prefix")->text(), prefix);
    }

    // The window stays open, another window of the program becomes active: saved.
    void switchingWindowsSaves()
    {
        Program program(m_dir->path());
        QVERIFY(showActive(program.form2));
        program.form2->setUsermapsFolder(TForm2::Blood, QStringLiteral("/maps/blood"));
        QVERIFY(!QFile::exists(QDir(m_dir->path()).filePath("vantrel.cfg")));
        QVERIFY(showActive(program.form1));
        QTRY_VERIFY(configLines(m_dir->path()).contains("Blood Usermaps Path=/maps/blood"));
        QVERIFY(program.form2->isVisible());
        QCOMPARE(program.usermapsSetting(int(Game::Blood)), QStringLiteral("/maps/blood"));
    }

    // Each "Locate" offers its own executable (on this platform also without ".exe");
    // a confirmed file replaces the path, a cancelled dialog leaves it.
    void locateExecutable_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("EDuke32-OldMP") << "EDuke32-OldMP" << QStringList{"eduke32-oldmp.exe"};
        QTest::newRow("hDuke") << "hDuke" << QStringList{"hduke.exe"};
        QTest::newRow("nDuke") << "nDuke" << QStringList{"nduke.exe"};
        QTest::newRow("EDuke32") << "EDuke32" << QStringList{"eduke32-oldmp.exe", "eduke32.exe"};
        QTest::newRow("nBlood") << "nBlood" << QStringList{"nblood.exe"};
        QTest::newRow("VoidSW") << "VoidSW" << QStringList{"voidsw.exe"};
    }

    void locateExecutable()
    {
        QFETCH(QString, port);
        QFETCH(QStringList, names);

        Program program(m_dir->path());
        QVERIFY(showActive(program.form2));
        program.enabledBox(port)->click();
        program.fileAnswers << "/games/first" << QString();
        program.locate(port)->click();
        QCOMPARE(program.pathField(port)->text(), native("/games/first"));
        program.locate(port)->click();
        QCOMPARE(program.pathField(port)->text(), native("/games/first"));

        QCOMPARE(program.filters.size(), 2);
        // The filter as Qt's own dialog reads it.
        QFileDialog dialog;
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setNameFilter(program.filters.first());
        const auto* model = dialog.findChild<QFileSystemModel*>();
        QVERIFY(model);
        QStringList expected = names;
#ifndef Q_OS_WIN
        for (const QString& name : names)
            expected << name.chopped(4);
#endif
        QCOMPARE(model->nameFilters(), expected);
    }

    // The room creation window needs the folders from the file without this window showing.
    void reloadAndSaveRefreshesTheSettings()
    {
        settings::ConfigFile config(m_dir->path().toStdString());
        QVERIFY(config.writeStrings("Usermaps Directorys", {{"Duke3d Usermaps Path", "/duke"},
                                                            {"Blood Usermaps Path", "/blood"}}));
        Program program(m_dir->path());
        program.form2->reloadAndSave();
        QVERIFY(!program.form2->isVisible());
        QCOMPARE(program.usermapsSetting(int(Game::Duke3d)), QStringLiteral("/duke"));
        QCOMPARE(program.usermapsSetting(int(Game::Blood)), QStringLiteral("/blood"));
        QVERIFY(configLines(m_dir->path()).contains("hDuke Checkbox=0"));
        QVERIFY(!program.mainLocked());
    }

    // A failed save is reported and the values stay: also through the next activation,
    // which must not load the file over the only copy of them. Loading resumes once a save
    // succeeds again.
    void saveFailureIsReportedAndKeepsValues()
    {
        const QString folder = QDir(m_dir->path()).filePath(QStringLiteral("program"));
        Program program(folder);
        QVERIFY(showActive(program.form2));
        program.form2->setUsermapsFolder(TForm2::DukeNukem3D, QStringLiteral("/mine"));
        program.form2->hide();
        settings::ConfigFile config(folder.toStdString());
        QCOMPARE(
            program.messages.texts(),
            QStringList{"Unable to write to " + QString::fromStdString(config.path().string())});

        QVERIFY(QDir().mkpath(folder));
        QVERIFY(config.writeString("Usermaps Directorys", "Duke3d Usermaps Path", "/theirs"));
        QVERIFY(showActive(program.form2));
        QCOMPARE(program.usermapsField(0)->text(), QStringLiteral("/mine"));
        program.form2->hide();
        QVERIFY(configLines(folder).contains("Duke3d Usermaps Path=/mine"));

        QVERIFY(config.writeString("Usermaps Directorys", "Duke3d Usermaps Path", "/later"));
        QVERIFY(showActive(program.form2));
        QCOMPARE(program.usermapsField(0)->text(), QStringLiteral("/later"));
        QCOMPARE(program.messages.texts().size(), 1);
    }

    // The file dialog takes the activation while it is open; coming back from it neither
    // reloads over the chosen path nor loses it.
    void pathChosenInDialogSurvivesItsActivation()
    {
        Program program(m_dir->path());
        // Activation is driven by hand here: the order of events is the point.
        program.form2->show();
        QApplication::setActiveWindow(program.form2);
        program.enabledBox("hDuke")->click();
        QWidget other;
        other.show();
        QApplication::setActiveWindow(&other); // saves an empty hDuke path
        QVERIFY(configLines(m_dir->path()).contains("hDuke Path="));
        QApplication::setActiveWindow(program.form2);

        // The dialog holds the activation while it is open, and the window system hands it
        // back only after the dialog has returned.
        program.form2->setFileDialog([&other](QWidget*, const QString&, const QString&) {
            QApplication::setActiveWindow(&other);
            return QStringLiteral("/games/hduke/hduke");
        });
        program.locate("hDuke")->click();
        QApplication::setActiveWindow(program.form2);
        QCOMPARE(program.pathField("hDuke")->text(), native("/games/hduke/hduke"));
        QApplication::setActiveWindow(&other);
        QVERIFY(configLines(m_dir->path()).contains("hDuke Path=" + native("/games/hduke/hduke")));
    }

    // The chooser, opened from a tab's "Locate" (or by hand on a tab without usermaps),
    // puts its folder into that tab's field only; "Save" and the close button alike.
    void chooserAppliesToCurrentTab_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<bool>("byClosing");
        QTest::newRow("Duke Nukem 3D, Save") << 0 << false;
        QTest::newRow("Blood, Save") << 1 << false;
        QTest::newRow("Blood, closed") << 1 << true;
        QTest::newRow("Shadow Warrior, closed") << 2 << true;
        QTest::newRow("DOSBox, Save") << 4 << false;
    }

    void chooserAppliesToCurrentTab()
    {
        QFETCH(int, tab);
        QFETCH(bool, byClosing);

        QDir(m_dir->path()).mkpath(QStringLiteral("chosen/maps"));
        const QString chosen = QDir(m_dir->path()).filePath(QStringLiteral("chosen/maps"));

        Program program(m_dir->path());
        program.form2->setUseOwnFolderChooser(true);
        QVERIFY(showActive(program.form2));
        for (int game = 0; game < 3; ++game)
            program.form2->setUsermapsFolder(game, QStringLiteral("/old/%1").arg(game));
        program.form2->findChild<QTabWidget*>(QStringLiteral("tabs"))->setCurrentIndex(tab);
        if (tab < 3) {
            program.locate(QString::fromLatin1(kUsermapsKeys[tab]))->click();
        } else {
            program.form2->hide();
            program.form4->open();
        }
        QVERIFY(!program.form2->isVisible());
        QVERIFY(program.form4->isVisible());
        QVERIFY(program.mainLocked());

        QVERIFY(program.form4->selectFolder(chosen));
        QCOMPARE(program.form4->selectedFolder(), native(chosen));
        if (byClosing)
            program.form4->close();
        else
            program.form4->findChild<QPushButton*>(QStringLiteral("Button1"))->click();

        QVERIFY(!program.form4->isVisible());
        QVERIFY(program.form2->isVisible());
        for (int game = 0; game < 3; ++game) {
            const QString expected =
                game == tab ? native(chosen) : QStringLiteral("/old/%1").arg(game);
            QCOMPARE(program.usermapsField(game)->text(), expected);
        }
        program.form2->close();
        if (tab < 3)
            QVERIFY(configLines(m_dir->path())
                        .contains(QString::fromLatin1(kUsermapsKeys[tab]) + "=" + native(chosen)));
        QVERIFY(!program.mainLocked());
    }

    // The chooser opens on the working folder, on the drive that holds it.
    void chooserStartsAtWorkingFolder()
    {
        QDir(m_dir->path()).mkpath(QStringLiteral("work"));
        const QString work = QDir(m_dir->path()).filePath(QStringLiteral("work"));
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(work));
        Program program(m_dir->path());
        QDir::setCurrent(before);

        program.form4->open();
        QCOMPARE(program.form4->selectedFolder(), native(QFileInfo(work).absoluteFilePath()));
        auto* drives = program.form4->findChild<QComboBox*>(QStringLiteral("drives"));
        QCOMPARE(drives->currentData().toString(), QStorageInfo(work).rootPath());
        QVERIFY(!program.form4->selectFolder(QDir(work).filePath(QStringLiteral("absent"))));
        // Choosing a drive shows that drive's folders.
        auto* tree = program.form4->findChild<QTreeView*>(QStringLiteral("folders"));
        const auto* model = qobject_cast<const QFileSystemModel*>(tree->model());
        const int last = drives->count() - 1;
        drives->setCurrentIndex(last);
        emit drives->activated(last);
        QCOMPARE(model->filePath(tree->rootIndex()),
                 QDir::fromNativeSeparators(drives->itemData(last).toString()));
        QCOMPARE(program.form4->selectedFolder(), native(QFileInfo(work).absoluteFilePath()));
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_MAIN(TestSourcePortWindows)
#include "tst_sourceportwindows.moc"
