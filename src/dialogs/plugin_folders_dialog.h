#pragma once

#include <QDialog>
#include <QStringList>

class QListWidget;
class QPushButton;

namespace lumavex {

/// The folders of image plug-ins the user chose ("ﾌﾟﾗｸﾞｲﾝのﾌｫﾙﾀﾞ"), searched besides the
/// program's own and the system's: a list with buttons to add a folder and to remove the
/// selected one.
class PluginFoldersDialog : public QDialog {
    Q_OBJECT
public:
    explicit PluginFoldersDialog(const QStringList& folders, QWidget* parent = nullptr);

    /// The folders as the list shows them, each once.
    QStringList folders() const;
    QListWidget* folderList() const { return m_list; }  ///< "FolderList"

public slots:
    /// Asks for a folder and appends it, unless it is listed already.
    void onAdd();
    /// Removes the selected folder.
    void onRemove();

private:
    void updateButtons();

    QListWidget* m_list;
    QPushButton* m_remove;
};

}  // namespace lumavex
