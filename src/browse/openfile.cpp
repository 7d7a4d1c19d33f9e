// Placeholder until the command is written.
#include "app/mainwindow.h"

void TfrmMain::openfileExecute() {}
