// The root of the network object library.
#pragma once

#include <memory>

#include "platform/win32/wintypes.h"

namespace Orv {

enum TorvObjectKind : BYTE {
  okObject = 0,
  okComputer = 1,
  okLocalComputer = 2,
  okService = 13,
};

// Strings and arrays handed out by the operations are new[] allocations that the caller releases
// with delete[] (objects in an array with delete).
class TorvObject {
 public:
  explicit TorvObject(const WCHAR* name);
  virtual ~TorvObject();
  TorvObject(const TorvObject&) = delete;
  TorvObject& operator=(const TorvObject&) = delete;

  virtual void GetName(WCHAR*& name);
  virtual void GetDisplayName(WCHAR*& name);
  virtual BYTE GetKind();
  virtual void GetChildren(TorvObject**& objects, DWORD& count);
  virtual bool HasChildren();

 protected:
  std::unique_ptr<WCHAR[]> FName;  // may be null
  bool FHasChildren = false;
  // Used only by the library's other kinds.
  bool FFlag1 = false;
  bool FFlag2 = false;
};

// A new[] copy of a NUL-terminated text, or null for null.
WCHAR* CopyWideString(const WCHAR* text);

}  // namespace Orv
