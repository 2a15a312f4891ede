#pragma once
// The desktop launcher of the program: a freedesktop ".desktop" file on the
// user's desktop that starts the program without arguments, so it opens on the
// sign-in window, with the program's own icon.

#include <QString>

namespace kv::access {

// Name of the launcher as the suite has always called it.
inline constexpr const char* kNombreAccesoDirecto = "Reloj Faenas";
// The program's icon, installed next to the program.
inline constexpr const char* kArchivoIcono = "kv_estv.png";

// The user's desktop folder (XDG_DESKTOP_DIR, else ~/Desktop), ending in "/".
QString CarpetaEscritorio();

// The program the launcher starts: this process's executable unless set.
QString ProgramaDelLanzador();
// Another program for the launcher (tests); empty puts the default back.
void EstablecerProgramaDelLanzador(const QString& programa);

// One argument of an Exec line, quoted and escaped as launchers require.
QString ArgumentoExec(const QString& argumento);
// A value of the desktop-entry file (backslashes and line breaks escaped).
QString ValorEntrada(const QString& valor);

// The whole launcher file for a program and its icon.
QString ContenidoLanzador(const QString& programa, const QString& icono);

// Writes the launcher onto the desktop (replacing one that is there) and
// returns its path. Throws KvExcepcion when it cannot be written.
QString CrearLanzador();

}  // namespace kv::access
