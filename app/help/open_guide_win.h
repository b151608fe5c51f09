// Opens the user's guide, which lies beside the program, in the user's browser.
#pragma once

namespace quillo {

// Opens the guide at the section of help topic `topic` (help_topics.h). The
// browser is found and started on a thread of its own: the caller, often the
// resident window answering a library's message, never waits for it. When no
// browser takes the guide's address, the guide file is opened as the system
// opens any such file (at its start); when that fails too, or the guide is
// missing, a message tells the user where it should be. A request while one
// is still on its way, or within about a second of the last, is dropped.
void OpenGuide(int topic);

}  // namespace quillo
