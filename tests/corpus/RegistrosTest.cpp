// The record runner on its own, against an engine that answers from a table of batches.
#include <gtest/gtest.h>

#include <QMap>

#include "Registros.h"

using namespace kv::pruebas::corpus;

namespace {

QStringList Ejecutados;

Respuesta Tabla(const QString& sql) {
    Ejecutados << sql;
    Respuesta r;
    if (sql == QLatin1String("SELECT 1, 2.5, 'x'")) r.filas = {{QVariant(1), QVariant(2.5), QVariant(QStringLiteral("x"))}};
    else if (sql == QLatin1String("SELECT v FROM t")) r.filas = {{QVariant(3)}, {QVariant(1)}, {QVariant(2)}};
    else if (sql.startsWith(QLatin1String("CREATE TABLE bad"))) r.error = QStringLiteral("2714 ya existe");
    else if (sql == QLatin1String("SELECT n FROM muchos"))
        for (int i = 0; i < 10; ++i) r.filas.push_back({QVariant(i)});
    return r;
}

}  // namespace

TEST(Registros, FormatoDeCadaTipo) {
    EXPECT_EQ(Formatear(QVariant(), QLatin1Char('I')), QStringLiteral("NULL"));
    EXPECT_EQ(Formatear(QVariant(QMetaType(QMetaType::Int)), QLatin1Char('T')), QStringLiteral("NULL"));
    EXPECT_EQ(Formatear(QVariant(qlonglong(-42)), QLatin1Char('I')), QStringLiteral("-42"));
    EXPECT_EQ(Formatear(QVariant(-7.9), QLatin1Char('I')), QStringLiteral("-7"));
    EXPECT_EQ(Formatear(QVariant(QStringLiteral("12.75")), QLatin1Char('I')), QStringLiteral("12"));
    EXPECT_EQ(Formatear(QVariant(QStringLiteral("abc")), QLatin1Char('I')), QStringLiteral("0"));
    EXPECT_EQ(Formatear(QVariant(2), QLatin1Char('R')), QStringLiteral("2.000"));
    EXPECT_EQ(Formatear(QVariant(-1.23456), QLatin1Char('R')), QStringLiteral("-1.235"));
    EXPECT_EQ(Formatear(QVariant(QStringLiteral("0.5")), QLatin1Char('R')), QStringLiteral("0.500"));
    EXPECT_EQ(Formatear(QVariant(QString()), QLatin1Char('T')), QStringLiteral("(empty)"));
    EXPECT_EQ(Formatear(QVariant(QStringLiteral("a\tb")), QLatin1Char('T')), QStringLiteral("a@b"));
    // Each byte of a character past ASCII.
    EXPECT_EQ(Formatear(QVariant(QStringLiteral("año")), QLatin1Char('T')), QStringLiteral("a@@o"));
    EXPECT_EQ(Formatear(QVariant(15), QLatin1Char('T')), QStringLiteral("15"));
}

TEST(Registros, OrdenesYResumen) {
    const QStringList v{QStringLiteral("b"), QStringLiteral("2"), QStringLiteral("a"), QStringLiteral("9"),
                        QStringLiteral("a"), QStringLiteral("10")};
    EXPECT_EQ(*Ordenar(v, 2, QStringLiteral("nosort")), v);
    // Bytewise: "10" before "9".
    EXPECT_EQ(*Ordenar(v, 2, QStringLiteral("rowsort")),
              (QStringList{QStringLiteral("a"), QStringLiteral("10"), QStringLiteral("a"), QStringLiteral("9"),
                           QStringLiteral("b"), QStringLiteral("2")}));
    EXPECT_EQ(*Ordenar(v, 2, QStringLiteral("valuesort")),
              (QStringList{QStringLiteral("10"), QStringLiteral("2"), QStringLiteral("9"), QStringLiteral("a"),
                           QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_FALSE(Ordenar(v, 2, QStringLiteral("colsort")).has_value());
    // md5 of "1\n2\n", and of nothing.
    EXPECT_EQ(Resumen({QStringLiteral("1"), QStringLiteral("2")}), QStringLiteral("6ddb4095eb719e2a9f0a3f95677d24e0"));
    EXPECT_EQ(Resumen({}), QStringLiteral("d41d8cd98f00b204e9800998ecf8427e"));
}

TEST(Registros, UnGuionConTodasLasClases) {
    Ejecutados.clear();
    const QByteArray guion =
        "# a comment does not end a record\r\n"
        "statement ok\r\n"
        "CREATE TABLE t(v INTEGER)\r\n"
        "\r\n"
        "statement error\n"
        "CREATE TABLE bad(v INTEGER)\n"
        "\n"
        "query IRT nosort\n"
        "SELECT 1, 2.5, 'x'\n"
        "----\n"
        "1\n"
        "2.500\n"
        "x\n"
        "\n"
        "query I rowsort\n"
        "SELECT v FROM t\n"
        "----\n"
        "1\n"
        "2\n"
        "3\n"
        "\n"
        "query I valuesort etiqueta-1\n"
        "SELECT v FROM t\n"
        "----\n"
        "1\n"
        "# in the middle of the values\n"
        "2\n"
        "3\n"
        "\n"
        "skipif mssql\n"
        "query I nosort etiqueta-1\n"
        "SELECT 'not run'\n"
        "----\n"
        "3 values hashing to b0d2f1e3c4d6bfd5ec8a2b7a1c3c2a9b\n"
        "\n"
        "onlyif sqlite\n"
        "statement ok\n"
        "SELECT 'not run either'\n"
        "\n"
        "query I nosort\n"
        "SELECT n FROM muchos\n"
        "----\n"
        "10 values hashing to " +
        Resumen({"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"}).toLatin1() +
        "\n"
        "\n"
        "hash-threshold 0\n"
        "\n"
        "query I nosort\n"
        "SELECT n FROM muchos\n"
        "----\n"
        "0\n1\n2\n3\n4\n5\n6\n7\n8\n9\n"
        "\n"
        "onlyif MSSQL\n"
        "halt\n"
        "\n"
        "statement ok\n"
        "SELECT 'after the halt'\n";
    const Cuentas c = Ejecutar(guion, QStringLiteral("mssql"), Tabla);
    EXPECT_EQ(c.ejecutados, 7);
    EXPECT_EQ(c.aprobados, 7);
    // The skipped query's label disagrees with the result the label first had.
    EXPECT_EQ(c.fallidos, 0);
    ASSERT_EQ(c.fallos.size(), 1);
    EXPECT_EQ(c.fallos[0], QStringLiteral("line 30: labeled result [etiqueta-1] does not agree with previous values"));
    EXPECT_EQ(c.omitidos, 2);
    EXPECT_TRUE(c.detenido);
    EXPECT_FALSE(Ejecutados.contains(QStringLiteral("SELECT 'not run'")));
    EXPECT_FALSE(Ejecutados.contains(QStringLiteral("SELECT 'after the halt'")));
}

TEST(Registros, LoQueFallaSeCuentaYSeDice) {
    const QByteArray guion =
        "statement ok\n"
        "CREATE TABLE bad(v INTEGER)\n"
        "\n"
        "statement error\n"
        "CREATE TABLE t(v INTEGER)\n"
        "\n"
        "query I nosort\n"
        "SELECT v FROM t\n"
        "----\n"
        "1\n"
        "2\n"
        "3\n"
        "\n"
        "query II nosort\n"
        "SELECT v FROM t\n"
        "----\n"
        "\n"
        "query I nosort\n"
        "SELECT n FROM muchos\n"
        "----\n"
        "10 values hashing to 00000000000000000000000000000000\n";
    const Cuentas c = Ejecutar(guion, QStringLiteral("mssql"), Tabla);
    EXPECT_EQ(c.ejecutados, 5);
    EXPECT_EQ(c.aprobados, 0);
    EXPECT_EQ(c.fallidos, 5);
    ASSERT_EQ(c.fallos.size(), 5);
    EXPECT_TRUE(c.fallos[0].startsWith(QStringLiteral("line 1: statement failed: 2714 ya existe")));
    EXPECT_TRUE(c.fallos[1].startsWith(QStringLiteral("line 4: statement succeeded, an error was expected")));
    EXPECT_TRUE(c.fallos[2].startsWith(QStringLiteral("line 10: wrong result - expected [1 2 3] got [3 1 2]")));
    EXPECT_TRUE(c.fallos[3].startsWith(QStringLiteral("line 14: 1 columns, the record says 2")));
    EXPECT_TRUE(c.fallos[4].startsWith(QStringLiteral("line 21: wrong result hash")));
}
