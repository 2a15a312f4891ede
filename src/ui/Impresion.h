#pragma once
// Printing a chart from the report command: the question, the printer chosen
// with the print dialog, the picture drawn at the page's top-left corner at its
// size on screen (shrunk to the page when larger). The second chart goes
// through the file CHART.GIF in the TEMP folder, which stays there.

#include <QImage>
#include <QString>
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

// The report of page 0: asks, copies the chart to the clipboard, prints it.
// True when a page was printed.
bool ImprimirGraficoPrincipal(GraficoPrincipal& grafico);
// The report of page 2: asks, writes CHART.GIF, prints the file's picture.
bool ImprimirGraficoEmpresas(GraficoEmpresas& grafico);

}  // namespace kv::ui
