#pragma once
// KV_RECONS_ESTV: the server procedure every company database answers to when
// the viewer asks it to rebuild its part of the statistics store.
//
//   EXEC KV_RECONS_ESTV '', 'DET_ESTV0003'   rebuild that statistic for this company
//   EXEC KV_RECONS_ESTV '', ''               rebuild every statistic of CAB_ESTV
//   EXEC KV_RECONS_ESTV '*', ''              take this company out of every statistic
//
// The company is the calling connection's database; its rows in a statistic
// table carry that name in Base. The sale lines (MV_STOCK, TipoMovimiento
// 'VTA') are read once per statistic and aggregated in memory by month and the
// definition's three grouping keys; the rows are written in one transaction.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <vector>

#include "localserver/Procedimientos.h"

struct sqlite3;

namespace kv::local {

inline constexpr const char* kNombreReconsEstv = "KV_RECONS_ESTV";
inline constexpr const char* kBaseEstadisticas = "KV_ESTADISTICAS";

// Registers KV_RECONS_ESTV in the server's procedure registry (idempotent).
void RegistrarReconsEstv();

// Where a grouping key takes its value from.
enum class FuenteClave { Blanco, Fecha, Linea, Articulo };

struct ClaveAgrupacion {
    FuenteClave fuente = FuenteClave::Blanco;
    QString campo;  // column of MV_STOCK or MA_ARTICULOS, as spelled in the catalog
};

// The three grouping keys of a stored `Campos` text ("IdArticulo,IdVendedor,' '").
// Items are matched against the catalog without regard to case; a blank
// filler, an empty item, an unknown name or a missing level gives a blank key.
struct DefinicionAgrupacion {
    ClaveAgrupacion niveles[3];
    static DefinicionAgrupacion DesdeCampos(const QString& campos);
};

// Month text of a stored datetime ("2024-03-05 10:00:00" -> "3/2024"); also
// reads day-first text ("05/03/2024"). Empty when the value cannot be read.
QString TextoMes(const QString& fecha);

// Text as the grouping compares it: letter case and trailing blanks do not count.
QString PlegarClave(const QString& texto);

// The value a grouping key stores: cut to 25 characters, one blank when empty.
QString ValorClave(const QString& texto);

// A money sum to four decimals as ROUND(x, 4) gives it: halves away from zero,
// on the decimal value the sum stands for (the shortest decimal text that reads
// back as its double), not on its binary neighbour. 0.5 * 4.0001 is 2.00005 and
// gives 2.0001, though the double just below the half would round down. Never a
// negative zero.
double RedondearSumaDinero(long double v);

struct ResultadoReconstruccion {
    std::int64_t lineasLeidas = 0;   // sale lines aggregated
    std::int64_t filasBorradas = 0;  // company rows removed from the table
    std::int64_t filasInsertadas = 0;
    bool tablaVaciada = false;   // the table held only this company and was emptied at once
    bool sinNormalizar = false;  // rows written without the table's per-row normalization
};

// Rebuilds the company's rows of one statistic table. `empresa` is the company
// database, `almacen` the statistics store; `base` the company's name as stored
// in Base. `cancelado` is polled during long loops; when it answers true the
// work is undone and a time-out error is thrown.
ResultadoReconstruccion ReconstruirTabla(sqlite3* empresa, sqlite3* almacen, const QString& base,
                                         const QString& tabla, const DefinicionAgrupacion& definicion,
                                         const std::function<bool()>& cancelado = {});

// The rebuild's quick writer: the groups sorted by integer ranks, a table that
// holds only this company emptied at once, and the rows written without the
// table's own per-row normalization when it provably changes nothing. Off, the
// rebuild writes exactly as the plain path does (the differential tests
// compare both). Off also when KVESTV_RECONS_GENERAL is 1 at start.
void ActivarEscrituraRapida(bool activa);
bool EscrituraRapidaActiva();

// Removes the company's rows from the given statistic tables in one transaction.
std::int64_t QuitarEmpresa(sqlite3* almacen, const QString& base, const QStringList& tablas);

// The procedure itself, as the registry calls it.
void EjecutarReconsEstv(ContextoProcedimiento& contexto, const std::vector<Argumento>& argumentos);

}  // namespace kv::local
