// Typing the clipboard's text into the application in front (typing.h): the
// resident program types for the hooks, which hand it the text on the
// clipboard when the program in front takes it typed.
#pragma once

#include <windows.h>

#include <cstdint>

namespace quillo::app {

// Types the clipboard's CF_TEXT into the application in front and returns
// when it is typed or the user stopped it. Only one text is typed at a time
// on the desktop: a second request meanwhile beeps and types nothing.
void TypeClipboardText() noexcept;

}  // namespace quillo::app
