#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QObject>
#include <QSocketNotifier>
#include <QStringList>

class QWidget;

// Drives a running program through its windows, the way a person at the screen would, for
// the end-to-end tests: it reads one command a line from standard input and answers each
// with one JSON line on standard output ({"ok": true, "value": ...} or {"ok": false,
// "error": "..."}). Fields of a command are separated by tabs. Windows are named by their
// class ("TForm1"), controls by their object names; when several windows share a class (two
// programs in one process, as in the picture tool), the visible one is meant. A driver made
// with Input::None reads nothing and answers ask() only.
//
//   click     <window> <control>                  a mouse click on a button
//   menu      <window> <entry> <entry>...         picks a menu entry, when every step is enabled
//   type      <window> <control> <text>           clears a line edit and types the text
//   check     <window> <control> <0|1>            clicks a check box into that state
//   choose    <window> <control> <entry>          picks an entry of a drop-down list
//   doubleclick <window> <control> <row>          a mouse double-click on a list's row
//   close     <window>                            the window's close box
//   visible   <window>                            true or false
//   enabled   <window> <control>                  true or false
//   text      <window> <control>                  a line edit's, text area's, label's or button's
//   text rows      <window> <control>                  a list's rows, each a list of its cells
//   boxes                                         the texts of the message boxes on screen
//   dismiss                                       presses the default button of each of them
//   picture   <window> <file>                     saves the window as it looks now, as PNG
//
// It adds nothing to what the program does: every command ends in the same events a mouse
// or keyboard would send.
class ProgramDriver : public QObject
{
    Q_OBJECT
public:
    enum class Input
    {
        StandardInput,
        None
    };
    explicit ProgramDriver(QObject* parent = nullptr, Input input = Input::StandardInput);

    // Carries out one command; the answer as it would go out on standard output.
    QJsonObject ask(const QStringList& command);

private:
    void readCommands();
    QJsonValue run(const QStringList& command);
    static QWidget* window(const QString& name);
    static QWidget* control(const QString& windowName, const QString& name);

    QSocketNotifier m_input;
    QByteArray m_pending;
};
