// TOP folding: the first N groups in query order, one remainder row, the totals.
#include <gtest/gtest.h>

#include "stats/Carga.h"

using namespace kv::stats;

namespace {

struct Grupo {
    QString g1;
    double consumo, costo, venta;  // as stored: sales negative
};

// Eight groups as the chart query returns them.
std::vector<Grupo> OchoGrupos() {
    return {{"A", -10, -50.004, -80.006}, {"B", -9, -40, -70}, {"C", -8, -30, -60},
            {"D", -7, -20, -50},          {"E", -6, -10, -40}, {"F", -5, -0.005, -30.005},
            {"G", -4, 0, -20.5},          {"H", -3, -7.333, 0}};
}

ModeloGrafico Plegar(const std::vector<Grupo>& grupos, const QString& topTexto,
                     std::array<bool, kCasillasTotal> totales = {true, true, true, true, true, true}) {
    ModeloGrafico modelo;
    modelo.decimales = 2;
    const int top = *CantidadTop(topTexto);
    PlegadoTop plegado(modelo, top, static_cast<qint64>(grupos.size()), totales, "Otros");
    qint64 p = 0;
    for (const auto& g : grupos) plegado.Agregar(++p, g.g1, " ", " ", g.consumo, g.costo, g.venta);
    return modelo;
}

}  // namespace

TEST(PlegadoTop, Top5ConOchoGruposDejaSeisFilas) {
    const auto m = Plegar(OchoGrupos(), "5");
    ASSERT_EQ(m.Filas(), 6);
    ASSERT_EQ(m.Columnas(), 6);
    EXPECT_EQ(m.columnas, (QStringList{"Consumo", "Valor Costo", "Valor Venta", "Utilidad s/Costo %",
                                       "Utilidad s/Venta %", "Utilidad $"}));
    EXPECT_EQ(m.etiquetas[0], "A   ");
    EXPECT_EQ(m.etiquetas[4], "E   ");
    EXPECT_EQ(m.etiquetas[5], "Otros");
    // Own rows: absolute values, rounded.
    EXPECT_DOUBLE_EQ(m.valores[0][0], 10);
    EXPECT_DOUBLE_EQ(m.valores[0][1], 50.0);
    EXPECT_DOUBLE_EQ(m.valores[0][2], 80.01);
    EXPECT_DOUBLE_EQ(m.valores[0][3], 60.0);  // (80.006-50.004)/50.004*100 = 59.99...
    EXPECT_DOUBLE_EQ(m.valores[0][4], 37.5);  // 30.002/80.006*100 = 37.4997...
    EXPECT_DOUBLE_EQ(m.valores[0][5], 30.0);
    // Remainder F, G, H: amounts add the rounded values of each group.
    EXPECT_DOUBLE_EQ(m.valores[5][0], 12);
    EXPECT_DOUBLE_EQ(m.valores[5][1], 0.01 + 0 + 7.33);
    EXPECT_DOUBLE_EQ(m.valores[5][2], 30.01 + 20.5 + 0);
    EXPECT_DOUBLE_EQ(m.valores[5][5], 30.0 + 20.5 - 7.33);
    // Percentages from the remainder's own cost 7.34 and sales 50.51, not summed.
    EXPECT_DOUBLE_EQ(m.valores[5][3], Redondear((50.51 - 7.34) / 7.34 * 100, 2));
    EXPECT_DOUBLE_EQ(m.valores[5][4], Redondear((50.51 - 7.34) / 50.51 * 100, 2));
}

TEST(PlegadoTop, TopIgualOMayorQueLosGruposNoPliega) {
    for (const char* top : {"8", "10"}) {
        const auto m = Plegar(OchoGrupos(), top);
        ASSERT_EQ(m.Filas(), 8) << top;
        EXPECT_FALSE(m.etiquetas.contains("Otros"));
        EXPECT_EQ(m.etiquetas[7], "H   ");
        EXPECT_DOUBLE_EQ(m.valores[7][3], -100.0);  // sales 0 against cost 7.333
        EXPECT_DOUBLE_EQ(m.valores[7][4], 100.0);   // sales 0: 100
        EXPECT_DOUBLE_EQ(m.valores[6][3], 100.0);   // cost 0: 100
    }
}

TEST(PlegadoTop, TopCeroOVacioDejaSoloElResto) {
    for (const char* top : {"0", ""}) {
        const auto m = Plegar(OchoGrupos(), top, {true, false, true, false, false, false});
        ASSERT_EQ(m.Filas(), 1) << top;
        ASSERT_EQ(m.Columnas(), 2);
        EXPECT_EQ(m.columnas, (QStringList{"Consumo", "Valor Venta"}));
        EXPECT_EQ(m.etiquetas[0], "Otros");
        EXPECT_DOUBLE_EQ(m.valores[0][0], 52);
        EXPECT_DOUBLE_EQ(m.valores[0][1], 80.01 + 70 + 60 + 50 + 40 + 30.01 + 20.5 + 0);
    }
}

TEST(PlegadoTop, SinTotalesSoloFilasYEtiquetas) {
    const auto m = Plegar(OchoGrupos(), "5", {});
    EXPECT_EQ(m.Filas(), 6);
    EXPECT_EQ(m.Columnas(), 0);
    EXPECT_EQ(m.etiquetas[5], "Otros");
}

TEST(PlegadoTop, PorcentajesDelRestoConCostoOVentaCero) {
    // Folded groups whose cost is 0 in total: the remainder shows 100, as a single group would.
    std::vector<Grupo> grupos{{"A", -1, -5, -9}, {"B", -1, 0, -3}, {"C", -1, 0, -4}};
    const auto m = Plegar(grupos, "1");
    ASSERT_EQ(m.Filas(), 2);
    EXPECT_DOUBLE_EQ(m.valores[1][3], 100.0);
    EXPECT_DOUBLE_EQ(m.valores[1][4], 100.0);  // (7 - 0) / 7 * 100
    EXPECT_DOUBLE_EQ(m.valores[1][5], 7.0);
}

TEST(Redondeo, MitadesLejosDeCeroYTextoDelInforme) {
    EXPECT_DOUBLE_EQ(Redondear(2.675, 2), 2.68);
    EXPECT_DOUBLE_EQ(Redondear(-2.675, 2), -2.68);
    EXPECT_DOUBLE_EQ(Redondear(1.005, 2), 1.01);
    EXPECT_DOUBLE_EQ(Redondear(0.5, 0), 1.0);
    EXPECT_DOUBLE_EQ(Redondear(1234.56789, 4), 1234.5679);
    ModeloGrafico m;
    m.decimales = 2;
    m.Dimensionar(1, 3);
    m.valores[0] = {1234567.891, -0.001, 5};
    EXPECT_EQ(m.TextoValor(0, 0), "1234567.89");
    EXPECT_EQ(m.TextoValor(0, 1), "0.00");
    EXPECT_EQ(m.TextoValor(0, 2), "5.00");
    m.decimales = 0;
    EXPECT_EQ(m.TextoValor(0, 0), "1234568");
    // More decimals than a currency amount holds: the value keeps its four and
    // the text is padded, however big the amount.
    EXPECT_DOUBLE_EQ(Redondear(12345678.123456, 6), 12345678.1235);
    m.decimales = 6;
    EXPECT_EQ(m.TextoValor(0, 0), "1234567.891000");
    m.decimales = 15;
    m.valores[0][0] = 987654321.5;
    EXPECT_EQ(m.TextoValor(0, 0), "987654321.500000000000000");
    EXPECT_DOUBLE_EQ(Redondear(2.5e15, 2), 2.5e15);
}

TEST(Vistas, CategoriasNombradasYValoresMarcados) {
    const auto v = VistasDeCarga({"Vendedor", "Familia", "Grupo3"}, {true, false, true, false, false, true});
    EXPECT_EQ(v.filtro, "BASE");
    EXPECT_EQ(v.categorias, (std::array<QString, 3>{"Vendedor", "Familia", ""}));
    EXPECT_EQ(v.valores, (std::array<QString, 6>{"Consumo", "", "ValorVenta", "", "", "UTILIDAD"}));
}

// Sales are stored negative: a group with only returns shows negative sales, and
// the remainder adds the groups with their sign, so it never overstates the net.
TEST(PlegadoTop, LasDevolucionesRestan) {
    const std::vector<Grupo> grupos = {
        {"VENTA", -2, -60, -100}, {"DEVUELVE", 1, 300, 490492.78}, {"OTRA", -3, -10, -50}};
    const auto m = Plegar(grupos, "2");
    ASSERT_EQ(m.Filas(), 3);
    EXPECT_DOUBLE_EQ(m.valores[0][0], 2);
    EXPECT_DOUBLE_EQ(m.valores[0][2], 100);
    EXPECT_DOUBLE_EQ(m.valores[0][5], 40);
    EXPECT_DOUBLE_EQ(m.valores[1][0], -1);
    EXPECT_DOUBLE_EQ(m.valores[1][1], -300);
    EXPECT_DOUBLE_EQ(m.valores[1][2], -490492.78);
    EXPECT_DOUBLE_EQ(m.valores[1][5], -490492.78 + 300);
    EXPECT_DOUBLE_EQ(m.valores[1][3], Redondear((-490492.78 + 300) / -300 * 100, 2));
    // With TOP 0 the remainder holds the net of all three.
    const auto todo = Plegar(grupos, "0");
    ASSERT_EQ(todo.Filas(), 1);
    EXPECT_DOUBLE_EQ(todo.valores[0][2], 100 - 490492.78 + 50);
    EXPECT_DOUBLE_EQ(todo.valores[0][1], 60 - 300 + 10);
}
