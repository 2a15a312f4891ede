// What a person reads on the charts: names beside codes in labels and
// tooltips, whole labels, values written on the bars in the locale's marks, a
// remainder that dwarfs the top groups written beside the chart, one pie per
// kind with its labels, the second chart in the load's order.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBarCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QGraphicsSimpleTextItem>
#include <QLabel>
#include <QLocale>
#include <QPieSeries>
#include <QPieSlice>
#include <clocale>
#include <cstdlib>
#include <langinfo.h>
#include <string>

#include "EntornoPresentacion.h"
#include "soporte/PuertoGuionado.h"
#include "soporte/VariableEntorno.h"
#include "stats/NombresGrupos.h"
#include "ui/GraficoEmpresas.h"
#include "ui/GraficoPrincipal.h"
#include "ui/Idioma.h"
#include "ui/PanelGraficos.h"
#include "ui/TiposGrafico.h"

using kv::pruebas::EntornoPresentacion;
using kv::pruebas::PuertoGuionado;
using namespace kv::ui;

namespace {

class Lectura : public ::testing::Test {
  protected:
    static void TearDownTestSuite() { EntornoPresentacion::Liberar(); }
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Argentina)); }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }

    // A load with its names read, as the window does it.
    void Cargar(kv::stats::ModeloGrafico& modelo) {
        auto& e = EntornoPresentacion::Comun();
        e.Cargar(e.Entrada(), modelo);
        PuertoGuionado puerto;
        modelo.nombres = kv::stats::LeerNombres(e.Entorno().Erp(), e.Entrada().titulos, modelo, nullptr);
    }

    static QStringList TextosEscritos(QChart* grafico) {
        QStringList textos;
        for (QGraphicsItem* item : grafico->childItems())
            if (auto* t = dynamic_cast<QGraphicsSimpleTextItem*>(item)) textos << t->text();
        return textos;
    }
};

QString SinMarcas(QString texto) {
    texto.remove(QChar(0x200B));
    texto.replace("<br>", " ");
    texto.replace("&amp;", "&");
    return texto.simplified();
}

}  // namespace

TEST_F(Lectura, EtiquetasConNombreEnteras) {
    kv::stats::ModeloGrafico modelo;
    Cargar(modelo);
    ASSERT_GT(modelo.Filas(), 1);
    GraficoPrincipal grafico;
    grafico.resize(1200, 800);
    grafico.show();
    grafico.Vincular(modelo, "Vendedores y rubros");
    const DatosGrafico& datos = grafico.Datos();
    // Each level shows its code and its name from the master table.
    const QString vendedor = modelo.grupos[0][0].trimmed();
    const QString nombre = modelo.nombres->Nombre(0, vendedor);
    ASSERT_FALSE(nombre.isEmpty());
    EXPECT_EQ(datos.niveles[0][0], vendedor + QString::fromUtf8(" – ") + nombre);
    EXPECT_TRUE(datos.Descripcion(0).startsWith(vendedor + QString::fromUtf8(" – ") + nombre));
    // The axis draws every label whole (wrapped, never cut).
    const QStringList mostradas = grafico.Panel2D()->EtiquetasMostradas();
    for (int i = 0; i < mostradas.size(); ++i) {
        EXPECT_FALSE(mostradas[i].contains(QChar(0x2026)));
        EXPECT_FALSE(mostradas[i].contains("..."));
        EXPECT_EQ(SinMarcas(mostradas[i]), datos.niveles[i].join(' ').simplified());
    }
}

TEST_F(Lectura, ValoresSobreLasBarrasYRestoAparte) {
    DatosGrafico datos;
    datos.decimales = 2;
    datos.titulo = "Prueba";
    SerieGrafico venta{"Valor Venta", Familia::Importes, {}};
    for (int i = 0; i < 5; ++i) {
        datos.etiquetas << QStringLiteral("V0%1 – Vendedor %1").arg(i + 1);
        datos.niveles << QStringList{datos.etiquetas.back()};
        venta.valores.push_back(18000000.0 - i * 1000000.5);
    }
    datos.etiquetas << "Otros";
    datos.niveles << QStringList{"Otros"};
    venta.valores.push_back(1247893470.68);
    datos.filaResto = 5;
    datos.series = {venta};
    PanelGraficos panel;
    panel.resize(1200, 700);
    panel.show();
    panel.Dibujar(datos, kv::ui::tipo_grafico::Barras2D);
    QApplication::processEvents();
    // The remainder is written beside the chart with its value; the five bars are drawn at their scale.
    ASSERT_NE(panel.RestoAparte(), nullptr);
    EXPECT_TRUE(panel.RestoAparte()->text().contains("1.247.893.470,68"));
    EXPECT_TRUE(panel.RestoAparte()->text().contains("Otros"));
    ASSERT_EQ(panel.Vistas().size(), 1u);
    QChart* grafico = panel.Vistas()[0]->chart();
    QBarCategoryAxis* eje = nullptr;
    for (QAbstractAxis* a : grafico->axes())
        if (auto* c = qobject_cast<QBarCategoryAxis*>(a)) eje = c;
    ASSERT_NE(eje, nullptr);
    EXPECT_EQ(eje->count(), 5);
    // Each top group's value is written on its bar, in the locale's marks.
    const QStringList escritos = TextosEscritos(grafico);
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(escritos.contains(datos.TextoValor(venta, venta.valores[static_cast<size_t>(i)])))
            << escritos.join(" | ").toStdString();
    EXPECT_TRUE(escritos.contains("18.000.000,00"));
    // The full data is still the panel's: the remainder opens with a double click.
    EXPECT_EQ(panel.Datos().Categorias(), 6);
}

TEST_F(Lectura, ValoresSobreLasAreasComoSobreLineasYBarras) {
    DatosGrafico datos;
    datos.decimales = 2;
    datos.titulo = "Prueba";
    SerieGrafico venta{"Valor Venta", Familia::Importes, {}};
    SerieGrafico utilidad{"Utilidad s/Venta %", Familia::Porcentajes, {}};
    for (int i = 0; i < 6; ++i) {
        datos.etiquetas << QStringLiteral("V0%1 – Vendedor %1").arg(i + 1);
        datos.niveles << QStringList{datos.etiquetas.back()};
        venta.valores.push_back(1234567.89 - i * 100000.25);
        utilidad.valores.push_back(37.5 - i * 2.125);
    }
    datos.series = {venta, utilidad};
    for (int tipo : {kv::ui::tipo_grafico::Area2D, kv::ui::tipo_grafico::Lineas2D, kv::ui::tipo_grafico::Barras2D}) {
        SCOPED_TRACE(tipo);
        PanelGraficos panel;
        panel.resize(1200, 900);
        panel.show();
        panel.Dibujar(datos, tipo);
        QApplication::processEvents();
        ASSERT_EQ(panel.Vistas().size(), 2u);  // money and percentages apart
        // Each point of each area carries its value in the locale's marks.
        const QStringList importes = TextosEscritos(panel.Vistas()[0]->chart());
        const QStringList porcentajes = TextosEscritos(panel.Vistas()[1]->chart());
        EXPECT_EQ(importes.size(), 6) << importes.join(" | ").toStdString();
        EXPECT_EQ(porcentajes.size(), 6) << porcentajes.join(" | ").toStdString();
        for (int i = 0; i < 6; ++i) {
            EXPECT_TRUE(importes.contains(datos.TextoValor(venta, venta.valores[static_cast<size_t>(i)])))
                << importes.join(" | ").toStdString();
            EXPECT_TRUE(porcentajes.contains(datos.TextoValor(utilidad, utilidad.valores[static_cast<size_t>(i)])))
                << porcentajes.join(" | ").toStdString();
        }
        EXPECT_TRUE(importes.contains("1.234.567,89"));
        EXPECT_TRUE(porcentajes.contains("37,50 %"));
        EXPECT_TRUE(porcentajes.contains("26,88 %"));
    }
}

TEST_F(Lectura, UnaTortaPorClaseConSusEtiquetas) {
    kv::stats::ModeloGrafico modelo;
    Cargar(modelo);
    GraficoPrincipal grafico;
    grafico.resize(1200, 800);
    grafico.show();
    grafico.Vincular(modelo, "Vendedores y rubros");
    grafico.setChartType(kv::ui::tipo_grafico::Torta2D);
    grafico.Redibujar();
    for (QChartView* vista : grafico.Panel2D()->Vistas()) {
        int tortas = 0;
        for (QAbstractSeries* s : vista->chart()->series())
            if (auto* torta = qobject_cast<QPieSeries*>(s)) {
                ++tortas;
                EXPECT_EQ(torta->count(), modelo.Filas());
                for (QPieSlice* porcion : torta->slices())
                    if (porcion->isLabelVisible()) {
                        EXPECT_TRUE(porcion->label().contains(": "));
                    }
            }
        EXPECT_EQ(tortas, 1);
    }
}

TEST_F(Lectura, ElSegundoGraficoSigueElOrdenDeLaCarga) {
    auto& e = EntornoPresentacion::Comun();
    kv::stats::ModeloGrafico modelo;
    auto datos = std::const_pointer_cast<DatosGrilla>(e.Cargar(e.Entrada(), modelo));
    int posicion = 0;
    QStringList esperadas;
    for (int f = 0; f < modelo.Filas(); ++f) {
        if (f == modelo.filaResto) continue;
        const auto& g = modelo.grupos[static_cast<size_t>(f)];
        datos->ordenCarga.insert(DatosGrilla::ClaveGrupo({g[0], g[1]}), posicion++);
        esperadas << g[0].trimmed() + " " + g[1].trimmed();
    }
    for (const auto& p : modelo.plegados) {
        const QString clave = DatosGrilla::ClaveGrupo({p.grupos[0], p.grupos[1]});
        if (!datos->ordenCarga.contains(clave)) datos->ordenCarga.insert(clave, posicion++);
    }
    GraficoEmpresas grafico;
    grafico.resize(1200, 800);
    grafico.Vincular(datos, "Vendedores y rubros");
    const DatosGrafico& completos = grafico.DatosCompletos();
    ASSERT_GE(completos.Categorias(), esperadas.size());
    for (int i = 0; i < esperadas.size(); ++i) EXPECT_EQ(completos.etiquetas[i], esperadas[i]) << i;
}

// A LANG naming a locale the machine never generated (as on many users' machines):
// the C library falls back to a UTF-8 locale instead of staying in ASCII "C", where
// X takes the window titles' bytes as Latin-1. A locale that exists is taken as is.
TEST(Idioma, UnLocaleNoGeneradoCaeAUtf8) {
    const std::string anterior = std::setlocale(LC_ALL, nullptr);
    {
        kv::pruebas::VariableEntorno todo("LC_ALL");
        kv::pruebas::VariableEntorno tipo("LC_CTYPE");
        kv::pruebas::VariableEntorno numeros("LC_NUMERIC");
        kv::pruebas::VariableEntorno lengua("LANG", "es_ZZ.UTF-8");
        std::setlocale(LC_ALL, "C");
        EXPECT_FALSE(PrepararLocaleC());
        EXPECT_STREQ(nl_langinfo(CODESET), "UTF-8");
        // "á" in UTF-8 reads as one character.
        EXPECT_EQ(std::mbstowcs(nullptr, "\xc3\xa1", 0), 1u);

        kv::pruebas::VariableEntorno existente("LANG", "C.UTF-8");
        std::setlocale(LC_ALL, "C");
        EXPECT_TRUE(PrepararLocaleC());
        EXPECT_STREQ(std::setlocale(LC_CTYPE, nullptr), "C.UTF-8");
    }
    std::setlocale(LC_ALL, anterior.c_str());
}

TEST(Idioma, LosDialogosDeQtEnEspanolYMarcasEspanolasSinLocale) {
    const QLocale anterior;
    QLocale::setDefault(QLocale::c());
    ASSERT_TRUE(PrepararIdioma(*QCoreApplication::instance()));
    EXPECT_EQ(QLocale().language(), QLocale::Spanish);
    EXPECT_EQ(QCoreApplication::translate("QPrintDialog", "Print"), "Imprimir");
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Cancelar");
    EXPECT_EQ(TextoImporte(Diezmilesimas(1247893470.68), 2), "1.247.893.470,68");
    EXPECT_EQ(QLocale().toString(QDate(2026, 12, 8), QLocale::ShortFormat).left(5), "8/12/");
    QLocale::setDefault(anterior);
}

// The values over 3D bars: a label that covers one placed before it, or a bar,
// goes just above it; one with no room left under the ceiling is not written.
TEST(Valores3D, SeAlzanHastaNoTaparseNiQuedarTrasUnaBarra) {
    const std::vector<QRectF> cajas = {
        {0.0, 10.0, 1.5, 2.0},   // placed where it stands
        {1.0, 9.0, 1.5, 2.0},    // covers the first: raised to its top
        {2.0, 8.0, 1.0, 2.0},    // beside the first, below the second once raised: stays
        {0.5, 11.0, 1.0, 2.0},   // covers the first and, once raised, the second: no room under 15
        {5.0, 1.0, 1.0, 1.0},    // behind a taller bar: raised above it
    };
    const std::vector<QRectF> barras = {{5.2, 0.0, 0.4, 6.0}};
    const auto alzas = ColocarSinSolaparse(cajas, 15.0, barras);
    ASSERT_EQ(alzas.size(), cajas.size());
    ASSERT_TRUE(alzas[0] && alzas[1] && alzas[2] && alzas[4]);
    EXPECT_DOUBLE_EQ(*alzas[0], 0.0);
    EXPECT_DOUBLE_EQ(*alzas[1], 3.0);  // 9 + 3 = 12, the first's top
    EXPECT_DOUBLE_EQ(*alzas[2], 0.0);
    EXPECT_FALSE(alzas[3].has_value());
    EXPECT_DOUBLE_EQ(*alzas[4], 5.0);  // 1 + 5 = 6, the bar's top
    // No two written boxes, nor a box and the bar, share any area.
    std::vector<QRectF> puestas;
    for (size_t i = 0; i < cajas.size(); ++i)
        if (alzas[i]) puestas.push_back(cajas[i].translated(0, *alzas[i]));
    for (size_t i = 0; i < puestas.size(); ++i) {
        EXPECT_FALSE(puestas[i].intersects(barras[0])) << i;
        for (size_t j = i + 1; j < puestas.size(); ++j) EXPECT_FALSE(puestas[i].intersects(puestas[j])) << i << "," << j;
    }
}
