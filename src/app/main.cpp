// The viewer's entry point.
#include <QApplication>
#include <cstdio>
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

int main(int argc, char** argv) {
    if (argc > 1 && std::string_view(argv[1]) == "--informe") { QStringList a; for (int i = 2; i < argc; ++i) a << QString::fromLocal8Bit(argv[i]); return kv::app::OrdenInforme(a); }
    if (argc > 1 && std::string_view(argv[1]) == "--demo") { QCoreApplication app(argc, argv); return kv::app::OrdenDemo(app.arguments().mid(2)); }

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
    kv::stats::CrearBaseEstadisticas(erp);

    if (conPantalla) { int estado = 0; { kv::stats::frmKv_EstV ventana(erp); ventana.show(); estado = app.exec(); } kv::core::CerrarConexiones(); return estado; }
    // The main statistics window takes over here once it is wired in.
    std::fputs(kv::core::MensajeSinPantalla(servidor, base, usuario).toUtf8().constData(), stdout);
    std::fflush(stdout);
    kv::core::CerrarConexiones();
    return 0;
}
