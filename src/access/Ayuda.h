#pragma once
// What the program says about how to start it: its usage, its version, and
// what to pass when it has neither a connection nor a display to ask for one.

#include <QString>

namespace kv::access {

// The usage of every command-line form (viewer, --demo, --informe, ...).
QString TextoUso();
// "kv_estv <version>".
QString TextoVersion();
// Said on standard error when the program runs without a display and without
// a complete connection on its command line.
QString MensajeFaltaConexion();

}  // namespace kv::access
