// The presentation inside the main window: chart types from the list, the page
// table, the full-screen toggle, the report command per page, the views filled
// by a load, the remainder's window.
#include <gtest/gtest.h>

#include <QAbstractItemView>

#include "stats/NombresGrupos.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QPrinter>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include "VentanaPrueba.h"
#include "soporte/CarpetasTemporales.h"
#include "soporte/PuertoGuionado.h"
#include "soporte/VariableEntorno.h"
#include "stats/Catalogo.h"
#include "stats/EntornoEstadisticas.h"
#include "ui/DatosGrilla.h"
#include "ui/GraficoEmpresas.h"
#include "ui/GraficoPrincipal.h"
#include "ui/Grilla.h"
#include "ui/Impresion.h"
#include "ui/PantallaCompleta.h"
#include "ui/TiposGrafico.h"
#include "ui/UtilNet.h"
#include "ui/VentanaResto.h"
#include "ui/VistaTablaDinamica.h"
#include "ui/frmKv_EstV.h"

using kv::InteraccionGuionada;
using kv::pruebas::EntornoEstadisticas;
using kv::pruebas::PuertoGuionado;
using namespace kv::ui;

namespace {

class PresentacionVentana : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        entorno_ = new EntornoEstadisticas({"NORTE"});
        entorno_->LlenarDemo("NORTE", 0, 400, QDate::currentDate());
        entorno_->Almacen();
        entorno_->AgregarEmpresa("NORTE", false);
        kv::pruebas::GrabarDefinicion(*entorno_, "Vendedores", {"IdVendedor"}, "3");
    }
    static void TearDownTestSuite() {
        delete entorno_;
        entorno_ = nullptr;
    }
    void SetUp() override {
        ventana_ = std::make_unique<frmKv_EstV>(entorno_->Erp());
        ventana_->resize(1200, 800);
        ventana_->show();
        ventana_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(ventana_.get()));
    }
    void Cargar() {
        kv::pruebas::EscribirNombre(*ventana_, "Vendedores");
        QTest::keyClick(ventana_->Campo("FechaD"), Qt::Key_F9);
        ASSERT_EQ(ventana_->Grafico().Filas(), 4);
    }

    static EntornoEstadisticas* entorno_;
    std::unique_ptr<frmKv_EstV> ventana_;
};
EntornoEstadisticas* PresentacionVentana::entorno_ = nullptr;

}  // namespace

TEST_F(PresentacionVentana, ListaDeTiposYValorDelGrafico) {
    PuertoGuionado puerto;
    frmKv_EstV& v = *ventana_;
    ASSERT_EQ(v.cboGraficos->count(), 12);
    EXPECT_EQ(v.cboGraficos->currentIndex(), 1);
    EXPECT_EQ(v.Chart1->chartType(), 1);
    // The list shows only the captions, whole; the code stays in the row's data.
    EXPECT_EQ(v.cboGraficos->itemText(0), QString::fromUtf8("Gráfico de Área 2D"));
    EXPECT_EQ(v.cboGraficos->itemText(11), QString::fromUtf8("Gráfico de Pasos 3D"));
    for (int i = 0; i < v.cboGraficos->count(); ++i) {
        EXPECT_FALSE(v.cboGraficos->itemText(i).contains("VtChChartType")) << i;
        EXPECT_TRUE(v.cboGraficos->itemData(i).toString().trimmed().endsWith(
            v.cboGraficos->itemData(i).toString().mid(80).trimmed()));
        EXPECT_GE(v.cboGraficos->view()->minimumWidth(),
                  v.cboGraficos->fontMetrics().horizontalAdvance(v.cboGraficos->itemText(i)));
    }
    EXPECT_EQ(v.cboGraficos->itemData(4).toString().mid(80).trimmed(), "VtChChartType2dPie");
    const std::map<int, int> esperados{{0, 5},  {1, 1}, {2, 9}, {3, 3}, {4, 14}, {5, 7},
                                       {6, 16}, {7, 4}, {8, 0}, {9, 8}, {10, 2}, {11, 6}};
    for (const auto& [fila, valor] : esperados) {
        v.cboGraficos->setCurrentIndex(fila);
        EXPECT_EQ(v.Chart1->chartType(), valor) << fila;
    }
    // Enter on the list moves the focus on, as Tab does.
    v.cboGraficos->setFocus();
    QTest::keyClick(v.cboGraficos, Qt::Key_Return);
    EXPECT_NE(QApplication::focusWidget(), static_cast<QWidget*>(v.cboGraficos));
    // A reset brings back 2D bars.
    v.LimpiarVentana();
    EXPECT_EQ(v.cboGraficos->currentIndex(), 1);
    EXPECT_EQ(v.Chart1->chartType(), 1);
}

TEST_F(PresentacionVentana, PaginasYSusControles) {
    PuertoGuionado puerto;
    Cargar();  // the load button takes the focus only when it is enabled
    frmKv_EstV& v = *ventana_;
    ASSERT_TRUE(v.cmdCargar->isEnabled());
    for (int i = 0; i < 4; ++i) v.SSTab1->setTabEnabled(i, true);  // as an operation may
    v.SSTab1->setCurrentIndex(0);
    EXPECT_TRUE(v.Chart1->isVisible());
    EXPECT_TRUE(v.FrmFil->isVisible());
    EXPECT_FALSE(v.picpCompleta[1]->isVisible());
    EXPECT_FALSE(v.PivotTable1->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), static_cast<QWidget*>(v.cmdCargar));
    v.SSTab1->setCurrentIndex(1);
    EXPECT_TRUE(v.MSFlexGrid1->isVisible());
    EXPECT_FALSE(v.FrmFil->isVisible());
    EXPECT_FALSE(v.FrmCfg->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), static_cast<QWidget*>(v.MSFlexGrid1));
    v.SSTab1->setCurrentIndex(2);
    EXPECT_TRUE(v.ChartSpace1->isVisible());
    EXPECT_TRUE(v.picpCompleta[1]->isVisible());
    EXPECT_TRUE(v.FrmCfg->isVisible());
    EXPECT_TRUE(v.UtilNet1->ReporteEnabled());
    v.SSTab1->setCurrentIndex(3);
    EXPECT_TRUE(v.PivotTable1->isVisible());
    EXPECT_TRUE(v.picpCompleta[2]->isVisible());
    EXPECT_FALSE(v.FrmFil->isVisible());
    EXPECT_FALSE(v.UtilNet1->ReporteEnabled());
}

TEST(PantallaCompletaTwips, AlternarDosVecesVuelveAlTamano) {
    EntradaPantallaCompleta e;
    e.altoVentana = 9000;
    e.topFrmPrincipal = 400;
    e.altoFrmPrincipal = 1750;
    e.altoUtilNet = 500;
    e.anchoSSTab = 15000;
    e.anchoPicFiltros = 330;
    e.anchoPicCfg = 330;
    e.altoSSTab = AltoNormalSSTab(e);
    EXPECT_EQ(e.altoSSTab, 9000 - 1750 - 500 - 400);
    const PantallaCompleta completa = AlternarPantallaCompleta(e);
    EXPECT_TRUE(completa.completa);
    EXPECT_EQ(completa.topSSTab, 0);
    EXPECT_EQ(completa.altoSSTab, 8600);
    EXPECT_EQ(completa.tooltip, QString::fromUtf8("Tamaño Original"));
    EXPECT_EQ(completa.anchoChart1, 15000 - 330 - 330);
    EXPECT_EQ(completa.altoChart1, 8200);
    EXPECT_EQ(completa.anchoGrilla, 14800);
    EXPECT_EQ(completa.altoGrilla, 8200);
    EXPECT_EQ(completa.altoPaneles, 8200);
    EXPECT_EQ(completa.chartSpace, (RectTwips{330, 0, 15000 - 100 - 330, 8200}));
    EXPECT_EQ(completa.pivot, (RectTwips{0, 0, 14900, 8200}));
    e.altoSSTab = completa.altoSSTab;
    const PantallaCompleta normal = AlternarPantallaCompleta(e);
    EXPECT_FALSE(normal.completa);
    EXPECT_EQ(normal.altoSSTab, 6350);
    EXPECT_EQ(normal.topSSTab, 400 + 1750 + 25);
    EXPECT_EQ(normal.tooltip, "Pantalla Completa");
    EXPECT_EQ(normal.altoChart1, 5950);
    EXPECT_EQ(normal.pivot, (RectTwips{0, 0, 14900, 5950}));
}

TEST_F(PresentacionVentana, PantallaCompletaEnLaVentana) {
    PuertoGuionado puerto;
    frmKv_EstV& v = *ventana_;
    const QRect normal = v.SSTab1->geometry();
    QTest::mouseClick(v.picpCompleta[1], Qt::LeftButton);
    EXPECT_TRUE(v.PantallaCompletaActiva());
    EXPECT_EQ(v.SSTab1->y(), 0);
    EXPECT_GT(v.SSTab1->height(), normal.height());
    for (QToolButton* b : v.picpCompleta) EXPECT_EQ(b->toolTip(), QString::fromUtf8("Tamaño Original"));
    EXPECT_NEAR(v.PivotTable1->height(), v.Pixeles(v.Twips(v.SSTab1->height()) - 400), 1);
    // A resize keeps the full-screen view.
    v.resize(1100, 760);
    QApplication::processEvents();
    EXPECT_TRUE(v.PantallaCompletaActiva());
    EXPECT_EQ(v.SSTab1->y(), 0);
    v.resize(1200, 800);
    QApplication::processEvents();
    QTest::mouseClick(v.picpCompleta[1], Qt::LeftButton);
    EXPECT_FALSE(v.PantallaCompletaActiva());
    EXPECT_EQ(v.SSTab1->geometry(), normal);
    for (QToolButton* b : v.picpCompleta) EXPECT_EQ(b->toolTip(), "Pantalla Completa");
}

TEST_F(PresentacionVentana, CargaLlenaLasCuatroVistas) {
    PuertoGuionado puerto;
    Cargar();
    frmKv_EstV& v = *ventana_;
    EXPECT_EQ(v.Chart1->Datos().Categorias(), 4);
    EXPECT_EQ(v.Chart1->Datos().etiquetas.last(), "Otros");
    ASSERT_TRUE(v.DatosVistas());
    EXPECT_EQ(v.MSFlexGrid1->model()->rowCount(), static_cast<int>(v.DatosVistas()->filas.size()));
    EXPECT_EQ(v.MSFlexGrid1->columnWidth(0), TwipsAPixeles(1500, v.MSFlexGrid1));
    EXPECT_EQ(v.PivotTable1->Modelo()->Tabla().CamposFila(), QStringList{"Vendedor"});
    EXPECT_EQ(v.ChartSpace1->Tabla().CamposFila(), QStringList{"Vendedor"});
    // The grand total of the pivot is the grid's sum of sales.
    const int venta = v.DatosVistas()->Columna("VALORVENTA");
    qint64 suma = 0;
    for (const auto& fila : v.DatosVistas()->filas)
        suma += Diezmilesimas(fila[static_cast<size_t>(venta)].toDouble());
    EXPECT_EQ(v.PivotTable1->Modelo()->Tabla().Raiz().sumas[2], suma);
    EXPECT_TRUE(puerto->Mensajes().isEmpty());
}

TEST_F(PresentacionVentana, ReportePorPagina) {
    PuertoGuionado puerto;
    Cargar();
    frmKv_EstV& v = *ventana_;
    kv::pruebas::CarpetasTemporales carpetas;
    const QString temp = carpetas.raiz() + "temp";
    QDir().mkpath(temp);
    kv::pruebas::VariableEntorno variable("TEMP", temp);
    int impresiones = 0;
    const ElectorImpresora anterior = EstablecerElectorImpresora([&](QPrinter& p) {
        p.setOutputFormat(QPrinter::PdfFormat);
        p.setOutputFileName(carpetas.raiz() + QStringLiteral("r%1.pdf").arg(++impresiones));
        return true;
    });
    // Page 2, Yes: CHART.GIF in TEMP and a printed page.
    v.SSTab1->setCurrentIndex(2);
    puerto->ResponderMensaje(kv::respuesta::Si);
    v.Comando("reporte");
    EXPECT_EQ(impresiones, 1);
    EXPECT_TRUE(QFile::exists(temp + "/CHART.GIF"));
    EXPECT_TRUE(QFile::exists(carpetas.raiz() + "r1.pdf"));
    // Page 0, No: nothing printed.
    v.SSTab1->setTabEnabled(0, true);
    v.SSTab1->setCurrentIndex(0);
    puerto->ResponderMensaje(kv::respuesta::No);
    v.Comando("REPORTE");
    EXPECT_EQ(impresiones, 1);
    const auto mensajes = puerto->Mensajes();
    ASSERT_EQ(mensajes.size(), 2);
    EXPECT_EQ(mensajes[1].texto, QString::fromUtf8("¿Desea imprimir el gráfico?"));
    // Page 3: the grid export with its dialog.
    v.SSTab1->setCurrentIndex(3);
    puerto->ResponderArchivo(carpetas.raiz() + "grilla.txt");
    v.Comando("REPORTE");
    QFile archivo(carpetas.raiz() + "grilla.xls");
    ASSERT_TRUE(archivo.open(QIODevice::ReadOnly));
    const QList<QByteArray> lineas = archivo.readAll().split('\n');
    EXPECT_EQ(lineas.size() - 1, v.MSFlexGrid1->model()->rowCount() + 1);  // the header row too
    // The grid's captions, with the names of the sellers beside their codes.
    EXPECT_TRUE(lineas[0].startsWith("Empresa\tVendedor\tNombre Vendedor\tGrupo2\tGrupo3\tConsumo\t"))
        << lineas[0].toStdString();
    EXPECT_EQ(puerto->Llamadas(InteraccionGuionada::Tipo::Documento).size(), 1);
    EstablecerElectorImpresora(anterior);
}

TEST_F(PresentacionVentana, RestoAbreSusGrupos) {
    PuertoGuionado puerto;
    Cargar();
    frmKv_EstV& v = *ventana_;
    const auto& grafico = v.Grafico();
    ASSERT_FALSE(grafico.plegados.empty());
    emit v.Chart1->DobleClicResto();
    auto* resto = v.findChild<VentanaResto*>("VentanaResto");
    ASSERT_NE(resto, nullptr);
    EXPECT_EQ(resto->windowTitle(), "Grupos incluidos en \"Otros\"");
    QStandardItemModel* modelo = resto->Modelo();
    ASSERT_EQ(modelo->rowCount(), static_cast<int>(grafico.plegados.size()));
    // Its columns: the level, each chart column, the share of the remainder.
    EXPECT_EQ(modelo->headerData(0, Qt::Horizontal).toString(), "Vendedor");
    EXPECT_EQ(modelo->headerData(1, Qt::Horizontal).toString(), grafico.columnas[0]);
    // The folded groups add up to the remainder row, column by column (not the percentages).
    for (int c = 0; c < grafico.Columnas(); ++c) {
        if (FamiliaDeTitulo(grafico.columnas[c]) == Familia::Porcentajes) continue;
        double suma = 0;
        for (int f = 0; f < modelo->rowCount(); ++f)
            suma += modelo->index(f, 1 + c).data(kRolNumero).toDouble();
        EXPECT_NEAR(suma, grafico.valores[static_cast<size_t>(grafico.filaResto)][static_cast<size_t>(c)],
                    1e-6);
    }
    double partes = 0;
    for (int f = 0; f < modelo->rowCount(); ++f)
        partes += modelo->index(f, modelo->columnCount() - 1).data(kRolNumero).toDouble();
    EXPECT_NEAR(partes, 100.0, 1e-6);
    // In the order of the load: the first folded group is the load's fourth.
    // Each group reads with its code and its name.
    const QString codigo = grafico.plegados.front().grupos[0].trimmed();
    EXPECT_EQ(modelo->index(0, 0).data().toString(), grafico.nombres->Etiqueta(0, codigo));
    EXPECT_TRUE(modelo->index(0, 0).data().toString().startsWith(codigo + QString::fromUtf8(" – ")));
    resto->Copiar();
    EXPECT_TRUE(QApplication::clipboard()->text().startsWith("Vendedor\t"));
    // It opens with the keyboard, so Esc closes it and not the main window's load.
    QPointer<VentanaResto> abierta(resto);
    QTRY_VERIFY(resto->isActiveWindow());
    EXPECT_EQ(QApplication::focusWidget(), resto->Tabla());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QTRY_VERIFY(abierta.isNull() || !abierta->isVisible());
    EXPECT_TRUE(v.isVisible());
    EXPECT_TRUE(puerto->Mensajes().empty());  // no question of the main window came
    if (abierta) abierta->close();
}
