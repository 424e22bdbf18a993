#include "support/EndToEndLab.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTest>

bool waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return true;
}

quint16 firstTakenPort(const QList<quint16>& ports)
{
    for (const quint16 port : ports) {
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost, port))
            return port;
    }
    return 0;
}

MainServer::~MainServer()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished();
    }
}

bool MainServer::start(const QString& executable)
{
    m_process.start(executable, {"--address", "127.0.0.1", "--port", "4444", "--user-list-min-gap",
                                 "0", "--timed-list-interval", "0"});
    return m_process.waitForStarted() && waitForLog({"listening on 127.0.0.1:4444"}, 0, 10000);
}

QStringList MainServer::log()
{
    m_partial += m_process.readAllStandardOutput();
    for (qsizetype end = m_partial.indexOf('\n'); end >= 0; end = m_partial.indexOf('\n')) {
        // "2026-12-08T22:43:06.123Z text": the time stamp is the first word.
        const QString line = QString::fromUtf8(m_partial.left(end)).trimmed();
        m_partial.remove(0, end + 1);
        m_log << line.section(QLatin1Char(' '), 1);
    }
    return m_log;
}

int MainServer::find(const QString& text, int from)
{
    const QStringList lines = log();
    for (int i = from; i < lines.size(); ++i) {
        if (lines[i].contains(text))
            return i;
    }
    return -1;
}

bool MainServer::waitForLog(const QStringList& texts, int from, int timeoutMs)
{
    return waitUntil(
        [&] {
            for (const QString& line : log().mid(from)) {
                bool all = true;
                for (const QString& text : texts)
                    all = all && line.contains(text);
                if (all)
                    return true;
            }
            return false;
        },
        timeoutMs);
}

namespace {
// The pause before each thing a player does, so a person watching can follow (scripts/demo
// sets it); none in tests.
int demoPauseMs()
{
    static const int pause = qEnvironmentVariableIntValue("VANTRELL_DEMO_PAUSE_MS");
    return pause;
}

bool isAction(const QString& verb)
{
    static const QStringList actions{"click",  "menu",  "type",        "check",
                                     "choose", "close", "doubleclick", "dismiss"};
    return actions.contains(verb);
}
} // namespace

Player::Player(const QString& root, const QString& name) : m_folder(root), m_name(name)
{
    m_folder.mkpath(name);
    m_folder.cd(name);
}

Player::~Player()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

bool Player::install(const QString& drivenProgram)
{
    // A copy, not a link: the program finds its settings beside its own resolved path.
    QFile::remove(path("vantrell"));
    return QFile::copy(drivenProgram, path("vantrell")) &&
           QFile::setPermissions(path("vantrell"),
                                 QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

bool Player::start()
{
    // A file rather than a pipe: nobody reads it while the program runs, and a full pipe
    // would stop the program.
    m_process.setStandardErrorFile(path("stderr.txt"));
    m_process.setWorkingDirectory(folder());
    m_process.setProgram(path("vantrell"));
    if (demoPauseMs() > 0) {
        // The first player's windows open on the left half of the screen, the next one's
        // on the right.
        static int started = 0;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("VANTRELL_DEMO_SIDE"), QString::number(started++ % 2));
        m_process.setProcessEnvironment(environment);
    }
    m_process.start();
    return m_process.waitForStarted();
}

int Player::waitForExit(int timeoutMs)
{
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(timeoutMs))
        return -1;
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

void Player::refused(const QString& what)
{
    QTest::qFail(qPrintable(what), __FILE__, __LINE__);
}

QJsonValue Player::ask(const QStringList& command)
{
    if (demoPauseMs() > 0 && isAction(command.value(0)))
        waitUntil([] { return false; }, demoPauseMs());
    m_process.write(command.join(QLatin1Char('\t')).toUtf8() + '\n');
    QDeadlineTimer deadline(20000);
    while (!m_output.contains('\n')) {
        if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning) {
            refused(m_name + QStringLiteral(" did not answer ") + command.join(QLatin1Char(' ')));
            return {};
        }
        m_process.waitForReadyRead(50);
        m_output += m_process.readAllStandardOutput();
    }
    const qsizetype end = m_output.indexOf('\n');
    const QJsonObject answer = QJsonDocument::fromJson(m_output.left(end)).object();
    m_output.remove(0, end + 1);
    if (!answer.value(QStringLiteral("ok")).toBool()) {
        refused(m_name + QStringLiteral(": ") + command.join(QLatin1Char(' ')) +
                QStringLiteral(": ") + answer.value(QStringLiteral("error")).toString());
        return {};
    }
    return answer.value(QStringLiteral("value"));
}

bool Player::waitFor(const QStringList& command,
                     const std::function<bool(const QJsonValue&)>& holds, int timeoutMs,
                     QJsonValue* last)
{
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        const QJsonValue answer = ask(command);
        if (last)
            *last = answer;
        if (holds(answer))
            return true;
        if (deadline.hasExpired() || answer.isUndefined())
            return false;
        QDeadlineTimer pause(100);
        while (!pause.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
}

QByteArray Player::errors()
{
    QFile file(path("stderr.txt"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QList<QStringList> rowsOf(const QJsonValue& value)
{
    QList<QStringList> rows;
    for (const QJsonValue& row : value.toArray()) {
        QStringList cells;
        for (const QJsonValue& cell : row.toArray())
            cells << cell.toString();
        rows << cells;
    }
    return rows;
}
