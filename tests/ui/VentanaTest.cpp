// The main window on the embedded demo: its controls by name, the start-up
// state, and the load (F9) against the engine's own rows.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBarSeries>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

#include <QTimer>
#include "ui/GraficoEmpresas.h"
#include "ui/PanelGraficos.h"

#include "EntornoEstadisticas.h"
#include "VentanaPrueba.h"
#include "db/Recordset.h"
#include "soporte/PuertoGuionado.h"
#include "stats/Carga.h"
#include "stats/Reconstruccion.h"
#include "ui/SuperficieDibujo.h"
#include "ui/UtilNet.h"
#include "ui/frmKv_EstV.h"
#include "util/UtilFormulario.h"

using namespace kv::stats;
using kv::pruebas::EntornoEstadisticas;
using kv::pruebas::PuertoGuionado;
using kv::ui::frmKv_EstV;

TEST(Ventana, ControlesConSusNombresYEstadoInicial) {
    EntornoEstadisticas e;
    e.Almacen();
    e.AgregarEmpresa("NORTE", false);
    PuertoGuionado puerto;
    frmKv_EstV ventana(e.Erp());
    EXPECT_EQ(ventana.windowTitle(), QString::fromUtf8("Gráficos Estadísticos de Ventas"));
    EXPECT_EQ(ventana.cmdCargar->text(), QString::fromUtf8(" [F9]  Cargar  Estadísticas   "));
    EXPECT_EQ(ventana.cmdFiltrar->text(), QStringLiteral("   Filtros                "));
    EXPECT_EQ(ventana.lblFiltros->text(), QStringLiteral(" Filtros"));
    EXPECT_EQ(ventana.FrmPrincipal->title(), QStringLiteral("Datos Principales"));
    for (const char* nombre :
         {"UtilNet1",   "Toolbar2",   "FrmPrincipal", "FrmFiltros",  "FrmAgr",      "LstGrupos",
          "lstEmp",     "lblGrupo1",  "lblGrupo2",    "lblGrupo3",   "cboGraficos", "cmdCargar",
          "cmdFiltrar", "lblFiltros", "SSTab1",       "FrmFil",      "FrmCfg",      "picFiltros",
          "PicCfg",     "Timer1",     "Chart1",       "MSFlexGrid1", "ChartSpace1", "PivotTable1",
          "optAsc",     "optDes",     "Label18",      "Label19",     "Label20",     "Label22",
          "Label17"})
        EXPECT_NE(ventana.findChild<QObject*>(QString::fromLatin1(nombre)), nullptr) << nombre;
    EXPECT_EQ(ventana.findChildren<QLineEdit*>(QStringLiteral("txtFields")).size(), 14);
    EXPECT_EQ(ventana.findChildren<QCheckBox*>(QStringLiteral("chkOrden")).size(), 10);
    EXPECT_EQ(ventana.findChildren<QLabel*>(QStringLiteral("lblOrden")).size(), 10);
    EXPECT_EQ(ventana.findChildren<QCheckBox*>(QStringLiteral("chkSum")).size(), 6);

    // Keys, tags and maximum lengths of the entry fields, found by key in any letter case.
    struct Esperado {
        const char* clave;
        int indice;
        const char* etiqueta;
        int largo;
    };
    for (const Esperado& c :
         {Esperado{"nombre", 0, "CAB_ESTV", 200}, Esperado{"fechad", 1, "MES", 7},
          Esperado{"FECHAH", 2, "MES", 7}, Esperado{"grupo1", 3, " ", 1000}, Esperado{"g1Desde", 4, " ", 50},
          Esperado{"G2HASTA", 6, " ", 50}, Esperado{"Grupo2", 8, " ", 1000}, Esperado{"g3hasta", 9, " ", 50},
          Esperado{"top", 12, " ", 50}, Esperado{"topOtros", 13, " ", 50}}) {
        QLineEdit* campo = ventana.Campo(QString::fromLatin1(c.clave));
        ASSERT_NE(campo, nullptr) << c.clave;
        EXPECT_EQ(campo->property("Index").toInt(), c.indice) << c.clave;
        EXPECT_EQ(kv::UtilFormulario::Etiqueta(campo), QString::fromLatin1(c.etiqueta)) << c.clave;
        EXPECT_EQ(campo->maxLength(), c.largo) << c.clave;
    }

    // The reset of the start-up: browse mode, defaults, 13 unticked catalog rows.
    EXPECT_TRUE(ventana.Campo("NOMBRE")->isEnabled());
    EXPECT_FALSE(ventana.Campo("FechaD")->isEnabled());
    EXPECT_FALSE(ventana.cmdCargar->isEnabled());
    EXPECT_EQ(ventana.Campo("TOP")->text(), "10");
    EXPECT_EQ(ventana.Campo("TOPOtros")->text(), "Otros");
    ASSERT_EQ(ventana.LstGrupos->count(), 13);
    for (int i = 0; i < 13; ++i) EXPECT_EQ(ventana.LstGrupos->item(i)->checkState(), Qt::Unchecked);
    EXPECT_EQ(CodigoDeEntrada(ventana.LstGrupos->item(2)->text()), "IdArticulo");
    EXPECT_EQ(TituloDeEntrada(ventana.LstGrupos->item(2)->text()), QString::fromUtf8("Artículo"));
    EXPECT_TRUE(ventana.optAsc->isChecked());
    for (QCheckBox* c : ventana.chkOrden) EXPECT_FALSE(c->isChecked());
    for (QLabel* l : ventana.lblOrden) EXPECT_EQ(l->text(), "x");
    EXPECT_TRUE(ventana.CasillaTotal("consumo")->isChecked());
    EXPECT_TRUE(ventana.CasillaTotal("COSTO")->isChecked());
    EXPECT_TRUE(ventana.CasillaTotal("Venta")->isChecked());
    EXPECT_FALSE(ventana.CasillaTotal("UtlPesos")->isChecked());
    EXPECT_EQ(ventana.lblGrupo[0]->text(), " Grupo 1 ()");
    EXPECT_EQ(ventana.CasillaOrden("grupo3")->text(), "Grupo3");
    // Every page can be reached; page 2 shows until the first load.
    ASSERT_EQ(ventana.SSTab1->count(), 4);
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(ventana.SSTab1->isTabEnabled(i)) << i;
    EXPECT_EQ(ventana.SSTab1->currentIndex(), 2);
    EXPECT_EQ(ventana.SSTab1->tabText(2), QString::fromUtf8("Gráfico"));
    EXPECT_EQ(ventana.SSTab1->tabText(3), "Datos");
    // The company list: the current company, ticked.
    ASSERT_EQ(ventana.lstEmp->count(), 1);
    EXPECT_EQ(ventana.lstEmp->item(0)->text(), "NORTE");
    EXPECT_EQ(ventana.lstEmp->item(0)->checkState(), Qt::Checked);
    EXPECT_TRUE(puerto->Mensajes().isEmpty());
}

TEST(Ventana, F9CargaLasFilasDelMotor) {
    EntornoEstadisticas e;
    e.LlenarDemo("NORTE", 0, 400, QDate::currentDate());
    e.Almacen();
    e.AgregarEmpresa("NORTE", false);
    kv::pruebas::GrabarDefinicion(e, "Vendedores", {"IdVendedor"}, "3");

    PuertoGuionado puerto;
    frmKv_EstV ventana(e.Erp());
    kv::pruebas::Mostrar(ventana);
    kv::pruebas::EscribirNombre(ventana, "vendedores");
    EXPECT_TRUE(ventana.Existente());
    EXPECT_FALSE(ventana.Campo("NOMBRE")->isEnabled());
    EXPECT_TRUE(ventana.cmdCargar->isEnabled());
    EXPECT_EQ(ventana.lblGrupo[0]->text(), " Grupo 1 (Vendedor)");
    EXPECT_EQ(ventana.Campo("TOP")->text(), "3");

    // The engine's own rows for the same input.
    ModeloGrafico esperado;
    kv::db::Recordset grilla;
    const ResultadoCarga motor =
        CargarEstadistica(ventana.ConexionAlmacen(), ventana.EntradaDeControles(), esperado, grilla);
    ASSERT_FALSE(motor.sinDatos);
    ventana.ConexionAlmacen().CierraRecordset(grilla);

    QTest::keyClick(ventana.Campo("FechaD"), Qt::Key_F9);
    ASSERT_EQ(ventana.Grafico().Filas(), esperado.Filas());
    EXPECT_EQ(ventana.Grafico().Filas(), 4);
    EXPECT_EQ(ventana.Grafico().etiquetas, esperado.etiquetas);
    EXPECT_EQ(ventana.Grafico().valores, esperado.valores);
    EXPECT_EQ(ventana.Grafico().etiquetas.last(), "Otros");
    EXPECT_GT(ventana.ChartSpace1->Panel()->Datos().Categorias(), 0);
    EXPECT_GT(ventana.ModeloGrilla()->rowCount(), 3);
    EXPECT_EQ(ventana.ModeloGrilla()->headerData(1, Qt::Horizontal).toString(), "Vendedor");
    // The load shows its top groups with the remainder: the column chart of page 0.
    EXPECT_EQ(ventana.SSTab1->currentIndex(), 0);
    EXPECT_TRUE(ventana.paginas[0]->isVisible());
    EXPECT_TRUE(puerto->Mensajes().isEmpty());
}
