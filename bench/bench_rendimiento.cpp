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
// A column store answers the same two queries on the same rows (DuckDB from
// npm, installed on first use into bench/duckdb-node; skipped with a message
// when npm cannot install it), and the load's times are compared with its own
// in wall time, as a user waits for them: a first load from the table's file
// beside the database (what a new process finds), a whole --informe process
// and a repeated load.
//
// With --demo N the load is the article x seller statistic of a demonstration
// of N sale lines made by `kv_estv --demo` (over its last twelve months), kept
// in the folder of --carpeta for later runs; without it, a table of `filas`
// rows in `grupos` groups written directly.
//
// With --solo-rapida only the aggregation route's loads are timed (the first
// from the table's file, then five repeated ones), for profiling them.
//
//   bench_rendimiento [--demo N] [--carpeta CARPETA] [--sin-duckdb] [--solo-rapida] [filas] [lineas] [grupos]

#include <sqlite3.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <cstdio>

#include "ComunBench.h"
#include "db/Conexion.h"
#include "db/Recordset.h"
#include "localserver/ServidorEmbebido.h"
#include "localserver/demo/DatosDemo.h"
#include "localserver/erp/EsquemaERP.h"
#include "localserver/procedimientos/ReconsEstv.h"
#include "localserver/rapida/ArchivoColumnar.h"
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
// The statistic the demonstration mode adds: article x seller.
const char* const kEstadisticaDemo = "Artículos por Vendedor";
const char* const kTablaDemo = "DET_ESTV9101";

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

// The least CPU of `veces` runs, with that run's wall time: a shared machine
// only ever adds to a run's time.
template <typename F>
Medida MejorDe(int veces, F&& trabajo) {
    Medida mejor = Medir(trabajo);
    for (int i = 1; i < veces; ++i) {
        const Medida m = Medir(trabajo);
        if (m.cpu < mejor.cpu) mejor = m;
    }
    return mejor;
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

// A child process run to its end, with its own peak of resident memory.
struct Proceso {
    Medida medida;
    long memoriaKB = 0;
    int estado = -1;
};

Proceso Ejecutar(const QString& programa, const QStringList& argumentos, const QString& salidaErrores) {
    std::vector<QByteArray> textos{QFile::encodeName(programa)};
    for (const QString& a : argumentos) textos.push_back(a.toUtf8());
    std::vector<char*> argv;
    for (QByteArray& t : textos) argv.push_back(t.data());
    argv.push_back(nullptr);
    const QByteArray errores = QFile::encodeName(salidaErrores);
    Proceso r;
    QElapsedTimer reloj;
    reloj.start();
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (FILE* f = std::freopen(errores.constData(), "w", stderr)) (void)f;
        if (FILE* f = std::freopen("/dev/null", "w", stdout)) (void)f;
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int estado = 0;
    rusage uso{};
    ::wait4(pid, &estado, 0, &uso);
    r.medida.pared = double(reloj.nsecsElapsed()) / 1e9;
    r.medida.cpu = double(uso.ru_utime.tv_sec + uso.ru_stime.tv_sec) +
                   double(uso.ru_utime.tv_usec + uso.ru_stime.tv_usec) / 1e6;
    r.memoriaKB = uso.ru_maxrss;
    r.estado = WIFEXITED(estado) ? WEXITSTATUS(estado) : -1;
    return r;
}

QString Carga() {
    QFile f(QStringLiteral("/proc/loadavg"));
    if (!f.open(QIODevice::ReadOnly)) return QString();
    return QString::fromLatin1(f.readAll()).section(QLatin1Char(' '), 0, 2);
}

// The T-SQL of a load as a column store takes it: quoted names, money as a
// decimal of four places.
QString ParaColumnas(QString sql, const QString& tabla) {
    sql.replace(QRegularExpression(QStringLiteral("\\[([^\\]]*)\\]")), QStringLiteral("\"\\1\""));
    sql.replace(QRegularExpression(QStringLiteral("convert\\(money,\\s*([A-Za-z_]+)\\)"),
                                   QRegularExpression::CaseInsensitiveOption),
                QStringLiteral("CAST(\\1 AS DECIMAL(19,4))"));
    sql.replace(
        QRegularExpression(QStringLiteral("\\b") + QRegularExpression::escape(tabla) + QStringLiteral("\\b")),
        QStringLiteral("DET"));
    return sql;
}

// The plain copy's rows as tab-separated text; money with its four places.
bool ExportarTabla(sqlite3* plano, const QString& ruta) {
    QFile f(ruta);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(plano,
                       "SELECT Base, Fecha, Grupo1, Grupo2, Grupo3, Consumo, ValorCosto, ValorVenta FROM DET",
                       -1, &st, nullptr);
    QByteArray linea;
    char numero[64];
    while (st && sqlite3_step(st) == SQLITE_ROW) {
        linea.clear();
        for (int i = 0; i < 8; ++i) {
            if (i) linea += '\t';
            if (i < 5) {
                linea += reinterpret_cast<const char*>(sqlite3_column_text(st, i));
            } else if (sqlite3_column_type(st, i) != SQLITE_NULL) {
                std::snprintf(numero, sizeof numero, i == 5 ? "%.17g" : "%.4f", sqlite3_column_double(st, i));
                linea += numero;
            }
        }
        linea += '\n';
        f.write(linea);
    }
    sqlite3_finalize(st);
    return true;
}

// The column store's times for the two queries: first round and best round.
struct Referencia {
    bool hay = false;
    QString motivo;
    int hilos = 0;
    double primera = 0, mejor = 0, carga = 0;
    qint64 filas[2] = {};
};

Referencia DuckDB(const QString& carpetaScript, const QString& tsv, const QString& grafico,
                  const QString& grilla, int hilos) {
    Referencia r;
    r.hilos = hilos;
    if (!QFile::exists(carpetaScript + QStringLiteral("/node_modules/@duckdb/node-api/package.json"))) {
        QProcess npm;
        npm.setWorkingDirectory(carpetaScript);
        npm.start(QStringLiteral("npm"), {QStringLiteral("install"), QStringLiteral("--no-audit"),
                                          QStringLiteral("--no-fund"), QStringLiteral("--loglevel=error")});
        if (!npm.waitForFinished(600000) || npm.exitCode() != 0) {
            r.motivo = QStringLiteral("npm no pudo instalar @duckdb/node-api en %1 (%2)")
                           .arg(carpetaScript,
                                QString::fromLocal8Bit(npm.readAllStandardError()).trimmed().left(200));
            return r;
        }
    }
    QProcess node;
    node.start(QStringLiteral("node"), {carpetaScript + QStringLiteral("/consultas.mjs"), tsv, grafico,
                                        grilla, QString::number(hilos), QStringLiteral("5")});
    if (!node.waitForFinished(600000) || node.exitCode() != 0) {
        r.motivo = QStringLiteral("node no respondió: ") +
                   QString::fromLocal8Bit(node.readAllStandardError()).trimmed().left(400);
        return r;
    }
    const QJsonObject o = QJsonDocument::fromJson(node.readAllStandardOutput().trimmed()).object();
    const QJsonArray medidas = o.value(QStringLiteral("medidas")).toArray();
    if (medidas.isEmpty()) {
        r.motivo = QStringLiteral("node no dio tiempos");
        return r;
    }
    r.mejor = 1e9;
    for (int i = 0; i < medidas.size(); ++i) {
        const QJsonObject m = medidas[i].toObject();
        const double t =
            m.value(QStringLiteral("grafico")).toDouble() + m.value(QStringLiteral("grilla")).toDouble();
        if (i == 0) r.primera = t;
        r.mejor = std::min(r.mejor, t);
    }
    r.carga = o.value(QStringLiteral("carga")).toDouble();
    const QJsonArray filas = o.value(QStringLiteral("filas")).toArray();
    r.filas[0] = filas.size() > 0 ? filas[0].toInteger() : 0;
    r.filas[1] = filas.size() > 1 ? filas[1].toInteger() : 0;
    r.hay = true;
    return r;
}

void LineaDuckDB(const char* trabajo, double servidor, double duckdb, const char* meta) {
    std::printf("%-40s %9.3f %9.3f %8.2f   %s\n", trabajo, servidor, duckdb, servidor / duckdb, meta);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    qint64 lineasDemo = 0;
    QString carpetaDemo;
    bool conDuckDB = true;
    bool soloRapida = false;
    QStringList posicionales;
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--demo") && i + 1 < args.size())
            lineasDemo = args[++i].toLongLong();
        else if (args[i] == QLatin1String("--carpeta") && i + 1 < args.size())
            carpetaDemo = args[++i];
        else if (args[i] == QLatin1String("--sin-duckdb"))
            conDuckDB = false;
        else if (args[i] == QLatin1String("--solo-rapida"))
            soloRapida = true;
        else
            posicionales << args[i];
    }
    const qint64 filas = posicionales.size() > 0 ? posicionales[0].toLongLong() : 2000000;
    const qint64 lineas = posicionales.size() > 1 ? posicionales[1].toLongLong() : 1200000;
    const qint64 grupos = posicionales.size() > 2 ? posicionales[2].toLongLong() : 60000;
    QTemporaryDir temporal;
    if (!carpetaDemo.isEmpty()) QDir().mkpath(carpetaDemo);
    const QString carpeta = carpetaDemo.isEmpty() ? temporal.path() : QDir(carpetaDemo).absolutePath();
    const QString ruta = carpeta + QLatin1Char('/');
    qputenv("KVESTV_DATOS", carpeta.toLocal8Bit());
    qputenv("KVESTV_CARPETA", carpeta.toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    kv::local::RegistrarServidorEmbebido();
    kv::local::demo::RegistrarProcedimientoDemo();
    kv::local::RegistrarReconsEstv();
    const QString programa = QCoreApplication::applicationDirPath() + QStringLiteral("/kv_estv");
    const QString scriptDuckDB = QStringLiteral(KVESTV_FUENTES "/bench/duckdb-node");

    std::printf("carga de la máquina al empezar: %s (%d núcleos)\n", Carga().toUtf8().constData(),
                int(::sysconf(_SC_NPROCESSORS_ONLN)));
    const bool demo = lineasDemo > 0;
    const QString estadistica = QString::fromUtf8(demo ? kEstadisticaDemo : kEstadistica);

    // The demo's companies, store and saved statistics, made by the viewer itself.
    if (!QFile::exists(ruta + QStringLiteral("KV_ESTADISTICAS.db"))) {
        QElapsedTimer t;
        t.start();
        QProcess p;
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start(programa, {QStringLiteral("--demo"), QStringLiteral("--lineas"),
                           QString::number(demo ? lineasDemo : 2000)});
        p.waitForFinished(-1);
        if (p.exitCode() != 0) {
            std::fprintf(stderr, "kv_estv --demo falló\n");
            return 1;
        }
        if (demo)
            std::printf("kv_estv --demo --lineas %lld: %.1f s\n", static_cast<long long>(lineasDemo),
                        double(t.nsecsElapsed()) / 1e9);
    }
    try {
        QString mesDesde = QStringLiteral("1/2025"), mesHasta = QStringLiteral("12/2026");
        std::array<QString, 3> titulos = {QStringLiteral("Vendedor"), QStringLiteral("Familia"),
                                          kv::stats::TituloNivelVacio(2)};
        if (demo) {
            kv::db::Conexion a;
            a.SetCommandTimeout(0);
            a.Open(QStringLiteral(
                "PROVIDER=SQLOLEDB;Server=EMBEBIDO;Database =KV_ESTADISTICAS;UId=Korvane;Pwd=pelumbo;"));
            kv::db::Recordset rs;
            rs.Open(QStringLiteral("SELECT TABLA FROM CAB_ESTV WHERE NOMBRE = '%1'").arg(estadistica), &a, 0,
                    1);
            const bool existe = !rs.EOF_();
            rs.Close();
            if (!existe) {
                // Article x seller, with the order and TOP of the demo's first statistic.
                QElapsedTimer t;
                t.start();
                Lote(a, kv::stats::SentenciaCrearTablaEstadistica(QLatin1String(kTablaDemo)));
                Lote(a, QStringLiteral(
                            "INSERT INTO CAB_ESTV (NOMBRE,TABLA,CAMPOS,ORDEN,TOTALIZADORES,[TOP],TOPOTROS) "
                            "SELECT '%1', '%2', 'IdArticulo,IdVendedor,'' ''', ORDEN, TOTALIZADORES, "
                            "[TOP], TOPOTROS FROM CAB_ESTV WHERE NOMBRE = 'Ventas por Artículo'")
                            .arg(estadistica, QLatin1String(kTablaDemo)));
                for (const char* empresa : {"NORTE", "SUR"}) {
                    Lote(a, QStringLiteral("USE %1").arg(QLatin1String(empresa)));
                    Lote(a, QStringLiteral("EXEC KV_RECONS_ESTV '', '%1'").arg(QLatin1String(kTablaDemo)));
                }
                std::printf("estadística \"%s\" reconstruida en %.1f s\n", estadistica.toUtf8().constData(),
                            double(t.nsecsElapsed()) / 1e9);
            }
            a.Close();
            titulos = {QStringLiteral("Artículo"), QStringLiteral("Vendedor"),
                       kv::stats::TituloNivelVacio(2)};
        }

        sqlite3* almacen = nullptr;
        sqlite3_open((ruta + QStringLiteral("KV_ESTADISTICAS.db")).toUtf8().constData(), &almacen);
        kv::local::RegistrarFuncionesTSQL(almacen);
        sqlite3_busy_timeout(almacen, 60000);
        const QString tabla =
            Texto(almacen,
                  ("SELECT Tabla FROM CAB_ESTV WHERE Nombre = '" + estadistica.toUtf8() + "'").constData())
                .trimmed();
        if (demo) {
            // The last twelve months of the table.
            std::vector<std::pair<int, int>> meses;
            sqlite3_stmt* st = nullptr;
            sqlite3_prepare_v2(almacen, ("SELECT DISTINCT Fecha FROM " + tabla.toUtf8()).constData(), -1, &st,
                               nullptr);
            while (st && sqlite3_step(st) == SQLITE_ROW) {
                const auto m = kv::stats::LeerMes(
                    QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))));
                if (m) meses.emplace_back(m->anio, m->mes);
            }
            sqlite3_finalize(st);
            std::sort(meses.begin(), meses.end());
            if (meses.empty()) {
                std::fprintf(stderr, "la estadística %s está vacía\n", tabla.toUtf8().constData());
                return 1;
            }
            const auto& ultimo = meses.back();
            const auto& primero = meses[meses.size() > 12 ? meses.size() - 12 : 0];
            mesDesde = QStringLiteral("%1/%2").arg(primero.second).arg(primero.first);
            mesHasta = QStringLiteral("%1/%2").arg(ultimo.second).arg(ultimo.first);
            std::printf(
                "estadística \"%s\" (%s): %s filas, meses %s a %s\n", estadistica.toUtf8().constData(),
                tabla.toUtf8().constData(),
                Texto(almacen, ("SELECT count(*) FROM " + tabla.toUtf8()).constData()).toUtf8().constData(),
                mesDesde.toUtf8().constData(), mesHasta.toUtf8().constData());
        } else {
            QElapsedTimer t;
            t.start();
            kv::bench::LlenarEstadistica(almacen, tabla, filas, std::max<qint64>(1, grupos / 24));
            std::printf("estadística \"%s\" (%s): %lld filas escritas en %.1f s\n", kEstadistica,
                        tabla.toUtf8().constData(), static_cast<long long>(filas),
                        double(t.nsecsElapsed()) / 1e9);
        }

        // The plain copy: same rows, text compared as bytes (not needed for the
        // aggregation route's loads alone).
        sqlite3* plano = nullptr;
        if (!soloRapida) {
            for (const char* sufijo : {"", "-wal", "-shm"})
                QFile::remove(ruta + QStringLiteral("plano.db") + sufijo);
            sqlite3_open((ruta + QStringLiteral("plano.db")).toUtf8().constData(), &plano);
            kv::local::RegistrarFuncionesTSQL(
                plano);  // kv_div and friends; the copy's columns have no collation
            Sqlite(plano, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;");
            Sqlite(plano, QString::fromLatin1(kCrearPlano).arg(QStringLiteral("DET")).toUtf8().constData());
            Sqlite(plano, ("ATTACH '" + ruta.toUtf8() + "KV_ESTADISTICAS.db' AS almacen").constData());
            Sqlite(plano, ("INSERT INTO DET SELECT Base, Fecha, Grupo1, Grupo2, Grupo3, Consumo, ValorCosto, "
                           "ValorVenta "
                           "FROM almacen." +
                           tabla.toUtf8())
                              .constData());
            Sqlite(plano, "DETACH almacen");
        }

        // The load as the window builds it: both companies, the months, by sale value.
        kv::stats::EntradaCarga entrada;
        entrada.tabla = tabla;
        entrada.titulos = titulos;
        entrada.empresas = {QStringLiteral("NORTE"), QStringLiteral("SUR")};
        entrada.mesDesde = mesDesde;
        entrada.mesHasta = mesHasta;
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
        if (soloRapida) {
            auto& cache = kv::local::rapida::CacheColumnar::Global();
            cache.Vaciar();
            const auto medir = [&] {
                const Medida g = Medir([&] { Recorrer(c, grafico); });
                const Medida r = Medir([&] { Recorrer(c, grilla); });
                return std::make_pair(g, r);
            };
            const auto primera = medir();
            std::printf("1.ª carga (%s): gráfico %.3f s (CPU %.3f), grilla %.3f s (CPU %.3f)\n",
                        cache.Contadas().deArchivo > 0 ? "desde su archivo" : "desde las filas",
                        primera.first.pared, primera.first.cpu, primera.second.pared, primera.second.cpu);
            for (int vuelta = 0; vuelta < 5; ++vuelta) {
                const auto m = medir();
                std::printf("carga repetida: gráfico %.3f s (CPU %.3f), grilla %.3f s (CPU %.3f)\n",
                            m.first.pared, m.first.cpu, m.second.pared, m.second.cpu);
            }
            const auto cuentas = cache.Contadas();
            std::printf("formas columnares: %llu de memoria, %llu de su archivo, %llu de las filas\n",
                        static_cast<unsigned long long>(cuentas.deMemoria),
                        static_cast<unsigned long long>(cuentas.deArchivo),
                        static_cast<unsigned long long>(cuentas.deFilas));
            c.Close();
            sqlite3_close(plano);
            sqlite3_close(almacen);
            return 0;
        }
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
        auto& cache = kv::local::rapida::CacheColumnar::Global();
        const QString archivoForma =
            kv::local::rapida::ArchivoDeTabla(ruta + QStringLiteral("KV_ESTADISTICAS.db"), tabla);
        const auto ambas = [&] {
            const Medida g = Medir([&] { Recorrer(c, grafico); });
            const Medida r = Medir([&] { Recorrer(c, grilla); });
            return std::make_pair(g, r);
        };
        const auto suma = [](const std::pair<Medida, Medida>& m) {
            return Medida{m.first.pared + m.second.pared, m.first.cpu + m.second.cpu};
        };
        // From SQLite's rows, with no file beside the database.
        kv::local::rapida::ActivarArchivosColumnares(false);
        cache.Vaciar();
        const auto deFilas = ambas();
        Linea("consulta del gráfico, 1.ª carga", deFilas.first, sqGrafico);
        Linea("consulta de la grilla (tras él)", deFilas.second, sqGrilla);
        Linea("gráfico + grilla, 1.ª carga", suma(deFilas), sqAmbas);
        // The same, writing the table's file.
        kv::local::rapida::ActivarArchivosColumnares(true);
        cache.Vaciar();
        QFile::remove(archivoForma);
        const auto escrita = ambas();
        Linea("ídem, escribiendo su archivo", suma(escrita), sqAmbas);
        // What a new process finds: the file, and nothing in memory.
        cache.Vaciar();
        const auto antes = cache.Contadas();
        const auto deArchivo = ambas();
        const bool usoArchivo = cache.Contadas().deArchivo > antes.deArchivo;
        Linea(usoArchivo ? "gráfico + grilla, 1.ª desde archivo" : "gráfico + grilla, 1.ª (sin archivo)",
              suma(deArchivo), sqAmbas);
        const Medida repetida = Medir([&] {
            Recorrer(c, grafico);
            Recorrer(c, grilla);
        });
        Linea("gráfico + grilla, carga repetida", repetida, sqAmbas);
        c.Close();

        // A whole headless report, start to end, against SQLite's time for its two queries.
        Proceso informe;
        {
            const QString traza = ruta + QStringLiteral("traza.jsonl");
            const QStringList argumentos = {
                QStringLiteral("--informe"),
                estadistica,
                QStringLiteral("--desde"),
                mesDesde,
                QStringLiteral("--hasta"),
                mesHasta,
                QStringLiteral("--empresas"),
                QStringLiteral("NORTE,SUR"),
                QStringLiteral("--salida"),
                ruta + QStringLiteral("informe.txt"),
                QStringLiteral("@Server=EMBEBIDO; @DbName=NORTE; @Usuario=NORTE; @Password=NORTE;")};
            qputenv("KVESTV_TRAZA_SQL", QFile::encodeName(traza));
            for (int vuelta = 0; vuelta < 2; ++vuelta) {
                QFile::remove(traza);
                const Proceso p = Ejecutar(programa, argumentos, ruta + QStringLiteral("informe.err"));
                if (p.estado != 0) {
                    QFile e(ruta + QStringLiteral("informe.err"));
                    e.open(QIODevice::ReadOnly);
                    std::fprintf(stderr, "kv_estv --informe terminó con %d: %s\n", p.estado,
                                 e.readAll().constData());
                    return 1;
                }
                if (vuelta == 0 || p.medida.pared < informe.medida.pared) informe = p;
            }
            qunsetenv("KVESTV_TRAZA_SQL");
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
            Linea("proceso --informe entero", informe.medida, sqInforme);
            std::printf("  (memoria residente máxima del proceso: %.0f MB)\n",
                        double(informe.memoriaKB) / 1024.0);
        }

        // The column store on the same rows and the same two queries.
        if (conDuckDB) {
            const QString tsv = ruta + QStringLiteral("det.tsv");
            ExportarTabla(plano, tsv);
            const auto escribir = [&](const QString& nombre, const QString& sql) {
                QFile f(ruta + nombre);
                f.open(QIODevice::WriteOnly | QIODevice::Truncate);
                f.write(ParaColumnas(sql, tabla).toUtf8());
                return ruta + nombre;
            };
            const QString g = escribir(QStringLiteral("grafico.sql"), grafico);
            const QString r = escribir(QStringLiteral("grilla.sql"), grilla);
            const Referencia dos = DuckDB(scriptDuckDB, tsv, g, r, 2);
            const Referencia uno = dos.hay ? DuckDB(scriptDuckDB, tsv, g, r, 1) : dos;
            if (!dos.hay) {
                std::printf("\nDuckDB: se omite (%s)\n", dos.motivo.toUtf8().constData());
            } else {
                std::printf(
                    "\nDuckDB (tabla en memoria, filas entregadas al programa), gráfico + grilla: %.3f s "
                    "la 1.ª vuelta y %.3f s la mejor con 2 hilos; %.3f y %.3f con 1 (filas: %lld y %lld)\n",
                    dos.primera, dos.mejor, uno.primera, uno.mejor, static_cast<long long>(dos.filas[0]),
                    static_cast<long long>(dos.filas[1]));
                const double ref = dos.mejor;
                std::printf("\n%-40s %9s %9s %8s   %s\n", "frente a DuckDB, 2 hilos (pared, s)", "servidor",
                            "DuckDB", "razón", "meta");
                LineaDuckDB("gráfico + grilla, 1.ª carga desde filas", suma(deFilas).pared, ref, "");
                LineaDuckDB(usoArchivo ? "gráfico + grilla, 1.ª desde su archivo"
                                       : "gráfico + grilla, 1.ª (sin archivo)",
                            suma(deArchivo).pared, ref, "<= 0,5");
                LineaDuckDB("proceso --informe entero", informe.medida.pared, ref, "<= 1,2");
                LineaDuckDB("gráfico + grilla, carga repetida", repetida.pared, ref, "<= 0,2");
            }
        }

        // The rebuild: a company with L sale lines, two statistics (none with L = 0).
        if (lineas > 0) {
            kv::db::Conexion a;
            kv::bench::CrearEmpresa(a, QStringLiteral("BANCO"));
            Lote(a, QStringLiteral("EXEC KV_DEMO_LLENAR 7, %1, 0, '12/2026'").arg(lineas));
            const Reconstruccion casos[] = {
                {"DET_ESTV9001", "IdVendedor,IdFamilia,' '", {"s.IdVendedor", "a.IdFamilia", nullptr}},
                {"DET_ESTV9002",
                 "IdArticulo,Cuenta,IdVendedor",
                 {"s.IdArticulo", "s.Cuenta", "s.IdVendedor"}},
            };
            Lote(a, QStringLiteral("USE KV_ESTADISTICAS"));
            for (const Reconstruccion& k : casos) {
                Lote(a, QStringLiteral("IF OBJECT_ID('%1') IS NOT NULL DROP TABLE %1 DELETE FROM CAB_ESTV "
                                       "WHERE TABLA = '%1'")
                            .arg(QLatin1String(k.tabla)));
                Lote(a, kv::stats::SentenciaCrearTablaEstadistica(QLatin1String(k.tabla)));
                Lote(a,
                     QStringLiteral("INSERT INTO CAB_ESTV (NOMBRE, TABLA, CAMPOS) VALUES ('%1', '%1', '%2')")
                         .arg(QLatin1String(k.tabla), QString::fromLatin1(k.campos).replace(
                                                          QLatin1String("'"), QLatin1String("''"))));
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
            std::printf("\nreconstrucción de %lld líneas de venta (la mejor de tres vueltas de cada uno)\n",
                        static_cast<long long>(lineas));
            for (const Reconstruccion& k : casos) {
                Sqlite(plano,
                       QString::fromLatin1(kCrearPlano).arg(QLatin1String(k.tabla)).toUtf8().constData());
                QByteArray niveles[3];
                for (int n = 0; n < 3; ++n)
                    niveles[n] = k.claves[n] ? ClavePlana(k.claves[n]) : QByteArray("' '");
                const QByteArray insertar =
                    "INSERT INTO " + QByteArray(k.tabla) +
                    " SELECT 'BANCO', mes, g1, g2, g3, sum(Cantidad), round(sum(Cantidad * CostoUnitario), "
                    "4), "
                    "round(sum(Cantidad * PrecioUnitario), 4) FROM (SELECT CAST(CAST(substr(s.Fecha, 6, 2) "
                    "AS "
                    "INTEGER) AS "
                    "TEXT) || '/' || substr(s.Fecha, 1, 4) AS mes, " +
                    niveles[0] + " AS g1, " + niveles[1] + " AS g2, " + niveles[2] +
                    " AS g3, s.Cantidad, s.CostoUnitario, s.PrecioUnitario FROM MV_STOCK s LEFT JOIN "
                    "MA_ARTICULOS a ON "
                    "a.IdArticulo = s.IdArticulo WHERE s.TipoMovimiento = 'VTA') GROUP BY mes, g1, g2, g3";
                const QByteArray borrar = "DELETE FROM " + QByteArray(k.tabla);
                const QString exec =
                    QStringLiteral("EXEC KV_RECONS_ESTV '', '%1'").arg(QLatin1String(k.tabla));
                const auto enSqlite = [&] {
                    Sqlite(plano, "BEGIN");
                    Sqlite(plano, borrar.constData());
                    Sqlite(plano, insertar.constData());
                    Sqlite(plano, "COMMIT");
                };
                // Once each to warm, then the best of three, one after the other.
                Lote(a, exec);
                enSqlite();
                const Medida servidor = MejorDe(3, [&] { Lote(a, exec); });
                const Medida sqlite = MejorDe(3, enSqlite);
                const QString grupos =
                    Texto(almacen, ("SELECT count(*) FROM " + QByteArray(k.tabla)).constData());
                const QString gruposPlano =
                    Texto(plano, ("SELECT count(*) FROM " + QByteArray(k.tabla)).constData());
                const QByteArray titulo = QByteArray(k.campos) + " (" + grupos.toUtf8() + " grupos)";
                Linea(titulo.constData(), servidor, sqlite);
                if (grupos != gruposPlano)
                    std::printf(
                        "  (SQLite escribe %s grupos: sin la colación, claves que ella iguala son "
                        "distintas)\n",
                        gruposPlano.toUtf8().constData());
            }
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
    std::printf("\ncarga de la máquina al terminar: %s\n", Carga().toUtf8().constData());
    return 0;
}
