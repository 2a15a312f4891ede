// Built-in functions and @@ values that install scripts and the ERP's own queries
// use, answered as SQL Server (in Spanish) answers them.
#include <QDateTime>
#include <QRegularExpression>
#include <cstdlib>
#include <QString>

#include "SesionEnBase.h"

using namespace kv::pruebas;

namespace {

class FuncionesIntegradas : public SesionEnBase {
  protected:
    void SetUp() override {
        SesionEnBase::SetUp();
        AbrirEn(QStringLiteral("FUNCS"));
    }
    // The one value of SELECT <expresion>, as text ("NULL" for NULL).
    QString Uno(const QString& expresion) {
        const QStringList filas = Todo(QStringLiteral("SELECT ") + expresion);
        return filas.size() == 1 ? filas[0] : QStringLiteral("<%1 filas>").arg(filas.size());
    }
    QString Mensaje(const QString& sql) {
        const auto e = ErrorDe(*c_, sql);
        return e ? QString::number(e->errorNativo) + QLatin1Char(' ') + e->descripcion : QStringLiteral("sin error");
    }
};

}  // namespace

TEST_F(FuncionesIntegradas, TextosStuffReverseQuotenameParsename) {
    EXPECT_EQ(Uno("STUFF('abcdef', 2, 3, 'XY')"), "aXYef");
    EXPECT_EQ(Uno("STUFF('abc', 2, 9, NULL)"), "a");      // NULL inserts nothing
    EXPECT_EQ(Uno("STUFF('abc', 3, 0, '-')"), "ab-c");    // nothing taken out
    EXPECT_EQ(Uno("STUFF('abc', 4, 1, 'x')"), "NULL");    // past the end
    EXPECT_EQ(Uno("STUFF('abc', 0, 1, 'x')"), "NULL");
    EXPECT_EQ(Uno("STUFF('abc', 1, -1, 'x')"), "NULL");
    EXPECT_EQ(Uno("REVERSE(N'Ñandú')"), QString::fromUtf8("údnaÑ"));
    EXPECT_EQ(Uno("QUOTENAME('a]b')"), "[a]]b]");
    EXPECT_EQ(Uno("QUOTENAME('a''b', '''')"), "'a''b'");
    EXPECT_EQ(Uno("QUOTENAME('t', '\"')"), "\"t\"");
    EXPECT_EQ(Uno("QUOTENAME('t', '(')"), "NULL");
    EXPECT_EQ(Uno("QUOTENAME(REPLICATE('x', 129))"), "NULL");
    EXPECT_EQ(Uno("PARSENAME('srv.base.dbo.tabla', 1) + '|' + PARSENAME('srv.base.dbo.tabla', 4)"), "tabla|srv");
    EXPECT_EQ(Uno("PARSENAME('[a.b].\"c]\"', 2) + '|' + PARSENAME('[a.b].\"c]\"', 1)"), "a.b|c]");
    EXPECT_EQ(Uno("PARSENAME('dbo.t', 3)"), "NULL");
    EXPECT_EQ(Uno("PARSENAME('a..c', 2)"), "NULL");
    EXPECT_EQ(Uno("PARSENAME('a.b.c.d.e', 1)"), "NULL");  // five parts are no name
    EXPECT_EQ(Uno("PARSENAME('[a', 1)"), "NULL");
}

// STR right-aligns in its length; the decimals that do not fit go first, then
// the whole number gives asterisks. ISNUMERIC takes money forms too.
TEST_F(FuncionesIntegradas, StrIsnumericPatindex) {
    EXPECT_EQ(Uno("'[' + STR(42) + ']'"), "[        42]");
    EXPECT_EQ(Uno("'[' + STR(12.345, 8, 2) + ']'"), "[   12.35]");
    EXPECT_EQ(Uno("'[' + STR(-2.5) + ']'"), "[        -3]");
    EXPECT_EQ(Uno("'[' + STR(123.45, 5, 2) + ']'"), "[123.5]");
    EXPECT_EQ(Uno("'[' + STR(123.45, 3, 2) + ']'"), "[123]");
    EXPECT_EQ(Uno("'[' + STR(123.45, 2) + ']'"), "[**]");
    EXPECT_EQ(Uno("'[' + STR(9.99, 3, 1) + ']'"), "[ 10]");
    EXPECT_EQ(Uno("'[' + STR(-0.001, 6, 2) + ']'"), "[  0.00]");
    EXPECT_EQ(Uno("STR(NULL)"), "NULL");
    EXPECT_EQ(Uno("STR(1, 0)"), "NULL");

    const char* numeros[] = {"12", " -12.5 ", "1e5", "1.5D-3", "$12,000.50", "-$5", "$", ".", "-", "+", ","};
    for (const char* n : numeros)
        EXPECT_EQ(Uno(QStringLiteral("ISNUMERIC('%1')").arg(QLatin1String(n))), "1") << n;
    const char* otros[] = {"", "  ", "abc", "12a", "1e", "1..2", "--1"};
    for (const char* n : otros)
        EXPECT_EQ(Uno(QStringLiteral("ISNUMERIC('%1')").arg(QLatin1String(n))), "0") << n;
    EXPECT_EQ(Uno("ISNUMERIC(NULL)"), "0");
    EXPECT_EQ(Uno("ISNUMERIC(3.5)"), "1");

    EXPECT_EQ(Uno("PATINDEX('%C%', 'abcd')"), "3");  // ignoring case, as LIKE
    EXPECT_EQ(Uno("PATINDEX('%[0-9]%', 'ab12')"), "3");
    EXPECT_EQ(Uno("PATINDEX('ab%', 'abcd')"), "1");
    EXPECT_EQ(Uno("PATINDEX('bc%', 'abcd')"), "0");  // no leading %: from the start only
    EXPECT_EQ(Uno("PATINDEX('%cd', 'abcd')"), "3");
    EXPECT_EQ(Uno("PATINDEX('%c', 'abcd')"), "0");
    EXPECT_EQ(Uno("PATINDEX('%', 'abc')"), "1");
    EXPECT_EQ(Uno("PATINDEX('%x%', NULL)"), "NULL");
}

TEST_F(FuncionesIntegradas, NumerosYSusErrores) {
    EXPECT_EQ(Uno("POWER(2, 10)"), "1024");
    EXPECT_EQ(Uno("POWER(2, -1)"), "0");  // of the base's type: an integer
    EXPECT_EQ(Uno("POWER(2.0, -1)"), "0.5");
    EXPECT_EQ(Uno("SQUARE(3) + SQRT(16) + LOG10(1000)"), "16");
    EXPECT_EQ(Uno("ROUND(EXP(1), 6)"), "2.718282");
    EXPECT_EQ(Uno("ROUND(LOG(10), 6)"), "2.302585");
    EXPECT_EQ(Uno("ROUND(PI(), 10)"), "3.1415926536");
    EXPECT_EQ(Mensaje("SELECT POWER(10, 10)"),
              "8115 Error de desbordamiento aritmético al convertir expression al tipo de datos int.");
    EXPECT_EQ(Mensaje("SELECT SQRT(-1)"), "3623 Se produjo una operación de punto flotante no válida.");
    EXPECT_EQ(PrimerError(*c_, "SELECT LOG(0)"), 3623);
    EXPECT_EQ(PrimerError(*c_, "SELECT SQRT('x')"), 8114);
    // RAND: in [0, 1); a seed starts the same sequence again.
    const QStringList dos = Todo("SELECT RAND(7), RAND(), RAND(7), RAND()");
    ASSERT_EQ(dos.size(), 1);
    const QStringList v = dos[0].split('|');
    EXPECT_EQ(v[0], v[2]);
    EXPECT_EQ(v[1], v[3]);
    EXPECT_NE(v[0], v[1]);
    for (const QString& x : v) EXPECT_TRUE(x.toDouble() >= 0 && x.toDouble() < 1) << x.toStdString();
}

// The server speaks Spanish: month and day names, weeks from Monday (@@DATEFIRST 1).
TEST_F(FuncionesIntegradas, FechasEnEspanol) {
    EXPECT_EQ(Uno("DATENAME(month, '20261208') + ' ' + DATENAME(weekday, '20261208')"), "Diciembre Martes");
    EXPECT_EQ(Uno("DATENAME(dw, '20261206') + DATENAME(mm, '20260901')"), QString::fromUtf8("DomingoSeptiembre"));
    EXPECT_EQ(Uno("DATENAME(year, '20261208') + '|' + DATENAME(day, '20261208')"), "2026|8");
    EXPECT_EQ(Uno("@@LANGUAGE"), QString::fromUtf8("Español"));
    EXPECT_EQ(Uno("@@DATEFIRST"), "1");
    EXPECT_EQ(Uno("DATEPART(dw, '20261207')"), "1");  // a Monday
    EXPECT_EQ(Uno("DATEPART(weekday, '20261206')"), "7");
    // 2026 begins on a Thursday: Sunday the 4th is still week 1, Monday the 5th week 2.
    EXPECT_EQ(Uno("DATEPART(wk, '20260104')"), "1");
    EXPECT_EQ(Uno("DATEPART(wk, '20260105')"), "2");
    EXPECT_EQ(Uno("ISDATE('31/12/2026')"), "1");
    EXPECT_EQ(Uno("ISDATE('20261301')"), "0");
    EXPECT_EQ(Uno("ISDATE('mañana')"), "0");
    EXPECT_EQ(Uno("ISDATE(NULL)"), "0");
    // GETUTCDATE is GETDATE less the zone's offset.
    const int minutos = Uno("DATEDIFF(mi, GETUTCDATE(), GETDATE())").toInt();
    EXPECT_LE(std::abs(minutos - QDateTime::currentDateTime().offsetFromUtc() / 60), 1);
}

TEST_F(FuncionesIntegradas, LoQueElServidorDiceDeSi) {
    EXPECT_EQ(Uno("SERVERPROPERTY('ProductVersion')"), "8.00.2039");
    EXPECT_EQ(Uno("SERVERPROPERTY('Collation')"), "Modern_Spanish_CI_AS");
    EXPECT_EQ(Uno("SERVERPROPERTY('ServerName')"), Uno("@@SERVERNAME"));
    EXPECT_EQ(Uno("SERVERPROPERTY('IsIntegratedSecurityOnly') + 1"), "1");
    EXPECT_EQ(Uno("SERVERPROPERTY('NoExiste')"), "NULL");
    EXPECT_EQ(Uno("USER"), Uno("USER_NAME()"));
    EXPECT_FALSE(Uno("HOST_NAME()").isEmpty());
    // NEWID: a new uniqueidentifier each time, in upper case.
    const QStringList ids = Todo("SELECT NEWID(), NEWID()");
    ASSERT_EQ(ids.size(), 1);
    const QStringList par = ids[0].split('|');
    static const QRegularExpression forma(QStringLiteral("^[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}$"));
    EXPECT_TRUE(forma.match(par[0]).hasMatch()) << par[0].toStdString();
    EXPECT_NE(par[0], par[1]);
    // @@SPID: each session its own, and sp_who shows it.
    auto otra = Conectar();
    const QString mio = Uno("@@SPID");
    const QString suyo = Todo(*otra, "SELECT @@SPID").value(0);
    EXPECT_GE(mio.toInt(), 51);
    EXPECT_NE(mio, suyo);
    EXPECT_EQ(Todo("EXEC sp_who").value(0).section('|', 0, 0), mio);
}
