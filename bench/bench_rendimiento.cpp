// The embedded server against plain SQLite without the collation, in one run
// on the same data, for the work a user waits for:
//   - the chart query and the grid query of a load (N rows, default 2 million,
//     G groups, default 60,000), on the general route and on the aggregation route;
//   - the same load repeated (the table's columnar form is kept in memory);
//   - a whole `kv_estv --informe` process against that statistic;
//   - the rebuild KV_RECONS_ESTV at low and high cardinality (L sale lines,
//     default 1.2 million).
// Plain SQLite runs the same statements on copies of the tables whose text
// columns compare as bytes. Ratios are server / SQLite, from CPU time (the
// machine is shared); wall times are printed too.
//
//   bench_rendimiento [filas] [lineas] [grupos]

#include <sqlite3.h>

#include <sys/resource.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

#include "ComunBench.h"
#include "db/Conexion.h"
#include "db/Recordset.h"
#include "localserver/ServidorEmbebido.h"
#include "localserver/demo/DatosDemo.h"
#include "localserver/erp/EsquemaERP.h"
#include "localserver/rapida/RutaAgregacion.h"
#include "localserver/rapida/TablaColumnar.h"
#include "localserver/tsql/Funciones.h"
#include "localserver/tsql/Traduccion.h"
#include "stats/AlmacenEstadisticas.h"
#include "stats/Catalogo.h"
#include "stats/ConsultaCarga.h"
#include "stats/Definicion.h"
#include "util/KvError.h"

namespace {

using kv::bench::Lote;
using kv::bench::Recorrer;
using kv::bench::SegundosCPU;
using kv::bench::Sqlite;

const char* const kEstadistica = "Vendedores por Familia";

double CPUHijos() {
    rusage r{};
    getrusage(RUSAGE_CHILDREN, &r);
    return double(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
           double(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

struct Medida {
    double pared = 0;
    double cpu = 0;
};

struct Reloj {
    QElapsedTimer t;
    double cpu0;
    Reloj() : cpu0(SegundosCPU()) { t.start(); }
    Medida Fin() const { return {double(t.nsecsElapsed()) / 1e9, SegundosCPU() - cpu0}; }
};

void Linea(const char* trabajo, const Medida& servidor, const Medida& sqlite) {
    std::printf("%-34s %9.3f %9.3f %9.3f %9.3f %8.2f %8.2f\n", trabajo, servidor.pared, servidor.cpu,
                sqlite.pared, sqlite.cpu, servidor.cpu / sqlite.cpu, servidor.pared / sqlite.pared);
    std::fflush(stdout);
}

// A measure of `trabajo`, wall and CPU.
template <typename F>
Medida Medir(F&& trabajo) {
    Reloj r;
    trabajo();
    return r.Fin();
}

// The statement as SQLite runs it for the server, on the plain copy.
QByteArray Plano(const QString& tsql, const QString& tabla, const QString& copia) {
    QString sql = kv::local::TraducirLote(tsql).front().sql;
    sql.replace(QStringLiteral(" COLLATE KV"), QString());
    sql.replace(tabla, copia);
    return sql.toUtf8();
}

qint64 Directo(sqlite3* db, const QByteArray& sql) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "SQLite: %s\n%s\n", sqlite3_errmsg(db), sql.constData());
        return -1;
    }
    qint64 n = 0;
    double suma = 0;
    const int columnas = sqlite3_column_count(st);
    while (sqlite3_step(st) == SQLITE_ROW) {
        for (int i = 0; i < columnas; ++i) {
            if (sqlite3_column_type(st, i) == SQLITE_TEXT)
                suma += sqlite3_column_bytes(st, i);
            else
                suma += sqlite3_column_double(st, i);
        }
        ++n;
    }
    sqlite3_finalize(st);
    (void)suma;
    return n;
}

QString Texto(sqlite3* db, const char* sql) {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
    QString r;
    if (st && sqlite3_step(st) == SQLITE_ROW)
        r = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    return r;
}

const char* const kCrearPlano =
    "CREATE TABLE %1 (Base TEXT NOT NULL, Fecha TEXT NOT NULL, Grupo1 TEXT NOT NULL, Grupo2 TEXT NOT NULL, "
    "Grupo3 TEXT NOT NULL, Consumo REAL, ValorCosto REAL, ValorVenta REAL, "
    "PRIMARY KEY (Base, Fecha, Grupo1, Grupo2, Grupo3))";

// Month text, keys cut to 25 and a blank when empty, as the rebuild stores them.
QByteArray ClavePlana(const char* columna) {
    return QByteArray("CASE WHEN rtrim(coalesce(") + columna + ", '')) = '' THEN ' ' ELSE substr(" + columna +
           ", 1, 25) END";
}

struct Reconstruccion {
    const char* tabla;
    const char* campos;
    const char* claves[3];  // plain SQLite's expressions for the three levels
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const qint64 filas = argc > 1 ? QString::fromLocal8Bit(argv[1]).toLongLong() : 2000000;
    const qint64 lineas = argc > 2 ? QString::fromLocal8Bit(argv[2]).toLongLong() : 1200000;
    const qint64 grupos = argc > 3 ? QString::fromLocal8Bit(argv[3]).toLongLong() : 60000;
    QTemporaryDir carpeta;
    const QString ruta = carpeta.path() + QLatin1Char('/');
    qputenv("KVESTV_DATOS", carpeta.path().toLocal8Bit());
    qputenv("KVESTV_CARPETA", carpeta.path().toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    kv::local::RegistrarServidorEmbebido();
    kv::local::demo::RegistrarProcedimientoDemo();
    const QString programa = QCoreApplication::applicationDirPath() + QStringLiteral("/kv_estv");

    QFile cargaMedia(QStringLiteral("/proc/loadavg"));
    if (cargaMedia.open(QIODevice::ReadOnly)) {
        std::printf("carga de la máquina al empezar: %s", cargaMedia.readAll().constData());
        cargaMedia.close();
    }

    // The demo's companies, store and saved statistics, made by the viewer itself.
    {
        QProcess demo;
        demo.start(programa, {QStringLiteral("--demo"), QStringLiteral("--lineas"), QStringLiteral("2000")});
        demo.waitForFinished(600000);
        if (demo.exitCode() != 0) {
            std::fprintf(stderr, "kv_estv --demo falló: %s\n", demo.readAllStandardError().constData());
            return 1;
        }
    }
    try {
        sqlite3* almacen = nullptr;
        sqlite3_open((ruta + QStringLiteral("KV_ESTADISTICAS.db")).toUtf8().constData(), &almacen);
        kv::local::RegistrarFuncionesTSQL(almacen);
        sqlite3_busy_timeout(almacen, 60000);
        const QString tabla =
            Texto(
                almacen,
                (QByteArray("SELECT Tabla FROM CAB_ESTV WHERE Nombre = '") + kEstadistica + "'").constData())
                .trimmed();
        QElapsedTimer t;
        t.start();
        kv::bench::LlenarEstadistica(almacen, tabla, filas, std::max<qint64>(1, grupos / 24));
        std::printf("estadística \"%s\" (%s): %lld filas escritas en %.1f s\n", kEstadistica,
                    tabla.toUtf8().constData(), static_cast<long long>(filas),
                    double(t.nsecsElapsed()) / 1e9);

        // The plain copy: same rows, text compared as bytes.
        sqlite3* plano = nullptr;
        sqlite3_open((ruta + QStringLiteral("plano.db")).toUtf8().constData(), &plano);
        kv::local::RegistrarFuncionesTSQL(plano);  // kv_div and friends; the copy's columns have no collation
        Sqlite(plano, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;");
        Sqlite(plano, QString::fromLatin1(kCrearPlano).arg(QStringLiteral("DET")).toUtf8().constData());
        Sqlite(plano, ("ATTACH '" + ruta.toUtf8() + "KV_ESTADISTICAS.db' AS almacen").constData());
        Sqlite(plano,
               ("INSERT INTO DET SELECT Base, Fecha, Grupo1, Grupo2, Grupo3, Consumo, ValorCosto, ValorVenta "
                "FROM almacen." +
                tabla.toUtf8())
                   .constData());
        Sqlite(plano, "DETACH almacen");

        // The load as the window builds it: both companies, every month, by sale value.
        kv::stats::EntradaCarga entrada;
        entrada.tabla = tabla;
        entrada.titulos = {QStringLiteral("Vendedor"), QStringLiteral("Familia"),
                           kv::stats::TituloNivelVacio(2)};
        entrada.empresas = {QStringLiteral("NORTE"), QStringLiteral("SUR")};
        entrada.mesDesde = QStringLiteral("1/2025");
        entrada.mesHasta = QStringLiteral("12/2026");
        kv::stats::MarcarOrden(entrada.orden, kv::stats::IndiceOrden(QStringLiteral("Venta")), true);
        QString error;
        const QString where = kv::stats::ClausulaWhere(entrada, error);
        const QString grafico = kv::stats::ConsultaGrafico(
            tabla, where, kv::stats::ClausulaOrderBy(entrada.orden, entrada.ascendente));
        const QString grilla = kv::stats::ConsultaGrilla(tabla, entrada.titulos, where);
        const QByteArray graficoPlano = Plano(grafico, tabla, QStringLiteral("DET"));
        const QByteArray grillaPlana = Plano(grilla, tabla, QStringLiteral("DET"));

        kv::db::Conexion c;
        c.SetCommandTimeout(0);
        c.Open(QStringLiteral("PROVIDER=SQLOLEDB;Server=EMBEBIDO;Database =KV_ESTADISTICAS;UId=%1;Pwd=%2;")
                   .arg(QLatin1String(kv::stats::kUsuarioAlmacen), QLatin1String(kv::stats::kClaveAlmacen)));
        // Warm the file cache for both sides.
        Directo(plano, graficoPlano);
        kv::local::rapida::ActivarRutaAgregacion(false);
        const qint64 leidos = Recorrer(c, grafico);

        std::printf("\n%-34s %9s %9s %9s %9s %8s %8s\n",
                    ("trabajo (grupos: " + QByteArray::number(leidos) + ")").constData(), "serv. s",
                    "serv. CPU", "SQLite s", "SQL. CPU", "razón", "r. pared");
        const Medida sqGrafico = Medir([&] { Directo(plano, graficoPlano); });
        const Medida sqGrilla = Medir([&] { Directo(plano, grillaPlana); });
        const Medida sqAmbas{sqGrafico.pared + sqGrilla.pared, sqGrafico.cpu + sqGrilla.cpu};
        const Medida general = Medir([&] {
            Recorrer(c, grafico);
            Recorrer(c, grilla);
        });
        Linea("gráfico + grilla, ruta general", general, sqAmbas);
        kv::local::rapida::ActivarRutaAgregacion(true);
        kv::local::rapida::CacheColumnar::Global().Vaciar();
        const Medida grafico1 = Medir([&] { Recorrer(c, grafico); });
        const Medida grilla1 = Medir([&] { Recorrer(c, grilla); });
        Linea("consulta del gráfico, 1.ª carga", grafico1, sqGrafico);
        Linea("consulta de la grilla (tras él)", grilla1, sqGrilla);
        Linea("gráfico + grilla, 1.ª carga", {grafico1.pared + grilla1.pared, grafico1.cpu + grilla1.cpu},
              sqAmbas);
        const Medida repetida = Medir([&] {
            Recorrer(c, grafico);
            Recorrer(c, grilla);
        });
        Linea("gráfico + grilla, carga repetida", repetida, sqAmbas);
        c.Close();

        // A whole headless report, start to end, against SQLite's time for its two queries.
        {
            const QString traza = ruta + QStringLiteral("traza.jsonl");
            QStringList argumentos = {
                QStringLiteral("--informe"),
                QString::fromUtf8(kEstadistica),
                QStringLiteral("--desde"),
                QStringLiteral("1/2025"),
                QStringLiteral("--hasta"),
                QStringLiteral("12/2026"),
                QStringLiteral("--empresas"),
                QStringLiteral("NORTE,SUR"),
                QStringLiteral("--salida"),
                ruta + QStringLiteral("informe.txt"),
                QStringLiteral("@Server=EMBEBIDO; @DbName=NORTE; @Usuario=NORTE; @Password=NORTE;")};
            Medida proceso;
            for (int vuelta = 0; vuelta < 2; ++vuelta) {
                QFile::remove(traza);
                QProcess p;
                QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
                entorno.insert(QStringLiteral("KVESTV_TRAZA_SQL"), traza);
                p.setProcessEnvironment(entorno);
                const double cpu0 = CPUHijos();
                QElapsedTimer reloj;
                reloj.start();
                p.start(programa, argumentos);
                p.waitForFinished(600000);
                proceso = {double(reloj.nsecsElapsed()) / 1e9, CPUHijos() - cpu0};
                if (p.exitCode() != 0) {
                    std::fprintf(stderr, "kv_estv --informe terminó con %d: %s\n", p.exitCode(),
                                 p.readAllStandardError().constData());
                    return 1;
                }
            }
            // The report's own two load statements, from its trace.
            QFile f(traza);
            f.open(QIODevice::ReadOnly);
            Medida sqInforme;
            for (const QByteArray& linea : f.readAll().split('\n')) {
                const QString sql =
                    QJsonDocument::fromJson(linea).object().value(QStringLiteral("sql")).toString();
                if (!sql.contains(QStringLiteral("GROUP BY"))) continue;
                const QByteArray plana = Plano(sql, tabla, QStringLiteral("DET"));
                const Medida m = Medir([&] { Directo(plano, plana); });
                sqInforme.pared += m.pared;
                sqInforme.cpu += m.cpu;
            }
            Linea("proceso --informe entero", proceso, sqInforme);
        }

        // The rebuild: a company with L sale lines, two statistics.
        kv::db::Conexion a;
        kv::bench::CrearEmpresa(a, QStringLiteral("BANCO"));
        Lote(a, QStringLiteral("EXEC KV_DEMO_LLENAR 7, %1, 0, '12/2026'").arg(lineas));
        const Reconstruccion casos[] = {
            {"DET_ESTV9001", "IdVendedor,IdFamilia,' '", {"s.IdVendedor", "a.IdFamilia", nullptr}},
            {"DET_ESTV9002", "IdArticulo,Cuenta,IdVendedor", {"s.IdArticulo", "s.Cuenta", "s.IdVendedor"}},
        };
        Lote(a, QStringLiteral("USE KV_ESTADISTICAS"));
        for (const Reconstruccion& k : casos) {
            Lote(a, kv::stats::SentenciaCrearTablaEstadistica(QLatin1String(k.tabla)));
            Lote(a, QStringLiteral("INSERT INTO CAB_ESTV (NOMBRE, TABLA, CAMPOS) VALUES ('%1', '%1', '%2')")
                        .arg(QLatin1String(k.tabla),
                             QString::fromLatin1(k.campos).replace(QLatin1String("'"), QLatin1String("''"))));
        }
        Lote(a, QStringLiteral("USE BANCO"));
        // Plain copies of the sale lines and articles.
        Sqlite(plano, ("ATTACH '" + ruta.toUtf8() + "BANCO.db' AS banco").constData());
        Sqlite(plano,
               "CREATE TABLE MV_STOCK AS SELECT Fecha, TipoMovimiento, IdArticulo, IdVendedor, Cuenta, "
               "Cantidad, "
               "CostoUnitario, PrecioUnitario FROM banco.MV_STOCK");
        Sqlite(plano, "CREATE TABLE MA_ARTICULOS (IdArticulo TEXT PRIMARY KEY, IdFamilia TEXT)");
        Sqlite(plano, "INSERT INTO MA_ARTICULOS SELECT IdArticulo, IdFamilia FROM banco.MA_ARTICULOS");
        Sqlite(plano, "DETACH banco");
        std::printf("\nreconstrucción de %lld líneas de venta\n", static_cast<long long>(lineas));
        for (const Reconstruccion& k : casos) {
            Sqlite(plano, QString::fromLatin1(kCrearPlano).arg(QLatin1String(k.tabla)).toUtf8().constData());
            QByteArray niveles[3];
            for (int n = 0; n < 3; ++n)
                niveles[n] = k.claves[n] ? ClavePlana(k.claves[n]) : QByteArray("' '");
            const QByteArray insertar =
                "INSERT INTO " + QByteArray(k.tabla) +
                " SELECT 'BANCO', mes, g1, g2, g3, sum(Cantidad), round(sum(Cantidad * CostoUnitario), 4), "
                "round(sum(Cantidad * PrecioUnitario), 4) FROM (SELECT CAST(CAST(substr(s.Fecha, 6, 2) AS "
                "INTEGER) AS "
                "TEXT) || '/' || substr(s.Fecha, 1, 4) AS mes, " +
                niveles[0] + " AS g1, " + niveles[1] + " AS g2, " + niveles[2] +
                " AS g3, s.Cantidad, s.CostoUnitario, s.PrecioUnitario FROM MV_STOCK s LEFT JOIN "
                "MA_ARTICULOS a ON "
                "a.IdArticulo = s.IdArticulo WHERE s.TipoMovimiento = 'VTA') GROUP BY mes, g1, g2, g3";
            const QByteArray borrar = "DELETE FROM " + QByteArray(k.tabla);
            const QString exec = QStringLiteral("EXEC KV_RECONS_ESTV '', '%1'").arg(QLatin1String(k.tabla));
            const auto enSqlite = [&] {
                Sqlite(plano, "BEGIN");
                Sqlite(plano, borrar.constData());
                Sqlite(plano, insertar.constData());
                Sqlite(plano, "COMMIT");
            };
            // Once each to warm, then timed.
            Lote(a, exec);
            enSqlite();
            const Medida servidor = Medir([&] { Lote(a, exec); });
            const Medida sqlite = Medir(enSqlite);
            const QString grupos =
                Texto(almacen, ("SELECT count(*) FROM " + QByteArray(k.tabla)).constData());
            const QString gruposPlano =
                Texto(plano, ("SELECT count(*) FROM " + QByteArray(k.tabla)).constData());
            const QByteArray titulo = QByteArray(k.campos) + " (" + grupos.toUtf8() + " grupos)";
            Linea(titulo.constData(), servidor, sqlite);
            if (grupos != gruposPlano)
                std::printf(
                    "  (SQLite escribe %s grupos: sin la colación, claves que ella iguala son distintas)\n",
                    gruposPlano.toUtf8().constData());
        }
        sqlite3_close(plano);
        sqlite3_close(almacen);
    } catch (const kv::KvExcepcion& e) {
        std::fprintf(stderr, "error: %s\n", e.error().descripcion.toUtf8().constData());
        return 1;
    } catch (const kv::local::ErrorTSQL& e) {
        std::fprintf(stderr, "error de traducción: %s\n", e.what());
        return 1;
    }
    if (cargaMedia.open(QIODevice::ReadOnly)) {
        std::printf("\ncarga de la máquina al terminar: %s", cargaMedia.readAll().constData());
    }
    return 0;
}
