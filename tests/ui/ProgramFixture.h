#pragma once

#include "FakeClock.h"
#include "FakeServiceControl.h"
#include "FolderPair.h"
#include "MainProgram.h"
#include "RecordingProcessRunner.h"
#include "ScriptedUserPrompts.h"
#include "frmKelvadon.h"
#include "linux/LinuxFileSystem.h"
#include "linux/LinuxProcessRunner.h"

#include <QTemporaryDir>

#include <memory>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class QPushButton;

namespace torvanelo::test {

// A whole program in a temporary program folder: real files, the real file
// system and, when asked, the real process runner with the built rar; the
// clock, the service manager and the prompts are fakes. The program's ends
// are recorded instead of leaving anything.
class ProgramFixture {
public:
    enum class Runner { Recording, Real };
    explicit ProgramFixture(Runner runner = Runner::Recording);
    ~ProgramFixture();

    QString home() const { return m_home.path(); }
    QString path(const QString& name) const { return m_home.filePath(name); }
    // Makes a folder in the program folder and returns its path.
    QString folder(const QString& name) const;

    // The parameters file's text, written before the program starts.
    void writeParameters(const QString& text);
    // The pair list through the program's own writer.
    void writePairs(const std::vector<FolderPair>& pairs);
    // A key of the parameters file as it is on disk now.
    QString storedValue(const QString& section, const QString& key) const;

    // Builds the program; start() builds it when needed and runs start-up.
    MainProgram& build();
    bool start();
    MainProgram& program() { return *m_program; }
    frmKelvadon& window() { return m_program->window(); }

    template <typename T>
    T* find(const char* name) {
        return window().template findChild<T*>(QString::fromLatin1(name));
    }
    QAction* action(const char* name);
    QMenu* menu(const char* name);
    QLabel* label(const char* name);
    QPushButton* button(const char* name);

    ProcessRunner& runner();
    // Disconnects the windows plugged into the main window's commands, so a
    // test sees the commands themselves without opening modal dialogs.
    void unplugWindowCommands();

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

} // namespace torvanelo::test
