#include "platform/vcl/ValEdit.h"

#include <QHeaderView>
#include <QTableWidget>

TValueListEditor::TValueListEditor(TComponent* owner) : TCustomDrawGrid(owner) {
  Table()->setColumnCount(2);
  Table()->horizontalHeader()->setVisible(true);
  Table()->horizontalHeader()->setStretchLastSection(true);
  FTitleCaptions.OnChange = [this] { ShowTitles(); };
  FTitleCaptions.Assign({"Key", "Value"});
}

void TValueListEditor::ShowTitles() {
  QStringList titles;
  for (const auto& t : FTitleCaptions.Items()) titles << vcl::ToQString(t);
  Table()->setHorizontalHeaderLabels(titles);
}

void TValueListEditor::SetKey(int row, const AnsiString& key) {
  FKeys.at(static_cast<size_t>(row)) = key;
  SetCell(0, row, key);
}

AnsiString TValueListEditor::Value(int row) const {
  return Cell(1, row);
}

int TValueListEditor::InsertRow(const AnsiString& key, const AnsiString& value) {
  int row = static_cast<int>(FKeys.size());
  FKeys.push_back(key);
  SetCell(0, row, key);
  SetCell(1, row, value);
  return row;
}
