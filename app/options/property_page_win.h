// The little property-page layer the options sheet stands on: a page is a
// dialog procedure over an object, told when it is shown, left and accepted.
// Plus the control helpers every page uses.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

namespace quillo {

class CPropertyPage {
 public:
  explicit CPropertyPage(UINT templateId) : templateId_(templateId) {}
  virtual ~CPropertyPage() = default;
  CPropertyPage(const CPropertyPage&) = delete;
  CPropertyPage& operator=(const CPropertyPage&) = delete;

  // The page's entry for PropertySheetA.
  PROPSHEETPAGEA Describe(HINSTANCE resources);
  UINT templateId() const { return templateId_; }
  bool created() const { return hwnd_ != nullptr; }
  // Whether the user pressed OK on the sheet this page belongs to.
  bool accepted() const { return accepted_; }

 protected:
  // First showing: fill lists, set ranges and rules, show the members.
  virtual void OnInitPage() = 0;
  virtual void OnCommand(int id, int code) { (void)id, (void)code; }
  // Reads the controls back into the members, field checks first, then the
  // page's own checks. False keeps the user on the page; the message has been
  // shown and the offending control has the focus.
  virtual bool OnLeave() = 0;
  // Help for the page, from the sheet's Help button.
  virtual void OnHelp() {}

  HWND hwnd() const { return hwnd_; }
  HWND item(int id) const { return GetDlgItem(hwnd_, id); }
  HWND sheet() const { return GetParent(hwnd_); }

  // Controls.
  void FillCombo(int id, const char* const* texts, int count);
  int ComboIndex(int id) const;  // -1: no selection
  void SetComboIndex(int id, int index);
  bool Checked(int id) const;
  void SetChecked(int id, bool on);
  void Enable(int id, bool on);
  void SetText(int id, const std::string& text);
  std::string Text(int id) const;
  // Range and acceleration of a spin control; `accelerated` gives 10 per
  // step, 50 after 2 s held and 200 after 5 s.
  void SetSpin(int id, int low, int high, bool accelerated);
  void SetNumber(int id, int value);
  // Hot-key control, in the control's own bits (1 Shift, 2 Ctrl, 4 Alt, 8 extended).
  void SetHotKey(int id, WORD key, WORD controlBits);
  void HotKey(int id, WORD& key, WORD& controlBits) const;
  // A key pressed alone becomes Ctrl+Alt plus the key; `loose` takes it as it is.
  void SetHotKeyRules(int id, bool loose);

  // The field checks: an integer in [low, high] (or any integer when low >
  // high), a text of at most `maxBytes` bytes. On failure the standard
  // message is shown over the sheet and the field gets the focus.
  bool ReadInteger(int id, int low, int high, int& value);
  bool ReadText(int id, size_t maxBytes, std::string& value);
  // A failed page check: message `messageId` (with `arg` for its "%s"), then
  // the focus on control `id`.
  void Refuse(UINT messageId, int id, const char* arg = nullptr);

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  INT_PTR OnNotify(const NMHDR& header);
  void FocusField(int id);

  UINT templateId_;
  HWND hwnd_ = nullptr;
  bool accepted_ = false;
};

}  // namespace quillo
