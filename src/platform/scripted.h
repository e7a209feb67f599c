#pragma once
// A scripted user: user actions played against modal forms, answers for
// message boxes, and records of what was shown. On POSIX it is the stand-in
// for the user and the screen, one instance per process (the platform layer is
// one shared library there). On Windows it drives the real windows of every
// module in the process from the modal loops of the current thread, through
// their controls: clicks, selections and keys posted to them.
#include <functional>
#include <string>
#include <vector>

#include "platform/forms.h"
#include "platform/message_box.h"

namespace icofmt::platform::scripted {

struct UserAction {
  // CheckItem ticks line `index` of a list whose lines have check boxes;
  // Escape clicks the form's cancel button (if any) and closes it.
  enum class Kind { Click, Check, Uncheck, Select, CheckItem, Escape };
  Kind kind = Kind::Escape;
  std::string control;
  int index = -1;
};

struct MessageBoxRecord {
  std::string text;
  std::string caption;
  MessageButtons buttons;
  MessageIcon icon = MessageIcon::None;
};

struct FormRecord {
  std::string caption;
  ModalResult result;
  // The runtime ran out of actions and closed the form itself (cancelled, or
  // confirmed under setConfirmUnscripted).
  bool unscripted;
};

// Played in order; a form that waits with no action left closes as cancelled.
void setUserActions(std::vector<UserAction> actions);
// When set, a form that waits with no action left is confirmed instead, as a
// user who accepts the defaults would: its first enabled button whose modal
// result is Ok is clicked (the form closes with Ok if it has none).
void setConfirmUnscripted(bool confirm);
// Answers for Yes/No boxes in order; Yes when none is left.
void setMessageAnswers(std::vector<MessageAnswer> answers);

const std::vector<MessageBoxRecord>& messageBoxes();

// Clears records, scripts and counters.
void reset();

#if defined(_WIN32)
// Called with each form window of the current thread before each action and
// before a form is closed for want of actions (windows of other modules hold
// no model the caller could see).
void setWindowInspector(std::function<void(void* formWindow)> inspector);
// Captions of the forms that got an action, a confirmation or an Escape
// from the scripted user, once each time one was shown.
const std::vector<std::string>& drivenForms();
// Stops driving windows; set* starts it again.
void stop();
#else

// Called with the form as the user sees it before each scripted action and
// before a form closes for want of actions: tests read what a form shows.
void setInspector(std::function<void(Form&)> inspector);

// Addresses given to openWebPage, in order.
const std::vector<std::string>& openedWebPages();
const std::vector<FormRecord>& shownForms();
// Posted messages delivered by modal loops, by message number.
int deliveredPosts(unsigned message);
// Paths of libraries loaded through the layer and not yet unloaded.
std::vector<std::string> loadedLibraries();
// Hooks currently installed.
int installedHooks();
#endif

}  // namespace icofmt::platform::scripted
