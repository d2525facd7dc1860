#pragma once

#include "FakeClock.h"
#include "FakeServiceControl.h"
#include "FolderGrid.h"
#include "FolderPair.h"
#include "MainProgram.h"
#include "OpenDocument.h"
#include "RecordingProcessRunner.h"
#include "ScriptedUserPrompts.h"
#include "frmKelvadon.h"
#include "linux/LinuxFileSystem.h"
#include "linux/LinuxProcessRunner.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QUrl>

#include <memory>
#include <vector>

namespace torvanelo::test {

// A whole program in a temporary program folder: real files, the real file
// system and, when asked, the real process runner with the built rar; the
// clock, the service manager and the prompts are fakes. The program's ends
// are recorded instead of leaving anything.
class ProgramFixture {
public:
    enum class Runner { Recording, Real };
    explicit ProgramFixture(Runner runner = Runner::Recording);

    QString home() const { return m_home.path(); }
    QString path(const QString& name) const { return m_home.filePath(name); }
    // Makes a folder in the program folder and returns its path.
    QString folder(const QString& name) const;
    // `count` pairs over the folders inN and outN, each with settings of its
    // own: odd ones compress, every third is disabled, intervals 10, 20...
    std::vector<FolderPair> pairs(int count) const;

    // The parameters file's text (none when null) and the pair list through
    // the program's own writer, then start-up.
    bool start(const QString& parameters = QString(), const std::vector<FolderPair>& pairs = {});
    void writeParameters(const QString& text);
    void writePairs(const std::vector<FolderPair>& pairs);
    // A key of the parameters file as it is on disk now; stored() reads
    // the Configuration section.
    QString storedValue(const QString& section, const QString& key) const;
    QString stored(const QString& key) const {
        return storedValue(QStringLiteral("Configuration"), key);
    }
    // Both files as they are on disk now, to see that nothing changed.
    QByteArray snapshot() const;
    std::vector<FolderPair> pairsOnDisk() const;
    // Every message box shown so far, each as said() puts it.
    QStringList shown() const;

    MainProgram& build();
    MainProgram& program() { return *m_program; }
    frmKelvadon& window() { return m_program->window(); }
    template <typename T>
    T* find(const char* name) {
        return window().template findChild<T*>(QString::fromLatin1(name));
    }
    QAction* action(const char* name) { return find<QAction>(name); }
    QLabel* label(const char* name) { return find<QLabel>(name); }
    QPushButton* button(const char* name) { return find<QPushButton>(name); }
    // Clicks the button or triggers the menu entry of that name.
    void command(const QString& name);

    LinuxFileSystem files;
    RecordingProcessRunner recordingRunner;
    LinuxProcessRunner realRunner;
    FakeClock clock;
    FakeServiceControl service;
    ScriptedUserPrompts prompts;
    MachineNames machine{QStringLiteral("filesrv"), QStringLiteral("backup"),
                         QStringLiteral("Debian GNU/Linux 12 (bookworm) v.6.1, Build 0")};
    std::function<bool()> acquireSingleInstance = [] { return true; };
    std::vector<int> exits;

private:
    QTemporaryDir m_home;
    Runner m_runner;
    std::unique_ptr<MainProgram> m_program;
};

// A pair with both folders, every pass, enabled, compressing unless told.
FolderPair pairOf(const QString& source, const QString& target,
                  const QString& mode = QStringLiteral("0"),
                  const QString& enabled = QStringLiteral("1"),
                  const QString& interval = QStringLiteral("1"));

// A message box as one line: "[question yes/no] Torvanelo: text".
QString said(const ScriptedUserPrompts::Message& message);

// Records what would have been handed to the browser, for as long as it lives.
class RecordedDocuments {
public:
    RecordedDocuments();
    QStringList paths; // the local paths opened, in order

private:
    DocumentOpenerOverride m_override;
};

QPoint cellCentre(FolderGrid* grid, int row, int column);
void clickCell(FolderGrid* grid, int row, int column);
// A pointer move with no button held, as the window system delivers it.
void hover(QWidget* widget, const QPoint& position);
// Saves a picture of the widget under <build>/screenshots for the eye.
void saveScreenshot(QWidget* widget, const QString& name);

} // namespace torvanelo::test
