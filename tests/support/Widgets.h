#pragma once

#include <QAction>
#include <QComboBox>
#include <QList>
#include <QMainWindow>
#include <QMenuBar>
#include <QString>
#include <QStringList>
#include <QWidget>

// Finding a window's controls by their object names, as the tests of windows do. A control
// that is not there is a broken test, not a failed check: it stops the test run at once.
template <typename T>
T* child(const QObject* window, const char* name)
{
    T* found = window->findChild<T*>(QString::fromLatin1(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
}

// The entries of a list box, in order.
inline QStringList itemsOf(const QComboBox* box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

// Whether each top-level menu of a main window is enabled, left to right.
inline QList<bool> menusEnabled(const QMainWindow& window)
{
    QList<bool> out;
    for (const QAction* action : window.menuBar()->actions())
        out << action->isEnabled();
    return out;
}
