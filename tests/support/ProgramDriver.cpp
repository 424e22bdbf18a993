#include "support/ProgramDriver.h"

#include <cstdio>
#include <stdexcept>
#include <unistd.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QTest>

namespace {
// A command that cannot be carried out; its text goes back to the test.
struct Refused : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

QString className(const QWidget* widget)
{
    const QString full = QString::fromLatin1(widget->metaObject()->className());
    return full.section(QStringLiteral("::"), -1);
}

void needFields(const QStringList& command, int count)
{
    if (command.size() < count)
        throw Refused("too few fields for " + command.value(0).toStdString());
}
} // namespace

ProgramDriver::ProgramDriver(QObject* parent, Input input)
    : QObject(parent), m_input(STDIN_FILENO, QSocketNotifier::Read)
{
    if (input == Input::None)
        m_input.setEnabled(false);
    else
        connect(&m_input, &QSocketNotifier::activated, this, &ProgramDriver::readCommands);
}

QJsonObject ProgramDriver::ask(const QStringList& command)
{
    QJsonObject answer;
    try {
        answer.insert(QStringLiteral("value"), run(command));
        answer.insert(QStringLiteral("ok"), true);
    } catch (const Refused& refused) {
        answer.insert(QStringLiteral("ok"), false);
        answer.insert(QStringLiteral("error"), QString::fromStdString(refused.what()));
    }
    return answer;
}

void ProgramDriver::readCommands()
{
    char buffer[4096];
    const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (got <= 0) {
        // The test is gone; nobody drives this program any more.
        m_input.setEnabled(false);
        return;
    }
    m_pending.append(buffer, static_cast<qsizetype>(got));
    for (qsizetype end = m_pending.indexOf('\n'); end >= 0; end = m_pending.indexOf('\n')) {
        const QString line = QString::fromUtf8(m_pending.left(end));
        m_pending.remove(0, end + 1);
        const QJsonObject answer = ask(line.split(QLatin1Char('\t')));
        const QByteArray out = QJsonDocument(answer).toJson(QJsonDocument::Compact) + '\n';
        std::fwrite(out.constData(), 1, static_cast<size_t>(out.size()), stdout);
        std::fflush(stdout);
    }
}

QWidget* ProgramDriver::window(const QString& name)
{
    QWidget* hidden = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (className(widget) != name)
            continue;
        if (widget->isVisible())
            return widget;
        if (!hidden)
            hidden = widget;
    }
    if (!hidden)
        throw Refused("no window " + name.toStdString());
    return hidden;
}

QWidget* ProgramDriver::control(const QString& windowName, const QString& name)
{
    QWidget* found = window(windowName)->findChild<QWidget*>(name);
    if (!found)
        throw Refused("no control " + name.toStdString() + " in " + windowName.toStdString());
    return found;
}

QJsonValue ProgramDriver::run(const QStringList& command)
{
    const QString& verb = command.value(0);
    if (verb == QLatin1String("boxes") || verb == QLatin1String("dismiss")) {
        QJsonArray texts;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (!box || !box->isVisible())
                continue;
            texts.append(box->text());
            if (verb == QLatin1String("dismiss"))
                QTest::keyClick(box, Qt::Key_Escape);
        }
        return texts;
    }
    needFields(command, 2);
    if (verb == QLatin1String("visible"))
        return window(command[1])->isVisible();
    if (verb == QLatin1String("picture")) {
        needFields(command, 3);
        if (!window(command[1])->grab().save(command[2], "PNG"))
            throw Refused("cannot write " + command[2].toStdString());
        return true;
    }
    if (verb == QLatin1String("close")) {
        window(command[1])->close();
        return true;
    }
    if (verb == QLatin1String("menu")) {
        auto* main = qobject_cast<QMainWindow*>(window(command[1]));
        if (!main)
            throw Refused("no menus in " + command[1].toStdString());
        QList<QAction*> actions = main->menuBar()->actions();
        QAction* found = nullptr;
        for (const QString& step : command.mid(2)) {
            found = nullptr;
            for (QAction* action : actions) {
                if (action->text() == step)
                    found = action;
            }
            if (!found)
                throw Refused("no menu entry " + step.toStdString());
            if (!found->isEnabled())
                throw Refused("menu entry disabled: " + step.toStdString());
            actions = found->menu() ? found->menu()->actions() : QList<QAction*>{};
        }
        if (!found || found->menu())
            throw Refused("not a command entry");
        found->trigger();
        return true;
    }

    needFields(command, 3);
    QWidget* target = control(command[1], command[2]);
    if (verb == QLatin1String("enabled"))
        return target->isEnabled();
    if (verb == QLatin1String("click")) {
        auto* button = qobject_cast<QAbstractButton*>(target);
        if (!button)
            throw Refused("not a button");
        QTest::mouseClick(button, Qt::LeftButton);
        return button->isEnabled();
    }
    if (verb == QLatin1String("text")) {
        if (auto* edit = qobject_cast<QLineEdit*>(target))
            return edit->text();
        if (auto* area = qobject_cast<QPlainTextEdit*>(target))
            return area->toPlainText();
        if (auto* label = qobject_cast<QLabel*>(target))
            return label->text();
        if (auto* button = qobject_cast<QAbstractButton*>(target))
            return button->text();
        if (auto* list = qobject_cast<QComboBox*>(target))
            return list->currentText();
        throw Refused("no text in " + command[2].toStdString());
    }
    if (verb == QLatin1String("rows")) {
        auto* view = qobject_cast<QAbstractItemView*>(target);
        if (!view)
            throw Refused("not a list");
        const QAbstractItemModel* model = view->model();
        QJsonArray rows;
        for (int r = 0; r < model->rowCount(); ++r) {
            QJsonArray cells;
            for (int c = 0; c < model->columnCount(); ++c) {
                // A cell shown as a picture (the ready state) reads as what it pictures.
                const QModelIndex cell = model->index(r, c);
                const QString text = cell.data().toString();
                cells.append(text.isEmpty() && !cell.data(Qt::DecorationRole).isNull()
                                 ? cell.data(Qt::UserRole).toString()
                                 : text);
            }
            rows.append(cells);
        }
        return rows;
    }

    needFields(command, 4);
    const QString& argument = command[3];
    if (verb == QLatin1String("type")) {
        auto* edit = qobject_cast<QLineEdit*>(target);
        if (!edit || !edit->isEnabled())
            throw Refused("not an enabled line edit");
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, argument);
        return edit->text();
    }
    if (verb == QLatin1String("check")) {
        auto* box = qobject_cast<QCheckBox*>(target);
        if (!box || !box->isEnabled())
            throw Refused("not an enabled check box");
        if (box->isChecked() != (argument == QLatin1String("1")))
            QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(2, box->height() / 2));
        return box->isChecked();
    }
    if (verb == QLatin1String("choose")) {
        auto* list = qobject_cast<QComboBox*>(target);
        const int index = list ? list->findText(argument) : -1;
        if (index < 0 || !list->isEnabled())
            throw Refused("no entry " + argument.toStdString());
        list->setCurrentIndex(index);
        return list->currentText();
    }
    if (verb == QLatin1String("doubleclick")) {
        auto* view = qobject_cast<QAbstractItemView*>(target);
        if (!view)
            throw Refused("not a list");
        const QModelIndex index = view->model()->index(argument.toInt(), 0);
        view->scrollTo(index);
        QRect rect = view->visualRect(index);
        for (int c = 1; !rect.isValid() && c < view->model()->columnCount(); ++c)
            rect = view->visualRect(view->model()->index(argument.toInt(), c));
        if (!index.isValid() || !rect.isValid())
            throw Refused("no row " + argument.toStdString());
        // A person's double-click: a first click (which selects the row), then the second
        // press that the toolkit reports as the double-click. QTest's double-click alone
        // leaves out the first.
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, rect.center());
        return true;
    }
    throw Refused("unknown command " + verb.toStdString());
}
