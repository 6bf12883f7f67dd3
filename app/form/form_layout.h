// The main window's design, shared by the Qt window and the Win32 one: the caption, the outer place
// and size, the font, and every control's text, place, tab position and visibility. Both windows
// build their controls from kControls and their tests check against it.
#ifndef VARNHOLT_APP_FORM_FORM_LAYOUT_H_
#define VARNHOLT_APP_FORM_FORM_LAYOUT_H_

#include <array>
#include <optional>
#include <string_view>
#include <vector>

namespace varnholt::form {

inline constexpr char kCaption[] = "Varnholt Import";

// The window's outer place and size (frame included), in pixels at 96 dpi.
inline constexpr int kOuterLeft = 191;
inline constexpr int kOuterTop = 112;
inline constexpr int kOuterWidth = 271;
inline constexpr int kOuterHeight = 482;

// The layout is drawn for this many pixels per inch and scaled in proportion on other screens.
inline constexpr int kDesignDpi = 96;
inline constexpr char kFontName[] = "MS Sans Serif";
inline constexpr int kFontPoints = 8;
inline constexpr int kFontPixels = 11;  // kFontPoints at kDesignDpi

// The source picker's file name (the list shows only these) and the folder browser's prompt.
inline constexpr char kSourceFileName[] = "*.mdb";
inline constexpr char kFolderPrompt[] = "Select a directory";

// The dialog that asks for a protected table's password: its title, the line naming the table
// (the name follows) and the line above the password box.
inline constexpr char kPasswordTitle[] = "Enter password";
inline constexpr char kPasswordTableLine[] = "Table: ";
inline constexpr char kPasswordPrompt[] = "Password:";

enum class ControlId {
  kLabel1, kLabel3, kButton4, kEdit1, kLabel2, kLabel4, kButton5, kEdit2,
  kButton2, kButton8, kButton7, kButton3, kButton1, kButton6, kBitBtn1,
};

enum class ControlKind { kLabel, kEdit, kButton };

// Place and size within the client area, in pixels at 96 dpi.
struct Placement {
  int left;
  int top;
  int width;
  int height;
};

struct ControlDesign {
  ControlId id;
  const char* name;     // the form's member name
  ControlKind kind;
  const char* caption;  // UTF-8; "&" marks the access key; "" for an edit
  Placement place;
  int tab_order;        // position in the Tab cycle; -1 for a label, which takes no focus
  bool visible;
};

// Every control in the order the design lists them.
inline constexpr std::array<ControlDesign, 15> kControls{{
    {ControlId::kLabel1, "Label1", ControlKind::kLabel, "Configure TORBEK", {72, 8, 92, 13}, -1, true},
    {ControlId::kLabel3, "Label3", ControlKind::kLabel, "Set Torbek Database Location", {40, 32, 151, 13}, -1, true},
    {ControlId::kButton4, "Button4", ControlKind::kButton, "Browse", {8, 48, 49, 25}, 5, true},
    {ControlId::kEdit1, "Edit1", ControlKind::kEdit, "", {64, 48, 121, 21}, 2, true},
    {ControlId::kLabel2, "Label2", ControlKind::kLabel, "Import to Varnholt", {80, 120, 81, 13}, -1, true},
    {ControlId::kLabel4, "Label4", ControlKind::kLabel, "Set Varnholt Database Location", {48, 152, 149, 13}, -1, true},
    {ControlId::kButton5, "Button5", ControlKind::kButton, "Browse", {8, 168, 49, 25}, 6, true},
    {ControlId::kEdit2, "Edit2", ControlKind::kEdit, "", {64, 168, 121, 21}, 3, true},
    {ControlId::kButton2, "Button2", ControlKind::kButton, "IMPORT INTO VARNHOLT", {56, 200, 137, 25}, 0, true},
    {ControlId::kButton8, "Button8", ControlKind::kButton, "Update 4", {0, 224, 75, 25}, 10, false},
    {ControlId::kButton7, "Button7", ControlKind::kButton, "Update 3", {0, 256, 75, 25}, 8, false},
    {ControlId::kButton3, "Button3", ControlKind::kButton, "Update", {80, 256, 75, 25}, 4, true},
    {ControlId::kButton1, "Button1", ControlKind::kButton, "Update2", {176, 256, 75, 25}, 7, false},
    {ControlId::kButton6, "Button6", ControlKind::kButton, "Button6", {176, 376, 75, 25}, 9, false},
    {ControlId::kBitBtn1, "BitBtn1", ControlKind::kButton, "&Close", {168, 408, 75, 25}, 1, true},
}};

// The control's entry in kControls.
const ControlDesign& DesignOf(ControlId id);

// The controls the Tab key visits, in its order: visible ones with a tab position.
std::vector<ControlId> TabCycle();

}  // namespace varnholt::form

#endif  // VARNHOLT_APP_FORM_FORM_LAYOUT_H_
