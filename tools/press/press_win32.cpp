// press for Windows: drives the real Win32 main window. Types the two locations, clicks the named
// visible buttons in order through BM_CLICK, and prints every message box as one line
// "box: TEXT" instead of showing it, each line ending in LF as on Linux. The report goes where the
// program puts it, c:\Varnholt import.csv, or with --drive-c DIR to DIR\Varnholt import.csv. Exits
// 0 when every click ran (whatever the boxes say), 2 for a caption that is not a visible button or
// a bad command line. --table-password TEXT answers every password dialog of a protected target
// table with TEXT; without it those dialogs are cancelled. --dry-run DIR previews: the commands run
// to their end, the list of what they would change goes to DIR\changes.csv (the report to DIR too),
// one line "dry run: ..." a table is printed, and nothing is written in the target folder. Needs a
// display (under Wine, Xvfb does).
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/form/form_layout.h"
#include "app/platform/drive_c.h"
#include "app/platform/environment.h"
#include "app/win32/Unit1.h"
#include "app/win32/win32_services.h"
#include "base/os/windows_path.h"
#include "base/utf8_path.h"
#include "tools/press/dry_run_summary.h"

namespace {

constexpr int kUsageError = 2;

constexpr char kUsage[] =
    "usage: press --source PATH --target DIR [--drive-c DIR] [--date-separator C]\n"
    "             [--table-password TEXT] [--dry-run DIR] CAPTION...\n";

// The boxes' title, as the program's own file gives it.
constexpr wchar_t kTitle[] = L"Varnholt-import";

struct Options {
  std::optional<std::string> source;
  std::optional<std::string> target;
  std::optional<std::string> drive_c;
  std::optional<char> date_separator;
  std::optional<std::wstring> table_password;
  std::optional<std::string> dry_run;
  std::vector<std::string> captions;
};

// The arguments come as UTF-16 and go on as UTF-8. Returns nothing on a malformed command line.
std::optional<Options> ParseOptions(int argc, wchar_t** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = varnholt::os::Utf8FromWide(argv[i]);
    const bool has_value = i + 1 < argc;
    if (arg == "--source" && has_value) {
      options.source = varnholt::os::Utf8FromWide(argv[++i]);
    } else if (arg == "--target" && has_value) {
      options.target = varnholt::os::Utf8FromWide(argv[++i]);
    } else if (arg == "--drive-c" && has_value) {
      options.drive_c = varnholt::os::Utf8FromWide(argv[++i]);
    } else if (arg == "--date-separator" && has_value) {
      const std::string value = varnholt::os::Utf8FromWide(argv[++i]);
      if (value.size() != 1) return std::nullopt;
      options.date_separator = value[0];
    } else if (arg == "--dry-run" && has_value) {
      options.dry_run = varnholt::os::Utf8FromWide(argv[++i]);
    } else if (arg == "--table-password" && has_value) {
      options.table_password = argv[++i];
    } else if (arg.starts_with("--")) {
      return std::nullopt;
    } else {
      options.captions.push_back(arg);
    }
  }
  if (!options.source || !options.target) return std::nullopt;
  return options;
}

// The visible button with the caption as shown ("Close") or as written ("&Close").
std::optional<varnholt::form::ControlId> FindVisibleButton(const std::string& caption) {
  for (varnholt::form::ControlId id : varnholt::form::TabCycle()) {
    const varnholt::form::ControlDesign& design = varnholt::form::DesignOf(id);
    if (design.kind != varnholt::form::ControlKind::kButton) continue;
    std::string shown = design.caption;
    std::erase(shown, '&');
    if (caption == design.caption || caption == shown) return id;
  }
  return std::nullopt;
}

void PrintBox(const std::wstring& text) {
  std::string line = varnholt::os::Utf8FromWide(text);
  for (char& c : line) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  std::cout << "box: " << line << std::endl;
}

void Pump() {
  MSG message{};
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // The same bytes as the Linux press prints, for the tests that read either.
  _setmode(_fileno(stdout), _O_BINARY);
  const std::optional<Options> options = ParseOptions(argc, argv);
  if (!options) {
    std::cerr << kUsage;
    return kUsageError;
  }
  std::vector<varnholt::form::ControlId> buttons;
  for (const std::string& caption : options->captions) {
    const std::optional<varnholt::form::ControlId> id = FindVisibleButton(caption);
    if (!id) {
      std::cerr << "press: no visible button \"" << caption << "\"\n";
      return kUsageError;
    }
    buttons.push_back(*id);
  }
  ::SetProcessDPIAware();
  const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  varnholt::win32::Win32Services services;
  // No dialog waits here: a picker answers as after Cancel.
  services.open_file = [](HWND, const std::wstring&) { return std::optional<std::wstring>(); };
  services.browse_for_folder = [](HWND, const std::wstring&) { return std::wstring(); };
  services.show_error = [](HWND, const std::wstring& text, const std::wstring&) { PrintBox(text); };
  services.show_message = [](HWND, const std::wstring& text, const std::wstring&) { PrintBox(text); };
  services.ask_table_password = [answer = options->table_password](HWND, const std::wstring&) { return answer; };
  varnholt::RegionalSettings regional = varnholt::SystemRegionalSettings();
  if (options->date_separator) regional.date_separator = *options->date_separator;
  int status = EXIT_SUCCESS;
  try {
    varnholt::CommandEnvironment environment = varnholt::MakeCommandEnvironment(varnholt::DriveCFolder(), regional);
    if (options->drive_c) {
      environment.report_file = varnholt::Utf8FromPath(std::filesystem::path(varnholt::win32::WideFromUtf8(*options->drive_c)) /
                                std::filesystem::path(varnholt::win32::WideFromUtf8(varnholt::kReportPath + 3)));
    }
    if (options->dry_run) environment.dry_run_folder = *options->dry_run;
    varnholt::win32::TForm1 form(::GetModuleHandleW(nullptr), services, kTitle, std::move(environment));
    form.Show(SW_SHOWNOACTIVATE);
    ::SetWindowTextW(form.Control(varnholt::form::ControlId::kEdit1), varnholt::win32::WideFromUtf8(*options->source).c_str());
    ::SetWindowTextW(form.Control(varnholt::form::ControlId::kEdit2), varnholt::win32::WideFromUtf8(*options->target).c_str());
    for (varnholt::form::ControlId id : buttons) {
      if (form.handle() == nullptr) break;  // closed by an earlier "Close"
      ::SendMessageW(form.Control(id), BM_CLICK, 0, 0);
      Pump();
    }
    if (options->dry_run) varnholt::PrintDryRunSummary(form.commands().dry_run_summary());
  } catch (const std::exception& error) {
    std::cerr << "press: " << error.what() << "\n";
    status = EXIT_FAILURE;
  }
  if (SUCCEEDED(com)) ::CoUninitialize();
  return status;
}
