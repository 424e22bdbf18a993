#pragma once

#include "core/common/Environment.h"
#include "ui/common/SettingsWindow.h"

#include <functional>

#include <QString>
#include <QWidget>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace vantrell::ui {

class MessageSink;
struct Windows;

// The source-port settings window: which source ports are installed and where, and the
// usermaps folder of each game. Its fields are the values in force; it loads "vantrel.cfg"
// each time it becomes the active window (every showing counts) and saves every field each
// time it stops being the active window, so the file always matches what it shows.
//
// Usermaps folders for other windows. The window publishes the Duke Nukem 3D and Blood
// usermaps folders as program-wide values: duke3dUsermapsFolder() and bloodUsermapsFolder()
// return what was last published (on every load and every save), not what is being typed.
// A window that needs them fresh from the file calls reloadAndSave() first, which does what
// showing this window and closing it at once would do.
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
        DOSBox = 4
    };

    // Opens the platform's file dialog for one executable: the caption and Qt name filter
    // are given; returns the chosen file, or an empty string when cancelled.
    using FileDialog =
        std::function<QString(QWidget* parent, const QString& caption, const QString& nameFilter)>;
    // Opens the platform's folder picker; the chosen folder, or empty when cancelled.
    using FolderDialog =
        std::function<QString(QWidget* parent, const QString& caption, const QString& start)>;

    TForm2(const core::Environment& env, MessageSink& messages, Windows& windows,
           QWidget* parent = nullptr);

    // The program-wide usermaps folders, as last published.
    QString duke3dUsermapsFolder() const { return m_publishedDuke3d; }
    QString bloodUsermapsFolder() const { return m_publishedBlood; }

    // Loads the file and publishes, saves back, and unlocks the main window, without the
    // window appearing.
    void reloadAndSave();

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

    // The Qt name filter of a source port's "Locate" dialog (index in the order of the
    // configuration file: EDuke32-OldMP, hDuke, nDuke, EDuke32, nBlood, VoidSW).
    static QString executableFilter(int port);

    void FormActivate() override;
    void FormDeactivate() override;
    void FormClose() override;

signals:
    // The two program-wide usermaps folders were published (possibly unchanged).
    void usermapsFoldersPublished();

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct PortRow
    {
        QCheckBox* enabled = nullptr;
        QLineEdit* path = nullptr;
        QPushButton* locate = nullptr;
    };

    QWidget* buildGameTab(int firstPort, int portCount, int game);
    void applyEnablingRule(int port);
    void locateExecutable(int port);
    void locateUsermapsFolder(int game);
    void publish();

    const core::Environment& m_env;
    MessageSink& m_messages;
    Windows& m_windows;

    QTabWidget* m_tabs = nullptr;
    PortRow m_ports[6];
    QLineEdit* m_usermaps[3] = {};
    QString m_publishedDuke3d;
    QString m_publishedBlood;
    FileDialog m_fileDialog;
    FolderDialog m_folderDialog;
    bool m_useOwnFolderChooser = false;
    bool m_saveFailed = false;
};

} // namespace vantrell::ui
