// Actions: commands with a caption, hint, shortcut, check mark and enabled state, run by their
// shortcut, menu entry, button or from code; and the action list whose update rule runs before
// each execution and whenever the application is idle.
#pragma once

#include <QPointer>

#include "platform/vcl/Classes.h"
#include "platform/win32/wintypes.h"

class QShortcut;
class QWidget;
class TActionList;

using TShortCut = WORD;
inline constexpr TShortCut scShift = 0x2000;
inline constexpr TShortCut scCtrl = 0x4000;
inline constexpr TShortCut scAlt = 0x8000;

// Virtual-key codes of the keys that shortcuts here use.
inline constexpr WORD VK_TAB = 0x09;
inline constexpr WORD VK_RETURN = 0x0D;
inline constexpr WORD VK_ESCAPE = 0x1B;
inline constexpr WORD VK_DELETE = 0x2E;
inline constexpr WORD VK_F1 = 0x70;
inline constexpr WORD VK_F3 = 0x72;
inline constexpr WORD VK_F5 = 0x74;
inline constexpr WORD VK_F12 = 0x7B;

class TAction : public TComponent {
 public:
  explicit TAction(TComponent* owner);
  ~TAction() override;

  const AnsiString& Caption() const { return FCaption; }
  void SetCaption(const AnsiString& caption) { FCaption = caption; }
  const AnsiString& Hint() const { return FHint; }
  void SetHint(const AnsiString& hint) { FHint = hint; }
  TShortCut ShortCut() const { return FShortCut; }
  // The shortcut works anywhere in the widget given (the action's form).
  void SetShortCut(TShortCut shortCut, QWidget* scope);
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool enabled) { FEnabled = enabled; }
  bool Checked() const { return FChecked; }
  void SetChecked(bool checked) { FChecked = checked; }
  void SetAutoCheck(bool autoCheck) { FAutoCheck = autoCheck; }
  bool Visible() const { return FVisible; }
  void SetVisible(bool visible) { FVisible = visible; }
  int ImageIndex() const { return FImageIndex; }
  void SetImageIndex(int index) { FImageIndex = index; }
  void SetActionList(TActionList* list) { FActionList = list; }

  // Update rule first, then the check mark of a check command, then the command if enabled.
  // Returns whether it ran.
  bool Execute();
  TNotifyEvent OnExecute;

 private:
  AnsiString FCaption, FHint;
  TShortCut FShortCut = 0;
  bool FEnabled = true, FChecked = false, FAutoCheck = false, FVisible = true;
  int FImageIndex = -1;
  TActionList* FActionList = nullptr;
  QPointer<QShortcut> FShortcutObject;
};

class TActionList : public TComponent {
 public:
  explicit TActionList(TComponent* owner);
  ~TActionList() override;
  void Update();
  TNotifyEvent OnUpdate;

 private:
  QObject* FIdleHook = nullptr;
};

namespace vcl {
// The Qt key sequence of a framework shortcut code (0: none).
int ToQtKey(TShortCut shortCut);
}  // namespace vcl
