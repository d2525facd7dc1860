#pragma once

#include "ProcessingView.h"
#include "WarningView.h"

#include <QStringList>

#include <functional>
#include <map>

namespace torvanelo::test {

// The main window as the passes see it: what the tests look at is recorded;
// the message loop turns run a hook so a test can act as the user would.
class RecordingProcessingView final : public ProcessingView, public WarningView {
public:
    void setTempoText(const QString& text) override { tempo = text; }
    void setMessageText(const QString& text) override { message = text; }
    void setWaitProgress(int) override {}
    void setCopyProgressMaximum(int) override {}
    void setCopyProgress(int) override {}
    void setTimerEnabled(bool enabled) override { timerEnabled = enabled; }
    void setTrayTip(const QString& tip) override { trayTips << tip; }
    void setStartStopLook(StartStopPicture, const QString& newTooltip,
                          const QString& newCaption) override {
        tooltip = newTooltip;
        menuCaption = newCaption;
    }
    void setControlEnabled(WindowControl control, bool enabled) override {
        controls[control] = enabled;
    }
    void refreshFolderFiles(bool includeTarget) override { refreshes << includeTarget; }
    void restoreIfMinimized() override {}
    void processEvents() override {
        if (onProcessEvents)
            onProcessEvents();
    }
    void endProgram() override {}
    void showWarning(const QString& text) override { warnings << text; }
    void beep() override {}

    QString tempo;
    QString message;
    bool timerEnabled = false;
    QStringList trayTips;
    QString tooltip;
    QString menuCaption;
    std::map<WindowControl, bool> controls;
    QList<bool> refreshes;
    std::function<void()> onProcessEvents;
    QStringList warnings;
};

} // namespace torvanelo::test
