#include "platform/vcl/Grids.h"

#include <QHeaderView>
#include <QTableWidget>

TCustomDrawGrid::TCustomDrawGrid(TComponent* owner) : TWinControl(owner, new QTableWidget) {
  Table()->horizontalHeader()->setVisible(false);
  Table()->verticalHeader()->setVisible(false);
}
QTableWidget* TCustomDrawGrid::Table() const {
  return static_cast<QTableWidget*>(Widget());
}
int TCustomDrawGrid::ColCount() const {
  return Table() ? Table()->columnCount() : 0;
}
int TCustomDrawGrid::RowCount() const {
  return Table() ? Table()->rowCount() : 0;
}
void TCustomDrawGrid::SetColCount(int count) {
  if (Table()) Table()->setColumnCount(count);
}
void TCustomDrawGrid::SetRowCount(int count) {
  if (Table()) Table()->setRowCount(count);
}
AnsiString TCustomDrawGrid::Cell(int col, int row) const {
  QTableWidgetItem* item = Table() ? Table()->item(row, col) : nullptr;
  return item ? vcl::FromQString(item->text()) : AnsiString();
}
void TCustomDrawGrid::SetCell(int col, int row, const AnsiString& text) {
  if (!Table()) return;
  if (row >= Table()->rowCount()) Table()->setRowCount(row + 1);
  if (col >= Table()->columnCount()) Table()->setColumnCount(col + 1);
  Table()->setItem(row, col, new QTableWidgetItem(vcl::ToQString(text)));
}
