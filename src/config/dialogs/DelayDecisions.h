#pragma once

#include <QString>
#include <QStringView>

#include <optional>

namespace torvanelo {

// The default delay is held in 16 bits: 1 to 32767 seconds.
inline constexpr int MinimumDelay = 1;
inline constexpr int MaximumDelay = 32767;

// One press of an arrow of UpDown1: the new text of the delay box and
// whether the minimal-delay text shows.
struct ArrowStep {
    int delay = MinimumDelay;
    bool atMinimum = false;
};
// The box read by its leading number (text that does not start with one
// reads as 0), one added or taken away, rounded halves to even, kept within
// 1 to 32767: the down arrow stops at 1 and shows the minimum text from the
// moment it gets there; the up arrow stops at 32767 and hides the text.
ArrowStep arrowDown(QStringView boxText);
ArrowStep arrowUp(QStringView boxText);

// The delay OK stores, read by the box's leading number and rounded halves
// to even; nullopt when it lies outside 1 to 32767 (before rounding).
std::optional<int> acceptedDelay(QStringView boxText);
// "Valeur de temporisation incorrecte: " / "Invalid value: " + the box's
// text exactly as typed.
QString invalidDelayText(const QString& boxText, int language);

// The range of the performance bar, and where it shows a stored value
// (values outside the range come only from an edited file: the nearest end).
inline constexpr int MinimumPerformance = 1;
inline constexpr int MaximumPerformance = 100;
int performancePosition(int storedPerformance);

} // namespace torvanelo
