#pragma once
// Server procedures of the embedded server: C++ functions registered by name
// and run by `EXEC name args` in the database of the calling connection. Like
// procedures stored in SQL Server they run with the server's own rights: the
// context hands out raw SQLite handles to any database of the server, whoever
// the caller is, so a procedure may read a company database and write the
// statistics store in one call.

#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <vector>

#include "db/Proveedor.h"
#include "localserver/ErrorServidor.h"
#include "localserver/tsql/Traduccion.h"

struct sqlite3;

namespace kv::local {

// What a running procedure sees of the server and of the call.
class ContextoProcedimiento {
public:
    virtual ~ContextoProcedimiento() = default;

    // Database of the calling connection (as the caller wrote it in USE or the
    // connection string) and the login that called.
    virtual QString BaseActual() const = 0;
    virtual QString Login() const = 0;

    // Whether the server has a database of that name (any letter case).
    virtual bool ExisteBase(const QString& nombre) const = 0;

    // A handle to a database of the server, opened in WAL mode with the busy
    // time-out, the KV collation and the T-SQL functions registered. The handle
    // belongs to the context: do not close it. For the caller's own database it
    // is the connection's handle, so work done here joins a transaction the
    // caller has open. The statement's time-out applies to every handle.
    // Throws ErrorServidor 4060 when the database does not exist.
    virtual sqlite3* Base(const QString& nombre) = 0;

    // Results handed back to the caller, in the order given: a row set, an
    // affected count, or an error that does not end the procedure. To end the
    // procedure with an error, throw ErrorServidor.
    virtual void DevolverFilas(const std::vector<kv::db::ColumnaResultado>& columnas,
                               std::vector<std::vector<QVariant>> filas) = 0;
    virtual void DevolverAfectadas(qint64 filas) = 0;
    virtual void DevolverError(const ErrorServidor& error) = 0;

    // True once the statement's time-out has passed; long loops should check it
    // and leave (the server then reports the time-out).
    virtual bool TiempoAgotado() const = 0;

    // For a procedure that makes the caller's database anew in a file of its own.
    // TomarArchivo holds the caller's database file for this connection alone (a
    // rollback journal and an exclusive lock, its log folded in) and returns its
    // path; it returns an empty text, with nothing changed, when another handle
    // has the file open, the connection is inside a transaction or keeps session
    // tables in that database. While taken, only VACUUM INTO may run on the handle.
    // ReemplazarArchivo then puts `archivo` (a complete database file, closed and
    // on disk) in the taken file's place, and the connection opens it at its next
    // use: the handle Base() gave for that database is gone. DevolverArchivo gives
    // the taken file back as it was. A server without files never takes one.
    virtual QString TomarArchivo() { return QString(); }
    virtual void ReemplazarArchivo(const QString& archivo) { (void)archivo; }
    virtual void DevolverArchivo() {}
};

using Procedimiento = std::function<void(ContextoProcedimiento& contexto, const std::vector<Argumento>& argumentos)>;

// Registers (or replaces) a procedure. Names are matched without regard to
// case and without a leading "dbo.". Thread-safe.
void RegistrarProcedimiento(const QString& nombre, Procedimiento funcion);
void QuitarProcedimiento(const QString& nombre);
// The registered procedure of that name, or an empty function.
Procedimiento BuscarProcedimiento(const QString& nombre);
QStringList ProcedimientosRegistrados();
// The name a procedure is known by (upper case, without brackets or "dbo."),
// as rights on it are kept and its errors name it.
QString NombreProcedimiento(const QString& nombre);

}  // namespace kv::local
