// Unit1 for Windows: the main window TForm1 as a native Win32 window. Its controls are built from
// the shared design (app/form/form_layout.h), scaled to the screen's DPI; each button maps to its
// handler, and every command goes to the shared Commands. Dialogs and message boxes go through
// Win32Services. The window keeps no state beyond the texts of Edit1 and Edit2.
#ifndef VARNHOLT_APP_WIN32_UNIT1_H_
#define VARNHOLT_APP_WIN32_UNIT1_H_

#include <windows.h>

#include <functional>
#include <map>
#include <optional>
#include <string>

#include "app/form/form_layout.h"
#include "app/win32/win32_services.h"
#include "passes/commands.h"
#include "passes/form_host.h"
#include "stores/target/password_prompt.h"

namespace varnholt::win32 {

// The registered window class of the main window.
inline constexpr wchar_t kWindowClass[] = L"TForm1";

class TForm1 : public FormHost, public PasswordPrompt {
 public:
  // Creates the window, hidden, with all its controls and the commands' components, none of them
  // bound. Throws std::runtime_error when Windows refuses the window.
  TForm1(HINSTANCE instance, Win32Services services, std::wstring title, CommandEnvironment environment);
  virtual ~TForm1();
  TForm1(const TForm1&) = delete;
  TForm1& operator=(const TForm1&) = delete;

  // Shows the window with the focus on "IMPORT INTO VARNHOLT".
  void Show(int show_command = SW_SHOWNORMAL);

  HWND handle() const { return window_; }
  // The control's window; every control of the design has one.
  HWND Control(form::ControlId id) const { return controls_.at(id); }
  int dpi() const { return dpi_; }
  HFONT font() const { return font_; }

  // The handlers, each taking the pressed button. None catches: an error ends the command and is
  // shown by the operator's click (OperatorClick). Virtual so that tests can watch them run.
  virtual void Button2Click(HWND Sender);
  virtual void Button3Click(HWND Sender);
  virtual void Button4Click(HWND Sender);
  virtual void Button5Click(HWND Sender);
  virtual void Button1Click(HWND Sender);
  virtual void Button6Click(HWND Sender);
  virtual void Button7Click(HWND Sender);
  virtual void Button8Click(HWND Sender);

  // FormHost. The locations are the texts of Edit1 (source file) and Edit2 (target folder).
  std::string SourceLocation() const override;
  std::string TargetLocation() const override;
  void Press(HiddenButton button) override;
  void ShowMessage(const std::string& text) override;

  // PasswordPrompt: the Enter password dialog over the window; the commands' target session asks
  // it once per protected table and run.
  std::optional<std::string> AskTablePassword(const std::string& table_name) override;

  // The top of an operator's click: runs `handler`; an escaping error discards the pending rows
  // and is shown in the error box.
  void OperatorClick(const std::function<void()>& handler);

  // What the message loop does with `message` before dispatching it: Tab, Space, Alt+C and Enter
  // on the focused button. True when it was handled here.
  bool PreTranslate(MSG& message);

  Commands& commands() { return commands_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM w, LPARAM l);
  LRESULT Handle(UINT message, WPARAM w, LPARAM l);
  void CreateControls(HINSTANCE instance);
  void Clicked(form::ControlId id);
  void DrawCloseButton(const DRAWITEMSTRUCT& item) const;
  int Scale(int pixels) const;
  std::string EditText(form::ControlId id) const;
  void SetEditText(form::ControlId id, const std::wstring& text);

  Win32Services services_;
  std::wstring title_;
  Commands commands_;
  HWND window_ = nullptr;
  HFONT font_ = nullptr;
  int dpi_ = form::kDesignDpi;
  std::map<form::ControlId, HWND> controls_;
};

// Runs the message loop of `form` until its window is closed; returns the exit code.
int RunMessageLoop(TForm1& form);

}  // namespace varnholt::win32

#endif  // VARNHOLT_APP_WIN32_UNIT1_H_
