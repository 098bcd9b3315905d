#include "platform/vcl/Controls.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QEvent>
#include <QMenu>
#include <QPalette>

#include "platform/vcl/Menus.h"

namespace vcl {

EventHook::EventHook(QObject* target, Handler handler)
    : QObject(target), FHandler(std::move(handler)) {
  target->installEventFilter(this);
}

bool EventHook::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parent() && FHandler) return FHandler(event);
  return false;
}

QColor ToQColor(TColor color) {
  if (color & 0x80000000u) {
    // System colours: the nearest role of the application palette.
    switch (color) {
      case clWindow:
        return QApplication::palette().color(QPalette::Base);
      case clInfoBk:
        return QApplication::palette().color(QPalette::ToolTipBase);
      default:
        return QApplication::palette().color(QPalette::Window);
    }
  }
  return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

}  // namespace vcl

TControl::TControl(TComponent* owner, QWidget* widget) : TComponent(owner), FWidget(widget) {}

TControl::~TControl() {
  if (FParent && !FParent->Destroying()) FParent->RemoveControl(this);
  delete FWidget.data();  // already gone when its parent widget went first
}

void TControl::SetName(const AnsiString& name) {
  TComponent::SetName(name);
  if (FWidget) FWidget->setObjectName(vcl::ToQString(name));
}

void TControl::SetParent(TWinControl* parent) {
  if (parent == FParent) return;
  if (FParent) FParent->RemoveControl(this);
  FParent = parent;
  if (FParent) FParent->InsertControl(this);
}

void TControl::SetCaption(const AnsiString& caption) {
  FCaption = caption;
  ApplyCaption();
}

void TControl::ApplyCaption() {
  if (FWidget) FWidget->setAccessibleName(vcl::ToQString(FCaption));
}

void TControl::SetHint(const AnsiString& hint) {
  FHint = hint;
  if (!FWidget) return;
  FWidget->setToolTip(FShowHint ? vcl::ToQString(hint) : QString());
  FWidget->setAccessibleDescription(vcl::ToQString(hint));
}

void TControl::SetShowHint(bool show) {
  FShowHint = show;
  SetHint(FHint);
}

int TControl::Left() const {
  return FWidget ? FWidget->x() : 0;
}
int TControl::Top() const {
  return FWidget ? FWidget->y() : 0;
}
int TControl::Width() const {
  return FWidget ? FWidget->width() : 0;
}
int TControl::Height() const {
  return FWidget ? FWidget->height() : 0;
}
int TControl::ClientWidth() const {
  return Width();
}
int TControl::ClientHeight() const {
  return Height();
}

void TControl::SetBounds(int left, int top, int width, int height) {
  if (!FWidget) return;
  FWidget->setGeometry(left, top, std::max(0, width), std::max(0, height));
  if (FParent && FAlign != alNone) FParent->AlignControls();
}

void TControl::SetVisible(bool visible) {
  FVisible = visible;
  if (FWidget) FWidget->setVisible(visible);
  if (FParent) FParent->AlignControls();
}

void TControl::SetEnabled(bool enabled) {
  FEnabled = enabled;
  if (FWidget) FWidget->setEnabled(enabled);
}

void TControl::SetAlign(TAlign align) {
  FAlign = align;
  if (FParent) FParent->AlignControls();
}

void TControl::SetColor(TColor color) {
  FColor = color;
  if (!FWidget) return;
  QPalette p = FWidget->palette();
  p.setColor(QPalette::Window, vcl::ToQColor(color));
  p.setColor(QPalette::Base, vcl::ToQColor(color));
  FWidget->setPalette(p);
  FWidget->setAutoFillBackground(true);
}

void TControl::SetCursor(TCursor cursor) {
  if (!FWidget) return;
  FWidget->setCursor(cursor == crHandPoint   ? Qt::PointingHandCursor
                     : cursor == crHourGlass ? Qt::WaitCursor
                                             : Qt::ArrowCursor);
}

void TControl::SetPopupMenu(TPopupMenu* menu) {
  FPopupMenu = menu;
  if (!FWidget) return;
  FWidget->setContextMenuPolicy(menu ? Qt::CustomContextMenu : Qt::DefaultContextMenu);
  QObject::disconnect(FWidget, &QWidget::customContextMenuRequested, nullptr, nullptr);
  if (menu) {
    QObject::connect(FWidget, &QWidget::customContextMenuRequested, FWidget,
                     [this](const QPoint& at) {
                       if (FPopupMenu) FPopupMenu->Popup(FWidget->mapToGlobal(at));
                     });
  }
}

void TControl::Repaint() {
  if (FWidget) FWidget->repaint();
}

TWinControl::TWinControl(TComponent* owner, QWidget* widget) : TControl(owner, widget) {
  if (widget) {
    FResizeHook = new vcl::EventHook(widget, [this](QEvent* e) {
      if (e->type() == QEvent::Resize) AlignControls();
      return false;
    });
  }
}

TWinControl::~TWinControl() {
  for (TControl* c : FControls) c->FParent = nullptr;
}

void TWinControl::InsertControl(TControl* control) {
  FControls.push_back(control);
  if (QWidget* w = control->Widget()) {
    w->setParent(ClientWidget());
    w->setVisible(control->Visible());
  }
  AlignControls();
}

void TWinControl::RemoveControl(TControl* control) {
  FControls.erase(std::remove(FControls.begin(), FControls.end(), control), FControls.end());
  AlignControls();
}

void TWinControl::AlignControls() {
  QWidget* client = ClientWidget();
  if (!client) return;
  QRect r = client->contentsRect();
  for (TAlign pass : {alTop, alBottom, alLeft, alRight, alClient}) {
    for (TControl* c : FControls) {
      QWidget* w = c->Widget();
      if (!w || c->Align() != pass || !c->Visible()) continue;
      switch (pass) {
        case alTop: {
          int h = w->height();
          w->setGeometry(r.left(), r.top(), r.width(), h);
          r.setTop(r.top() + h);
          break;
        }
        case alBottom: {
          int h = w->height();
          w->setGeometry(r.left(), r.bottom() + 1 - h, r.width(), h);
          r.setBottom(r.bottom() - h);
          break;
        }
        case alLeft: {
          int wd = w->width();
          w->setGeometry(r.left(), r.top(), wd, r.height());
          r.setLeft(r.left() + wd);
          break;
        }
        case alRight: {
          int wd = w->width();
          w->setGeometry(r.right() + 1 - wd, r.top(), wd, r.height());
          r.setRight(r.right() - wd);
          break;
        }
        case alClient:
          w->setGeometry(r);
          break;
        default:
          break;
      }
    }
  }
}

bool TWinControl::Focused() const {
  return Widget() && Widget()->hasFocus();
}
void TWinControl::SetFocus() {
  if (Widget()) Widget()->setFocus();
}
