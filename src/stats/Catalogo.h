#pragma once
// Fixed tables of the statistics window: the grouping catalog, the ordering
// boxes and the total boxes, with their captions, tags and keys.

#include <QString>
#include <array>

namespace kv::stats {

// One groupable field of the catalog list.
struct FilaCatalogo {
    QString titulo;      // display name
    QString codigo;      // grouping key (field name)
    QString fuente;      // table, view or statement that serves its lookups (empty: date picker)
    QString columna;     // column returned by the lookup
    bool arbol = false;  // served by the tree lookup window
};

inline constexpr int kFilasCatalogo = 13;
inline constexpr int kCasillasOrden = 10;
inline constexpr int kCasillasTotal = 6;
inline constexpr int kNiveles = 3;

const std::array<FilaCatalogo, kFilasCatalogo>& CatalogoGrupos();

// List entry of a catalog row: caption, 100 blanks, code.
QString TextoFilaCatalogo(const FilaCatalogo& fila);
// Caption of a list entry: its first 80 characters, trimmed.
QString TituloDeEntrada(const QString& entrada);
// Code of a list entry (or any row with a hidden code): from character 80 on, trimmed.
QString CodigoDeEntrada(const QString& entrada);
// Catalog row whose code equals `codigo` (both trimmed, letter case ignored); -1 when none.
int IndiceCatalogo(const QString& codigo);

// An ordering box: caption, ordering expression (its tag) and key.
struct DefinicionCasilla {
    QString titulo;
    QString etiqueta;
    QString clave;
};

const std::array<DefinicionCasilla, kCasillasOrden>& CasillasOrden();
// Totals: the tag is the result column of the grid query.
const std::array<DefinicionCasilla, kCasillasTotal>& CasillasTotal();

// Index of the box whose key equals `clave`, letter case ignored; -1 when none.
int IndiceOrden(const QString& clave);
int IndiceTotal(const QString& clave);

// Default captions of the three levels while no definition is loaded.
QString TituloNivelVacio(int nivel);  // 0..2 -> "Grupo1".."Grupo3"

}  // namespace kv::stats
