#pragma once
// A view written as a real spreadsheet (.xlsx): typed numbers with units,
// money and percentage formats and the configured decimals, a bold frozen
// header row and an autofilter over the table.

#include <QString>
#include <QStringList>
#include <QVariant>
#include <vector>

#include "stats/FormatoNumeros.h"

namespace kv::stats {

struct TablaGrilla;

struct ColumnaPlanilla {
    QString titulo;
    bool numerica = false;
    Familia familia = Familia::Importes;  // of a numeric column
};

struct Planilla {
    QString hoja = QStringLiteral("Datos");
    std::vector<ColumnaPlanilla> columnas;
    // Text cells as QString, numbers as double (percentages as the views show
    // them: 38.5 is 38,5 %); a null cell stays empty.
    std::vector<std::vector<QVariant>> filas;
    int decimales = 2;
};

// The grid as a spreadsheet: the grid's captions, its texts, its numbers typed.
Planilla PlanillaDeGrilla(const TablaGrilla& tabla);

// The number format of a kind: "#,##0.00", "$ #,##0.00", "0.00%" (with the decimals asked).
QString FormatoNumerico(Familia familia, int decimales);

// Writes the file; false with `error` set when it cannot be written.
bool GrabarPlanilla(const QString& archivo, const Planilla& planilla, QString* error = nullptr);

}  // namespace kv::stats
