// The caption painter: gradient bands from the bottom, the turned caption, and
// its colour properties.
#include <gtest/gtest.h>

#include <QApplication>
#include <cmath>

#include "ui/SuperficieDibujo.h"
#include "ui/cLogo.h"

using kv::ui::cLogo;
using kv::ui::SuperficieDibujo;

namespace {

// The colour the algorithm gives the band that starts at line `y` (counted from the top).
int Componente(int inicio, int fin, int alto, int paso, int fila) {
    // Band k (0 from the bottom) covers lines alto-(k+1)*paso .. alto-k*paso-1 and
    // carries the colour computed for d = (k-1)*paso (the two lowest: the start colour).
    const int k = (alto - 1 - fila) / paso;
    const double d = k == 0 ? 0 : (k - 1) * paso;
    return static_cast<int>(std::nearbyint(d * (fin - inicio) / alto + inicio));
}

}  // namespace

TEST(cLogo, DegradadoPorBandasDesdeAbajo) {
    SuperficieDibujo superficie;
    superficie.resize(20, 300);
    cLogo logo;
    EXPECT_EQ(logo.StartColor(), 0u);
    EXPECT_EQ(logo.EndColor(), 0x8000000Fu);
    logo.DrawingObject(&superficie);
    logo.StartColor(0x000000FF);  // red (0x00BBGGRR)
    logo.EndColor(0x00FF0000);    // blue
    logo.Caption(QString());
    logo.Draw();
    const QImage& img = superficie.Imagen();
    ASSERT_EQ(img.height(), 300);
    const int alto = 300;
    const int paso = 1;  // 300 / 255
    for (int fila : {299, 298, 297, 250, 150, 10, 0}) {
        const QColor c = img.pixelColor(5, fila);
        EXPECT_EQ(c.red(), Componente(255, 0, alto, paso, fila)) << fila;
        EXPECT_EQ(c.blue(), Componente(0, 255, alto, paso, fila)) << fila;
        EXPECT_EQ(c.green(), 0) << fila;
    }
    // The two lowest bands both carry the start colour.
    EXPECT_EQ(img.pixelColor(5, 299), QColor(255, 0, 0));
    EXPECT_EQ(img.pixelColor(5, 298), QColor(255, 0, 0));
}

TEST(cLogo, BandasDeDosPixelesEnUnaSuperficieDe510) {
    SuperficieDibujo superficie;
    superficie.resize(10, 510);
    cLogo logo;
    logo.DrawingObject(&superficie);
    logo.Caption(QString());
    logo.StartColor(0x00000000);
    logo.EndColor(0x00FFFFFF);
    const QImage& img = superficie.Imagen();
    // Lines of one band share their colour; the next band differs.
    for (int fila : {300, 200, 100}) {
        const int k = (509 - fila) / 2;
        const int otra = fila % 2 == 0 ? fila + 1 : fila - 1;  // the other line of the same band
        ASSERT_EQ((509 - otra) / 2, k);
        EXPECT_EQ(img.pixelColor(3, fila), img.pixelColor(3, otra)) << fila;
        EXPECT_EQ(img.pixelColor(3, fila).red(), Componente(0, 255, 510, 2, fila)) << fila;
    }
}

TEST(cLogo, ColoresIgualesDanUnaFranjaPlanaYNoRepintanSinCambio) {
    SuperficieDibujo superficie;
    superficie.resize(30, 200);
    cLogo logo;
    // Without a surface a colour is only stored.
    logo.StartColor(0x00336699);
    EXPECT_EQ(logo.Dibujos(), 0);
    logo.DrawingObject(&superficie);
    logo.Caption(QString());
    logo.EndColor(0x00336699);  // repaints: now flat
    EXPECT_EQ(logo.Dibujos(), 1);
    logo.EndColor(0x00336699);  // the same value again: nothing
    logo.StartColor(0x00336699);
    EXPECT_EQ(logo.Dibujos(), 1);
    const QImage& img = superficie.Imagen();
    for (int fila = 0; fila < 200; fila += 17) EXPECT_EQ(img.pixelColor(15, fila), QColor(0x99, 0x66, 0x33));
    // A system colour takes the palette's.
    const auto cara = cLogo::TraducirColor(0x8000000F);
    const QColor boton = QApplication::palette().color(QPalette::Button);
    EXPECT_EQ(cara, (std::array<int, 3>{boton.red(), boton.green(), boton.blue()}));
}

TEST(cLogo, ElTituloGiradoSubeDesdeAbajoJuntoAlBordeIzquierdo) {
    SuperficieDibujo superficie;
    superficie.resize(24, 400);
    cLogo logo;
    logo.DrawingObject(&superficie);
    logo.StartColor(0x00FFFFFF);
    logo.EndColor(0x00FFFFFF);
    logo.Caption(QStringLiteral("          FILTROS"));
    logo.Draw();
    const QImage& img = superficie.Imagen();
    int minX = 1000, maxX = -1, minY = 1000, maxY = -1;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixelColor(x, y) != QColor(255, 255, 255)) {
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
                minY = std::min(minY, y);
                maxY = std::max(maxY, y);
            }
    ASSERT_GE(maxX, 0) << "no caption drawn";
    // Along the left edge, turned: much taller than wide, ending 16 pixels above the bottom
    // and pushed up by the leading blanks.
    EXPECT_GE(minX, 0);
    EXPECT_LE(maxX, 20);
    EXPECT_GT(maxY - minY, 3 * (maxX - minX));
    EXPECT_LE(maxY, 400 - 16);
    EXPECT_LT(maxY, 400 - 16 - 10);
    EXPECT_GT(minY, 100);
}
