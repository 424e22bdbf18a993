#include "ui/roomhost/TForm5.h"

#include "base/roomhost/RoomChoices.h"
#include "base/roomhost/UsermapListing.h"
#include "core/common/QtStrings.h"
#include "ui/common/MessageSink.h"
#include "ui/common/TypingFilter.h"
#include "ui/common/WindowPlacement.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace vantrell::ui {

using core::qs;

namespace {
QComboBox* pickOnlyList(QWidget* parent, const char* name)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setEditable(false); // a value can only be picked, never typed
    return box;
}

void fill(QComboBox* box, const std::vector<std::string_view>& entries)
{
    box->clear();
    for (auto entry : entries)
        box->addItem(qs(entry));
}
} // namespace

TForm5::TForm5(const core::Environment& env, MessageSink& messages, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint), m_env(env), m_messages(messages)
{
    setObjectName(QStringLiteral("TForm5"));
    buildControls();
    setFixedSize(508, 600);
    prepare(SourcePort::HDuke, {});
}

void TForm5::buildControls()
{
    auto* grid = new QGridLayout;
    int row = 0;
    auto addRow = [&](QWidget* label, QWidget* field) {
        if (label)
            grid->addWidget(label, row, 0);
        grid->addWidget(field, row, 1);
        ++row;
    };
    auto label = [this](const char* text) { return new QLabel(QString::fromLatin1(text), this); };

    m_sourcePort = new QLineEdit(this);
    m_sourcePort->setObjectName(QStringLiteral("sourcePortEdit"));
    m_sourcePort->setReadOnly(true);
    addRow(label("Source Port:"), m_sourcePort);

    auto* tcMod = new QLineEdit(QStringLiteral("Not implemented yet"), this);
    tcMod->setObjectName(QStringLiteral("tcModEdit"));
    tcMod->setReadOnly(true);
    addRow(label("TC/MOD:"), tcMod);

    m_roomName = new QLineEdit(this);
    m_roomName->setObjectName(QStringLiteral("roomNameEdit"));
    m_roomName->setMaxLength(int(roomhost::kMaxRoomNameLength));
    TypingFilter::install(m_roomName, TypingFilter::Allowed::RoomNameCharacters);
    addRow(label("Room name:"), m_roomName);

    m_places = pickOnlyList(this, "placesList");
    addRow(label("Max. number of players:"), m_places);

    m_team = pickOnlyList(this, "teamList");
    addRow(label("Select your team:"), m_team);

    m_spectate = new QCheckBox(QStringLiteral("Spectate Game"), this);
    m_spectate->setObjectName(QStringLiteral("spectateBox"));
    addRow(nullptr, m_spectate);

    m_passwordBox = new QCheckBox(QStringLiteral("Enable password protection:"), this);
    m_passwordBox->setObjectName(QStringLiteral("passwordBox"));
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("passwordEdit"));
    m_password->setMaxLength(int(roomhost::kMaxPasswordLength));
    TypingFilter::install(m_password, TypingFilter::Allowed::RoomNameCharacters);
    m_password->setEnabled(false);
    addRow(m_passwordBox, m_password);

    m_fraglimitLabel = label("Fraglimit:");
    m_fraglimit = new QScrollBar(Qt::Horizontal, this);
    m_fraglimit->setObjectName(QStringLiteral("fraglimitBar"));
    m_fraglimit->setRange(0, 100);
    m_fraglimitText = new QLineEdit(QStringLiteral("0"), this);
    m_fraglimitText->setObjectName(QStringLiteral("fraglimitText"));
    m_fraglimitText->setReadOnly(true);
    m_fraglimitText->setFixedWidth(40);
    auto* fragRow = new QWidget(this);
    auto* fragLayout = new QHBoxLayout(fragRow);
    fragLayout->setContentsMargins(0, 0, 0, 0);
    fragLayout->addWidget(m_fraglimit);
    fragLayout->addWidget(m_fraglimitText);
    addRow(m_fraglimitLabel, fragRow);

    m_originalMapBox = new QCheckBox(QStringLiteral("Original Map:"), this);
    m_originalMapBox->setObjectName(QStringLiteral("originalMapBox"));
    m_originalMap = pickOnlyList(this, "originalMapList");
    fill(m_originalMap, roomhost::originalMaps());
    addRow(m_originalMapBox, m_originalMap);

    m_userMapBox = new QCheckBox(QStringLiteral("User Map:"), this);
    m_userMapBox->setObjectName(QStringLiteral("userMapBox"));
    m_userMap = pickOnlyList(this, "userMapList");
    m_userMap->setPlaceholderText(QStringLiteral("None"));
    addRow(m_userMapBox, m_userMap);

    m_gameTypeLabel = label("Game Type:");
    m_gameType = pickOnlyList(this, "gameTypeList");
    addRow(m_gameTypeLabel, m_gameType);

    m_skillLabel = label("Skill (monsters):");
    m_skill = pickOnlyList(this, "skillList");
    fill(m_skill, roomhost::skills());
    addRow(m_skillLabel, m_skill);

    m_spawnLabel = label("Spawn:");
    m_spawn = pickOnlyList(this, "spawnList");
    fill(m_spawn, roomhost::spawns());
    addRow(m_spawnLabel, m_spawn);

    auto* options = new QGridLayout;
    for (std::size_t i = 0; i < m_hDukeOptions.size(); ++i) {
        auto* box = new QCheckBox(qs(roomhost::hDukeOptions()[i].label), this);
        box->setObjectName(QStringLiteral("hDukeOption%1").arg(i));
        options->addWidget(box, int(i / 2), int(i % 2));
        m_hDukeOptions[i] = box;
    }
    for (std::size_t i = 0; i < m_oldMpOptions.size(); ++i) {
        auto* box = new QCheckBox(qs(roomhost::oldMpOptions()[i].label), this);
        box->setObjectName(QStringLiteral("oldMpOption%1").arg(i));
        options->addWidget(box, int(4 + i / 2), int(i % 2));
        m_oldMpOptions[i] = box;
    }

    m_createButton = new QPushButton(QStringLiteral("Create room"), this);
    m_createButton->setObjectName(QStringLiteral("createRoomButton"));
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(m_createButton);

    auto* outer = new QVBoxLayout(this);
    outer->addLayout(grid);
    outer->addLayout(options);
    outer->addStretch();
    outer->addLayout(bottom);

    // The rules that hold while the window is open.
    connect(m_originalMapBox, &QCheckBox::toggled, this, &TForm5::applyOriginalMapBox);
    connect(m_userMapBox, &QCheckBox::toggled, this, &TForm5::applyUserMapBox);
    connect(m_spectate, &QCheckBox::clicked, this,
            [this] { applyOriginalMapBox(m_originalMapBox->isChecked()); });
    connect(m_passwordBox, &QCheckBox::toggled, m_password, &QWidget::setEnabled);
    connect(m_hDukeOptions[roomhost::kAllWeaponsOption], &QCheckBox::toggled, this,
            &TForm5::applyAllWeapons);
    connect(m_fraglimit, &QScrollBar::valueChanged, this,
            [this](int value) { m_fraglimitText->setText(QString::number(value)); });
    connect(m_gameType, &QComboBox::currentIndexChanged, this, &TForm5::applyGameType);
    connect(m_createButton, &QPushButton::clicked, this, &TForm5::createRoom);
    applyAllWeapons(false);
}

void TForm5::applyOriginalMapBox(bool ticked)
{
    const QSignalBlocker block(m_userMapBox);
    m_userMapBox->setChecked(!ticked);
    m_originalMap->setEnabled(ticked);
    m_userMap->setEnabled(!ticked);
}

void TForm5::applyUserMapBox(bool ticked)
{
    const QSignalBlocker block(m_originalMapBox);
    m_originalMapBox->setChecked(!ticked);
    m_userMap->setEnabled(ticked);
    m_originalMap->setEnabled(!ticked);
    if (ticked)
        m_originalMap->setCurrentIndex(0);
}

void TForm5::applyGameType(int position)
{
    const auto teams = roomhost::teamsForGameType(position);
    m_team->clear();
    for (auto team : teams)
        m_team->addItem(qs(team));
    // Filled without a choice: the host team stays empty until the host picks one.
    m_team->setCurrentIndex(-1);
    m_team->setEnabled(!teams.empty());
}

void TForm5::applyAllWeapons(bool ticked)
{
    auto* expander = m_hDukeOptions[roomhost::kDisableExpanderOption];
    if (!ticked)
        expander->setChecked(false);
    expander->setEnabled(ticked);
}

void TForm5::fillUsermaps(const std::filesystem::path& folder, bool withNoneEntry)
{
    m_userMap->clear();
    if (withNoneEntry)
        m_userMap->addItem(QStringLiteral("None"));
    for (const auto& name : roomhost::listUsermaps(folder))
        m_userMap->addItem(QString::fromStdString(name));
    // Without the "None" entry the list shows "None" as its empty text until a map is picked.
    m_userMap->setCurrentIndex(withNoneEntry ? 0 : -1);
}

void TForm5::prepare(SourcePort kind, const std::filesystem::path& usermapFolder)
{
    m_kind = kind;
    const SourcePortRow& port = sourcePortRow(kind);
    // Without the Duke Nukem 3D choices the room plays a user map and nothing else.
    const bool userMapOnly = !port.dukeChoices;

    m_originalMap->setCurrentIndex(0);
    setWindowTitle(QStringLiteral("Create a %1 room.").arg(qs(port.name)));
    m_sourcePort->setText(qs(port.name));

    for (QWidget* w : {static_cast<QWidget*>(m_gameTypeLabel), static_cast<QWidget*>(m_gameType),
                       static_cast<QWidget*>(m_skillLabel), static_cast<QWidget*>(m_skill),
                       static_cast<QWidget*>(m_spawnLabel), static_cast<QWidget*>(m_spawn),
                       static_cast<QWidget*>(m_fraglimitLabel), m_fraglimit->parentWidget()})
        w->setVisible(!userMapOnly);

    fillUsermaps(usermapFolder, userMapOnly);
    m_originalMapBox->setEnabled(!userMapOnly);
    m_userMapBox->setEnabled(!userMapOnly);
    if (userMapOnly)
        m_userMapBox->setChecked(true);
    else
        m_originalMapBox->setChecked(true);
    // Re-applied even when the box did not change, so the lists' enabled state is right.
    if (userMapOnly)
        applyUserMapBox(true);
    else
        applyOriginalMapBox(true);
    if (userMapOnly)
        m_originalMap->setEnabled(false);

    m_places->clear();
    const int maxPlaces = port.maxPlaces;
    for (int i = 1; i <= maxPlaces; ++i)
        m_places->addItem(QString::number(i));
    m_places->setCurrentIndex(7);

    {
        // The team rule is applied once below, whatever the list's previous position was.
        const QSignalBlocker block(m_gameType);
        m_gameType->clear();
        for (auto type : roomhost::gameTypes(kind))
            m_gameType->addItem(qs(type));
        m_gameType->setCurrentIndex(userMapOnly ? -1 : 0);
        m_gameType->setEnabled(!userMapOnly);
    }
    applyGameType(m_gameType->currentIndex());

    if (port.hostSpectates) {
        m_spectate->setEnabled(true);
    } else {
        m_spectate->setChecked(false);
        m_spectate->setEnabled(false);
    }
    for (auto* box : m_hDukeOptions)
        box->setVisible(kind == SourcePort::HDuke);
    for (auto* box : m_oldMpOptions)
        box->setVisible(kind == SourcePort::EDuke32OldMP);
}

void TForm5::openFor(SourcePort kind, const std::filesystem::path& usermapFolder)
{
    prepare(kind, usermapFolder);
    emit mainWindowLockRequested();
    centreOnScreen(*this);
    show();
    raise();
    activateWindow();
}

roomhost::RoomSettings TForm5::settingsFromControls() const
{
    roomhost::RoomSettings s;
    s.kind = m_kind;
    s.roomName = m_roomName->text().toStdString();
    s.playerPlaces = m_places->currentText().toInt();
    s.passwordProtected = m_passwordBox->isChecked();
    s.password = m_password->text().toStdString();
    const QString userMap =
        m_userMap->currentIndex() < 0 ? QStringLiteral("None") : m_userMap->currentText();
    s.userMap = userMap.toStdString();
    if (!sourcePortRow(m_kind).dukeChoices) {
        s.originalMapChosen = false;
        return s;
    }
    s.originalMapChosen = m_originalMapBox->isChecked();
    s.originalMap = m_originalMap->currentText().toStdString();
    s.spectate = m_spectate->isChecked();
    s.hostTeam = m_team->currentText().toStdString();
    s.fraglimit = m_fraglimit->value();
    s.gameType = m_gameType->currentText().toStdString();
    s.skill = m_skill->currentText().toStdString();
    s.spawn = m_spawn->currentText().toStdString();
    for (std::size_t i = 0; i < m_hDukeOptions.size(); ++i)
        s.hDukeOptions[i] = m_hDukeOptions[i]->isChecked();
    if (m_kind == SourcePort::EDuke32OldMP) {
        for (std::size_t i = 0; i < m_oldMpOptions.size(); ++i)
            s.oldMpOptions[i] = m_oldMpOptions[i]->isChecked();
    }
    return s;
}

void TForm5::createRoom()
{
    m_created = settingsFromControls();
    emit roomCreated(m_created);
    // Hidden, not closed: closing would give the main window back while the room is open.
    hide();
}

void TForm5::closeEvent(QCloseEvent* event)
{
    event->accept();
    emit closedWithoutCreating();
}

} // namespace vantrell::ui
