#include "app/win32/Unit1.h"

#include <algorithm>
#include <stdexcept>
#include <utility>
#include <vector>

#include "app/form/click.h"
#include "app/form/report_notice.h"
#include "base/os/windows_path.h"
#include "stores/components/store_components.h"

namespace varnholt::win32 {

namespace {

using form::ControlId;
using form::ControlKind;
using form::ControlDesign;

// Child window identifiers: the control's place in ControlId, past the dialog manager's IDOK and
// IDCANCEL so that Enter and Escape never reach a control by accident.
constexpr int kFirstControlId = 100;

// The close picture's side and the gap around it, in pixels at 96 dpi.
constexpr int kCloseGlyphSide = 11;
constexpr int kCloseGlyphGap = 6;
constexpr int kCloseGlyphRed = 0xA0;

int ChildId(ControlId id) { return kFirstControlId + static_cast<int>(id); }

void RegisterWindowClass(HINSTANCE instance, WNDPROC procedure) {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = procedure;
  window_class.hInstance = instance;
  window_class.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  window_class.hIcon = ::LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
  // Button face behind everything, as the window system's dialogs have.
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = kWindowClass;
  if (::RegisterClassExW(&window_class) == 0 && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    throw std::runtime_error("Cannot register the main window's class: " + os::WindowsErrorText(::GetLastError()));
  }
}

int ScreenDpi() {
  HDC screen = ::GetDC(nullptr);
  const int dpi = screen != nullptr ? ::GetDeviceCaps(screen, LOGPIXELSY) : form::kDesignDpi;
  if (screen != nullptr) ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : form::kDesignDpi;
}

// Tab stops first, in their order, then the hidden buttons and the labels: the dialog manager
// visits controls in the order they were created.
std::vector<const ControlDesign*> CreationOrder() {
  std::vector<const ControlDesign*> order;
  for (ControlId id : form::TabCycle()) order.push_back(&form::DesignOf(id));
  for (const ControlDesign& design : form::kControls) {
    bool listed = false;
    for (const ControlDesign* done : order) listed = listed || done == &design;
    if (!listed) order.push_back(&design);
  }
  return order;
}

}  // namespace

TForm1::TForm1(HINSTANCE instance, Win32Services services, std::wstring title, CommandEnvironment environment)
    : services_(std::move(services)), title_(std::move(title)), commands_(*this, std::move(environment)) {
  commands_.components().session().set_password_prompt(this);
  RegisterWindowClass(instance, &TForm1::WindowProc);
  dpi_ = ScreenDpi();
  // The stored place is kept as it is; sizes follow the DPI.
  window_ = ::CreateWindowExW(0, kWindowClass, WideFromUtf8(form::kCaption).c_str(), WS_OVERLAPPEDWINDOW,
                              form::kOuterLeft, form::kOuterTop, Scale(form::kOuterWidth), Scale(form::kOuterHeight),
                              nullptr, nullptr, instance, this);
  if (window_ == nullptr) {
    throw std::runtime_error("Cannot create the main window: " + os::WindowsErrorText(::GetLastError()));
  }
  font_ = ::CreateFontW(-::MulDiv(form::kFontPoints, dpi_, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                        WideFromUtf8(form::kFontName).c_str());
  ::SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  CreateControls(instance);
}

TForm1::~TForm1() {
  if (window_ != nullptr && ::IsWindow(window_)) ::DestroyWindow(window_);
  if (font_ != nullptr) ::DeleteObject(font_);
}

int TForm1::Scale(int pixels) const { return ::MulDiv(pixels, dpi_, form::kDesignDpi); }

void TForm1::CreateControls(HINSTANCE instance) {
  HDC dc = ::GetDC(window_);
  HGDIOBJ old_font = ::SelectObject(dc, font_);
  for (const ControlDesign* design : CreationOrder()) {
    const std::wstring caption = WideFromUtf8(design->caption);
    DWORD style = WS_CHILD | (design->visible ? WS_VISIBLE : 0);
    DWORD ex_style = 0;
    const wchar_t* window_class = L"BUTTON";
    int width = Scale(design->place.width);
    int height = Scale(design->place.height);
    switch (design->kind) {
      case ControlKind::kLabel: {
        window_class = L"STATIC";
        style |= SS_LEFT | SS_NOPREFIX;
        // A label is as wide as its text, so a font a pixel wider than the design's does not cut
        // off its last letter.
        SIZE text{};
        ::GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &text);
        width = std::max(width, static_cast<int>(text.cx));
        height = std::max(height, static_cast<int>(text.cy));
        break;
      }
      case ControlKind::kEdit:
        window_class = L"EDIT";
        style |= WS_TABSTOP | ES_AUTOHSCROLL;
        ex_style = WS_EX_CLIENTEDGE;
        break;
      case ControlKind::kButton:
        // Only visible buttons are tab stops: a hidden one cannot be reached by the keyboard.
        style |= design->visible ? WS_TABSTOP : 0;
        style |= design->id == ControlId::kBitBtn1 ? BS_OWNERDRAW : BS_PUSHBUTTON;
        break;
    }
    HWND control = ::CreateWindowExW(ex_style, window_class, caption.c_str(), style, Scale(design->place.left),
                                     Scale(design->place.top), width, height, window_,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(ChildId(design->id))), instance, nullptr);
    if (control == nullptr) {
      throw std::runtime_error(std::string("Cannot create ") + design->name + ": " + os::WindowsErrorText(::GetLastError()));
    }
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    controls_[design->id] = control;
  }
  ::SelectObject(dc, old_font);
  ::ReleaseDC(window_, dc);
}

void TForm1::Show(int show_command) {
  ::ShowWindow(window_, show_command);
  ::UpdateWindow(window_);
  ::SetFocus(Control(ControlId::kButton2));
}

LRESULT CALLBACK TForm1::WindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_NCCREATE) {
    auto* form = static_cast<TForm1*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
    form->window_ = window;
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<TForm1*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (form == nullptr) return ::DefWindowProcW(window, message, w, l);
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    form->window_ = nullptr;
    return ::DefWindowProcW(window, message, w, l);
  }
  return form->Handle(message, w, l);
}

LRESULT TForm1::Handle(UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_COMMAND:
      // A click comes with the button's window; the dialog manager's IDOK and IDCANCEL without.
      if (HIWORD(w) == BN_CLICKED && l != 0) {
        const int index = LOWORD(w) - kFirstControlId;
        if (index >= 0 && index < static_cast<int>(form::kControls.size())) Clicked(static_cast<ControlId>(index));
      }
      return 0;
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(l);
      if (item->CtlID == static_cast<UINT>(ChildId(ControlId::kBitBtn1))) {
        DrawCloseButton(*item);
        return TRUE;
      }
      break;
    }
    case WM_CLOSE:
      ::DestroyWindow(window_);
      return 0;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return ::DefWindowProcW(window_, message, w, l);
}

void TForm1::Clicked(ControlId id) {
  HWND sender = Control(id);
  switch (id) {
    case ControlId::kButton2: OperatorClick([this, sender] { Button2Click(sender); }); return;
    case ControlId::kButton3: OperatorClick([this, sender] { Button3Click(sender); }); return;
    case ControlId::kButton4: OperatorClick([this, sender] { Button4Click(sender); }); return;
    case ControlId::kButton5: OperatorClick([this, sender] { Button5Click(sender); }); return;
    case ControlId::kButton1: OperatorClick([this, sender] { Button1Click(sender); }); return;
    case ControlId::kButton6: OperatorClick([this, sender] { Button6Click(sender); }); return;
    case ControlId::kButton7: OperatorClick([this, sender] { Button7Click(sender); }); return;
    case ControlId::kButton8: OperatorClick([this, sender] { Button8Click(sender); }); return;
    case ControlId::kBitBtn1: ::PostMessageW(window_, WM_CLOSE, 0, 0); return;
    default: return;
  }
}

void TForm1::DrawCloseButton(const DRAWITEMSTRUCT& item) const {
  HDC dc = item.hDC;
  RECT frame = item.rcItem;
  const bool pushed = (item.itemState & ODS_SELECTED) != 0;
  ::DrawFrameControl(dc, &frame, DFC_BUTTON, DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0));
  const int shift = pushed ? 1 : 0;
  // The close picture, a cross left of the caption, drawn with lines so that it needs no symbol
  // font (Wine may lack one).
  const int side = Scale(kCloseGlyphSide);
  const int gap = Scale(kCloseGlyphGap);
  const int middle = (frame.top + frame.bottom) / 2 + shift;
  RECT glyph{frame.left + gap + shift, middle - side / 2, frame.left + gap + shift + side, middle - side / 2 + side};
  HPEN pen = ::CreatePen(PS_SOLID, std::max(1, Scale(2)), RGB(kCloseGlyphRed, 0, 0));
  HGDIOBJ old_pen = ::SelectObject(dc, pen);
  ::MoveToEx(dc, glyph.left, glyph.top, nullptr);
  ::LineTo(dc, glyph.right, glyph.bottom);
  ::MoveToEx(dc, glyph.right - 1, glyph.top, nullptr);
  ::LineTo(dc, glyph.left - 1, glyph.bottom);
  ::SelectObject(dc, old_pen);
  ::DeleteObject(pen);
  RECT text{glyph.right, frame.top + shift, frame.right + shift, frame.bottom + shift};
  HGDIOBJ old_font = ::SelectObject(dc, font_);
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, ::GetSysColor(COLOR_BTNTEXT));
  const std::wstring caption = WideFromUtf8(form::DesignOf(ControlId::kBitBtn1).caption);
  ::DrawTextW(dc, caption.c_str(), -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  ::SelectObject(dc, old_font);
  if ((item.itemState & ODS_FOCUS) != 0) {
    RECT focus = frame;
    ::InflateRect(&focus, -Scale(3), -Scale(3));
    ::DrawFocusRect(dc, &focus);
  }
}

void TForm1::OperatorClick(const std::function<void()>& handler) {
  // A click that posted rows without reporting still leaves them on disk when it returns.
  form::RunOperatorClick([this, &handler] { handler(); commands_.Save(); }, [this] { commands_.DiscardPending(); },
                         [this](const std::string& text) { services_.show_error(window_, WideFromUtf8(text), title_); });
  // After the command's own boxes: once a run, where the report went when c:\ was denied.
  if (const auto place = commands_.TakeReportPlaceNotice()) ShowMessage(form::ReportPlaceText(*place));
}

void TForm1::Button2Click(HWND) { commands_.Button2Click(); }

void TForm1::Button3Click(HWND) { commands_.Button3Click(); }

void TForm1::Button4Click(HWND) {
  if (std::optional<std::wstring> chosen = services_.open_file(window_, WideFromUtf8(form::kSourceFileName))) {
    SetEditText(ControlId::kEdit1, *chosen);
  }
}

void TForm1::Button5Click(HWND) {
  // A cancelled browser answers with empty text, which empties the field too.
  SetEditText(ControlId::kEdit2, services_.browse_for_folder(window_, WideFromUtf8(form::kFolderPrompt)));
}

void TForm1::Button1Click(HWND) { commands_.Button1Click(); }

void TForm1::Button6Click(HWND) { commands_.Button6Click(); }

void TForm1::Button7Click(HWND) { commands_.Button7Click(); }

void TForm1::Button8Click(HWND) { commands_.Button8Click(); }

std::string TForm1::EditText(ControlId id) const {
  HWND edit = Control(id);
  std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(edit)) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
  return os::Utf8FromWide(text);
}

void TForm1::SetEditText(ControlId id, const std::wstring& text) { ::SetWindowTextW(Control(id), text.c_str()); }

std::string TForm1::SourceLocation() const { return EditText(ControlId::kEdit1); }

std::string TForm1::TargetLocation() const { return EditText(ControlId::kEdit2); }

void TForm1::Press(HiddenButton button) {
  // The handler runs directly, so that its errors travel up through the pressing handler.
  switch (button) {
    case HiddenButton::kButton1: Button1Click(Control(ControlId::kButton1)); return;
    case HiddenButton::kButton6: Button6Click(Control(ControlId::kButton6)); return;
    case HiddenButton::kButton7: Button7Click(Control(ControlId::kButton7)); return;
    case HiddenButton::kButton8: Button8Click(Control(ControlId::kButton8)); return;
  }
}

std::optional<std::string> TForm1::AskTablePassword(const std::string& table_name) {
  if (!services_.ask_table_password) return std::nullopt;
  std::optional<std::wstring> typed = services_.ask_table_password(window_, WideFromUtf8(table_name));
  if (!typed) return std::nullopt;
  return os::Utf8FromWide(*typed);
}

void TForm1::ShowMessage(const std::string& text) { services_.show_message(window_, WideFromUtf8(text), title_); }

bool TForm1::PreTranslate(MSG& message) {
  if (window_ == nullptr) return false;
  // Enter presses the focused button, as Space does; no button is the window's default.
  if (message.message == WM_KEYDOWN && message.wParam == VK_RETURN) {
    HWND focus = ::GetFocus();
    for (ControlId id : form::TabCycle()) {
      if (form::DesignOf(id).kind == ControlKind::kButton && Control(id) == focus) {
        ::SendMessageW(focus, BM_CLICK, 0, 0);
        return true;
      }
    }
  }
  // Tab, Space and the access key Alt+C, as in a dialog.
  return ::IsDialogMessageW(window_, &message) != 0;
}

int RunMessageLoop(TForm1& form) {
  MSG message{};
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (form.PreTranslate(message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

}  // namespace varnholt::win32
