# The portable logic of each deliverable (no <windows.h>), listed once for both trees.
set(QUILLO_ROOT ${CMAKE_CURRENT_LIST_DIR}/..)

set(COMMON_PORTABLE_SOURCES
  ${QUILLO_ROOT}/common/message_text.cpp
  ${QUILLO_ROOT}/common/path_text.cpp
  ${QUILLO_ROOT}/common/dbcs.cpp
  ${QUILLO_ROOT}/common/small_format.cpp
  ${QUILLO_ROOT}/common/key_text.cpp
  ${QUILLO_ROOT}/common/menu_file_reader.cpp
  ${QUILLO_ROOT}/common/paste_programs.cpp
)
set(HOOK_PORTABLE_SOURCES
  ${QUILLO_ROOT}/hook/menu_language/menu_file.cpp
  ${QUILLO_ROOT}/hook/menu_language/tags.cpp
  ${QUILLO_ROOT}/hook/menu_language/key_strokes.cpp
  ${QUILLO_ROOT}/hook/triggers/trigger.cpp
  ${QUILLO_ROOT}/hook/menus/stack_caption.cpp
  ${QUILLO_ROOT}/hook/delivery/delivery.cpp
  ${QUILLO_ROOT}/hook/text_commands/enclose.cpp
  ${QUILLO_ROOT}/hook/text_commands/convert.cpp
  ${QUILLO_ROOT}/hook/macros/recorder.cpp
)
# The hook library's folders whose headers are named without the folder
# ("delivery.h"): each is on the include path of whatever compiles the
# library's files. Those of text_commands/ and macros/ are named with theirs.
set(HOOK_INCLUDE_DIRS
  ${QUILLO_ROOT}/hook
  ${QUILLO_ROOT}/hook/menu_language
  ${QUILLO_ROOT}/hook/menus
  ${QUILLO_ROOT}/hook/delivery
  ${QUILLO_ROOT}/hook/triggers
  ${QUILLO_ROOT}/hook/tag_host
)
set(APP_PORTABLE_SOURCES
  ${QUILLO_ROOT}/app/history_store.cpp
  ${QUILLO_ROOT}/app/capture.cpp
  ${QUILLO_ROOT}/app/key_stroke_playback.cpp
  ${QUILLO_ROOT}/app/settings.cpp
  ${QUILLO_ROOT}/app/paste_methods/paste_entries.cpp
  ${QUILLO_ROOT}/app/paste_methods/typing.cpp
  ${QUILLO_ROOT}/app/macros/macro_file.cpp
  ${QUILLO_ROOT}/app/macros/macro_player.cpp
  ${QUILLO_ROOT}/app/macros/macro_list.cpp
  ${QUILLO_ROOT}/app/macros/macro_bar.cpp
  ${QUILLO_ROOT}/app/tray/tray_rules.cpp
  ${QUILLO_ROOT}/app/history_editor/history_slots.cpp
  ${QUILLO_ROOT}/app/options/option_pages.cpp
  ${QUILLO_ROOT}/app/help/guide_link.cpp
)
# The 32-bit companion's command line, and the 64-bit owner's restart rule.
set(COMPANION_PORTABLE_SOURCES
  ${QUILLO_ROOT}/companion/companion_args.cpp
  ${QUILLO_ROOT}/companion/thread_tracker.cpp
)
set(APP_COMPANION_PORTABLE_SOURCES
  ${QUILLO_ROOT}/app/companion/restart_policy.cpp
)
set(DLGEX_PORTABLE_SOURCES
  ${QUILLO_ROOT}/dlgex/folder_info.cpp
  ${QUILLO_ROOT}/dlgex/folder_entry.cpp
  ${QUILLO_ROOT}/dlgex/dialog_record.cpp
)

# The native stand-in for the platform's lead-byte test, linked into every
# native target (unit tests, fuzzers, benchmarks).
set(NATIVE_SEAM_SOURCES
  ${QUILLO_ROOT}/tests/native/code_page.cpp
)
