#pragma once

namespace torvanelo {

class ProcessingController;
class SettingsStore;
class UserPrompts;
class frmKelvadon;

// Connects the main window's delay, performance and prefix commands to
// their dialogs, each shown modally over the window. A new delay restarts
// the countdown of the controller; the window then sets its countdown bar
// from the stored delay.
void connectSettingsDialogs(frmKelvadon& window, SettingsStore& store,
                            ProcessingController& controller, UserPrompts& prompts);

} // namespace torvanelo
