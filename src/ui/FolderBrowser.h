#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QListWidget;
class QListWidgetItem;

namespace torvanelo {

// The folder browser. Qt's own file dialog decodes names lossily, so a
// folder whose name is not valid UTF-8 could be neither entered nor chosen
// there; this one lists folders through the program's name codec and hands
// back the path exactly as the file system holds it.
//
// The list shows ".." (except at the root) and the sub-folders of the
// current folder in a file manager's order; a double-click or Enter enters
// one. OK chooses the selected sub-folder, or the current folder when none
// is selected; Cancel chooses nothing.
class FolderBrowser final : public QDialog {
    Q_OBJECT

public:
    FolderBrowser(const QString& title, const QString& startFolder, QWidget* parent = nullptr);

    const QString& currentFolder() const { return m_current; }
    // After OK: the folder chosen.
    const QString& chosenFolder() const { return m_chosen; }
    void enter(const QString& folder);

    void accept() override;

private:
    void enterItem(QListWidgetItem* item);

    QLabel* m_lblDossier = nullptr;
    QListWidget* m_lstSousDossiers = nullptr;
    QString m_current;
    QString m_chosen;
};

// The sub-folders of a folder (links to folders included), by their names
// as the codec decodes them, in a file manager's order; empty when the
// folder cannot be read.
QStringList subFolderNames(const QString& folder);

} // namespace torvanelo
