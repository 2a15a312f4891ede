// kv_estv --informe: the chart rows of a stored statistic on standard output,
// the messages a window would show on standard error.

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTextStream>
#include <cstdio>
#include <memory>

#include "app/Ordenes.h"
#include "core/Arranque.h"
#include "core/Inicio.h"
#include "db/DB_Dll.h"
#include "localserver/ServidorEmbebido.h"
#include "localserver/procedimientos/ReconsEstv.h"
#include "stats/Informe.h"
#include "ui/DatosGrafico.h"
#include "ui/Idioma.h"
#include "ui/ImpresionPaginas.h"
#include "util/Interaccion.h"
#include "util/InteraccionConsola.h"

namespace kv::app {

int OrdenInforme(const QStringList& argumentos) {
    std::unique_ptr<QCoreApplication> aplicacion;
    static int argc = 1;
    static char nombre[] = "kv_estv";
    static char* argv[] = {nombre, nullptr};
    // Pages are drawn with fonts, which need the graphical part of Qt; a PDF
    // needs no display, so it is drawn off screen when there is none.
    const bool dibuja = argumentos.contains(QStringLiteral("--pdf"));
    if (!QCoreApplication::instance()) {
        if (dibuja) {
            if (!kv::core::HayPantalla()) qputenv("QT_QPA_PLATFORM", "offscreen");
            aplicacion = std::make_unique<QGuiApplication>(argc, argv);
        } else {
            aplicacion = std::make_unique<QCoreApplication>(argc, argv);
        }
    }
    kv::ui::PrepararIdioma(*QCoreApplication::instance());
    kv::stats::EstablecerImpresorInforme([](const kv::stats::PaginasInforme& paginas) {
        if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
            return QStringLiteral("no hay cómo dibujar las páginas");
        return kv::ui::GrabarPdf(paginas.archivo,
                                 kv::ui::DatosDeModelo(paginas.modelo, paginas.encabezado.value(0)),
                                 paginas.encabezado);
    });

    QTextStream salida(stdout);
    QTextStream errores(stderr);
    salida.setEncoding(QStringConverter::Utf8);
    errores.setEncoding(QStringConverter::Utf8);

    kv::stats::OpcionesInforme opciones;
    const QString problema =
        kv::stats::AnalizarOpcionesInforme(QStringList{QStringLiteral("--informe")} + argumentos, opciones);
    if (!problema.isEmpty()) {
        errores << problema << '\n' << kv::stats::UsoInforme() << '\n';
        errores.flush();
        return kv::stats::salida_informe::OpcionesInvalidas;
    }

    // Nobody answers dialogs here: every message goes to standard error.
    auto anterior = kv::EstablecerInteraccion(std::make_unique<kv::InteraccionConsola>());
    kv::local::RegistrarServidorEmbebido();
    kv::local::RegistrarReconsEstv();
    int estado = kv::stats::salida_informe::FalloCarga;
    try {
        estado = kv::stats::EjecutarInforme(opciones, salida, errores);
    } catch (const KvExcepcion& e) {
        errores << QStringLiteral("Error %1: %2\n").arg(e.error().numero).arg(e.error().descripcion);
    } catch (const std::exception& e) {
        errores << QStringLiteral("Error: %1\n").arg(QString::fromLocal8Bit(e.what()));
    }
    errores.flush();
    // Every exit path closes the store and ERP connections here, while the
    // server they talk to still exists: a session left to the static objects'
    // destructors at exit would outlive it.
    kv::core::CerrarConexiones();
    kv::EstablecerInteraccion(std::move(anterior));
    return estado;
}

}  // namespace kv::app
