#pragma once

#include <QString>

namespace torvanelo {

// One entry of the ordered folder-pair list. All fields are text, as read
// from the files. Pair k (1-based) keeps its settings in section "Rar_k".
struct FolderPair {
    QString Source;
    QString Target;        // empty until the user sets it
    QString IntervalCount; // "NbTemporisations": "1" = every pass, else 2..64000
    QString PassesLeft;    // memory only: passes still to wait; reset on every load
    QString Mode;          // "0" compresses; any other value uncompresses
    QString Enabled;       // "1" takes part in passes

    bool compresses() const { return Mode == u"0"; }
    bool enabled() const { return Enabled == u"1"; }

    friend bool operator==(const FolderPair&, const FolderPair&) = default;
};

// A new pair: only its source, every pass, compressing, enabled.
inline FolderPair newFolderPair(const QString& source) {
    return FolderPair{source,
                      QString(),
                      QStringLiteral("1"),
                      QStringLiteral("1"),
                      QStringLiteral("0"),
                      QStringLiteral("1")};
}

} // namespace torvanelo
