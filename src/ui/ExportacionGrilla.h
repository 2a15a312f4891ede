#pragma once
// Export of a grid to a tab-separated ".xls" file that a spreadsheet opens: the
// file name asked with the file dialog, written, then opened with the program
// the desktop associates with it.

#include <QString>
#include <QStringList>
#include <vector>

class QAbstractItemModel;

namespace kv::ui {

inline constexpr const char* kFiltroExportacion = "Ingrese un nombre|*.xls";
inline constexpr const char* kTituloExportacion = "Buscar Archivos";
inline constexpr const char* kTituloAvisoExportacion = "Aviso al usuario";

// The rows of a grid as the export writes them: the header row first, then each
// row's cells (the export text of a cell where the model gives one).
std::vector<QStringList> FilasDeModelo(const QAbstractItemModel& modelo);

// The file the export writes for a chosen name: the name is cut before its
// first "." and ".xls" is appended; a dot in a folder name is not the name's.
QString ArchivoExportacion(const QString& elegido);

// Writes the grid; false when the file cannot be written.
bool GrabarGrillaTexto(const QString& archivo, const QAbstractItemModel& modelo);

// The whole export; returns the file written, empty when cancelled or failed
// (a failure is reported to the user).
QString ExportarGrilla(const QAbstractItemModel& modelo);

}  // namespace kv::ui
