#pragma once
// Number texts of the views (kept with the statistics, so the headless report
// and the exports write the same texts) and twips, the unit the window's
// layout is written in.

#include <QLocale>
#include <QString>

#include "stats/FormatoNumeros.h"

class QWidget;

namespace kv::ui {

using kv::stats::Diezmilesimas;
using kv::stats::Familia;
using kv::stats::FamiliaDeColumna;
using kv::stats::FamiliaDeTitulo;
using kv::stats::FamiliaDeTotal;
using kv::stats::LocaleConMiles;
using kv::stats::NombreFamilia;
using kv::stats::TextoImporte;
using kv::stats::TextoNumero;
using kv::stats::TextoPorcentaje;
using kv::stats::TextoSegunFamilia;

// Twips and pixels of a widget's screen (1440 twips per inch, logical DPI).
int TwipsAPixeles(int twips, const QWidget* widget = nullptr);
int PixelesATwips(int pixeles, const QWidget* widget = nullptr);

}  // namespace kv::ui
