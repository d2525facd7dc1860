#pragma once

#include "FolderPair.h"
#include "ParametersFile.h"

#include <QString>
#include <QStringView>

#include <vector>

namespace torvanelo {

// A pair's interval is a whole number of default delays: 1 (every pass) or
// 2 to 64000.
inline constexpr qint64 MinimumInterval = 2;
inline constexpr qint64 MaximumInterval = 64000;

// The interval box read as the dialog reads it: numeric means the whole
// text, blanks around it allowed, is one number in the user's locale.
struct IntervalCheck {
    enum Status { Valid, NotNumeric, OutOfRange };
    Status status = NotNumeric;
    // For Valid: the number of passes, the typed value rounded (halves to
    // even), the whole number the pass counts with.
    qint64 passes = 0;
};
IntervalCheck checkInterval(QStringView text);

// lblErr while typing; empty for a valid interval.
QString intervalErrorLabel(IntervalCheck::Status status, int language);
// The message box of OK; empty for a valid interval.
QString intervalErrorMessage(IntervalCheck::Status status, int language);

// lblMiroirN2: "soit: H h M min S sec" / "i.e. H h M min S sec" for
// passes x delay seconds, in 64-bit arithmetic.
QString durationLabel(qint64 passes, qint64 defaultDelay, int language);

// What the dialog shows when it opens for a pair.
struct SetModeOpening {
    bool ownInterval = false; // optTempo 1 with txtMiroirN enabled
    QString intervalText;     // txtMiroirN
    bool uncompress = false;  // optRar 1
    bool enabled = true;      // chkEnable
};
SetModeOpening setModeOpening(const FolderPair& pair);

// What the user chose.
struct SetModeChoice {
    bool uncompress = false;
    bool enabled = true;
    bool ownInterval = false;
    QString intervalText;
};

// The pair's new Mode, Enabled and IntervalCount (PassesLeft starts again
// from it). The interval box is checked whichever option is chosen; nothing
// is written unless status is Valid.
struct SetModeResult {
    IntervalCheck::Status status = IntervalCheck::NotNumeric;
    QString mode;     // "0" / "1"
    QString enabled;  // "1" / "0"
    QString interval; // "1", or the chosen number of passes in decimal
};
SetModeResult setModeResult(const SetModeChoice& choice);

// The keys written for pair number pairNumber, in this order: "Rar",
// "Enable", "NbTemporisations", in section "Rar_" + pairNumber.
std::vector<ProfileValue> setModeWrites(int pairNumber, const SetModeResult& result);

} // namespace torvanelo
