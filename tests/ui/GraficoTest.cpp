// The column chart: the chart-type list and its type numbers, every type drawn
// from a real load, units and money on separate axes, labels never cut,
// locale marks, coinciding labels kept apart, the remainder's double click.
#include <gtest/gtest.h>

#include <QAbstractBarSeries>
#include <QBarCategoryAxis>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QDir>
#include <QLabel>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include "EntornoPresentacion.h"
#include "stats/Catalogo.h"
#include "ui/GraficoPrincipal.h"
#include "ui/PanelGraficos.h"
#include "ui/TiposGrafico.h"

using kv::pruebas::EntornoPresentacion;
using namespace kv::ui;

namespace {

QString SinMarcas(QString texto) {
    return texto.replace(QStringLiteral("<br>"), QStringLiteral(" "))
        .remove(QChar(0x200B))
        .replace("&amp;", "&");
}

void Guardar(QWidget& w, const QString& nombre) {
    const QString carpeta = qEnvironmentVariable("KVESTV_CAPTURAS_PRUEBA");
    if (!carpeta.isEmpty()) w.grab().save(QDir(carpeta).filePath(nombre + ".png"));
}

class GraficoPrueba : public ::testing::Test {
  protected:
    static void TearDownTestSuite() { EntornoPresentacion::Liberar(); }
    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Spain));
        auto& e = EntornoPresentacion::Comun();
        e.Cargar(e.Entrada(), modelo_);
        ASSERT_EQ(modelo_.Filas(), 5);  // TOP 4 and the remainder
    }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }

    kv::stats::ModeloGrafico modelo_;
};

QBarCategoryAxis* EjeCategorias(QChart* grafico) {
    for (QAbstractAxis* eje : grafico->axes())
        if (auto* c = qobject_cast<QBarCategoryAxis*>(eje)) return c;
    return nullptr;
}

}  // namespace

TEST(TiposGrafico, FilasYNumerosDeTipo) {
    const QStringList filas = FilasTiposGrafico();
    ASSERT_EQ(filas.size(), 12);
    const std::vector<std::pair<QString, int>> esperados{
        {"Gráfico de Área 2D", 5},   {"Gráfico de Barras 2D", 1}, {"Gráfico Combinado 2D", 9},
        {"Gráfico de Líneas 2D", 3}, {"Gráfico de Torta 2D", 14}, {"Gráfico de Pasos 2D", 7},
        {"Gráfico de XY 2D", 16},    {"Gráfico de Área 3D", 4},   {"Gráfico de Barras 3D", 0},
        {"Gráfico Combinado 3D", 8}, {"Gráfico de Líneas 3D", 2}, {"Gráfico de Pasos 3D", 6}};
    const QStringList codigos{
        "VtChChartType2dArea",        "VtChChartType2dBar",  "VtChChartType2dCombination",
        "VtChChartType2dLine",        "VtChChartType2dPie",  "VtChChartType2dStep",
        "VtChChartType2dXY",          "VtChChartType3dArea", "VtChChartType3dBar",
        "VtChChartType3dCombination", "VtChChartType3dLine", "VtChChartType3dStep"};
    for (int i = 0; i < 12; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(filas[i], esperados[static_cast<size_t>(i)].first + QString(80, ' ') + codigos[i]);
        EXPECT_EQ(kv::stats::CodigoDeEntrada(filas[i]), codigos[i]);
        EXPECT_EQ(ValorDeCodigo(kv::stats::CodigoDeEntrada(filas[i])),
                  esperados[static_cast<size_t>(i)].second);
    }
    EXPECT_FALSE(ValorDeCodigo("VtChChartType3dPie").has_value());
    EXPECT_FALSE(ValorDeCodigo("").has_value());
    EXPECT_TRUE(EsTipo3D(0));
    EXPECT_FALSE(EsTipo3D(14));
    EXPECT_EQ(Equivalente2D(0), 1);
    EXPECT_EQ(Equivalente2D(6), 7);
    EXPECT_EQ(Equivalente2D(16), 16);
}

TEST_F(GraficoPrueba, UnidadesImportesYPorcentajesEnGraficosSeparados) {
    GraficoPrincipal grafico;
    grafico.resize(1100, 800);
    grafico.show();
    grafico.Vincular(modelo_, "Vendedores y rubros");
    EXPECT_EQ(grafico.objectName(), "Chart1");
    EXPECT_EQ(grafico.chartType(), 1);
    const auto vistas = grafico.Panel2D()->Vistas();
    ASSERT_EQ(vistas.size(), 3u);
    const std::map<QString, QStringList> esperadas{
        {"graficoUnidades", {"Consumo"}},
        {"graficoImportes", {"Valor Costo", "Valor Venta", "Utilidad $"}},
        {"graficoPorcentajes", {"Utilidad s/Costo %", "Utilidad s/Venta %"}}};
    for (QChartView* vista : vistas) {
        SCOPED_TRACE(vista->objectName().toStdString());
        ASSERT_TRUE(esperadas.count(vista->objectName()));
        QStringList conjuntos;
        for (QAbstractSeries* serie : vista->chart()->series())
            for (QBarSet* c : static_cast<QAbstractBarSeries*>(serie)->barSets()) conjuntos << c->label();
        EXPECT_EQ(conjuntos, esperadas.at(vista->objectName()));
    }
    Guardar(grafico, "grafico-barras");
}

TEST_F(GraficoPrueba, EtiquetasCompletasYMarcasConMiles) {
    GraficoPrincipal grafico;
    grafico.resize(1100, 800);
    grafico.show();
    grafico.Vincular(modelo_, "Vendedores y rubros");
    QChart* importes = grafico.Panel2D()->Vistas()[1]->chart();
    QBarCategoryAxis* categorias = EjeCategorias(importes);
    ASSERT_NE(categorias, nullptr);
    // A remainder that dwarfs the top groups is written beside the chart instead.
    const int dibujadas = grafico.Panel2D()->RestoAparte() ? 4 : 5;
    ASSERT_EQ(categorias->count(), dibujadas);
    for (int i = 0; i < dibujadas; ++i) {
        const QString mostrada = SinMarcas(categorias->at(i));
        EXPECT_FALSE(mostrada.contains(QChar(0x2026)));
        EXPECT_EQ(mostrada.simplified(), modelo_.etiquetas[i].simplified());
    }
    QCategoryAxis* valores = nullptr;
    for (QAbstractAxis* eje : importes->axes())
        if (auto* v = qobject_cast<QCategoryAxis*>(eje)) valores = v;
    ASSERT_NE(valores, nullptr);
    bool conMiles = false;
    for (const QString& marca : valores->categoriesLabels())
        if (QRegularExpression("^\\d{1,3}(\\.\\d{3})+$").match(marca).hasMatch()) conMiles = true;
    EXPECT_TRUE(conMiles) << valores->categoriesLabels().join(" | ").toStdString();

    // The tooltip holds the full label and every value with the locale's marks.
    const QString descripcion = grafico.Datos().Descripcion(0);
    EXPECT_TRUE(descripcion.startsWith(modelo_.grupos[0][0].trimmed() + QString::fromUtf8(" › ")));
    EXPECT_TRUE(descripcion.contains("\nValor Venta: " + TextoNumero(modelo_.valores[0][2], 2)));
    EXPECT_TRUE(
        descripcion.contains("\nUtilidad s/Venta %: " + TextoNumero(modelo_.valores[0][4], 2) + " %"));

    // Narrow: the bars turn horizontal and the labels stay whole.
    grafico.resize(250, 800);
    grafico.Redibujar();
    EXPECT_TRUE(grafico.Panel2D()->Horizontal());
    for (const QString& e : grafico.Panel2D()->EtiquetasMostradas()) EXPECT_FALSE(e.contains(QChar(0x2026)));
    Guardar(grafico, "grafico-estrecho");
}

TEST_F(GraficoPrueba, EtiquetasQueCoincidenSonDosBarras) {
    DatosGrafico datos;
    datos.etiquetas = {"A B C", "A B C"};
    datos.niveles = {{"A B", "C"}, {"A", "B C"}};
    datos.series.push_back({"Valor Venta", Familia::Importes, {10, 20}});
    PanelGraficos panel;
    panel.resize(1200, 500);
    panel.Dibujar(datos, 1);
    QBarCategoryAxis* eje = EjeCategorias(panel.Vistas()[0]->chart());
    ASSERT_EQ(eje->count(), 2);
    auto* serie = static_cast<QAbstractBarSeries*>(panel.Vistas()[0]->chart()->series()[0]);
    EXPECT_EQ(serie->barSets()[0]->count(), 2);
    // Each level on its own line, so the two read differently.
    EXPECT_EQ(eje->at(0), "A B<br>C");
    EXPECT_EQ(eje->at(1), "A<br>B C");
    datos.niveles = {{"X"}, {"X"}};
    panel.Dibujar(datos, 1);
    EXPECT_EQ(EjeCategorias(panel.Vistas()[0]->chart())->count(), 2);
}

TEST_F(GraficoPrueba, CadaTipoSeDibujaY3DSinOpenGLSeDibujaPlano) {
    GraficoPrincipal grafico;
    grafico.resize(1000, 700);
    grafico.show();
    grafico.Vincular(modelo_, "Vendedores y rubros");
    for (const TipoGrafico& tipo : TiposGrafico()) {
        SCOPED_TRACE(tipo.codigo);
        grafico.setChartType(tipo.valor);
        grafico.Redibujar();
        EXPECT_FALSE(grafico.Mostrando3D());  // offscreen: no OpenGL
        EXPECT_EQ(grafico.Panel2D()->Tipo(), Equivalente2D(tipo.valor));
        const QString titulo = grafico.Panel2D()->Vistas()[0]->chart()->title();
        EXPECT_EQ(titulo.contains(QString::fromUtf8(kNotaSin3D)), EsTipo3D(tipo.valor));
        const QImage imagen = grafico.Imagen();
        EXPECT_FALSE(imagen.isNull());
        Guardar(grafico, QStringLiteral("tipo-%1").arg(tipo.valor));
    }
}

TEST_F(GraficoPrueba, DobleClicEnElRestoAvisa) {
    GraficoPrincipal grafico;
    grafico.resize(1000, 700);
    grafico.show();
    grafico.Vincular(modelo_, "t");
    ASSERT_EQ(grafico.Datos().filaResto, 4);
    QSignalSpy resto(&grafico, &GraficoPrincipal::DobleClicResto);
    auto* serie = static_cast<QAbstractBarSeries*>(grafico.Panel2D()->Vistas()[1]->chart()->series()[0]);
    emit serie->barSets()[0]->doubleClicked(1);
    EXPECT_EQ(resto.count(), 0);
    if (QLabel* aparte = grafico.Panel2D()->RestoAparte()) {
        // A remainder that dwarfs the rest is written beside the chart: a double click there opens it.
        EXPECT_EQ(serie->barSets()[0]->count(), 4);
        QTest::mouseDClick(aparte, Qt::LeftButton);
    } else {
        emit serie->barSets()[0]->doubleClicked(4);
    }
    EXPECT_EQ(resto.count(), 1);
    // Horizontal bars count from the bottom: the remainder is still found.
    grafico.resize(250, 700);
    grafico.Redibujar();
    ASSERT_TRUE(grafico.Panel2D()->Horizontal());
    serie = static_cast<QAbstractBarSeries*>(grafico.Panel2D()->Vistas()[1]->chart()->series()[0]);
    if (QLabel* aparte = grafico.Panel2D()->RestoAparte())
        QTest::mouseDClick(aparte, Qt::LeftButton);
    else
        emit serie->barSets()[0]->doubleClicked(0);
    EXPECT_EQ(resto.count(), 2);
}
