// Forms, the application object and the screen.
#pragma once

#include <QApplication>
#include <memory>

#include "platform/vcl/Controls.h"
#include "platform/win32/window.h"

enum TBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TFormStyle { fsNormal, fsStayOnTop };
enum TCloseAction { caNone, caHide, caFree, caMinimize };
enum TPosition { poDesigned, poScreenCenter, poDefault };

struct TMessage {
  UINT Msg;
  WPARAM WParam;
  LPARAM LParam;
  LRESULT Result;
};
using TWndMethod = std::function<void(TMessage&)>;
using TCloseEvent = std::function<void(TObject* sender, TCloseAction& action)>;

class TForm : public TWinControl {
 public:
  explicit TForm(TComponent* owner);
  ~TForm() override;

  HWND Handle() const { return FHandle; }
  void SetBorderStyle(TBorderStyle style);
  TBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetFormStyle(TFormStyle style);
  void SetFont(const AnsiString& name, int height);
  void SetClientSize(int width, int height);
  void SetVisible(bool visible) override;
  void Close();
  bool Active() const;
  void BringToFront();
  // Sends a message through WindowProc, as the window system would.
  LRESULT Perform(UINT message, WPARAM wParam, LPARAM lParam);

  // Every message of the window passes through WindowProc; a hook keeps the previous value and
  // passes on what it does not handle.
  TWndMethod WindowProc;
  void DefaultWindowProc(TMessage& message);

  TNotifyEvent OnCreate, OnDestroy, OnActivate, OnDeactivate, OnShow, OnHide;
  TCloseEvent OnClose;

  void BeforeDestruction() override;
  // The framework's creation step after construction and loading: OnCreate.
  virtual void DoCreate();

 protected:
  void ApplyCaption() override;

 private:
  void ApplyWindowFlags();
  bool HandleEvent(QEvent* e);

  HWND FHandle = nullptr;
  TBorderStyle FBorderStyle = bsSizeable;
  TFormStyle FFormStyle = fsNormal;
  bool FDestroyReported = false;
};

// Creates a form as the framework does: construct (the design), load (translation), OnCreate.
template <class T, class... Args>
T* CreateFormInstance(TComponent* owner, Args&&... args) {
  std::unique_ptr<T> form(new T(owner, std::forward<Args>(args)...));
  TComponentLoader::Load(form.get());
  form->DoCreate();
  return form.release();
}

class TApplication : public TComponent {
 public:
  TApplication(int& argc, char** argv);
  ~TApplication() override;

  void Initialize() {}
  const AnsiString& Title() const { return FTitle; }
  void SetTitle(const AnsiString& title) { FTitle = title; }
  // The hidden application window.
  HWND Handle() const { return FHandle; }
  LONG ExStyle() const { return FExStyle; }

  template <class T>
  void CreateForm(T*& reference) {
    reference = CreateFormInstance<T>(this);
    if (!FMainForm) FMainForm = reference;
  }
  TForm* MainForm() const { return FMainForm; }
  void SetShowMainForm(bool show) { FShowMainForm = show; }
  void Run();
  void Terminate();
  bool Terminated() const { return FTerminated; }
  void ProcessMessages();
  void Minimize();
  void Restore();
  bool Minimized() const { return FMinimized; }
  void BringToFront();

 private:
  friend class ApplicationWindow;
  std::unique_ptr<QApplication> FQt;
  AnsiString FTitle;
  HWND FHandle = nullptr;
  LONG FExStyle = 0;
  TForm* FMainForm = nullptr;
  bool FShowMainForm = true;
  bool FTerminated = false;
  bool FMinimized = false;
  std::vector<QPointer<QWidget>> FHiddenByMinimize;
};

class TScreen {
 public:
  TCursor Cursor() const { return FCursor; }
  void SetCursor(TCursor cursor);
  int Width() const;
  int Height() const;
  int WorkAreaWidth() const;
  int WorkAreaHeight() const;

 private:
  TCursor FCursor = crDefault;
};

extern TApplication* Application;
extern TScreen* Screen;
