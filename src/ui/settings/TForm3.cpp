#include "ui/settings/TForm3.h"

#include "base/lobby/MainServerAddress.h"
#include "base/settings/Settings.h"
#include "core/common/QtStrings.h"
#include "ui/common/MessageSink.h"
#include "ui/common/TypingFilter.h"
#include "ui/common/WindowPlacement.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QVBoxLayout>

namespace vantrell::ui {

using core::qs;

namespace {
// The fields' lengths.
constexpr int kNicknameLength = 32;
constexpr int kInGameNicknameLength = 10;
constexpr int kPortLength = 5;

QString keepOrNoNick(const QString& nickname)
{
    return nickname.size() < 2 ? QStringLiteral("NoNick") : nickname;
}

} // namespace

TForm3::TForm3(const core::Environment& env, MessageSink& messages, settings::Settings& settings,
               QWidget* parent)
    : SettingsWindow(parent), m_env(env), m_messages(messages), m_settings(settings),
      m_runServerInForce(!env.mainServerForRun.isEmpty())
{
    setWindowTitle(QStringLiteral("Multiplayer and networking"));
    // Made a stay-on-top window from the start: changing the flag later would hide and
    // re-show the window in the middle of its own activation.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);

    auto* tabs = new QTabWidget(this);

    auto* profile = new QWidget(tabs);
    const settings::NetworkingSettings& values = m_settings.networking;
    m_nickname = new QLineEdit(qs(values.lobbyNickname), profile);
    m_nickname->setObjectName(QStringLiteral("lobbyNickname"));
    m_nickname->setMaxLength(kNicknameLength);
    TypingFilter::install(m_nickname, TypingFilter::Allowed::NicknameCharacters);
    m_inGameNickname = new QLineEdit(qs(values.inGameNickname), profile);
    m_inGameNickname->setObjectName(QStringLiteral("inGameNickname"));
    m_inGameNickname->setMaxLength(kInGameNicknameLength);
    TypingFilter::install(m_inGameNickname, TypingFilter::Allowed::NicknameCharacters);
    auto* profileForm = new QFormLayout;
    profileForm->addRow(QStringLiteral("Nickname:"), m_nickname);
    profileForm->addRow(QStringLiteral("In-game nickname*:"), m_inGameNickname);
    auto* nicknameNote = new QLabel(
        QStringLiteral(
            "Nickname has to be more than 2 characters long or you won't be able to login."),
        profile);
    nicknameNote->setWordWrap(true);
    auto* profileLayout = new QVBoxLayout(profile);
    profileLayout->addLayout(profileForm);
    profileLayout->addWidget(nicknameNote);
    profileLayout->addStretch(1);
    tabs->addTab(profile, QStringLiteral("Player profile"));

    auto* networking = new QWidget(tabs);
    m_udpPort = new QLineEdit(qs(values.udpPort), networking);
    m_udpPort->setObjectName(QStringLiteral("udpPort"));
    m_udpPort->setMaxLength(kPortLength);
    TypingFilter::install(m_udpPort, TypingFilter::Allowed::Digits);
    m_tcpPort = new QLineEdit(qs(values.tcpPort), networking);
    m_tcpPort->setObjectName(QStringLiteral("tcpPort"));
    m_tcpPort->setMaxLength(kPortLength);
    TypingFilter::install(m_tcpPort, TypingFilter::Allowed::Digits);
    m_upnp =
        new QCheckBox(QStringLiteral("Enable automatic port forwarding, using UPnP."), networking);
    m_upnp->setObjectName(QStringLiteral("upnp"));
    m_upnp->setChecked(values.upnp);
    auto* portNote = new QPlainTextEdit(networking);
    portNote->setReadOnly(true);
    portNote->setPlainText(QStringLiteral("When hosting a room, if you want to be able to send "
                                          "files to other players such as the levels \n"
                                          "for the game.\n"
                                          "\n"
                                          "\n"
                                          "Please make sure TCP port \"%1\" is forwarded.")
                               .arg(m_env.fileServerPort));
    auto* portForm = new QFormLayout;
    portForm->addRow(QStringLiteral("Game port number UDP:"), m_udpPort);
    portForm->addRow(QStringLiteral("Game Room creation port number TCP:"), m_tcpPort);
    m_mainServer = new QLineEdit(qs(m_settings.mainServer.address), networking);
    m_mainServer->setObjectName(QStringLiteral("mainServer"));
    m_mainServer->setMaxLength(260); // the longest host name, ":" and five digits
    m_mainServer->setPlaceholderText(
        QStringLiteral("%1:%2").arg(m_env.mainServerAddress).arg(m_env.mainServerPort));
    m_mainServer->setToolTip(QStringLiteral(
        "A host name or an IPv4 address, with \":port\" when it is not 4444. Empty: the "
        "program's own main server. Used from the next \"Connect\" on."));
    m_mainServerNote = new QLabel(networking);
    m_mainServerNote->setObjectName(QStringLiteral("mainServerNote"));
    m_mainServerNote->setWordWrap(true);
    showMainServerNote({});
    auto* serverForm = new QFormLayout;
    serverForm->addRow(QStringLiteral("Main server:"), m_mainServer);
    serverForm->addRow(QString(), m_mainServerNote);
    auto* networkingLayout = new QVBoxLayout(networking);
    networkingLayout->addLayout(portForm);
    networkingLayout->addWidget(m_upnp);
    networkingLayout->addWidget(portNote, 1);
    networkingLayout->addLayout(serverForm);
    tabs->addTab(networking, QStringLiteral("Networking"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    setFixedSize(488, 491);
    centreOnScreen(*this);

    // Every change, typed or loaded, is the value in force at once; the nickname also shows
    // at once in the main window.
    connect(m_nickname, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_settings.networking.lobbyNickname = text.toStdString();
        emit lobbyNicknameChanged(text);
    });
    connect(m_inGameNickname, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_settings.networking.inGameNickname = text.toStdString();
    });
    connect(m_udpPort, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_settings.networking.udpPort = text.toStdString(); });
    connect(m_tcpPort, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_settings.networking.tcpPort = text.toStdString(); });
    connect(m_upnp, &QCheckBox::toggled, this,
            [this](bool ticked) { m_settings.networking.upnp = ticked; });
    // Only what the player types: loading the file into the field chooses nothing. The text
    // is checked as it is typed but taken only once the player is done with it (Enter, leaving
    // the field, or the window's save): on the way to "host:45000" the field reads "host:4500".
    connect(m_mainServer, &QLineEdit::textEdited, this, [this](const QString& text) {
        m_mainServerTyped = true;
        const Result<lobby::MainServerAddress> address =
            lobby::parseMainServerAddress(text.toStdString());
        showMainServerNote(address ? QString() : QString::fromStdString(address.error()));
    });
    connect(m_mainServer, &QLineEdit::editingFinished, this, &TForm3::takeMainServer);
}

void TForm3::takeMainServer()
{
    if (!m_mainServerTyped)
        return;
    const std::string text = m_mainServer->text().toStdString();
    // A text that does not read stays on screen to be mended; the choice in force stays as it
    // was.
    if (!lobby::parseMainServerAddress(text))
        return;
    m_mainServerTyped = false;
    m_runServerInForce = false;
    showMainServerNote({});
    m_settings.mainServer.address = std::string(lobby::trimBlanks(text));
    emit mainServerChosen();
}

void TForm3::showMainServerNote(const QString& problem)
{
    m_mainServerNote->setStyleSheet(problem.isEmpty() ? QString()
                                                      : QStringLiteral("color: #b00000"));
    if (!problem.isEmpty())
        m_mainServerNote->setText(problem);
    else if (m_runServerInForce)
        m_mainServerNote->setText(
            QStringLiteral("This run uses %1, given with --server, until you change this field.")
                .arg(m_env.mainServerForRun));
    else
        m_mainServerNote->clear();
}

QString TForm3::lobbyNickname() const
{
    return m_nickname->text();
}

QString TForm3::inGameNickname() const
{
    return m_inGameNickname->text();
}

QString TForm3::udpPort() const
{
    return m_udpPort->text();
}

QString TForm3::tcpPort() const
{
    return m_tcpPort->text();
}

bool TForm3::upnpEnabled() const
{
    return m_upnp->isChecked();
}

void TForm3::setLobbyNicknameEditable(bool editable)
{
    m_nickname->setEnabled(editable);
}

void TForm3::FormActivate()
{
    emit mainWindowLockRequested();
    m_settings.networking.load(m_settings.file);
    m_settings.mainServer.load(m_settings.file);
    showValues();
}

void TForm3::showValues()
{
    const settings::NetworkingSettings values = m_settings.networking;
    m_nickname->setText(qs(values.lobbyNickname));
    m_inGameNickname->setText(qs(values.inGameNickname));
    m_udpPort->setText(qs(values.udpPort));
    m_tcpPort->setText(qs(values.tcpPort));
    m_upnp->setChecked(values.upnp);
    // The choice in force: a typed text that could not be used was never saved.
    m_mainServer->setText(qs(m_settings.mainServer.address));
    m_mainServerTyped = false;
    showMainServerNote({});
}

void TForm3::FormDeactivate()
{
    m_nickname->setText(keepOrNoNick(m_nickname->text()));
    m_inGameNickname->setText(keepOrNoNick(m_inGameNickname->text()));
    takeMainServer();

    Result<void> saved = m_settings.networking.save(m_settings.file);
    if (saved)
        saved = m_settings.mainServer.save(m_settings.file);
    if (!saved)
        m_messages.error(QString::fromStdString(saved.error()));
}

void TForm3::reloadAndSaveValues(settings::Settings& settings, MessageSink& messages)
{
    settings::NetworkingSettings& values = settings.networking;
    values.load(settings.file);
    // The main server chosen in an earlier run is the one the first Connect goes to.
    settings.mainServer.load(settings.file);
    // What the fields make of the values (a program's text is cut to the length, never
    // filtered), then what leaving the window does.
    const auto asField = [](const std::string& value, int length) {
        return qs(value).left(length);
    };
    values.lobbyNickname =
        keepOrNoNick(asField(values.lobbyNickname, kNicknameLength)).toStdString();
    values.inGameNickname =
        keepOrNoNick(asField(values.inGameNickname, kInGameNicknameLength)).toStdString();
    values.udpPort = asField(values.udpPort, kPortLength).toStdString();
    values.tcpPort = asField(values.tcpPort, kPortLength).toStdString();
    const Result<void> saved = values.save(settings.file);
    if (!saved)
        messages.error(QString::fromStdString(saved.error()));
}

void TForm3::FormClose()
{
    emit mainWindowUnlockRequested();
}

} // namespace vantrell::ui
