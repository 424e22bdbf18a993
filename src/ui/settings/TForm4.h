#pragma once

#include "core/common/Environment.h"

#include <QWidget>

class QComboBox;
class QFileSystemModel;
class QLineEdit;
class QPushButton;
class QTreeView;

namespace vantrell::ui {

class MessageSink;

// The program's own usermaps folder chooser, for the usermaps "Locate" buttons of the
// source-port window when the platform's folder picker is not used. A drive selector (the
// mounted file systems, or the drive letters on Windows), the folder tree of the chosen drive
// starting at the working folder, and a read-only field with the selected folder.
//
// "Save", and equally closing it, hands the folder on (folderChosen); the program shows the
// source-port window again with the folder in the usermaps field of that window's current
// tab, and the source-port window writes it to the file when it is next deactivated.
class TForm4 : public QWidget
{
    Q_OBJECT

public:
    TForm4(const core::Environment& env, MessageSink& messages, QWidget* parent = nullptr);

    // Shows the chooser (from the source-port window's "Locate").
    void open();

    // The folder in the field, and a way to select one in the tree (switching drives as
    // needed); false when the folder does not exist.
    QString selectedFolder() const;
    bool selectFolder(const QString& folder);

    void Button1Click(); // "Save"

signals:
    // "Save" or closing: the folder in the field, empty when nothing was selected.
    void folderChosen(const QString& folder);

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void showDrive(int index);
    void showSelection();

    const core::Environment& m_env;
    MessageSink& m_messages;

    QComboBox* m_drives = nullptr;
    QFileSystemModel* m_model = nullptr;
    QTreeView* m_tree = nullptr;
    QLineEdit* m_path = nullptr;
    QPushButton* m_save = nullptr;
};

} // namespace vantrell::ui
