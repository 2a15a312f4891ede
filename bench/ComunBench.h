#pragma once
// Small pieces shared by the timing programs.

#include <sqlite3.h>
#include <sys/resource.h>

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <cstdio>

#include <QElapsedTimer>

#include "db/Conexion.h"
#include "db/DB_Dll.h"
#include "db/Recordset.h"
#include "localserver/erp/EsquemaERP.h"
#include "localserver/tsql/Funciones.h"
#include "stats/AlmacenEstadisticas.h"
#include "stats/ConsultaCarga.h"

namespace kv::bench {

// Runs a batch and reports, without stopping, any statement that failed.
inline void Lote(kv::db::Conexion& c, const QString& sql) {
    for (const auto& r : c.EjecutarLote(sql))
        if (r.error) std::fprintf(stderr, "aviso: %s\n", r.error->descripcion.toUtf8().constData());
}

// CPU seconds of this process: the machine may be busy with other work, and
// both paths run here, so CPU time compares them fairly.
inline double SegundosCPU() {
    rusage r{};
    getrusage(RUSAGE_SELF, &r);
    return double(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
           double(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

// Runs SQL straight on SQLite; reports a failure and answers false.
inline bool Sqlite(sqlite3* db, const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "SQLite: %s\n", error ? error : "?");
        sqlite3_free(error);
        return false;
    }
    return true;
}

// A client's walk over every field of a query's recordset; gives the rows read.
inline qint64 Recorrer(kv::db::Conexion& c, const QString& sql) {
    kv::db::Recordset rs;
    rs.Open(sql, &c, 0, 1);
    qint64 n = 0;
    double suma = 0;
    while (!rs.EOF_()) {
        for (int i = 0; i < rs.FieldCount(); ++i) {
            const QVariant v = rs.Valor(i);
            if (v.typeId() == QMetaType::Double) suma += v.toDouble();
        }
        ++n;
        rs.MoveNext();
    }
    rs.Close();
    (void)suma;
    return n;
}

// Fills a statistic table with raw inserts: two companies, 24 months, and in
// every (company, month) up to `articulos` x 24 distinct (article, seller)
// groups, one row each, as the rebuild leaves them.
inline void LlenarEstadistica(sqlite3* db, const QString& tabla, qint64 filas, qint64 articulos) {
    constexpr int kVendedores = 24;
    Sqlite(db, "PRAGMA cache_size = -262144");
    Sqlite(db, "BEGIN");
    Sqlite(db, ("DELETE FROM " + tabla.toUtf8()).constData());
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db,
                       ("INSERT INTO " + tabla.toUtf8() +
                        " (Base, Fecha, Grupo1, Grupo2, Grupo3, Consumo, ValorCosto, ValorVenta) "
                        "VALUES (?1, ?2, ?3, ?4, ' ', ?5, ?6, ?7)")
                           .constData(),
                       -1, &s, nullptr);
    const char* empresas[] = {"NORTE", "SUR"};
    const qint64 porMes = (filas + 47) / 48;
    qint64 escritas = 0;
    for (int e = 0; e < 2 && escritas < filas; ++e) {
        for (int m = 0; m < 24 && escritas < filas; ++m) {
            const QByteArray mes = QByteArray::number((m % 12) + 1) + "/" + QByteArray::number(2025 + m / 12);
            for (qint64 i = 0; i < porMes && escritas < filas; ++i, ++escritas) {
                const qint64 articulo = (i * 7919 + m * 31 + e) % articulos;
                const qint64 vendedor = (i / articulos + m) % kVendedores;
                const QByteArray g1 = "ART" + QByteArray::number(articulo).rightJustified(5, '0');
                const QByteArray g2 = "V" + QByteArray::number(vendedor + 1).rightJustified(2, '0');
                const double cantidad = -double(1 + (i * 13 + m) % 40);
                const double costo = cantidad * double(100 + articulo % 900);
                sqlite3_bind_text(s, 1, empresas[e], -1, SQLITE_STATIC);
                sqlite3_bind_text(s, 2, mes.constData(), int(mes.size()), SQLITE_TRANSIENT);
                sqlite3_bind_text(s, 3, g1.constData(), int(g1.size()), SQLITE_TRANSIENT);
                sqlite3_bind_text(s, 4, g2.constData(), int(g2.size()), SQLITE_TRANSIENT);
                sqlite3_bind_double(s, 5, cantidad);
                sqlite3_bind_double(s, 6, costo);
                sqlite3_bind_double(s, 7, costo * 1.35);
                if (sqlite3_step(s) != SQLITE_DONE) {
                    std::fprintf(stderr, "SQLite: %s\n", sqlite3_errmsg(db));
                    break;
                }
                sqlite3_reset(s);
            }
        }
    }
    sqlite3_finalize(s);
    Sqlite(db, "COMMIT");
}

// A new company database on the embedded server with the ERP's tables, made
// through the administrator's connection `c`, which is left in it.
inline void CrearEmpresa(kv::db::Conexion& c, const QString& base) {
    c.SetCommandTimeout(0);
    c.Open(QStringLiteral("PROVIDER=SQLOLEDB;Server=EMBEBIDO;Database =master;UId=Korvane;Pwd=pelumbo;"));
    // A folder kept between runs has the company of the last one: made again.
    Lote(c, QStringLiteral("IF DB_ID('%1') IS NOT NULL DROP DATABASE %1").arg(base));
    Lote(c, QStringLiteral("CREATE DATABASE ") + base);
    Lote(c, QStringLiteral("USE ") + base);
    kv::local::CrearEsquemaERP(c);
}

// Articles of the load's statistic (by 24 sellers).
inline constexpr int kArticulosCarga = 20000;
inline const char* const kTablaCarga = "DET_ESTV0000";

// The statistics store with one statistic table by article and seller of
// `filas` rows, made through the administrator's connection `c` (left in the
// store) and written straight into the file in `carpeta`.
inline void CrearAlmacenConEstadistica(kv::db::Conexion& c, const QString& carpeta, qint64 filas) {
    for (const QString& s : kv::stats::SentenciasCreacionAlmacen()) Lote(c, s);
    Lote(c, QStringLiteral("USE KV_ESTADISTICAS"));
    Lote(c, kv::stats::SentenciaCrearTablaEstadistica(QLatin1String(kTablaCarga)));
    sqlite3* db = nullptr;
    sqlite3_open((carpeta + QStringLiteral("/KV_ESTADISTICAS.db")).toUtf8().constData(), &db);
    kv::local::RegistrarFuncionesTSQL(db);
    sqlite3_busy_timeout(db, 60000);
    QElapsedTimer t;
    t.start();
    LlenarEstadistica(db, QLatin1String(kTablaCarga), filas, kArticulosCarga);
    std::printf("tabla de %lld filas escrita en %.1f s\n", static_cast<long long>(filas),
                double(t.nsecsElapsed()) / 1e9);
    sqlite3_close(db);
}

// A DB_Dll connection to the embedded server, without a time-out.
inline void AbrirConexion(kv::db::DB_Dll& d, const QString& base, const QString& usuario, const QString& clave) {
    d.gProveedor = kv::db::DB_Dll::pSQLOLEDB();
    d.gServidor = QStringLiteral("EMBEBIDO");
    d.gDBName = base;
    d.gUsuario = usuario;
    d.gUserPassWord = clave;
    d.OpenServerADODB(false, 3, QString(), false, true);
    d.gCnn.SetCommandTimeout(0);
}

// The load of that statistic as the main window asks for it: both companies,
// two years, TOP 10 with the rest as "Otros".
inline kv::stats::EntradaCarga EntradaDeCarga() {
    kv::stats::EntradaCarga entrada;
    entrada.tabla = QLatin1String(kTablaCarga);
    entrada.titulos = {QStringLiteral("Artículo"), QStringLiteral("Vendedor"), kv::stats::TituloNivelVacio(2)};
    entrada.top = QStringLiteral("10");
    entrada.topOtros = QStringLiteral("Otros");
    entrada.empresas = {QStringLiteral("NORTE"), QStringLiteral("SUR")};
    entrada.mesDesde = QStringLiteral("1/2025");
    entrada.mesHasta = QStringLiteral("12/2026");
    entrada.hoy = QDate(2026, 12, 15);
    return entrada;
}

}  // namespace kv::bench
