#pragma once
// The application folder and the program's own names and places.

#include <QString>

namespace kv::UtilRutas {

// Name of the program's folder under the user's XDG directories.
inline constexpr char kCarpetaPrograma[] = "kv_estv";

// The application folder kept for the process: the one set with EstablecerCarpeta,
// else CarpetaPorDefecto(). Always ends in "/".
QString Carpeta();
void Carpeta(const QString& carpeta);            // same as EstablecerCarpeta
void EstablecerCarpeta(const QString& carpeta);  // an empty folder goes back to the default

// KVESTV_CARPETA when it names a folder, else the executable's folder; ends in "/".
QString CarpetaPorDefecto();
// The executable's folder, ends in "/".
QString CarpetaEjecutable();
// The executable's name without folder or extension ("kv_estv").
QString NombreEjecutable();
// The program's folder under the user's XDG configuration directory; ends in "/".
QString CarpetaConfiguracion();

}  // namespace kv::UtilRutas
