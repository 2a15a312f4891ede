// The simple main window: pick a stored statistic, load it with F9's code, see
// the chart and the grid.
#include <gtest/gtest.h>

#include <QBarSeries>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QStandardItemModel>

#include "EntornoEstadisticas.h"
#include "soporte/PuertoGuionado.h"
#include "stats/Reconstruccion.h"
#include "stats/frmKv_EstV.h"

using namespace kv::stats;
using kv::pruebas::EntornoEstadisticas;
using kv::pruebas::PuertoGuionado;

TEST(Ventana, CargaUnaEstadisticaGuardada) {
    EntornoEstadisticas e;
    e.LlenarDemo("NORTE", 0, 400, QDate::currentDate());
    e.Almacen();
    e.AgregarEmpresa("NORTE", false);
    {
        PuertoGuionado puerto;
        puerto.PermitirInesperados();
        Definicion d;
        d.grupos[static_cast<size_t>(IndiceCatalogo("IdVendedor"))] = true;
        d.top = "3";
        EstadoDefinicion estado;
        estado.nombre = "Vendedores";
        estado.modo = ModoGrabacion::Nuevo;
        kv::db::DB_Dll empresa;
        ASSERT_TRUE(GrabarEstadistica(e.Almacen(), d, estado, [&](const QString& t) {
            ReconstruirEstadistica(e.Almacen(), t, empresa);
        }));
    }
    PuertoGuionado puerto;
    frmKv_EstV ventana(e.Erp());
    EXPECT_EQ(ventana.windowTitle(), QString::fromUtf8("Gráficos Estadísticos de Ventas"));
    EXPECT_EQ(ventana.BotonCargar()->text(), QString::fromUtf8(" [F9]  Cargar  Estadísticas   "));
    ASSERT_EQ(ventana.CajaNombre()->count(), 1);
    EXPECT_EQ(ventana.CajaNombre()->itemText(0), "Vendedores");
    ASSERT_EQ(ventana.ListaEmpresas()->count(), 1);
    EXPECT_EQ(ventana.ListaEmpresas()->item(0)->checkState(), Qt::Checked);

    ventana.CajaNombre()->setCurrentText("vendedores");
    ventana.BotonCargar()->click();
    EXPECT_EQ(ventana.Grafico().Filas(), 4);
    EXPECT_EQ(ventana.Grafico().etiquetas.last(), "Otros");
    ASSERT_NE(ventana.VistaGrafico()->chart(), nullptr);
    const auto series = ventana.VistaGrafico()->chart()->series();
    ASSERT_EQ(series.size(), 1);
    EXPECT_EQ(static_cast<QBarSeries*>(series[0])->count(), 3);  // Consumo, Valor Costo, Valor Venta
    EXPECT_GT(ventana.ModeloGrilla()->rowCount(), 3);
    EXPECT_EQ(ventana.ModeloGrilla()->headerData(1, Qt::Horizontal).toString(), "Vendedor");

    // A name that is not stored loads nothing and says so.
    puerto->ResponderMensaje(kv::respuesta::Aceptar);
    ventana.CajaNombre()->setCurrentText("Otra");
    ventana.CargarEstadistica();
    ASSERT_EQ(puerto->Mensajes().size(), 1);
    EXPECT_EQ(puerto->Mensajes()[0].texto, QString::fromUtf8("No existe la estadística \"Otra\"."));
}
