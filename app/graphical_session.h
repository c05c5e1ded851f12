#pragma once
// Whether the station can open a window here, checked before the application object exists, so
// a missing display ends with one clear line and exit code 1 instead of Qt's abort and core dump.

#include <QProcessEnvironment>
#include <QString>

namespace graphicalsession {

// Empty when the Qt platform (the -platform value, else QT_QPA_PLATFORM, else xcb) has what it
// needs in `environment`; otherwise one line saying what is missing.
QString missing(const QString& platform, const QProcessEnvironment& environment);

// Until endStartUpGuard(), Qt's warnings are held back and a fatal platform failure (a display
// that does not answer) prints one line and exits with code 1.
void beginStartUpGuard();
// Restores the message handler and lets the held-back warnings through.
void endStartUpGuard();

} // namespace graphicalsession
