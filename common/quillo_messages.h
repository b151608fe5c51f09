// Window-message and command numbers shared by Quillo.exe, QuilloHook.dll and
// QuilloDlgEx.dll. They cross process boundaries: never renumber one.
#pragma once

namespace quillo {

constexpr unsigned kWmUser = 0x0400;  // WM_USER, without pulling in <windows.h>

// Messages posted or sent to the resident window.
constexpr unsigned kMsgTrayNotify = kWmUser;          // 1024: the tray icon's mouse messages
constexpr unsigned kMsgShowIcon = kWmUser + 1;        // 1025: second start asks the first to show its icon
constexpr unsigned kMsgChooseMenuSet = kWmUser + 10;  // 1034: chooser picked menu-file set entry wParam
constexpr unsigned kMsgEncloseArm = kWmUser + 11;     // 1035: EncloseText, first phase
constexpr unsigned kMsgSkipQuery = kWmUser + 12;      // 1036: file-dialog extension asks whether to skip
constexpr unsigned kMsgConvArm = kWmUser + 13;        // 1037: ConvText, first phase (lParam = kind)
constexpr unsigned kMsgShowMenu = kWmUser + 14;       // 1038: show menu kind wParam for entry lParam
constexpr unsigned kMsgDiscloseArm = kWmUser + 16;    // 1040: DiscloseText, first phase
// 1041: the 32-bit companion's hooks are in; wParam = its process id.
constexpr unsigned kMsgCompanionReady = kWmUser + 17;
// 1042: open the user's guide at help topic wParam (an int, help_topics.h).
constexpr unsigned kMsgOpenHelp = kWmUser + 18;

// WM_COMMAND identifiers posted to the resident window.
constexpr unsigned kCmdClearHistory = 32775;
constexpr unsigned kCmdPlayKeyStrokes = 32797;
constexpr unsigned kCmdPlayMacro = 32800;
constexpr unsigned kCmdRecordMacro = 32801;
constexpr unsigned kCmdStopMacro = 32802;
constexpr unsigned kCmdSelectMacro = 32803;
constexpr unsigned kCmdDeleteMacro = 32804;
constexpr unsigned kCmdEditMacro = 32805;  // the macro bar's "Edit macro"
constexpr unsigned kCmdEditHistory = 32807;

// WM_COPYDATA dwData values.
constexpr unsigned long kCopyDataEventRecord = 0;  // one 24-byte EventRecord
constexpr unsigned long kCopyDataMacroName = 1;    // zero-terminated macro file name
// A text to type into a window (typing_request.h); the answer is 1 when the
// resident program took it.
constexpr unsigned long kCopyDataTypeText = 2;

// Menu kinds of ShowMenu and of message 1038.
constexpr int kMenuCustom = 1;
constexpr int kMenuStack = 2;
constexpr int kMenuChooser = 3;
constexpr int kMenuCombined = 4;

}  // namespace quillo
