#pragma once
// Reading the suite's INI files with the rules of Windows profile files: section
// and key compared without regard to case, the first section of a name and the
// first key in it win, the value is the rest of the line after the first "="
// without surrounding blanks (no inline comments), and the default comes back
// when the file, the section or the key is missing.

#include <QString>
#include <QStringList>

namespace kv::UtilIni {

// Environment variable naming the folder (or the very file) of the suite's INI.
inline constexpr char kVariableIni[] = "KVESTV_INI";

// `archivo` is a file name ("CN000pr.INI", any letter case) looked up in
// KVESTV_INI, then the application folder, then the program's folder under the
// user's XDG configuration directory; a name with a folder is read from there.
QString LeerIni(const QString& archivo, const QString& seccion, const QString& clave,
                const QString& defecto = QString());

// The same rules on a file given by its path.
QString LeerIniDeArchivo(const QString& ruta, const QString& seccion, const QString& clave,
                         const QString& defecto = QString());

// The folders searched for a bare file name, in order.
QStringList CarpetasDeBusqueda();
// The path of the INI file that LeerIni reads for `archivo`, or empty when none exists.
QString BuscarArchivo(const QString& archivo);

}  // namespace kv::UtilIni
