// Opening the clipboard when another program may hold it for a moment.
#pragma once

#include <windows.h>

namespace quillo {

// The clipboard is one lock for the whole desktop: a program that just wrote
// it, a clipboard viewer reading it, or a second copy in progress holds it for
// a few milliseconds. Try for a short while (at most about 100 ms, so that no
// program we run inside is kept from its messages for long) before calling it
// a failure.
inline bool OpenClipboardPatiently(HWND owner) {
  for (int attempt = 0; attempt < 20; ++attempt) {
    if (OpenClipboard(owner)) return true;
    Sleep(5);
  }
  return false;
}

}  // namespace quillo
