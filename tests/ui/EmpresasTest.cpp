// The company dialog opened from the main window: add, modify and remove the
// current company, with the server procedure's effect checked in the store.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QToolBar>

#include "EntornoEstadisticas.h"
#include "VentanaPrueba.h"
#include "db/DB_Dll.h"
#include "soporte/PuertoGuionado.h"
#include "stats/ConfiguracionEmpresas.h"
#include "ui/FrmEstCfgEmp.h"
#include "ui/frmKv_EstV.h"

using kv::InteraccionGuionada;
using kv::pruebas::EntornoEstadisticas;
using kv::pruebas::PuertoGuionado;
using kv::ui::FrmEstCfgEmp;
using kv::ui::frmKv_EstV;

namespace {

FrmEstCfgEmp* Abrir(frmKv_EstV& v) {
    QAction* empresa = v.Toolbar2->findChild<QAction*>(QStringLiteral("Empresa"));
    if (!empresa) empresa = v.findChild<QAction*>(QStringLiteral("Empresa"));
    EXPECT_NE(empresa, nullptr);
    EXPECT_EQ(empresa->toolTip(), QString::fromUtf8("Configuración de Empresas"));
    empresa->trigger();
    FrmEstCfgEmp* dialogo = nullptr;
    for (FrmEstCfgEmp* d : v.findChildren<FrmEstCfgEmp*>())
        if (d->isVisible()) dialogo = d;
    EXPECT_NE(dialogo, nullptr);
    if (dialogo) {
        EXPECT_FALSE(dialogo->isModal());
    }
    return dialogo;
}

int FilasDe(EntornoEstadisticas& e, const QString& base) {
    return e.Valor("KV_ESTADISTICAS", "SELECT COUNT(*) FROM DET_ESTV0000 WHERE Base='" + base + "'").toInt();
}

QStringList Empresas(frmKv_EstV& v) {
    QStringList lista;
    for (int i = 0; i < v.lstEmp->count(); ++i)
        lista << v.lstEmp->item(i)->text() + (v.lstEmp->item(i)->checkState() == Qt::Checked ? "*" : "");
    return lista;
}

}  // namespace

TEST(Empresas, AgregarModificarYQuitarLaEmpresaActual) {
    // The viewer runs on SUR; NORTE is already in the statistics and shared.
    EntornoEstadisticas e({"SUR", "NORTE"});
    e.LlenarDemo("SUR", 1, 300, QDate::currentDate());
    e.LlenarDemo("NORTE", 0, 300, QDate::currentDate());
    e.Almacen();
    e.AgregarEmpresa("NORTE", true);
    kv::pruebas::GrabarDefinicion(e, "Artículos", {"IdArticulo"});
    ASSERT_GT(FilasDe(e, "NORTE"), 0);
    ASSERT_EQ(FilasDe(e, "SUR"), 0);

    PuertoGuionado puerto;
    frmKv_EstV v(e.Erp());
    kv::pruebas::Mostrar(v);
    EXPECT_EQ(Empresas(v), (QStringList{"NORTE"}));

    // Not included yet.
    FrmEstCfgEmp* dialogo = Abrir(v);
    ASSERT_NE(dialogo, nullptr);
    EXPECT_EQ(dialogo->windowTitle(), QString::fromUtf8("Configuración de Empresas"));
    EXPECT_EQ(dialogo->lblInfo->text(),
              "Su empresa aún no forma parte de las estadísticas\r\n"
              "Haga click sobre agregar para incluirla");
    EXPECT_EQ(dialogo->cmdAgregar->text(), "&Agregar");
    EXPECT_FALSE(dialogo->cmdQuitar->isEnabled());
    EXPECT_EQ(dialogo->chkCompartida->text(),
              QString::fromUtf8("Compartir la información con otras empresas."));
    // The main window stays usable while it is open.
    EXPECT_TRUE(v.isEnabled());
    dialogo->chkCompartida->setChecked(true);
    dialogo->cmdAgregar->click();
    EXPECT_FALSE(dialogo->isVisible());
    EXPECT_EQ(e.Valor("KV_ESTADISTICAS", "SELECT COMPARTIDA FROM MA_EMPRESAS WHERE BASE='SUR'").toInt(), 1);
    EXPECT_GT(FilasDe(e, "SUR"), 0);  // KV_RECONS_ESTV '','' brought SUR into the statistic
    EXPECT_EQ(e.Erp().gCnn.CommandTimeout(), 720);
    const auto inicio = puerto->Llamadas(InteraccionGuionada::Tipo::ProgresoIniciar);
    ASSERT_EQ(inicio.size(), 1);
    EXPECT_EQ(inicio[0].titulo, QString::fromUtf8("Actualizando Estadísticas"));
    EXPECT_EQ(inicio[0].estilo, 0);  // no cancelling
    const auto avance = puerto->Llamadas(InteraccionGuionada::Tipo::ProgresoActualizar);
    ASSERT_EQ(avance.size(), 1);
    EXPECT_EQ(avance[0].mensaje, "Este proceso puede tardar varios minutos");
    EXPECT_EQ(avance[0].progreso, "Por favor espere");
    EXPECT_FALSE(puerto->ProgresoAbierto());
    EXPECT_EQ(Empresas(v), (QStringList{"NORTE", "SUR*"}));

    // Included: Modificar with the stored flag; unticked it writes 0 and calls no procedure.
    QApplication::processEvents();
    puerto->Olvidar();
    dialogo = Abrir(v);
    ASSERT_NE(dialogo, nullptr);
    EXPECT_EQ(
        dialogo->lblInfo->text(),
        "Su empresa forma parte de las estadísticas\r\nHaga click sobre quitar para excluirla o en Modificar "
        "para modificar la opción compartida");
    EXPECT_EQ(dialogo->cmdAgregar->text(), "&Modificar");
    EXPECT_TRUE(dialogo->chkCompartida->isChecked());
    EXPECT_TRUE(dialogo->cmdQuitar->isEnabled());
    dialogo->chkCompartida->setChecked(false);
    dialogo->cmdAgregar->click();
    EXPECT_EQ(e.Valor("KV_ESTADISTICAS", "SELECT COMPARTIDA FROM MA_EMPRESAS WHERE BASE='SUR'").toInt(), 0);
    EXPECT_TRUE(puerto->Llamadas(InteraccionGuionada::Tipo::ProgresoIniciar).isEmpty());

    // Cancelar writes nothing.
    QApplication::processEvents();
    dialogo = Abrir(v);
    ASSERT_NE(dialogo, nullptr);
    dialogo->chkCompartida->setChecked(true);
    dialogo->cmdCancelar->click();
    EXPECT_FALSE(dialogo->isVisible());
    EXPECT_EQ(e.Valor("KV_ESTADISTICAS", "SELECT COMPARTIDA FROM MA_EMPRESAS WHERE BASE='SUR'").toInt(), 0);

    // Quitar: the row goes and KV_RECONS_ESTV '*','' takes SUR's rows out.
    QApplication::processEvents();
    dialogo = Abrir(v);
    ASSERT_NE(dialogo, nullptr);
    dialogo->cmdQuitar->click();
    EXPECT_EQ(e.Valor("KV_ESTADISTICAS", "SELECT COUNT(*) FROM MA_EMPRESAS WHERE BASE='SUR'").toInt(), 0);
    EXPECT_EQ(FilasDe(e, "SUR"), 0);
    EXPECT_GT(FilasDe(e, "NORTE"), 0);
    const auto quitar = puerto->Llamadas(InteraccionGuionada::Tipo::ProgresoIniciar);
    ASSERT_EQ(quitar.size(), 1);
    EXPECT_EQ(quitar[0].titulo, QString::fromUtf8("Quitando Estadísticas"));
    EXPECT_EQ(Empresas(v), (QStringList{"NORTE"}));
    EXPECT_TRUE(puerto->Mensajes().isEmpty());
}

TEST(Empresas, SentenciasExactas) {
    using namespace kv::stats;
    EXPECT_EQ(SentenciaEmpresaActual("SUR"), "SELECT * FROM MA_EMPRESAS WHERE BASE = 'SUR'");
    EXPECT_EQ(SentenciaCompartirEmpresa("SUR", false),
              "UPDATE MA_EMPRESAS SET COMPARTIDA =0 WHERE BASE ='SUR'");
    EXPECT_EQ(SentenciaCompartirEmpresa("SUR", true),
              "UPDATE MA_EMPRESAS SET COMPARTIDA =1 WHERE BASE ='SUR'");
    EXPECT_EQ(SentenciaAgregarEmpresa("SUR", true),
              "INSERT INTO MA_EMPRESAS (BASE,COMPARTIDA) VALUES ('SUR',1)");
    EXPECT_EQ(SentenciaQuitarEmpresa("SUR"), "DELETE MA_EMPRESAS WHERE BASE='SUR'");
    EXPECT_STREQ(kIncluirEmpresa, "EXEC KV_RECONS_ESTV '',''");
    EXPECT_STREQ(kExcluirEmpresa, "EXEC KV_RECONS_ESTV '*',''");
}
