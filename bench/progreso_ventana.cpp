// Cost of the progress window when a loop updates it once per row: time per
// update and how many times the window was really repainted.
#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>

#include "util/InteraccionGuionada.h"
#include "util/InteraccionQt.h"

namespace {

void Medir(const char* nombre, kv::Interaccion& puerto, int filas) {
    QElapsedTimer reloj;
    reloj.start();
    puerto.ProgresoIniciar(QStringLiteral("Cargando estadística"), true);
    for (int i = 1; i <= filas; ++i) {
        puerto.ProgresoActualizar(QString(), QStringLiteral("Artículo %1").arg(i),
                                  QStringLiteral("%1 de %2").arg(i).arg(filas));
        puerto.ProcesarEventos();
    }
    puerto.ProgresoCerrar();
    const double ms = static_cast<double>(reloj.nsecsElapsed()) / 1e6;
    std::printf("%-28s %8d filas  %9.1f ms  %7.2f us/fila\n", nombre, filas, ms, ms * 1000.0 / filas);
}

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int filas = argc > 1 ? std::atoi(argv[1]) : 200000;

    kv::InteraccionGuionada guionada;
    guionada.ProcesarEventosReales(false);
    Medir("puerto guionado (sin Qt)", guionada, filas);

    kv::InteraccionQt qt;
    qt.ProgresoIniciar(QStringLiteral("calentamiento"), false);
    qt.ProgresoCerrar();
    QElapsedTimer reloj;
    reloj.start();
    qt.ProgresoIniciar(QStringLiteral("Cargando estadística"), true);
    for (int i = 1; i <= filas; ++i) {
        qt.ProgresoActualizar(QString(), QStringLiteral("Artículo %1").arg(i),
                              QStringLiteral("%1 de %2").arg(i).arg(filas));
        qt.ProcesarEventos();
    }
    const int pintadas = qt.PintadasProgreso();
    qt.ProgresoCerrar();
    const double ms = static_cast<double>(reloj.nsecsElapsed()) / 1e6;
    std::printf("%-28s %8d filas  %9.1f ms  %7.2f us/fila  %d repintados\n", "ventana Qt", filas, ms,
                ms * 1000.0 / filas, pintadas);

    // Same loop without the per-row event run: only the window's own throttle.
    reloj.restart();
    qt.ProgresoIniciar(QStringLiteral("Cargando estadística"), true);
    for (int i = 1; i <= filas; ++i)
        qt.ProgresoActualizar(QString(), QStringLiteral("Artículo %1").arg(i),
                              QStringLiteral("%1 de %2").arg(i).arg(filas));
    const int pintadas2 = qt.PintadasProgreso();
    qt.ProgresoCerrar();
    const double ms2 = static_cast<double>(reloj.nsecsElapsed()) / 1e6;
    std::printf("%-28s %8d filas  %9.1f ms  %7.2f us/fila  %d repintados\n", "ventana Qt (sin eventos)",
                filas, ms2, ms2 * 1000.0 / filas, pintadas2);
    return 0;
}
