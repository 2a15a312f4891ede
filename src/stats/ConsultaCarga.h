#pragma once
// The SQL of a load, built from plain input: the WHERE clause (companies,
// months, level filters), the ORDER BY clause and the chart and grid queries.

#include <QDate>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>

#include "stats/Definicion.h"

namespace kv::stats {

// Filters of one level: a comma-separated list of values and a range.
struct FiltroNivel {
    QString valores;
    QString desde;
    QString hasta;
};

// Everything a load reads from the window.
struct EntradaCarga {
    QString tabla;  // statistic table
    std::array<QString, kNiveles> titulos{TituloNivelVacio(0), TituloNivelVacio(1), TituloNivelVacio(2)};
    QString top;           // TOP text
    QString topOtros;      // remainder label
    QStringList empresas;  // ticked companies
    QString mesDesde;      // "M/AAAA" or empty
    QString mesHasta;      // "M/AAAA" or empty (the current month)
    std::array<FiltroNivel, kNiveles> filtros{};
    EstadoOrden orden{};
    bool ascendente = true;
    std::array<bool, kCasillasTotal> totales{true, true, true, false, false, false};
    int decimales = 2;  // configured number of decimals
    QDate hoy;          // the current date; invalid = today
};

struct Mes {
    int mes = 0;
    int anio = 0;
    bool operator==(const Mes&) const = default;
};

// Reads a month text ("3/2024", "03/2024"); nullopt when it cannot be read.
std::optional<Mes> LeerMes(const QString& texto);
QString TextoMes(const Mes& mes);  // "3/2024"

// Fixed texts of the month checks.
inline constexpr const char* kTituloAvisoCarga = "Aviso al usuario";
QString MensajeMesInvalido(const QString& texto);
QString MensajeRangoInvertido(const QString& desde, const QString& hasta);

// The months of the range, first to last; `error` gets the message when the
// range cannot be used (unreadable month, first month after the last).
QStringList ListaMeses(const QString& mesDesde, const QString& mesHasta, const QDate& hoy, QString& error);

QString ClausulaEmpresas(const QStringList& empresas);
QString ClausulaMeses(const QStringList& meses);
// A level grouped by Fecha holds month texts as the statistic tables store them
// ("3/2024"): its values are sent in that form, and its Desde/Hasta range as the
// list of the months between (calendar order, not text order); an open bound
// takes the load's first or last month from `meses`. `error` gets the message
// of a month that cannot be read or of a reversed range (the clause is then empty).
QString ClausulaFiltros(const std::array<QString, kNiveles>& titulos,
                        const std::array<FiltroNivel, kNiveles>& filtros, const QStringList& meses = {},
                        QString* error = nullptr);
// True for the caption of the Fecha catalog row.
bool NivelFecha(const QString& titulo);
// "03/2024" -> "3/2024"; a text that is no month comes back trimmed.
QString MesComoSeGuarda(const QString& texto);
// The whole WHERE clause; empty with `error` set when the months are refused.
QString ClausulaWhere(const EntradaCarga& entrada, QString& error);

// ORDER BY of the chart query (empty when nothing is ticked). The date criterion
// is left out: the grouped query has no date to order by.
QString ClausulaOrderBy(const EstadoOrden& orden, bool ascendente);
// Ordering expression of a box in the chart query.
QString ExpresionOrden(int indice);

QString ConsultaGrafico(const QString& tabla, const QString& where, const QString& orderBy);
QString ConsultaGrilla(const QString& tabla, const std::array<QString, kNiveles>& titulos,
                       const QString& where);

// TOP count of a TOP text: its leading number; nullopt when outside 0..32767.
std::optional<int> CantidadTop(const QString& texto);

}  // namespace kv::stats
