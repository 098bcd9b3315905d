// The pictures of the main window's image lists, drawn at start (their look is ours to choose;
// their numbers are fixed by the windows that use them).
#pragma once

#include "platform/vcl/ImgList.h"

void FillGlobalImages(TImageList* list);
void FillTrayImages(TImageList* list);
