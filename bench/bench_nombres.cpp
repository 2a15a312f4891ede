// What reading the names beside the codes adds to a load: a statistic by
// article and seller (default 2 million rows, about 60,000 groups) loaded
// through the whole stack, then the names of every code of the result read
// from the ERP's article and seller tables (20,000 articles, 24 sellers), one
// statement per level. Prints the load's time and the names' time per round.
//
//   bench_nombres [filas]

#include <sqlite3.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

#include "ComunBench.h"
#include "db/DB_Dll.h"
#include "db/Recordset.h"
#include "localserver/ServidorEmbebido.h"
#include "localserver/tsql/Funciones.h"
#include "stats/AlmacenEstadisticas.h"
#include "stats/Carga.h"
#include "stats/Catalogo.h"
#include "stats/NombresGrupos.h"
#include "util/KvError.h"

namespace {

constexpr int kArticulos = kv::bench::kArticulosCarga;
using kv::bench::AbrirConexion;

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const qint64 filas = argc > 1 ? QString::fromLocal8Bit(argv[1]).toLongLong() : 2000000;
    QTemporaryDir carpeta;
    qputenv("KVESTV_DATOS", carpeta.path().toLocal8Bit());
    qputenv("KVESTV_CARPETA", carpeta.path().toLocal8Bit());
    kv::local::RegistrarServidorEmbebido();
    try {
        {
            kv::db::Conexion c;
            kv::bench::CrearEmpresa(c, QStringLiteral("NORTE"));
            kv::bench::CrearAlmacenConEstadistica(c, carpeta.path(), filas);
        }
        {
            // The master tables, with a name for every code the statistic holds.
            kv::db::Conexion c;
            c.SetCommandTimeout(0);
            c.Open(
                QStringLiteral("PROVIDER=SQLOLEDB;Server=EMBEBIDO;Database =NORTE;UId=Korvane;Pwd=pelumbo;"));
            QString lote = QStringLiteral("BEGIN TRAN\n");
            for (int a = 0; a < kArticulos; ++a)
                lote += QStringLiteral(
                            "INSERT INTO MA_ARTICULOS (IdArticulo, Descripcion) VALUES ('ART%1', 'Artículo "
                            "número %2')\n")
                            .arg(a, 5, 10, QChar('0'))
                            .arg(a);
            for (int v = 1; v <= 24; ++v)
                lote += QStringLiteral(
                            "INSERT INTO TA_VENDEDORES (IdVendedor, Nombre) VALUES ('V%1', 'Vendedor %2')\n")
                            .arg(v, 2, 10, QChar('0'))
                            .arg(v);
            lote += QStringLiteral("COMMIT TRAN\n");
            kv::bench::Lote(c, lote);
        }

        kv::db::DB_Dll almacen;
        AbrirConexion(almacen, QLatin1String(kv::stats::kBaseAlmacen),
                      QLatin1String(kv::stats::kUsuarioAlmacen), QLatin1String(kv::stats::kClaveAlmacen));
        kv::db::DB_Dll erp;
        AbrirConexion(erp, QStringLiteral("NORTE"), QStringLiteral("Korvane"), QStringLiteral("pelumbo"));
        if (!almacen.gOpenFlag || !erp.gOpenFlag) {
            std::fprintf(stderr, "no se pudieron abrir las conexiones\n");
            return 1;
        }
        const kv::stats::EntradaCarga entrada = kv::bench::EntradaDeCarga();
        std::printf("%-7s %10s %12s %12s %14s %10s\n", "vuelta", "carga s", "nombres s", "nombres CPU",
                    "códigos (1+2)", "grupos");
        for (int vuelta = 1; vuelta <= 3; ++vuelta) {
            kv::stats::ModeloGrafico modelo;
            kv::db::Recordset grilla;
            QElapsedTimer t;
            t.start();
            kv::stats::CargarEstadistica(almacen, entrada, modelo, grilla);
            const double carga = double(t.nsecsElapsed()) / 1e9;
            const double cpu0 = kv::bench::SegundosCPU();
            t.restart();
            const auto nombres = kv::stats::LeerNombres(erp, entrada.titulos, modelo, &grilla);
            const double tiempo = double(t.nsecsElapsed()) / 1e9;
            const double cpu = kv::bench::SegundosCPU() - cpu0;
            const auto codigos = kv::stats::CodigosDeResultado(modelo, &grilla);
            const qint64 grupos =
                static_cast<qint64>(modelo.plegados.size()) + modelo.Filas() - (modelo.filaResto >= 0);
            std::printf("%-7d %10.3f %12.3f %12.3f %8lld+%-5lld %10lld\n", vuelta, carga, tiempo, cpu,
                        static_cast<long long>(codigos[0].size()), static_cast<long long>(codigos[1].size()),
                        static_cast<long long>(grupos));
            if (vuelta == 1)
                for (const QString& s : nombres->Sentencias())
                    std::printf("  %s\n", s.left(100).toUtf8().constData());
            almacen.CierraRecordset(grilla);
        }
    } catch (const kv::KvExcepcion& e) {
        std::fprintf(stderr, "error %d: %s\n", e.error().numero, e.error().descripcion.toUtf8().constData());
        return 1;
    }
    return 0;
}
