#include "message_box_win.h"

#include "message_text.h"

namespace quillo {
namespace {
bool IsLead(unsigned char c) { return IsDBCSLeadByte(c) != FALSE; }
}  // namespace

int ShowQuilloMessageOwnedBy(HWND owner, HINSTANCE module, UINT id, UINT style, const char* arg,
                             const char* extraLine) {
  char tmpl[512];
  if (LoadStringA(module, id, tmpl, sizeof(tmpl)) <= 0) return 0;
  char text[1024];
  BuildMessageText(tmpl, arg, extraLine, IsLead, text, sizeof(text));
  return MessageBoxA(owner, text, "Quillo", style);
}

int ShowQuilloMessage(HINSTANCE module, UINT id, UINT style, const char* arg,
                      const char* extraLine) {
  return ShowQuilloMessageOwnedBy(GetForegroundWindow(), module, id, style, arg, extraLine);
}

}  // namespace quillo
