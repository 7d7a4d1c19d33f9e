// Placeholder until the command is written.
#include "app/mainwindow.h"

void TfrmMain::ListView1DblClick() {}
void TfrmMain::ToolButton11Click() {}
