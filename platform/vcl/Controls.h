// Visual controls over Qt widgets. A control owns its widget; a windowed control holds child
// controls and arranges those that are aligned to its edges.
#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>

#include "platform/vcl/Classes.h"

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
using TColor = std::uint32_t;  // 0x00BBGGRR
inline constexpr TColor clSkyBlue = 0x00F0CAA6;
inline constexpr TColor clWindow = 0x80000005;
inline constexpr TColor clBtnFace = 0x8000000F;
inline constexpr TColor clBlack = 0x00000000;
inline constexpr TColor clWhite = 0x00FFFFFF;
inline constexpr TColor clInfoBk = 0x80000018;

enum TCursor { crDefault = 0, crHandPoint = -21, crHourGlass = -11 };

class TWinControl;
class TPopupMenu;

class TControl : public TComponent {
 public:
  TControl(TComponent* owner, QWidget* widget);
  ~TControl() override;

  QWidget* Widget() const { return FWidget; }
  void SetName(const AnsiString& name) override;

  TWinControl* Parent() const { return FParent; }
  virtual void SetParent(TWinControl* parent);

  // Caption and Text are one property of the framework; each control shows it its own way.
  const AnsiString& Caption() const { return FCaption; }
  void SetCaption(const AnsiString& caption);
  const AnsiString& Text() const { return Caption(); }
  void SetText(const AnsiString& text) { SetCaption(text); }
  const AnsiString& Hint() const { return FHint; }
  void SetHint(const AnsiString& hint);
  bool ShowHint() const { return FShowHint; }
  void SetShowHint(bool show);

  int Left() const;
  int Top() const;
  int Width() const;
  int Height() const;
  void SetLeft(int v) { SetBounds(v, Top(), Width(), Height()); }
  void SetTop(int v) { SetBounds(Left(), v, Width(), Height()); }
  void SetWidth(int v) { SetBounds(Left(), Top(), v, Height()); }
  void SetHeight(int v) { SetBounds(Left(), Top(), Width(), v); }
  virtual void SetBounds(int left, int top, int width, int height);
  int ClientWidth() const;
  int ClientHeight() const;

  bool Visible() const { return FVisible; }
  virtual void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  bool Enabled() const { return FEnabled; }
  virtual void SetEnabled(bool enabled);
  TAlign Align() const { return FAlign; }
  void SetAlign(TAlign align);
  TColor Color() const { return FColor; }
  void SetColor(TColor color);
  void SetCursor(TCursor cursor);
  TPopupMenu* PopupMenu() const { return FPopupMenu; }
  void SetPopupMenu(TPopupMenu* menu);
  void Repaint();

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;

 protected:
  friend class TWinControl;
  // Shows the caption on the widget; the default makes it the accessible name only.
  virtual void ApplyCaption();
  // Text read back from the widget when the user can edit it.
  void CaptionFromWidget(const AnsiString& text) { FCaption = text; }

 private:
  QPointer<QWidget> FWidget;
  TWinControl* FParent = nullptr;
  AnsiString FCaption;
  AnsiString FHint;
  bool FShowHint = true;
  bool FVisible = true;
  bool FEnabled = true;
  TAlign FAlign = alNone;
  TColor FColor = clBtnFace;
  TPopupMenu* FPopupMenu = nullptr;
};

// A control that draws itself inside its parent (a label, a speed button, a tool button).
class TGraphicControl : public TControl {
 public:
  using TControl::TControl;
};

class TWinControl : public TControl {
 public:
  TWinControl(TComponent* owner, QWidget* widget);
  ~TWinControl() override;

  int ControlCount() const { return static_cast<int>(FControls.size()); }
  TControl* Controls(int i) const { return FControls.at(static_cast<size_t>(i)); }
  // Where child widgets go; a form or a page may put them into an inner widget.
  virtual QWidget* ClientWidget() const { return Widget(); }
  // Places the aligned children: top, bottom, left, right, then the one that fills the rest.
  void AlignControls();
  bool Focused() const;
  void SetFocus();

 protected:
  friend class TControl;
  virtual void InsertControl(TControl* control);
  virtual void RemoveControl(TControl* control);

 private:
  std::vector<TControl*> FControls;
  QObject* FResizeHook = nullptr;
};

namespace vcl {
// Calls a function on chosen events of a widget; removed with the widget or the hook.
class EventHook : public QObject {
 public:
  using Handler = std::function<bool(QEvent*)>;
  EventHook(QObject* target, Handler handler);
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  Handler FHandler;
};
QColor ToQColor(TColor color);
}  // namespace vcl
