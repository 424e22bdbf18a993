#include "ui/settings/TForm4.h"

#include "ui/common/MessageSink.h"
#include "ui/common/WindowPlacement.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QStorageInfo>
#include <QTreeView>
#include <QVBoxLayout>

namespace vantrell::ui {

TForm4::TForm4(const core::Environment& env, MessageSink& messages, QWidget* parent)
    : QWidget(parent), m_env(env), m_messages(messages)
{
    setWindowTitle(QStringLiteral("Choose a Usermaps location"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);

    m_drives = new QComboBox(this);
    m_drives->setObjectName(QStringLiteral("drives"));
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady())
            continue;
        const QString root = volume.rootPath();
        m_drives->addItem(QDir::toNativeSeparators(root), root);
    }

    m_model = new QFileSystemModel(this);
    m_model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    m_model->setReadOnly(true);
    m_tree = new QTreeView(this);
    m_tree->setObjectName(QStringLiteral("folders"));
    m_tree->setModel(m_model);
    m_tree->setHeaderHidden(true);
    for (int column = 1; column < m_model->columnCount(); ++column)
        m_tree->hideColumn(column);

    m_path = new QLineEdit(this);
    m_path->setObjectName(QStringLiteral("path"));
    m_path->setReadOnly(true);
    m_save = new QPushButton(QStringLiteral("Save"), this);
    m_save->setObjectName(QStringLiteral("Button1"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_drives);
    layout->addWidget(m_tree, 1);
    layout->addWidget(m_path);
    layout->addWidget(m_save, 0, Qt::AlignHCenter);
    setFixedSize(600, 459);
    centreOnScreen(*this);

    connect(m_drives, &QComboBox::activated, this, &TForm4::showDrive);
    connect(m_tree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &TForm4::showSelection);
    connect(m_save, &QPushButton::clicked, this, &TForm4::Button1Click);

    // The tree starts at the working folder, on the drive that holds it.
    selectFolder(QDir::currentPath());
}

void TForm4::open()
{
    show();
    raise();
    activateWindow();
}

QString TForm4::selectedFolder() const
{
    return m_path->text();
}

bool TForm4::selectFolder(const QString& folder)
{
    const QFileInfo info(folder);
    if (!info.isDir())
        return false;
    const QString path = info.absoluteFilePath();
    const int drive = m_drives->findData(QStorageInfo(path).rootPath());
    if (drive >= 0 && drive != m_drives->currentIndex()) {
        m_drives->setCurrentIndex(drive);
        showDrive(drive);
    } else if (drive >= 0 && m_tree->rootIndex() == QModelIndex()) {
        showDrive(drive);
    }
    const QModelIndex index = m_model->index(path);
    if (!index.isValid())
        return false;
    m_tree->setCurrentIndex(index);
    m_tree->scrollTo(index);
    showSelection();
    return true;
}

void TForm4::showDrive(int index)
{
    const QString root = m_drives->itemData(index).toString();
    m_model->setRootPath(root);
    m_tree->setRootIndex(m_model->index(root));
}

void TForm4::showSelection()
{
    const QModelIndex current = m_tree->currentIndex();
    if (current.isValid())
        m_path->setText(QDir::toNativeSeparators(m_model->filePath(current)));
}

void TForm4::Button1Click()
{
    emit folderChosen(m_path->text());
    hide();
}

void TForm4::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        showSelection();
}

void TForm4::closeEvent(QCloseEvent* event)
{
    emit folderChosen(m_path->text());
    QWidget::closeEvent(event);
}

} // namespace vantrell::ui
