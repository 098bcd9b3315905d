// Grids of text cells.
#pragma once

#include "platform/vcl/Controls.h"

class QTableWidget;

class TCustomDrawGrid : public TWinControl {
 public:
  explicit TCustomDrawGrid(TComponent* owner);
  QTableWidget* Table() const;
  int ColCount() const;
  int RowCount() const;
  void SetColCount(int count);
  void SetRowCount(int count);
  AnsiString Cell(int col, int row) const;
  void SetCell(int col, int row, const AnsiString& text);
};

class TStringGrid : public TCustomDrawGrid {
 public:
  using TCustomDrawGrid::TCustomDrawGrid;
};
