#include "SettingsStore.h"

#include "NameCodec.h"
#include "NumericText.h"
#include "Texts.h"

#include <algorithm>
#include <limits>
#include <sys/stat.h>

namespace torvanelo {

namespace {

template <typename Integer>
Integer clampedInteger(QStringView text) {
    const double value = roundHalfEven(leadingNumber(text));
    return static_cast<Integer>(std::clamp(value, double(std::numeric_limits<Integer>::min()),
                                           double(std::numeric_limits<Integer>::max())));
}

QString yesNo(bool on) {
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

} // namespace

QString pathInFolder(const QString& folder, const QString& name) {
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

QString settingNotSavedText(int language, const QString& parametersFile) {
    return Tr(language,
              u"Le réglage n'a pas pu être enregistré: il vaut jusqu'à la fin du programme",
              u"The setting could not be saved: it holds until the program ends")
           + QStringLiteral("\r\n") + parametersFile;
}

SettingsStore::SettingsStore(const QString& programFolder)
    : m_programFolder(programFolder)
    , m_parameters(pathInFolder(programFolder, ProductName + QStringLiteral(".ini"))) {
    m_settings.ParametersFile = m_parameters.path();
    m_settings.PairFile = pathInFolder(programFolder, ProductName + QStringLiteral(".w"));
    m_settings.LogFolder = programFolder;
}

QString SettingsStore::readText(SettingKey key) const {
    return m_parameters.ReadProfileValue(key.section, key.key);
}

bool SettingsStore::readYesNo(SettingKey key) const {
    return readText(key) == u"1";
}

qint16 SettingsStore::readInt16(SettingKey key, qint16 fallback, bool positiveOnly) const {
    const QString text = readText(key);
    if (text.isEmpty())
        return fallback;
    const auto value = clampedInteger<qint16>(text);
    return positiveOnly && value < 1 ? fallback : value;
}

QString SettingsStore::existingFolderOrProgramFolder(const QString& folder) const {
    // A relative path would name a different folder depending on where the
    // program was started from.
    if (!folder.startsWith(u'/'))
        return m_programFolder;
    struct stat status {};
    if (::stat(encodeFileName(folder).constData(), &status) != 0 || !S_ISDIR(status.st_mode))
        return m_programFolder;
    return folder;
}

void SettingsStore::readLanguage() {
    m_settings.Language = readInt16(Key::Language, Settings{}.Language, false);
}

void SettingsStore::readRemaining() {
    const Settings defaults;
    Settings& s = m_settings;
    s.DefaultDelay = readInt16(Key::DefaultDelay, defaults.DefaultDelay, true);
    s.Performance = readInt16(Key::Performance, defaults.Performance, true);
    const QString prefix = readText(Key::CompressedPrefix);
    s.CompressedPrefix = prefix.isEmpty() ? defaults.CompressedPrefix : prefix;
    s.ShowArchiverConsole = readYesNo(Key::ShowArchiverConsole);
    s.ShowFolderFiles = readYesNo(Key::ShowFolderFiles);
    s.AutoStart = readYesNo(Key::AutoStart);
    s.StopAfterFirstPass = readYesNo(Key::StopAfterFirstPass);
    s.WarnOnScreen = readYesNo(Key::WarnOnScreen);
    s.WarnBeep = readYesNo(Key::WarnBeep);
    s.WarnNetSend = readYesNo(Key::WarnNetSend);
    const QString message = readText(Key::NetSendMessage);
    s.NetSendMessage = message.isEmpty() ? defaults.NetSendMessage : message;
    s.WarnEventLog = readYesNo(Key::WarnEventLog);
    s.WarnDesktop = readYesNo(Key::WarnDesktop);
    s.WindowPosition = readText(Key::WindowPosition);
    // Anything but "plain" keeps Samba's form, the one in which every
    // attribute comes back exactly.
    s.WindowsStreams =
        readText(Key::WindowsStreams).trimmed().compare(u"plain", Qt::CaseInsensitive) == 0
            ? StreamForm::Plain
            : StreamForm::Samba;
    s.LogEnabled = readYesNo(Key::LogEnabled);
    s.LogFileNames = readYesNo(Key::LogFileNames);
    s.LogFolder = existingFolderOrProgramFolder(readText(Key::LogFolder));
    s.PurgeOldLogs = readYesNo(Key::PurgeOldLogs);
    s.LogRetention = readInt16(Key::LogRetention, defaults.LogRetention, true);
}

bool SettingsStore::write(SettingKey key, const QString& value) {
    return m_parameters.WriteProfileValue(key.section, key.key, value);
}

bool SettingsStore::write(SettingKey key, bool on) {
    return write(key, yesNo(on));
}

bool SettingsStore::write(SettingKey key, qint16 value) {
    return write(key, QString::number(value));
}

bool SettingsStore::setLanguage(qint16 language) {
    m_settings.Language = language;
    return write(Key::Language, language);
}

bool SettingsStore::setDefaultDelay(qint16 seconds) {
    m_settings.DefaultDelay = seconds;
    return write(Key::DefaultDelay, seconds);
}

bool SettingsStore::setPerformance(qint16 turns) {
    m_settings.Performance = turns;
    return write(Key::Performance, turns);
}

bool SettingsStore::setCompressedPrefix(const QString& prefix) {
    m_settings.CompressedPrefix = prefix;
    return write(Key::CompressedPrefix, prefix);
}

bool SettingsStore::setShowArchiverConsole(bool on) {
    m_settings.ShowArchiverConsole = on;
    return write(Key::ShowArchiverConsole, on);
}

bool SettingsStore::setShowFolderFiles(bool on) {
    m_settings.ShowFolderFiles = on;
    return write(Key::ShowFolderFiles, on);
}

bool SettingsStore::setAutoStart(bool on) {
    m_settings.AutoStart = on;
    return write(Key::AutoStart, on);
}

bool SettingsStore::setStopAfterFirstPass(bool on) {
    m_settings.StopAfterFirstPass = on;
    return write(Key::StopAfterFirstPass, on);
}

bool SettingsStore::setWarnOnScreen(bool on) {
    m_settings.WarnOnScreen = on;
    return write(Key::WarnOnScreen, on);
}

bool SettingsStore::setWarnBeep(bool on) {
    m_settings.WarnBeep = on;
    return write(Key::WarnBeep, on);
}

bool SettingsStore::setWarnNetSend(bool on) {
    m_settings.WarnNetSend = on;
    return write(Key::WarnNetSend, on);
}

bool SettingsStore::setNetSendMessage(const QString& message) {
    m_settings.NetSendMessage = message;
    return write(Key::NetSendMessage, message);
}

bool SettingsStore::setWarnEventLog(bool on) {
    m_settings.WarnEventLog = on;
    return write(Key::WarnEventLog, on);
}

bool SettingsStore::setWarnDesktop(bool on) {
    m_settings.WarnDesktop = on;
    return write(Key::WarnDesktop, on);
}

bool SettingsStore::setWindowPosition(const QString& position) {
    m_settings.WindowPosition = position;
    return write(Key::WindowPosition, position);
}

bool SettingsStore::setLogEnabled(bool on) {
    m_settings.LogEnabled = on;
    return write(Key::LogEnabled, on);
}

bool SettingsStore::setLogFileNames(bool on) {
    m_settings.LogFileNames = on;
    return write(Key::LogFileNames, on);
}

bool SettingsStore::setLogFolder(const QString& folder) {
    m_settings.LogFolder = folder;
    return write(Key::LogFolder, folder);
}

bool SettingsStore::setPurgeOldLogs(bool on) {
    m_settings.PurgeOldLogs = on;
    return write(Key::PurgeOldLogs, on);
}

bool SettingsStore::setLogRetention(qint16 journals) {
    m_settings.LogRetention = journals;
    return write(Key::LogRetention, journals);
}

qint32 SettingsStore::readLastFileNumber() const {
    const QString text = readText(Key::LastFileNumber);
    return text.isEmpty() ? 0 : clampedInteger<qint32>(text);
}

bool SettingsStore::writeLastFileNumber(qint32 number) {
    return write(Key::LastFileNumber, QString::number(number));
}

} // namespace torvanelo
