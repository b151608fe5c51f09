// File names of the deliverables in this build's flavor. The 64-bit
// flavor's names carry "64": Windows loads a hook library only into processes
// of its own bitness, so the two libraries must differ in name, and one folder
// may hold both flavors. Everything else (exports, classes, messages, files the
// program reads and writes) is the same in both.
#pragma once

#ifdef _WIN64
#define QUILLO_FLAVOR_SUFFIX "64"
#else
#define QUILLO_FLAVOR_SUFFIX ""
#endif

namespace quillo {

constexpr char kQuilloExe[] = "Quillo" QUILLO_FLAVOR_SUFFIX ".exe";
constexpr char kHookDll[] = "QuilloHook" QUILLO_FLAVOR_SUFFIX ".dll";
constexpr char kDlgExDll[] = "QuilloDlgEx" QUILLO_FLAVOR_SUFFIX ".dll";
// The class of the resident program's hidden main window, which the libraries
// check before they send it anything.
constexpr char kResidentWindowClass[] = "QuilloMainFrame";
// 32-bit only: the 64-bit resident program starts it from its own folder to
// reach 32-bit programs.
constexpr char kCompanionExe[] = "QuilloCompanion.exe";
constexpr int kFlavorBits = static_cast<int>(sizeof(void*) * 8);

}  // namespace quillo
