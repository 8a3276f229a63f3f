#include "plugin_folders_dialog.h"

#include <QDir>
#include <QListWidget>
#include <QPushButton>

#include "dialogs/form_support.h"
#include "dialogs/ui_services.h"

namespace lumavex {

PluginFoldersDialog::PluginFoldersDialog(const QStringList& folders, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("PluginFoldersDialog"));
    setWindowTitle(QStringLiteral("ﾌﾟﾗｸﾞｲﾝのﾌｫﾙﾀﾞ"));
    setFont(formFont());
    setFixedSize(420, 230);

    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("FolderList"));
    m_list->setGeometry(10, 10, 310, 210);
    for (const QString& folder : folders)
        if (!folder.isEmpty() && m_list->findItems(folder, Qt::MatchExactly).isEmpty())
            m_list->addItem(folder);
    connect(m_list, &QListWidget::currentRowChanged, this, [this] { updateButtons(); });

    auto* add = addButton(this, "AddButton", QStringLiteral("追加..."), QRect(333, 10, 75, 22));
    add->setAutoDefault(false);
    connect(add, &QPushButton::clicked, this, &PluginFoldersDialog::onAdd);
    m_remove = addButton(this, "RemoveButton", QStringLiteral("削除"), QRect(333, 38, 75, 22));
    m_remove->setAutoDefault(false);
    connect(m_remove, &QPushButton::clicked, this, &PluginFoldersDialog::onRemove);
    addOkCancelButtons(this, QRect(333, 170, 75, 22), QRect(333, 198, 75, 22), &QDialog::accept,
                       &QDialog::reject);
    updateButtons();
}

QStringList PluginFoldersDialog::folders() const
{
    QStringList out;
    for (int i = 0; i < m_list->count(); ++i)
        out << m_list->item(i)->text();
    return out;
}

void PluginFoldersDialog::onAdd()
{
    const QString chosen =
        UiServices::current().chooseFolder(this, QStringLiteral("ﾌﾟﾗｸﾞｲﾝのﾌｫﾙﾀﾞ"));
    if (chosen.isEmpty())
        return;
    // Folders are kept absolute: the current folder is never searched by accident.
    const QString folder = QDir::cleanPath(QDir(chosen).absolutePath());
    const QList<QListWidgetItem*> listed = m_list->findItems(folder, Qt::MatchExactly);
    if (listed.isEmpty())
        m_list->addItem(folder);
    m_list->setCurrentRow(
        m_list->row(listed.isEmpty() ? m_list->item(m_list->count() - 1) : listed.first()));
}

void PluginFoldersDialog::onRemove()
{
    delete m_list->takeItem(m_list->currentRow());
    updateButtons();
}

void PluginFoldersDialog::updateButtons()
{
    m_remove->setEnabled(m_list->currentRow() >= 0);
}

}  // namespace lumavex
