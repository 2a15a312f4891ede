// Random and mangled T-SQL must never crash the tokenizer, the splitter or the
// translation: it either translates or fails with an ErrorTSQL. Deterministic
// seed and a bounded number of rounds.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QStringList>
#include <random>

#include "GeneradoresLotes.h"
#include "ServidorPrueba.h"
#include "localserver/tsql/Division.h"
#include "localserver/tsql/Funciones.h"
#include "localserver/tsql/Lexico.h"
#include "localserver/tsql/Traduccion.h"

using namespace kv::local;

namespace {

const QStringList& Semillas() {
    static const QStringList s = {
        QStringLiteral("SELECT SUM(CONSUMO) AS CONSUMO, SUM(VALORCOSTO) AS VALORCOSTO,grupo1 FROM "
                       "DET_ESTV0000  Where BASE ='E1' "
                       " AND (FECHA ='1/2024'  OR FECHA ='2/2024' ) and ltrim(GRUPO1) in ('A','B')  GROUP BY "
                       "GRUPO1, GRUPO2, GRUPO3 "
                       " ORDER BY (((SUM(ValorVenta) -SUM(ValorCosto))/SUM(ValorCosto))*100) DESC"),
        QStringLiteral("SELECT BASE,grupo1 AS [Artículo] ,SUM(convert(money,CONSUMO)*-1) AS CONSUMO, case "
                       "when SUM(valorcosto)=0 then 100 "
                       "else (((SUM(VALORVENTA*-1)-SUM(VALORCOSTO*-1))/SUM(VALORCOSTO*-1))*100) end AS UTL "
                       "FROM T GROUP BY BASE"),
        QStringLiteral("CREATE TABLE [dbo].[CAB_ESTV] (\r\n [Codigo] [int] IDENTITY (1, 1) NOT NULL , \r\n "
                       "[TOP] [Int] NULL\r\n ) ON [PRIMARY]\r\n \r\n"
                       " ALTER TABLE [dbo].[CAB_ESTV] WITH NOCHECK ADD\r\n CONSTRAINT [PK_CAB_ESTV] PRIMARY "
                       "KEY  NONCLUSTERED\r\n (\r\n [CODIGO]\r\n )  ON [PRIMARY]"),
        QStringLiteral(
            "EXEC sp_grantdbaccess @loginame = 'KV_ESTADISTICAS' , @name_in_db ='KV_ESTADISTICAS'"),
        QStringLiteral("BEGIN TRANSACTION \r\rINSERT INTO T (a,b) VALUES ('x''y', N'ñ')\rUPDATE T SET a = a "
                       "+ 'b' WHERE b LIKE '%[a-c]_'\r"),
        QStringLiteral("SELECT     TOP 100 PERCENT IdFamilia, (SELECT     TOP 1 idfamilia FROM v a  Where "
                       "a.IdFamilia < b.IdFamilia And "
                       "(Len(LTrim(RTrim(a.IdFamilia))) < Len(LTrim(RTrim(b.IdFamilia)))) ORDER BY idfamilia "
                       "DESC) AS [relative] "
                       "FROM dbo.V_TA_FAMILIAS b Where IdFamilia<>'' ORDER BY IdFamilia"),
        QStringLiteral("ALTER TABLE dbo.Art ADD Precio money Not Null  CONSTRAINT DF_Art_Precio DEFAULT (0) "
                       "/* c */ -- d\n"),
        QStringLiteral("SELECT TOP 1 * FROM T with(nolock)  WHERE F = #01/02/2024# "),
        QStringLiteral("DELETE CAB_ESTV WHERE NOMBRE='x' DROP TABLE DET_ESTV0001 USE KV Create Database KV"),
        QStringLiteral("SELECT CHARINDEX('a', x, 2), substring(x, 1, 2), ISNULL(y, GETDATE()), "
                       "CONVERT(datetime, '01/' + F, 103) FROM t"),
        QStringLiteral(
            "IF NOT EXISTS (SELECT * FROM sysobjects WHERE name = 'X') CREATE TABLE X (a integer, b "
            "character varying(10), c dec(18,4))\r\nIF OBJECT_ID('V') IS NOT NULL DROP VIEW V"),
        QStringLiteral(
            "DECLARE @i int, @s nvarchar(20) SET @i = 0 WHILE @i < 3 BEGIN SET @i += 1 IF @i = 2 "
            "BREAK ELSE PRINT 'x' END SELECT @s = name FROM sys.tables RAISERROR('e %d', 16, 1, @i) "
            "RETURN"),
        QStringLiteral("SELECT TABLE_NAME FROM INFORMATION_SCHEMA.TABLES UNION SELECT name FROM sys.objects "
                       "WHERE DB_NAME() = SUSER_SNAME() AND @@ROWCOUNT > SCOPE_IDENTITY()"),
        QStringLiteral(
            "CREATE VIEW vC AS SELECT c.Codigo AS Cod, Saldo FROM dbo.Clientes c WHERE Zona = 'N' "
            "UPDATE vC SET Saldo = Saldo + 1 WHERE Cod = 2 DELETE FROM vC INSERT INTO vC (Cod) VALUES "
            "(3) GRANT EXECUTE ON KV_RECONS_ESTV TO lector"),
    };
    return s;
}

const QStringList& Piezas() {
    static const QStringList p = {
        QStringLiteral("("),
        QStringLiteral(")"),
        QStringLiteral("'"),
        QStringLiteral("["),
        QStringLiteral("]"),
        QStringLiteral("\""),
        QStringLiteral(","),
        QStringLiteral("SELECT"),
        QStringLiteral("FROM"),
        QStringLiteral("WHERE"),
        QStringLiteral("OR"),
        QStringLiteral("AND"),
        QStringLiteral("NOT"),
        QStringLiteral("IN"),
        QStringLiteral("CASE"),
        QStringLiteral("END"),
        QStringLiteral("TOP"),
        QStringLiteral("/*"),
        QStringLiteral("*/"),
        QStringLiteral("--"),
        QStringLiteral("\r\n"),
        QStringLiteral("\r"),
        QStringLiteral("N'"),
        QStringLiteral("@"),
        QStringLiteral("?"),
        QStringLiteral("#"),
        QStringLiteral("1"),
        QStringLiteral(".5e"),
        QStringLiteral("0x"),
        QStringLiteral("dbo."),
        QStringLiteral("with(nolock)"),
        QStringLiteral("EXEC"),
        QStringLiteral("BEGIN TRANSACTION"),
        QStringLiteral("="),
        QStringLiteral("<>"),
        QStringLiteral("+"),
        QStringLiteral("/"),
        QStringLiteral("ñ"),
        QStringLiteral("\xF0\x9F\x98\x80"),
        QStringLiteral("UNION"),
        QStringLiteral("CREATE TABLE"),
        QStringLiteral("ALTER TABLE"),
        QStringLiteral("CONSTRAINT"),
        QStringLiteral("IDENTITY"),
        QStringLiteral("DEFAULT"),
        QStringLiteral(";"),
        QStringLiteral("convert("),
        QStringLiteral("IF"),
        QStringLiteral("ELSE"),
        QStringLiteral("BEGIN"),
        QStringLiteral("WHILE"),
        QStringLiteral("BREAK"),
        QStringLiteral("DECLARE @v int"),
        QStringLiteral("SET @v ="),
        QStringLiteral("PRINT"),
        QStringLiteral("RAISERROR("),
        QStringLiteral("RETURN"),
        QStringLiteral("EXISTS"),
        QStringLiteral("OBJECT_ID("),
        QStringLiteral("INFORMATION_SCHEMA.COLUMNS"),
        QStringLiteral("sys.objects"),
        QStringLiteral("CREATE VIEW"),
        QStringLiteral("GRANT EXECUTE ON"),
    };
    return p;
}

void Probar(const QString& texto) {
    const std::vector<Token> tokens = Tokenizar(texto);
    QString unido;
    for (const Token& t : tokens) unido += t.texto;
    ASSERT_EQ(unido, texto);
    std::vector<Token> significativos;
    for (const Token& t : tokens)
        if (t.Significativo()) significativos.push_back(t);
    for (const TramoSentencia& r : DividirSentencias(significativos)) {
        ASSERT_LE(0, r.desde);
        ASSERT_LE(r.desde, r.hasta);
        ASSERT_LE(r.hasta, static_cast<int>(significativos.size()));
    }
    try {
        TraducirLote(texto);
    } catch (const ErrorTSQL& e) {
        EXPECT_FALSE(e.mensaje().isEmpty());
    }
}

}  // namespace

TEST(TsqlFuzz, TextoMutiladoNuncaRompe) {
    std::mt19937 azar(20261207);
    const QStringList& semillas = Semillas();
    const QStringList& piezas = Piezas();
    for (int ronda = 0; ronda < 4000; ++ronda) {
        QString texto = semillas[azar() % semillas.size()];
        const int cambios = 1 + azar() % 6;
        for (int k = 0; k < cambios; ++k) {
            const int pos = texto.isEmpty() ? 0 : static_cast<int>(azar() % (texto.size() + 1));
            switch (azar() % 4) {
                case 0:
                    texto.insert(pos, piezas[azar() % piezas.size()]);
                    break;
                case 1:
                    texto.remove(pos, 1 + azar() % 8);
                    break;
                case 2:
                    texto.insert(pos, QChar(static_cast<char16_t>(1 + azar() % 0x2FF)));
                    break;
                default:
                    texto.truncate(pos);
                    break;
            }
        }
        Probar(texto);
    }
}

TEST(TsqlFuzz, TokensAlAzar) {
    std::mt19937 azar(7);
    const QStringList& piezas = Piezas();
    for (int ronda = 0; ronda < 3000; ++ronda) {
        QStringList partes;
        const int n = 1 + azar() % 40;
        for (int i = 0; i < n; ++i) partes << piezas[azar() % piezas.size()];
        Probar(partes.join(azar() % 2 ? QStringLiteral(" ") : QString()));
    }
}

TEST(TsqlFuzz, AnidamientoProfundoSeRechazaSinDesbordar) {
    const QString abrir = QStringLiteral("(").repeated(20000);
    const QString cerrar = QStringLiteral(")").repeated(20000);
    EXPECT_THROW(TraducirLote(QStringLiteral("SELECT ") + abrir + QStringLiteral("1") + cerrar), ErrorTSQL);
    EXPECT_THROW(
        TraducirLote(QStringLiteral("SELECT ") + QStringLiteral("-").repeated(20000) + QStringLiteral("1")),
        ErrorTSQL);
    EXPECT_THROW(TraducirLote(QStringLiteral("SELECT ") + QStringLiteral("NOT ").repeated(20000) +
                              QStringLiteral("1")),
                 ErrorTSQL);
    EXPECT_THROW(TraducirLote(QStringLiteral("SELECT ") + QStringLiteral("(SELECT ").repeated(5000)),
                 ErrorTSQL);
    EXPECT_THROW(
        TraducirLote(QStringLiteral("SELECT ") + QStringLiteral("CASE WHEN 1=1 THEN ").repeated(5000)),
        ErrorTSQL);
}

TEST(TsqlFuzz, FuncionesConValoresAlAzar) {
    // The functions and LIKE get odd inputs through SQL and answer or fail cleanly.
    sqlite3* bd = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &bd), SQLITE_OK);
    ASSERT_EQ(RegistrarFuncionesTSQL(bd), SQLITE_OK);
    const QStringList valores = {QStringLiteral("NULL"),
                                 QStringLiteral("''"),
                                 QStringLiteral("' '"),
                                 QStringLiteral("'%[^'"),
                                 QStringLiteral("'[a-'"),
                                 QStringLiteral("-1"),
                                 QStringLiteral("0"),
                                 QStringLiteral("9223372036854775807"),
                                 QStringLiteral("-9223372036854775808"),
                                 QStringLiteral("1e308"),
                                 QStringLiteral("'ñ%_'"),
                                 QStringLiteral("'31/12/9999 23:59:59'"),
                                 QStringLiteral("'99/99/99'"),
                                 QStringLiteral("x'FF80'"),
                                 QStringLiteral("'%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%%b'")};
    const QStringList funciones = {QStringLiteral("kv_div(%1,%2)"),
                                   QStringLiteral("kv_mod(%1,%2)"),
                                   QStringLiteral("kv_suma(%1,%2)"),
                                   QStringLiteral("kv_charindex(%1,%2)"),
                                   QStringLiteral("kv_subcadena(%1,%2,%2)"),
                                   QStringLiteral("kv_derecha(%1,%2)"),
                                   QStringLiteral("kv_replicar(%1,%2)"),
                                   QStringLiteral("%1 LIKE %2"),
                                   QStringLiteral("kv_fecha(%1, %2)"),
                                   QStringLiteral("kv_texto(%1, %2, 103)"),
                                   QStringLiteral("kv_len(%1) + kv_entero(%2)"),
                                   QStringLiteral("kv_dateadd('day', %2, %1)"),
                                   QStringLiteral("kv_datediff('hour', %1, %2)"),
                                   QStringLiteral("%1 COLLATE KV < %2"),
                                   QStringLiteral("kv_reemplazar(%1, %2, 'x')")};
    for (const QString& f : funciones) {
        for (const QString& a : valores) {
            for (const QString& b : valores) {
                const QByteArray sql = (QStringLiteral("SELECT ") + f.arg(a, b)).toUtf8();
                sqlite3_stmt* st = nullptr;
                if (sqlite3_prepare_v2(bd, sql.constData(), -1, &st, nullptr) == SQLITE_OK) {
                    while (sqlite3_step(st) == SQLITE_ROW) {
                    }
                    sqlite3_finalize(st);
                }
            }
        }
    }
    sqlite3_close(bd);
}

TEST(TsqlFuzz, FormasLimiteNuncaRompenLaTraduccion) {
    // Long chains, deep parentheses, CASE and blocks, long IN lists: each stage
    // walks them without going deep into the stack, or refuses them with an error.
    std::mt19937 azar(20261208);
    for (int ronda = 0; ronda < 150; ++ronda) Probar(kv::pruebas::generadores::Lote(azar, 20000));
}

namespace {

class FuzzSesion : public kv::pruebas::ServidorPrueba {};

}  // namespace

TEST_F(FuzzSesion, FormasLimitePorUnaSesionTerminanConRespuesta) {
    // The same shapes run whole: the plan, both routes, SQLite and the session answer
    // each batch with rows or errors, and the connection works on afterwards.
    auto c = Conectar();
    Lote(*c, QStringLiteral("CREATE DATABASE FUZZ"));
    Lote(*c, QStringLiteral("USE FUZZ"));
    Lote(*c, QStringLiteral("CREATE TABLE DET_ESTV0001 (Base nvarchar(50) NOT NULL, Fecha nvarchar(7) NOT NULL, "
                            "Grupo1 nvarchar(25) NOT NULL, Grupo2 nvarchar(25) NOT NULL, Grupo3 nvarchar(25) NOT "
                            "NULL, Consumo float NULL, ValorCosto money NULL, ValorVenta money NULL, CONSTRAINT "
                            "PK_D PRIMARY KEY (Base, Fecha, Grupo1, Grupo2, Grupo3))"));
    Lote(*c, QStringLiteral("INSERT INTO DET_ESTV0001 VALUES ('N', '1/2025', 'A', ' ', ' ', 1, 10, 20)"));
    c->SetCommandTimeout(20);
    std::mt19937 azar(8122026);
    int respondidos = 0;
    for (int ronda = 0; ronda < 80; ++ronda) {
        const QString lote = kv::pruebas::generadores::Lote(azar, 30000);
        try {
            c->EjecutarLote(lote);
        } catch (const kv::KvExcepcion&) {
            // A batch refused whole (syntax, nesting) is an answer too.
        }
        ++respondidos;
    }
    EXPECT_EQ(respondidos, 80);
    EXPECT_EQ(Valor(*c, QStringLiteral("SELECT count(*) FROM DET_ESTV0001")).toInt(), 1);
}
