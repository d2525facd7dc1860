#pragma once

#include "ProcessingView.h"
#include "WarningView.h"

#include <QStringList>

#include <functional>
#include <map>

namespace torvanelo::test {

// The main window as the passes see it: every effect is recorded; the
// message loop turns run a hook so a test can act as the user would.
class RecordingProcessingView final : public ProcessingView, public WarningView {
public:
    void setTempoText(const QString& text) override {
        tempo = text;
        tempoHistory << text;
    }
    void setMessageText(const QString& text) override { message = text; }
    void setWaitProgress(int value) override { waitProgress = value; }
    void setCopyProgressMaximum(int maximum) override { copyMaximum = maximum; }
    void setCopyProgress(int value) override { copyProgress = value; }
    void setTimerEnabled(bool enabled) override { timerEnabled = enabled; }
    void setTrayTip(const QString& tip) override { trayTips << tip; }
    void setStartStopLook(StartStopPicture newPicture, const QString& newTooltip,
                          const QString& newCaption) override {
        picture = newPicture;
        tooltip = newTooltip;
        menuCaption = newCaption;
        ++lookChanges;
    }
    void setControlEnabled(WindowControl control, bool enabled) override {
        controls[control] = enabled;
    }
    void refreshFolderFiles(bool includeTarget) override { refreshes << includeTarget; }
    void restoreIfMinimized() override { ++restores; }
    void processEvents() override {
        ++turns;
        if (onProcessEvents)
            onProcessEvents();
    }
    void endProgram() override { ++programEnds; }

    void showWarning(const QString& text) override { warnings << text; }
    void beep() override { ++beeps; }

    QString tempo;
    QStringList tempoHistory;
    QString message;
    int waitProgress = -1;
    int copyMaximum = -1;
    int copyProgress = -1;
    bool timerEnabled = false;
    QStringList trayTips;
    StartStopPicture picture = StartStopPicture::Start;
    QString tooltip;
    QString menuCaption;
    int lookChanges = 0;
    std::map<WindowControl, bool> controls;
    QList<bool> refreshes;
    int restores = 0;
    int turns = 0;
    std::function<void()> onProcessEvents;
    int programEnds = 0;
    QStringList warnings;
    int beeps = 0;
};

} // namespace torvanelo::test
