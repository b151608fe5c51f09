// What every dialog of the library shares: it opens centred over the window it
// belongs to, and F1 opens the user's guide on the dialog's topic.
#pragma once

#include <windows.h>

#include "help_topics.h"

namespace quillo::hook {

// Moves `dialog` so that it sits centred over its owner (over its parent's
// client area for a child), kept inside the work area; its size, Z order and
// activation stay as they are. Called from WM_INITDIALOG.
void CentreDialog(HWND dialog);

// Asks the resident program to open the user's guide at help topic `topic`
// (help_topics.h; a negative one for the contents). A beep when no resident
// program answers.
void OpenHelp(int topic) noexcept;

// Sets the help topic of this process for as long as a dialog is open, and puts
// back the previous one when the dialog ends (dialogs of the library can nest).
class HelpTopicScope {
 public:
  explicit HelpTopicScope(int topic);
  ~HelpTopicScope();
  HelpTopicScope(const HelpTopicScope&) = delete;
  HelpTopicScope& operator=(const HelpTopicScope&) = delete;

 private:
  int previous_;
};

}  // namespace quillo::hook
