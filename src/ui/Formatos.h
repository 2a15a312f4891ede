#pragma once
// Number texts of the views (the user's locale marks, thousands grouped), the
// kind of quantity a total holds (units, money, percentage: never on one axis)
// and twips, the unit the window's layout is written in.

#include <QLocale>
#include <QString>

class QWidget;

namespace kv::ui {

// The user's locale with thousands grouping switched on.
QLocale LocaleConMiles();

// "1.234.567,89" in a Spanish locale; no "-0,00".
QString TextoNumero(double valor, int decimales);
// An amount held in ten-thousandths (the money type), without float noise.
QString TextoImporte(qint64 diezmilesimas, int decimales);
// Ten-thousandths of a money value read as a double.
qint64 Diezmilesimas(double valor);

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

// Twips and pixels of a widget's screen (1440 twips per inch, logical DPI).
int TwipsAPixeles(int twips, const QWidget* widget = nullptr);
int PixelesATwips(int pixeles, const QWidget* widget = nullptr);

}  // namespace kv::ui
