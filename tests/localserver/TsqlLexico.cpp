// Tokenizer and statement splitter of the T-SQL front end.
#include <gtest/gtest.h>

#include <QStringList>

#include "localserver/tsql/Division.h"
#include "localserver/tsql/Lexico.h"

using namespace kv::local;

namespace {

QString Unir(const std::vector<Token>& tokens) {
    QString s;
    for (const Token& t : tokens) s += t.texto;
    return s;
}

std::vector<Token> Significativos(const QString& texto) {
    std::vector<Token> s;
    for (const Token& t : Tokenizar(texto))
        if (t.Significativo()) s.push_back(t);
    return s;
}

// The statements of a batch, each as its significant tokens joined by one blank.
QStringList Sentencias(const QString& lote) {
    const std::vector<Token> t = Significativos(lote);
    QStringList salida;
    for (const TramoSentencia& r : DividirSentencias(t)) {
        QStringList partes;
        for (int i = r.desde; i < r.hasta; ++i) partes << t[i].texto;
        salida << partes.join(QLatin1Char(' '));
    }
    return salida;
}

}  // namespace

TEST(TsqlLexico, LosTokensDevuelvenElTextoExacto) {
    const QStringList textos = {
        QStringLiteral("SELECT  a,b FROM [dbo].[T x] with(nolock)  WHERE c = N'd''e' -- fin\r\n"),
        QStringLiteral("BEGIN TRANSACTION \r\rINSERT INTO t VALUES (1.5e3, .5, 0x1F, ?, @v)\r"),
        QStringLiteral("/* uno /* dos */ tres */ select \"x\"\"y\" from t where a<>b and c!=d and e>=f"),
        QStringLiteral("select 'año' + 'ñ' from ÑANDÚ"),
        QStringLiteral("SELECT * FROM T WHERE F = #01/02/2024#"),
    };
    for (const QString& texto : textos) EXPECT_EQ(Unir(Tokenizar(texto)), texto) << qPrintable(texto);
}

TEST(TsqlLexico, ClasificaCadenasNombresYNumeros) {
    const std::vector<Token> t = Significativos(QStringLiteral("N'D''Alba' [a]]b] \"c\" 12.5 @x ? <> #"));
    ASSERT_EQ(t.size(), 8u);
    EXPECT_EQ(t[0].tipo, TipoToken::Cadena);
    EXPECT_EQ(t[0].Valor(), QStringLiteral("D'Alba"));
    EXPECT_EQ(t[1].tipo, TipoToken::Corchete);
    EXPECT_EQ(t[1].Nombre(), QStringLiteral("a]b"));
    EXPECT_EQ(t[2].tipo, TipoToken::Comillas);
    EXPECT_EQ(t[2].Nombre(), QStringLiteral("c"));
    EXPECT_EQ(t[3].tipo, TipoToken::Numero);
    EXPECT_EQ(t[4].tipo, TipoToken::Variable);
    EXPECT_EQ(t[5].tipo, TipoToken::Parametro);
    EXPECT_TRUE(t[6].EsSimbolo("<>"));
    EXPECT_TRUE(t[7].EsSimbolo("#"));
}

TEST(TsqlLexico, CuentaLineasConCrLfCrYLf) {
    const std::vector<Token> t = Significativos(QStringLiteral("a\r\nb\rc\nd\r\r\ne"));
    ASSERT_EQ(t.size(), 5u);
    EXPECT_EQ(t[0].linea, 1);
    EXPECT_EQ(t[1].linea, 2);
    EXPECT_EQ(t[2].linea, 3);
    EXPECT_EQ(t[3].linea, 4);
    EXPECT_EQ(t[4].linea, 6);
}

TEST(TsqlLexico, CadenaYComentarioSinCerrarSeAnotan) {
    FalloLexico fallo;
    const QString texto = QStringLiteral("select 'abc\r\nfrom t");
    EXPECT_EQ(Unir(Tokenizar(texto, &fallo)), texto);
    EXPECT_EQ(fallo.numero, 105);
    EXPECT_EQ(
        fallo.mensaje,
        QStringLiteral("Falta la comilla de cierre después de la cadena de caracteres 'abc\r\nfrom t'."));

    FalloLexico otro;
    Tokenizar(QStringLiteral("select 1 /* nunca"), &otro);
    EXPECT_EQ(otro.numero, 113);
    EXPECT_EQ(otro.mensaje, QStringLiteral("Falta la marca de fin de comentario '*/'."));
}

TEST(TsqlDivision, SentenciasSinSeparador) {
    EXPECT_EQ(Sentencias(
                  QStringLiteral("USE X SELECT 1 INSERT INTO t SELECT a FROM b UPDATE t SET a = 1 DELETE t")),
              (QStringList{QStringLiteral("USE X"), QStringLiteral("SELECT 1"),
                           QStringLiteral("INSERT INTO t SELECT a FROM b"),
                           QStringLiteral("UPDATE t SET a = 1"), QStringLiteral("DELETE t")}));
}

TEST(TsqlDivision, LoQueNoEmpiezaSentencia) {
    // UNION, subqueries, CREATE VIEW ... AS SELECT, ALTER ... DROP COLUMN, DROP ... IF EXISTS, hints.
    EXPECT_EQ(Sentencias(QStringLiteral("SELECT a FROM t UNION ALL SELECT b FROM u")).size(), 1);
    EXPECT_EQ(
        Sentencias(QStringLiteral("SELECT (SELECT 1) , x FROM t with(nolock) WHERE y IN (SELECT z FROM w)"))
            .size(),
        1);
    EXPECT_EQ(Sentencias(QStringLiteral("CREATE VIEW v AS SELECT a FROM t")).size(), 1);
    EXPECT_EQ(Sentencias(QStringLiteral("ALTER TABLE t DROP COLUMN c")).size(), 1);
    EXPECT_EQ(Sentencias(QStringLiteral("DROP TABLE IF EXISTS t")).size(), 1);
    EXPECT_EQ(
        Sentencias(QStringLiteral(
                       "ALTER TABLE t WITH NOCHECK ADD CONSTRAINT pk PRIMARY KEY (a) WITH  FILLFACTOR = 90"))
            .size(),
        1);
}

TEST(TsqlDivision, CreateTableSeguidoDeAlterSonDos) {
    const QStringList s =
        Sentencias(QStringLiteral("CREATE TABLE [dbo].[X] ( [a] [int] NULL ) ON [PRIMARY]\r\n \r\n"
                                  " ALTER TABLE [dbo].[X] WITH NOCHECK ADD\r\n CONSTRAINT [PK_X] PRIMARY KEY "
                                  " NONCLUSTERED ( [a] )  ON [PRIMARY]"));
    ASSERT_EQ(s.size(), 2);
    EXPECT_TRUE(s[0].startsWith(QStringLiteral("CREATE")));
    EXPECT_TRUE(s[1].startsWith(QStringLiteral("ALTER")));
}

TEST(TsqlDivision, TransaccionYSentenciaEnLaLineaSiguiente) {
    EXPECT_EQ(
        Sentencias(QStringLiteral("BEGIN TRANSACTION \r\rINSERT INTO t VALUES (1)\r")),
        (QStringList{QStringLiteral("BEGIN TRANSACTION"), QStringLiteral("INSERT INTO t VALUES ( 1 )")}));
    EXPECT_EQ(Sentencias(QStringLiteral("BEGIN TRAN uno\nCOMMIT TRAN uno")),
              (QStringList{QStringLiteral("BEGIN TRAN uno"), QStringLiteral("COMMIT TRAN uno")}));
}

TEST(TsqlDivision, PuntoYComaSeparaYNoQuedaEnLaSentencia) {
    EXPECT_EQ(Sentencias(QStringLiteral("SELECT 1; ;SELECT 2;")),
              (QStringList{QStringLiteral("SELECT 1"), QStringLiteral("SELECT 2")}));
}
