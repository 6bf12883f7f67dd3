#include "app/Unit1.h"

#include <algorithm>
#include <utility>

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QStyle>

#include "app/error_box.h"

namespace varnholt {

TForm1* Form1 = nullptr;

namespace {

constexpr char kCaption[] = "Varnholt Import";
constexpr char kButton2Caption[] = "IMPORT INTO VARNHOLT";
constexpr char kBitBtn1Caption[] = "&Close";
constexpr char kLabel1Caption[] = "Configure TORBEK";
constexpr char kLabel2Caption[] = "Import to Varnholt";
constexpr char kLabel3Caption[] = "Set Torbek Database Location";
constexpr char kLabel4Caption[] = "Set Varnholt Database Location";
constexpr char kButton3Caption[] = "Update";
constexpr char kBrowseCaption[] = "Browse";
constexpr char kButton1Caption[] = "Update2";
constexpr char kButton7Caption[] = "Update 3";
constexpr char kButton6Caption[] = "Button6";
constexpr char kButton8Caption[] = "Update 4";

// The source picker's file name: the list shows only these.
constexpr char kSourceFileName[] = "*.mdb";
constexpr char kFolderPrompt[] = "Select a directory";

// Place and size within the client area, in pixels at 96 dpi.
struct Placement {
  int left;
  int top;
  int width;
  int height;
};
constexpr Placement kLabel1Place{72, 8, 92, 13};
constexpr Placement kLabel3Place{40, 32, 151, 13};
constexpr Placement kButton4Place{8, 48, 49, 25};
constexpr Placement kEdit1Place{64, 48, 121, 21};
constexpr Placement kLabel2Place{80, 120, 81, 13};
constexpr Placement kLabel4Place{48, 152, 149, 13};
constexpr Placement kButton5Place{8, 168, 49, 25};
constexpr Placement kEdit2Place{64, 168, 121, 21};
constexpr Placement kButton2Place{56, 200, 137, 25};
constexpr Placement kButton8Place{0, 224, 75, 25};
constexpr Placement kButton7Place{0, 256, 75, 25};
constexpr Placement kButton3Place{80, 256, 75, 25};
constexpr Placement kButton1Place{176, 256, 75, 25};
constexpr Placement kButton6Place{176, 376, 75, 25};
constexpr Placement kBitBtn1Place{168, 408, 75, 25};

void Place(QWidget* widget, const Placement& place) {
  widget->setGeometry(place.left, place.top, place.width, place.height);
}

QPushButton* MakeButton(QWidget* parent, const char* caption, const Placement& place, bool visible) {
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
QLabel* MakeLabel(QWidget* parent, const char* caption, const Placement& place) {
  auto* label = new QLabel(QString::fromUtf8(caption), parent);
  const QSize text = label->sizeHint();
  label->setGeometry(place.left, place.top, std::max(place.width, text.width()), std::max(place.height, text.height()));
  return label;
}

QLineEdit* MakeEdit(QWidget* parent, const Placement& place) {
  auto* edit = new QLineEdit(parent);
  Place(edit, place);
  return edit;
}

}  // namespace

TForm1::TForm1(PlatformServices& platform, CommandEnvironment environment, QWidget* parent)
    : QWidget(parent), platform_(platform), commands_(*this, std::move(environment)) {
  setWindowTitle(QString::fromUtf8(kCaption));

  // Button face behind everything, as dialogs of the window system have.
  QPalette face = palette();
  face.setColor(QPalette::Window, face.color(QPalette::Button));
  setPalette(face);
  setAutoFillBackground(true);

  Button2 = MakeButton(this, kButton2Caption, kButton2Place, true);
  BitBtn1 = MakeButton(this, kBitBtn1Caption, kBitBtn1Place, true);
  BitBtn1->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton, nullptr, BitBtn1));
  Label1 = MakeLabel(this, kLabel1Caption, kLabel1Place);
  Label2 = MakeLabel(this, kLabel2Caption, kLabel2Place);
  Edit1 = MakeEdit(this, kEdit1Place);
  Edit2 = MakeEdit(this, kEdit2Place);
  Label3 = MakeLabel(this, kLabel3Caption, kLabel3Place);
  Label4 = MakeLabel(this, kLabel4Caption, kLabel4Place);
  Button3 = MakeButton(this, kButton3Caption, kButton3Place, true);
  Button4 = MakeButton(this, kBrowseCaption, kButton4Place, true);
  Button5 = MakeButton(this, kBrowseCaption, kButton5Place, true);
  Button1 = MakeButton(this, kButton1Caption, kButton1Place, false);
  Button7 = MakeButton(this, kButton7Caption, kButton7Place, false);
  Button6 = MakeButton(this, kButton6Caption, kButton6Place, false);
  Button8 = MakeButton(this, kButton8Caption, kButton8Place, false);

  ConnectClick(Button2, &TForm1::Button2Click);
  ConnectClick(Button3, &TForm1::Button3Click);
  ConnectClick(Button4, &TForm1::Button4Click);
  ConnectClick(Button5, &TForm1::Button5Click);
  ConnectClick(Button1, &TForm1::Button1Click);
  ConnectClick(Button6, &TForm1::Button6Click);
  ConnectClick(Button7, &TForm1::Button7Click);
  ConnectClick(Button8, &TForm1::Button8Click);
  connect(BitBtn1, &QPushButton::clicked, this, &QWidget::close);

  QWidget::setTabOrder(Button2, BitBtn1);
  QWidget::setTabOrder(BitBtn1, Edit1);
  QWidget::setTabOrder(Edit1, Edit2);
  QWidget::setTabOrder(Edit2, Button3);
  QWidget::setTabOrder(Button3, Button4);
  QWidget::setTabOrder(Button4, Button5);
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
}

void TForm1::Button2Click(QObject*) { commands_.Button2Click(); }

void TForm1::Button3Click(QObject*) { commands_.Button3Click(); }

void TForm1::Button4Click(QObject*) {
  OpenDialog1.file_name = QString::fromUtf8(kSourceFileName);
  if (std::optional<QString> chosen = platform_.ExecuteOpenDialog(this, OpenDialog1)) Edit1->setText(*chosen);
}

void TForm1::Button5Click(QObject*) {
  // A cancelled browser answers with empty text, which empties the field too.
  Edit2->setText(platform_.BrowseForFolder(QString::fromUtf8(kFolderPrompt)));
}

void TForm1::Button1Click(QObject*) { commands_.Button1Click(); }

void TForm1::Button6Click(QObject*) { commands_.Button6Click(); }

void TForm1::Button7Click(QObject*) { commands_.Button7Click(); }

void TForm1::Button8Click(QObject*) { commands_.Button8Click(); }

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
