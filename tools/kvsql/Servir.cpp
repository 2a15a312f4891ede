#include "Servir.h"

#include <csignal>
#include <cstdio>

#include "localserver/ServidorEmbebido.h"
#include "localserver/demo/DatosDemo.h"
#include "localserver/tds/ServidorTds.h"

namespace kv::kvsql {

namespace {

kv::tds::ServidorTds* gServidor = nullptr;

void AlTerminar(int) {
    if (gServidor) gServidor->Detener();
}

}  // namespace

bool PideServir(const QStringList& argumentos) {
    return !argumentos.isEmpty() && argumentos.front() == QLatin1String("--servir");
}

int Servir(const QStringList& argumentos, QTextStream& errores) {
    kv::tds::OpcionesServidor o;
    for (int i = 1; i < argumentos.size(); ++i) {
        const QString a = argumentos[i];
        auto valor = [&](QString& destino) {
            if (i + 1 >= argumentos.size()) return false;
            destino = argumentos[++i];
            return true;
        };
        QString v;
        if (a == QLatin1String("--direccion") && valor(v)) {
            o.direccion = v;
        } else if (a == QLatin1String("--puerto") && valor(v)) {
            bool ok = false;
            const int puerto = v.toInt(&ok);
            if (!ok || puerto < 0 || puerto > 65535) {
                errores << QStringLiteral("El puerto '%1' no es un número entre 0 y 65535.").arg(v) << '\n';
                return 1;
            }
            o.puerto = static_cast<quint16>(puerto);
        } else if (a == QLatin1String("--certificado") && valor(v)) {
            o.certificado = v;
        } else if (a == QLatin1String("--clave") && valor(v)) {
            o.clave = v;
        } else {
            errores << QStringLiteral("Argumento no reconocido o sin valor: %1").arg(a) << '\n'
                    << QStringLiteral(
                           "Uso: kvsql --servir [--direccion 127.0.0.1] [--puerto 1433] "
                           "[--certificado servidor.pem --clave servidor.key]")
                    << '\n';
            return 1;
        }
    }
    kv::local::RegistrarServidorEmbebido();
    // The server procedures a direct connection finds are there for every client too
    // (the demo's filling among them, so a demo can be made through the endpoint).
    kv::local::demo::RegistrarProcedimientoDemo();
    try {
        kv::tds::ServidorTds servidor(o);
        servidor.Iniciar();
        gServidor = &servidor;
        std::signal(SIGINT, AlTerminar);
        std::signal(SIGTERM, AlTerminar);
        std::signal(SIGPIPE, SIG_IGN);
        // The port really taken (with --puerto 0, a free one), for whoever started the server.
        std::printf("PUERTO %u\n", unsigned(servidor.Puerto()));
        std::fflush(stdout);
        servidor.Atender();
        gServidor = nullptr;
    } catch (const std::exception& e) {
        gServidor = nullptr;
        errores << QString::fromUtf8(e.what()) << '\n';
        return 1;
    }
    return 0;
}

}  // namespace kv::kvsql
