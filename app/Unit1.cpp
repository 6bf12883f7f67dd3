#include "app/Unit1.h"

#include <algorithm>
#include <utility>
#include <vector>

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QStyle>

#include "app/error_box.h"
#include "app/form/form_layout.h"
#include "app/form/report_notice.h"
#include "stores/components/store_components.h"

namespace varnholt {

TForm1* Form1 = nullptr;

namespace {

using form::ControlId;

const form::Placement& PlaceOf(ControlId id) { return form::DesignOf(id).place; }

void Place(QWidget* widget, const form::Placement& place) {
  widget->setGeometry(place.left, place.top, place.width, place.height);
}

QPushButton* MakeButton(QWidget* parent, const char* caption, const form::Placement& place, bool visible) {
  auto* button = new QPushButton(QString::fromUtf8(caption), parent);
  Place(button, place);
  // No button is the window's default: Enter presses only the button that has the focus.
  button->setAutoDefault(false);
  button->setDefault(false);
  if (!visible) {
    // Only a command can press a hidden button, never the keyboard.
    button->setFocusPolicy(Qt::NoFocus);
    button->hide();
  }
  return button;
}

// Labels size themselves to their text, so a font a pixel wider than the one the layout was drawn
// with widens the label rather than cutting its last letter off.
QLabel* MakeLabel(QWidget* parent, const char* caption, const form::Placement& place) {
  auto* label = new QLabel(QString::fromUtf8(caption), parent);
  const QSize text = label->sizeHint();
  label->setGeometry(place.left, place.top, std::max(place.width, text.width()), std::max(place.height, text.height()));
  return label;
}

QLineEdit* MakeEdit(QWidget* parent, const form::Placement& place) {
  auto* edit = new QLineEdit(parent);
  Place(edit, place);
  return edit;
}

}  // namespace

TForm1::TForm1(PlatformServices& platform, CommandEnvironment environment, QWidget* parent)
    : QWidget(parent), platform_(platform), commands_(*this, std::move(environment)) {
  setWindowTitle(QString::fromUtf8(form::kCaption));
  commands_.components().session().set_password_prompt(this);

  // Button face behind everything, as dialogs of the window system have.
  QPalette face = palette();
  face.setColor(QPalette::Window, face.color(QPalette::Button));
  setPalette(face);
  setAutoFillBackground(true);

  auto button = [this](ControlId id) {
    const form::ControlDesign& design = form::DesignOf(id);
    return MakeButton(this, design.caption, design.place, design.visible);
  };
  auto label = [this](ControlId id) { return MakeLabel(this, form::DesignOf(id).caption, PlaceOf(id)); };
  Button2 = button(ControlId::kButton2);
  BitBtn1 = button(ControlId::kBitBtn1);
  BitBtn1->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton, nullptr, BitBtn1));
  Label1 = label(ControlId::kLabel1);
  Label2 = label(ControlId::kLabel2);
  Edit1 = MakeEdit(this, PlaceOf(ControlId::kEdit1));
  Edit2 = MakeEdit(this, PlaceOf(ControlId::kEdit2));
  Label3 = label(ControlId::kLabel3);
  Label4 = label(ControlId::kLabel4);
  Button3 = button(ControlId::kButton3);
  Button4 = button(ControlId::kButton4);
  Button5 = button(ControlId::kButton5);
  Button1 = button(ControlId::kButton1);
  Button7 = button(ControlId::kButton7);
  Button6 = button(ControlId::kButton6);
  Button8 = button(ControlId::kButton8);

  ConnectClick(Button2, &TForm1::Button2Click);
  ConnectClick(Button3, &TForm1::Button3Click);
  ConnectClick(Button4, &TForm1::Button4Click);
  ConnectClick(Button5, &TForm1::Button5Click);
  ConnectClick(Button1, &TForm1::Button1Click);
  ConnectClick(Button6, &TForm1::Button6Click);
  ConnectClick(Button7, &TForm1::Button7Click);
  ConnectClick(Button8, &TForm1::Button8Click);
  connect(BitBtn1, &QPushButton::clicked, this, &QWidget::close);

  const std::vector<ControlId> cycle = form::TabCycle();
  for (size_t i = 1; i < cycle.size(); ++i) QWidget::setTabOrder(Control(cycle[i - 1]), Control(cycle[i]));
  for (QPushButton* button : {Button2, BitBtn1, Button3, Button4, Button5}) button->installEventFilter(this);
  Button2->setFocus();

  move(kOuterLeft, kOuterTop);
  // Until the window manager tells its frame, the client area takes the whole outer size.
  resize(kOuterWidth, kOuterHeight);
}

TForm1::~TForm1() = default;

void TForm1::ConnectClick(QPushButton* button, void (TForm1::*handler)(QObject*)) {
  connect(button, &QPushButton::clicked, this, [this, button, handler] {
    OperatorClick([this, button, handler] { (this->*handler)(button); });
  });
}

void TForm1::OperatorClick(const std::function<void()>& handler) {
  // A click that posted rows without reporting still leaves them on disk when it returns.
  RunOperatorClick([this, &handler] { handler(); commands_.Save(); }, [this] { commands_.DiscardPending(); },
                   [this](const QString& text) { platform_.ShowError(this, text); });
  // After the command's own boxes: once a run, where the report went when c:\ was denied.
  if (const auto place = commands_.TakeReportPlaceNotice()) ShowMessage(form::ReportPlaceText(*place));
}

void TForm1::Button2Click(QObject*) { commands_.Button2Click(); }

void TForm1::Button3Click(QObject*) { commands_.Button3Click(); }

void TForm1::Button4Click(QObject*) {
  OpenDialog1.file_name = QString::fromUtf8(form::kSourceFileName);
  if (std::optional<QString> chosen = platform_.ExecuteOpenDialog(this, OpenDialog1)) Edit1->setText(*chosen);
}

void TForm1::Button5Click(QObject*) {
  // A cancelled browser answers with empty text, which empties the field too.
  Edit2->setText(platform_.BrowseForFolder(QString::fromUtf8(form::kFolderPrompt)));
}

void TForm1::Button1Click(QObject*) { commands_.Button1Click(); }

void TForm1::Button6Click(QObject*) { commands_.Button6Click(); }

void TForm1::Button7Click(QObject*) { commands_.Button7Click(); }

void TForm1::Button8Click(QObject*) { commands_.Button8Click(); }

QWidget* TForm1::Control(form::ControlId id) const {
  switch (id) {
    case ControlId::kLabel1: return Label1;
    case ControlId::kLabel2: return Label2;
    case ControlId::kLabel3: return Label3;
    case ControlId::kLabel4: return Label4;
    case ControlId::kEdit1: return Edit1;
    case ControlId::kEdit2: return Edit2;
    case ControlId::kButton1: return Button1;
    case ControlId::kButton2: return Button2;
    case ControlId::kButton3: return Button3;
    case ControlId::kButton4: return Button4;
    case ControlId::kButton5: return Button5;
    case ControlId::kButton6: return Button6;
    case ControlId::kButton7: return Button7;
    case ControlId::kButton8: return Button8;
    case ControlId::kBitBtn1: return BitBtn1;
  }
  return nullptr;
}

std::string TForm1::SourceLocation() const { return Edit1->text().toStdString(); }

std::string TForm1::TargetLocation() const { return Edit2->text().toStdString(); }

void TForm1::Press(HiddenButton button) {
  switch (button) {
    case HiddenButton::kButton1:
      Button1Click(Button1);
      return;
    case HiddenButton::kButton6:
      Button6Click(Button6);
      return;
    case HiddenButton::kButton7:
      Button7Click(Button7);
      return;
    case HiddenButton::kButton8:
      Button8Click(Button8);
      return;
  }
}

std::optional<std::string> TForm1::AskTablePassword(const std::string& table_name) {
  std::optional<QString> answer = platform_.AskTablePassword(this, QString::fromStdString(table_name));
  if (!answer) return std::nullopt;
  return answer->toStdString();
}

void TForm1::ShowMessage(const std::string& text) { platform_.ShowMessage(this, QString::fromStdString(text)); }

bool TForm1::event(QEvent* event) {
  const bool handled = QWidget::event(event);
  // The outer size includes the window manager's frame, known only once the window is up.
  if (!outer_size_fitted_ && isWindow() &&
      (event->type() == QEvent::Move || event->type() == QEvent::Resize || event->type() == QEvent::Show)) {
    const QRect outer = frameGeometry();
    const QRect inner = geometry();
    if (outer != inner) {
      outer_size_fitted_ = true;
      resize(kOuterWidth - (outer.width() - inner.width()), kOuterHeight - (outer.height() - inner.height()));
    }
  }
  return handled;
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  // Enter presses the focused button, as the window system does for a button with the focus.
  if (event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && key->modifiers() == Qt::NoModifier) {
      if (auto* button = qobject_cast<QPushButton*>(watched); button != nullptr && button->isEnabled()) {
        button->click();
        return true;
      }
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace varnholt
