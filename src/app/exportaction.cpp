// Placeholder until the export is written.
#include "app/mainwindow.h"

void TfrmMain::exportExecute() {}
void TfrmMain::ExportToExcel(const QString&) {}
