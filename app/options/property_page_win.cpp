#include "options/property_page_win.h"

#include "app_routines_win.h"

namespace quillo {
namespace {
// Posted to a page that has just become the current one.
constexpr UINT kMsgCheckFocus = WM_APP + 1;
}  // namespace

PROPSHEETPAGEA CPropertyPage::Describe(HINSTANCE resources) {
  PROPSHEETPAGEA page = {};
  page.dwSize = sizeof page;
  // The sheet's Help button is enabled only on pages that have help.
  page.dwFlags = PSP_DEFAULT | PSP_HASHELP;
  page.hInstance = resources;
  page.pszTemplate = MAKEINTRESOURCEA(templateId_);
  page.pfnDlgProc = DialogProc;
  page.lParam = reinterpret_cast<LPARAM>(this);
  return page;
}

INT_PTR CALLBACK CPropertyPage::DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<CPropertyPage*>(GetWindowLongPtrA(hwnd, DWLP_USER));
  if (msg == WM_INITDIALOG) {
    // lParam is the sheet's copy of the page's PROPSHEETPAGE.
    self = reinterpret_cast<CPropertyPage*>(reinterpret_cast<const PROPSHEETPAGEA*>(lParam)->lParam);
    SetWindowLongPtrA(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    self->hwnd_ = hwnd;
    self->OnInitPage();
    return TRUE;
  }
  if (self == nullptr) return FALSE;
  switch (msg) {
    case WM_COMMAND:
      self->OnCommand(LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_NOTIFY:
      return self->OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_HELP:
      self->OnHelp();
      return TRUE;
    case kMsgCheckFocus: {
      // Some sheets leave the focus on the page that was just hidden, where
      // the next access key would find that page's controls: it goes to the
      // tabs, as Ctrl+Tab leaves it elsewhere.
      HWND focus = GetFocus();
      if (focus == nullptr || !IsWindowVisible(focus)) {
        SetFocus(reinterpret_cast<HWND>(SendMessageA(self->sheet(), PSM_GETTABCONTROL, 0, 0)));
      }
      return TRUE;
    }
    case WM_NCDESTROY:
      self->hwnd_ = nullptr;
      return FALSE;
    default:
      return FALSE;
  }
}

INT_PTR CPropertyPage::OnNotify(const NMHDR& header) {
  switch (header.code) {
    case PSN_SETACTIVE:
      // Checked once the sheet has finished showing this page and hiding the other.
      PostMessageA(hwnd_, kMsgCheckFocus, 0, 0);
      SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, 0);
      return TRUE;
    case PSN_KILLACTIVE:
      // TRUE as the message result keeps the page in front.
      SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, OnLeave() ? FALSE : TRUE);
      return TRUE;
    case PSN_APPLY:
      // The sheet reads nothing here: the members are current since the page
      // was left, and the write-back runs once for the whole sheet.
      accepted_ = true;
      SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, PSNRET_NOERROR);
      return TRUE;
    case PSN_HELP:
      OnHelp();
      return TRUE;
    default:
      return FALSE;
  }
}

void CPropertyPage::FillCombo(int id, const char* const* texts, int count) {
  SendDlgItemMessageA(hwnd_, id, CB_RESETCONTENT, 0, 0);
  for (int i = 0; i < count; ++i) SendDlgItemMessageA(hwnd_, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(texts[i]));
}

int CPropertyPage::ComboIndex(int id) const {
  return static_cast<int>(SendDlgItemMessageA(hwnd_, id, CB_GETCURSEL, 0, 0));
}

void CPropertyPage::SetComboIndex(int id, int index) { SendDlgItemMessageA(hwnd_, id, CB_SETCURSEL, index, 0); }

bool CPropertyPage::Checked(int id) const { return IsDlgButtonChecked(hwnd_, id) == BST_CHECKED; }

void CPropertyPage::SetChecked(int id, bool on) { CheckDlgButton(hwnd_, id, on ? BST_CHECKED : BST_UNCHECKED); }

void CPropertyPage::Enable(int id, bool on) { EnableWindow(item(id), on ? TRUE : FALSE); }

void CPropertyPage::SetText(int id, const std::string& text) { SetDlgItemTextA(hwnd_, id, text.c_str()); }

std::string CPropertyPage::Text(int id) const {
  HWND control = item(id);
  const int length = GetWindowTextLengthA(control);
  if (length <= 0) return std::string();
  std::string text(static_cast<size_t>(length) + 1, '\0');
  const int got = GetWindowTextA(control, &text[0], length + 1);
  text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return text;
}

void CPropertyPage::SetSpin(int id, int low, int high, bool accelerated) {
  SendDlgItemMessageA(hwnd_, id, UDM_SETRANGE32, static_cast<WPARAM>(low), static_cast<LPARAM>(high));
  if (accelerated) {
    UDACCEL steps[] = {{0, 10}, {2, 50}, {5, 200}};
    SendDlgItemMessageA(hwnd_, id, UDM_SETACCEL, 3, reinterpret_cast<LPARAM>(steps));
  }
}

void CPropertyPage::SetNumber(int id, int value) { SetDlgItemInt(hwnd_, id, static_cast<UINT>(value), TRUE); }

void CPropertyPage::SetHotKey(int id, WORD key, WORD controlBits) {
  SendDlgItemMessageA(hwnd_, id, HKM_SETHOTKEY, MAKEWORD(key, controlBits), 0);
}

void CPropertyPage::HotKey(int id, WORD& key, WORD& controlBits) const {
  const WORD value = static_cast<WORD>(SendDlgItemMessageA(hwnd_, id, HKM_GETHOTKEY, 0, 0));
  key = LOBYTE(value);
  controlBits = HIBYTE(value);
}

void CPropertyPage::SetHotKeyRules(int id, bool loose) {
  if (loose) {
    SendDlgItemMessageA(hwnd_, id, HKM_SETRULES, 0, 0);
  } else {
    SendDlgItemMessageA(hwnd_, id, HKM_SETRULES, HKCOMB_NONE, MAKELPARAM(HOTKEYF_CONTROL | HOTKEYF_ALT, 0));
  }
}

void CPropertyPage::Refuse(UINT messageId, int id, const char* arg) {
  QuilloMessageBox(messageId, MB_OK | MB_ICONEXCLAMATION, arg);
  FocusField(id);
}

void CPropertyPage::FocusField(int id) {
  HWND control = item(id);
  SetFocus(control);
  // A text field comes back selected, ready to be typed over.
  char cls[16] = {};
  GetClassNameA(control, cls, sizeof cls);
  if (lstrcmpiA(cls, "Edit") == 0) SendMessageA(control, EM_SETSEL, 0, -1);
}

}  // namespace quillo
