// The filters that act on a load, as the "Filtros" button and the chart's subtitle name them.
#include <gtest/gtest.h>

#include "stats/ResumenFiltros.h"

using namespace kv::stats;

TEST(ResumenFiltros, SoloLosQueActuan) {
    EntradaCarga e;
    e.empresas = {"NORTE"};
    EXPECT_TRUE(FiltrosActivos(e, "norte").isEmpty());
    // A level without a grouping field filters nothing, whatever its boxes hold.
    e.filtros[1].valores = "X";
    EXPECT_TRUE(FiltrosActivos(e, "NORTE").isEmpty());
    e.titulos = {"Vendedor", "Grupo2", "Fecha"};
    e.filtros[0].valores = " V01,V02 ";
    e.filtros[0].desde = "V01";
    e.filtros[2].hasta = "3/2024";
    EXPECT_EQ(FiltrosActivos(e, "NORTE"),
              (QStringList{"Vendedor: V01,V02", "Vendedor desde V01", "Fecha hasta 3/2024"}));
    e.filtros[0].hasta = "V09";
    e.empresas = {"NORTE", "SUR"};
    const QStringList filtros = FiltrosActivos(e, "NORTE");
    EXPECT_EQ(filtros, (QStringList{"Vendedor: V01,V02", "Vendedor desde V01 hasta V09", "Fecha hasta 3/2024",
                                    "Empresas: NORTE, SUR"}));
    EXPECT_EQ(SubtituloFiltros(filtros),
              "Filtros: Vendedor: V01,V02; Vendedor desde V01 hasta V09; Fecha hasta 3/2024; Empresas: NORTE, SUR");
    EXPECT_EQ(SubtituloFiltros({}), "");
}

TEST(ResumenFiltros, OtraEmpresaONingunaTambienCuentan) {
    EntradaCarga e;
    e.empresas = {"SUR"};
    EXPECT_EQ(FiltrosActivos(e, "NORTE"), QStringList{"Empresas: SUR"});
    e.empresas.clear();
    EXPECT_EQ(FiltrosActivos(e, "NORTE"), QStringList{"Empresas: ninguna"});
}
