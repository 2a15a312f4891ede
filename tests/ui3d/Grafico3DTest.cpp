// The 3D chart types drawn in real 3D: these tests need an X display with
// OpenGL (ctest runs them under xvfb-run).
#include <gtest/gtest.h>

#include <QGuiApplication>
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
        EXPECT_EQ(imagen.size(), grafico.size());
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
