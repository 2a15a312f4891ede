#pragma once
// Tables of the embedded server: the SQLite shape made from the SQL Server
// declaration, the catalog of declared types that the column schema and the
// result columns answer from, and the table rebuild that stands in for the
// ALTER TABLE forms SQLite lacks.

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "localserver/BaseSqlite.h"
#include "localserver/tsql/Traduccion.h"

namespace kv::local {

struct DefinicionTabla {
    QString nombre;
    std::vector<ColumnaDeclarada> columnas;
    QStringList clavePrimaria;
    QString nombreClave;
};

// Prefix of the server's own tables, hidden from the schema rowsets.
inline constexpr const char* PrefijoSistema = "kv_sys_";
// Triggers that carry DML through a view to its table.
inline constexpr const char* PrefijoDisparadorVista = "kv_sys_trg_vista_";
bool EsTablaDelSistema(const QString& nombre);

// Creates the catalog tables of a database when missing.
void AsegurarCatalogoBase(BaseSqlite& base);

// The SQLite statements that make the table (table, then its triggers).
// Throws ErrorServidor 2715 for a type the server does not know.
QString SqlCrearTabla(const DefinicionTabla& def, const QString& nombreFisico);
QStringList SqlDisparadores(const DefinicionTabla& def);

std::optional<DefinicionTabla> LeerDefinicion(BaseSqlite& base, const QString& tabla);
// Name of an existing table or view, as created (any letter case), or nothing.
std::optional<QString> NombreObjeto(BaseSqlite& base, const QString& nombre);

void CrearTabla(BaseSqlite& base, const DefinicionTabla& def);
void AgregarRestricciones(BaseSqlite& base, const QString& tabla, const QStringList& clavePrimaria,
                          const QString& nombreClave, const std::vector<DefectoAgregado>& defectos);
// ALTER TABLE ... ADD of one or more columns: all of them, or none when one fails.
void AgregarColumnas(BaseSqlite& base, const QString& tabla, const std::vector<ColumnaDeclarada>& columnas);
// ALTER TABLE ... DROP COLUMN: refused while a default, the primary key or an index
// depends on the column, or when it is the table's only column.
void QuitarColumna(BaseSqlite& base, const QString& tabla, const QString& columna);
// sp_rename in this database: a table or a procedure ("tabla", tipo OBJECT or
// none), a column ("tabla.columna", COLUMN) or an index ("tabla.indice", INDEX).
// The indexes, triggers and views that name a renamed table or column follow it.
void Renombrar(BaseSqlite& base, const QString& objeto, const QString& nuevo, const QString& tipo);
// Tables of the session, not of the database: temporary tables (#t) and table
// variables. They live in the handle's TEMP schema, which no other connection
// sees and which goes with the handle; the handle keeps their declared columns.
bool EsTablaDeSesion(const QString& nombre);
// Creates one (2714 when the session already has a table of that name); any user may.
void CrearTablaDeSesion(BaseSqlite& base, const DefinicionTabla& def);

// Forgets catalog rows of tables that no longer exist (after DROP TABLE).
void DepurarCatalogo(BaseSqlite& base);

// ADO type code, defined size, precision and scale of a declared column.
int TipoADO(const QString& tipo);
int TamanoADO(const ColumnaDeclarada& c);
int PrecisionADO(const ColumnaDeclarada& c);

}  // namespace kv::local
