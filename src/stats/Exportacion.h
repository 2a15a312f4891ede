#pragma once
// The grid as text: the grid's columns (with a name column right of each named
// level's code column), the captions and cell texts it shows, and the
// tab-separated export file (every cell followed by a tab, one line per grid
// row) in the suite's 8-bit code page, Windows-1252.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <array>
#include <vector>

#include "db/Proveedor.h"
#include "stats/Catalogo.h"

namespace kv::db {
class Recordset;
}

namespace kv::stats {

class NombresGrupos;

// Text a grid cell holds for a value of the given ADO type, plain: "." as
// decimal mark, no grouping, exact to the money's four decimals.
QString TextoCeldaGrilla(const QVariant& valor, int tipoADO);

// The grid's own copy of the grid recordset's columns and rows.
struct TablaGrilla {
    std::vector<kv::db::ColumnaResultado> columnas;
    std::vector<std::vector<QVariant>> filas;
    std::vector<bool> nombres;  // per column: a column of names added beside its codes
    int decimales = 2;

    int Columna(const QString& nombre) const;  // letter case ignored; -1 when absent
    bool EsNumerica(int columna) const;
};

// The grid of a grid recordset: the columns BASE, one per level and the totals;
// with `nombres`, a name column right of each level bound to a catalog field.
TablaGrilla TablaDeGrilla(const kv::db::Recordset& registros, const std::array<QString, kNiveles>& titulos,
                          const NombresGrupos* nombres, int decimales);
TablaGrilla TablaDeGrilla(std::vector<kv::db::ColumnaResultado> columnas,
                          std::vector<std::vector<QVariant>> filas,
                          const std::array<QString, kNiveles>& titulos, const NombresGrupos* nombres,
                          int decimales);

// Caption a grid column shows: "Empresa" for BASE, the totals' captions
// ("Consumo", "Valor Costo", ..., "Utilidad $"), any other column by its name.
QString TituloColumnaGrilla(const QString& nombre);
// Text a grid cell shows: numbers in the locale's marks with the configured
// decimals, percentages with " %".
QString TextoVisibleCelda(const TablaGrilla& tabla, int fila, int columna);

// The grid's rows as it shows them: the captions first, then each row's texts.
std::vector<QStringList> FilasVisibles(const TablaGrilla& tabla);

// The grid's rows as they come from the recordset: the column names first.
std::vector<QStringList> FilasGrilla(const kv::db::Recordset& registros);

// One export line: each cell trimmed (one blank when empty) and followed by a tab.
QString LineaExportacion(const QStringList& celdas);

// The file name the export writes to: cut before the first "." and ".xls" appended.
QString NombreArchivoExportacion(const QString& nombre);

// Windows-1252 bytes of a text; a character outside the code page becomes "?".
QByteArray CodificarWindows1252(const QString& texto);
QString DecodificarWindows1252(const QByteArray& bytes);

// Writes the lines (Windows-1252, CR LF). Returns false when the file cannot be written.
bool GrabarGrillaTexto(const QString& archivo, const std::vector<QStringList>& filas);

}  // namespace kv::stats
