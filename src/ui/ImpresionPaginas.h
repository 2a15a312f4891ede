#pragma once
// A chart printed whole: every category of the chart, over as many pages as it
// takes, as labelled horizontal bars with each value written beside its bar,
// under a header (statistic, months, companies, filters, date and time) and
// over a "página n de m" footer. Labels wrap instead of being cut. Each series
// is scaled to its largest group outside the remainder, so a remainder that
// dwarfs the top groups is drawn across a broken end and the top groups stay
// readable; every value is printed anyway.

#include <QString>
#include <QStringList>

#include "ui/DatosGrafico.h"

class QPagedPaintDevice;

namespace kv::ui {

// Draws the pages; returns how many were drawn (0 when the device cannot be painted).
int DibujarPaginas(QPagedPaintDevice& dispositivo, const DatosGrafico& datos, const QStringList& encabezado);

// The same pages into a PDF file (A4, portrait); the message when it cannot be written, or empty.
QString GrabarPdf(const QString& archivo, const DatosGrafico& datos, const QStringList& encabezado);

}  // namespace kv::ui
