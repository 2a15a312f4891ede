#pragma once
// The lookups' two files in the program folder: the query definitions
// (fixed 1202-byte records) and the remembered column widths (one quoted
// comma-separated line per table).

#include <QList>
#include <QString>
#include <optional>
#include <vector>

#include "lookup/SentenciasConsulta.h"

namespace kv::lookup {

inline constexpr const char* kArchivoAnchos = "CONSULTASLEN.KRV";
inline constexpr const char* kArchivoAnchosAux = "CONSULTASLEN.AUX";

// Every readable definition of the file, in order. A record cut short is read
// as far as it goes; one that is too long (its end of line lost) is skipped.
// A missing or unreadable file gives none.
std::vector<DefinicionConsulta> LeerDefiniciones(const QString& ruta);

// The first definition whose name equals `nombre` (trimmed, letter case ignored).
std::optional<DefinicionConsulta> BuscarDefinicion(const QString& ruta, const QString& nombre);

// One line of the widths file (CR LF included): "TABLA"," 1440| 900|".
QString LineaAnchos(const QString& tabla, const QList<double>& anchos);

// Reads a line of the widths file; false when it is not a table name and a
// widths text.
bool LeerLineaAnchos(const QString& linea, QString& tabla, QList<double>& anchos);

// Widths (in twips) remembered for `tabla`; empty when none.
QList<double> LeerAnchos(const QString& carpeta, const QString& tabla);

// Replaces the record of `tabla`, keeping every other one. The new file is
// written beside the old one and then takes its name, so it is never left half
// written. Throws kv::KvExcepcion when the folder cannot take it.
void GrabarAnchos(const QString& carpeta, const QString& tabla, const QList<double>& anchos);

// The name a table is remembered under ("Stk_ma_articulos" shares the articles' record).
QString TablaAnchos(const QString& tabla);

}  // namespace kv::lookup
