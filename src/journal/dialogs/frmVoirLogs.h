#pragma once

#include <QString>
#include <QWidget>

#include <vector>

class QLabel;
class QMenu;
class QAction;
class QScrollBar;

namespace torvanelo {

class Clock;
class FileSystem;
class UserPrompts;
struct Settings;

// The journal viewer: a small window at the top right of the screen, kept
// above the others without taking the focus, that lists the journals of the
// journal folder by date, in rows of four, oldest first. A click on a date
// opens that journal in the browser (OpenDocument) and draws the date in
// purple; the right button offers to delete it. On opening, today's journal
// (or else the latest of the program's own) is opened at once.
//
// The window is built afresh at each opening; journals written or deleted
// meanwhile show at the next one. Each label stands for the file it was
// listed from, so a click or a deletion always acts on that very file.
class frmVoirLogs final : public QWidget {
    Q_OBJECT

public:
    frmVoirLogs(const Settings& settings, FileSystem& files, const Clock& clock,
                UserPrompts& prompts, QWidget* parent = nullptr);

    // The date labels, in listing order (index 0 is the oldest).
    int labelCount() const { return int(m_labels.size()); }
    QLabel* dateLabel(int index) const;
    // The journal a label stands for.
    QString journalPath(int index) const;
    bool visited(int index) const;

    // A left click on a date: the main window goes to the tray, the date
    // turns purple and its journal opens.
    void Label_Click(int index);
    // The right button on a date: the pop-up menu mnuSupprimer at `where`.
    void Label_RightPress(int index, const QPoint& where);
    // The pop-up's delete entry: asks, then deletes the journal of the date
    // last right-clicked and hides its label.
    void mnuSupprimerLog_Click();
    QMenu* popupMenu() const { return m_mnuSupprimer; }
    QScrollBar* scrollBar() const { return m_VScroll1; }

signals:
    // The main window is to be minimized (into the tray).
    void minimizeMainWindowRequested();
    // The viewer closed.
    void viewerClosed();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct DateLabel {
        QLabel* label;
        QString fileName;
        QPoint twips;
        bool visited = false;
    };

    void Form_Load();
    void addLabel(const QString& fileName);
    void markVisited(int index);
    void VScroll1_Change(int value);
    void placeLabel(const DateLabel& entry);
    void applyCaption();
    void placeTopRight();

    const Settings& m_settings;
    FileSystem& m_files;
    const Clock& m_clock;
    UserPrompts& m_prompts;
    QString m_folder;
    std::vector<DateLabel> m_labels;
    QScrollBar* m_VScroll1 = nullptr;
    QMenu* m_mnuSupprimer = nullptr;
    QAction* m_mnuSupprimerLog = nullptr;
    QAction* m_mnuAnnuler = nullptr;
    int m_rightClicked = -1;
    int m_scrollValue = 0;
};

// The viewer's caption in a language.
QString ViewerCaption(int language);

} // namespace torvanelo
