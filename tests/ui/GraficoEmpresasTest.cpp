// The second chart: its categories are the named grouping columns, its values
// the ticked totals summed over the chosen company, checked against sums taken
// straight from the statistic table; its toolbar.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QToolBar>
#include <map>

#include "EntornoPresentacion.h"
#include "ui/GraficoEmpresas.h"
#include "ui/PanelGraficos.h"

using kv::pruebas::EntornoPresentacion;
using namespace kv::ui;

namespace {

class GraficoEmpresasPrueba : public ::testing::Test {
  protected:
    static void TearDownTestSuite() { EntornoPresentacion::Liberar(); }

    // Valor Venta and Consumo per seller and line, signs inverted, from the table.
    static std::map<QString, std::pair<double, double>> Sumas(const QString& donde) {
        auto& e = EntornoPresentacion::Comun();
        std::map<QString, std::pair<double, double>> sumas;
        for (const auto& f : e.Entorno().Filas(
                 "KV_ESTADISTICAS", "SELECT GRUPO1, GRUPO2, SUM(VALORVENTA), SUM(CONSUMO) FROM " + e.Tabla() +
                                        " " + donde + " GROUP BY GRUPO1, GRUPO2"))
            sumas[f[0].toString().trimmed() + " " + f[1].toString().trimmed()] = {-f[2].toDouble(),
                                                                                  -f[3].toDouble()};
        return sumas;
    }

    static void Comparar(const DatosGrafico& datos,
                         const std::map<QString, std::pair<double, double>>& sumas) {
        ASSERT_EQ(datos.Categorias(), static_cast<int>(sumas.size()));
        const SerieGrafico* venta = nullptr;
        const SerieGrafico* consumo = nullptr;
        for (const SerieGrafico& s : datos.series) {
            if (s.nombre == "Valor Venta") venta = &s;
            if (s.nombre == "Consumo") consumo = &s;
        }
        ASSERT_TRUE(venta && consumo);
        EXPECT_EQ(venta->familia, Familia::Importes);
        EXPECT_EQ(consumo->familia, Familia::Unidades);
        for (int c = 0; c < datos.Categorias(); ++c) {
            const QString clave = datos.niveles[c].join(" ");
            ASSERT_TRUE(sumas.count(clave)) << clave.toStdString();
            EXPECT_EQ(datos.niveles[c].size(), 2);  // one line per level
            EXPECT_EQ(Diezmilesimas(venta->valores[static_cast<size_t>(c)]),
                      Diezmilesimas(sumas.at(clave).first));
            EXPECT_EQ(Diezmilesimas(consumo->valores[static_cast<size_t>(c)]),
                      Diezmilesimas(sumas.at(clave).second));
        }
    }
};

}  // namespace

TEST_F(GraficoEmpresasPrueba, TodasLasEmpresasYUnaSola) {
    auto& e = EntornoPresentacion::Comun();
    kv::stats::ModeloGrafico modelo;
    auto datos = e.Cargar(e.Entrada(), modelo);
    GraficoEmpresas grafico;
    grafico.resize(1200, 700);
    grafico.show();
    grafico.Vincular(datos, "Vendedores y rubros");
    EXPECT_EQ(grafico.objectName(), "ChartSpace1");
    EXPECT_EQ(grafico.Tipo(), 1);  // clustered columns
    Comparar(grafico.DatosCompletos(), Sumas(""));
    EXPECT_EQ(grafico.SelectorEmpresa()->count(), 3);
    grafico.ElegirEmpresa("SUR");
    EXPECT_EQ(grafico.Empresa(), "SUR");
    Comparar(grafico.DatosCompletos(), Sumas("WHERE BASE = 'SUR'"));
    EXPECT_TRUE(grafico.Panel()->Datos().titulo.endsWith("Empresa SUR"));
    // A page shows at most 30 groups; the next page goes on where it ended.
    const DatosGrafico& todos = grafico.DatosCompletos();
    const int n = std::min(todos.Categorias(), GraficoEmpresas::kCategoriasPorPagina);
    EXPECT_EQ(grafico.Panel()->Datos().Categorias(), n);
    EXPECT_EQ(grafico.Panel()->Datos().etiquetas, todos.etiquetas.mid(0, n));
    if (grafico.Paginas() > 1) {
        grafico.IrAPagina(1);
        EXPECT_EQ(grafico.Panel()->Datos().etiquetas.front(), todos.etiquetas[30]);
        EXPECT_EQ(grafico.Panel()->Datos().series[0].valores.front(), todos.series[0].valores[30]);
    }
    grafico.ElegirEmpresa("");
    Comparar(grafico.DatosCompletos(), Sumas(""));
}

TEST_F(GraficoEmpresasPrueba, BarraConTipoEmpresaYCopia) {
    auto& e = EntornoPresentacion::Comun();
    kv::stats::ModeloGrafico modelo;
    GraficoEmpresas grafico;
    grafico.resize(900, 600);
    grafico.show();
    grafico.Vincular(e.Cargar(e.Entrada(), modelo));
    QWidget* barra = grafico.findChild<QWidget*>("DisplayToolbar");
    ASSERT_NE(barra, nullptr);
    EXPECT_TRUE(grafico.DisplayToolbar());
    grafico.setDisplayToolbar(false);
    EXPECT_FALSE(grafico.DisplayToolbar());
    grafico.setDisplayToolbar(true);
    EXPECT_TRUE(barra->isVisible());
    grafico.SelectorTipo()->setCurrentIndex(grafico.SelectorTipo()->findText("Torta"));
    EXPECT_EQ(grafico.Panel()->Tipo(), 14);
    QApplication::clipboard()->clear();
    grafico.AccionCopiar()->trigger();
    EXPECT_FALSE(QApplication::clipboard()->image().isNull());
    // Without data the chart is empty and the company list has only "(Todas)".
    grafico.Limpiar();
    EXPECT_EQ(grafico.SelectorEmpresa()->count(), 1);
    EXPECT_EQ(grafico.Panel()->Datos().Categorias(), 0);
}
