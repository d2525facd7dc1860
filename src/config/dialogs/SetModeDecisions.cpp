#include "SetModeDecisions.h"

#include "NumericText.h"
#include "SettingsKeys.h"
#include "Texts.h"

namespace torvanelo {

IntervalCheck checkInterval(QStringView text) {
    const std::optional<double> value = localeNumber(text);
    if (!value)
        return {IntervalCheck::NotNumeric, 0};
    if (*value < double(MinimumInterval) || *value > double(MaximumInterval))
        return {IntervalCheck::OutOfRange, 0};
    return {IntervalCheck::Valid, qint64(roundHalfEven(*value))};
}

QString intervalErrorLabel(IntervalCheck::Status status, int language) {
    switch (status) {
    case IntervalCheck::NotNumeric:
        return Tr(language, u"Valeur incorrecte", u"Invalid value");
    case IntervalCheck::OutOfRange:
        return Tr(language, u"La valeur doit être comprise entre 2 et 64000",
                  u"Value must be between 2 and 64000");
    case IntervalCheck::Valid:
        break;
    }
    return {};
}

QString intervalErrorMessage(IntervalCheck::Status status, int language) {
    switch (status) {
    case IntervalCheck::NotNumeric:
        return Tr(language, u"Valeur incorrecte", u"Invalid value");
    case IntervalCheck::OutOfRange:
        return Tr(language, u"La valeur doit être comprise entre 2 et 64000",
                  u"Value must be set between 2 and 64000");
    case IntervalCheck::Valid:
        break;
    }
    return {};
}

QString durationLabel(qint64 passes, qint64 defaultDelay, int language) {
    const qint64 total = passes * defaultDelay;
    const qint64 minutes = total / 60;
    const qint64 seconds = total % 60;
    const qint64 hours = minutes >= 60 ? minutes / 60 : 0;
    const qint64 restMinutes = minutes >= 60 ? minutes % 60 : minutes;
    return Tr(language, u"soit: ", u"i.e. ") + QString::number(hours) + QStringLiteral(" h ")
           + QString::number(restMinutes) + QStringLiteral(" min ") + QString::number(seconds)
           + QStringLiteral(" sec");
}

SetModeOpening setModeOpening(const FolderPair& pair) {
    SetModeOpening opening;
    const std::optional<double> interval = localeNumber(pair.IntervalCount);
    opening.ownInterval =
        interval && *interval >= double(MinimumInterval) && *interval <= double(MaximumInterval);
    opening.intervalText = opening.ownInterval ? pair.IntervalCount : QStringLiteral("2");
    opening.uncompress = pair.Mode != u"0";
    opening.enabled = pair.Enabled == u"1";
    return opening;
}

SetModeResult setModeResult(const SetModeChoice& choice) {
    SetModeResult result;
    const IntervalCheck check = checkInterval(choice.intervalText);
    result.status = check.status;
    if (check.status != IntervalCheck::Valid)
        return result;
    result.mode = choice.uncompress ? QStringLiteral("1") : QStringLiteral("0");
    result.enabled = choice.enabled ? QStringLiteral("1") : QStringLiteral("0");
    result.interval = choice.ownInterval ? QString::number(check.passes) : QStringLiteral("1");
    return result;
}

std::vector<ProfileValue> setModeWrites(int pairNumber, const SetModeResult& result) {
    const QString section = pairSection(pairNumber);
    return {
        {section, Key::PairMode.toString(), result.mode},
        {section, Key::PairEnabled.toString(), result.enabled},
        {section, Key::PairInterval.toString(), result.interval},
    };
}

} // namespace torvanelo
