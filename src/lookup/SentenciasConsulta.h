#pragma once
// The statements of the lookups: what the request object sends for a table, a
// stored query or a ready statement, and the narrowed statements of the list and
// tree windows' server search. Plain text work, no database and no widgets.

#include <QString>
#include <QStringList>

namespace kv::lookup {

inline constexpr int kTopPorDefecto = 1000;

// A Where longer than one character (trimmed) that does not begin with "(" is
// sent as " (" + Where + ") "; anything else as it came.
QString EnvolverWhere(const QString& where);

// Row limit from the "TopConsArt" value: its number when above 0, else 1000.
int LimiteFilas(const QString& valorTopConsArt);

// A ready statement: V_MA_ARTICULOS read through VT_MA_ARTICULOS, and a
// non-blank Where appended (with " WHERE " in front when it has none).
QString SentenciaPreparada(const QString& sentencia, const QString& where);

// A stored query definition turned into its statement. `campoBusqueda` is
// filled with the first column when empty; `campoDevuelto`, when the column list
// lacks it, is added at the end so the pick can return it. False (and no
// statement) when the columns give no search column.
struct DefinicionConsulta {
    QString titulo;
    QString nombre;
    QString columnas;   // "|" separated
    QString condicion;  // without WHERE
};
bool SentenciaDesdeDefinicion(const DefinicionConsulta& definicion, const QString& where, int limite,
                              const QString& campoDevuelto, QString& campoBusqueda, QString& sentencia);

// The column list of a table from its fields in order (reverse order, as the
// lookup shows them) and the search column it chooses. " * " when nothing is taken.
struct ColumnasTabla {
    QString columnas;
    QString campoBusqueda;
};
ColumnasTabla ColumnasDeCampos(const QString& tabla, const QStringList& campos);

// Statement of the table-columns path.
QString SentenciaDesdeColumnas(const QString& tabla, const QString& columnas, const QString& where,
                               int limite, const QString& campoBusqueda);

// Statement that reads the fields of a table.
QString SentenciaCamposTabla(const QString& tabla);

// The typed text as it goes inside the LIKE pattern: apostrophes doubled, with
// `blancosComoComodin` every blank turned into "%", otherwise every "*" into
// "%". Typed "%", "_" and "[" stay wildcards.
QString PatronBusqueda(const QString& texto, bool blancosComoComodin);

// The list window's server search: the statement narrowed by a LIKE on
// `columna`, inserted before its GROUP BY / ORDER BY tail.
QString SentenciaBusquedaLista(const QString& sentencia, const QString& columna, const QString& texto,
                               bool usaLike);

// The tree window's server search on Descripcion, before the ORDER BY tail.
QString SentenciaBusquedaArbol(const QString& sentencia, const QString& texto);

// The condition of the tree's search.
QString CondicionBusquedaArbol(const QString& texto);

// The family tree: each family with its parent code (the greatest shorter code
// below it). `filtro`, when given, is a condition added to the outer query.
QString SentenciaArbolFamilias(const QString& filtro = QString());

// The table a statement reads: the text between "from" and the next blank.
QString TablaDeSentencia(const QString& sentencia);

// The record of a missing-stock report.
QString SentenciaFaltante(const QString& fechaHora, const QString& idArticulo, const QString& descripcion,
                          const QString& usuario);

}  // namespace kv::lookup
