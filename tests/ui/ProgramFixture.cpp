#include "ProgramFixture.h"

#include "ArchiverConsole.h"
#include "FolderPairList.h"
#include "ParametersFile.h"
#include "SettingsStore.h"
#include "TestFiles.h"
#include "frmKelvadon.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>

namespace torvanelo::test {

namespace {

// The runner finds rar in the program folder, beside the executable, then on
// PATH; the test programs live apart from rar, so PATH leads to it.
void putBuildFolderOnPath() {
    static const bool done = [] {
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH",
                QFile::encodeName(buildDir()) + (path.isEmpty() ? QByteArray() : ":" + path));
        return true;
    }();
    Q_UNUSED(done);
}

} // namespace

ProgramFixture::ProgramFixture(Runner runner)
    : m_runner(runner) {
    putBuildFolderOnPath();
    QApplication::setQuitOnLastWindowClosed(false);
}

ProgramFixture::~ProgramFixture() {
    m_program.reset();
}

QString ProgramFixture::folder(const QString& name) const {
    QDir(home()).mkpath(name);
    return path(name);
}

void ProgramFixture::writeParameters(const QString& text) {
    QVERIFY(writeFile(path(QStringLiteral("Torvanelo.ini")), text.toUtf8()));
}

void ProgramFixture::writePairs(const std::vector<FolderPair>& pairs) {
    ParametersFile parameters(path(QStringLiteral("Torvanelo.ini")));
    QVERIFY(SaveFolderPairs(parameters, path(QStringLiteral("Torvanelo.w")), pairs));
}

QString ProgramFixture::storedValue(const QString& section, const QString& key) const {
    return ParametersFile(path(QStringLiteral("Torvanelo.ini"))).ReadProfileValue(section, key);
}

ProcessRunner& ProgramFixture::runner() {
    if (m_runner == Runner::Real)
        return realRunner;
    return recordingRunner;
}

MainProgram& ProgramFixture::build() {
    if (!m_program) {
        m_program = std::make_unique<MainProgram>(
            home(), ProgramServices{files, runner(), clock, service, prompts, machine,
                                    acquireSingleInstance,
                                    [this](int status) { exits.push_back(status); }});
        realRunner.setWaitHook(
            [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
        realRunner.setConsoleSink(&m_program->console());
    }
    return *m_program;
}

bool ProgramFixture::start() {
    return build().start();
}

void ProgramFixture::unplugWindowCommands() {
    frmKelvadon* w = &window();
    QObject::disconnect(w, &frmKelvadon::EditFolderRequested, nullptr, nullptr);
    QObject::disconnect(w, &frmKelvadon::removePairsRequested, nullptr, nullptr);
    QObject::disconnect(w, &frmKelvadon::setModeRequested, nullptr, nullptr);
    QObject::disconnect(w, &frmKelvadon::showPairFilesRequested, nullptr, nullptr);
    QObject::disconnect(w, &frmKelvadon::refreshFolderFilesRequested, nullptr, nullptr);
    QObject::disconnect(w, &frmKelvadon::toggleFolderFilesRequested, nullptr, nullptr);
    QObject::disconnect(w, &frmKelvadon::delayDialogRequested, nullptr, nullptr);
    QObject::disconnect(w, &frmKelvadon::performanceDialogRequested, nullptr, nullptr);
    QObject::disconnect(w, &frmKelvadon::prefixDialogRequested, nullptr, nullptr);
    QObject::disconnect(w, &frmKelvadon::warningDialogRequested, nullptr, nullptr);
    QObject::disconnect(w, &frmKelvadon::logFolderDialogRequested, nullptr, nullptr);
    QObject::disconnect(w, &frmKelvadon::logViewerRequested, nullptr, nullptr);
    QObject::disconnect(w, &frmKelvadon::purgeDialogRequested, nullptr, nullptr);
    QObject::disconnect(w, &frmKelvadon::helpRequested, nullptr, nullptr);
    QObject::disconnect(w, &frmKelvadon::aboutRequested, nullptr, nullptr);
    QObject::disconnect(w, &frmKelvadon::serviceDialogRequested, nullptr, nullptr);
}

QAction* ProgramFixture::action(const char* name) {
    return find<QAction>(name);
}

QMenu* ProgramFixture::menu(const char* name) {
    return find<QMenu>(name);
}

QLabel* ProgramFixture::label(const char* name) {
    return find<QLabel>(name);
}

QPushButton* ProgramFixture::button(const char* name) {
    return find<QPushButton>(name);
}

FolderPair pairOf(const QString& source, const QString& target, const QString& mode,
                  const QString& enabled, const QString& interval) {
    return FolderPair{source, target, interval, interval, mode, enabled};
}

} // namespace torvanelo::test
