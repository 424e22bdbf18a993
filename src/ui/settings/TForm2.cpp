#include "ui/settings/TForm2.h"

#include "base/settings/Settings.h"
#include "core/common/QtStrings.h"
#include "ui/common/MessageSink.h"
#include "ui/common/WindowPlacement.h"

#include <tuple>
#include <utility>

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QTabWidget>
#include <QVBoxLayout>

namespace vantrell::ui {

using core::qs;

namespace {
using settings::SourcePortSettings;
} // namespace

QString TForm2::executableFilter(SourcePort port)
{
    const SourcePortRow& row = sourcePortRow(port);
    QStringList executables;
    for (const std::string_view name : row.executables) {
        if (!name.empty())
            executables << qs(name);
    }
    QStringList patterns = executables;
#ifndef Q_OS_WIN
    // Builds for this platform carry no ".exe".
    for (const QString& name : executables)
        patterns << name.chopped(4);
#endif
    return QStringLiteral("%1 (%2)").arg(qs(row.locateFilter), patterns.join(' '));
}

TForm2::TForm2(const core::Environment& env, MessageSink& messages, settings::Settings& settings,
               QWidget* parent)
    : SettingsWindow(parent), m_env(env), m_messages(messages), m_settings(settings)
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
    for (const GameRow& game : gameRows())
        m_tabs->addTab(buildGameTab(game.game), qs(game.tabName));
    m_tabs->addTab(new QWidget(m_tabs), QStringLiteral("Custom DOS games"));
    m_tabs->addTab(new QWidget(m_tabs), QStringLiteral("DOSBox"));
    m_tabs->addTab(buildWineTab(), QStringLiteral("Wine"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    setFixedSize(594, 461);
    centreOnScreen(*this);
}

QWidget* TForm2::buildGameTab(Game which)
{
    auto* page = new QWidget(m_tabs);
    auto* grid = new QGridLayout(page);
    int portCount = 0;
    for (const SourcePortRow& entry : sourcePortRows()) {
        if (entry.game != which)
            continue;
        const int port = int(indexOf(entry.port));
        const QString name = qs(entry.storedName);
        PortRow& row = m_ports[port];
        row.enabled = new QCheckBox(name, page);
        row.enabled->setObjectName(qs(SourcePortSettings::enabledKey(entry.port)));
        row.path = new QLineEdit(page);
        row.path->setObjectName(qs(SourcePortSettings::pathKey(entry.port)));
        row.path->setReadOnly(true);
        row.locate = new QPushButton(QStringLiteral("Locate"), page);
        row.locate->setObjectName(name + QStringLiteral(" Locate"));
        const int line = portCount++;
        grid->addWidget(row.enabled, line, 0);
        grid->addWidget(row.path, line, 1);
        grid->addWidget(row.locate, line, 2);
        applyEnablingRule(port);
        connect(row.enabled, &QCheckBox::toggled, this, [this, port] { applyEnablingRule(port); });
        connect(row.locate, &QPushButton::clicked, this, [this, port] { locateExecutable(port); });
    }
    grid->setRowStretch(portCount, 1);

    const int game = int(indexOf(which));
    auto* label = new QLabel(QStringLiteral("User maps directory"), page);
    m_usermaps[game] = new QLineEdit(page);
    const QString usermapsKey = qs(gameRow(which).usermapsKey);
    m_usermaps[game]->setObjectName(usermapsKey);
    m_usermaps[game]->setReadOnly(true);
    auto* locate = new QPushButton(QStringLiteral("Locate"), page);
    locate->setObjectName(usermapsKey + QStringLiteral(" Locate"));
    locate->setFixedWidth(locate->fontMetrics().horizontalAdvance(locate->text()) + 16);
    connect(locate, &QPushButton::clicked, this, [this, game] { locateUsermapsFolder(game); });
    grid->addWidget(label, portCount + 1, 0, 1, 3);
    grid->addWidget(m_usermaps[game], portCount + 2, 0, 1, 2);
    grid->addWidget(locate, portCount + 2, 2);
    return page;
}

QWidget* TForm2::buildWineTab()
{
    auto* page = new QWidget(m_tabs);
    auto* grid = new QGridLayout(page);
    auto* about = new QLabel(QStringLiteral("Windows builds of the source ports (\"hduke.exe\", "
                                            "\"nblood.exe\", ...) are started through Wine."),
                             page);
    about->setWordWrap(true);
    grid->addWidget(about, 0, 0, 1, 2);

    const auto addField = [&](int line, const QString& name, const QString& hint) {
        auto* label = new QLabel(name, page);
        auto* field = new QLineEdit(page);
        field->setObjectName(name);
        field->setPlaceholderText(hint);
        auto* locate = new QPushButton(QStringLiteral("Locate"), page);
        locate->setObjectName(name + QStringLiteral(" Locate"));
        grid->addWidget(label, line, 0, 1, 2);
        grid->addWidget(field, line + 1, 0);
        grid->addWidget(locate, line + 1, 1);
        return std::pair{field, locate};
    };
    QPushButton* locate = nullptr;
    std::tie(m_wineCommand, locate) = addField(1, QStringLiteral("Wine Command"),
                                               QStringLiteral("wine (found on the search path)"));
    connect(locate, &QPushButton::clicked, this, &TForm2::locateWineCommand);
    std::tie(m_winePrefix, locate) =
        addField(3, QStringLiteral("Wine Prefix"),
                 QStringLiteral("WINEPREFIX of the environment, else Wine's own (~/.wine)"));
    connect(locate, &QPushButton::clicked, this, &TForm2::locateWinePrefix);
    auto* slow = new QLabel(QStringLiteral("The first game in a new prefix starts slowly: Wine "
                                           "sets the prefix up first."),
                            page);
    slow->setWordWrap(true);
    grid->addWidget(slow, 5, 0, 1, 2);
    grid->setRowStretch(6, 1);
    return page;
}

void TForm2::applyEnablingRule(int port)
{
    const bool enabled = m_ports[port].enabled->isChecked();
    m_ports[port].path->setEnabled(enabled);
    m_ports[port].locate->setEnabled(enabled);
}

void TForm2::putChosen(QLineEdit& field, const QString& chosen)
{
    if (!chosen.isEmpty())
        field.setText(QDir::toNativeSeparators(chosen));
}

QString TForm2::askForFile(const QString& nameFilter)
{
    // The dialog takes the focus; that is no deactivation of this window.
    const QScopedValueRollback inDialog(m_ignoreActivationChanges, true);
    return m_fileDialog(this, QStringLiteral("Open"), nameFilter);
}

QString TForm2::askForFolder(const QString& start)
{
    const QScopedValueRollback inDialog(m_ignoreActivationChanges, true);
    return m_folderDialog(this, QString(), start);
}

void TForm2::locateExecutable(int port)
{
    putChosen(*m_ports[port].path,
              askForFile(executableFilter(sourcePortRows()[std::size_t(port)].port)));
}

void TForm2::locateUsermapsFolder(int game)
{
    if (m_useOwnFolderChooser) {
        // The chooser puts the folder into the field of the current tab and shows this
        // window again; hiding saves what is here now, and showing again reloads it.
        hide();
        emit ownFolderChooserRequested();
        return;
    }
    putChosen(*m_usermaps[game], askForFolder(m_usermaps[game]->text()));
}

void TForm2::locateWineCommand()
{
    putChosen(*m_wineCommand, askForFile(QStringLiteral("Wine (wine*);;All files (*)")));
}

void TForm2::locateWinePrefix()
{
    putChosen(*m_winePrefix, askForFolder(m_winePrefix->text()));
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

void TForm2::applyChosenUsermapsFolder(const QString& folder)
{
    // Showing reloads this window from the file before the folder goes in.
    show();
    raise();
    activateWindow();
    // An empty folder (nothing selected) would wipe the folder the player had set.
    if (!folder.isEmpty())
        setUsermapsFolder(currentTabIndex(), folder);
}

void TForm2::FormActivate()
{
    emit mainWindowLockRequested();
    // After a failed save the screen holds the only copy of the player's values; loading
    // the file over them would lose them.
    if (m_saveFailed)
        return;
    SourcePortSettings& values = m_settings.sourcePorts;
    values.load(m_settings.file);
    for (int port = 0; port < int(kSourcePortCount); ++port) {
        PortRow& row = m_ports[port];
        row.path->setText(QString::fromStdString(values.ports[port].path));
        row.enabled->setChecked(values.ports[port].enabled);
        applyEnablingRule(port);
    }
    for (int game = 0; game < int(kGameCount); ++game)
        m_usermaps[game]->setText(QString::fromStdString(values.usermapsFolders[game]));
    m_settings.wine.load(m_settings.file);
    m_wineCommand->setText(QString::fromStdString(m_settings.wine.command));
    m_winePrefix->setText(QString::fromStdString(m_settings.wine.prefix));
}

void TForm2::FormDeactivate()
{
    SourcePortSettings& values = m_settings.sourcePorts;
    for (int port = 0; port < int(kSourcePortCount); ++port) {
        values.ports[port].enabled = m_ports[port].enabled->isChecked();
        values.ports[port].path = m_ports[port].path->text().toStdString();
    }
    for (int game = 0; game < int(kGameCount); ++game)
        values.usermapsFolders[game] = m_usermaps[game]->text().toStdString();

    m_settings.wine.command = m_wineCommand->text().trimmed().toStdString();
    m_settings.wine.prefix = m_winePrefix->text().trimmed().toStdString();

    Result<void> saved = values.save(m_settings.file);
    if (saved)
        saved = m_settings.wine.save(m_settings.file);
    m_saveFailed = !saved;
    if (!saved)
        m_messages.error(QString::fromStdString(saved.error()));
}

void TForm2::FormClose()
{
    emit mainWindowUnlockRequested();
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
