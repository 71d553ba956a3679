#include "app/AppShell.h"

TShellExecute AppShellExecute = ShellExecuteA;
