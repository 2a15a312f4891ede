// Times the load's chart and grid queries on a statistic table of N rows
// through the whole client stack (Conexion, T-SQL front end, Recordset) and the
// same SQLite text straight through the sqlite3 C API on the same file, with the
// same collation, and prints both times and their ratio.
// Usage: bench_servidor [filas] (default 2,000,000)
//        bench_servidor --identidad [filas] (default 1,000,000): times a bulk
//        insert into a table with an IDENTITY column, in one INSERT ... SELECT
//        and in single-row INSERT statements, through the whole stack.

#include <sqlite3.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

#include "ComunBench.h"
#include "db/Conexion.h"
#include "db/Recordset.h"
#include "localserver/ServidorEmbebido.h"
#include "localserver/tsql/Funciones.h"
#include "localserver/tsql/Traduccion.h"

namespace {

constexpr int kMeses = 24;
constexpr int kEmpresas = 2;
constexpr int kRepeticiones = 3;
const char* const kTabla = "DET_ESTV0000";

QString Mes(int i) { return QStringLiteral("%1/%2").arg(i % 12 + 1).arg(2023 + i / 12); }

QString CrearTabla() {
    const QString t = QString::fromLatin1(kTabla);
    return QStringList{QStringLiteral("CREATE TABLE [dbo].[") + t + QStringLiteral("] ("),
                       QStringLiteral(" [Base] [nvarchar] (50) NOT NULL , "),
                       QStringLiteral(" [Fecha] [nvarchar] (7) NOT NULL ,"),
                       QStringLiteral(" [Grupo1] [nvarchar] (25) NOT NULL ,"),
                       QStringLiteral(" [Grupo2] [nvarchar] (25) NOT NULL ,"),
                       QStringLiteral(" [Grupo3] [nvarchar] (25) NOT NULL ,"),
                       QStringLiteral(" [Consumo] [float] NULL ,"),
                       QStringLiteral(" [ValorCosto] [money] NULL ,"),
                       QStringLiteral(" [ValorVenta] [money] NULL"),
                       QStringLiteral(" ) ON [PRIMARY]"),
                       QStringLiteral("ALTER TABLE [dbo].[") + t + QStringLiteral("] WITH NOCHECK ADD"),
                       QStringLiteral(" CONSTRAINT [PK_") + t + QStringLiteral("] PRIMARY KEY  NONCLUSTERED"),
                       QStringLiteral(" ("),
                       QStringLiteral(" [Base],"),
                       QStringLiteral(" [Fecha],"),
                       QStringLiteral(" [Grupo1],"),
                       QStringLiteral(" [Grupo2],"),
                       QStringLiteral(" [Grupo3]"),
                       QStringLiteral(" )  ON [PRIMARY]")}
        .join(QStringLiteral("\r\n"));
}

// The WHERE clause as the load builds it: both companies, every month of the data.
QString Donde() {
    QString w = QStringLiteral(" Where (BASE ='E1' OR BASE ='E2' ) ");
    for (int i = 0; i < kMeses; ++i)
        w += (i == 0 ? QStringLiteral(" AND (FECHA ='") : QStringLiteral(" OR FECHA ='")) + Mes(i) +
             QStringLiteral("' ");
    return w + QStringLiteral(") ");
}

QString ConsultaGrafico() {
    return QStringLiteral(
               "SELECT SUM(CONSUMO) AS CONSUMO, SUM(VALORCOSTO) AS VALORCOSTO, SUM(VALORVENTA) AS "
               "VALORVENTA,grupo1,grupo2,grupo3 FROM ") +
           QString::fromLatin1(kTabla) + QStringLiteral(" ") + Donde() +
           QStringLiteral(" GROUP BY GRUPO1, GRUPO2, GRUPO3 ") + QStringLiteral(" ORDER BY ValorVenta DESC");
}

QString ConsultaGrilla() {
    return QStringLiteral("SELECT BASE,grupo1 AS [Artículo] ,grupo2 AS [Grupo2],grupo3 AS [Grupo3],") +
           QStringLiteral("SUM(convert(money,CONSUMO)*-1) AS CONSUMO, ") +
           QStringLiteral("SUM(VALORCOSTO*-1) AS VALORCOSTO, ") +
           QStringLiteral("SUM(VALORVENTA*-1) AS VALORVENTA ,") +
           QStringLiteral(
               "case when SUM(valorcosto)=0 then 100 else (((SUM(VALORVENTA*-1)-SUM(VALORCOSTO*-1))/"
               "SUM(VALORCOSTO*-1))*100) end AS UTL_COSTOPorc, ") +
           QStringLiteral(
               "case when SUM(valorventa)=0 then 100 else (((SUM(VALORVENTA*-1)-SUM(VALORCOSTO*-1))/"
               "SUM(VALORVENTA*-1))*100) end AS UTL_VENTAPorc, ") +
           QStringLiteral("SUM(((VALORVENTA*-1)-(VALORCOSTO*-1))) AS UTILIDAD") + QStringLiteral(" FROM ") +
           QString::fromLatin1(kTabla) + QStringLiteral(" ") + Donde() +
           QStringLiteral(" GROUP BY BASE, GRUPO1, GRUPO2, GRUPO3 ORDER BY  GRUPO1, GRUPO2,GRUPO3");
}

bool Llenar(const QString& ruta, qint64 filas, int articulos) {
    sqlite3* db = nullptr;
    if (sqlite3_open(ruta.toUtf8().constData(), &db) != SQLITE_OK) return false;
    kv::local::RegistrarFuncionesTSQL(db);
    sqlite3_busy_timeout(db, 10000);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    const QByteArray sql = QStringLiteral("INSERT INTO %1 VALUES (?1, ?2, ?3, ' ', ' ', ?4, ?5, ?6)")
                               .arg(QString::fromLatin1(kTabla))
                               .toUtf8();
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "%s\n", sqlite3_errmsg(db));
        return false;
    }
    quint32 semilla = 12345;
    auto azar = [&semilla]() {
        semilla = semilla * 1103515245u + 12345u;
        return (semilla >> 8) % 100000u;
    };
    // Every article appears; companies and months fill in as the rows allow.
    for (qint64 i = 0; i < filas; ++i) {
        const int a = static_cast<int>(i % articulos);
        const int e = static_cast<int>((i / articulos) % kEmpresas);
        const int m = static_cast<int>((i / (static_cast<qint64>(articulos) * kEmpresas)) % kMeses);
        const QByteArray articulo = QStringLiteral("ART%1").arg(a, 6, 10, QLatin1Char('0')).toUtf8();
        const QByteArray empresa = QStringLiteral("E%1").arg(e + 1).toUtf8();
        const QByteArray mes = Mes(m).toUtf8();
        sqlite3_bind_text(st, 1, empresa.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, mes.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 3, articulo.constData(), -1, SQLITE_TRANSIENT);
        const double cantidad = -static_cast<double>(azar() % 50 + 1);
        const double costo = -static_cast<double>(azar()) / 100.0;
        sqlite3_bind_double(st, 4, cantidad);
        sqlite3_bind_double(st, 5, costo);
        sqlite3_bind_double(st, 6, costo * 1.3);
        if (sqlite3_step(st) != SQLITE_DONE) {
            std::fprintf(stderr, "%s\n", sqlite3_errmsg(db));
            return false;
        }
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return true;
}

// The whole stack: client layer, front end, recordset, and a walk over every field.
double PorLaPila(kv::db::Conexion& c, const QString& sql, qint64* filas) {
    QElapsedTimer reloj;
    reloj.start();
    *filas = kv::bench::Recorrer(c, sql);
    return static_cast<double>(reloj.nsecsElapsed()) / 1e9;
}

// The same SQLite text straight on the file.
double Directo(sqlite3* db, const QString& sqlite, qint64* filas) {
    QElapsedTimer reloj;
    reloj.start();
    sqlite3_stmt* st = nullptr;
    const QByteArray t = sqlite.toUtf8();
    if (sqlite3_prepare_v2(db, t.constData(), -1, &st, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "%s\n", sqlite3_errmsg(db));
        return -1;
    }
    qint64 n = 0;
    double suma = 0;
    const int columnas = sqlite3_column_count(st);
    while (sqlite3_step(st) == SQLITE_ROW) {
        for (int i = 0; i < columnas; ++i) {
            if (sqlite3_column_type(st, i) == SQLITE_FLOAT)
                suma += sqlite3_column_double(st, i);
            else if (sqlite3_column_type(st, i) == SQLITE_TEXT)
                suma += sqlite3_column_bytes(st, i);
        }
        ++n;
    }
    sqlite3_finalize(st);
    *filas = n;
    (void)suma;
    return static_cast<double>(reloj.nsecsElapsed()) / 1e9;
}

// Bulk insert into a table whose key is an IDENTITY column, as the demo's sale
// lines are: the counter is advanced once per row.
int Identidad(qint64 filas) {
    QTemporaryDir carpeta;
    qputenv("KVESTV_DATOS", carpeta.path().toUtf8());
    kv::local::RegistrarServidorEmbebido();
    kv::db::Conexion c;
    c.Open(QStringLiteral("PROVIDER=SQLOLEDB;Server=EMBEBIDO;Database =master;UId=Korvane;Pwd=pelumbo;"));
    c.SetCommandTimeout(0);
    c.Execute(QStringLiteral("CREATE DATABASE MASIVA"));
    c.Execute(QStringLiteral("USE MASIVA"));
    c.Execute(QStringLiteral("CREATE TABLE D (N int NOT NULL)"));
    c.Execute(
        QStringLiteral("CREATE TABLE L (Id int IDENTITY (1, 1) NOT NULL, N int NOT NULL, "
                       "Texto nvarchar(20) NULL, CONSTRAINT PK_L PRIMARY KEY (Id))"));
    // Ten digits crossed with themselves give the rows without a loop on the client.
    for (int i = 0; i < 10; ++i) c.Execute(QStringLiteral("INSERT INTO D (N) VALUES (%1)").arg(i));
    QStringList fuentes, condiciones;
    qint64 producto = 1;
    int k = 0;
    while (producto < filas) {
        fuentes << QStringLiteral("D d%1").arg(k);
        producto *= 10;
        ++k;
    }
    if (fuentes.isEmpty()) fuentes << QStringLiteral("D d0");
    QElapsedTimer reloj;
    reloj.start();
    c.Execute(QStringLiteral("INSERT INTO L (N, Texto) SELECT TOP %1 d0.N, 'línea' FROM %2")
                  .arg(filas)
                  .arg(fuentes.join(QStringLiteral(", "))));
    const double masivo = reloj.elapsed() / 1000.0;
    const qint64 sueltas = std::min<qint64>(filas, 20000);
    reloj.restart();
    c.Execute(QStringLiteral("BEGIN TRANSACTION"));
    for (qint64 i = 0; i < sueltas; ++i)
        c.Execute(QStringLiteral("INSERT INTO L (N, Texto) VALUES (%1, 'suelta')").arg(i));
    c.Execute(QStringLiteral("COMMIT TRANSACTION"));
    const double unaAUna = reloj.elapsed() / 1000.0;
    kv::db::Recordset r;
    r.Open(QStringLiteral("SELECT count(*), max(Id) FROM L"), &c);
    std::printf("INSERT ... SELECT de %lld filas con identidad: %.3f s (%.0f filas/s)\n",
                static_cast<long long>(filas), masivo, filas / std::max(masivo, 1e-9));
    std::printf("%lld INSERT de una fila con identidad: %.3f s (%.0f filas/s)\n",
                static_cast<long long>(sueltas), unaAUna, sueltas / std::max(unaAUna, 1e-9));
    std::printf("filas en la tabla %lld, identidad máxima %lld\n", r.Valor(0).toLongLong(),
                r.Valor(1).toLongLong());
    return r.Valor(0).toLongLong() == filas + sueltas && r.Valor(1).toLongLong() == filas + sueltas ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc > 1 && QString::fromLocal8Bit(argv[1]) == QLatin1String("--identidad")) {
        const qint64 filas = argc > 2 ? QString::fromLocal8Bit(argv[2]).toLongLong() : 1000000;
        if (filas <= 0) {
            std::fprintf(stderr, "uso: bench_servidor --identidad [filas]\n");
            return 2;
        }
        return Identidad(filas);
    }
    const qint64 filas = argc > 1 ? QString::fromLocal8Bit(argv[1]).toLongLong() : 2000000;
    if (filas <= 0) {
        std::fprintf(stderr, "uso: bench_servidor [filas]\n");
        return 2;
    }
    const int articulos =
        static_cast<int>(std::max<qint64>(20000, (filas + kEmpresas * kMeses - 1) / (kEmpresas * kMeses)));
    QTemporaryDir carpeta;
    qputenv("KVESTV_DATOS", carpeta.path().toUtf8());
    kv::local::RegistrarServidorEmbebido();

    kv::db::Conexion c;
    c.Open(QStringLiteral("PROVIDER=SQLOLEDB;Server=EMBEBIDO;Database =master;UId=Korvane;Pwd=pelumbo;"));
    c.SetCommandTimeout(0);
    c.Execute(QStringLiteral("Create Database KV_ESTADISTICAS"));
    c.Execute(QStringLiteral("USE KV_ESTADISTICAS"));
    c.Execute(CrearTabla());

    const QString ruta = carpeta.path() + QStringLiteral("/KV_ESTADISTICAS.db");
    QElapsedTimer reloj;
    reloj.start();
    if (!Llenar(ruta, filas, articulos)) return 1;
    std::printf("tabla de %lld filas (%d empresas, %d meses, %d artículos) llenada en %.1f s\n",
                static_cast<long long>(filas), kEmpresas, kMeses, articulos, reloj.elapsed() / 1000.0);

    sqlite3* db = nullptr;
    sqlite3_open_v2(ruta.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    kv::local::RegistrarFuncionesTSQL(db);

    struct Caso {
        const char* nombre;
        QString sql;
    };
    const Caso casos[] = {{"gráfico", ConsultaGrafico()}, {"grilla", ConsultaGrilla()}};
    double totalPila = 0, totalDirecto = 0;
    for (const Caso& caso : casos) {
        const QString sqlite = kv::local::TraducirLote(caso.sql).front().sql;
        double mejorPila = 1e30, mejorDirecto = 1e30;
        qint64 nPila = 0, nDirecto = 0;
        for (int i = 0; i < kRepeticiones; ++i) {
            mejorDirecto = std::min(mejorDirecto, Directo(db, sqlite, &nDirecto));
            mejorPila = std::min(mejorPila, PorLaPila(c, caso.sql, &nPila));
        }
        totalPila += mejorPila;
        totalDirecto += mejorDirecto;
        std::printf(
            "consulta %-8s filas %8lld | pila completa %7.3f s | sqlite3 directo %7.3f s | relación %.3f\n",
            caso.nombre, static_cast<long long>(nPila), mejorPila, mejorDirecto, mejorPila / mejorDirecto);
        if (nPila != nDirecto)
            std::printf("  ¡distinto número de filas! directo %lld\n", static_cast<long long>(nDirecto));
    }
    std::printf("total: pila completa %.3f s, sqlite3 directo %.3f s, relación %.3f (%+.1f %%)\n", totalPila,
                totalDirecto, totalPila / totalDirecto, (totalPila / totalDirecto - 1.0) * 100.0);
    sqlite3_close(db);
    return 0;
}
