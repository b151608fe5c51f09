// Help topic numbers: what a Help button or F1 asks the resident program to
// open. The hook library's dialogs keep theirs in the process state while they
// are open and post it with kMsgOpenHelp; the resident program maps each to a
// place in the user's guide (app/help/guide_link.h). The numbers cross
// processes: never renumber one. Code names a topic by its constant here, and
// each constant has a row in the anchor table (a test checks both).
#pragma once

namespace quillo::help {

constexpr int kContents = -1;    // the guide's contents (also any unknown topic)
constexpr int kScratchFile = 103;  // "Save to Scratch File"
constexpr int kEncloseForm = 104;  // "Text Modification"
constexpr int kDiscloseForm = 107;  // "Text Restoration"

// A dialog of the resident program has its resource number above this base.
constexpr int kDialogTopicBase = 0x20000;
constexpr int DialogTopic(int dialogId) { return kDialogTopicBase + dialogId; }

// The resident program's dialogs with Help (each its resource number above
// the base; the anchor table checks that they agree with the resources).
constexpr int kHistoryEditor = DialogTopic(151);
constexpr int kOptionsGeneral = DialogTopic(400);
constexpr int kOptionsCustomMenu = DialogTopic(401);
constexpr int kOptionsStackMenu = DialogTopic(402);
constexpr int kOptionsMacro = DialogTopic(403);
constexpr int kOptionsFileDialog = DialogTopic(404);
constexpr int kOptionsPasteMethods = DialogTopic(405);

}  // namespace quillo::help
