#pragma once
// Number texts of what a person reads (the user's locale marks, thousands
// grouped; Spanish marks when no locale is set) and the kind of quantity a
// total holds (units, money, percentage). Every view, the printout and the
// exports write a number through these, so the same value reads the same.

#include <QLocale>
#include <QString>

namespace kv::stats {

// The user's locale with thousands grouping switched on; Spanish when the
// process runs under the C or POSIX locale.
QLocale LocaleConMiles();

// "1.234.567,89" in a Spanish locale; no "-0,00".
QString TextoNumero(double valor, int decimales);
// An amount held in ten-thousandths (the money type), without float noise.
QString TextoImporte(qint64 diezmilesimas, int decimales);
// Ten-thousandths of a money value read as a double.
qint64 Diezmilesimas(double valor);
// A percentage: the configured decimals, rounded as amounts are, then " %".
QString TextoPorcentaje(double valor, int decimales);

enum class Familia { Unidades, Importes, Porcentajes };

// Kind of a total by its index in the total boxes (Consumo, Costo, Venta, %, %, Utilidad).
Familia FamiliaDeTotal(int indiceTotal);
// Kind of a total by its caption ("Consumo", "Valor Costo", ... as the chart columns).
Familia FamiliaDeTitulo(const QString& titulo);
// Kind of a grid column by its name (CONSUMO, VALORCOSTO, UTL_COSTOPorc, ...).
Familia FamiliaDeColumna(const QString& nombre);
QString NombreFamilia(Familia familia);  // "Unidades", "Importes", "Porcentajes"
// A value as its kind shows it: percentages with " %".
QString TextoSegunFamilia(double valor, Familia familia, int decimales);

}  // namespace kv::stats
