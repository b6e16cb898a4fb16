#pragma once

#include <QString>
#include <functional>

// The per-user folder that holds the settings files: "<config>/tavrin", where <config> is the
// generic config location (~/.config). The folder is not created here; the first profile write
// into it creates it.
class SettingsFolder {
public:
    static QString path();

    // Seam for tests: a lookup that replaces the config location. An empty function restores it.
    static void setLookup(std::function<QString()> lookup);
};
