// Components: named objects owned by another component, which destroys them with itself.
#pragma once

#include <vector>

#include "platform/vcl/System.h"

class TComponent : public TObject {
 public:
  explicit TComponent(TComponent* owner);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return FOwner; }
  const AnsiString& Name() const { return FName; }
  virtual void SetName(const AnsiString& name) { FName = name; }
  int Tag() const { return FTag; }
  void SetTag(int tag) { FTag = tag; }

  // The components this one owns, in the order they were created.
  int ComponentCount() const { return static_cast<int>(FComponents.size()); }
  TComponent* Components(int i) const { return FComponents.at(static_cast<size_t>(i)); }
  TComponent* FindComponent(const AnsiString& name) const;

  // True once the destructor began; owned components may ask before touching their owner.
  bool Destroying() const { return FDestroying; }
  // Runs before any destructor of the object does (forms report OnDestroy here). Free() and the
  // owner's clean-up call it; code that deletes a component itself calls Free().
  virtual void BeforeDestruction() {}

 protected:
  // Frees every owned component now (an owner whose own members must outlive them calls it).
  void DestroyComponents();
  // Called after the component and everything it creates exist (the end of loading).
  virtual void Loaded() {}
  friend class TComponentLoader;

 private:
  void Insert(TComponent* c) { FComponents.push_back(c); }
  void Remove(TComponent* c);

  TComponent* FOwner;
  AnsiString FName;
  int FTag = 0;
  bool FDestroying = false;
  std::vector<TComponent*> FComponents;
};

// Destroys a component the framework's way: BeforeDestruction, then the destructors.
void Free(TComponent* component);

// Runs a component's Loaded step; used by the form factory.
class TComponentLoader {
 public:
  static void Load(TComponent* c) { c->Loaded(); }
};
