#pragma once

#include "ParametersFile.h"
#include "Settings.h"
#include "SettingsKeys.h"

#include <QString>

namespace torvanelo {

// Owns the process-wide Settings and the parameters file they come from.
// Reading follows the start-up order: the language first (before the
// single-instance check), the remaining keys later. Each setter writes its
// key and sets the field in one step; it returns whether the write reached
// the file, and the field holds the new value in memory either way, so the
// change is in force for the rest of the run.
//
// Integer keys are read by the numeric reading rule (leading number, halves
// rounded to even). A value that does not fit the field's width can only
// come from an edited file; it is clamped to the nearest value that fits
// (40000 -> 32767), which keeps the edit's intent ("very long") where the
// default would silently undo it, and keeps the archive counter from going
// back to numbers already used. The delay, the performance and the journal
// retention then take their default when the result is below 1: zero, and a
// negative value that no dialog can produce, have no meaning there (a
// negative retention would ask the purge to keep fewer than no journals).
class SettingsStore {
public:
    // The parameters file and the pair file live in the program folder.
    explicit SettingsStore(const QString& programFolder);

    const Settings& settings() const { return m_settings; }
    const QString& programFolder() const { return m_programFolder; }
    ParametersFile& parametersFile() { return m_parameters; }
    const ParametersFile& parametersFile() const { return m_parameters; }

    // "Langue".
    void readLanguage();
    // Every other global key, in start-up order.
    void readRemaining();

    bool setLanguage(qint16 language);
    bool setDefaultDelay(qint16 seconds);
    bool setPerformance(qint16 turns);
    bool setCompressedPrefix(const QString& prefix);
    bool setShowArchiverConsole(bool on);
    bool setShowFolderFiles(bool on);
    bool setAutoStart(bool on);
    bool setStopAfterFirstPass(bool on);
    // StopAfterFirstPass for the rest of this run only; the key keeps its
    // value (a key press on the start splash cancels the end of this run).
    void overrideStopAfterFirstPass(bool on) { m_settings.StopAfterFirstPass = on; }
    bool setWarnOnScreen(bool on);
    bool setWarnBeep(bool on);
    bool setWarnNetSend(bool on);
    bool setNetSendMessage(const QString& message);
    bool setWarnEventLog(bool on);
    bool setWarnDesktop(bool on);
    bool setWindowPosition(const QString& position);
    bool setLogEnabled(bool on);
    bool setLogFileNames(bool on);
    bool setLogFolder(const QString& folder);
    bool setPurgeOldLogs(bool on);
    bool setLogRetention(qint16 journals);

    // The number of the last archive made, read from the file at each call
    // (never cached); 0 when missing.
    qint32 readLastFileNumber() const;
    bool writeLastFileNumber(qint32 number);

private:
    QString readText(SettingKey key) const;
    bool readYesNo(SettingKey key) const;
    qint16 readInt16(SettingKey key, qint16 fallback, bool positiveOnly) const;
    QString existingFolderOrProgramFolder(const QString& folder) const;

    bool write(SettingKey key, const QString& value);
    bool write(SettingKey key, bool on);
    bool write(SettingKey key, qint16 value);

    QString m_programFolder;
    ParametersFile m_parameters;
    Settings m_settings;
};

// Said by a dialog whose setting could not be written to the parameters
// file: it holds until the program ends. The text, CR LF, the file's path.
QString settingNotSavedText(int language, const QString& parametersFile);

// Program folder + "/" + name, without doubling the '/' of the root.
QString pathInFolder(const QString& folder, const QString& name);

} // namespace torvanelo
