// Placeholder until the command is written.
#include "app/mainwindow.h"

void TfrmMain::LoadViewPage(domino::TNotesDatabase&, const QString&) {}
void TfrmMain::ToolButton7Click() {}
void TfrmMain::ToolButton8Click() {}
void TfrmMain::ToolButton9Click() {}
void TfrmMain::ToolButton10Click() {}
