#pragma once
// What the parts of the embedded session share among themselves and nobody else uses.

#include <sqlite3.h>

#include <QString>
#include <memory>
#include <optional>
#include <vector>

#include "localserver/BaseSqlite.h"
#include "localserver/ErrorServidor.h"
#include "localserver/tsql/Plan.h"

namespace kv::local::sesion {

using SentenciaPreparada = std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)>;

// "SELECT * FROM <object>" prepared and never stepped: its columns say what the
// object shows and where each one comes from. Null when it does not prepare.
SentenciaPreparada PrepararLecturaColumnas(BaseSqlite& b, const QString& objeto);
// DML through a view over one table: INSTEAD OF triggers that do it on the table.
void PrepararDmlDeVista(BaseSqlite& b, const Sentencia& s);
// SQLite's refusal of DML on a view without triggers, as SQL Server words it.
std::optional<ErrorServidor> VistaNoActualizable(BaseSqlite& b);
// Keeps the types the translator gave a view's columns.
void GuardarTiposDeVista(BaseSqlite& b, const Sentencia& s);

// The authorizer SQLite calls while a user statement is prepared (datos is the session).
int Autorizar(void* datos, int accion, const char* a1, const char* a2, const char*, const char* disparador);
// 15247, the refusal of an administrative procedure.
ErrorServidor SinPermiso();

// The text of a procedure's argument, by name or else by position.
QString TextoArgumento(const std::vector<Argumento>& args, int posicion, const QString& nombre, bool* dado = nullptr);

}  // namespace kv::local::sesion
