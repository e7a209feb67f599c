#pragma once
// Modal message boxes. On POSIX every box is recorded with its exact text and
// answered from a script (see scripted.h).
#include <string>

namespace icofmt::platform {

enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };
// A question asks the user to confirm.
enum class MessageIcon { None, Question };

MessageAnswer messageBox(const std::string& text, const std::string& caption, MessageButtons buttons,
                         MessageIcon icon = MessageIcon::None);

// Opens a web page or mail link in the user's default program.
void openWebPage(const std::string& url);

}  // namespace icofmt::platform
