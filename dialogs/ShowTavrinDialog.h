#pragma once

#include <QStringList>

class QObject;

// Lets the user choose a search in the options dialog, filled from `control`'s properties and
// from the recent values (each list oldest first). On Search the choices are written back
// through the control's setters, in a fixed order, and True is returned; on Cancel nothing is
// written and False is returned. A setter's error ends the call at that point. Never starts a
// search. The dialog is one per user-interface thread, hidden between calls.
bool ShowTavrinDialog(QObject *control, const QStringList &searchPathList,
                      const QStringList &fileExtList, const QStringList &searchForList);

class frmTavrinOptions;
// This thread's options dialog, created on first use.
frmTavrinOptions *tavrinOptionsDialog();
