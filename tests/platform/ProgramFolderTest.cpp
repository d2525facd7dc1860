#include "ProgramFolder.h"

#include "PlatformTestSupport.h"
#include "TestRegistry.h"

#include <QTest>

#include <sys/stat.h>

using namespace torvanelo;
using namespace torvanelo::test;
using namespace Qt::StringLiterals;

namespace {

std::optional<unsigned> modeOf(const QString& path) {
    const auto status = lstatOf(path);
    if (!status || !S_ISDIR(status->st_mode))
        return std::nullopt;
    return unsigned(status->st_mode & 07777);
}

} // namespace

class ProgramFolderTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ScratchFolder> m_dir;
    std::unique_ptr<EnvironmentOverride> m_torvaneloHome;
    std::unique_ptr<EnvironmentOverride> m_home;

    QString pathOf(const QString& name) const { return m_dir->filePath(name); }
    QString executable() const { return pathOf(u"copy"_s); }
    QString home() const { return pathOf(u"home"_s); }

private slots:
    void init() {
        m_dir = std::make_unique<ScratchFolder>();
        QVERIFY(m_dir->isValid());
        QVERIFY(::mkdir(encodeFileName(executable()).constData(), 0700) == 0);
        QVERIFY(::mkdir(encodeFileName(home()).constData(), 0700) == 0);
        m_torvaneloHome = std::make_unique<EnvironmentOverride>("TORVANELO_HOME", std::nullopt);
        m_home = std::make_unique<EnvironmentOverride>("HOME", encodeFileName(home()));
    }
    void cleanup() {
        m_home.reset();
        m_torvaneloHome.reset();
        m_dir.reset();
    }

    // The executable's folder keeps the files where this user may write it
    // or where they already are; otherwise the user's configuration folder
    // takes them, and is made private.
    void programFolderFollowsTheCopy_data() {
        QTest::addColumn<unsigned>("mode");      // of the executable's folder
        QTest::addColumn<QString>("present");    // a file already beside it
        QTest::addColumn<QString>("configHome"); // XDG_CONFIG_HOME
        QTest::addColumn<QString>("expected");   // "copy", "config" or "dot-config"
        const auto row = [](const char* name, unsigned mode, const char* configHome,
                            const char* expected, const char* present = "") {
            QTest::newRow(name) << mode << QString::fromLatin1(present)
                                << QString::fromLatin1(configHome) << QString::fromLatin1(expected);
        };
        row("writable copy", 0755, "absolute", "copy");
        row("read-only, configuration home set", 0555, "absolute", "config");
        row("read-only, odd bytes in the configuration home", 0555, "odd", "config");
        row("read-only, configuration home unset", 0555, "unset", "dot-config");
        row("read-only, configuration home empty", 0555, "empty", "dot-config");
        row("read-only, configuration home relative", 0555, "relative", "dot-config");
        row("read-only with its parameters file", 0555, "absolute", "copy", "Torvanelo.ini");
        row("read-only with its pair file", 0555, "absolute", "copy", "Torvanelo.w");
        row("not searchable", 0666, "absolute", "config");
    }
    void programFolderFollowsTheCopy() {
        QFETCH(unsigned, mode);
        QFETCH(QString, present);
        QFETCH(QString, configHome);
        QFETCH(QString, expected);
        if (!present.isEmpty())
            QVERIFY(writeFile(executable() + u'/' + present, "[Configuration]\r\n"));
        const QString configFolder =
            configHome == u"odd" ? pathOf(decodeFileName("caf\xe9\n")) : pathOf(u"config"_s);
        std::optional<QByteArray> variable;
        if (configHome == u"absolute" || configHome == u"odd")
            variable = encodeFileName(configFolder);
        else if (configHome == u"empty")
            variable = QByteArray();
        else if (configHome == u"relative")
            variable = "config";
        const EnvironmentOverride xdg("XDG_CONFIG_HOME", variable);

        const QString chosen =
            asOrdinaryUser(executable(), mode, [&] { return programFolderBeside(executable()); });

        const QString own = expected == u"copy"     ? executable()
                            : expected == u"config" ? configFolder + u"/torvanelo"_s
                                                    : home() + u"/.config/torvanelo"_s;
        QCOMPARE(chosen, own);
        if (expected == u"copy") {
            QCOMPARE(modeOf(configFolder), std::nullopt);
            QCOMPARE(namesIn(home()), QStringList());
        } else {
            QCOMPARE(modeOf(own), std::optional(0700u));
            QCOMPARE(modeOf(own.left(own.lastIndexOf(u'/'))), std::optional(0700u));
        }
    }

    // Folders made for the configuration are private whatever the umask;
    // one that exists keeps the mode its owner gave it.
    void configurationFolderIsPrivate() {
        QVERIFY(::mkdir(encodeFileName(pathOf(u"base"_s)).constData(), 0755) == 0);
        const QString deep = pathOf(u"base/a/b"_s);
        const EnvironmentOverride xdg("XDG_CONFIG_HOME", encodeFileName(deep));
        const mode_t former = ::umask(0277);
        const QString chosen = programFolderBeside(u"/usr/bin"_s);
        ::umask(former);
        QCOMPARE(chosen, deep + u"/torvanelo"_s);
        for (const QString& folder : {pathOf(u"base/a"_s), deep, chosen})
            QCOMPARE(modeOf(folder), std::optional(0700u));
        QCOMPARE(modeOf(pathOf(u"base"_s)), std::optional(0755u));

        // Nothing changes for a folder that is there already.
        QVERIFY(setMode(chosen, 0750));
        QCOMPARE(programFolderBeside(u"/usr/bin"_s), chosen);
        QCOMPARE(modeOf(chosen), std::optional(0750u));
    }

    // A system program folder is never the program folder, even for root
    // who may write it; TORVANELO_HOME still wins over everything.
    void systemFoldersAndTheEnvironment() {
        const EnvironmentOverride xdg("XDG_CONFIG_HOME", std::nullopt);
        QCOMPARE(programFolderBeside(u"/usr/bin"_s), home() + u"/.config/torvanelo"_s);
        QVERIFY(writeFile(executable() + u"/Torvanelo.ini"_s, ""));
        const EnvironmentOverride torvaneloHome("TORVANELO_HOME", "/srv/tv");
        QCOMPARE(programFolderBeside(executable()), u"/srv/tv"_s);
    }

    // Installed in <prefix>/bin, the program also looks in its prefix for
    // the archiver and the help documents; the test programs sit in a bin/
    // folder of their own.
    void installedFoldersComeFromThePrefix() {
        const QString bin = executableFolder();
        QVERIFY(bin.endsWith(u"/bin"));
        const QString prefix = bin.chopped(4);
        const EnvironmentOverride torvaneloHome("TORVANELO_HOME", encodeFileName(home()));
        QCOMPARE(archiverFolders(), (QStringList{home(), bin, prefix + u"/lib/torvanelo"_s}));
        QCOMPARE(helpFolders(bin), (QStringList{bin, prefix + u"/share/torvanelo"_s}));
    }
};

TORVANELO_TEST(ProgramFolderTest);

#include "ProgramFolderTest.moc"
