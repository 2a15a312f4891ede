// kv_estv --informe: the chart rows of a stored statistic on standard output,
// the messages a window would show on standard error.

#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>
#include <memory>

#include "app/Ordenes.h"
#include "core/Configuracion.h"
#include "db/DB_Dll.h"
#include "localserver/ServidorEmbebido.h"
#include "localserver/procedimientos/ReconsEstv.h"
#include "stats/Informe.h"
#include "util/Interaccion.h"
#include "util/InteraccionConsola.h"

namespace kv::app {

int OrdenInforme(const QStringList& argumentos) {
    std::unique_ptr<QCoreApplication> aplicacion;
    static int argc = 1;
    static char nombre[] = "kv_estv";
    static char* argv[] = {nombre, nullptr};
    if (!QCoreApplication::instance()) aplicacion = std::make_unique<QCoreApplication>(argc, argv);

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
    const int estado = kv::stats::EjecutarInforme(opciones, salida, errores);
    // The connections are closed here, while the server they talk to still exists,
    // not by the static objects' destructors at exit.
    try {
        if (kv::core::BaseEstadisticas().gCnn.State() != kv::db::ado::Cerrado)
            kv::core::BaseEstadisticas().gCnn.Close();
    } catch (const std::exception&) {
    }
    kv::db::DB_Dll::DescartarPrincipal();
    kv::EstablecerInteraccion(std::move(anterior));
    return estado;
}

}  // namespace kv::app
