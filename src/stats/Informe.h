#pragma once
// The headless report: loads a stored statistic as the main window would and
// prints its chart rows as tab-separated text.

#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <optional>

#include "stats/AlmacenEstadisticas.h"
#include "stats/Carga.h"

class QTextStream;

namespace kv::stats {

struct OpcionesInforme {
    QString nombre;
    QString desde;
    QString hasta;
    std::optional<QStringList> empresas;  // nullopt: as the window ticks them
    std::array<FiltroNivel, kNiveles> filtros{};
    std::optional<QString> top;
    QString salida;         // file that gets the printed table, empty for none
    QString grilla;         // grid export file (as the window's REPORTE writes it), empty for none
    QString xlsx;           // spreadsheet of the grid (as the window's PLANILLA writes it), empty for none
    QString pdf;            // the printed pages of the chart (as REPORTE prints them), empty for none
    bool nombres = false;   // a name column per level in the printed table
    QString lineaComandos;  // the connection, in the suite's command-line form
};

// Exit statuses of the report.
namespace salida_informe {
inline constexpr int Hecho = 0;
inline constexpr int FalloCarga = 1;
inline constexpr int OpcionesInvalidas = 2;
inline constexpr int SinConexion = 3;
inline constexpr int SinEstadistica = 4;
}  // namespace salida_informe

inline constexpr const char* kMensajeSinConexionInforme =
    "Falta la conexión: \"@server=...; @dbname=...; @usuario=...; @Password=...;\".";
inline constexpr const char* kMensajeGrillaFallida =
    "El servidor rechazó la consulta de la grilla: no se escribió el archivo.";
inline constexpr const char* kMensajeEmpresaAjena =
    "La empresa %1 no está entre las de la estadística: solo se admiten la empresa actual (%2) y las "
    "compartidas (%3).";
inline constexpr const char* kMensajeNivelInexistente =
    "La estadística \"%1\" no tiene nivel %2: la opción --%3 no se puede usar.";
inline constexpr const char* kMensajeArgumentoDeMas = "Argumento de más: \"%1\".";
inline constexpr const char* kMensajeCargaFallida =
    "El servidor rechazó la consulta de la estadística: no se emitió el informe.";

// Reads the arguments that follow the program name (with "--informe NAME" among
// them). Returns the message for bad options, or empty.
QString AnalizarOpcionesInforme(const QStringList& argumentos, OpcionesInforme& opciones);
QString UsoInforme();

// Checks the options against the statistic and the window's company list
// (`permitidas`, upper case; `actual` the ERP database): the message for an
// option the window could not have produced, or empty.
QString ValidarInformeContraDefinicion(const OpcionesInforme& opciones, const Definicion& definicion,
                                       const QStringList& permitidas, const QString& actual);

// The one line printed before the details when the connection fails: server,
// database, user and the server's own message.
QString LineaConexionFallida(const QString& servidor, const QString& base, const QString& usuario,
                             const QString& mensaje);

// Fills the load's input from a loaded definition and the options.
EntradaCarga EntradaDeInforme(const Definicion& definicion, const EstadoDefinicion& estado,
                              const OpcionesInforme& opciones, const QStringList& empresasMarcadas,
                              int decimales);

// The printed lines: "Grupo" and the captions, then one line per chart row.
// With names, a column per level bound to a catalog field follows "Grupo"
// ("Nombre Vendedor") with the name of the row's code (empty when it has none).
QStringList LineasInforme(const ModeloGrafico& modelo);
QStringList LineasInforme(const ModeloGrafico& modelo, const std::array<QString, kNiveles>& titulos);

// What the printed pages of a report need besides the chart rows.
struct PaginasInforme {
    const ModeloGrafico& modelo;
    QStringList encabezado;  // the header lines of every page
    QString archivo;         // the PDF to write
};
// Draws the pages into a PDF file; the message when it cannot be written, or empty.
// The program installs it (drawing needs the graphical part of the program).
using ImpresorInforme = std::function<QString(const PaginasInforme&)>;
void EstablecerImpresorInforme(ImpresorInforme impresor);

inline constexpr const char* kMensajeConexionPerdida =
    "Se perdió la conexión con la base de datos: no se emitió el informe.";

// Thrown when the connection was lost and not restored during a report.
struct InformeInterrumpido {};

// While alive, a lost connection that is not restored ends the report through
// InformeInterrumpido, so that its connections close in order, instead of
// ending the process on the spot with a success status.
class TerminacionInforme {
  public:
    TerminacionInforme();
    ~TerminacionInforme();
    TerminacionInforme(const TerminacionInforme&) = delete;
    TerminacionInforme& operator=(const TerminacionInforme&) = delete;
};

// Runs the report after the embedded server (if any) is registered and the
// interaction port installed: start-up, store, definition, load, output.
// Returns the exit status.
int EjecutarInforme(const OpcionesInforme& opciones, QTextStream& salida, QTextStream& errores);

}  // namespace kv::stats
