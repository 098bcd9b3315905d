#include "platform/vcl/ExtCtrls.h"

#include <QButtonGroup>
#include <QEvent>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

TCustomPanel::TCustomPanel(TComponent* owner) : TWinControl(owner, new QFrame) {
  auto* frame = static_cast<QFrame*>(Widget());
  frame->setFrameShape(QFrame::StyledPanel);
  FCaptionLabel = new QLabel(frame);
  FCaptionLabel->setAlignment(Qt::AlignCenter);
  FCaptionLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
  new vcl::EventHook(frame, [this, frame](QEvent* e) {
    if (e->type() == QEvent::Resize) FCaptionLabel->setGeometry(frame->rect());
    return false;
  });
}

void TCustomPanel::ApplyCaption() {
  TControl::ApplyCaption();
  FCaptionLabel->setText(vcl::ToQString(Caption()));
  FCaptionLabel->lower();
}

TCustomRadioGroup::TCustomRadioGroup(TComponent* owner)
    : TCustomGroupBox(owner), FButtons(new QButtonGroup(Widget())) {
  new QVBoxLayout(Widget());
  FItems.OnChange = [this] { Rebuild(); };
  QObject::connect(FButtons, &QButtonGroup::idClicked, Widget(), [this](int id) {
    FItemIndex = id;
    if (OnChange) OnChange(this);
    if (OnClick) OnClick(this);
  });
}

void TCustomRadioGroup::Rebuild() {
  for (QAbstractButton* b : FButtons->buttons()) {
    FButtons->removeButton(b);
    delete b;
  }
  for (int i = 0; i < FItems.Count(); ++i) {
    auto* b = new QRadioButton(vcl::ToQString(FItems[i]), Widget());
    Widget()->layout()->addWidget(b);
    FButtons->addButton(b, i);
    b->setChecked(i == FItemIndex);
  }
}

void TCustomRadioGroup::SetItemIndex(int index) {
  FItemIndex = index;
  if (QAbstractButton* b = FButtons->button(index)) b->setChecked(true);
}

TCustomLabeledEdit::TCustomLabeledEdit(TComponent* owner)
    : TCustomEdit(owner), FEditLabel(new TBoundLabel(this)) {
  FEditLabel->SetName("SubLabel");
  FEditLabel->Label()->setBuddy(Widget());
}

void TCustomLabeledEdit::SetParent(TWinControl* parent) {
  TCustomEdit::SetParent(parent);
  FEditLabel->SetParent(parent);
}

void TCustomLabeledEdit::SetBounds(int left, int top, int width, int height) {
  TCustomEdit::SetBounds(left, top, width, height);
  // The label stands above the edit.
  const int h = FEditLabel->Label()->sizeHint().height();
  FEditLabel->SetBounds(left, top - h - 3, width, h);
}

void TCustomLabeledEdit::SetVisible(bool visible) {
  TCustomEdit::SetVisible(visible);
  FEditLabel->SetVisible(visible);
}

TTimer::TTimer(TComponent* owner) : TComponent(owner), FTimer(new QTimer) {
  QObject::connect(FTimer, &QTimer::timeout, FTimer, [this] {
    if (OnTimer) OnTimer(this);
  });
  Update();
}

TTimer::~TTimer() {
  delete FTimer;
}

void TTimer::SetEnabled(bool enabled) {
  FEnabled = enabled;
  Update();
}

void TTimer::SetInterval(unsigned milliseconds) {
  FInterval = milliseconds;
  Update();
}

void TTimer::Update() {
  // The framework's timer runs only while enabled with a non-zero interval.
  if (FEnabled && FInterval > 0) {
    if (!FTimer->isActive() || FTimer->interval() != static_cast<int>(FInterval))
      FTimer->start(static_cast<int>(FInterval));
  } else {
    FTimer->stop();
  }
}
