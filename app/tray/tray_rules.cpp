#include "tray_rules.h"

#include "dbcs.h"
#include "path_text.h"

namespace quillo::tray {

int IconStateFor(bool suspend, bool directPaste, bool suspendHistory) noexcept {
  if (suspend) return kIconSuspend;
  if (directPaste) return kIconDirectPaste;
  if (suspendHistory) return kIconSuspendHistory;
  return kIconNormal;
}

bool MakeEditMenuLabel(int index, const char* path, std::string& label) {
  if (index < 0 || index >= kMaxEditMenuItems || path == nullptr) return false;
  const long cut = LastBackslash(path, text::IsLeadByte);
  if (cut < 0) return false;
  if (index == 9) {
    label = "1&0: ";
  } else {
    label = "&";
    label += static_cast<char>('1' + index);
    label += ": ";
  }
  const char* p = path + cut + 1;
  size_t taken = 0;
  while (*p != '\0' && *p != '\t' && taken < kMaxMenuFileNameBytes) {
    const size_t n = text::CharLen(p);
    if (n == 1) {
      label += *p == '&' ? ' ' : *p;
    } else {
      label.append(p, n);
    }
    taken += n;
    p += n;
  }
  return true;
}

std::string MakeEditorCommandLine(const std::string& editor, const std::string& path) {
  return "\"" + editor + "\" \"" + path + "\"";
}

}  // namespace quillo::tray
