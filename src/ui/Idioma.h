#pragma once
// Spanish everywhere: Qt's own dialogs and buttons (print, file, message
// boxes, the date picker) from Qt's translations, and Spanish marks for
// numbers and dates when the process runs under the C or POSIX locale.

class QCoreApplication;

namespace kv::ui {

// Puts the C library in the locale the environment names (LC_ALL, LC_*, LANG), as
// every program does at start-up, before the application object exists. When that
// locale is not generated on the machine, the C library would stay in "C", whose
// character set is ASCII: X then takes the window titles' UTF-8 bytes as Latin-1
// and the drivers misconvert accents. In that case it falls back to C.UTF-8 and
// returns false; numbers and dates still take the marks the name asks for, which
// QLocale reads from the environment by itself.
bool PrepararLocaleC();

// Sets the default locale (Spanish when none is set) and loads Qt's Spanish
// translations into the application. True when the translations were loaded.
bool PrepararIdioma(QCoreApplication& aplicacion);

}  // namespace kv::ui
