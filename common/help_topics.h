// Help topic numbers: what a Help button or F1 asks the resident program to
// open. The hook library's dialogs keep theirs in the process state while they
// are open and post it with kMsgOpenHelp; the resident program maps each to a
// place in the user's guide (app/help/guide_link.h). The numbers cross
// processes: never renumber one.
#pragma once

namespace quillo::help {

constexpr int kContents = -1;    // the guide's contents (also any unknown topic)
constexpr int kScratchFile = 103;  // "Save to Scratch File"
constexpr int kEncloseForm = 104;  // "Text Modification"
constexpr int kDiscloseForm = 107;  // "Text Restoration"

// A dialog of the resident program has its resource number above this base.
constexpr int kDialogTopicBase = 0x20000;
constexpr int DialogTopic(int dialogId) { return kDialogTopicBase + dialogId; }

}  // namespace quillo::help
