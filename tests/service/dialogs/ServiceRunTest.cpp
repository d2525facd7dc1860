#include "ServiceRun.h"

#include "ProcessingController.h"
#include "ProgramFixture.h"
#include "ServiceEvents.h"
#include "SettingsStore.h"
#include "TestFiles.h"
#include "TestRegistry.h"

#include <QCoreApplication>
#include <QTest>
#include <QTimer>

#include <signal.h>

using namespace torvanelo;
using namespace torvanelo::test;
using namespace Qt::Literals::StringLiterals;

namespace {

using Event = FakeServiceControl::Event;

// A program started by the service manager as the installed service, over
// a compressing pair chained to an uncompressing one, with one file waiting
// in the source folder; after the first pass the next would come an hour
// later.
class ServiceProgram {
public:
    explicit ServiceProgram(int language,
                            ProgramFixture::Runner runner = ProgramFixture::Runner::Real)
        : fixture(runner) {
        fixture.writeParameters(u"[Configuration]\nLangue="_s + QString::number(language)
                                + u"\nTemporisation=3600\n"_s);
        fixture.writePairs({pairOf(in, middle), pairOf(middle, out, u"1"_s)});
        fixture.service.installed = fixture.service.running = true;
        fixture.service.startedAsService = true;
        QVERIFY(writeFile(in + u"/Plan d'été.doc"_s, "plan"));
    }

    // The waiting file, same name and bytes, is in the folder.
    bool intact(const QString& folder) const {
        return readFile(folder + u"/Plan d'été.doc"_s) == "plan";
    }
    ServiceRun* run() { return fixture.window().findChild<ServiceRun*>(); }
    ProcessingController& controller() { return fixture.program().controller(); }
    // The system log's entries, warnings marked.
    QStringList log() const {
        QStringList entries;
        for (const Event& event : fixture.service.events)
            entries << (event.eventType == EventWarning ? u"warning: "_s : u""_s) + event.text;
        return entries;
    }

    ProgramFixture fixture;
    const QString in = fixture.folder(u"dépôt/entrée"_s);
    const QString middle = fixture.folder(u"dépôt/archives"_s);
    const QString out = fixture.folder(u"dépôt/sortie"_s);
};

} // namespace

// The program running as the service, in this process: real folders, the
// real archiver, real signals; the service manager and its log are fakes.
class ServiceRunTest : public QObject {
    Q_OBJECT

private slots:
    // The first pass runs at start-up through both pairs. Pause, continue
    // and a logoff only log, each in the language of its moment: the passes
    // go on, hidden, with Quit disabled. A stop between passes (systemd
    // follows its SIGTERM with a SIGCONT) ends the program at once, with
    // status 0.
    void eventsBetweenPasses_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<bool>("stoppedByUser");
        QTest::addColumn<QString>("log"); // "*" for "Torvanelo Service: "
        QTest::newRow("English, then French; waiting for the next pass")
            << 0 << false
            << u"*started|*paused|*reprise|warning: *utilisateur déconnecté|*arrêté"_s;
        QTest::newRow("French, then English; passes stopped from the window")
            << 1 << true << u"*démarré|*suspendu|*continued|warning: *logoff user|*stopped"_s;
    }
    void eventsBetweenPasses() {
        QFETCH(int, language);
        QFETCH(bool, stoppedByUser);
        ServiceProgram service(language);
        QVERIFY(service.fixture.start());
        ServiceRun* run = service.run();
        QVERIFY(run != nullptr && run->events().catchesSignals());
        QVERIFY(service.intact(service.out));
        const auto unchanged = [&] {
            return !service.controller().ProcessingStopped()
                   && service.fixture.find<QTimer>("Timer1")->isActive()
                   && !service.fixture.window().isVisible()
                   && !service.fixture.action("mnuQuitter")->isEnabled()
                   && service.fixture.exits.empty() && !run->stopping();
        };
        QCOMPARE(::raise(SIGTSTP), 0);
        QTRY_COMPARE(service.log().size(), 2);
        QVERIFY(unchanged());
        QVERIFY(service.fixture.program().store().setLanguage(1 - language));
        QCOMPARE(::raise(SIGCONT), 0);
        QTRY_COMPARE(service.log().size(), 3);
        emit run->events().UserLoggedOff();
        QVERIFY(unchanged());

        if (stoppedByUser)
            service.controller().cmdMiroir_Click();
        QCOMPARE(::raise(SIGTERM), 0);
        QCOMPARE(::raise(SIGCONT), 0);
        QTRY_VERIFY(!service.fixture.exits.empty());
        QTest::qWait(0);
        QCOMPARE(service.fixture.exits, std::vector<int>{0});
        QTEST(service.log().join(u'|').replace(u"Torvanelo Service: "_s, u"*"_s), "log");
    }

    // A stop while start-up checks the archiver ends the program there: no
    // pass starts after it.
    void stopDuringTheArchiverCheckStartsNoPass() {
        ServiceProgram service(0, ProgramFixture::Runner::Recording);
        bool caught = false;
        service.fixture.recordingRunner.effect = [&](const RecordingProcessRunner::Run& run) {
            caught = run.commandLine == u"rar -?"_s && service.run()
                     && service.run()->events().catchesSignals();
            if (!caught)
                return;
            // As the runner's wait gives the window its turns.
            ::raise(SIGTERM);
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        };
        QVERIFY(!service.fixture.start());

        QVERIFY(caught);
        QCOMPARE(service.fixture.exits, std::vector<int>{0});
        QCOMPARE(service.fixture.recordingRunner.runs.size(), std::size_t(1));
        QVERIFY(service.intact(service.in));
        QCOMPARE(service.log(),
                 (QStringList{u"Torvanelo Service: started"_s, u"Torvanelo Service: stopped"_s}));
    }
};

TORVANELO_TEST(ServiceRunTest);
#include "ServiceRunTest.moc"
