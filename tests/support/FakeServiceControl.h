#pragma once

#include "ServiceControl.h"

#include <QStringList>

#include <vector>

namespace torvanelo::test {

// A service manager in memory: the state is set by the test, every call
// that changes something is recorded in calls ("Install", "Uninstall",
// "setStartType 2", "setInteractive 1"), and event-log entries in events.
// Install and Uninstall answer installResult / uninstallResult and, when
// they succeed, change installed (Uninstall also stops running).
class FakeServiceControl final : public ServiceControl {
public:
    struct Event {
        QString text;
        int eventType;
        friend bool operator==(const Event&, const Event&) = default;
    };

    bool IsInstalled() const override { return installed; }
    bool IsRunning() const override { return running; }
    bool IsStartedAsService() const override { return startedAsService; }
    int StartType() const override { return startType; }
    void setStartType(int value) override {
        calls.append(QStringLiteral("setStartType %1").arg(value));
        startType = value;
    }
    bool Interactive() const override { return interactive; }
    void setInteractive(bool value) override {
        calls.append(QStringLiteral("setInteractive %1").arg(value ? 1 : 0));
        interactive = value;
    }
    bool Install() override {
        calls.append(QStringLiteral("Install"));
        if (installResult)
            installed = true;
        return installResult;
    }
    bool Uninstall() override {
        calls.append(QStringLiteral("Uninstall"));
        if (uninstallResult) {
            installed = false;
            running = false;
        }
        return uninstallResult;
    }
    void LogEvent(const QString& text, int eventType) override {
        events.push_back({text, eventType});
    }

    bool installed = false;
    bool running = false;
    bool startedAsService = false;
    int startType = 1;
    bool interactive = false;
    bool installResult = true;
    bool uninstallResult = true;

    QStringList calls;
    std::vector<Event> events;
};

} // namespace torvanelo::test
