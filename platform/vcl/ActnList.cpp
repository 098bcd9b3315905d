#include "platform/vcl/ActnList.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QKeySequence>
#include <QShortcut>
#include <QWidget>

namespace vcl {

int ToQtKey(TShortCut shortCut) {
  const WORD vk = shortCut & 0x1FFF & 0xFF;
  if (!vk) return 0;
  int key = 0;
  if (vk >= 'A' && vk <= 'Z')
    key = Qt::Key_A + (vk - 'A');
  else if (vk >= '0' && vk <= '9')
    key = Qt::Key_0 + (vk - '0');
  else if (vk >= VK_F1 && vk <= VK_F12 + 12)
    key = Qt::Key_F1 + (vk - VK_F1);
  else if (vk == VK_TAB)
    key = Qt::Key_Tab;
  else if (vk == VK_RETURN)
    key = Qt::Key_Return;
  else if (vk == VK_ESCAPE)
    key = Qt::Key_Escape;
  else if (vk == VK_DELETE)
    key = Qt::Key_Delete;
  else if (vk == 0x20)
    key = Qt::Key_Space;
  else if (vk == 0x2D)
    key = Qt::Key_Insert;
  else if (vk == 0x24)
    key = Qt::Key_Home;
  else if (vk == 0x23)
    key = Qt::Key_End;
  else
    return 0;
  if (shortCut & scShift) key |= Qt::SHIFT;
  if (shortCut & scCtrl) key |= Qt::CTRL;
  if (shortCut & scAlt) key |= Qt::ALT;
  return key;
}

}  // namespace vcl

TAction::TAction(TComponent* owner) : TComponent(owner) {}

TAction::~TAction() {
  delete FShortcutObject.data();
}

void TAction::SetShortCut(TShortCut shortCut, QWidget* scope) {
  FShortCut = shortCut;
  delete FShortcutObject.data();
  const int key = vcl::ToQtKey(shortCut);
  if (!key || !scope) return;
  FShortcutObject = new QShortcut(QKeySequence(key), scope);
  FShortcutObject->setContext(Qt::WindowShortcut);
  QObject::connect(FShortcutObject, &QShortcut::activated, FShortcutObject, [this] { Execute(); });
}

bool TAction::Execute() {
  if (FActionList) FActionList->Update();
  if (!FEnabled) return false;
  if (FAutoCheck) FChecked = !FChecked;
  if (OnExecute) OnExecute(this);
  return true;
}

TActionList::TActionList(TComponent* owner) : TComponent(owner) {
  // The update rule runs whenever the application is idle, as the framework does.
  if (auto* dispatcher = QAbstractEventDispatcher::instance()) {
    FIdleHook = new QObject;
    QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, FIdleHook,
                     [this] { Update(); });
  }
}

TActionList::~TActionList() {
  delete FIdleHook;
}

void TActionList::Update() {
  if (OnUpdate) OnUpdate(this);
}
