// Number texts with the locale's marks, the kinds of totals and twips.
#include <gtest/gtest.h>

#include <QLocale>
#include <QWidget>

#include "ui/Formatos.h"

using namespace kv::ui;

namespace {
struct LocaleEspanol {
    LocaleEspanol() { QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Spain)); }
    ~LocaleEspanol() { QLocale::setDefault(QLocale::c()); }
};
}  // namespace

TEST(Formatos, MilesYDecimalesDelLocale) {
    LocaleEspanol es;
    EXPECT_EQ(TextoNumero(5000000, 0), "5.000.000");
    EXPECT_EQ(TextoNumero(8000, 2), "8.000,00");
    EXPECT_EQ(TextoNumero(-1234567.891, 2), "-1.234.567,89");
    EXPECT_EQ(TextoNumero(-0.001, 2), "0,00");
    EXPECT_EQ(TextoNumero(12.5, 0), "13");
    EXPECT_EQ(TextoImporte(31868550064, 2), "3.186.855,01");  // 3186855.0064
    EXPECT_EQ(TextoImporte(-5, 2), "0,00");
    EXPECT_EQ(TextoImporte(-15000, 0), "-2");
    EXPECT_EQ(TextoImporte(12345678, 4), "1.234,5678");
    EXPECT_EQ(TextoImporte(10, 6), "0,001000");
    EXPECT_EQ(Diezmilesimas(0.1 + 0.2), 3000);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(TextoNumero(1234.5, 1), "1,234.5");
}

TEST(Formatos, FamiliasDeTotales) {
    EXPECT_EQ(FamiliaDeTotal(0), Familia::Unidades);
    EXPECT_EQ(FamiliaDeTotal(1), Familia::Importes);
    EXPECT_EQ(FamiliaDeTotal(2), Familia::Importes);
    EXPECT_EQ(FamiliaDeTotal(3), Familia::Porcentajes);
    EXPECT_EQ(FamiliaDeTotal(4), Familia::Porcentajes);
    EXPECT_EQ(FamiliaDeTotal(5), Familia::Importes);
    EXPECT_EQ(FamiliaDeTitulo("Consumo"), Familia::Unidades);
    EXPECT_EQ(FamiliaDeTitulo("Utilidad s/Venta %"), Familia::Porcentajes);
    EXPECT_EQ(FamiliaDeTitulo("Utilidad $"), Familia::Importes);
    EXPECT_EQ(FamiliaDeColumna("consumo"), Familia::Unidades);
    EXPECT_EQ(FamiliaDeColumna("UTL_COSTOPorc"), Familia::Porcentajes);
    EXPECT_EQ(FamiliaDeColumna("UTILIDAD"), Familia::Importes);
}

TEST(Formatos, TwipsSegunLosPuntosPorPulgada) {
    QWidget w;
    const int dpi = w.logicalDpiX();
    EXPECT_EQ(TwipsAPixeles(1440, &w), dpi);
    EXPECT_EQ(TwipsAPixeles(1500, &w), static_cast<int>(std::lround(1500.0 * dpi / 1440)));
    EXPECT_EQ(PixelesATwips(dpi, &w), 1440);
}
