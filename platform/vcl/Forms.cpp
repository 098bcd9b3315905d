#include "platform/vcl/Forms.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QFileInfo>
#include <QFont>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

#include "platform/win32/messagebox.h"
#include "platform/win32/strings.h"

TApplication* Application = nullptr;
TScreen* Screen = nullptr;

namespace {

// Messages posted to a window from any thread travel as Qt events to this dispatcher, which
// lives on the main thread and looks the window up again when the event arrives.
class PostedMessage : public QEvent {
 public:
  static QEvent::Type Kind() {
    static const int kind = QEvent::registerEventType();
    return static_cast<QEvent::Type>(kind);
  }
  PostedMessage(HWND window, UINT message, WPARAM w, LPARAM l)
      : QEvent(Kind()), Window(window), Message(message), W(w), L(l) {}
  HWND Window;
  UINT Message;
  WPARAM W;
  LPARAM L;
};

class Dispatcher : public QObject {
 public:
  bool event(QEvent* e) override {
    if (e->type() != PostedMessage::Kind()) return QObject::event(e);
    auto* m = static_cast<PostedMessage*>(e);
    SendMessageW(m->Window, m->Message, m->W, m->L);
    return true;
  }
};

Dispatcher* TheDispatcher() {
  static Dispatcher* d = nullptr;
  if (!d) d = new Dispatcher;  // created on the main thread by the first window
  return d;
}

class FormWindow : public win32::WindowObject {
 public:
  explicit FormWindow(TForm* form) : FForm(form), FDispatcher(TheDispatcher()) {}
  void Detach() { FForm = nullptr; }
  void SetHandle(HWND h) { FHandle = h; }

  void Post(UINT message, WPARAM w, LPARAM l) override {
    QCoreApplication::postEvent(FDispatcher, new PostedMessage(FHandle, message, w, l));
  }
  LRESULT Send(UINT message, WPARAM w, LPARAM l) override {
    return FForm ? FForm->Perform(message, w, l) : 0;
  }
  LONG GetLong(int index) override { return index == GWL_EXSTYLE ? FExStyle : 0; }
  LONG SetLong(int index, LONG value) override {
    if (index != GWL_EXSTYLE) return 0;
    LONG old = FExStyle;
    FExStyle = value;
    return old;
  }
  BOOL Show(int command) override {
    if (!FForm) return FALSE;
    BOOL was = FForm->Visible();
    if (command == SW_HIDE) {
      FForm->Hide();
    } else if (command == SW_SHOWNA || command == SW_SHOWNOACTIVATE) {
      FForm->Widget()->setAttribute(Qt::WA_ShowWithoutActivating, true);
      FForm->Show();
      FForm->Widget()->setAttribute(Qt::WA_ShowWithoutActivating, false);
    } else {
      FForm->Show();
    }
    return was;
  }
  BOOL SetForeground() override {
    if (!FForm) return FALSE;
    FForm->BringToFront();
    return TRUE;
  }

 private:
  TForm* FForm;
  Dispatcher* FDispatcher;
  HWND FHandle = nullptr;
  LONG FExStyle = 0;
};

class QtMessageBoxPresenter : public win32::MessageBoxPresenter {
 public:
  int Present(HWND, const std::u16string& text, const std::u16string& caption, UINT type) override {
    QMessageBox box;
    box.setWindowTitle(QString::fromUtf16(caption.data(), static_cast<qsizetype>(caption.size())));
    box.setText(QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())));
    switch (type & 0xF0) {
      case MB_ICONERROR:
        box.setIcon(QMessageBox::Critical);
        break;
      case MB_ICONWARNING:
        box.setIcon(QMessageBox::Warning);
        break;
      case MB_ICONINFORMATION:
        box.setIcon(QMessageBox::Information);
        break;
      case MB_ICONQUESTION:
        box.setIcon(QMessageBox::Question);
        break;
      default:
        box.setIcon(QMessageBox::NoIcon);
        break;
    }
    // Task- and system-modal boxes block every window of the program.
    box.setWindowModality(Qt::ApplicationModal);
    switch (type & 0x0F) {
      case MB_OKCANCEL:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
      case MB_YESNO:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
      default:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    }
    box.setAccessibleName(box.windowTitle());
    switch (box.exec()) {
      case QMessageBox::Cancel:
        return IDCANCEL;
      case QMessageBox::Yes:
        return IDYES;
      case QMessageBox::No:
        return IDNO;
      default:
        return IDOK;
    }
  }
};

class ApplicationWindowObject : public win32::WindowObject {
 public:
  void Post(UINT, WPARAM, LPARAM) override {}
  LRESULT Send(UINT, WPARAM, LPARAM) override { return 0; }
  LONG GetLong(int index) override {
    return index == GWL_EXSTYLE && Application ? Application->ExStyle() : 0;
  }
  LONG SetLong(int index, LONG value) override;
  BOOL Show(int command) override {
    if (!Application) return FALSE;
    if (command == SW_HIDE)
      Application->Minimize();
    else if (command != SW_SHOWNA && command != SW_SHOWNOACTIVATE)
      Application->Restore();
    return TRUE;
  }
  BOOL SetForeground() override {
    if (Application) Application->BringToFront();
    return TRUE;
  }
};

}  // namespace

class ApplicationWindow {
 public:
  static LONG SetExStyle(LONG value) {
    LONG old = Application->FExStyle;
    Application->FExStyle = value;
    return old;
  }
};

LONG ApplicationWindowObject::SetLong(int index, LONG value) {
  if (index != GWL_EXSTYLE || !Application) return 0;
  return ApplicationWindow::SetExStyle(value);
}

// ---- TForm

TForm::TForm(TComponent* owner) : TWinControl(owner, new QWidget(nullptr, Qt::Window)) {
  Widget()->setAttribute(Qt::WA_QuitOnClose, false);
  auto window = std::make_shared<FormWindow>(this);
  FHandle = win32::RegisterWindow(window);
  window->SetHandle(FHandle);
  WindowProc = [this](TMessage& m) { DefaultWindowProc(m); };
  new vcl::EventHook(Widget(), [this](QEvent* e) { return HandleEvent(e); });
  ApplyWindowFlags();
  TControl::SetVisible(false);
}

TForm::~TForm() {
  if (auto w = std::static_pointer_cast<FormWindow>(win32::LookupWindow(FHandle))) w->Detach();
  win32::UnregisterWindow(FHandle);
}

void TForm::BeforeDestruction() {
  if (FDestroyReported) return;
  FDestroyReported = true;
  if (OnDestroy) OnDestroy(this);
}

void TForm::DoCreate() {
  if (OnCreate) OnCreate(this);
}

void TForm::ApplyCaption() {
  TControl::ApplyCaption();
  Widget()->setWindowTitle(vcl::ToQString(Caption()));
}

void TForm::ApplyWindowFlags() {
  Qt::WindowFlags flags = Qt::Window;
  switch (FBorderStyle) {
    case bsNone:
      flags |= Qt::FramelessWindowHint;
      break;
    case bsToolWindow:
    case bsSizeToolWin:
      flags = Qt::Tool;
      break;
    case bsDialog:
      flags = Qt::Dialog;
      break;
    default:
      break;
  }
  if (Application && (Application->ExStyle() & WS_EX_TOOLWINDOW)) flags |= Qt::Tool;
  if (FFormStyle == fsStayOnTop) flags |= Qt::WindowStaysOnTopHint;
  const bool visible = Widget()->isVisible();
  Widget()->setWindowFlags(flags);
  if (FBorderStyle == bsSizeable || FBorderStyle == bsSizeToolWin) {
    Widget()->setMinimumSize(0, 0);
    Widget()->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  }
  if (visible) Widget()->show();
}

void TForm::SetBorderStyle(TBorderStyle style) {
  FBorderStyle = style;
  ApplyWindowFlags();
}

void TForm::SetFormStyle(TFormStyle style) {
  FFormStyle = style;
  ApplyWindowFlags();
}

void TForm::SetFont(const AnsiString& name, int height) {
  QFont f(vcl::ToQString(name));
  if (height < 0)
    f.setPixelSize(-height);
  else if (height > 0)
    f.setPixelSize(height);
  Widget()->setFont(f);
}

void TForm::SetClientSize(int width, int height) {
  Widget()->resize(width, height);
}

void TForm::SetVisible(bool visible) {
  // Window flags take effect when the window is mapped; a shown window keeps its own.
  if (visible && !Widget()->isVisible()) ApplyWindowFlags();
  TControl::SetVisible(visible);
  if (visible) AlignControls();
}

void TForm::Close() {
  TCloseAction action = caHide;
  if (OnClose) OnClose(this, action);
  if (action == caNone) return;
  if (Application && Application->MainForm() == this) {
    Application->Terminate();
    return;
  }
  if (action == caMinimize)
    Widget()->showMinimized();
  else
    Hide();
}

bool TForm::Active() const {
  return Widget()->isActiveWindow();
}

void TForm::BringToFront() {
  Widget()->raise();
  Widget()->activateWindow();
}

LRESULT TForm::Perform(UINT message, WPARAM wParam, LPARAM lParam) {
  TMessage m{message, wParam, lParam, 0};
  if (WindowProc) WindowProc(m);
  return m.Result;
}

void TForm::DefaultWindowProc(TMessage& message) {
  if (message.Msg == WM_SYSCOMMAND && (message.WParam & 0xFFF0) == SC_CLOSE)
    Close();
  else if (message.Msg == WM_CLOSE)
    Close();
}

bool TForm::HandleEvent(QEvent* e) {
  switch (e->type()) {
    case QEvent::Close:
      // The close box is a system command; what it does is the window procedure's choice.
      e->ignore();
      Perform(WM_SYSCOMMAND, SC_CLOSE, 0);
      return true;
    case QEvent::WindowActivate:
      if (OnActivate) OnActivate(this);
      return false;
    case QEvent::WindowDeactivate:
      if (OnDeactivate) OnDeactivate(this);
      return false;
    case QEvent::Show:
      if (OnShow) OnShow(this);
      return false;
    case QEvent::Hide:
      if (OnHide) OnHide(this);
      return false;
    default:
      return false;
  }
}

// ---- TApplication

TApplication::TApplication(int& argc, char** argv) : TComponent(nullptr) {
  FQt = std::make_unique<QApplication>(argc, argv);
  FQt->setQuitOnLastWindowClosed(false);
  // The default title is the executable's file name without its extension.
  FTitle = vcl::FromQString(QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName());
  Application = this;
  static TScreen screen;
  Screen = &screen;
  FHandle = win32::RegisterWindow(std::make_shared<ApplicationWindowObject>());
  win32::SetMessageBoxPresenter(std::make_unique<QtMessageBoxPresenter>());
}

TApplication::~TApplication() {
  DestroyComponents();  // the forms go while Qt is still there
  win32::SetMessageBoxPresenter(nullptr);
  win32::UnregisterWindow(FHandle);
  Application = nullptr;
  FQt.reset();
}

void TApplication::Run() {
  if (FTerminated) return;
  if (FMainForm && FShowMainForm) FMainForm->Show();
  FQt->exec();
}

void TApplication::Terminate() {
  FTerminated = true;
  QCoreApplication::quit();
}

void TApplication::ProcessMessages() {
  QCoreApplication::processEvents();
}

void TApplication::Minimize() {
  if (FMinimized) return;
  FMinimized = true;
  FHiddenByMinimize.clear();
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->isVisible() && w->isWindow()) {
      FHiddenByMinimize.emplace_back(w);
      w->hide();
    }
  }
}

void TApplication::Restore() {
  if (!FMinimized) return;
  FMinimized = false;
  for (auto& w : FHiddenByMinimize)
    if (w) w->show();
  FHiddenByMinimize.clear();
}

void TApplication::BringToFront() {
  if (FMainForm) FMainForm->BringToFront();
}

// ---- TScreen

void TScreen::SetCursor(TCursor cursor) {
  FCursor = cursor;
  while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
  if (cursor == crHourGlass)
    QApplication::setOverrideCursor(Qt::WaitCursor);
  else if (cursor == crHandPoint)
    QApplication::setOverrideCursor(Qt::PointingHandCursor);
}

int TScreen::Width() const {
  QScreen* s = QGuiApplication::primaryScreen();
  return s ? s->geometry().width() : 0;
}
int TScreen::Height() const {
  QScreen* s = QGuiApplication::primaryScreen();
  return s ? s->geometry().height() : 0;
}
int TScreen::WorkAreaWidth() const {
  QScreen* s = QGuiApplication::primaryScreen();
  return s ? s->availableGeometry().width() : 0;
}
int TScreen::WorkAreaHeight() const {
  QScreen* s = QGuiApplication::primaryScreen();
  return s ? s->availableGeometry().height() : 0;
}
