#include "platform/vcl/Classes.h"

#include <algorithm>

TComponent::TComponent(TComponent* owner) : FOwner(owner) {
  if (FOwner) FOwner->Insert(this);
}

TComponent::~TComponent() {
  FDestroying = true;
  DestroyComponents();
  if (FOwner) FOwner->Remove(this);
}

void TComponent::DestroyComponents() {
  // Newest first, each leaving the list as it goes.
  while (!FComponents.empty()) Free(FComponents.back());
}

void TComponent::Remove(TComponent* c) {
  FComponents.erase(std::remove(FComponents.begin(), FComponents.end(), c), FComponents.end());
}

TComponent* TComponent::FindComponent(const AnsiString& name) const {
  for (TComponent* c : FComponents)
    if (c->Name() == name) return c;
  return nullptr;
}

void Free(TComponent* component) {
  if (!component) return;
  component->BeforeDestruction();
  delete component;
}
