#pragma once

#include <QApplication>

namespace torvanelo {

// The hourglass over the program for as long as the object lives, also when
// the work in between returns early.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

} // namespace torvanelo
