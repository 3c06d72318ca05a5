// Reading and writing "lumaplug.ini" in the MakerFolder. Holding Shift while
// it is read means defaults: nothing is taken from the file.
#pragma once

#include <windows.h>

void ReadConfigFile();
void WriteConfigFile();
