// The SQL of a load: WHERE (companies, months, filters), ORDER BY, chart and grid queries.
#include <gtest/gtest.h>

#include "stats/ConsultaCarga.h"

using namespace kv::stats;

TEST(Meses, RangosYBordes) {
    QString error;
    EXPECT_EQ(ListaMeses("", "3/1990", QDate(2024, 5, 1), error),
              (QStringList{"1/1990", "2/1990", "3/1990"}));
    EXPECT_TRUE(error.isEmpty());
    EXPECT_EQ(ListaMeses("11/2023", "2/2024", QDate(), error),
              (QStringList{"11/2023", "12/2023", "1/2024", "2/2024"}));
    EXPECT_EQ(ListaMeses("03/2024", "3/2024", QDate(), error), (QStringList{"3/2024"}));
    const QStringList todos = ListaMeses("", "", QDate(2024, 5, 17), error);
    EXPECT_EQ(todos.size(), 34 * 12 + 5);
    EXPECT_EQ(todos.first(), "1/1990");
    EXPECT_EQ(todos.last(), "5/2024");
}

TEST(Meses, RangoInvertidoOIlegibleSeRechaza) {
    QString error;
    EXPECT_TRUE(ListaMeses("5/2024", "3/2024", QDate(), error).isEmpty());
    EXPECT_EQ(error, QString::fromUtf8(
                         "El mes desde (5/2024) es posterior al mes hasta (3/2024): no se cargaron datos."));
    EXPECT_TRUE(ListaMeses("13/2024", "", QDate(2024, 1, 1), error).isEmpty());
    EXPECT_EQ(error, QString::fromUtf8(
                         "El mes \"13/2024\" no es válido: escríbalo como mes/año, por ejemplo 3/2024."));
    EXPECT_TRUE(ListaMeses("1/2024", "abril", QDate(), error).isEmpty());
    EXPECT_FALSE(error.isEmpty());
    EntradaCarga entrada;
    entrada.mesDesde = "9/2024";
    entrada.mesHasta = "1/2024";
    EXPECT_TRUE(ClausulaWhere(entrada, error).isEmpty());
    EXPECT_FALSE(error.isEmpty());
}

TEST(Where, EmpresasUnaVariasNinguna) {
    EXPECT_EQ(ClausulaEmpresas({"NORTE"}), " Where BASE ='NORTE' ");
    EXPECT_EQ(ClausulaEmpresas({}), " WHERE BASE = '' ");
    EXPECT_EQ(ClausulaEmpresas({"NORTE", "SUR"}), " Where (BASE ='NORTE' OR BASE ='SUR') ");
    EXPECT_EQ(ClausulaEmpresas({"D'ALBA"}), " Where BASE ='D''ALBA' ");
}

TEST(Where, MesesEnUnaListaOr) {
    EXPECT_EQ(ClausulaMeses({"3/2024"}), " AND (FECHA ='3/2024' ) ");
    EXPECT_EQ(ClausulaMeses({"1/1990", "2/1990"}), " AND (FECHA ='1/1990'  OR FECHA ='2/1990' ) ");
}

TEST(Where, FiltrosPorNivelSoloConCampoAsignado) {
    std::array<QString, kNiveles> titulos{QString::fromUtf8("Artículo"), "Vendedor", "Grupo3"};
    std::array<FiltroNivel, kNiveles> filtros{};
    filtros[0].valores = "A,B";
    filtros[1].desde = "V01";
    filtros[1].hasta = " V09";
    filtros[2].valores = "X";  // level without field: ignored
    EXPECT_EQ(ClausulaFiltros(titulos, filtros),
              " and ltrim(GRUPO1) in ('A','B') "
              " and ltrim(GRUPO2) >='V01'  and ltrim(GRUPO2) <=' V09' ");
}

TEST(Where, ElTextoTecleadoNoPuedeAmpliarLaCarga) {
    std::array<QString, kNiveles> titulos{"Cliente", "Grupo2", "Grupo3"};
    std::array<FiltroNivel, kNiveles> filtros{};
    filtros[0].valores = "X') OR 1=1 --,O'Neil";
    filtros[0].hasta = "Z' OR 'a'='a";
    EXPECT_EQ(ClausulaFiltros(titulos, filtros),
              " and ltrim(GRUPO1) in ('X'') OR 1=1 --','O''Neil')  and ltrim(GRUPO1) <='Z'' OR ''a''=''a' ");
}

TEST(Where, ClausulaCompleta) {
    EntradaCarga entrada;
    entrada.empresas = {"NORTE"};
    entrada.mesDesde = "1/2024";
    entrada.mesHasta = "2/2024";
    entrada.titulos = {QString::fromUtf8("Artículo"), "Grupo2", "Grupo3"};
    entrada.filtros[0].valores = "A1";
    QString error;
    EXPECT_EQ(
        ClausulaWhere(entrada, error),
        " Where BASE ='NORTE'  AND (FECHA ='1/2024'  OR FECHA ='2/2024' )  and ltrim(GRUPO1) in ('A1') ");
}

TEST(OrderBy, PrioridadMayorPrimeroMismaDireccion) {
    EstadoOrden orden{};
    orden[7] = {true, "1"};  // Grupo1 first
    orden[3] = {true, "2"};  // Valor Venta second
    // Sales are stored negative: the criterion sorts on the sum as the user reads it.
    EXPECT_EQ(ClausulaOrderBy(orden, false), " ORDER BY (SUM(VALORVENTA)*-1) DESC, Grupo1 DESC");
    EXPECT_EQ(ClausulaOrderBy(orden, true), " ORDER BY (SUM(VALORVENTA)*-1) ASC, Grupo1 ASC");
    EXPECT_EQ(ClausulaOrderBy(EstadoOrden{}, true), "");
}

TEST(OrderBy, FechaSeOmiteYLosPorcentajesNoDividenPorCero) {
    EstadoOrden orden{};
    orden[0] = {true, "1"};
    EXPECT_EQ(ClausulaOrderBy(orden, true), "");
    orden[4] = {true, "2"};
    orden[5] = {true, "3"};
    orden[6] = {true, "4"};
    EXPECT_EQ(ClausulaOrderBy(orden, true),
              " ORDER BY ((SUM(ValorVenta) - SUM(ValorCosto))*-1) ASC, "
              "(CASE WHEN SUM(ValorVenta)=0 THEN 100 ELSE (((SUM(ValorVenta) - "
              "SUM(ValorCosto))/SUM(ValorVenta))*100) END) ASC, "
              "(CASE WHEN SUM(ValorCosto)=0 THEN 100 ELSE (((SUM(ValorVenta) "
              "-SUM(ValorCosto))/SUM(ValorCosto))*100) END) ASC");
}

TEST(Consultas, TextosDelGraficoYDeLaGrilla) {
    EXPECT_EQ(
        ConsultaGrafico("DET_ESTV0001", " Where BASE ='N' ", " ORDER BY ValorVenta ASC"),
        "SELECT SUM(CONSUMO) AS CONSUMO, SUM(VALORCOSTO) AS VALORCOSTO, SUM(VALORVENTA) AS "
        "VALORVENTA,grupo1,grupo2,grupo3 FROM DET_ESTV0001  Where BASE ='N'  GROUP BY GRUPO1, GRUPO2, GRUPO3 "
        " ORDER BY ValorVenta ASC");
    EXPECT_EQ(ConsultaGrilla("DET_ESTV0001", {QString::fromUtf8("Artículo"), "Grupo2", "Grupo3"}, " W "),
              QString::fromUtf8(
                  "SELECT BASE,grupo1 AS [Artículo] ,grupo2 AS [Grupo2],grupo3 AS [Grupo3],"
                  "SUM(convert(money,CONSUMO)*-1) AS CONSUMO, SUM(VALORCOSTO*-1) AS VALORCOSTO, "
                  "SUM(VALORVENTA*-1) AS VALORVENTA ,"
                  "case when SUM(valorcosto)=0 then 100 else (((SUM(VALORVENTA*-1)-SUM(VALORCOSTO*-1))/"
                  "SUM(VALORCOSTO*-1))*100) end AS UTL_COSTOPorc, "
                  "case when SUM(valorventa)=0 then 100 else (((SUM(VALORVENTA*-1)-SUM(VALORCOSTO*-1))/"
                  "SUM(VALORVENTA*-1))*100) end AS UTL_VENTAPorc, "
                  "SUM(((VALORVENTA*-1)-(VALORCOSTO*-1))) AS UTILIDAD FROM DET_ESTV0001  W  "
                  "GROUP BY BASE, GRUPO1, GRUPO2, GRUPO3 ORDER BY  GRUPO1, GRUPO2,GRUPO3"));
}

TEST(Top, TextoACantidad) {
    EXPECT_EQ(CantidadTop(""), 0);
    EXPECT_EQ(CantidadTop("10"), 10);
    EXPECT_EQ(CantidadTop(" 5 "), 5);
    EXPECT_EQ(CantidadTop("abc"), 0);
    EXPECT_EQ(CantidadTop("32767"), 32767);
    EXPECT_FALSE(CantidadTop("40000").has_value());
    EXPECT_FALSE(CantidadTop("-3").has_value());
}

TEST(WhereFecha, LosMesesSeEnvianComoSeGuardan) {
    std::array<QString, kNiveles> titulos{"Fecha", QString::fromUtf8("Artículo"), "Grupo3"};
    std::array<FiltroNivel, kNiveles> filtros{};
    filtros[0].valores = "03/2024, 3/2023,12/2023";
    filtros[1].valores = "03/2024";  // not a month level: as typed
    EXPECT_EQ(ClausulaFiltros(titulos, filtros),
              " and ltrim(GRUPO1) in ('3/2024','3/2023','12/2023')  and ltrim(GRUPO2) in ('03/2024') ");
}

TEST(WhereFecha, ElRangoSigueElOrdenDeLosMesesNoElDelTexto) {
    std::array<QString, kNiveles> titulos{"Grupo1", "fecha", "Grupo3"};
    std::array<FiltroNivel, kNiveles> filtros{};
    filtros[1].desde = "10/2023";
    filtros[1].hasta = "03/2024";
    QString error;
    EXPECT_EQ(ClausulaFiltros(titulos, filtros, {}, &error),
              " and ltrim(GRUPO2) in ('10/2023','11/2023','12/2023','1/2024','2/2024','3/2024') ");
    EXPECT_TRUE(error.isEmpty());

    // An open bound takes the load's first or last month.
    const QStringList meses = {"9/2023", "10/2023", "11/2023", "12/2023", "1/2024"};
    filtros[1].hasta.clear();
    EXPECT_EQ(ClausulaFiltros(titulos, filtros, meses, &error),
              " and ltrim(GRUPO2) in ('10/2023','11/2023','12/2023','1/2024') ");
    filtros[1].desde.clear();
    filtros[1].hasta = "10/2023";
    EXPECT_EQ(ClausulaFiltros(titulos, filtros, meses, &error), " and ltrim(GRUPO2) in ('9/2023','10/2023') ");
}

TEST(WhereFecha, MesIlegibleORangoInvertidoNoCargan) {
    EntradaCarga entrada;
    entrada.empresas = {"NORTE"};
    entrada.mesDesde = "1/2024";
    entrada.mesHasta = "6/2024";
    entrada.titulos = {"Fecha", "Grupo2", "Grupo3"};
    entrada.filtros[0].desde = "5/2024";
    entrada.filtros[0].hasta = "2/2024";
    QString error;
    EXPECT_EQ(ClausulaWhere(entrada, error), "");
    EXPECT_EQ(error, QString::fromUtf8(
                         "El mes desde (5/2024) es posterior al mes hasta (2/2024): no se cargaron datos."));
    entrada.filtros[0].desde = "13/2024";
    EXPECT_EQ(ClausulaWhere(entrada, error), "");
    EXPECT_EQ(error,
              QString::fromUtf8("El mes \"13/2024\" no es válido: escríbalo como mes/año, por ejemplo 3/2024."));
    entrada.filtros[0].desde = "02/2024";
    entrada.filtros[0].hasta = "03/2024";
    EXPECT_EQ(ClausulaWhere(entrada, error),
              " Where BASE ='NORTE'  AND (FECHA ='1/2024'  OR FECHA ='2/2024'  OR FECHA ='3/2024'  OR FECHA "
              "='4/2024'  OR FECHA ='5/2024'  OR FECHA ='6/2024' )  and ltrim(GRUPO1) in ('2/2024','3/2024') ");
    EXPECT_TRUE(error.isEmpty());
}
