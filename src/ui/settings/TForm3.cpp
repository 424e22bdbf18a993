#include "ui/settings/TForm3.h"

#include "base/settings/ConfigFile.h"
#include "ui/common/MessageSink.h"
#include "ui/common/TypingFilter.h"
#include "ui/common/Windows.h"
#include "ui/lobby/TForm1.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFormLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>

namespace vantrell::ui {

namespace {
constexpr std::string_view kNicknames = "Nicknames";
constexpr std::string_view kPorts = "Configured Ports";
constexpr std::string_view kUpnp = "UPnP";

QString keepOrNoNick(const QString& nickname)
{
    return nickname.size() < 2 ? QStringLiteral("NoNick") : nickname;
}

std::string toStd(const QString& text)
{
    return text.toStdString();
}
} // namespace

TForm3::TForm3(const core::Environment& env, MessageSink& messages, Windows& windows,
               QWidget* parent)
    : SettingsWindow(parent), m_env(env), m_messages(messages), m_windows(windows)
{
    setWindowTitle(QStringLiteral("Multiplayer and networking"));
    // Made a stay-on-top window from the start: changing the flag later would hide and
    // re-show the window in the middle of its own activation.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);

    auto* tabs = new QTabWidget(this);

    auto* profile = new QWidget(tabs);
    m_nickname = new QLineEdit(QStringLiteral("Build-game player"), profile);
    m_nickname->setObjectName(QStringLiteral("lobbyNickname"));
    m_nickname->setMaxLength(32);
    TypingFilter::install(m_nickname, TypingFilter::Allowed::NicknameCharacters);
    m_inGameNickname = new QLineEdit(QStringLiteral("BuildGamer"), profile);
    m_inGameNickname->setObjectName(QStringLiteral("inGameNickname"));
    m_inGameNickname->setMaxLength(10);
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
    m_udpPort = new QLineEdit(QStringLiteral("23513"), networking);
    m_udpPort->setObjectName(QStringLiteral("udpPort"));
    m_udpPort->setMaxLength(5);
    TypingFilter::install(m_udpPort, TypingFilter::Allowed::Digits);
    m_tcpPort = new QLineEdit(QStringLiteral("8501"), networking);
    m_tcpPort->setObjectName(QStringLiteral("tcpPort"));
    m_tcpPort->setMaxLength(5);
    TypingFilter::install(m_tcpPort, TypingFilter::Allowed::Digits);
    m_upnp =
        new QCheckBox(QStringLiteral("Enable automatic port forwarding, using UPnP."), networking);
    m_upnp->setObjectName(QStringLiteral("upnp"));
    m_upnp->setChecked(true);
    auto* portNote = new QPlainTextEdit(networking);
    portNote->setReadOnly(true);
    portNote->setPlainText(QStringLiteral("When hosting a room, if you want to be able to send "
                                          "files to other players such as the levels \n"
                                          "for the game.\n"
                                          "\n"
                                          "\n"
                                          "Please make sure TCP port \"27020\" is forwarded."));
    auto* portForm = new QFormLayout;
    portForm->addRow(QStringLiteral("Game port number UDP:"), m_udpPort);
    portForm->addRow(QStringLiteral("Game Room creation port number TCP:"), m_tcpPort);
    auto* networkingLayout = new QVBoxLayout(networking);
    networkingLayout->addLayout(portForm);
    networkingLayout->addWidget(m_upnp);
    networkingLayout->addWidget(portNote, 1);
    tabs->addTab(networking, QStringLiteral("Networking"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    setFixedSize(488, 491);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect area(QPoint(0, 0), size());
        area.moveCenter(screen->availableGeometry().center());
        move(area.topLeft());
    }

    // Every change, typed or loaded, shows at once in the main window.
    connect(m_nickname, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (m_windows.form1)
            m_windows.form1->setLobbyNickname(text);
    });
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

void TForm3::reloadAndSave()
{
    FormActivate();
    FormDeactivate();
    FormClose();
}

void TForm3::FormActivate()
{
    if (m_windows.form1)
        m_windows.form1->DisableForm1Items();
    loadFromFile();
}

void TForm3::loadFromFile()
{
    const settings::ConfigFile config(m_env.configFolder());
    if (!config.exists())
        return;
    const auto read = [&config](std::string_view section, std::string_view key,
                                const QLineEdit* field) {
        return QString::fromStdString(config.readString(section, key, toStd(field->text())));
    };
    m_nickname->setText(read(kNicknames, "Launcher Nickname", m_nickname));
    m_inGameNickname->setText(read(kNicknames, "In-Game Nickname", m_inGameNickname));
    m_udpPort->setText(read(kPorts, "UDPPort", m_udpPort));
    m_tcpPort->setText(read(kPorts, "TCPPort", m_tcpPort));
    m_upnp->setChecked(config.readBool(kUpnp, "UPnP Checkbox", false));
}

void TForm3::FormDeactivate()
{
    m_nickname->setText(keepOrNoNick(m_nickname->text()));
    m_inGameNickname->setText(keepOrNoNick(m_inGameNickname->text()));

    settings::ConfigFile config(m_env.configFolder());
    Result<void> saved = config.writeStrings(
        kPorts, {{"UDPPort", toStd(m_udpPort->text())}, {"TCPPort", toStd(m_tcpPort->text())}});
    if (saved)
        saved = config.writeStrings(kNicknames,
                                    {{"Launcher Nickname", toStd(m_nickname->text())},
                                     {"In-Game Nickname", toStd(m_inGameNickname->text())}});
    if (saved)
        saved = config.writeBool(kUpnp, "UPnP Checkbox", m_upnp->isChecked());
    if (!saved)
        m_messages.error(QString::fromStdString(saved.error()));
}

void TForm3::FormClose()
{
    if (m_windows.form1)
        m_windows.form1->EnableForm1Items();
}

} // namespace vantrell::ui
