// The viewer's entry point.
#include <QApplication>
#include <cstdio>
#include <exception>
#include <memory>
#include <string_view>

#include "app/Ordenes.h"
#include "core/Arranque.h"
#include "core/Inicio.h"
#include "core/LineaComandos.h"
#include "db/DB_Dll.h"
#include "localserver/ServidorEmbebido.h"
#include "stats/AlmacenEstadisticas.h"
#include "stats/frmKv_EstV.h"
#include "util/InteraccionConsola.h"
#include "util/InteraccionQt.h"

namespace {

// The viewer itself: start-up, the statistics store, then the main window when
// there is a display, or a line saying what to run next when there is none.
int Visor(int argc, char** argv) {
    // Without a display Qt draws off screen and every message goes to standard error.
    const bool conPantalla = kv::core::HayPantalla();
    if (!conPantalla) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (conPantalla)
        kv::EstablecerInteraccion(std::make_unique<kv::InteraccionQt>());
    else
        kv::EstablecerInteraccion(std::make_unique<kv::InteraccionConsola>());
    kv::local::RegistrarServidorEmbebido();

    // The command text is the arguments joined by blanks, without our own "--" options.
    QString cadenaConexion;
    kv::core::IniciarSistema(false, kv::core::TextoLineaComandos(app.arguments().mid(1)), cadenaConexion, 3);
    kv::db::DB_Dll& erp = kv::db::DB_Dll::Principal();
    const QString servidor = erp.gServidor, base = erp.gDBName, usuario = erp.gUsuario;

    if (conPantalla) {
        // The window creates the store as it loads: once per start.
        kv::stats::frmKv_EstV ventana(erp);
        ventana.show();
        return app.exec();
    }
    kv::stats::CrearBaseEstadisticas(erp);
    std::fputs(kv::core::MensajeSinPantalla(servidor, base, usuario).toUtf8().constData(), stdout);
    std::fflush(stdout);
    return 0;
}

int Ejecutar(int argc, char** argv) {
    if (argc > 1 && std::string_view(argv[1]) == "--informe") {
        QStringList argumentos;
        for (int i = 2; i < argc; ++i) argumentos << QString::fromLocal8Bit(argv[i]);
        return kv::app::OrdenInforme(argumentos);
    }
    if (argc > 1 && std::string_view(argv[1]) == "--demo") {
        QCoreApplication app(argc, argv);
        return kv::app::OrdenDemo(app.arguments().mid(2));
    }
    return Visor(argc, argv);
}

}  // namespace

int main(int argc, char** argv) {
    // Every way out of the program closes the ERP and statistics-store
    // connections here, while the embedded server they talk to still exists:
    // a session left to the static objects' destructors would outlive it.
    const kv::core::CierreConexiones cierre;
    try {
        return Ejecutar(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "KV_ESTV: error inesperado: %s\n", e.what());
    } catch (...) {
        std::fputs("KV_ESTV: error inesperado.\n", stderr);
    }
    return 1;
}
