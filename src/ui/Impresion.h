#pragma once
// Printing a chart from the report command: the question, the printer chosen
// with the print dialog (where "Imprimir a PDF" writes a file), then every
// category of the chart over as many pages as it takes, with the header of what
// was printed and "página n de m". The first chart is also copied to the
// clipboard as a picture; the second chart's picture is left in the file
// CHART.GIF in the TEMP folder.

#include <QImage>
#include <QString>
#include <QStringList>
#include <functional>

class QPrinter;
class QWidget;

namespace kv::ui {

class GraficoPrincipal;
class GraficoEmpresas;

inline constexpr const char* kPreguntaImprimir = "¿Desea imprimir el gráfico?";
inline constexpr const char* kTituloImprimir = "Atención";
inline constexpr const char* kArchivoGrafico = "CHART.GIF";
inline constexpr const char* kTituloAvisoImpresion = "Aviso al usuario";

// How the printer is chosen: the print dialog by default; tests print to a PDF file.
using ElectorImpresora = std::function<bool(QPrinter&)>;
// Installs an elector and returns the previous one.
ElectorImpresora EstablecerElectorImpresora(ElectorImpresora elector);
bool ElegirImpresora(QPrinter& impresora);

// The folder named by TEMP (the system's temporary folder when TEMP is not set).
QString CarpetaTemp();
QString ArchivoGraficoTemporal();  // CarpetaTemp() + "CHART.GIF"

// Draws the picture on one page; false when the printer cannot be started.
bool ImprimirImagen(const QImage& imagen, QPrinter& impresora, const QWidget* pantalla = nullptr);

// The report of page 0: asks, copies the chart to the clipboard, prints every
// category. True when the pages were printed.
bool ImprimirGraficoPrincipal(GraficoPrincipal& grafico, const QStringList& encabezado);
// The report of page 2: asks, writes CHART.GIF, prints every category.
bool ImprimirGraficoEmpresas(GraficoEmpresas& grafico, const QStringList& encabezado);

}  // namespace kv::ui
