// Unit1: the main window TForm1. It builds its controls at fixed places, maps each button to its
// handler and forwards every command to Commands; it keeps no state beyond the texts of Edit1 and
// Edit2. Dialogs and message boxes go through PlatformServices.
#ifndef VARNHOLT_APP_UNIT1_H_
#define VARNHOLT_APP_UNIT1_H_

#include <functional>
#include <optional>
#include <string>

#include <QWidget>

#include "app/form/form_layout.h"
#include "app/platform/platform_services.h"
#include "passes/commands.h"
#include "passes/form_host.h"
#include "stores/target/password_prompt.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace varnholt {

class TForm1 : public QWidget, public FormHost, public PasswordPrompt {
  Q_OBJECT

 public:
  // The window's outer place and size (frame included) on a 96 dpi screen.
  static constexpr int kOuterLeft = form::kOuterLeft;
  static constexpr int kOuterTop = form::kOuterTop;
  static constexpr int kOuterWidth = form::kOuterWidth;
  static constexpr int kOuterHeight = form::kOuterHeight;

  // Creates the window with all its controls and the commands' components, none of them bound.
  // `platform` must outlive the window.
  TForm1(PlatformServices& platform, CommandEnvironment environment, QWidget* parent = nullptr);
  ~TForm1() override;

  // The controls, in the order the form declares them. The source and target table and statement
  // components (tblParent_Child ... UpdateC2) are the commands' store components.
  QPushButton* Button2 = nullptr;  // "IMPORT INTO VARNHOLT"
  QPushButton* BitBtn1 = nullptr;  // "&Close"
  QLabel* Label1 = nullptr;
  QLabel* Label2 = nullptr;
  QLineEdit* Edit1 = nullptr;  // full path of the source database file
  QLineEdit* Edit2 = nullptr;  // path of the target directory
  QLabel* Label3 = nullptr;
  QLabel* Label4 = nullptr;
  QPushButton* Button3 = nullptr;  // "Update"
  OpenDialogRequest OpenDialog1;
  QPushButton* Button4 = nullptr;  // "Browse" for the source
  QPushButton* Button5 = nullptr;  // "Browse" for the target
  QPushButton* Button1 = nullptr;  // "Update2", hidden
  QPushButton* Button7 = nullptr;  // "Update 3", hidden
  QPushButton* Button6 = nullptr;  // "Button6", hidden
  QPushButton* Button8 = nullptr;  // "Update 4", hidden

  // The handlers, each taking the pressed button. None catches: an error ends the command and is
  // shown by the operator's click (OperatorClick). Virtual so that tests can watch them run.
  virtual void Button2Click(QObject* Sender);
  virtual void Button3Click(QObject* Sender);
  virtual void Button4Click(QObject* Sender);
  virtual void Button5Click(QObject* Sender);
  virtual void Button1Click(QObject* Sender);
  virtual void Button6Click(QObject* Sender);
  virtual void Button7Click(QObject* Sender);
  virtual void Button8Click(QObject* Sender);

  // FormHost. The locations are the texts of Edit1 (source file) and Edit2 (target folder).
  std::string SourceLocation() const override;
  std::string TargetLocation() const override;
  // Runs the hidden button's handler directly, so that its errors travel up through the pressing
  // handler rather than through Qt's signals.
  void Press(HiddenButton button) override;
  void ShowMessage(const std::string& text) override;

  // PasswordPrompt: the platform's password dialog over the window. The commands' target session
  // asks it, once per protected table and run.
  std::optional<std::string> AskTablePassword(const std::string& table_name) override;

  // The top of an operator's click: runs `handler`; an escaping error discards the pending rows
  // and is shown in the error box. Every button's clicked signal comes here.
  void OperatorClick(const std::function<void()>& handler);

  Commands& commands() { return commands_; }

  // The widget of a control of the shared design.
  QWidget* Control(form::ControlId id) const;

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ConnectClick(QPushButton* button, void (TForm1::*handler)(QObject*));

  PlatformServices& platform_;
  Commands commands_;
  // Set once the window manager's frame is known and the outer size has been made right.
  bool outer_size_fitted_ = false;
};

// The one main window, set by start-up while it runs.
extern TForm1* Form1;

}  // namespace varnholt

#endif  // VARNHOLT_APP_UNIT1_H_
