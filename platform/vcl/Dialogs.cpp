#include "platform/vcl/Dialogs.h"

#include <QFileDialog>

bool TOpenDialog::Execute() {
  return Run(false);
}
bool TSaveDialog::Execute() {
  return Run(true);
}

bool TOpenDialog::Run(bool save) {
  // The framework's filter pairs "description|pattern" become Qt's "description (pattern)".
  QStringList filters;
  QStringList parts = vcl::ToQString(FFilter).split('|');
  for (int i = 0; i + 1 < parts.size(); i += 2)
    filters << parts[i] + " (" + QString(parts[i + 1]).replace(';', ' ') + ")";
  QFileDialog dialog(nullptr, vcl::ToQString(FTitle), QString(), filters.join(";;"));
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  if (!FFileName.empty()) dialog.selectFile(vcl::ToQString(FFileName));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  FFileName = vcl::FromQString(dialog.selectedFiles().first());
  return true;
}
