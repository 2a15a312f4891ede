// sql/KV_RECONS_ESTV.sql, the rebuild as a T-SQL procedure, installed unchanged
// (under another name) in the companies of the embedded server: it must leave
// the statistic tables exactly as the built-in KV_RECONS_ESTV leaves them, for
// the demo data and for hard data, and for its three uses.

#include <gtest/gtest.h>

#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QString>
#include <cmath>

#include "db/Conexion.h"
#include "localserver/ServidorEmbebido.h"
#include "localserver/demo/DatosDemo.h"
#include "localserver/erp/EsquemaERP.h"
#include "localserver/procedimientos/ReconsEstv.h"
#include "soporte/CarpetasTemporales.h"

namespace {

QString Cadena(const QString& base, const QString& usuario, const QString& clave) {
    return QStringLiteral("PROVIDER=SQLOLEDB;Server=EMBEBIDO;Database =%1;UId=%2;Pwd=%3;").arg(base, usuario, clave);
}

std::vector<kv::db::ResultadoSentencia> Lote(kv::db::Conexion& c, const QString& sql) {
    auto r = c.EjecutarLote(sql);
    for (const auto& s : r)
        EXPECT_FALSE(s.error.has_value()) << sql.left(300).toStdString() << ": " << s.error->descripcion.toStdString();
    return r;
}

// The script's batches, split at its GO lines as the SQL Server tools split them.
QStringList LotesDelGuion(const QString& nombre) {
    QFile f(QStringLiteral(KVESTV_FUENTES "/sql/KV_RECONS_ESTV.sql"));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    QString texto = QString::fromUtf8(f.readAll());
    // Installed beside the built-in, under another name.
    texto.replace(QStringLiteral("KV_RECONS_ESTV"), nombre);
    QStringList lotes;
    QString actual;
    static const QRegularExpression go(QStringLiteral("^\\s*GO\\s*$"), QRegularExpression::CaseInsensitiveOption);
    for (const QString& linea : texto.split(QLatin1Char('\n'))) {
        if (go.match(linea).hasMatch()) {
            if (!actual.trimmed().isEmpty()) lotes << actual;
            actual.clear();
        } else {
            actual += linea + QLatin1Char('\n');
        }
    }
    if (!actual.trimmed().isEmpty()) lotes << actual;
    return lotes;
}

const char* const kTablas[] = {"DET_ESTV0000", "DET_ESTV0001", "DET_ESTV0002", "DET_ESTV0003",
                               "DET_ESTV0004", "DET_ESTV0005"};
// Every field of the grouping catalog, three levels each, a filler and an unknown name.
const char* const kCampos[] = {"UNegocio,Fecha,IdArticulo",          "IdVendedor,CodigoBarra,CodigoBarraDUN",
                               "IdRubro,IdTipo,IdFamilia",           "IdCategoria,CodigoArtProveedor,CuentaProveedor",
                               "Cuenta, idarticulo ,'' ''",          "Inexistente,,IdFamilia"};

struct Fila {
    QVariant consumo, costo, venta;
};

// Key texts as the collation compares them: letter case and trailing blanks do not count.
QString Plegar(const QVariant& v) { return kv::local::PlegarClave(v.toString()); }

class ReconsGuion : public ::testing::Test {
  protected:
    void SetUp() override {
        kv::local::RegistrarServidorEmbebido();
        kv::local::RegistrarReconsEstv();
        kv::local::demo::RegistrarProcedimientoDemo();
        admin.SetCommandTimeout(0);
        admin.Open(Cadena(QStringLiteral("master"), QStringLiteral("Korvane"), QStringLiteral("pelumbo")));
        Lote(admin, QStringLiteral("CREATE DATABASE KV_ESTADISTICAS"));
        for (const char* empresa : {"NORTE", "SUR"}) {
            const QString e = QLatin1String(empresa);
            Lote(admin, QStringLiteral("CREATE DATABASE ") + e);
            Lote(admin, QStringLiteral("USE ") + e);
            kv::local::CrearEsquemaERP(admin);
            Lote(admin, QStringLiteral("EXEC sp_addlogin N'%1', '%1', '%1'").arg(e));
            Lote(admin, QStringLiteral("EXEC sp_grantdbaccess '%1'").arg(e));
            Lote(admin, QStringLiteral("EXEC sp_addrolemember N'db_owner', N'%1'").arg(e));
            // What the script's header asks of an administrator: the company's login reads
            // and writes the store.
            Lote(admin, QStringLiteral("USE KV_ESTADISTICAS EXEC sp_grantdbaccess '%1' EXEC sp_addrolemember "
                                       "'db_datareader', '%1' EXEC sp_addrolemember 'db_datawriter', '%1'")
                            .arg(e));
            Lote(admin, QStringLiteral("USE ") + e);
            Lote(admin, QStringLiteral("EXEC KV_DEMO_LLENAR 7, %1, %2, '6/2026'")
                            .arg(e == QLatin1String("NORTE") ? 2500 : 800)
                            .arg(e == QLatin1String("NORTE") ? 0 : 1));
            for (const QString& lote : LotesDelGuion(QStringLiteral("KV_RECONS_ESTV_SQL"))) Lote(admin, lote);
        }
        Lote(admin, QStringLiteral("USE KV_ESTADISTICAS"));
        Lote(admin, QStringLiteral(
                        "CREATE TABLE CAB_ESTV (Codigo int IDENTITY (1, 1) NOT NULL PRIMARY KEY, Nombre nvarchar(50) "
                        "NULL, Tabla nvarchar(50) NULL, Campos nvarchar(500) NULL, Orden nvarchar(50) NULL, "
                        "Totalizadores nvarchar(50) NULL, [TOP] int NULL, TopOtros nvarchar(50) NULL)"));
        for (size_t i = 0; i < std::size(kTablas); ++i) {
            Lote(admin, QStringLiteral("CREATE TABLE [dbo].[%1] ( [Base] [nvarchar] (50) NOT NULL , [Fecha] [nvarchar] "
                                       "(7) NOT NULL , [Grupo1] [nvarchar] (25) NOT NULL , [Grupo2] [nvarchar] (25) NOT "
                                       "NULL , [Grupo3] [nvarchar] (25) NOT NULL , [Consumo] [float] NULL , [ValorCosto] "
                                       "[money] NULL , [ValorVenta] [money] NULL ) ON [PRIMARY]")
                            .arg(QLatin1String(kTablas[i])));
            Lote(admin, QStringLiteral("ALTER TABLE [dbo].[%1] WITH NOCHECK ADD CONSTRAINT [PK_%1] PRIMARY KEY "
                                       "NONCLUSTERED ( [Base], [Fecha], [Grupo1], [Grupo2], [Grupo3] ) ON [PRIMARY]")
                            .arg(QLatin1String(kTablas[i])));
            Lote(admin, QStringLiteral("INSERT INTO CAB_ESTV (Nombre, Tabla, Campos) VALUES ('E%1', '%2', '%3')")
                            .arg(i)
                            .arg(QLatin1String(kTablas[i]), QLatin1String(kCampos[i])));
        }
    }

    // Lines no demo draws: spellings equal under the collation, returns that turn a
    // group positive, empty and blank codes, lines of articles that do not exist,
    // codes longer than a key, other movement types.
    void DatosDificiles(const QString& empresa) {
        Lote(admin, QStringLiteral("USE ") + empresa);
        Lote(admin, QStringLiteral(
                        "INSERT INTO MA_ARTICULOS (IdArticulo, Descripcion, CodigoBarra, CodigoBarraDUN, IdRubro, IdTipo, "
                        "IdFamilia, IdCategoria, CodigoArtProveedor, CuentaProveedor) VALUES "
                        "('DIF1', 'a', '', '   ', 'r1', 'T', 'Fam', NULL, 'CODIGO-DE-PROVEEDOR-LARGO', 'p1'), "
                        "('dif2', 'b', 'C2', 'D2', 'R1 ', 't', 'FAM ', 'c', 'x', 'P1')"));
        const char* const lineas[] = {
            "('2025-01-10', 'VTA', '01', 'dif1', 'ven', NULL, -3, 1.25, 2.5)",
            "('2025-01-11', 'vta', '01 ', 'DIF1 ', 'VEN ', '', -1, 1.25, 2.5)",
            "('2025-01-12', 'VTA', '01', 'DIF1', 'Ven', 'c1', 5, 1.25, 2.75)",  // a return: the group turns positive
            "('2025-01-13', 'VTA', NULL, 'DIF2', NULL, 'C1 ', -2, NULL, 3.3333)",
            "('2025-02-01', 'VTA', '', 'NOEXISTE', '  ', 'c1', -7, 0.3333, 0.6667)",
            "('2025-02-02', 'CPA', '01', 'DIF1', 'ven', 'c1', 50, 1, 1)",
            "('2025-12-31', 'VTA', '02', 'dif2', 'OTRO', 'c9', -0.5, 10.1234, 20.9876)",
            // Half a ten-thousandth: -2.00005 and -3.00015, whose doubles lie just inside the half.
            "('2025-11-30', 'VTA', '03', 'DIF1', 'MEDIO', 'c7', -0.5, 4.0001, 6.0003)"};
        for (const char* l : lineas)
            Lote(admin, QStringLiteral("INSERT INTO MV_STOCK (Fecha, TipoMovimiento, UNegocio, IdArticulo, IdVendedor, "
                                       "Cuenta, Cantidad, CostoUnitario, PrecioUnitario) VALUES ") +
                            QLatin1String(l));
    }

    // The company's rows of every statistic table, keyed by their folded keys.
    QMap<QString, Fila> Filas(const QString& empresa) {
        QMap<QString, Fila> m;
        for (const char* tabla : kTablas) {
            const auto r = Lote(admin, QStringLiteral("SELECT Base, Fecha, Grupo1, Grupo2, Grupo3, Consumo, ValorCosto, "
                                                      "ValorVenta FROM KV_ESTADISTICAS.dbo.%1 WHERE Base = '%2'")
                                           .arg(QLatin1String(tabla), empresa));
            for (const auto& res : r)
                for (const auto& f : res.filas) {
                    const QString clave = QLatin1String(tabla) + QLatin1Char('|') + f[0].toString() + QLatin1Char('|') +
                                          f[1].toString() + QLatin1Char('|') + Plegar(f[2]) + QLatin1Char('|') +
                                          Plegar(f[3]) + QLatin1Char('|') + Plegar(f[4]);
                    EXPECT_FALSE(m.contains(clave)) << clave.toStdString();
                    m.insert(clave, Fila{f[5], f[6], f[7]});
                }
        }
        return m;
    }

    void Llamar(const QString& empresa, const QString& procedimiento, const QString& accion, const QString& tabla) {
        kv::db::Conexion c;
        c.SetCommandTimeout(0);
        c.Open(Cadena(empresa, empresa, empresa));
        Lote(c, QStringLiteral("EXEC %1 '%2','%3'").arg(procedimiento, accion, tabla));
    }

    static void Comparar(const QMap<QString, Fila>& incorporado, const QMap<QString, Fila>& guion) {
        ASSERT_EQ(incorporado.size(), guion.size());
        auto igual = [](const QVariant& a, const QVariant& b) {
            if (a.isNull() || b.isNull()) return a.isNull() == b.isNull();
            return std::fabs(a.toDouble() - b.toDouble()) <= 1e-9 * std::max(1.0, std::fabs(a.toDouble()));
        };
        for (auto it = incorporado.cbegin(); it != incorporado.cend(); ++it) {
            ASSERT_TRUE(guion.contains(it.key())) << it.key().toStdString();
            const Fila& g = guion[it.key()];
            EXPECT_TRUE(igual(it->consumo, g.consumo)) << it.key().toStdString();
            EXPECT_TRUE(igual(it->costo, g.costo)) << it.key().toStdString() << " " << it->costo.toDouble() << " "
                                                   << g.costo.toDouble();
            EXPECT_TRUE(igual(it->venta, g.venta)) << it.key().toStdString();
        }
    }

    void TodoIgual(const QString& empresa) {
        Llamar(empresa, QStringLiteral("KV_RECONS_ESTV"), QString(), QString());
        const auto incorporado = Filas(empresa);
        EXPECT_GT(incorporado.size(), 100);
        Llamar(empresa, QStringLiteral("KV_RECONS_ESTV_SQL"), QStringLiteral("*"), QString());
        EXPECT_TRUE(Filas(empresa).isEmpty());
        Llamar(empresa, QStringLiteral("KV_RECONS_ESTV_SQL"), QString(), QString());
        Comparar(incorporado, Filas(empresa));
    }

    kv::pruebas::CarpetasTemporales carpetas_;
    kv::db::Conexion admin;
};

}  // namespace

TEST_F(ReconsGuion, ElGuionDejaLasMismasTablasConLaDemo) { TodoIgual(QStringLiteral("NORTE")); }

TEST_F(ReconsGuion, ElGuionDejaLasMismasTablasConDatosDificiles) {
    DatosDificiles(QStringLiteral("SUR"));
    TodoIgual(QStringLiteral("SUR"));
}

TEST_F(ReconsGuion, ElMedioRedondeaLejosDelCeroEnAmbos) {
    // ROUND(x, 4) on the decimal value: -2.00005 is -2.0001, not the -2.0000 its double would give.
    DatosDificiles(QStringLiteral("SUR"));
    auto medio = [&] {
        const auto r = Lote(admin, QStringLiteral("SELECT ValorCosto, ValorVenta FROM KV_ESTADISTICAS.dbo.DET_ESTV0000 "
                                                  "WHERE Base = 'SUR' AND Grupo1 = '03' AND Grupo2 = '11/2025' AND Grupo3 = 'DIF1'"));
        EXPECT_FALSE(r.empty());
        EXPECT_EQ(r.back().filas.size(), 1u);
        if (r.empty() || r.back().filas.empty()) return std::make_pair(0.0, 0.0);
        return std::make_pair(r.back().filas[0][0].toDouble(), r.back().filas[0][1].toDouble());
    };
    Llamar(QStringLiteral("SUR"), QStringLiteral("KV_RECONS_ESTV"), QString(), QStringLiteral("DET_ESTV0000"));
    EXPECT_EQ(medio(), std::make_pair(-2.0001, -3.0002));
    Llamar(QStringLiteral("SUR"), QStringLiteral("KV_RECONS_ESTV_SQL"), QString(), QStringLiteral("DET_ESTV0000"));
    EXPECT_EQ(medio(), std::make_pair(-2.0001, -3.0002));
    // The server's ROUND says the same of the decimal values.
    const auto r = Lote(admin, QStringLiteral("SELECT ROUND(-2.00005, 4), ROUND(3.00015, 4), ROUND(0.5 * 4.0001, 4)"));
    ASSERT_FALSE(r.empty());
    ASSERT_EQ(r.back().filas.size(), 1u);
    EXPECT_EQ(r.back().filas[0][0].toDouble(), -2.0001);
    EXPECT_EQ(r.back().filas[0][1].toDouble(), 3.0002);
    EXPECT_EQ(r.back().filas[0][2].toDouble(), 2.0001);
}

TEST_F(ReconsGuion, UnaTablaYQuitarLaEmpresaComoElIncorporado) {
    DatosDificiles(QStringLiteral("NORTE"));
    Llamar(QStringLiteral("SUR"), QStringLiteral("KV_RECONS_ESTV"), QString(), QString());
    const auto deSur = Filas(QStringLiteral("SUR"));
    Llamar(QStringLiteral("NORTE"), QStringLiteral("KV_RECONS_ESTV"), QString(), QStringLiteral("DET_ESTV0002"));
    const auto una = Filas(QStringLiteral("NORTE"));
    Llamar(QStringLiteral("NORTE"), QStringLiteral("KV_RECONS_ESTV"), QStringLiteral("*"), QString());
    Llamar(QStringLiteral("NORTE"), QStringLiteral("KV_RECONS_ESTV_SQL"), QString(), QStringLiteral("det_estv0002"));
    Comparar(una, Filas(QStringLiteral("NORTE")));
    // Removing one company leaves the others' rows as they were.
    Llamar(QStringLiteral("NORTE"), QStringLiteral("KV_RECONS_ESTV_SQL"), QStringLiteral("*"), QString());
    EXPECT_TRUE(Filas(QStringLiteral("NORTE")).isEmpty());
    Comparar(deSur, Filas(QStringLiteral("SUR")));
    // Running the script a second time changes nothing.
    Lote(admin, QStringLiteral("USE NORTE"));
    for (const QString& lote : LotesDelGuion(QStringLiteral("KV_RECONS_ESTV_SQL"))) Lote(admin, lote);
    Llamar(QStringLiteral("NORTE"), QStringLiteral("KV_RECONS_ESTV_SQL"), QString(), QStringLiteral("DET_ESTV0002"));
    Comparar(una, Filas(QStringLiteral("NORTE")));
}

TEST_F(ReconsGuion, LosErroresNombranLaTablaYLaCausa) {
    kv::db::Conexion c;
    c.Open(Cadena(QStringLiteral("NORTE"), QStringLiteral("NORTE"), QStringLiteral("NORTE")));
    auto error = [&](const QString& sql) -> std::pair<int, QString> {
        for (const auto& r : c.EjecutarLote(sql))
            if (r.error) return {r.error->errorNativo, r.error->descripcion};
        return {0, QString()};
    };
    EXPECT_EQ(error(QStringLiteral("EXEC KV_RECONS_ESTV_SQL 'x', ''")),
              std::make_pair(50000, QStringLiteral("KV_RECONS_ESTV_SQL: la acción 'x' no es válida; se admite '' o '*'.")));
    EXPECT_EQ(error(QStringLiteral("EXEC KV_RECONS_ESTV_SQL '', 'MA_EMPRESAS'")).first, 50000);
    EXPECT_EQ(error(QStringLiteral("EXEC KV_RECONS_ESTV_SQL '', 'DET_ESTV0099'")),
              std::make_pair(50000, QStringLiteral("KV_RECONS_ESTV_SQL: ninguna estadística de CAB_ESTV usa la tabla "
                                                   "'DET_ESTV0099'.")));
    Lote(admin, QStringLiteral("USE KV_ESTADISTICAS DROP TABLE DET_ESTV0005"));
    const auto falta = error(QStringLiteral("EXEC KV_RECONS_ESTV_SQL '', 'DET_ESTV0005'"));
    EXPECT_EQ(falta.first, 50000);
    EXPECT_TRUE(falta.second.contains(QLatin1String("DET_ESTV0005"))) << falta.second.toStdString();
    // With every statistic, one broken table does not keep the others from being rebuilt.
    const auto todas = error(QStringLiteral("EXEC KV_RECONS_ESTV_SQL '', ''"));
    EXPECT_EQ(todas.first, 50000);
    EXPECT_TRUE(todas.second.contains(QLatin1String("DET_ESTV0005"))) << todas.second.toStdString();
    EXPECT_GT(Lote(admin, QStringLiteral("SELECT count(*) FROM KV_ESTADISTICAS.dbo.DET_ESTV0000"))
                  .back().filas.at(0).at(0).toInt(), 0);
}
