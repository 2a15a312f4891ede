#pragma once
// BASES.TXT, the workstation's list of registered connections. Other programs
// of the suite read and write it too, so it stays in their format: one record
// per line, five comma-separated fields, the 8-bit Windows code page (1252) and
// the line ends the file already has. Every read and write of the file goes
// through here.

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace kv::access {

inline constexpr const char* kArchivoBases = "BASES.TXT";

// One record. `clave` is kept as stored (coded with UtilGeneral::Codificar).
struct ConexionRegistrada {
    QString nombre;    // "BASE / SERVIDOR"
    QString base;      // database name
    QString usuario;   // user
    QString clave;     // password, coded
    QString servidor;  // server, with any ":port"
    int linea = 0;     // line of the file it was read from (from 1); 0 when not read
};

struct LecturaBases {
    bool existe = false;                   // the file was there and could be read
    QList<ConexionRegistrada> conexiones;  // in file order
    QList<int> lineasOmitidas;             // malformed lines, numbered from 1
};

// The file in the application folder.
QString RutaBases();

// Reads every record; blank lines are passed over and malformed lines are
// listed, never fatal.
LecturaBases LeerBases(const QString& ruta);

// The fields of one line, read like the old runtime's comma-delimited input:
// blanks around a field are dropped; a field in double quotes may hold commas,
// and a doubled quote inside it stands for one quote. nullopt when the line is
// not exactly five fields (an unclosed quote, text after a closing quote).
std::optional<QStringList> CamposDeLinea(const QString& linea);

// One field as written: trimmed, and in double quotes (with its quotes doubled)
// when it holds a comma or a quote, so that it reads back the same. Line breaks
// would split the record and become blanks.
QString CampoEscrito(const QString& valor);
// The record's line as written, without its line end.
QString LineaDeConexion(const ConexionRegistrada& conexion);

// Appends one record; creates the file (owner-only) when missing. A last line
// without its line end gets one first, so the new record never joins it.
// Throws KvExcepcion when the file cannot be written.
void AgregarConexion(const QString& ruta, const ConexionRegistrada& conexion);

// Replaces the records named like those given (exact name) and appends them;
// every other line, malformed ones included, is written back byte for byte.
// Throws KvExcepcion when the file cannot be written.
void ReemplazarConexiones(const QString& ruta, const QList<ConexionRegistrada>& conexiones);

// The message for lines that were passed over.
QString MensajeLineasOmitidas(const QString& ruta, const QList<int>& lineas);

// Text <-> the 8-bit Windows code page. Every byte has its own character, so a
// line read and written back keeps its bytes; a character the code page lacks
// is written as "?".
QString DesdePaginaCodigos(const QByteArray& bytes);
QByteArray APaginaCodigos(const QString& texto);

}  // namespace kv::access
