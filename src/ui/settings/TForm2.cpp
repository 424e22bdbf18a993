#include "ui/settings/TForm2.h"

#include "base/settings/ConfigFile.h"
#include "ui/common/MessageSink.h"
#include "ui/common/Windows.h"
#include "ui/lobby/TForm1.h"
#include "ui/settings/TForm4.h"

#include <string>
#include <utility>
#include <vector>

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>

namespace vantrell::ui {

namespace {

constexpr std::string_view kGamePath = "GamePath";
constexpr std::string_view kUsermaps = "Usermaps Directorys";

struct SourcePort
{
    const char* name; // the check box caption and the start of both keys
    const char* filterDescription;
    QStringList executables; // the file names the "Locate" dialog lists
};

// In the order of the configuration file.
const SourcePort kSourcePorts[6] = {
    {"EDuke32-OldMP", "EDuke32-OldMP Executable", {"eduke32-oldmp.exe"}},
    {"hDuke", "hDuke Executable", {"hduke.exe"}},
    {"nDuke", "nDuke Executable", {"nduke.exe"}},
    // EDuke32 installations are often the multiplayer build renamed, so its dialog lists
    // that file as well as EDuke32's own.
    {"EDuke32", "EDuke32", {"eduke32-oldmp.exe", "eduke32.exe"}},
    {"nBlood", "nBlood Executable", {"nblood.exe"}},
    {"VoidSW", "VoidSW Executable", {"voidsw.exe"}},
};

const char* const kUsermapsKeys[3] = {"Duke3d Usermaps Path", "Blood Usermaps Path",
                                      "Shadow Warrior Usermaps Path"};

std::string pathKey(int port)
{
    return std::string(kSourcePorts[port].name) + " Path";
}

std::string enableKey(int port)
{
    return std::string(kSourcePorts[port].name) + " Checkbox";
}

std::string toStd(const QString& text)
{
    return text.toStdString();
}

} // namespace

QString TForm2::executableFilter(int port)
{
    const SourcePort& sourcePort = kSourcePorts[port];
    QStringList patterns = sourcePort.executables;
#ifndef Q_OS_WIN
    // Builds for this platform carry no ".exe".
    for (const QString& name : sourcePort.executables)
        patterns << name.chopped(4);
#endif
    return QStringLiteral("%1 (%2)").arg(QString::fromLatin1(sourcePort.filterDescription),
                                         patterns.join(' '));
}

TForm2::TForm2(const core::Environment& env, MessageSink& messages, Windows& windows,
               QWidget* parent)
    : SettingsWindow(parent), m_env(env), m_messages(messages), m_windows(windows)
{
    setWindowTitle(QStringLiteral("Source Ports"));
    // Stay-on-top from the start: changing the flag later re-creates the native window and
    // would hide and re-show it in the middle of its own activation.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);

    m_fileDialog = [](QWidget* parent, const QString& caption, const QString& filter) {
        return QFileDialog::getOpenFileName(parent, caption, QString(), filter);
    };
    m_folderDialog = [](QWidget* parent, const QString& caption, const QString& start) {
        return QFileDialog::getExistingDirectory(parent, caption, start);
    };

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("tabs"));
    m_tabs->addTab(buildGameTab(0, 4, DukeNukem3D), QStringLiteral("Duke Nukem 3D"));
    m_tabs->addTab(buildGameTab(4, 1, Blood), QStringLiteral("Blood"));
    m_tabs->addTab(buildGameTab(5, 1, ShadowWarrior), QStringLiteral("Shadow Warrior"));
    m_tabs->addTab(new QWidget(m_tabs), QStringLiteral("Custom DOS games"));
    m_tabs->addTab(new QWidget(m_tabs), QStringLiteral("DOSBox"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    setFixedSize(594, 461);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect area(QPoint(0, 0), size());
        area.moveCenter(screen->availableGeometry().center());
        move(area.topLeft());
    }
}

QWidget* TForm2::buildGameTab(int firstPort, int portCount, int game)
{
    auto* page = new QWidget(m_tabs);
    auto* grid = new QGridLayout(page);
    for (int port = firstPort; port < firstPort + portCount; ++port) {
        const QString name = QString::fromLatin1(kSourcePorts[port].name);
        PortRow& row = m_ports[port];
        row.enabled = new QCheckBox(name, page);
        row.enabled->setObjectName(QString::fromStdString(enableKey(port)));
        row.path = new QLineEdit(page);
        row.path->setObjectName(QString::fromStdString(pathKey(port)));
        row.path->setReadOnly(true);
        row.locate = new QPushButton(QStringLiteral("Locate"), page);
        row.locate->setObjectName(name + QStringLiteral(" Locate"));
        const int line = port - firstPort;
        grid->addWidget(row.enabled, line, 0);
        grid->addWidget(row.path, line, 1);
        grid->addWidget(row.locate, line, 2);
        applyEnablingRule(port);
        connect(row.enabled, &QCheckBox::toggled, this, [this, port] { applyEnablingRule(port); });
        connect(row.locate, &QPushButton::clicked, this, [this, port] { locateExecutable(port); });
    }
    grid->setRowStretch(portCount, 1);

    auto* label = new QLabel(QStringLiteral("User maps directory"), page);
    m_usermaps[game] = new QLineEdit(page);
    m_usermaps[game]->setObjectName(QString::fromLatin1(kUsermapsKeys[game]));
    m_usermaps[game]->setReadOnly(true);
    auto* locate = new QPushButton(QStringLiteral("Locate"), page);
    locate->setObjectName(QString::fromLatin1(kUsermapsKeys[game]) + QStringLiteral(" Locate"));
    locate->setFixedWidth(locate->fontMetrics().horizontalAdvance(locate->text()) + 16);
    connect(locate, &QPushButton::clicked, this, [this, game] { locateUsermapsFolder(game); });
    grid->addWidget(label, portCount + 1, 0, 1, 3);
    grid->addWidget(m_usermaps[game], portCount + 2, 0, 1, 2);
    grid->addWidget(locate, portCount + 2, 2);
    return page;
}

void TForm2::applyEnablingRule(int port)
{
    const bool enabled = m_ports[port].enabled->isChecked();
    m_ports[port].path->setEnabled(enabled);
    m_ports[port].locate->setEnabled(enabled);
}

void TForm2::locateExecutable(int port)
{
    QString file;
    {
        const QScopedValueRollback inDialog(m_ignoreActivationChanges, true);
        file = m_fileDialog(this, QStringLiteral("Open"), executableFilter(port));
    }
    if (!file.isEmpty())
        m_ports[port].path->setText(QDir::toNativeSeparators(file));
}

void TForm2::locateUsermapsFolder(int game)
{
    if (m_useOwnFolderChooser && m_windows.form4) {
        // The chooser puts the folder into the field of the current tab and shows this
        // window again; hiding saves what is here now, and showing again reloads it.
        hide();
        m_windows.form4->open();
        return;
    }
    QString folder;
    {
        const QScopedValueRollback inDialog(m_ignoreActivationChanges, true);
        folder = m_folderDialog(this, QString(), m_usermaps[game]->text());
    }
    if (!folder.isEmpty())
        m_usermaps[game]->setText(QDir::toNativeSeparators(folder));
}

int TForm2::currentTabIndex() const
{
    return m_tabs->currentIndex();
}

void TForm2::setUsermapsFolder(int tabIndex, const QString& folder)
{
    if (tabIndex >= 0 && tabIndex < 3)
        m_usermaps[tabIndex]->setText(folder);
}

void TForm2::reloadAndSave()
{
    FormActivate();
    FormDeactivate();
    FormClose();
}

void TForm2::publish()
{
    m_publishedDuke3d = m_usermaps[DukeNukem3D]->text();
    m_publishedBlood = m_usermaps[Blood]->text();
    emit usermapsFoldersPublished();
}

void TForm2::FormActivate()
{
    if (m_windows.form1)
        m_windows.form1->DisableForm1Items();
    const settings::ConfigFile config(m_env.configFolder());
    // After a failed save the screen holds the only copy of the player's values; loading
    // the file over them would lose them.
    if (config.exists() && !m_saveFailed) {
        for (int port = 0; port < 6; ++port) {
            PortRow& row = m_ports[port];
            row.path->setText(QString::fromStdString(
                config.readString(kGamePath, pathKey(port), toStd(row.path->text()))));
            row.enabled->setChecked(config.readBool(kGamePath, enableKey(port), false));
            applyEnablingRule(port);
        }
        for (int game = 0; game < 3; ++game)
            m_usermaps[game]->setText(QString::fromStdString(config.readString(
                kUsermaps, kUsermapsKeys[game], toStd(m_usermaps[game]->text()))));
    }
    publish();
}

void TForm2::FormDeactivate()
{
    std::vector<std::pair<std::string, std::string>> ports;
    for (int port = 0; port < 6; ++port) {
        ports.emplace_back(enableKey(port), m_ports[port].enabled->isChecked() ? "1" : "0");
        ports.emplace_back(pathKey(port), toStd(m_ports[port].path->text()));
    }
    std::vector<std::pair<std::string, std::string>> folders;
    for (int game = 0; game < 3; ++game)
        folders.emplace_back(kUsermapsKeys[game], toStd(m_usermaps[game]->text()));

    settings::ConfigFile config(m_env.configFolder());
    Result<void> saved = config.writeStrings(kGamePath, ports);
    if (saved)
        saved = config.writeStrings(kUsermaps, folders);
    m_saveFailed = !saved;
    if (!saved)
        m_messages.error(QString::fromStdString(saved.error()));
    publish();
}

void TForm2::FormClose()
{
    if (m_windows.form1)
        m_windows.form1->EnableForm1Items();
}

void TForm2::showEvent(QShowEvent* event)
{
    SettingsWindow::showEvent(event);
    // Showing counts as activation at once: whoever shows this window (the folder chooser
    // among them) may set a field right after, and a load arriving later with the window
    // system's activation would overwrite it.
    enterActive();
}

} // namespace vantrell::ui
