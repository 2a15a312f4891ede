#pragma once
// A statistic definition as plain data, and its packing into the text columns
// of CAB_ESTV (Campos, Orden, Totalizadores) and back. The window maps its
// controls onto these structures; the store, the load and the report use them.

#include <QString>
#include <array>

#include "stats/Catalogo.h"

namespace kv::stats {

// An ordering box: ticked or not, and the priority label beside it ("1", "2", ...
// or "x" when not ticked).
struct CasillaOrden {
    bool marcada = false;
    QString posicion = QStringLiteral("x");
};

using EstadoOrden = std::array<CasillaOrden, kCasillasOrden>;

struct Definicion {
    std::array<bool, kFilasCatalogo> grupos{};  // ticked catalog rows, in list order
    EstadoOrden orden{};
    bool ascendente = true;
    std::array<bool, kCasillasTotal> totales{true, true, true, false, false, false};
    QString top = QStringLiteral("10");
    QString topOtros = QStringLiteral("Otros");
};

// A TOP text outside 0..32767 is refused by the save and by the load.
inline constexpr const char* kMensajeTopInvalido = "El TOP debe ser un número entero entre 0 y 32767.";

// The blank literal that fills a level without grouping field, as stored and as
// written inside the INSERT / UPDATE statements.
inline constexpr const char* kRellenoAlmacenado = ",' '";
inline constexpr const char* kRellenoSentencia = ",'' ''";

// Campos as written into the statements (fillers with doubled quotes), for the
// ticked rows in list order; empty when no row is ticked.
QString CamposParaSentencia(const std::array<bool, kFilasCatalogo>& grupos);
// Number of ticked rows.
int CantidadGrupos(const std::array<bool, kFilasCatalogo>& grupos);

// Ticks the catalog rows named by a stored Campos text (items split at ",";
// the blank fillers match no row).
std::array<bool, kFilasCatalogo> GruposDesdeCampos(const QString& campos);

// Display names of the three levels for the ticked rows, in list order; a level
// without field keeps its empty caption ("Grupo1".."Grupo3").
std::array<QString, kNiveles> TitulosDeGrupos(const std::array<bool, kFilasCatalogo>& grupos);
// Whether a level has a grouping field (its caption differs from the empty one).
bool NivelAsignado(const std::array<QString, kNiveles>& titulos, int nivel);

// Orden: per box "0"/"1", its label and "|"; then "A" (ascending) or "D".
QString CodificarOrden(const EstadoOrden& orden, bool ascendente);
// Reads Orden back into the boxes; an empty (trimmed) text leaves them as they are.
void DecodificarOrden(const QString& texto, EstadoOrden& orden, bool& ascendente);

// Totalizadores: one digit per total box.
QString CodificarTotalizadores(const std::array<bool, kCasillasTotal>& totales);
// An empty (trimmed) text leaves the boxes as they are; a missing digit unticks.
void DecodificarTotalizadores(const QString& texto, std::array<bool, kCasillasTotal>& totales);

// Whether the saved grouping differs from the loaded one, so the statistic table
// must be rebuilt: fillers removed from both, compared without regard to case.
bool GruposCambiaron(const QString& camposCargados, const QString& camposSentencia);

// Ticking or unticking an ordering box keeps the labels numbered 1..n without
// gaps in the order the boxes were ticked.
void MarcarOrden(EstadoOrden& orden, int indice, bool marcar);

// Numeric value of a label ("x" and blanks give 0).
int ValorPosicion(const QString& posicion);

}  // namespace kv::stats
