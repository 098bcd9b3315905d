// A two-column editor of key/value rows with column titles.
#pragma once

#include "platform/vcl/Grids.h"

class TValueListEditor : public TCustomDrawGrid {
 public:
  explicit TValueListEditor(TComponent* owner);
  // The two column titles ("Key" and "Value" by default).
  TStrings& TitleCaptions() { return FTitleCaptions; }
  int RowCountOfValues() const { return static_cast<int>(FKeys.size()); }
  const AnsiString& Key(int row) const { return FKeys.at(static_cast<size_t>(row)); }
  void SetKey(int row, const AnsiString& key);
  AnsiString Value(int row) const;
  int InsertRow(const AnsiString& key, const AnsiString& value);

 private:
  void ShowTitles();
  TStrings FTitleCaptions;
  std::vector<AnsiString> FKeys;
};
