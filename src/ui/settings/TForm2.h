#pragma once

#include "base/common/SourcePorts.h"
#include "core/common/Environment.h"
#include "ui/common/SettingsWindow.h"

namespace vantrell::settings {
struct Settings;
}

#include <functional>

#include <QString>
#include <QWidget>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace vantrell::ui {

class MessageSink;

// The source-port settings window, a view of the program's source-port settings: which
// source ports are installed and where, the usermaps folder of each game, and the Wine that
// starts Windows builds of any port. It loads the
// group from "vantrel.cfg" into the settings and its fields each time it becomes the active
// window (every showing counts), and takes every field into the settings and saves them each
// time it stops being the active window, so the file always matches what it shows. The
// settings hold what was last loaded or saved, not what is being edited.
class TForm2 : public SettingsWindow
{
    Q_OBJECT

public:
    // The tabs, in their order; the folder chooser picks the usermaps field by this index.
    enum Tab
    {
        DukeNukem3D = 0,
        Blood = 1,
        ShadowWarrior = 2,
        CustomDosGames = 3,
        DOSBox = 4,
        Wine = 5
    };

    // Opens the platform's file dialog for one executable: the caption and Qt name filter
    // are given; returns the chosen file, or an empty string when cancelled.
    using FileDialog =
        std::function<QString(QWidget* parent, const QString& caption, const QString& nameFilter)>;
    // Opens the platform's folder picker; the chosen folder, or empty when cancelled.
    using FolderDialog =
        std::function<QString(QWidget* parent, const QString& caption, const QString& start)>;

    TForm2(const core::Environment& env, MessageSink& messages, settings::Settings& settings,
           QWidget* parent = nullptr);

    int currentTabIndex() const;
    // Puts a folder into the usermaps field of a tab (0, 1 or 2); other tabs have none and
    // are ignored. It reaches the file at the next deactivation.
    void setUsermapsFolder(int tabIndex, const QString& folder);

    // The dialogs are Qt's unless replaced (tests answer them themselves).
    void setFileDialog(FileDialog dialog) { m_fileDialog = std::move(dialog); }
    void setFolderDialog(FolderDialog dialog) { m_folderDialog = std::move(dialog); }
    // The usermaps "Locate" buttons use the program's own chooser instead of the platform's
    // folder picker.
    void setUseOwnFolderChooser(bool own) { m_useOwnFolderChooser = own; }

    // The Qt name filter of a source port's "Locate" dialog.
    static QString executableFilter(SourcePort port);

    void FormActivate() override;
    void FormDeactivate() override;
    void FormClose() override;

public slots:
    // The folder chooser's answer: shows this window again (which reloads it) and puts the
    // folder, unless empty, into the usermaps field of the current tab.
    void applyChosenUsermapsFolder(const QString& folder);

signals:
    // A usermaps "Locate" with the program's own chooser: this window has hidden itself and
    // the chooser is to open.
    void ownFolderChooserRequested();

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct PortRow
    {
        QCheckBox* enabled = nullptr;
        QLineEdit* path = nullptr;
        QPushButton* locate = nullptr;
    };

    QWidget* buildGameTab(Game game);
    QWidget* buildWineTab();
    void applyEnablingRule(int port);
    void locateExecutable(int port);
    void locateUsermapsFolder(int game);
    void locateWineCommand();
    // The dialogs, and a chosen path into a field (nothing when cancelled).
    QString askForFile(const QString& nameFilter);
    QString askForFolder(const QString& start);
    static void putChosen(QLineEdit& field, const QString& chosen);
    void locateWinePrefix();

    const core::Environment& m_env;
    MessageSink& m_messages;
    settings::Settings& m_settings;

    QTabWidget* m_tabs = nullptr;
    // By port and by game, in the order of the settings file.
    PortRow m_ports[kSourcePortCount];
    QLineEdit* m_usermaps[kGameCount] = {};
    QLineEdit* m_wineCommand = nullptr;
    QLineEdit* m_winePrefix = nullptr;
    FileDialog m_fileDialog;
    FolderDialog m_folderDialog;
    bool m_useOwnFolderChooser = false;
    bool m_saveFailed = false;
};

} // namespace vantrell::ui
