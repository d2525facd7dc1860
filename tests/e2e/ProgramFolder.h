#pragma once

#include "EngineTestFiles.h"
#include "HexCodec.h"

#include <QDir>
#include <QProcess>

#include <algorithm>
#include <csignal>
#include <sys/prctl.h>

namespace torvanelo::test {

// The built program's own folder with a compressing pair (in -> middle)
// chained to an uncompressing pair (middle -> out), each folder under one
// temporary root, and a runtime folder of its own so copies run by other
// tests never meet its lock.
struct ProgramFolder {
    QTemporaryDir root;
    QString home = root.filePath(QStringLiteral("home"));
    QString in = root.filePath(QStringLiteral("in"));
    QString middle = root.filePath(QStringLiteral("middle"));
    QString out = root.filePath(QStringLiteral("out"));
    QString runtime = root.filePath(QStringLiteral("runtime"));
    // The executable run; the archiver is looked for beside it too.
    QString program = buildDir() + QStringLiteral("/torvanelo");

    ProgramFolder() {
        for (const QString& folder : {home, in, middle, out, runtime})
            QDir().mkpath(folder);
        setMode(runtime, 0700);
    }
    // QTemporaryDir cannot remove names that are not UTF-8.
    ~ProgramFolder() { removeTree(root.path()); }

    static QByteArray pairField(const QString& path) {
        return '"' + HexEncode(toUtf16Le(path)).toLatin1() + '"';
    }

    struct Pair {
        QString source;
        QString target;
        bool uncompress = false;
    };

    // The pair file and the parameters file for any pairs, with these
    // [Configuration] lines and any further sections.
    bool writePairs(const std::vector<Pair>& pairs, const QByteArray& configuration,
                    const QByteArray& sections = {}) const {
        QByteArray list;
        QByteArray ini = "[Configuration]\r\n" + configuration + sections;
        for (std::size_t n = 0; n < pairs.size(); ++n) {
            list += pairField(pairs[n].source) + ',' + pairField(pairs[n].target) + "\r\n";
            if (pairs[n].uncompress)
                ini += "[Rar_" + QByteArray::number(qsizetype(n + 1)) + "]\r\nRar=1\r\n";
        }
        return writeFile(pathIn(home, QStringLiteral("Torvanelo.w")), list)
               && writeFile(pathIn(home, QStringLiteral("Torvanelo.ini")), ini);
    }

    // The chained pairs, with these [Configuration] lines.
    bool writeSettings(const QByteArray& configuration) const {
        return writePairs({{in, middle}, {middle, out, true}}, configuration);
    }

    bool plantAll(const std::vector<Original>& originals) const {
        return std::all_of(originals.begin(), originals.end(),
                           [&](const Original& original) { return plant(in, original); });
    }

    // Empty when the out folder holds exactly these files, whole, and only
    // these entries (of the in, then the middle folder) are left on the way.
    QString checkDelivered(const std::vector<Original>& originals,
                           const QStringList& leftOnTheWay = {}) const {
        const QStringList left = entryNames(in) + entryNames(middle);
        if (entryNames(out) != namesOf(originals) || left != leftOnTheWay)
            return QStringLiteral("out holds ") + entryNames(out).join(u'|')
                   + QStringLiteral("; left on the way: ") + left.join(u'|');
        for (const Original& original : originals) {
            if (const QString problem = checkIntact(out, original); !problem.isEmpty())
                return problem;
        }
        return QString();
    }

    // Starts the program headless, as a user's copy unless `extra` says
    // otherwise (or another command that runs it, such as a tracer). It ends
    // with the test, also when ctest kills the test: no program is left
    // running passes on its own.
    void start(QProcess& program, const QProcessEnvironment& extra = {},
               const QString& command = {}, const QStringList& arguments = {}) const {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("TORVANELO_SERVICE"));
        environment.remove(QStringLiteral("TORVANELO_COSTS"));
        environment.insert(QStringLiteral("TORVANELO_HOME"), home);
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        environment.insert(extra);
        program.setProcessEnvironment(environment);
        program.setWorkingDirectory(home);
        program.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        if (command.isEmpty())
            program.start(this->program, QStringList());
        else
            program.start(command, arguments);
    }

    // Runs the program to its end (through a launcher such as setpriv when
    // given): its error output when it ended normally with this status;
    // otherwise nullopt, its error output shown.
    std::optional<QString> run(int status = 0, const QProcessEnvironment& extra = {},
                               const QStringList& launcher = {}) const {
        QProcess program;
        if (launcher.isEmpty())
            start(program, extra);
        else
            start(program, extra, launcher.first(), launcher.mid(1) + QStringList{this->program});
        const bool ended = program.waitForFinished(-1)
                           && program.exitStatus() == QProcess::NormalExit
                           && program.exitCode() == status;
        const QString errors = QString::fromUtf8(program.readAllStandardError());
        if (!ended)
            qWarning("status %d: %s", program.exitCode(), qPrintable(errors));
        return ended ? std::optional(errors) : std::nullopt;
    }
};

} // namespace torvanelo::test
