#pragma once

#include <functional>

#include <QDir>
#include <QJsonValue>
#include <QProcess>
#include <QStringList>

// The lab of the end-to-end tests: a real main server on the built-in address and port, and
// players, each a copy of the driven program (tests/support/DrivenProgram.cpp) in a folder
// of its own, worked through its windows (tests/support/ProgramDriver.h).

// Waits, running the event loop, until done() holds; false on the deadline.
bool waitUntil(const std::function<bool()>& done, int timeoutMs);

// The first of the fixed ports that something on this machine (or in this network
// namespace) already listens on, or 0.
quint16 firstTakenPort(const QList<quint16>& ports);

// vantrell-server listening where the program looks for it (127.0.0.1:4444).
class MainServer
{
public:
    ~MainServer();
    bool start(const QString& executable);
    // Its log lines so far, without their time stamps.
    QStringList log();
    // Waits until a log line after the first `from` lines contains every text given.
    bool waitForLog(const QStringList& texts, int from = 0, int timeoutMs = 20000);
    // Index of the first log line from `from` on that contains the text, or -1.
    int find(const QString& text, int from = 0);

private:
    QProcess m_process;
    QStringList m_log;
    QByteArray m_partial;
};

// One player: the program copied into <root>/<name>/, with its "vantrel.cfg" beside it.
class Player
{
public:
    Player(const QString& root, const QString& name);
    ~Player();

    QString folder() const { return m_folder.path(); }
    QString path(const QString& relative) const { return m_folder.filePath(relative); }
    // Copies the program in; false when that fails.
    bool install(const QString& drivenProgram);
    bool start();
    // Closes the program's standard input and waits for it to end; its exit code, or -1.
    int waitForExit(int timeoutMs = 20000);

    // One command's answer. When the driver refuses it or does not answer, the running test
    // fails with the reason and the answer is undefined.
    QJsonValue ask(const QStringList& command);
    // Asks again and again until the answer satisfies the condition; false on the deadline.
    // `last` holds the last answer.
    bool waitFor(const QStringList& command, const std::function<bool(const QJsonValue&)>& holds,
                 int timeoutMs = 20000, QJsonValue* last = nullptr);
    // What the program wrote on its standard error (Qt's warnings, sanitizer reports).
    QByteArray errors();

private:
    void refused(const QString& what);

    QDir m_folder;
    QString m_name;
    QProcess m_process;
    QByteArray m_output;
};

// Rows of a list as the driver reports them: cells by row.
QList<QStringList> rowsOf(const QJsonValue& value);
