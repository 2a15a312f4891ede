#pragma once
// What a chart draws, whatever draws it: the categories (full labels and their
// level texts), one series per total with the kind of quantity it holds, and
// the configured decimals. Built from the load's chart rows or from the pivot.

#include <QString>
#include <QStringList>
#include <vector>

#include "stats/Carga.h"
#include "ui/Formatos.h"

class QLabel;
class QWidget;

namespace kv::ui {

class TablaDinamica;

struct SerieGrafico {
    QString nombre;
    Familia familia = Familia::Importes;
    std::vector<double> valores;  // one per category
};

struct DatosGrafico {
    QString titulo;
    QString subtitulo;  // the filters that shaped the load, when any
    QStringList etiquetas;       // full label of each category
    QList<QStringList> niveles;  // the level texts of each category (one line each)
    std::vector<SerieGrafico> series;
    int decimales = 2;
    int filaResto = -1;  // category of the remainder row, -1 when none

    int Categorias() const { return static_cast<int>(etiquetas.size()); }
    // The kinds present, units first, then money, then percentages.
    std::vector<Familia> Familias() const;
    // Full label and every formatted value of a category, one per line (the tooltip).
    QString Descripcion(int categoria) const;
    QString TextoValor(const SerieGrafico& serie, double valor) const;
};

// Whether the remainder row is drawn apart: it is the last category and more
// than three times the largest top group in an amount or quantity, so at scale
// the top groups' bars would not show.
bool RestoFueraDeEscala(const DatosGrafico& datos);
// The same data without its remainder row (the top groups keep their numbers).
DatosGrafico SinResto(const DatosGrafico& datos);
// The strip written above a chart for a remainder drawn apart: its label and
// every value in the locale's marks; a double click opens its groups.
QLabel* CrearRestoAparte(const DatosGrafico& datos, QWidget* padre);

DatosGrafico DatosDeModelo(const kv::stats::ModeloGrafico& modelo, const QString& titulo = QString());
// The deepest groups of the pivot as it is filtered and sorted.
DatosGrafico DatosDeTabla(const TablaDinamica& tabla, const QString& titulo = QString());

}  // namespace kv::ui
