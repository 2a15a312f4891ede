#pragma once
// Reading a small application file whole, with bounds: only a regular file
// (never a device, a FIFO or a socket, even behind a link) and never more than
// a size no real file of the program reaches. A hostile or broken file gives a
// Spanish message instead of filling the memory or waiting for ever.

#include <QByteArray>
#include <QString>

namespace kv::util {

// No file the program reads this way (INI, connection list, lookup files) comes
// near it.
inline constexpr qint64 kTamanoMaximoArchivo = 4 * 1024 * 1024;

struct LecturaAcotada {
    bool existe = false;  // something is there under that name
    bool leido = false;   // and it was read whole
    QByteArray datos;
    QString error;        // why it was not read, in Spanish; empty when it was or nothing is there
};

LecturaAcotada LeerArchivoAcotado(const QString& ruta, qint64 maximo = kTamanoMaximoArchivo);

// Tells the user, once per file and process, why a file was not read and what
// the program does instead (`consecuencia`, appended to the message).
void AvisarArchivoIlegible(const LecturaAcotada& lectura, const QString& ruta, const QString& consecuencia);

}  // namespace kv::util
