// KV_RECONS_ESTV as the viewer calls it: EXEC on a connection to the company
// database of the embedded server, with the company's own login, over the demo
// data; the rows it writes are compared with sums taken from MV_STOCK by a
// plain GROUP BY through the server.

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <QMap>
#include <QString>
#include <cmath>

#include "db/Conexion.h"
#include "localserver/ServidorEmbebido.h"
#include "localserver/demo/DatosDemo.h"
#include "localserver/erp/EsquemaERP.h"
#include "localserver/procedimientos/ReconsEstv.h"
#include "localserver/tsql/Funciones.h"
#include "soporte/CarpetasTemporales.h"

namespace {

QString Cadena(const QString& base, const QString& usuario, const QString& clave) {
    return QStringLiteral("PROVIDER=SQLOLEDB;Server=EMBEBIDO;Database =%1;UId=%2;Pwd=%3;")
        .arg(base, usuario, clave);
}

// Runs a batch and fails the test on any statement error.
std::vector<kv::db::ResultadoSentencia> Lote(kv::db::Conexion& c, const QString& sql) {
    auto r = c.EjecutarLote(sql);
    for (const auto& s : r)
        EXPECT_FALSE(s.error.has_value()) << sql.toStdString() << ": " << s.error->descripcion.toStdString();
    return r;
}

struct Sumas {
    double consumo = 0, costo = 0, venta = 0;
};

// Key "Base|Fecha|Grupo1|Grupo2" -> sums, from a result with those columns first.
QMap<QString, Sumas> Leer(const kv::db::ResultadoSentencia& r) {
    QMap<QString, Sumas> m;
    for (const auto& f : r.filas) {
        const QString clave = f[0].toString().toUpper() + QLatin1Char('|') + f[1].toString() +
                              QLatin1Char('|') + f[2].toString().trimmed().toUpper() + QLatin1Char('|') +
                              f[3].toString().trimmed().toUpper();
        m[clave] = Sumas{f[4].toDouble(), f[5].toDouble(), f[6].toDouble()};
    }
    return m;
}

class ReconsServidor : public ::testing::Test {
  protected:
    void SetUp() override {
        kv::local::RegistrarServidorEmbebido();
        kv::local::RegistrarReconsEstv();
        kv::local::demo::RegistrarProcedimientoDemo();
        admin.SetCommandTimeout(0);
        admin.Open(Cadena(QStringLiteral("master"), QStringLiteral("Korvane"), QStringLiteral("pelumbo")));
        for (const char* empresa : {"NORTE", "SUR"}) {
            const QString e = QLatin1String(empresa);
            Lote(admin, QStringLiteral("CREATE DATABASE ") + e);
            Lote(admin, QStringLiteral("USE ") + e);
            kv::local::CrearEsquemaERP(admin);
            Lote(admin, QStringLiteral("EXEC sp_addlogin N'%1', '%1', '%1'").arg(e));
            Lote(admin, QStringLiteral("EXEC sp_grantdbaccess @loginame = '%1' , @name_in_db ='%1'").arg(e));
            Lote(admin, QStringLiteral("EXEC sp_addrolemember N'db_owner', N'%1'").arg(e));
            Lote(admin, QStringLiteral("EXEC KV_DEMO_LLENAR 11, %1, %2, '6/2026'")
                            .arg(e == QLatin1String("NORTE") ? 3000 : 1000)
                            .arg(e == QLatin1String("NORTE") ? 0 : 1));
        }
        Lote(admin, QStringLiteral("CREATE DATABASE KV_ESTADISTICAS"));
        Lote(admin, QStringLiteral("USE KV_ESTADISTICAS"));
        Lote(admin,
             QStringLiteral("CREATE TABLE CAB_ESTV (Codigo int IDENTITY (1, 1) NOT NULL PRIMARY KEY, Nombre "
                            "nvarchar(50) NULL, Tabla nvarchar(50) NULL, Campos nvarchar(500) NULL, Orden "
                            "nvarchar(50) NULL, Totalizadores nvarchar(50) NULL, [TOP] int NULL, TopOtros "
                            "nvarchar(50) NULL)"));
        for (const char* tabla : {"DET_ESTV0000", "DET_ESTV0001"}) {
            Lote(admin, QStringLiteral(
                            "CREATE TABLE %1 (Base nvarchar(50) NOT NULL, Fecha nvarchar(7) NOT NULL, "
                            "Grupo1 nvarchar(25) NOT NULL, Grupo2 nvarchar(25) NOT NULL, Grupo3 "
                            "nvarchar(25) NOT NULL, Consumo float NULL, ValorCosto money NULL, ValorVenta "
                            "money NULL, PRIMARY KEY (Base, Fecha, Grupo1, Grupo2, Grupo3))")
                            .arg(QLatin1String(tabla)));
        }
        Lote(admin,
             QStringLiteral("INSERT INTO CAB_ESTV (Nombre, Tabla, Campos) VALUES ('Ventas por Artículo', "
                            "'DET_ESTV0000', 'IdArticulo,'' '','' ''')"));
        Lote(admin,
             QStringLiteral("INSERT INTO CAB_ESTV (Nombre, Tabla, Campos) VALUES ('Vendedores por Familia', "
                            "'DET_ESTV0001', 'IdVendedor,IdFamilia,'' ''')"));
    }

    // The sums straight from the sale lines, added up here line by line.
    QMap<QString, Sumas> Esperado(const QString& empresa, bool porFamilia) {
        kv::db::Conexion c;
        c.Open(Cadena(empresa, empresa, empresa));
        const auto r = Lote(
            c, QStringLiteral("SELECT s.Fecha, s.IdArticulo, s.IdVendedor, a.IdFamilia, s.Cantidad, "
                              "s.CostoUnitario, s.PrecioUnitario FROM MV_STOCK s LEFT JOIN MA_ARTICULOS a "
                              "ON a.IdArticulo = s.IdArticulo WHERE s.TipoMovimiento = 'VTA'"));
        QMap<QString, Sumas> m;
        if (r.empty()) return m;
        for (const auto& f : r.back().filas) {
            const QString fecha = f[0].toString();  // stored as "YYYY-MM-DD HH:MM:SS"
            const QString mes = QString::number(fecha.mid(5, 2).toInt()) + QLatin1Char('/') + fecha.left(4);
            const QString g1 = (porFamilia ? f[2] : f[1]).toString().trimmed().toUpper();
            const QString g2 = porFamilia ? f[3].toString().trimmed().toUpper() : QString();
            Sumas& s = m[empresa + QLatin1Char('|') + mes + QLatin1Char('|') + g1 + QLatin1Char('|') + g2];
            const double cantidad = f[4].toDouble();
            s.consumo += cantidad;
            s.costo += cantidad * f[5].toDouble();
            s.venta += cantidad * f[6].toDouble();
        }
        return m;
    }

    QMap<QString, Sumas> Guardado(const QString& tabla, const QString& empresa) {
        Lote(admin, QStringLiteral("USE KV_ESTADISTICAS"));
        const auto r =
            Lote(admin, QStringLiteral("SELECT Base, Fecha, Grupo1, Grupo2, Consumo, ValorCosto, ValorVenta "
                                       "FROM %1 WHERE Base = '%2'")
                            .arg(tabla, empresa));
        return r.empty() ? QMap<QString, Sumas>() : Leer(r.back());
    }

    void Comparar(const QMap<QString, Sumas>& esperado, const QMap<QString, Sumas>& guardado) {
        ASSERT_FALSE(esperado.isEmpty());
        ASSERT_EQ(esperado.size(), guardado.size());
        for (auto it = esperado.begin(); it != esperado.end(); ++it) {
            ASSERT_TRUE(guardado.contains(it.key())) << it.key().toStdString();
            const Sumas& g = guardado[it.key()];
            EXPECT_NEAR(g.consumo, it->consumo, 1e-9) << it.key().toStdString();
            EXPECT_NEAR(g.costo, std::round(it->costo * 10000) / 10000, 1e-4) << it.key().toStdString();
            EXPECT_NEAR(g.venta, std::round(it->venta * 10000) / 10000, 1e-4) << it.key().toStdString();
        }
    }

    kv::pruebas::CarpetasTemporales carpetas;
    kv::db::Conexion admin;
};

TEST_F(ReconsServidor, ConElUsuarioDeLaEmpresaReconstruyeLasDosEstadisticas) {
    for (const char* empresa : {"NORTE", "SUR"}) {
        const QString e = QLatin1String(empresa);
        kv::db::Conexion c;
        c.SetCommandTimeout(720);
        c.Open(Cadena(e, e, e));
        Lote(c, QStringLiteral("EXEC KV_RECONS_ESTV '',''"));
    }
    for (const char* empresa : {"NORTE", "SUR"}) {
        const QString e = QLatin1String(empresa);
        Comparar(Esperado(e, false), Guardado(QStringLiteral("DET_ESTV0000"), e));
        Comparar(Esperado(e, true), Guardado(QStringLiteral("DET_ESTV0001"), e));
    }

    // Taking NORTE out leaves SUR's rows.
    kv::db::Conexion norte;
    norte.Open(Cadena(QStringLiteral("NORTE"), QStringLiteral("NORTE"), QStringLiteral("NORTE")));
    Lote(norte, QStringLiteral("EXEC KV_RECONS_ESTV '*',''"));
    EXPECT_TRUE(Guardado(QStringLiteral("DET_ESTV0000"), QStringLiteral("NORTE")).isEmpty());
    EXPECT_TRUE(Guardado(QStringLiteral("DET_ESTV0001"), QStringLiteral("NORTE")).isEmpty());
    EXPECT_FALSE(Guardado(QStringLiteral("DET_ESTV0000"), QStringLiteral("SUR")).isEmpty());
}

TEST_F(ReconsServidor, UnaTablaSolaYUnaTablaDesconocida) {
    kv::db::Conexion c;
    c.Open(Cadena(QStringLiteral("SUR"), QStringLiteral("SUR"), QStringLiteral("SUR")));
    Lote(c, QStringLiteral("EXEC KV_RECONS_ESTV '','DET_ESTV0001'"));
    EXPECT_TRUE(Guardado(QStringLiteral("DET_ESTV0000"), QStringLiteral("SUR")).isEmpty());
    Comparar(Esperado(QStringLiteral("SUR"), true),
             Guardado(QStringLiteral("DET_ESTV0001"), QStringLiteral("SUR")));

    const auto r = c.EjecutarLote(QStringLiteral("EXEC KV_RECONS_ESTV '','DET_ESTV0099'"));
    ASSERT_FALSE(r.empty());
    ASSERT_TRUE(r.back().error.has_value());
    EXPECT_EQ(r.back().error->errorNativo, 50000);
}

// With ('', '') a table that cannot be rebuilt does not stop the others, and the
// error names it with its cause.
TEST_F(ReconsServidor, LaTablaQueFallaSeNombraConSuCausa) {
    Lote(admin, QStringLiteral("USE KV_ESTADISTICAS"));
    Lote(admin,
         QStringLiteral("CREATE TABLE DET_ESTV0002 (Base nvarchar(50) NOT NULL, Fecha nvarchar(7) NOT NULL, "
                        "Grupo1 nvarchar(25) NOT NULL, Grupo2 nvarchar(25) NOT NULL, Grupo3 nvarchar(25) NOT "
                        "NULL, Consumo float NULL, ValorCosto money NULL, ValorVenta money NULL, Extra int "
                        "NOT NULL)"));
    Lote(admin, QStringLiteral("INSERT INTO CAB_ESTV (Nombre, Tabla, Campos) VALUES ('Rota', 'DET_ESTV0002', "
                               "'IdArticulo,'' '','' ''')"));
    kv::db::Conexion c;
    c.SetCommandTimeout(720);
    c.Open(Cadena(QStringLiteral("SUR"), QStringLiteral("SUR"), QStringLiteral("SUR")));
    const auto r = c.EjecutarLote(QStringLiteral("EXEC KV_RECONS_ESTV '',''"));
    ASSERT_FALSE(r.empty());
    ASSERT_TRUE(r.back().error.has_value());
    EXPECT_EQ(r.back().error->errorNativo, 50000);
    EXPECT_EQ(
        r.back().error->descripcion,
        QStringLiteral("KV_RECONS_ESTV: no se pudieron reconstruir las tablas DET_ESTV0002 (No se puede "
                       "insertar el valor NULL en la columna 'Extra', tabla 'DET_ESTV0002'. La columna no "
                       "admite valores NULL. Error de INSERT.)."));
    // The other two tables were rebuilt all the same.
    Comparar(Esperado(QStringLiteral("SUR"), false),
             Guardado(QStringLiteral("DET_ESTV0000"), QStringLiteral("SUR")));
    Comparar(Esperado(QStringLiteral("SUR"), true),
             Guardado(QStringLiteral("DET_ESTV0001"), QStringLiteral("SUR")));
}

// The statistic tables the server makes from the viewer's CREATE TABLE are of
// the shape the quick writer knows: their rows go in without the per-row
// normalization, a table holding one company is emptied at once, and what is
// written is what the plain writer writes, row for row.
TEST_F(ReconsServidor, LasTablasDelServidorVanPorLaEscrituraRapida) {
    sqlite3* empresa = nullptr;
    sqlite3* almacen = nullptr;
    ASSERT_EQ(sqlite3_open((carpetas.datos() + QStringLiteral("SUR.db")).toUtf8().constData(), &empresa),
              SQLITE_OK);
    ASSERT_EQ(sqlite3_open((carpetas.datos() + QStringLiteral("KV_ESTADISTICAS.db")).toUtf8().constData(),
                           &almacen),
              SQLITE_OK);
    kv::local::RegistrarFuncionesTSQL(empresa);
    kv::local::RegistrarFuncionesTSQL(almacen);
    sqlite3_busy_timeout(almacen, 5000);
    auto volcado = [&] {
        QStringList filas;
        sqlite3_stmt* s = nullptr;
        EXPECT_EQ(
            sqlite3_prepare_v2(almacen, "SELECT rowid, * FROM DET_ESTV0001 ORDER BY rowid", -1, &s, nullptr),
            SQLITE_OK);
        while (sqlite3_step(s) == SQLITE_ROW) {
            QStringList f;
            for (int i = 0; i < sqlite3_column_count(s); ++i)
                f << QString::number(sqlite3_column_type(s, i)) + QLatin1Char(':') +
                         QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, i)));
            filas << f.join(QLatin1Char('|'));
        }
        sqlite3_finalize(s);
        return filas;
    };
    const auto definicion =
        kv::local::DefinicionAgrupacion::DesdeCampos(QStringLiteral("IdVendedor,IdFamilia,' '"));
    const auto primera = kv::local::ReconstruirTabla(empresa, almacen, QStringLiteral("SUR"),
                                                     QStringLiteral("DET_ESTV0001"), definicion);
    EXPECT_TRUE(primera.sinNormalizar);
    EXPECT_GT(primera.filasInsertadas, 0);
    const auto segunda = kv::local::ReconstruirTabla(empresa, almacen, QStringLiteral("SUR"),
                                                     QStringLiteral("DET_ESTV0001"), definicion);
    EXPECT_TRUE(segunda.sinNormalizar);
    EXPECT_TRUE(segunda.tablaVaciada);
    EXPECT_EQ(segunda.filasBorradas, primera.filasInsertadas);
    const QStringList rapida = volcado();
    kv::local::ActivarEscrituraRapida(false);
    const auto general = kv::local::ReconstruirTabla(empresa, almacen, QStringLiteral("SUR"),
                                                     QStringLiteral("DET_ESTV0001"), definicion);
    kv::local::ActivarEscrituraRapida(true);
    EXPECT_FALSE(general.sinNormalizar);
    EXPECT_EQ(general.filasBorradas, primera.filasInsertadas);
    const QStringList plana = volcado();
    sqlite3_close(empresa);
    sqlite3_close(almacen);
    ASSERT_EQ(rapida.size(), primera.filasInsertadas);
    EXPECT_EQ(rapida, plana);
    // And the server reads what was written.
    Comparar(Esperado(QStringLiteral("SUR"), true),
             Guardado(QStringLiteral("DET_ESTV0001"), QStringLiteral("SUR")));
}

}  // namespace
