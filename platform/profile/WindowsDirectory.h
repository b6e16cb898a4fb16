#pragma once

#include <QString>
#include <functional>

// The per-user folder that holds the settings files: "<config>/tavrin", where <config> is the
// generic config location (~/.config). The folder is not created here; the first profile write
// into it creates it.
//
// A directory longer than the buffer is still returned whole: cutting it would name another
// folder.
QString GetWindowsDirectoryA(int size = 500);

// Seam for tests: a lookup that replaces the config location. An empty function restores it.
void setWindowsDirectoryLookup(std::function<QString()> lookup);
