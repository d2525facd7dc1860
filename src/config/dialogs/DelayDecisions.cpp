#include "DelayDecisions.h"

#include "NumericText.h"
#include "Texts.h"

#include <algorithm>

namespace torvanelo {

namespace {

// Kept within the delay's range before the conversion, so that any number
// typed (1e300, -1e300, an overflow to infinity) gives a defined result.
int boundedDelay(double value) {
    return int(std::clamp(roundHalfEven(value), double(MinimumDelay), double(MaximumDelay)));
}

} // namespace

ArrowStep arrowDown(QStringView boxText) {
    const double value = roundHalfEven(leadingNumber(boxText) - 1);
    if (value > MinimumDelay)
        return {boundedDelay(value), false};
    return {MinimumDelay, true};
}

ArrowStep arrowUp(QStringView boxText) {
    return {boundedDelay(leadingNumber(boxText) + 1), false};
}

std::optional<int> acceptedDelay(QStringView boxText) {
    const double value = leadingNumber(boxText);
    if (!(value >= MinimumDelay && value <= MaximumDelay))
        return std::nullopt;
    return boundedDelay(value);
}

QString invalidDelayText(const QString& boxText, int language) {
    return Tr(language, u"Valeur de temporisation incorrecte: ", u"Invalid value: ") + boxText;
}

int performancePosition(int storedPerformance) {
    return std::clamp(storedPerformance, MinimumPerformance, MaximumPerformance);
}

} // namespace torvanelo
