#pragma once

#include <QIcon>

// The program's own icon, a small gauge, for the main window and the curve windows.
QIcon ProgramIcon();
