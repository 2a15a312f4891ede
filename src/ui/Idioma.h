#pragma once
// Spanish everywhere: Qt's own dialogs and buttons (print, file, message
// boxes, the date picker) from Qt's translations, and Spanish marks for
// numbers and dates when the process runs under the C or POSIX locale.

class QCoreApplication;

namespace kv::ui {

// Sets the default locale (Spanish when none is set) and loads Qt's Spanish
// translations into the application. True when the translations were loaded.
bool PrepararIdioma(QCoreApplication& aplicacion);

}  // namespace kv::ui
