// SQL Server's types on the embedded server: the ISO names of the types, the
// result types of expressions (money exact, int arithmetic as int) and the
// types the client receives.
#include <QString>

#include "ServidorPrueba.h"
#include "db/Proveedor.h"

using namespace kv::pruebas;
namespace tipo = kv::db::tipo;

namespace {

class TiposSqlServer : public ServidorPrueba {
  protected:
    void SetUp() override {
        ServidorPrueba::SetUp();
        c_ = Conectar();
        Lote(*c_, QStringLiteral("CREATE DATABASE TIPOS"));
        Lote(*c_, QStringLiteral("USE TIPOS"));
    }
    // The first result with rows of a batch.
    kv::db::ResultadoSentencia Resultado(const QString& sql) {
        for (auto& r : Lote(*c_, sql))
            if (r.tieneFilas) return r;
        ADD_FAILURE() << "sin filas: " << sql.toStdString();
        return {};
    }
    std::unique_ptr<kv::db::Conexion> c_;
};

}  // namespace

TEST_F(TiposSqlServer, LosNombresIsoDeLosTiposCreanLaTabla) {
    Lote(*c_,
         QStringLiteral("CREATE TABLE iso (a integer, b character(5), c char varying(10), "
                        "d character varying(10), e national character(3), f nchar varying(8), "
                        "g dec(10, 2), h double precision, i national char varying(4), j national text)"));
    Lote(*c_, QStringLiteral("INSERT INTO iso VALUES (1, 'b', 'c', 'd', 'e', 'f', 12.345, 1.5, 'i', 'j')"));
    const auto r = Resultado(QStringLiteral("SELECT a, b, c, d, e, f, g, h, i, j FROM iso"));
    ASSERT_EQ(r.columnas.size(), 10u);
    EXPECT_EQ(r.columnas[0].tipo, tipo::Integer);
    EXPECT_EQ(r.columnas[1].tipo, tipo::Char);
    EXPECT_EQ(r.columnas[2].tipo, tipo::VarChar);
    EXPECT_EQ(r.columnas[3].tipo, tipo::VarChar);
    EXPECT_EQ(r.columnas[4].tipo, tipo::WChar);
    EXPECT_EQ(r.columnas[5].tipo, tipo::VarWChar);
    EXPECT_EQ(r.columnas[6].tipo, tipo::Numeric);
    EXPECT_EQ(r.columnas[7].tipo, tipo::Double);
    EXPECT_EQ(r.columnas[8].tipo, tipo::VarWChar);
    EXPECT_EQ(r.columnas[9].tipo, tipo::LongVarWChar);
    EXPECT_DOUBLE_EQ(r.filas[0][6].toDouble(), 12.35);  // dec(10, 2) keeps two decimals
    // A character value is cut to its length as SQL Server does.
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("INSERT INTO iso (c) VALUES ('12345678901')")), 8152);
}

TEST_F(TiposSqlServer, LaSumaDeDineroEsExactaYLlegaComoDinero) {
    Lote(*c_, QStringLiteral("CREATE TABLE ventas (linea int, importe money)"));
    // Values whose sum as floating point shows noise.
    QString lote;
    for (int i = 0; i < 10; ++i) lote += QStringLiteral("INSERT INTO ventas VALUES (%1, 0.1)\n").arg(i);
    lote += QStringLiteral(
        "INSERT INTO ventas VALUES (20, -85502225.13)\n"
        "INSERT INTO ventas VALUES (21, -85502225.14)\n"
        "INSERT INTO ventas VALUES (22, -85502225.14)\n");
    Lote(*c_, lote);
    auto r = Resultado(QStringLiteral("SELECT SUM(importe) FROM ventas WHERE linea < 10"));
    ASSERT_EQ(r.filas.size(), 1u);
    EXPECT_EQ(r.columnas[0].tipo, tipo::Currency);
    EXPECT_EQ(r.filas[0][0].toDouble(), 1.0);

    r = Resultado(QStringLiteral("SELECT SUM(v.importe) AS total FROM ventas v WHERE v.linea >= 20"));
    EXPECT_EQ(r.columnas[0].tipo, tipo::Currency);
    EXPECT_EQ(r.filas[0][0].toDouble(), -256506675.41);
    EXPECT_EQ(QString::number(r.filas[0][0].toDouble(), 'g', 15), QStringLiteral("-256506675.41"));

    // Through a view, grouped, and in a scalar subquery: still money and exact.
    Lote(*c_, QStringLiteral("CREATE VIEW v_ventas AS SELECT linea, importe FROM ventas"));
    r =
        Resultado(QStringLiteral("SELECT linea / 10 AS grupo, SUM(importe) AS total FROM v_ventas "
                                 "GROUP BY linea / 10 ORDER BY grupo"));
    ASSERT_EQ(r.filas.size(), 2u);
    EXPECT_EQ(r.columnas[1].tipo, tipo::Currency);
    EXPECT_EQ(r.filas[0][1].toDouble(), 1.0);
    EXPECT_EQ(r.filas[1][1].toDouble(), -256506675.41);
    r = Resultado(QStringLiteral("SELECT (SELECT SUM(importe) FROM ventas) AS total"));
    EXPECT_EQ(r.columnas[0].tipo, tipo::Currency);
    EXPECT_EQ(r.filas[0][0].toDouble(), -256506674.41);
}

TEST_F(TiposSqlServer, LaAritmeticaDelDineroSigueSiendoDinero) {
    Lote(*c_, QStringLiteral("CREATE TABLE precios (a money, b money, n int)"));
    Lote(*c_, QStringLiteral("INSERT INTO precios VALUES (0.1, 0.2, 3)"));
    const auto r = Resultado(QStringLiteral("SELECT a + b, b - a, a * n, a * 3, b / 3 FROM precios"));
    ASSERT_EQ(r.filas.size(), 1u);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(r.columnas[i].tipo, tipo::Currency) << i;
    EXPECT_EQ(r.filas[0][0].toDouble(), 0.3);
    EXPECT_EQ(r.filas[0][1].toDouble(), 0.1);
    EXPECT_EQ(r.filas[0][2].toDouble(), 0.3);
    EXPECT_EQ(r.filas[0][3].toDouble(), 0.3);
    // Money's division is cut to four decimals, not rounded.
    EXPECT_EQ(r.filas[0][4].toDouble(), 0.0666);
    // Comparisons of money are exact too.
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT count(*) FROM precios WHERE a + b = 0.3")).toInt(), 1);
}

TEST_F(TiposSqlServer, EnteroConEnteroEsEntero) {
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT 7 / 2")).toLongLong(), 3);
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT -7 / 2")).toLongLong(), -3);
    Lote(*c_, QStringLiteral("CREATE TABLE n (a int, b bigint)"));
    Lote(*c_, QStringLiteral("INSERT INTO n VALUES (1, 1) INSERT INTO n VALUES (2, 2)"));
    const auto r =
        Resultado(QStringLiteral("SELECT AVG(a), AVG(b), SUM(a), a * 2 FROM n GROUP BY a * 2 "
                                 "ORDER BY a * 2"));
    ASSERT_EQ(r.filas.size(), 2u);
    EXPECT_EQ(r.columnas[0].tipo, tipo::Integer);
    EXPECT_EQ(r.columnas[1].tipo, tipo::BigInt);
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT AVG(a) FROM n")).toLongLong(), 1);
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT AVG(b) FROM n")).toLongLong(), 1);
    EXPECT_EQ(Resultado(QStringLiteral("SELECT COUNT(*) FROM n")).columnas[0].tipo, tipo::Integer);
}

TEST_F(TiposSqlServer, ElDesbordamientoDeEnterosFallaCon8115) {
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("SELECT 2147483647 + 1")), 8115);
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("SELECT -2147483647 - 2")), 8115);
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("SELECT 65536 * 65536")), 8115);
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("SELECT CAST(9223372036854775807 AS bigint) + 1")), 8115);
    // A literal beyond int is a decimal: no overflow.
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT 2147483648 + 1")).toLongLong(), 2147483649LL);
    Lote(*c_, QStringLiteral("CREATE TABLE n (a int)"));
    Lote(*c_, QStringLiteral("INSERT INTO n VALUES (2147483647)"));
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("SELECT a + 1 FROM n")), 8115);
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("UPDATE n SET a = a + 1")), 8115);
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT a FROM n")).toLongLong(), 2147483647LL);
}

TEST_F(TiposSqlServer, UnTextoQueNoEsNumeroNoSeSumaANumeros) {
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("SELECT 1 + 'x'")), 245);
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("SELECT 'x' - 1")), 245);
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("SELECT 2 * 'x'")), 245);
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT 1 + '2'")).toLongLong(), 3);
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT 'a' + 'b'")).toString(), QStringLiteral("ab"));
    EXPECT_EQ(PrimerError(*c_, QStringLiteral("SELECT 1.5 + 'x'")), 8114);
    const auto r = c_->EjecutarLote(QStringLiteral("SELECT 1 + 'abc'"));
    ASSERT_EQ(r.size(), 1u);
    ASSERT_TRUE(r[0].error);
    EXPECT_EQ(
        r[0].error->descripcion,
        QStringLiteral("Error de conversión al convertir el valor varchar 'abc' al tipo de datos int."));
}
