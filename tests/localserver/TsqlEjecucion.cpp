// Translated T-SQL run on an in-memory SQLite database with the server's
// collation and functions: the statements must keep SQL Server's meaning.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QDateTime>
#include <QStringList>
#include <QVariant>
#include <vector>

#include "localserver/tsql/Funciones.h"
#include "localserver/tsql/Traduccion.h"

using namespace kv::local;

namespace {

struct Resultado {
    QStringList columnas;
    std::vector<std::vector<QVariant>> filas;
    QString error;  // SQLite's error text when the statement failed

    QVariant Valor(size_t fila = 0, int columna = 0) const {
        if (fila >= filas.size() || columna >= static_cast<int>(filas[fila].size())) return QVariant();
        return filas[fila][columna];
    }
    QStringList Columna(int columna = 0) const {
        QStringList s;
        for (const auto& f : filas) s << f[columna].toString();
        return s;
    }
};

// A small stand-in for the server: text columns get the KV collation, the
// rest of each statement runs as translated.
class BaseMemoria {
  public:
    BaseMemoria() {
        sqlite3_open(":memory:", &bd_);
        RegistrarFuncionesTSQL(bd_);
    }
    ~BaseMemoria() { sqlite3_close(bd_); }

    Resultado Sql(const QString& sql) {
        Resultado r;
        sqlite3_stmt* st = nullptr;
        const QByteArray u = sql.toUtf8();
        if (sqlite3_prepare_v2(bd_, u.constData(), -1, &st, nullptr) != SQLITE_OK) {
            r.error = QString::fromUtf8(sqlite3_errmsg(bd_));
            return r;
        }
        for (int i = 0; i < sqlite3_column_count(st); ++i)
            r.columnas << QString::fromUtf8(sqlite3_column_name(st, i));
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            std::vector<QVariant> fila;
            for (int i = 0; i < sqlite3_column_count(st); ++i) {
                switch (sqlite3_column_type(st, i)) {
                    case SQLITE_INTEGER:
                        fila.emplace_back(static_cast<qlonglong>(sqlite3_column_int64(st, i)));
                        break;
                    case SQLITE_FLOAT:
                        fila.emplace_back(sqlite3_column_double(st, i));
                        break;
                    case SQLITE_NULL:
                        fila.emplace_back();
                        break;
                    default:
                        fila.emplace_back(
                            QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i))));
                }
            }
            r.filas.push_back(std::move(fila));
        }
        if (rc != SQLITE_DONE) r.error = QString::fromUtf8(sqlite3_errmsg(bd_));
        sqlite3_finalize(st);
        return r;
    }

    // Runs a T-SQL batch and returns the result of its last statement.
    Resultado TSQL(const QString& lote) {
        Resultado ultimo;
        for (const Sentencia& s : TraducirLote(lote)) {
            if (s.clase == Clase::CrearTabla) {
                QStringList columnas;
                for (const ColumnaDeclarada& c : s.columnas) {
                    QString d = QLatin1Char('"') + c.nombre + QLatin1Char('"');
                    if (c.tipo.contains(QLatin1String("char")) || c.tipo.contains(QLatin1String("text"))) {
                        d += QLatin1String(" TEXT COLLATE KV");
                    } else if (c.tipo == QLatin1String("int") || c.tipo == QLatin1String("bit")) {
                        d += QLatin1String(" INTEGER");
                    } else {
                        d += QLatin1String(" REAL");
                    }
                    if (!c.defecto.isEmpty()) d += QLatin1String(" DEFAULT (") + c.defecto + QLatin1Char(')');
                    columnas << d;
                }
                if (!s.clavePrimaria.isEmpty())
                    columnas << QLatin1String("PRIMARY KEY (") + s.clavePrimaria.join(QLatin1Char(',')) +
                                    QLatin1Char(')');
                ultimo = Sql(QLatin1String("CREATE TABLE \"") + s.tabla + QLatin1String("\" (") +
                             columnas.join(QLatin1String(", ")) + QLatin1Char(')'));
            } else if (s.clase == Clase::Consulta || s.clase == Clase::Modificacion) {
                ultimo = Sql(s.sql);
            }
            if (!ultimo.error.isEmpty()) return ultimo;
        }
        return ultimo;
    }

  private:
    sqlite3* bd_ = nullptr;
};

int NumeroDeError(const QString& texto) {
    int numero = 0;
    LeerErrorFuncion(texto, &numero, nullptr);
    return numero;
}

class TsqlEjecucion : public ::testing::Test {
  protected:
    void SetUp() override {
        bd.TSQL(QStringLiteral(
            "CREATE TABLE [dbo].[DET] ( [Base] [nvarchar] (50) NOT NULL , [Fecha] [nvarchar] (7) NOT NULL ,"
            " [Grupo1] [nvarchar] (25) NOT NULL , [Grupo2] [nvarchar] (25) NOT NULL , [Grupo3] [nvarchar] "
            "(25) NOT NULL ,"
            " [Consumo] [float] NULL , [ValorCosto] [money] NULL , [ValorVenta] [money] NULL ) ON "
            "[PRIMARY]"));
        const char* filas[] = {
            "('E1','1/2024','A ','x',' ',-1,-10,-15)", "('E1','1/2024','a','x',' ',-2,-20,-30)",
            "('E1','2/2024','B','y',' ',-3,-30,-60)",  "('E2','1/2024','ñu','z',' ',-4,0,-8)",
            "('E2','3/2024','nz','z',' ',-5,-50,-40)", "('E2','3/2024','oso','z',' ',-6,-60,-90)",
        };
        for (const char* f : filas) {
            ASSERT_TRUE(
                bd.TSQL(QStringLiteral(
                            "INSERT INTO DET (Base,Fecha,Grupo1,Grupo2,Grupo3,Consumo,ValorCosto,ValorVenta) "
                            "VALUES ") +
                        QString::fromUtf8(f))
                    .error.isEmpty());
        }
    }
    BaseMemoria bd;
};

}  // namespace

TEST_F(TsqlEjecucion, IgualdadDeExpresionesIgnoraMayusculasYBlancosFinales) {
    EXPECT_EQ(
        bd.TSQL(QStringLiteral("SELECT COUNT(*) FROM DET WHERE ltrim(GRUPO1) in ('a')")).Valor().toInt(), 2);
    EXPECT_EQ(
        bd.TSQL(QStringLiteral("SELECT COUNT(*) FROM DET WHERE LTRIM(RTRIM(GRUPO1)) ='A'")).Valor().toInt(),
        2);
    EXPECT_EQ(bd.TSQL(QStringLiteral("SELECT COUNT(*) FROM DET WHERE GRUPO1 = 'a'")).Valor().toInt(), 2);
    EXPECT_EQ(bd.TSQL(QStringLiteral("SELECT COUNT(*) FROM DET WHERE GRUPO1 <> 'A'")).Valor().toInt(), 4);
    EXPECT_EQ(
        bd.TSQL(QStringLiteral("SELECT COUNT(*) FROM DET WHERE ltrim(GRUPO1) >='b' and ltrim(GRUPO1) <='NZ'"))
            .Valor()
            .toInt(),
        2);
    EXPECT_EQ(bd.TSQL(QStringLiteral("SELECT COUNT(*) FROM DET WHERE 'A' = ltrim(GRUPO1)")).Valor().toInt(),
              2);
    // Accents count.
    EXPECT_EQ(bd.TSQL(QStringLiteral("SELECT COUNT(*) FROM DET WHERE GRUPO1 = 'ÑU'")).Valor().toInt(), 1);
    EXPECT_EQ(bd.TSQL(QStringLiteral("SELECT COUNT(*) FROM DET WHERE GRUPO1 = 'nu'")).Valor().toInt(), 0);
}

TEST_F(TsqlEjecucion, ClaveDeConfiguracionSinImportarMayusculas) {
    bd.TSQL(
        QStringLiteral("CREATE TABLE TA_CONFIGURACION ( [CLAVE] [nvarchar] (50) NOT NULL , [VALOR] "
                       "[nvarchar] (150) NULL , [ValorAux] [ntext] NULL )"));
    bd.TSQL(QStringLiteral("INSERT INTO TA_CONFIGURACION (CLAVE, VALOR) VALUES ('TIMEOUT', '30')"));
    const Resultado r = bd.TSQL(
        QStringLiteral("SELECT VALOR, valoraux FROM ta_configuracion with(nolock)  WHERE CLAVE = 'TimeOut'"));
    ASSERT_EQ(r.filas.size(), 1u);
    EXPECT_EQ(r.Valor().toString(), QStringLiteral("30"));
    EXPECT_EQ(r.columnas, (QStringList{QStringLiteral("VALOR"), QStringLiteral("valoraux")}));
}

TEST_F(TsqlEjecucion, AgruparDistinguirMinimoYMaximoConLaColacion) {
    Resultado r = bd.TSQL(QStringLiteral(
        "SELECT ltrim(GRUPO1) AS G, COUNT(*) AS N FROM DET GROUP BY ltrim(GRUPO1) ORDER BY ltrim(GRUPO1)"));
    ASSERT_EQ(r.filas.size(), 5u);
    EXPECT_EQ(r.Valor(0, 1).toInt(), 2);
    EXPECT_EQ(bd.TSQL(QStringLiteral("SELECT DISTINCT rtrim(GRUPO1) FROM DET")).filas.size(), 5u);
    EXPECT_EQ(bd.TSQL(QStringLiteral("SELECT COUNT(DISTINCT ltrim(GRUPO1)) FROM DET")).Valor().toInt(), 5);
    // Spanish order: "ñ" after "n", before "o".
    EXPECT_EQ(bd.TSQL(QStringLiteral("SELECT MAX(ltrim(GRUPO1)) FROM DET WHERE GRUPO1 <> 'oso'"))
                  .Valor()
                  .toString(),
              QStringLiteral("ñu"));
    EXPECT_EQ(bd.TSQL(QStringLiteral("SELECT MIN(upper(GRUPO1)) FROM DET")).Valor().toString().trimmed(),
              QStringLiteral("A"));
}

TEST_F(TsqlEjecucion, OrdenEspanol) {
    const Resultado r =
        bd.TSQL(QStringLiteral("SELECT DISTINCT GRUPO1 FROM DET WHERE BASE = 'E2' ORDER BY GRUPO1"));
    EXPECT_EQ(r.Columna(), (QStringList{QStringLiteral("nz"), QStringLiteral("ñu"), QStringLiteral("oso")}));
    const Resultado e =
        bd.TSQL(QStringLiteral("SELECT GRUPO1 FROM DET WHERE BASE = 'E2' ORDER BY ltrim(GRUPO1) DESC"));
    EXPECT_EQ(e.Columna(), (QStringList{QStringLiteral("oso"), QStringLiteral("ñu"), QStringLiteral("nz")}));
}

TEST_F(TsqlEjecucion, LikeIgnoraMayusculas) {
    EXPECT_EQ(bd.TSQL(QStringLiteral("SELECT COUNT(*) FROM DET WHERE GRUPO1 LIKE 'ÑU%'")).Valor().toInt(), 1);
    EXPECT_EQ(bd.TSQL(QStringLiteral("SELECT COUNT(*) FROM DET WHERE GRUPO1 like '[a-b]%'")).Valor().toInt(),
              3);
    EXPECT_EQ(bd.TSQL(QStringLiteral("SELECT COUNT(*) FROM DET WHERE GRUPO1 NOT LIKE '%o%'")).Valor().toInt(),
              5);
    EXPECT_EQ(bd.TSQL(QStringLiteral("SELECT COUNT(*) FROM DET WHERE GRUPO1 LIKE 'o_o'")).Valor().toInt(), 1);
}

TEST_F(TsqlEjecucion, FuncionesDeTexto) {
    const Resultado r = bd.TSQL(QStringLiteral(
        "SELECT LEN('abc  '), LEN('  a'), LEN(''), substring('abcdef', 2, 3), CHARINDEX('CD', 'abcdef'), "
        "ISNULL(NULL, 'x'), LTRIM(RTRIM('  a b  ')), 'a' + 'b', left('abc', 2), right('abc', 2), "
        "upper('ñandú')"));
    ASSERT_TRUE(r.error.isEmpty()) << qPrintable(r.error);
    EXPECT_EQ(r.Valor(0, 0).toInt(), 3);
    EXPECT_EQ(r.Valor(0, 1).toInt(), 3);
    EXPECT_EQ(r.Valor(0, 2).toInt(), 0);
    EXPECT_EQ(r.Valor(0, 3).toString(), QStringLiteral("bcd"));
    EXPECT_EQ(r.Valor(0, 4).toInt(), 3);
    EXPECT_EQ(r.Valor(0, 5).toString(), QStringLiteral("x"));
    EXPECT_EQ(r.Valor(0, 6).toString(), QStringLiteral("a b"));
    EXPECT_EQ(r.Valor(0, 7).toString(), QStringLiteral("ab"));
    EXPECT_EQ(r.Valor(0, 8).toString(), QStringLiteral("ab"));
    EXPECT_EQ(r.Valor(0, 9).toString(), QStringLiteral("bc"));
    EXPECT_EQ(r.Valor(0, 10).toString(), QStringLiteral("ÑANDÚ"));
    EXPECT_EQ(r.columnas[0], QStringLiteral("LEN('abc  ')"));
}

TEST_F(TsqlEjecucion, FechasDiaPrimero) {
    const Resultado r =
        bd.TSQL(QStringLiteral("SELECT CONVERT(datetime, '01/3/2024'), Convert(datetime,'01/' + FECHA), "
                               "CONVERT(datetime, '25/12/26 10:30'), "
                               "CONVERT(datetime, '2024-03-05 07:08:09'), CONVERT(datetime, '05/03/2024 "
                               "7:08:09 PM') FROM DET WHERE GRUPO1 = 'B'"));
    ASSERT_TRUE(r.error.isEmpty()) << qPrintable(r.error);
    EXPECT_EQ(r.Valor(0, 0).toString(), QStringLiteral("2024-03-01 00:00:00"));
    EXPECT_EQ(r.Valor(0, 1).toString(), QStringLiteral("2024-02-01 00:00:00"));
    EXPECT_EQ(r.Valor(0, 2).toString(), QStringLiteral("2026-12-25 10:30:00"));
    EXPECT_EQ(r.Valor(0, 3).toString(), QStringLiteral("2024-03-05 07:08:09"));
    EXPECT_EQ(r.Valor(0, 4).toString(), QStringLiteral("2024-03-05 19:08:09"));

    const Resultado malo = bd.TSQL(QStringLiteral("SELECT CONVERT(datetime, '31/02/2024')"));
    EXPECT_EQ(NumeroDeError(malo.error), 241);

    const QString ahora = bd.TSQL(QStringLiteral("SELECT GETDATE()")).Valor().toString();
    EXPECT_TRUE(QDateTime::fromString(ahora, QStringLiteral("yyyy-MM-dd HH:mm:ss")).isValid())
        << qPrintable(ahora);
    EXPECT_EQ(bd.TSQL(QStringLiteral("SELECT convert(varchar(10), CONVERT(datetime, '7/3/2024'), 103)"))
                  .Valor()
                  .toString(),
              QStringLiteral("07/03/2024"));
}

TEST_F(TsqlEjecucion, FechaSinComillasEsAritmetica) {
    // 3/2024 is integer division, as on SQL Server; 01/02/2024 likewise.
    EXPECT_EQ(bd.TSQL(QStringLiteral("SELECT 3/2024, 7/2, 7.0/2")).filas[0],
              (std::vector<QVariant>{QVariant(0LL), QVariant(3LL), QVariant(3.5)}));
    EXPECT_EQ(bd.TSQL(QStringLiteral("SELECT COUNT(*) FROM DET WHERE Consumo = 01/02/2024 ")).Valor().toInt(),
              0);
}

TEST_F(TsqlEjecucion, DivisionPorCeroFalla) {
    const Resultado r = bd.TSQL(QStringLiteral("SELECT 1/0"));
    EXPECT_EQ(NumeroDeError(r.error), 8134);
    QString mensaje;
    LeerErrorFuncion(r.error, nullptr, &mensaje);
    EXPECT_EQ(mensaje, QStringLiteral("Error de división entre cero."));
    EXPECT_EQ(
        NumeroDeError(
            bd.TSQL(QStringLiteral("SELECT SUM(ValorVenta)/SUM(ValorCosto) FROM DET WHERE GRUPO1 = 'ñu'"))
                .error),
        8134);
    EXPECT_EQ(NumeroDeError(bd.TSQL(QStringLiteral("SELECT 5 % 0")).error), 8134);
    EXPECT_TRUE(bd.TSQL(QStringLiteral("SELECT NULL/0")).error.isEmpty());
}

TEST_F(TsqlEjecucion, Top) {
    EXPECT_EQ(bd.TSQL(QStringLiteral("SELECT TOP 2 * FROM DET ORDER BY Consumo")).filas.size(), 2u);
    EXPECT_EQ(bd.TSQL(QStringLiteral("SELECT TOP 100 PERCENT * FROM DET")).filas.size(), 6u);
    EXPECT_EQ(bd.TSQL(QStringLiteral("SELECT TOP 50 PERCENT * FROM DET")).filas.size(), 3u);
    EXPECT_EQ(bd.TSQL(QStringLiteral("SELECT TOP 40 PERCENT * FROM DET")).filas.size(), 3u);
    EXPECT_EQ(bd.TSQL(QStringLiteral("SELECT TOP (1) Grupo1 FROM DET ORDER BY Consumo")).Valor().toString(),
              QStringLiteral("oso"));
    const Resultado r = bd.TSQL(QStringLiteral("select  top 1 * from DET  with(nolock) "));
    EXPECT_EQ(r.filas.size(), 1u);
    EXPECT_EQ(r.columnas.size(), 8);
}

TEST_F(TsqlEjecucion, ListaOrDeMilDoscientosTerminos) {
    QStringList meses;
    for (int i = 0; i < 1200; ++i)
        meses << QStringLiteral("FECHA ='%1/%2' ").arg(i % 12 + 1).arg(1990 + i / 12);
    const QString sql = QStringLiteral("SELECT COUNT(*) FROM DET Where (BASE ='E1' OR BASE='E2') AND (") +
                        meses.join(QStringLiteral(" OR ")) + QStringLiteral(") ");
    const Resultado r = bd.TSQL(sql);
    ASSERT_TRUE(r.error.isEmpty()) << qPrintable(r.error);
    EXPECT_EQ(r.Valor().toInt(), 6);

    // Mixed terms that cannot become one IN list still stay within the depth limit.
    QStringList mezcla;
    for (int i = 0; i < 1200; ++i)
        mezcla << (i % 2 ? QStringLiteral("Consumo = %1").arg(-i)
                         : QStringLiteral("ltrim(Grupo2) = 'w%1'").arg(i));
    const Resultado m =
        bd.TSQL(QStringLiteral("SELECT COUNT(*) FROM DET WHERE ") + mezcla.join(QStringLiteral(" OR ")));
    ASSERT_TRUE(m.error.isEmpty()) << qPrintable(m.error);
    EXPECT_EQ(m.Valor().toInt(), 3);  // Consumo -1, -3, -5
}

TEST_F(TsqlEjecucion, ConsultaDelGrafico) {
    const QString sql =
        QStringLiteral(
            "SELECT SUM(CONSUMO) AS CONSUMO, SUM(VALORCOSTO) AS VALORCOSTO, SUM(VALORVENTA) AS "
            "VALORVENTA,grupo1,grupo2,grupo3 FROM DET ") +
        QStringLiteral(
            " Where (BASE ='E1'  OR BASE ='E2' ) AND (FECHA ='1/2024'  OR FECHA ='2/2024'  OR FECHA "
            "='3/2024' ) ") +
        QStringLiteral(" GROUP BY GRUPO1, GRUPO2, GRUPO3  ORDER BY ValorVenta ASC, Grupo1 ASC");
    const Resultado r = bd.TSQL(sql);
    ASSERT_TRUE(r.error.isEmpty()) << qPrintable(r.error);
    EXPECT_EQ(r.columnas, (QStringList{QStringLiteral("CONSUMO"), QStringLiteral("VALORCOSTO"),
                                       QStringLiteral("VALORVENTA"), QStringLiteral("grupo1"),
                                       QStringLiteral("grupo2"), QStringLiteral("grupo3")}));
    // 'A ' and 'a' are one group.
    ASSERT_EQ(r.filas.size(), 5u);
    EXPECT_EQ(r.Valor(0, 3).toString(), QStringLiteral("oso"));
    EXPECT_EQ(r.Valor(1, 3).toString(), QStringLiteral("B"));
    EXPECT_EQ(r.Valor(2, 2).toDouble(), -45.0);
    // The profit ordering of the definition's criteria runs too.
    const Resultado u =
        bd.TSQL(QStringLiteral("SELECT SUM(CONSUMO) AS CONSUMO, SUM(VALORCOSTO) AS VALORCOSTO, "
                               "SUM(VALORVENTA) AS VALORVENTA,grupo1,grupo2,grupo3 FROM DET ") +
                QStringLiteral(" Where BASE ='E1'  AND (FECHA ='1/2024' OR FECHA ='2/2024' )  and "
                               "ltrim(GRUPO1) in ('a','B') GROUP BY GRUPO1, GRUPO2, GRUPO3 ") +
                QStringLiteral(" ORDER BY (((SUM(ValorVenta) - SUM(ValorCosto))/SUM(ValorVenta))*100) DESC"));
    ASSERT_TRUE(u.error.isEmpty()) << qPrintable(u.error);
    ASSERT_EQ(u.filas.size(), 2u);
    EXPECT_EQ(u.Valor(0, 3).toString(), QStringLiteral("B"));
}

TEST_F(TsqlEjecucion, ConsultaDeLaGrilla) {
    const QString sql =
        QStringLiteral("SELECT BASE,grupo1 AS [Artículo] ,grupo2 AS [Grupo2],grupo3 AS [Grupo3],") +
        QStringLiteral("SUM(convert(money,CONSUMO)*-1) AS CONSUMO, ") +
        QStringLiteral("SUM(VALORCOSTO*-1) AS VALORCOSTO, ") +
        QStringLiteral("SUM(VALORVENTA*-1) AS VALORVENTA ,") +
        QStringLiteral(
            "case when SUM(valorcosto)=0 then 100 else "
            "(((SUM(VALORVENTA*-1)-SUM(VALORCOSTO*-1))/SUM(VALORCOSTO*-1))*100) end AS UTL_COSTOPorc, ") +
        QStringLiteral(
            "case when SUM(valorventa)=0 then 100 else "
            "(((SUM(VALORVENTA*-1)-SUM(VALORCOSTO*-1))/SUM(VALORVENTA*-1))*100) end AS UTL_VENTAPorc, ") +
        QStringLiteral("SUM(((VALORVENTA*-1)-(VALORCOSTO*-1))) AS UTILIDAD") + QStringLiteral(" FROM DET ") +
        QStringLiteral(" WHERE BASE = 'E2'  AND (FECHA ='1/2024' ) ") +
        QStringLiteral(" GROUP BY BASE, GRUPO1, GRUPO2, GRUPO3 ORDER BY  GRUPO1, GRUPO2,GRUPO3");
    const Resultado r = bd.TSQL(sql);
    ASSERT_TRUE(r.error.isEmpty()) << qPrintable(r.error);
    EXPECT_EQ(r.columnas[1], QStringLiteral("Artículo"));
    EXPECT_EQ(r.columnas[7], QStringLiteral("UTL_COSTOPorc"));
    ASSERT_EQ(r.filas.size(), 1u);
    EXPECT_EQ(r.Valor(0, 4).toDouble(), 4.0);
    EXPECT_EQ(r.Valor(0, 7).toDouble(), 100.0);  // cost 0
    EXPECT_EQ(r.Valor(0, 8).toDouble(), 100.0);
    EXPECT_EQ(r.Valor(0, 9).toDouble(), 8.0);
}

TEST_F(TsqlEjecucion, ArbolDeFamilias) {
    bd.TSQL(
        QStringLiteral("CREATE TABLE TA_FAMILIAS (IdFamilia nvarchar(20) NOT NULL PRIMARY KEY, Descripcion "
                       "nvarchar(100) NULL)"));
    bd.TSQL(QStringLiteral("CREATE VIEW V_TA_FAMILIAS AS SELECT IdFamilia, Descripcion FROM TA_FAMILIAS"));
    bd.TSQL(QStringLiteral(
        "INSERT INTO TA_FAMILIAS VALUES ('01','A'),('0101','AA'),('010101','AAA'),('02','B'),('0201','BA')"));
    const Resultado r =
        bd.TSQL(QStringLiteral("SELECT     TOP 100 PERCENT IdFamilia, Descripcion, (SELECT     TOP 1 "
                               "idfamilia FROM v_ta_familias a  "
                               " Where a.IdFamilia < b.IdFamilia And (Len(LTrim(RTrim(a.IdFamilia))) < "
                               "Len(LTrim(RTrim(b.IdFamilia)))) "
                               " ORDER BY idfamilia DESC) AS [relative] FROM dbo.V_TA_FAMILIAS b Where "
                               "IdFamilia<>'' ORDER BY IdFamilia"));
    ASSERT_TRUE(r.error.isEmpty()) << qPrintable(r.error);
    EXPECT_EQ(r.columnas, (QStringList{QStringLiteral("IdFamilia"), QStringLiteral("Descripcion"),
                                       QStringLiteral("relative")}));
    EXPECT_EQ(r.Columna(2), (QStringList{QString(), QStringLiteral("01"), QStringLiteral("0101"), QString(),
                                         QStringLiteral("02")}));
}

TEST_F(TsqlEjecucion, GuardarYBorrarDefiniciones) {
    bd.TSQL(
        QStringLiteral("CREATE TABLE [dbo].[CAB_ESTV] ( [Codigo] [int] IDENTITY (1, 1) NOT NULL , [Nombre] "
                       "[nvarchar] (50) NULL , "
                       "[Tabla] [nvarchar] (50) NULL , [Campos] [nvarchar] (500) NULL, [TOP] [Int] NULL, "
                       "[TopOtros] [nvarchar] (50) NULL ) ON [PRIMARY]"));
    EXPECT_TRUE(bd.TSQL(QStringLiteral("INSERT INTO CAB_ESTV (NOMBRE,TABLA,CAMPOS,[TOP],TOPOTROS) "
                                       "VALUES('Ventas','DET_ESTV0000','IdArticulo,'' '','' ''',10,'Otros')"))
                    .error.isEmpty());
    EXPECT_EQ(bd.TSQL(QStringLiteral("SELECT CAMPOS FROM CAB_ESTV")).Valor().toString(),
              QStringLiteral("IdArticulo,' ',' '"));
    EXPECT_TRUE(bd.TSQL(QStringLiteral(
                            "UPDATE CAB_ESTV SET CAMPOS ='IdVendedor,'' ''', [TOP]=5 WHERE NOMBRE='VENTAS'"))
                    .error.isEmpty());
    EXPECT_EQ(bd.TSQL(QStringLiteral("SELECT [TOP] FROM CAB_ESTV WHERE NOMBRE = 'ventas '")).Valor().toInt(),
              5);
    EXPECT_TRUE(bd.TSQL(QStringLiteral("DELETE CAB_ESTV WHERE NOMBRE='ventas'")).error.isEmpty());
    EXPECT_EQ(bd.TSQL(QStringLiteral("SELECT COUNT(*) FROM CAB_ESTV")).Valor().toInt(), 0);
    EXPECT_TRUE(bd.TSQL(QStringLiteral("DROP TABLE DET")).error.isEmpty());
}

TEST(TsqlColacion, CompararKV) {
    EXPECT_EQ(CompararKV(QStringLiteral("abc"), QStringLiteral("ABC   ")), 0);
    EXPECT_LT(CompararKV(QStringLiteral("n"), QStringLiteral("ñ")), 0);
    EXPECT_LT(CompararKV(QStringLiteral("ñ"), QStringLiteral("o")), 0);
    EXPECT_LT(CompararKV(QStringLiteral("nz"), QStringLiteral("ña")), 0);
    EXPECT_EQ(CompararKV(QStringLiteral("Ñandú"), QStringLiteral("ñANDÚ")), 0);
    EXPECT_NE(CompararKV(QStringLiteral("José"), QStringLiteral("Jose")), 0);
    EXPECT_LT(CompararKV(QStringLiteral("Jose"), QStringLiteral("José")), 0);
    EXPECT_LT(CompararKV(QStringLiteral("José"), QStringLiteral("Josf")), 0);
    EXPECT_LT(CompararKV(QStringLiteral("ab"), QStringLiteral("abc")), 0);
    EXPECT_LT(CompararKV(QStringLiteral(""), QStringLiteral("a")), 0);
    EXPECT_EQ(CompararKV(QStringLiteral("  "), QString()), 0);
    EXPECT_LT(CompararKV(QStringLiteral(" a"), QStringLiteral("a")), 0);
}

TEST(TsqlFechas, TextoAFechaISO) {
    EXPECT_EQ(TextoAFechaISO(QStringLiteral("07/12/26 22:38")), QStringLiteral("2026-12-07 22:38:00"));
    EXPECT_EQ(TextoAFechaISO(QStringLiteral("7/12/1999")), QStringLiteral("1999-12-07 00:00:00"));
    EXPECT_EQ(TextoAFechaISO(QStringLiteral("07/12/60")), QStringLiteral("1960-12-07 00:00:00"));
    EXPECT_EQ(TextoAFechaISO(QStringLiteral("2026-12-07T08:09:10.123")),
              QStringLiteral("2026-12-07 08:09:10"));
    EXPECT_EQ(TextoAFechaISO(QStringLiteral("20261207")), QStringLiteral("2026-12-07 00:00:00"));
    EXPECT_EQ(TextoAFechaISO(QStringLiteral("12/07/2026"), 101), QStringLiteral("2026-12-07 00:00:00"));
    EXPECT_EQ(TextoAFechaISO(QString()), QStringLiteral("1900-01-01 00:00:00"));
    bool ok = true;
    EXPECT_TRUE(TextoAFechaISO(QStringLiteral("13/13/2026"), 0, &ok).isEmpty());
    EXPECT_FALSE(ok);
    EXPECT_TRUE(TextoAFechaISO(QStringLiteral("#01/02/2024#")).isEmpty());
    EXPECT_TRUE(TextoAFechaISO(QStringLiteral("01/02/2024 25:00")).isEmpty());
}

TEST_F(TsqlEjecucion, SentenciasDeConfiguracionBusquedasYAcceso) {
    ASSERT_TRUE(
        bd.TSQL(QStringLiteral("CREATE TABLE TA_MENU (Clave nvarchar(20) NOT NULL PRIMARY KEY, Proceso "
                               "nvarchar(100) NULL, Nombre nvarchar(100) NULL)\n"
                               "CREATE TABLE TA_TAREAS (USUARIO nvarchar(50) NOT NULL, TAREA nvarchar(20) "
                               "NOT NULL, PRIMARY KEY (USUARIO, TAREA))\n"
                               "INSERT INTO TA_MENU VALUES ('M1', 'C:\\KV\\KV_ESTV.EXE', 'Estadísticas')\n"
                               "INSERT INTO TA_TAREAS VALUES ('ANA', 'm1')"))
            .error.isEmpty());
    // The task lookup: a blank before the closing quote, and the process matched with LIKE.
    const Resultado tarea =
        bd.TSQL(QStringLiteral("SELECT TA_TAREAS.USUARIO, TA_MENU.Proceso, TA_MENU.Clave , TA_MENU.Nombre  "
                               "FROM TA_TAREAS  with(nolock) INNER JOIN TA_MENU ON "
                               "TA_TAREAS.TAREA = TA_MENU.Clave  WHERE (TA_TAREAS.USUARIO = 'ana ') AND "
                               "(TA_MENU.Proceso LIKE '%kv_estv%')"));
    ASSERT_TRUE(tarea.error.isEmpty()) << qPrintable(tarea.error);
    ASSERT_EQ(tarea.filas.size(), 1u);
    EXPECT_EQ(tarea.columnas, (QStringList{QStringLiteral("USUARIO"), QStringLiteral("Proceso"),
                                           QStringLiteral("Clave"), QStringLiteral("Nombre")}));
    EXPECT_EQ(tarea.Valor(0, 3).toString(), QStringLiteral("Estadísticas"));

    // Lookups of the database class.
    EXPECT_EQ(
        bd.TSQL(QStringLiteral(
                    "SELECT TOP 1  * FROM TA_MENU with(nolock)  WHERE LTRIM(RTRIM(Nombre)) ='ESTADÍSTICAS'"))
            .filas.size(),
        1u);
    EXPECT_EQ(bd.TSQL(QStringLiteral("SELECT * FROM TA_MENU with(nolock)   WHERE Clave ='m1'")).filas.size(),
              1u);
    EXPECT_EQ(bd.TSQL(QStringLiteral("SELECT MAX(Clave) AS MAYOR FROM TA_MENU WHERE Proceso like '%EXE'"))
                  .Valor()
                  .toString(),
              QStringLiteral("M1"));
    EXPECT_TRUE(
        bd.TSQL(QStringLiteral("SELECT MIN(Clave) AS MENOR FROM TA_MENU  with(nolock)  WHERE Clave = 'x'"))
            .Valor()
            .isNull());
    EXPECT_THROW(bd.TSQL(QStringLiteral("SELECT TOP 1000 Nombre,Clave, FROM TA_MENU")), ErrorTSQL);
    EXPECT_EQ(bd.TSQL(QStringLiteral("SELECT TOP 1000 Clave,Nombre FROM TA_MENU  with(nolock)  WHERE  "
                                     "(Nombre like 'est%') ORDER BY Nombre"))
                  .filas.size(),
              1u);
}

TEST_F(TsqlEjecucion, MasUneTextosYSumaNumeros) {
    const Resultado r =
        bd.TSQL(QStringLiteral("SELECT Grupo1 + Grupo2, Consumo + ValorCosto, Grupo1 + '-' + Fecha, Consumo "
                               "+ 1, '5' + 1 FROM DET WHERE Grupo1 = 'B'"));
    ASSERT_TRUE(r.error.isEmpty()) << qPrintable(r.error);
    EXPECT_EQ(r.Valor(0, 0).toString(), QStringLiteral("By"));
    EXPECT_EQ(r.Valor(0, 1).toDouble(), -33.0);
    EXPECT_EQ(r.Valor(0, 2).toString(), QStringLiteral("B-2/2024"));
    EXPECT_EQ(r.Valor(0, 3).toDouble(), -2.0);
    EXPECT_EQ(r.Valor(0, 4).toInt(), 6);
    EXPECT_TRUE(bd.TSQL(QStringLiteral("SELECT Grupo1 + NULL FROM DET")).Valor().isNull());
}

TEST_F(TsqlEjecucion, ColumnasCalculadasDeVistasYTablasDerivadasConservanLaColacion) {
    ASSERT_TRUE(bd.TSQL(QStringLiteral(
                            "CREATE VIEW V_DET AS SELECT ltrim(Grupo1) AS G, Consumo * 2 AS Doble FROM DET"))
                    .error.isEmpty());
    EXPECT_EQ(bd.TSQL(QStringLiteral("SELECT COUNT(*) FROM V_DET WHERE G = 'a'")).Valor().toInt(), 2);
    EXPECT_EQ(bd.TSQL(QStringLiteral("SELECT COUNT(*) FROM V_DET WHERE G IN ('A', 'b')")).Valor().toInt(), 3);
    EXPECT_EQ(bd.TSQL(QStringLiteral("SELECT COUNT(*) FROM V_DET WHERE Doble = -2")).Valor().toInt(), 1);
    EXPECT_EQ(
        bd.TSQL(QStringLiteral("SELECT COUNT(*) FROM (SELECT rtrim(Grupo1) AS H FROM DET) d WHERE d.H = 'A'"))
            .Valor()
            .toInt(),
        2);
    EXPECT_EQ(bd.TSQL(QStringLiteral("SELECT G FROM V_DET WHERE G <> 'a' ORDER BY G")).Columna(),
              (QStringList{QStringLiteral("B"), QStringLiteral("nz"), QStringLiteral("ñu"),
                           QStringLiteral("oso")}));
}
