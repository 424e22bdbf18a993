#include "ui/lobby/TForm8.h"

#include "base/settings/NetworkingSettings.h"
#include "ui/common/MessageSink.h"
#include "ui/common/WindowPlacement.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QShowEvent>

namespace vantrell::ui {

namespace {

QPalette colours(const QPalette& base, const QColor& text, const QColor& background)
{
    QPalette palette = base;
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Base, background);
    return palette;
}

} // namespace

TForm8::TForm8(const core::Environment& env, MessageSink& messages, const QWidget* mainWindow,
               QWidget* parent)
    : QWidget(parent), m_env(env), m_messages(messages), m_mainWindow(mainWindow)
{
    setWindowTitle(QStringLiteral("Join a Room manually"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setWindowModality(Qt::NonModal);

    // The grey of an application's work space.
    QPalette workspace = palette();
    workspace.setColor(QPalette::Window, QColor(0xab, 0xab, 0xab));
    setPalette(workspace);
    setAutoFillBackground(true);

    auto* addressLabel = new QLabel(QStringLiteral("IP Address:"), this);
    m_address = new QLineEdit(QStringLiteral("127.0.0.1"), this);
    m_address->setObjectName(QStringLiteral("Edit1"));
    m_address->setPalette(colours(m_address->palette(), QColor(0x00, 0xff, 0x00), Qt::black));

    auto* portLabel = new QLabel(QStringLiteral("Port:"), this);
    // The room port a room has unless its host changed it.
    const auto defaultPort = settings::NetworkingSettings::kDefaultTcpPort;
    m_port =
        new QLineEdit(QString::fromLatin1(defaultPort.data(), qsizetype(defaultPort.size())), this);
    m_port->setObjectName(QStringLiteral("Edit2"));
    // A validator also refuses letters that arrive by pasting.
    m_port->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_port));

    m_note = new QPlainTextEdit(this);
    m_note->setObjectName(QStringLiteral("Memo1"));
    m_note->setReadOnly(true);
    m_note->setPlainText(QStringLiteral("Manual join is not implemented properly and will \n"
                                        "possibly give you errors on launching the game or \n"
                                        "may not work a tall."));
    m_note->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_note->setPalette(colours(m_note->palette(), QColor(0xff, 0xff, 0x00), Qt::black));
    m_note->setLineWrapMode(QPlainTextEdit::NoWrap);

    m_connect = new QPushButton(QStringLiteral("Connect"), this);
    m_connect->setObjectName(QStringLiteral("Button1"));
    m_connect->setEnabled(false);

    auto* layout = new QGridLayout(this);
    layout->addWidget(addressLabel, 0, 0);
    layout->addWidget(m_address, 0, 1);
    layout->addWidget(portLabel, 1, 0);
    layout->addWidget(m_port, 1, 1);
    layout->addWidget(m_note, 2, 0, 1, 2);
    layout->addWidget(m_connect, 3, 0, 1, 2, Qt::AlignHCenter);

    const QFontMetrics metrics(m_note->font());
    const int noteWidth = metrics.horizontalAdvance(
        QStringLiteral("possibly give you errors on launching the game or "));
    m_note->setFixedHeight(metrics.lineSpacing() * 4 + 2 * m_note->frameWidth());
    setFixedSize(noteWidth + 60, sizeHint().height());
}

void TForm8::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (event->spontaneous() || !m_mainWindow)
        return;
    // Opens centred on the main window.
    centreOn(*this, *m_mainWindow);
}

} // namespace vantrell::ui
