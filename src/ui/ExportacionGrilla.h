#pragma once
// Export of a grid to a tab-separated ".xls" file that a spreadsheet opens: the
// file name asked with the file dialog, written, then opened with the program
// the desktop associates with it.

#include <QString>
#include <QStringList>
#include <vector>

class QAbstractItemModel;

namespace kv::stats {
struct Planilla;
}

namespace kv::ui {

class TablaDinamica;

inline constexpr const char* kFiltroPlanilla = "Planilla de cálculo|*.xlsx";
inline constexpr const char* kTituloPlanilla = "Guardar planilla";

inline constexpr const char* kFiltroExportacion = "Ingrese un nombre|*.xls";
inline constexpr const char* kTituloExportacion = "Buscar Archivos";
inline constexpr const char* kTituloAvisoExportacion = "Aviso al usuario";

// The rows of a grid as the export writes them: the captions first, then each
// row's cells as the grid shows them (a Spanish spreadsheet reads "1.234,50"
// as the number the grid shows).
std::vector<QStringList> FilasDeModelo(const QAbstractItemModel& modelo);

// The file the export writes for a chosen name: the name is cut before its
// first "." and ".xls" is appended; a dot in a folder name is not the name's.
QString ArchivoExportacion(const QString& elegido);

// Writes the grid; false when the file cannot be written.
bool GrabarGrillaTexto(const QString& archivo, const QAbstractItemModel& modelo);

// The whole export; returns the file written, empty when cancelled or failed
// (a failure is reported to the user).
QString ExportarGrilla(const QAbstractItemModel& modelo);

// The pivot as a spreadsheet: one column per row level and per data field,
// one row per deepest group (every level's label filled in), then the grand total.
kv::stats::Planilla PlanillaDeTabla(const TablaDinamica& tabla);

// The file a spreadsheet is written to: ".xlsx" appended unless the name ends with it.
QString ArchivoPlanilla(const QString& elegido);

// Asks the file name, writes the spreadsheet and opens it with the desktop's
// program; returns the file written, empty when cancelled or failed (a failure
// is reported to the user).
QString ExportarPlanilla(const kv::stats::Planilla& planilla);

}  // namespace kv::ui
