// Rebuild speed: KV_RECONS_ESTV called through the client layer against the same
// aggregation written as one INSERT ... SELECT ... GROUP BY and run straight on
// SQLite, on the same files, with the same collation. Prints sale lines per
// second for both, and how long the demo data took to write.
//
//   bench_reconstruccion [lineas]      (default 1,000,000 sale lines)

#include <sqlite3.h>

#include <sys/resource.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cstdio>

#include "ComunBench.h"
#include "db/Conexion.h"
#include "localserver/ServidorEmbebido.h"
#include "localserver/demo/DatosDemo.h"
#include "localserver/erp/EsquemaERP.h"
#include "localserver/procedimientos/ReconsEstv.h"
#include "localserver/tsql/Funciones.h"
#include "stats/AlmacenEstadisticas.h"
#include "util/KvError.h"

namespace {

using kv::bench::Lote;
using kv::bench::SegundosCPU;
using kv::bench::Sqlite;

struct Caso {
    const char* tabla;
    const char* campos;
    const char* sqlite;  // the same result as one statement
};

// Month text, keys cut to 25 and blank when empty, grouped under the collation.
const Caso kCasos[] = {
    {"DET_ESTV0000", "IdArticulo,' ',' '",
     "INSERT INTO almacen.DET_ESTV0000 (Base, Fecha, Grupo1, Grupo2, Grupo3, Consumo, ValorCosto, "
     "ValorVenta) "
     "SELECT 'NORTE', mes, g1, ' ', ' ', sum(Cantidad), round(sum(Cantidad * CostoUnitario), 4), "
     "round(sum(Cantidad * PrecioUnitario), 4) FROM ("
     " SELECT CAST(CAST(substr(Fecha, 6, 2) AS INTEGER) AS TEXT) || '/' || substr(Fecha, 1, 4) AS mes,"
     " CASE WHEN rtrim(coalesce(IdArticulo, '')) = '' THEN ' ' ELSE substr(IdArticulo, 1, 25) END AS g1,"
     " Cantidad, CostoUnitario, PrecioUnitario FROM MV_STOCK WHERE TipoMovimiento = 'VTA')"
     " GROUP BY mes, g1 COLLATE KV"},
    {"DET_ESTV0001", "IdVendedor,IdFamilia,' '",
     "INSERT INTO almacen.DET_ESTV0001 (Base, Fecha, Grupo1, Grupo2, Grupo3, Consumo, ValorCosto, "
     "ValorVenta) "
     "SELECT 'NORTE', mes, g1, g2, ' ', sum(Cantidad), round(sum(Cantidad * CostoUnitario), 4), "
     "round(sum(Cantidad * PrecioUnitario), 4) FROM ("
     " SELECT CAST(CAST(substr(s.Fecha, 6, 2) AS INTEGER) AS TEXT) || '/' || substr(s.Fecha, 1, 4) AS mes,"
     " CASE WHEN rtrim(coalesce(s.IdVendedor, '')) = '' THEN ' ' ELSE substr(s.IdVendedor, 1, 25) END AS g1,"
     " CASE WHEN rtrim(coalesce(a.IdFamilia, '')) = '' THEN ' ' ELSE substr(a.IdFamilia, 1, 25) END AS g2,"
     " s.Cantidad, s.CostoUnitario, s.PrecioUnitario FROM MV_STOCK s"
     " LEFT JOIN MA_ARTICULOS a ON a.IdArticulo = s.IdArticulo WHERE s.TipoMovimiento = 'VTA')"
     " GROUP BY mes, g1 COLLATE KV, g2 COLLATE KV"},
};

qint64 Filas(sqlite3* db, const QString& tabla) {
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, ("SELECT count(*) FROM almacen." + tabla.toUtf8()).constData(), -1, &s, nullptr);
    qint64 n = sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int64(s, 0) : -1;
    sqlite3_finalize(s);
    return n;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const qint64 lineas = argc > 1 ? QString::fromLocal8Bit(argv[1]).toLongLong() : 1000000;
    QTemporaryDir carpeta;
    qputenv("KVESTV_DATOS", carpeta.path().toLocal8Bit());
    qputenv("KVESTV_CARPETA", carpeta.path().toLocal8Bit());
    kv::local::RegistrarServidorEmbebido();
    kv::local::RegistrarReconsEstv();
    kv::local::demo::RegistrarProcedimientoDemo();

    try {
        kv::db::Conexion c;
        kv::bench::CrearEmpresa(c, QStringLiteral("NORTE"));
        QElapsedTimer reloj;
        reloj.start();
        const double cpuDatos = SegundosCPU();
        Lote(c, QStringLiteral("EXEC KV_DEMO_LLENAR 1, %1, 0, '12/2026'").arg(lineas));
        const double segundosDatos = double(reloj.nsecsElapsed()) / 1e9;
        std::printf("datos de demostración: %lld líneas de venta escritas en %.2f s (CPU %.2f s)\n",
                    static_cast<long long>(lineas), segundosDatos, SegundosCPU() - cpuDatos);

        for (const QString& s : kv::stats::SentenciasCreacionAlmacen()) Lote(c, s);
        Lote(c, QStringLiteral("USE KV_ESTADISTICAS"));
        for (const Caso& k : kCasos) {
            Lote(c, kv::stats::SentenciaCrearTablaEstadistica(QLatin1String(k.tabla)));
            Lote(c, QStringLiteral("INSERT INTO CAB_ESTV (NOMBRE, TABLA, CAMPOS) VALUES ('%1', '%1', '%2')")
                        .arg(QLatin1String(k.tabla),
                             QString::fromLatin1(k.campos).replace(QLatin1String("'"), QLatin1String("''"))));
        }
        Lote(c, QStringLiteral("USE NORTE"));
        // The T-SQL script, installed unchanged under another name; it runs with the
        // company's rights in the store, as on a real SQL Server.
        {
            QFile f(QStringLiteral(KVESTV_FUENTES "/sql/KV_RECONS_ESTV.sql"));
            if (!f.open(QIODevice::ReadOnly)) throw kv::KvExcepcion(-1, QStringLiteral("sin sql/KV_RECONS_ESTV.sql"), QString());
            QString guion = QString::fromUtf8(f.readAll()).replace(QStringLiteral("KV_RECONS_ESTV"), QStringLiteral("KV_RECONS_ESTV_SQL"));
            for (const QString& lote : guion.split(QRegularExpression(QStringLiteral("(?m)^\\s*GO\\s*$"))))
                if (!lote.trimmed().isEmpty()) Lote(c, lote);
        }

        sqlite3* db = nullptr;
        sqlite3_open((carpeta.path() + QStringLiteral("/NORTE.db")).toUtf8().constData(), &db);
        kv::local::RegistrarFuncionesTSQL(db);
        sqlite3_busy_timeout(db, 60000);
        Sqlite(db, ("ATTACH '" + (carpeta.path() + QStringLiteral("/KV_ESTADISTICAS.db")).toUtf8() +
                    "' AS almacen")
                       .constData());

        std::printf("%-14s %-26s %10s %10s %10s %10s %13s %13s %7s\n", "tabla", "campos", "serv. s",
                    "SQLite s", "serv. CPU", "SQLite CPU", "serv. l/s", "SQLite l/s", "razón");
        for (const Caso& k : kCasos) {
            // Warm both paths once so neither pays for a cold file cache.
            Lote(c, QStringLiteral("EXEC KV_RECONS_ESTV '', '%1'").arg(QLatin1String(k.tabla)));
            QElapsedTimer t;
            t.start();
            double cpu = SegundosCPU();
            Lote(c, QStringLiteral("EXEC KV_RECONS_ESTV '', '%1'").arg(QLatin1String(k.tabla)));
            const double servidor = double(t.nsecsElapsed()) / 1e9;
            const double cpuServidor = SegundosCPU() - cpu;
            const qint64 filasServidor = Filas(db, QLatin1String(k.tabla));

            const QByteArray borrar = "DELETE FROM almacen." + QByteArray(k.tabla) + " WHERE Base = 'NORTE'";
            t.restart();
            cpu = SegundosCPU();
            Sqlite(db, "BEGIN IMMEDIATE");
            Sqlite(db, borrar.constData());
            Sqlite(db, k.sqlite);
            Sqlite(db, "COMMIT");
            const double directo = double(t.nsecsElapsed()) / 1e9;
            const double cpuDirecto = SegundosCPU() - cpu;
            const qint64 filasDirecto = Filas(db, QLatin1String(k.tabla));
            // Lines per second and the ratio from CPU time (wall time is shown too).
            std::printf("%-14s %-26s %10.3f %10.3f %10.3f %10.3f %13.0f %13.0f %7.2f\n", k.tabla, k.campos,
                        servidor, directo, cpuServidor, cpuDirecto, double(lineas) / cpuServidor,
                        double(lineas) / cpuDirecto, cpuDirecto / cpuServidor);
            if (filasServidor != filasDirecto)
                std::printf("  ¡distinto número de filas! servidor %lld, SQLite %lld\n",
                            static_cast<long long>(filasServidor), static_cast<long long>(filasDirecto));
        }
        // The same rebuilds by the T-SQL script: one INSERT ... SELECT ... GROUP BY per table.
        std::printf("\n%-14s %-26s %10s %10s %10s %13s %9s\n", "tabla", "campos", "guion s", "guion CPU",
                    "incorp. s", "guion l/s", "filas");
        for (const Caso& k : kCasos) {
            QElapsedTimer t;
            t.start();
            double cpu = SegundosCPU();
            Lote(c, QStringLiteral("EXEC KV_RECONS_ESTV '', '%1'").arg(QLatin1String(k.tabla)));
            const double incorporado = double(t.nsecsElapsed()) / 1e9;
            const qint64 filasIncorporado = Filas(db, QLatin1String(k.tabla));
            t.restart();
            cpu = SegundosCPU();
            Lote(c, QStringLiteral("EXEC KV_RECONS_ESTV_SQL '', '%1'").arg(QLatin1String(k.tabla)));
            const double guion = double(t.nsecsElapsed()) / 1e9;
            const double cpuGuion = SegundosCPU() - cpu;
            const qint64 filasGuion = Filas(db, QLatin1String(k.tabla));
            std::printf("%-14s %-26s %10.3f %10.3f %10.3f %13.0f %9lld\n", k.tabla, k.campos, guion, cpuGuion,
                        incorporado, double(lineas) / cpuGuion, static_cast<long long>(filasGuion));
            if (filasGuion != filasIncorporado)
                std::printf("  ¡distinto número de filas! guion %lld, incorporado %lld\n",
                            static_cast<long long>(filasGuion), static_cast<long long>(filasIncorporado));
        }
        sqlite3_close(db);
    } catch (const kv::KvExcepcion& e) {
        std::fprintf(stderr, "error: %s\n", e.error().descripcion.toUtf8().constData());
        return 1;
    }
    return 0;
}
