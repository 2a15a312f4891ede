#pragma once
// The grid as text: cell texts of the grid recordset and the tab-separated
// export file (every cell followed by a tab, one line per grid row).

#include <QString>
#include <QStringList>
#include <QVariant>
#include <vector>

namespace kv::db {
class Recordset;
}

namespace kv::stats {

// Text a grid cell shows for a value of the given ADO type.
QString TextoCeldaGrilla(const QVariant& valor, int tipoADO);

// The grid's rows: the column names first, then one row per record.
std::vector<QStringList> FilasGrilla(const kv::db::Recordset& registros);

// One export line: each cell trimmed (one blank when empty) and followed by a tab.
QString LineaExportacion(const QStringList& celdas);

// The file name the export writes to: cut before the first "." and ".xls" appended.
QString NombreArchivoExportacion(const QString& nombre);

// Writes the lines (UTF-8, CR LF). Returns false when the file cannot be written.
bool GrabarGrillaTexto(const QString& archivo, const std::vector<QStringList>& filas);

}  // namespace kv::stats
