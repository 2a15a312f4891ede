// The viewer's entry point.
#include <QApplication>
#include <QLineEdit>
#include <QTimer>
#include <cstdio>
#include <exception>
#include <memory>
#include <string_view>

#include "access/Ayuda.h"
#include "access/frmAcceso.h"
#include "app/Ordenes.h"
#include "core/Arranque.h"
#include "core/Inicio.h"
#include "core/LineaComandos.h"
#include "db/DB_Dll.h"
#include "localserver/ServidorEmbebido.h"
#include "stats/AlmacenEstadisticas.h"
#include "ui/Idioma.h"
#include "ui/frmKv_EstV.h"
#include "util/InteraccionConsola.h"
#include "util/InteraccionQt.h"

namespace {

// Takes "--opcion VALOR" out of the arguments and returns VALOR (empty when absent).
QString TomarOpcion(QStringList& argumentos, const QString& opcion) {
    const qsizetype i = argumentos.indexOf(opcion);
    if (i < 0) return QString();
    const QString valor = argumentos.value(i + 1);
    argumentos.remove(i, i + 1 < argumentos.size() ? 2 : 1);
    return valor;
}

void Imprimir(const QString& texto) {
    std::fputs(texto.toUtf8().constData(), stdout);
    std::fflush(stdout);
}

// The viewer itself: start-up, the statistics store, then the main window when
// there is a display, or a line saying what to run next when there is none.
int Visor(int argc, char** argv) {
    // Without a display Qt draws off screen and every message goes to standard error.
    const bool conPantalla = kv::core::HayPantalla();
    if (!conPantalla) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    kv::ui::PrepararIdioma(app);
    if (conPantalla)
        kv::EstablecerInteraccion(std::make_unique<kv::InteraccionQt>());
    else
        kv::EstablecerInteraccion(std::make_unique<kv::InteraccionConsola>());
    kv::local::RegistrarServidorEmbebido();

    // Without a complete connection on the command line the sign-in window asks
    // for one; without a display there is nobody to ask, so it says what to pass.
    QStringList argumentos = app.arguments().mid(1);
    kv::access::InstalarVentanaAcceso(conPantalla);
    // --captura saves the sign-in window when it has to show, else the main window
    // after the statistic of --estadistica is loaded.
    const QString captura = TomarOpcion(argumentos, QStringLiteral("--captura"));
    const QString estadistica = TomarOpcion(argumentos, QStringLiteral("--estadistica"));
    kv::access::EstablecerCapturaAcceso(captura);

    // The command text is the arguments joined by blanks, without our own options.
    QString cadenaConexion;
    kv::core::IniciarSistema(false, kv::core::TextoLineaComandos(argumentos), cadenaConexion, 3);
    kv::db::DB_Dll& erp = kv::db::DB_Dll::Principal();
    const QString servidor = erp.gServidor, base = erp.gDBName, usuario = erp.gUsuario;

    if (conPantalla) {
        // The window creates the store as it loads (once per start) and opens its own connection to it.
        kv::ui::frmKv_EstV ventana(erp);
        ventana.show();
        int estado = 0;
        if (!estadistica.isEmpty() || !captura.isEmpty()) {
            QTimer::singleShot(0, &ventana, [&] {
                if (!estadistica.isEmpty()) {
                    // As a user would: the name, Enter, then F9.
                    QLineEdit* nombre = ventana.Campo(QStringLiteral("NOMBRE"));
                    nombre->setText(estadistica);
                    ventana.ValidarCampo(nombre);
                    ventana.CargarEstadistica();
                }
                if (!captura.isEmpty()) {
                    // The window as it opens, then each page of the tab strip beside it.
                    if (!ventana.Capturar(captura) ||
                        (!estadistica.isEmpty() && !ventana.CapturarPaginas(captura))) {
                        std::fprintf(stderr, "KV_ESTV: no se pudo guardar la captura en %s\n",
                                     captura.toLocal8Bit().constData());
                        estado = 1;
                    }
                    app.quit();
                }
            });
        }
        const int salida = app.exec();
        return estado != 0 ? estado : salida;
    }
    kv::stats::CrearBaseEstadisticas(erp);
    std::fputs(kv::core::MensajeSinPantalla(servidor, base, usuario).toUtf8().constData(), stdout);
    std::fflush(stdout);
    return 0;
}

int Ejecutar(int argc, char** argv) {
    kv::ui::PrepararLocaleC();
    if (argc > 1 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
        Imprimir(kv::access::TextoUso());
        return 0;
    }
    if (argc > 1 && std::string_view(argv[1]) == "--version") {
        Imprimir(kv::access::TextoVersion());
        return 0;
    }
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
