#include "ServiceRun.h"

#include "FolderPair.h"
#include "ProcessingController.h"
#include "ProgramFixture.h"
#include "ServiceEvents.h"
#include "SettingsStore.h"
#include "TestFiles.h"
#include "TestRegistry.h"
#include "frmKelvadon.h"

#include <QAction>
#include <QLabel>
#include <QCoreApplication>
#include <QTest>
#include <QTimer>

#include <climits>
#include <map>
#include <memory>
#include <signal.h>
#include <unistd.h>

using namespace torvanelo;
using namespace torvanelo::test;
using namespace Qt::Literals::StringLiterals;

namespace {

using Event = FakeServiceControl::Event;

struct Dropped {
    QByteArray content;
    Attributes streams;
};

// Waits for the condition with the event loop turning; the test's time
// limit is ctest's.
template <typename Condition>
bool waitFor(Condition condition) {
    return QTest::qWaitFor(condition, INT_MAX);
}

// A program started by the service manager as the installed service, over
// a compressing pair chained to an uncompressing one, with a delay between
// passes long enough that only the first pass runs.
class ServiceProgram {
public:
    explicit ServiceProgram(int language,
                            ProgramFixture::Runner runner = ProgramFixture::Runner::Real)
        : fixture(runner) {
        fixture.writeParameters(u"[Configuration]\nLangue="_s + QString::number(language)
                                + u"\nTemporisation=3600\n"_s);
        in = fixture.folder(u"dépôt/entrée"_s);
        middle = fixture.folder(u"dépôt/archives"_s);
        out = fixture.folder(u"dépôt/sortie"_s);
        fixture.writePairs({pairOf(in, middle), pairOf(middle, out, u"1"_s)});
        fixture.service.installed = true;
        fixture.service.running = true;
        fixture.service.startedAsService = true;
        attributes = supportsUserAttributes(in);
    }

    void drop(const QString& name, const Dropped& file) {
        QVERIFY(writeFile(in + u'/' + name, file.content));
        if (attributes && !file.streams.empty())
            QVERIFY(writeAttributes(in + u'/' + name, file.streams));
        dropped[name] = file;
    }

    // The file lies in the folder with its content and its streams.
    bool intact(const QString& folder, const QString& name) const {
        const QString path = folder + u'/' + name;
        const Dropped& file = dropped.at(name);
        if (readFile(path) != file.content)
            return false;
        return !attributes || readAttributes(path) == file.streams;
    }

    ServiceRun* serviceRun() { return fixture.window().findChild<ServiceRun*>(); }
    ProcessingController& controller() { return fixture.program().controller(); }

    std::vector<QString> names(const QString& folder) {
        std::vector<QString> found;
        for (const DirectoryEntry& entry : fixture.files.list(folder).value_or(
                 std::vector<DirectoryEntry>{DirectoryEntry{u"<unreadable>"_s}}))
            found.push_back(entry.name);
        return found;
    }

    ProgramFixture fixture;
    QString in;
    QString middle;
    QString out;
    bool attributes = false;
    std::map<QString, Dropped> dropped;
};

Event entry(const QString& text, int type = EventInformation) {
    return Event{text, type};
}

} // namespace

// The program running as the service, in this process: real folders, the
// real archiver, real signals; the service manager and its log are fakes.
class ServiceRunTest : public QObject {
    Q_OBJECT

private slots:
    void startsHiddenLogsStartedAndPassesAtOnce_data();
    void startsHiddenLogsStartedAndPassesAtOnce();
    void pauseContinueAndLogoffOnlyLog();
    void stopWithoutAPassEndsAtOnce_data();
    void stopWithoutAPassEndsAtOnce();
    void stopDuringAFileFinishesItFirst();
    void stopDuringTheArchiverCheckStartsNoPass();
    void startedByHandMakesNoServiceRun();
};

void ServiceRunTest::startsHiddenLogsStartedAndPassesAtOnce_data() {
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("started");
    QTest::newRow("English") << 0 << u"Torvanelo Service: started"_s;
    QTest::newRow("French") << 1 << u"Torvanelo Service: démarré"_s;
}

void ServiceRunTest::startsHiddenLogsStartedAndPassesAtOnce() {
    QFETCH(int, language);
    QFETCH(QString, started);
    ServiceProgram service(language);
    service.drop(u"Plan d'été.doc"_s,
                 {"plan", {{"user.com.apple.FinderInfo", std::string(32, 'F')}}});
    QVERIFY(service.fixture.start());

    QVERIFY(service.fixture.service.events == std::vector<Event>{entry(started)});
    QVERIFY(service.serviceRun() != nullptr);
    QVERIFY(service.serviceRun()->events().catchesSignals());
    QVERIFY(!service.fixture.action("mnuQuitter")->isEnabled());
    QVERIFY(!service.fixture.window().isVisible());
    QVERIFY(!service.controller().ProcessingStopped());
    // The first pass ran during start-up, through both pairs.
    QVERIFY(service.names(service.in).empty());
    QVERIFY(service.names(service.middle).empty());
    QVERIFY(service.intact(service.out, u"Plan d'été.doc"_s));
    QVERIFY(service.fixture.find<QTimer>("Timer1")->isActive());
    QVERIFY(service.fixture.exits.empty());
}

void ServiceRunTest::pauseContinueAndLogoffOnlyLog() {
    ServiceProgram service(0);
    QVERIFY(service.fixture.start());
    ServiceRun* run = service.serviceRun();
    QVERIFY(run != nullptr && run->events().catchesSignals());
    auto& events = service.fixture.service.events;
    const auto unchanged = [&] {
        QVERIFY(!service.controller().ProcessingStopped());
        QVERIFY(service.fixture.find<QTimer>("Timer1")->isActive());
        QVERIFY(!service.fixture.window().isVisible());
        QVERIFY(!service.fixture.action("mnuQuitter")->isEnabled());
        QVERIFY(service.fixture.exits.empty());
        QVERIFY(!run->stopping());
    };

    QCOMPARE(::raise(SIGTSTP), 0);
    QVERIFY(waitFor([&] { return events.size() == 2; }));
    unchanged();
    // Each entry speaks the language of its moment.
    QVERIFY(service.fixture.program().store().setLanguage(1));
    QCOMPARE(::raise(SIGCONT), 0);
    QVERIFY(waitFor([&] { return events.size() == 3; }));
    unchanged();
    emit run->events().UserLoggedOff();
    unchanged();

    const std::vector<Event> expected{
        entry(u"Torvanelo Service: started"_s), entry(u"Torvanelo Service: paused"_s),
        entry(u"Torvanelo Service: reprise"_s),
        entry(u"Torvanelo Service: utilisateur déconnecté"_s, EventWarning)};
    QVERIFY(events == expected);
}

void ServiceRunTest::stopWithoutAPassEndsAtOnce_data() {
    QTest::addColumn<bool>("stoppedByUser");
    QTest::newRow("waiting for the next pass") << false;
    QTest::newRow("passes stopped from the window") << true;
}

void ServiceRunTest::stopWithoutAPassEndsAtOnce() {
    QFETCH(bool, stoppedByUser);
    ServiceProgram service(1);
    service.drop(u"a.txt"_s, {"a", {}});
    QVERIFY(service.fixture.start());
    ServiceRun* run = service.serviceRun();
    QVERIFY(run != nullptr && run->events().catchesSignals());
    if (stoppedByUser) {
        service.controller().cmdMiroir_Click();
        QVERIFY(service.controller().ProcessingStopped());
    }

    // systemd follows its SIGTERM with a SIGCONT.
    QCOMPARE(::raise(SIGTERM), 0);
    QCOMPARE(::raise(SIGCONT), 0);
    QVERIFY(waitFor([&] { return !service.fixture.exits.empty(); }));
    QCoreApplication::processEvents();

    QCOMPARE(service.fixture.exits, std::vector<int>{0});
    const std::vector<Event> expected{entry(u"Torvanelo Service: démarré"_s),
                                      entry(u"Torvanelo Service: arrêté"_s)};
    QVERIFY(service.fixture.service.events == expected);
    QVERIFY(service.controller().ProcessingStopped());
    QVERIFY(!service.fixture.find<QTimer>("Timer1")->isActive());
    QVERIFY(!service.fixture.window().isVisible());
    QVERIFY(service.intact(service.out, u"a.txt"_s));
}

// The stop arrives while the archiver packs a file: that file is finished
// and delivered to the next folder, the pass returns, and only then does the
// program end. Nothing is half-moved; the next pass delivers the rest.
void ServiceRunTest::stopDuringAFileFinishesItFirst() {
    ServiceProgram service(0);
    // One file large enough that its archiver run outlasts the runner's
    // turns given to the window, so the stop comes in the middle of it.
    const QString big = u"Grand fichier.bin"_s;
    {
        QFile file(service.in + u'/' + big);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(96 * 1024 * 1024));
        QVERIFY(file.seek(12345));
        QVERIFY(file.write("au milieu") == 9);
    }
    QByteArray bigContent = QByteArray(96 * 1024 * 1024, '\0');
    bigContent.replace(12345, 9, "au milieu");
    service.dropped[big] = Dropped{bigContent, {{"user.taille", "96 Mo"}}};
    if (service.attributes)
        QVERIFY(writeAttributes(service.in + u'/' + big, service.dropped[big].streams));
    for (int n = 1; n <= 6; ++n)
        service.drop(
            u"petit "_s + QString::number(n) + u".txt"_s,
            {QByteArray("contenu ") + QByteArray::number(n), {{"user.n", std::to_string(n)}}});

    service.fixture.build();
    ProcessingController& controller = service.controller();
    bool raised = false;
    bool stoppingSeenWhileArchiverRan = false;
    service.fixture.realRunner.setWaitHook([&] {
        if (controller.passRunning() && !raised) {
            raised = true;
            ::raise(SIGTERM);
        }
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        ServiceRun* run = service.serviceRun();
        if (raised && run != nullptr && run->stopping())
            stoppingSeenWhileArchiverRan = true;
    });
    std::vector<std::size_t> exitsAtPassEnd;
    QObject::connect(&controller, &ProcessingController::passFinished, &controller,
                     [&] { exitsAtPassEnd.push_back(service.fixture.exits.size()); });

    QVERIFY(!service.fixture.start());

    QVERIFY(raised);
    QVERIFY(stoppingSeenWhileArchiverRan);
    QCOMPARE(exitsAtPassEnd, std::vector<std::size_t>{0});
    QCOMPARE(service.fixture.exits, std::vector<int>{0});
    const std::vector<Event> expected{entry(u"Torvanelo Service: started"_s),
                                      entry(u"Torvanelo Service: stopped"_s)};
    QVERIFY(service.fixture.service.events == expected);
    QVERIFY(controller.ProcessingStopped());
    QVERIFY(!controller.passRunning());

    // What is left in the source folder is untouched, under its own name;
    // every other file went into exactly one complete archive; the pass
    // left before the uncompressing pair.
    const std::vector<QString> left = service.names(service.in);
    for (const QString& name : left) {
        QVERIFY2(service.dropped.count(name) == 1, qPrintable(name));
        QVERIFY2(service.intact(service.in, name), qPrintable(name));
        QVERIFY(!service.fixture.files.isHidden(service.in + u'/' + name));
    }
    const std::vector<QString> archives = service.names(service.middle);
    QVERIFY(!archives.empty());
    QCOMPARE(archives.size() + left.size(), service.dropped.size());
    for (const QString& name : archives)
        QVERIFY2(name.endsWith(u".rar"_s), qPrintable(name));
    QVERIFY(service.names(service.out).empty());

    // The next pass delivers everything, intact.
    controller.cmdMiroir_Click();
    QVERIFY(!controller.passRunning());
    QVERIFY(service.names(service.in).empty());
    QVERIFY(service.names(service.middle).empty());
    QCOMPARE(service.names(service.out).size(), service.dropped.size());
    for (const auto& [name, file] : service.dropped)
        QVERIFY2(service.intact(service.out, name), qPrintable(name));
    QCOMPARE(service.fixture.exits, std::vector<int>{0});
}

// A stop while start-up checks the archiver ends the program there: no pass
// starts after it.
void ServiceRunTest::stopDuringTheArchiverCheckStartsNoPass() {
    ServiceProgram service(0, ProgramFixture::Runner::Recording);
    service.drop(u"reste.txt"_s, {"reste", {}});
    bool caught = false;
    service.fixture.recordingRunner.effect = [&](const RecordingProcessRunner::Run& run) {
        if (run.commandLine != u"rar -?"_s)
            return;
        ServiceRun* serviceRun = service.serviceRun();
        caught = serviceRun != nullptr && serviceRun->events().catchesSignals();
        if (!caught)
            return;
        // As the runner's wait gives the window its turns.
        ::raise(SIGTERM);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
    QVERIFY(!service.fixture.start());

    QVERIFY(caught);
    QCOMPARE(service.fixture.exits, std::vector<int>{0});
    QCOMPARE(service.fixture.recordingRunner.commandLines(RecordingProcessRunner::Kind::RunAndWait),
             QStringList{u"rar -?"_s});
    QVERIFY(service.controller().ProcessingStopped());
    QVERIFY(service.intact(service.in, u"reste.txt"_s));
    const std::vector<Event> expected{entry(u"Torvanelo Service: started"_s),
                                      entry(u"Torvanelo Service: stopped"_s)};
    QVERIFY(service.fixture.service.events == expected);
    QVERIFY(!service.fixture.window().isVisible());
}

// Started by hand, the program answers no service events, and a service
// that is not installed makes no service mode, whatever the environment.
void ServiceRunTest::startedByHandMakesNoServiceRun() {
    for (const bool installed : {false, true}) {
        ServiceProgram service(0, ProgramFixture::Runner::Recording);
        service.fixture.service.installed = installed;
        service.fixture.service.startedAsService = !installed;
        service.fixture.prompts.answers.push_back(UserPrompts::Answer::Yes);
        QVERIFY(service.fixture.start());
        QVERIFY(service.serviceRun() == nullptr);
        QCOMPARE(service.fixture.label("lblMode")->text(), u"Application"_s);
        QVERIFY(service.fixture.action("mnuQuitter")->isEnabled());
        // Only the removal at start-up was logged.
        QCOMPARE(service.fixture.service.events.size(), std::size_t(installed ? 1 : 0));
    }
}

TORVANELO_TEST(ServiceRunTest);
#include "ServiceRunTest.moc"
