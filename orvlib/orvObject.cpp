#include "orvlib/orvObject.h"

#include <algorithm>

#include "platform/win32/strings.h"

namespace Orv {

WCHAR* CopyWideString(const WCHAR* text) {
  if (!text) return nullptr;
  const int n = lstrlenW(text);
  auto* copy = new WCHAR[static_cast<size_t>(n) + 1];
  std::copy(text, text + n + 1, copy);
  return copy;
}

TorvObject::TorvObject(const WCHAR* name) : FName(CopyWideString(name)) {}

TorvObject::~TorvObject() = default;

void TorvObject::GetName(WCHAR*& name) {
  name = CopyWideString(FName.get());
}

void TorvObject::GetDisplayName(WCHAR*& name) {
  name = CopyWideString(FName ? FName.get() : u"");
}

BYTE TorvObject::GetKind() {
  return okObject;
}

void TorvObject::GetChildren(TorvObject**& objects, DWORD& count) {
  objects = nullptr;
  count = 0;
}

bool TorvObject::HasChildren() {
  return FHasChildren;
}

}  // namespace Orv
