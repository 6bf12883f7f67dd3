#include "app/win32/password_dialog.h"

#include <cstdint>
#include <vector>

#include "app/form/form_layout.h"
#include "app/win32/win32_services.h"

namespace varnholt::win32 {

namespace {

// Dialog units: a box just wide enough for a table's name and a password.
constexpr short kWidth = 186;
constexpr short kHeight = 74;
constexpr short kMargin = 7;
constexpr short kButtonWidth = 50;
constexpr short kButtonHeight = 14;
constexpr short kFontPoints = 8;
constexpr wchar_t kFont[] = L"MS Sans Serif";
// Predefined window classes as a dialog template names them.
constexpr WORD kButtonClass = 0x0080;
constexpr WORD kEditClass = 0x0081;
constexpr WORD kStaticClass = 0x0082;

// A DLGTEMPLATE and its items, laid out as Windows reads them: words, with each item on a
// DWORD boundary.
class DialogTemplate {
 public:
  DialogTemplate(DWORD style, short cx, short cy, const std::wstring& caption, WORD items) {
    Dword(style);
    Dword(0);  // extended style
    Word(items);
    Place(0, 0, cx, cy);
    Word(0);  // no menu
    Word(0);  // the dialog class
    Text(caption);
    Word(kFontPoints);
    Text(kFont);
  }

  void Item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD window_class,
            const std::wstring& text) {
    while (words_.size() % 2 != 0) Word(0);
    Dword(style | WS_CHILD | WS_VISIBLE);
    Dword(0);
    Place(x, y, cx, cy);
    Word(id);
    Word(0xFFFF);  // a predefined class follows
    Word(window_class);
    Text(text);
    Word(0);  // no creation data
  }

  const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

 private:
  void Word(WORD w) { words_.push_back(w); }
  void Place(short x, short y, short cx, short cy) {
    for (short v : {x, y, cx, cy}) Word(static_cast<WORD>(v));
  }
  void Dword(DWORD d) {
    Word(LOWORD(d));
    Word(HIWORD(d));
  }
  void Text(const std::wstring& text) {
    for (wchar_t c : text) Word(static_cast<WORD>(c));
    Word(0);
  }
  std::vector<WORD> words_;  // the allocation is aligned enough for the DWORDs of the template
};

struct Answer {
  std::wstring table_line;
  std::wstring typed;
};

INT_PTR CALLBACK PasswordProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG: {
      ::SetWindowLongPtrW(dialog, DWLP_USER, lparam);
      ::SendDlgItemMessageW(dialog, kPasswordBoxId, EM_SETPASSWORDCHAR, L'*', 0);
      ::SetFocus(::GetDlgItem(dialog, kPasswordBoxId));
      return FALSE;  // focus set here
    }
    case WM_COMMAND: {
      const WORD id = LOWORD(wparam);
      if (id == IDOK) {
        auto* answer = reinterpret_cast<Answer*>(::GetWindowLongPtrW(dialog, DWLP_USER));
        const int length = ::GetWindowTextLengthW(::GetDlgItem(dialog, kPasswordBoxId));
        std::wstring typed(static_cast<size_t>(length) + 1, L'\0');
        ::GetDlgItemTextW(dialog, kPasswordBoxId, typed.data(), length + 1);
        typed.resize(static_cast<size_t>(length));
        answer->typed = typed;
        ::EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (id == IDCANCEL) {
        ::EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      return FALSE;
    }
    default:
      return FALSE;
  }
}

}  // namespace

std::optional<std::wstring> AskTablePasswordDialog(HWND owner, const std::wstring& table_name) {
  Answer answer;
  answer.table_line = WideFromUtf8(form::kPasswordTableLine) + table_name;
  DialogTemplate layout(DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU, kWidth,
                        kHeight, WideFromUtf8(form::kPasswordTitle), 5);
  const short inner = kWidth - 2 * kMargin;
  layout.Item(SS_LEFT | SS_NOPREFIX, kMargin, kMargin, inner, 9, 0xFFFF, kStaticClass, answer.table_line);
  layout.Item(SS_LEFT, kMargin, 22, inner, 9, 0xFFFF, kStaticClass, WideFromUtf8(form::kPasswordPrompt));
  layout.Item(ES_PASSWORD | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, kMargin, 32, inner, 12, kPasswordBoxId,
              kEditClass, L"");
  const short buttons_y = kHeight - kMargin - kButtonHeight;
  layout.Item(BS_DEFPUSHBUTTON | WS_TABSTOP, kWidth - 2 * (kMargin + kButtonWidth), buttons_y, kButtonWidth,
              kButtonHeight, IDOK, kButtonClass, L"OK");
  layout.Item(BS_PUSHBUTTON | WS_TABSTOP, kWidth - kMargin - kButtonWidth, buttons_y, kButtonWidth,
              kButtonHeight, IDCANCEL, kButtonClass, L"Cancel");
  const INT_PTR result = ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr), layout.get(), owner,
                                                   PasswordProc, reinterpret_cast<LPARAM>(&answer));
  if (result != IDOK) return std::nullopt;
  return answer.typed;
}

}  // namespace varnholt::win32
