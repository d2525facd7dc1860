#include "ProgramFixture.h"

#include "ArchiverConsole.h"
#include "FolderPairList.h"
#include "ParametersFile.h"
#include "TestFiles.h"

#include <QApplication>
#include <QDir>
#include <QTest>

namespace torvanelo::test {

using namespace Qt::Literals::StringLiterals;

ProgramFixture::ProgramFixture(Runner runner)
    : m_runner(runner) {
    // The runner finds rar in the program folder, beside the executable,
    // then on PATH; the test programs live apart from rar.
    static const bool onPath = [] {
        const QByteArray path = qgetenv("PATH");
        return qputenv("PATH", QFile::encodeName(buildDir())
                                   + (path.isEmpty() ? QByteArray() : ":" + path));
    }();
    Q_UNUSED(onPath);
    QApplication::setQuitOnLastWindowClosed(false);
}

QString ProgramFixture::folder(const QString& name) const {
    QDir(home()).mkpath(name);
    return path(name);
}

std::vector<FolderPair> ProgramFixture::pairs(int count) const {
    std::vector<FolderPair> list;
    for (int n = 1; n <= count; ++n) {
        const QString number = QString::number(n);
        list.push_back(pairOf(folder(u"in"_s + number), folder(u"out"_s + number),
                              n % 2 ? u"0"_s : u"1"_s, n % 3 ? u"1"_s : u"0"_s,
                              QString::number(n * 10)));
    }
    return list;
}

bool ProgramFixture::start(const QString& parameters, const std::vector<FolderPair>& pairs) {
    if (!parameters.isNull())
        writeParameters(parameters);
    if (!pairs.empty())
        writePairs(pairs);
    return build().start();
}

void ProgramFixture::writeParameters(const QString& text) {
    QVERIFY(writeFile(path(u"Torvanelo.ini"_s), text.toUtf8()));
}

void ProgramFixture::writePairs(const std::vector<FolderPair>& pairs) {
    ParametersFile parameters(path(u"Torvanelo.ini"_s));
    QVERIFY(SaveFolderPairs(parameters, path(u"Torvanelo.w"_s), pairs));
}

QString ProgramFixture::storedValue(const QString& section, const QString& key) const {
    return ParametersFile(path(u"Torvanelo.ini"_s)).ReadProfileValue(section, key);
}

QByteArray ProgramFixture::snapshot() const {
    const QByteArray missing("<missing>");
    return readFile(path(u"Torvanelo.ini"_s)).value_or(missing) + "\n--\n"
           + readFile(path(u"Torvanelo.w"_s)).value_or(missing);
}

std::vector<FolderPair> ProgramFixture::pairsOnDisk() const {
    return LoadFolderPairs(ParametersFile(path(u"Torvanelo.ini"_s)), path(u"Torvanelo.w"_s)).pairs;
}

QStringList ProgramFixture::shown() const {
    QStringList lines;
    for (const auto& message : prompts.messages)
        lines << said(message);
    return lines;
}

MainProgram& ProgramFixture::build() {
    if (!m_program) {
        m_program = std::make_unique<MainProgram>(
            home(),
            ProgramServices{files,
                            m_runner == Runner::Real ? static_cast<ProcessRunner&>(realRunner)
                                                     : recordingRunner,
                            clock, service, prompts, machine, acquireSingleInstance,
                            [this](int status) { exits.push_back(status); }});
        realRunner.setWaitHook(
            [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
        realRunner.setConsoleSink(&m_program->console());
    }
    return *m_program;
}

void ProgramFixture::command(const QString& name) {
    if (auto* button = window().findChild<QPushButton*>(name))
        QTest::mouseClick(button, Qt::LeftButton);
    else
        window().findChild<QAction*>(name)->trigger();
}

FolderPair pairOf(const QString& source, const QString& target, const QString& mode,
                  const QString& enabled, const QString& interval) {
    return FolderPair{source, target, interval, interval, mode, enabled};
}

QString said(const ScriptedUserPrompts::Message& message) {
    static const char* const icons[] = {"information", "question", "warning", "error"};
    return u'[' + QLatin1StringView(icons[int(message.icon)])
           + (message.buttons == UserPrompts::Buttons::YesNo ? u" yes/no"_s : QString()) + u"] "_s
           + message.title + u": "_s + message.text;
}

RecordedDocuments::RecordedDocuments()
    : m_override([this](const QUrl& url) {
        paths << url.toLocalFile();
        return true;
    }) {}

QPoint cellCentre(FolderGrid* grid, int row, int column) {
    return grid->visualRect(grid->model()->index(row, column)).center();
}

void clickCell(FolderGrid* grid, int row, int column) {
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellCentre(grid, row, column));
}

void hover(QWidget* widget, const QPoint& position) {
    QMouseEvent move(QEvent::MouseMove, position, widget->mapToGlobal(position), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &move);
}

void saveScreenshot(QWidget* widget, const QString& name) {
    const QString folder = buildDir() + u"/screenshots"_s;
    QVERIFY(QDir().mkpath(folder));
    QVERIFY2(widget->grab().save(folder + u'/' + name), qPrintable(name));
}

} // namespace torvanelo::test
