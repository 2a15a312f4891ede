// The 3D chart types drawn in real 3D: these tests need an X display with
// OpenGL (ctest runs them under xvfb-run).
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QLabel>
#include <QtDataVisualization/QAbstract3DGraph>
#include <QtDataVisualization/QBar3DSeries>
#include <QtDataVisualization/Q3DBars>
#include <QtDataVisualization/QCustom3DLabel>
#include <QTest>
#include <QWindow>

#include "../ui/EntornoPresentacion.h"
#include "ui/GraficoPrincipal.h"
#include "ui/PanelGraficos.h"
#include "ui/TiposGrafico.h"

using kv::pruebas::EntornoPresentacion;
using namespace kv::ui;

namespace {

class Grafico3D : public ::testing::Test {
  protected:
    static void TearDownTestSuite() { EntornoPresentacion::Liberar(); }
};

// Five top groups and a remainder seventy times the largest, in money and percentages.
DatosGrafico DatosConRestoEnorme() {
    DatosGrafico datos;
    datos.decimales = 2;
    datos.titulo = "Prueba";
    SerieGrafico venta{"Valor Venta", Familia::Importes, {}};
    SerieGrafico utilidad{"Utilidad s/Venta %", Familia::Porcentajes, {}};
    for (int i = 0; i < 5; ++i) {
        datos.etiquetas << QStringLiteral("V0%1 – Vendedor %1").arg(i + 1);
        datos.niveles << QStringList{datos.etiquetas.back()};
        venta.valores.push_back(18000000.0 - i * 1000000.5);
        utilidad.valores.push_back(37.5 - i);
    }
    datos.etiquetas << "Otros";
    datos.niveles << QStringList{"Otros"};
    venta.valores.push_back(1247893470.68);
    utilidad.valores.push_back(12.25);
    datos.filaResto = 5;
    datos.series = {venta, utilidad};
    return datos;
}

QStringList TextosEscritos(QWindow* ventana) {
    QStringList textos;
    for (QCustom3DItem* item : static_cast<QAbstract3DGraph*>(ventana)->customItems())
        if (auto* etiqueta = qobject_cast<QCustom3DLabel*>(item)) textos << etiqueta->text();
    return textos;
}

// How many distinct colours a picture has (a blank or failed drawing has one or two).
int Colores(const QImage& imagen) {
    QSet<QRgb> colores;
    for (int y = 0; y < imagen.height(); y += 3)
        for (int x = 0; x < imagen.width(); x += 3) colores.insert(imagen.pixel(x, y));
    return static_cast<int>(colores.size());
}

}  // namespace

TEST_F(Grafico3D, LosCincoTiposSeDibujanEnTresDimensiones) {
    ASSERT_NE(QGuiApplication::platformName(), "offscreen") << "run under xvfb-run";
    ASSERT_TRUE(GraficoPrincipal::Hay3D());
    auto& e = EntornoPresentacion::Comun();
    kv::stats::ModeloGrafico modelo;
    e.Cargar(e.Entrada(), modelo);
    GraficoPrincipal grafico;
    grafico.resize(1000, 800);
    grafico.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grafico));
    grafico.Vincular(modelo, "Vendedores y rubros");
    for (int tipo : {tipo_grafico::Barras3D, tipo_grafico::Lineas3D, tipo_grafico::Area3D,
                     tipo_grafico::Pasos3D, tipo_grafico::Combinado3D}) {
        SCOPED_TRACE(tipo);
        grafico.setChartType(tipo);
        grafico.Redibujar();
        ASSERT_TRUE(grafico.Mostrando3D());
        // Units, money and percentages: one graph each, never one axis.
        EXPECT_EQ(grafico.Graficos3D().size(), 3u);
        QTest::qWait(50);
        const QImage imagen = grafico.Imagen();
        // The picture holds every graph whole, each at the height where it reads.
        EXPECT_GE(imagen.width(), grafico.width() - 30);
        EXPECT_GE(imagen.height(), 3 * 340);
        EXPECT_GT(Colores(imagen), 20);
        const QString carpeta = qEnvironmentVariable("KVESTV_CAPTURAS_PRUEBA");
        if (!carpeta.isEmpty()) imagen.save(carpeta + QStringLiteral("/tipo3d-%1.png").arg(tipo));
    }
    // Back to a 2D type: the 3D graphs go away.
    grafico.setChartType(tipo_grafico::Barras2D);
    grafico.Redibujar();
    EXPECT_FALSE(grafico.Mostrando3D());
    EXPECT_TRUE(grafico.Graficos3D().empty());
    EXPECT_EQ(grafico.Panel2D()->Vistas().size(), 3u);
}

TEST_F(Grafico3D, SinDatosNoFalla) {
    GraficoPrincipal grafico;
    grafico.resize(600, 400);
    grafico.show();
    grafico.setChartType(tipo_grafico::Barras3D);
    grafico.EstablecerDatos(DatosGrafico{});
    EXPECT_FALSE(grafico.Mostrando3D());  // nothing to draw in 3D: the flat, empty chart
    EXPECT_FALSE(grafico.Imagen().isNull());
}

TEST_F(Grafico3D, ValoresEscritosYRestoAparteComoEn2D) {
    ASSERT_TRUE(GraficoPrincipal::Hay3D());
    const DatosGrafico datos = DatosConRestoEnorme();
    QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Argentina));
    GraficoPrincipal grafico;
    grafico.resize(1000, 900);
    grafico.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grafico));
    grafico.EstablecerDatos(datos);
    for (int tipo : {tipo_grafico::Barras3D, tipo_grafico::Lineas3D, tipo_grafico::Area3D, tipo_grafico::Pasos3D,
                     tipo_grafico::Combinado3D}) {
        SCOPED_TRACE(tipo);
        grafico.setChartType(tipo);
        grafico.Redibujar();
        ASSERT_TRUE(grafico.Mostrando3D());
        // The remainder is written above the graphs with its values, in the locale's marks.
        ASSERT_NE(grafico.RestoAparte3D(), nullptr);
        EXPECT_TRUE(grafico.RestoAparte3D()->isVisible());
        EXPECT_TRUE(grafico.RestoAparte3D()->text().contains("1.247.893.470,68"));
        EXPECT_TRUE(grafico.RestoAparte3D()->text().contains("12,25 %"));
        EXPECT_TRUE(grafico.RestoAparte3D()->text().contains("Otros"));
        // Each top group's value over its bar or point; the remainder is not drawn to scale.
        ASSERT_EQ(grafico.Graficos3D().size(), 2u);
        const QStringList importes = TextosEscritos(grafico.Graficos3D()[0]);
        const QStringList porcentajes = TextosEscritos(grafico.Graficos3D()[1]);
        EXPECT_EQ(importes.size(), 5) << importes.join(" | ").toStdString();
        EXPECT_EQ(porcentajes.size(), 5) << porcentajes.join(" | ").toStdString();
        for (int i = 0; i < 5; ++i) {
            EXPECT_TRUE(importes.contains(datos.TextoValor(datos.series[0], datos.series[0].valores[i])));
            EXPECT_TRUE(porcentajes.contains(datos.TextoValor(datos.series[1], datos.series[1].valores[i])));
        }
        EXPECT_TRUE(importes.contains("18.000.000,00"));
        EXPECT_TRUE(porcentajes.contains("37,50 %"));
        EXPECT_FALSE(importes.contains("1.247.893.470,68"));
        if (tipo == tipo_grafico::Barras3D) {
            // A picked bar shows its full label and every value.
            auto* barras = static_cast<Q3DBars*>(grafico.Graficos3D()[0]);
            ASSERT_EQ(barras->seriesList().size(), 1);
            QBar3DSeries* serie = barras->seriesList()[0];
            serie->setSelectedBar(QPoint(0, 2));
            EXPECT_EQ(serie->itemLabelFormat().toStdString(),
                      "V03 – Vendedor 3 · Valor Venta: 15.999.999,00 · Utilidad s/Venta %: 35,50 %");
        }
    }
    // A remainder at scale is drawn with the others, nothing apart.
    DatosGrafico parejos = datos;
    parejos.series[0].valores[5] = 20000000;
    grafico.setChartType(tipo_grafico::Barras3D);
    grafico.EstablecerDatos(parejos);
    EXPECT_EQ(grafico.RestoAparte3D(), nullptr);
    EXPECT_EQ(TextosEscritos(grafico.Graficos3D()[0]).size(), 6);
    EXPECT_TRUE(TextosEscritos(grafico.Graficos3D()[0]).contains("20.000.000,00"));
    QLocale::setDefault(QLocale::c());
}

namespace {

// Where each value label lands on the picture: the graph is drawn once with no
// label and once with each label alone; the pixels that change are that label.
std::vector<QRect> RectangulosDibujados(QAbstract3DGraph* grafico, const QSize& tamano,
                                        std::vector<QCustom3DLabel*>& dibujadas) {
    std::vector<QCustom3DLabel*> etiquetas;
    for (QCustom3DItem* item : grafico->customItems())
        if (auto* e = qobject_cast<QCustom3DLabel*>(item)) etiquetas.push_back(e);
    std::vector<bool> visibles;
    for (QCustom3DLabel* e : etiquetas) visibles.push_back(e->isVisible());
    for (QCustom3DLabel* e : etiquetas) e->setVisible(false);
    grafico->renderToImage(0, tamano);
    const QImage base = grafico->renderToImage(0, tamano);
    std::vector<QRect> rectangulos;
    for (size_t i = 0; i < etiquetas.size(); ++i) {
        if (!visibles[i]) continue;
        etiquetas[i]->setVisible(true);
        // The first frame after a change may still show the one before.
        grafico->renderToImage(0, tamano);
        const QImage sola = grafico->renderToImage(0, tamano);
        etiquetas[i]->setVisible(false);
        QRect r;
        for (int y = 0; y < base.height(); ++y)
            for (int x = 0; x < base.width(); ++x)
                if (base.pixel(x, y) != sola.pixel(x, y)) r |= QRect(x, y, 1, 1);
        rectangulos.push_back(r);
        dibujadas.push_back(etiquetas[i]);
    }
    for (size_t i = 0; i < etiquetas.size(); ++i) etiquetas[i]->setVisible(visibles[i]);
    return rectangulos;
}

}  // namespace

// Two totals of one kind stand side by side in each column: their values are
// written where neither covers the other, and a value that finds no room is
// left to the tooltip of its bar.
TEST_F(Grafico3D, LosValoresDeTotalesLadoALadoNoSeTapan) {
    ASSERT_TRUE(GraficoPrincipal::Hay3D());
    QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Argentina));
    DatosGrafico datos;
    datos.decimales = 2;
    datos.titulo = "Lado a lado";
    SerieGrafico costo{"Valor Costo", Familia::Importes, {}};
    SerieGrafico venta{"Valor Venta", Familia::Importes, {}};
    for (int i = 0; i < 6; ++i) {
        datos.etiquetas << QStringLiteral("V0%1 – Vendedor %1").arg(i + 1);
        datos.niveles << QStringList{datos.etiquetas.back()};
        costo.valores.push_back(12345678.91 - i * 800000.0);
        venta.valores.push_back(13456789.12 - i * 750000.0);
    }
    datos.series = {costo, venta};
    GraficoPrincipal grafico;
    grafico.resize(1000, 500);
    grafico.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grafico));
    grafico.EstablecerDatos(datos);
    for (int tipo : {tipo_grafico::Barras3D, tipo_grafico::Combinado3D}) {
        SCOPED_TRACE(tipo);
        grafico.setChartType(tipo);
        grafico.Redibujar();
        ASSERT_TRUE(grafico.Mostrando3D());
        ASSERT_EQ(grafico.Graficos3D().size(), 1u);
        auto* g = static_cast<QAbstract3DGraph*>(grafico.Graficos3D()[0]);
        QTest::qWait(50);
        std::vector<QCustom3DLabel*> dibujadas;
        const std::vector<QRect> r = RectangulosDibujados(g, QSize(1000, 420), dibujadas);
        ASSERT_FALSE(r.empty());
        const QString carpeta = qEnvironmentVariable("KVESTV_CAPTURAS_PRUEBA");
        if (!carpeta.isEmpty()) g->renderToImage(0, QSize(1000, 420)).save(carpeta + QStringLiteral("/lado-%1.png").arg(tipo));
        for (size_t i = 0; i < r.size(); ++i) {
            EXPECT_FALSE(r[i].isEmpty()) << dibujadas[i]->text().toStdString();
            for (size_t j = i + 1; j < r.size(); ++j)
                EXPECT_FALSE(r[i].intersects(r[j]))
                    << dibujadas[i]->text().toStdString() << " (" << r[i].x() << "," << r[i].y() << " "
                    << r[i].width() << "x" << r[i].height() << ") and " << dibujadas[j]->text().toStdString()
                    << " (" << r[j].x() << "," << r[j].y() << " " << r[j].width() << "x" << r[j].height() << ")";
        }
        // Every value is read somewhere: written, or in the picked bar's label.
        auto* barras = static_cast<Q3DBars*>(g);
        for (int s = 0; s < barras->seriesList().size(); ++s) {
            QBar3DSeries* serie = barras->seriesList()[s];
            serie->setSelectedBar(QPoint(0, 3));
            for (const SerieGrafico& total : datos.series)
                EXPECT_TRUE(serie->itemLabelFormat().contains(datos.TextoValor(total, total.valores[3])))
                    << serie->itemLabelFormat().toStdString();
        }
    }
    QLocale::setDefault(QLocale::c());
}
