// Load speed: a statistic whose table holds N rows (default 2 million: two
// companies, 24 months, 20,000 articles by 24 sellers) loaded through the whole
// stack (the load of the main window: DB_Dll, client layer, embedded server,
// T-SQL front end, recordsets, TOP folding) against the same two queries run
// straight on the same SQLite file with the same collation. Start-up excluded.
//
//   bench_carga [filas]

#include <sqlite3.h>

#include <sys/resource.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

#include "ComunBench.h"
#include "db/Conexion.h"
#include "db/DB_Dll.h"
#include "db/Recordset.h"
#include "localserver/ServidorEmbebido.h"
#include "localserver/tsql/Funciones.h"
#include "localserver/tsql/Traduccion.h"
#include "stats/AlmacenEstadisticas.h"
#include "stats/Carga.h"
#include "stats/Catalogo.h"
#include "util/KvError.h"

namespace {

using kv::bench::Lote;
using kv::bench::SegundosCPU;
using kv::bench::Sqlite;

// Runs a query and reads every column of every row, as a client would.
double CorrerDirecto(sqlite3* db, const QString& consultaTSQL, qint64& filas) {
    const auto sentencias = kv::local::TraducirLote(consultaTSQL);
    QElapsedTimer t;
    t.start();
    filas = 0;
    for (const auto& sentencia : sentencias) {
        if (sentencia.clase != kv::local::Clase::Consulta) continue;
        sqlite3_stmt* s = nullptr;
        const QByteArray sql = sentencia.sql.toUtf8();
        if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &s, nullptr) != SQLITE_OK) {
            std::fprintf(stderr, "SQLite: %s\n%s\n", sqlite3_errmsg(db), sql.constData());
            return 0;
        }
        const int columnas = sqlite3_column_count(s);
        while (sqlite3_step(s) == SQLITE_ROW) {
            for (int i = 0; i < columnas; ++i) {
                if (sqlite3_column_type(s, i) == SQLITE_TEXT)
                    (void)sqlite3_column_text(s, i);
                else
                    (void)sqlite3_column_double(s, i);
            }
            ++filas;
        }
        sqlite3_finalize(s);
    }
    return double(t.nsecsElapsed()) / 1e9;
}

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
            c.SetCommandTimeout(0);
            c.Open(QStringLiteral(
                "PROVIDER=SQLOLEDB;Server=EMBEBIDO;Database =master;UId=Korvane;Pwd=pelumbo;"));
            kv::bench::CrearAlmacenConEstadistica(c, carpeta.path(), filas);
        }
        // The same file, for the same two queries run straight on SQLite.
        sqlite3* db = nullptr;
        sqlite3_open((carpeta.path() + QStringLiteral("/KV_ESTADISTICAS.db")).toUtf8().constData(), &db);
        kv::local::RegistrarFuncionesTSQL(db);
        sqlite3_busy_timeout(db, 60000);
        QElapsedTimer t;

        kv::db::DB_Dll almacen;
        kv::bench::AbrirConexion(almacen, QLatin1String(kv::stats::kBaseAlmacen),
                                 QLatin1String(kv::stats::kUsuarioAlmacen), QLatin1String(kv::stats::kClaveAlmacen));
        if (!almacen.gOpenFlag) {
            std::fprintf(stderr, "no se pudo abrir el almacén\n");
            return 1;
        }

        kv::stats::EntradaCarga entrada = kv::bench::EntradaDeCarga();
        kv::stats::MarcarOrden(entrada.orden, kv::stats::IndiceOrden(QStringLiteral("Venta")), true);
        entrada.ascendente = true;

        std::printf("%-7s %11s %10s %13s %11s %12s %10s\n", "vuelta", "completa s", "SQLite s",
                    "completa CPU", "SQLite CPU", "razón (CPU)", "grupos");
        for (int vuelta = 1; vuelta <= 2; ++vuelta) {
            kv::stats::ModeloGrafico grafico;
            kv::db::Recordset grilla;
            t.restart();
            double cpu = SegundosCPU();
            const kv::stats::ResultadoCarga r =
                kv::stats::CargarEstadistica(almacen, entrada, grafico, grilla);
            const double completa = double(t.nsecsElapsed()) / 1e9;
            const double cpuCompleta = SegundosCPU() - cpu;
            if (r.rechazada || r.abandonada || r.sinDatos) {
                std::fprintf(stderr, "la carga no se completó\n");
                return 1;
            }
            qint64 filasGrafico = 0, filasGrilla = 0;
            cpu = SegundosCPU();
            const double directo = CorrerDirecto(db, r.consultaGrafico, filasGrafico) +
                                   CorrerDirecto(db, r.consultaGrilla, filasGrilla);
            const double cpuDirecto = SegundosCPU() - cpu;
            std::printf("%-7d %11.3f %10.3f %13.3f %11.3f %12.2f %10lld\n", vuelta, completa, directo,
                        cpuCompleta, cpuDirecto, cpuCompleta / cpuDirecto,
                        static_cast<long long>(filasGrafico));
            std::fflush(stdout);
            if (vuelta == 1) {
                std::printf("  gráfico: %s\n  grilla: %s\n", r.consultaGrafico.toUtf8().constData(),
                            r.consultaGrilla.toUtf8().constData());
            }
        }
        sqlite3_close(db);
    } catch (const kv::KvExcepcion& e) {
        std::fprintf(stderr, "error: %s\n", e.error().descripcion.toUtf8().constData());
        return 1;
    } catch (const kv::local::ErrorTSQL& e) {
        std::fprintf(stderr, "error de traducción: %s\n", e.what());
        return 1;
    }
    return 0;
}
