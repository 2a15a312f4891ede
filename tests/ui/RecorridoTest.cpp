// A user's whole round on the demo companies, by keyboard and mouse only: a new
// statistic with two groups, ordering, totals and TOP, saved (F2), opened and
// filtered, loaded (F9), regrouped and saved again (rebuilt), deleted (F10),
// and SUR added to the statistics through the company dialog.
// With KVESTV_CAPTURAS naming a folder, pictures of the window are left there.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QChartView>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include "EntornoEstadisticas.h"
#include "VentanaPrueba.h"
#include "db/DB_Dll.h"
#include "soporte/PuertoGuionado.h"
#include "stats/Catalogo.h"
#include "ui/FrmEstCfgEmp.h"
#include "ui/Geometria.h"
#include "ui/GraficoEmpresas.h"
#include "ui/PanelGraficos.h"
#include "ui/SuperficieDibujo.h"
#include "ui/UtilNet.h"
#include "ui/frmKv_EstV.h"

using kv::pruebas::EntornoEstadisticas;
using kv::pruebas::PuertoGuionado;
using kv::ui::frmKv_EstV;

namespace {

void Capturar(frmKv_EstV& v, const QString& nombre) {
    const QString carpeta = qEnvironmentVariable("KVESTV_CAPTURAS");
    if (carpeta.isEmpty()) return;
    QDir().mkpath(carpeta);
    QApplication::processEvents();
    v.grab().save(carpeta + "/" + nombre + ".png");
}

// Ticks a catalog row with the keyboard: the row selected, then the space bar.
void MarcarConTeclado(frmKv_EstV& v, const QString& codigo) {
    for (int i = 0; i < v.LstGrupos->count(); ++i) {
        if (kv::stats::CodigoDeEntrada(v.LstGrupos->item(i)->text()) != codigo) continue;
        v.LstGrupos->setFocus();
        v.LstGrupos->setCurrentRow(i);
        QTest::keyClick(v.LstGrupos, Qt::Key_Space);
    }
}

// Clicks a check box as the mouse would.
void Clic(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(6, w->height() / 2)); }

// The mouse over a strip, then the panel slides for a while.
void AbrirPanel(frmKv_EstV& v, kv::ui::SuperficieDibujo* franja) {
    QTest::mouseMove(franja, QPoint(5, franja->height() / 2));
    EXPECT_TRUE(v.Timer1->isActive());
    QTest::qWait(1200);
}

void Escribir(QLineEdit* campo, const QString& texto) {
    campo->setFocus();
    campo->selectAll();
    QTest::keyClicks(campo, texto);
}

int Filas(EntornoEstadisticas& e, const QString& sql) { return e.Valor("KV_ESTADISTICAS", sql).toInt(); }

}  // namespace

TEST(Recorrido, UnaEstadisticaDePrincipioAFinYSurEnLasEstadisticas) {
    EntornoEstadisticas e({"NORTE", "SUR"});
    e.LlenarDemo("NORTE", 0, 600, QDate::currentDate());
    e.LlenarDemo("SUR", 1, 400, QDate::currentDate());
    e.Almacen();
    e.AgregarEmpresa("NORTE", false);

    PuertoGuionado puerto;
    puerto.PermitirPendientes();
    {
        frmKv_EstV v(e.Erp());
        v.resize(1180, 780);
        kv::pruebas::Mostrar(v);
        Capturar(v, "01-inicio");

        // A new name, Enter: edit mode; the focus goes on to the first month.
        Escribir(v.Campo("NOMBRE"), QStringLiteral("Vendedores y articulos"));
        QTest::keyClick(v.Campo("NOMBRE"), Qt::Key_Return);
        ASSERT_TRUE(v.Nuevo());
        EXPECT_EQ(QApplication::focusWidget(), v.Campo("FechaD"));
        QTest::keyClicks(v.Campo("FechaD"), "012020");
        EXPECT_EQ(v.Campo("FechaD")->text(), "01/2020");

        // Two groups, by keyboard.
        MarcarConTeclado(v, "IdVendedor");
        MarcarConTeclado(v, "IdArticulo");

        // The configuration panel: ordering by sales, descending; profit as a total; TOP 5.
        AbrirPanel(v, v.PicCfg);
        EXPECT_TRUE(kv::ui::ConfigVisible(v.EstadoPaneles()));
        Clic(v.CasillaOrden("Venta"));
        Clic(v.optDes);
        Clic(v.CasillaTotal("UtlPesos"));
        Escribir(v.Campo("TOP"), "5");
        Escribir(v.Campo("TOPOtros"), "Resto");
        EXPECT_EQ(v.lblOrden[3]->text(), "1");
        Capturar(v, "02-configuracion");

        // F2 saves: the table is built for NORTE.
        QTest::keyClick(v.Campo("TOPOtros"), Qt::Key_F2);
        ASSERT_FALSE(v.Cancelar());
        EXPECT_EQ(e.Valor("KV_ESTADISTICAS", "SELECT CAMPOS FROM CAB_ESTV").toString(),
                  "IdArticulo,IdVendedor,' '");
        const QString tabla = e.Valor("KV_ESTADISTICAS", "SELECT TABLA FROM CAB_ESTV").toString();
        EXPECT_GT(Filas(e, "SELECT COUNT(*) FROM " + tabla), 0);

        // Opened again by its name; a filter on the seller level; F9 loads.
        QTest::mouseClick(v.Campo("NOMBRE"), Qt::LeftButton);
        Escribir(v.Campo("NOMBRE"), QStringLiteral("Vendedores y articulos"));
        QTest::keyClick(v.Campo("NOMBRE"), Qt::Key_Return);
        ASSERT_TRUE(v.Existente());
        EXPECT_EQ(v.lblGrupo[1]->text(), " Grupo 2 (Vendedor)");
        AbrirPanel(v, v.picFiltros);
        EXPECT_TRUE(kv::ui::FiltrosVisibles(v.EstadoPaneles()));
        const QString vendedor =
            e.Valor("NORTE", "SELECT MIN(IdVendedor) FROM MV_STOCK WHERE TipoMovimiento='VTA'")
                .toString()
                .trimmed();
        Escribir(v.Campo("Grupo2"), vendedor);
        Capturar(v, "03-filtros");
        QTest::keyClick(v.Campo("Grupo2"), Qt::Key_F9);
        ASSERT_GT(v.Grafico().Filas(), 0);
        EXPECT_LE(v.Grafico().Filas(), 6);
        for (const QString& etiqueta : v.Grafico().etiquetas)
            if (etiqueta != "Resto") {
                EXPECT_TRUE(etiqueta.contains(" " + vendedor)) << etiqueta.toStdString();
            }
        EXPECT_TRUE(v.UltimaCarga().consultaGrafico.contains(" and ltrim(GRUPO2) in ('" + vendedor + "') "));
        // Descendente: sales are stored negative, the biggest is the lowest sum.
        EXPECT_TRUE(v.UltimaCarga().consultaGrafico.contains(" ORDER BY ValorVenta ASC"));
        // The mouse over the chart hides the panels again.
        QTest::mouseMove(v.ChartSpace1->Panel(), QPoint(400, 200));
        EXPECT_TRUE(v.Timer1->isActive());
        QTest::qWait(1500);
        EXPECT_FALSE(kv::ui::FiltrosVisibles(v.EstadoPaneles()));
        Capturar(v, "04-carga");

        // The grouping changes: article out, customer in; saving rebuilds.
        const QString porVendedor = "SELECT COUNT(*) FROM " + tabla + " WHERE Grupo1='" + vendedor + "'";
        EXPECT_EQ(Filas(e, porVendedor), 0);
        MarcarConTeclado(v, "IdArticulo");
        MarcarConTeclado(v, "Cuenta");
        QTest::keyClick(v.Campo("TOP"), Qt::Key_F2);
        ASSERT_FALSE(v.Cancelar());
        EXPECT_EQ(e.Valor("KV_ESTADISTICAS", "SELECT CAMPOS FROM CAB_ESTV").toString(),
                  "IdVendedor,Cuenta,' '");
        EXPECT_GT(Filas(e, porVendedor), 0);

        // Opened and deleted with F10: no question.
        Escribir(v.Campo("NOMBRE"), QStringLiteral("Vendedores y articulos"));
        QTest::keyClick(v.Campo("NOMBRE"), Qt::Key_Return);
        ASSERT_TRUE(v.Existente());
        QTest::keyClick(v.Campo("TOP"), Qt::Key_F10);
        EXPECT_EQ(Filas(e, "SELECT COUNT(*) FROM CAB_ESTV"), 0);
        EXPECT_TRUE(puerto->Mensajes().isEmpty());
    }

    // The viewer started on SUR: the company dialog adds it to the statistics.
    kv::pruebas::GrabarDefinicion(e, "Clientes", {"Cuenta"});
    kv::db::DB_Dll& erp = kv::db::DB_Dll::Principal();
    erp.gCnn.Close();
    erp.gDBName = "SUR";
    erp.OpenServerADODB(false, 3, QString(), false, false);
    erp.gCnn.SetDefaultDatabase("SUR");
    frmKv_EstV v(erp);
    kv::pruebas::Mostrar(v);
    QAction* empresa = v.Toolbar2->actions().value(0);
    ASSERT_NE(empresa, nullptr);
    QTest::mouseClick(v.Toolbar2->widgetForAction(empresa), Qt::LeftButton);
    kv::ui::FrmEstCfgEmp* dialogo = v.findChild<kv::ui::FrmEstCfgEmp*>();
    ASSERT_NE(dialogo, nullptr);
    Clic(dialogo->chkCompartida);
    QTest::mouseClick(dialogo->cmdAgregar, Qt::LeftButton);
    EXPECT_EQ(Filas(e, "SELECT COUNT(*) FROM MA_EMPRESAS WHERE BASE='SUR' AND COMPARTIDA=1"), 1);
    const QString tabla = e.Valor("KV_ESTADISTICAS", "SELECT TABLA FROM CAB_ESTV").toString();
    EXPECT_GT(Filas(e, "SELECT COUNT(*) FROM " + tabla + " WHERE Base='SUR'"), 0);
    ASSERT_EQ(v.lstEmp->count(), 1);
    EXPECT_EQ(v.lstEmp->item(0)->text(), "SUR");
    Capturar(v, "05-sur");
}
