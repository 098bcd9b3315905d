// Lists of small images, addressed by index.
#pragma once

#include <QIcon>
#include <vector>

#include "platform/vcl/Classes.h"

class TImageList : public TComponent {
 public:
  using TComponent::TComponent;
  int Add(const QIcon& icon) {
    FImages.push_back(icon);
    return Count() - 1;
  }
  int Count() const { return static_cast<int>(FImages.size()); }
  // An index outside the list gives no image.
  QIcon Icon(int index) const {
    return index >= 0 && index < Count() ? FImages[static_cast<size_t>(index)] : QIcon();
  }

 private:
  std::vector<QIcon> FImages;
};
