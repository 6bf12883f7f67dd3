// The "Enter password" dialog under Wine: answered from a timer on the dialog's own message loop,
// as an operator would answer it.
#include "app/win32/password_dialog.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>

namespace varnholt::win32 {
namespace {

struct Seen {
  bool found = false;
  bool hides_typing = false;
  std::wstring table_line;
};

// What the next timer tick does to the open dialog; set before the dialog is shown.
std::function<void(HWND)> g_answer;
Seen g_seen;

BOOL CALLBACK FindTableLine(HWND child, LPARAM) {
  wchar_t text[256] = {};
  ::GetWindowTextW(child, text, 256);
  if (std::wstring(text).starts_with(L"Table: ")) g_seen.table_line = text;
  return TRUE;
}

void CALLBACK AnswerDialog(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND dialog = ::FindWindowW(L"#32770", L"Enter password");
  if (dialog == nullptr) return;  // not up yet: the next tick
  ::KillTimer(nullptr, timer);
  g_seen.found = true;
  const auto style = static_cast<DWORD>(::GetWindowLongPtrW(::GetDlgItem(dialog, kPasswordBoxId), GWL_STYLE));
  g_seen.hides_typing = (style & ES_PASSWORD) != 0;
  ::EnumChildWindows(dialog, FindTableLine, 0);
  g_answer(dialog);
}

std::optional<std::wstring> AskAndAnswer(const std::function<void(HWND)>& answer) {
  g_seen = Seen();
  g_answer = answer;
  ::SetTimer(nullptr, 0, 20, AnswerDialog);
  return AskTablePasswordDialog(nullptr, L"CH01MAST.DB");
}

TEST(PasswordDialogTest, OkGivesWhatWasTypedAndCancelGivesNothing) {
  const std::optional<std::wstring> typed = AskAndAnswer([](HWND dialog) {
    ::SetDlgItemTextW(dialog, kPasswordBoxId, L"Sk\u00f8le 2026");
    ::SendMessageW(::GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
  });
  ASSERT_TRUE(g_seen.found);
  EXPECT_TRUE(g_seen.hides_typing);
  EXPECT_EQ(g_seen.table_line, L"Table: CH01MAST.DB");
  EXPECT_EQ(typed, std::optional<std::wstring>(L"Sk\u00f8le 2026"));

  const std::optional<std::wstring> cancelled = AskAndAnswer([](HWND dialog) {
    ::SetDlgItemTextW(dialog, kPasswordBoxId, L"ignored");
    ::SendMessageW(::GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
  });
  ASSERT_TRUE(g_seen.found);
  EXPECT_EQ(cancelled, std::nullopt);
}

}  // namespace
}  // namespace varnholt::win32
