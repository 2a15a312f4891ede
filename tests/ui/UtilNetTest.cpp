// The action toolbar: its buttons, flags and their update rule, the keys, the
// delete rule of the buttons, the theme and the icon strip.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QSignalSpy>
#include <QToolBar>
#include <QToolButton>

#include "soporte/CarpetasTemporales.h"
#include "soporte/VariableEntorno.h"
#include "ui/UtilNet.h"
#include "util/UtilSistema.h"

using kv::ui::UtilNet;

namespace {

QStringList Claves(const QSignalSpy& espia) {
    QStringList claves;
    for (const auto& llamada : espia) claves << llamada.at(0).toString();
    return claves;
}

}  // namespace

TEST(UtilNet, BotonesConSusTitulosIdsYTamanos) {
    UtilNet barra;
    EXPECT_EQ(barra.objectName(), "UtilNet1");
    EXPECT_EQ(barra.Barra()->objectName(), "Standard");
    const QList<QAction*> acciones = barra.Barra()->actions();
    ASSERT_EQ(acciones.size(), 8);
    const QStringList titulos{"Nuevo",      "Borrar",   " Reporte", " Consultar",
                              "  Planilla", "Cancelar", "Grabar",   "   Cerrar"};
    const QList<int> ids{1, 2, 3, 6, 7, 8, 4, 5};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(acciones[i]->text(), titulos[i]);
        EXPECT_EQ(acciones[i]->data().toInt(), ids[i]);
        EXPECT_EQ(acciones[i]->objectName(), titulos[i].trimmed().toUpper());
        auto* boton = qobject_cast<QToolButton*>(barra.Barra()->widgetForAction(acciones[i]));
        ASSERT_NE(boton, nullptr);
        EXPECT_GE(boton->minimumSize().width(), 35);
        EXPECT_GE(boton->minimumSize().height(), 42);
    }
    EXPECT_EQ(barra.Barra()->iconSize(), QSize(32, 32));
    EXPECT_EQ(barra.Barra()->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
    barra.ConTitulo(false);
    barra.Actualizar();
    EXPECT_EQ(barra.Barra()->toolButtonStyle(), Qt::ToolButtonIconOnly);
}

TEST(UtilNet, TeclasSegunLasBanderas) {
    UtilNet barra;
    QSignalSpy espia(&barra, &UtilNet::click);
    for (int tecla : {27, 113, 114, 115, 116, 117, 121, 13, 65, 120}) barra.KeyAnalisis(tecla);
    EXPECT_EQ(Claves(espia),
              (QStringList{"CANCELAR", "GRABAR", "NUEVO", "REPORTE", "CONSULTAR", "PLANILLA", "BORRAR"}));
    // Every flag off: nothing at all; Esc falls back to closing only while Cerrar is on.
    espia.clear();
    barra.CancelarEnabled(false);
    barra.KeyAnalisis(27);
    EXPECT_EQ(Claves(espia), (QStringList{"CERRAR"}));
    barra.GrabarEnabled(false);
    barra.NuevoEnabled(false);
    barra.ReporteEnabled(false);
    barra.ConsultaEnabled(false);
    barra.PlanillaEnabled(false);
    barra.BorrarEnabled(false);
    barra.CerrarEnabled(false);
    espia.clear();
    for (int tecla : {27, 113, 114, 115, 116, 117, 121}) barra.KeyAnalisis(tecla);
    EXPECT_TRUE(espia.isEmpty());
    // The keys never change the delete flag.
    barra.BorrarEnabled(true);
    barra.KeyAnalisis(114);
    EXPECT_TRUE(barra.BorrarEnabled());
}

TEST(UtilNet, LosBotonesYLaReglaDeBorrar) {
    UtilNet barra;
    QSignalSpy espia(&barra, &UtilNet::click);
    barra.Accion(1)->trigger();  // Nuevo
    EXPECT_FALSE(barra.BorrarEnabled());
    barra.Accion(3)->trigger();  // " Reporte": others leave it alone
    EXPECT_FALSE(barra.BorrarEnabled());
    barra.Accion(4)->trigger();  // Grabar
    EXPECT_TRUE(barra.BorrarEnabled());
    barra.BorrarEnabled(false);
    barra.Accion(5)->trigger();  // "   Cerrar"
    EXPECT_TRUE(barra.BorrarEnabled());
    EXPECT_EQ(Claves(espia), (QStringList{"NUEVO", "REPORTE", "GRABAR", "CERRAR"}));
}

TEST(UtilNet, UnaBanderaSeVeEnLaSiguienteActualizacion) {
    UtilNet barra;
    QApplication::processEvents();
    barra.GrabarEnabled(false);
    barra.PlanillaVisible(false);
    // The setter stores; the buttons have not changed yet.
    EXPECT_FALSE(barra.GrabarEnabled());
    EXPECT_TRUE(barra.Accion(4)->isEnabled());
    EXPECT_TRUE(barra.Accion(7)->isVisible());
    QApplication::processEvents();
    EXPECT_FALSE(barra.Accion(4)->isEnabled());
    EXPECT_FALSE(barra.Accion(7)->isVisible());
    // ActualizarBotones puts every flag back to true.
    barra.ActualizarBotones();
    EXPECT_TRUE(barra.GrabarEnabled());
    EXPECT_TRUE(barra.PlanillaVisible());
    EXPECT_TRUE(barra.Accion(4)->isEnabled());
    // Theme outside 0..2 reads back 0.
    barra.Theme(2);
    EXPECT_EQ(barra.Theme(), 2);
    barra.Theme(3);
    EXPECT_EQ(barra.Theme(), 0);
    barra.Theme(-1);
    EXPECT_EQ(barra.Theme(), 0);
}

TEST(UtilNet, TiraSegunElEstiloDelIni) {
    EXPECT_EQ(UtilNet::ArchivoTira("1"), "ABM2021B.bmp");
    EXPECT_EQ(UtilNet::ArchivoTira("2"), "ABM2021M.bmp");
    EXPECT_EQ(UtilNet::ArchivoTira("3"), "ABM2021V.bmp");
    EXPECT_EQ(UtilNet::ArchivoTira("4"), "ABM2021i.bmp");
    EXPECT_EQ(UtilNet::ArchivoTira("7"), "ABM2021.bmp");
    EXPECT_EQ(UtilNet::ArchivoTira(""), "ABM2021.bmp");

    kv::pruebas::CarpetasTemporales carpetas;
    const QString ini = carpetas.raiz() + "cn000pr.ini";
    QFile archivo(ini);
    ASSERT_TRUE(archivo.open(QIODevice::WriteOnly));
    archivo.write(("[" + kv::UtilSistema::NombreUsuario().toUpper() + "Styles]\r\nStyles=3\r\n").toUtf8());
    archivo.close();
    kv::pruebas::VariableEntorno variable("KVESTV_INI", ini);
    UtilNet barra;
    EXPECT_EQ(barra.TiraCargada(), "ABM2021V.bmp");
    // Without the setting the default "1".
    kv::pruebas::VariableEntorno sinIni("KVESTV_INI", carpetas.raiz() + "no-existe.ini");
    barra.ActualizarBotones();
    EXPECT_EQ(barra.TiraCargada(), "ABM2021B.bmp");
    // The strips are next to the program, and each button got its icon.
    for (QAction* accion : barra.Barra()->actions())
        EXPECT_FALSE(accion->icon().isNull()) << accion->text().toStdString();
}

TEST(UtilNet, LaTiraSeCortaEnCuadradosConElMagentaTransparente) {
    QImage tira(64, 32, QImage::Format_RGB32);
    tira.fill(QColor(255, 0, 255));
    tira.setPixelColor(3, 4, QColor(10, 20, 30));
    tira.setPixelColor(40, 5, QColor(200, 100, 0));
    const auto iconos = UtilNet::CortarTira(tira);
    ASSERT_EQ(iconos.size(), 2u);
    const QImage primero = iconos[0].pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(primero.pixelColor(0, 0).alpha(), 0);
    EXPECT_EQ(primero.pixelColor(3, 4), QColor(10, 20, 30));
    const QImage segundo = iconos[1].pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(segundo.pixelColor(8, 5), QColor(200, 100, 0));
}

TEST(UtilNet, CodigosDeTecla) {
    using kv::ui::CodigoTecla;
    EXPECT_EQ(CodigoTecla(Qt::Key_Escape), 27);
    EXPECT_EQ(CodigoTecla(Qt::Key_Return), 13);
    EXPECT_EQ(CodigoTecla(Qt::Key_Enter), 13);
    EXPECT_EQ(CodigoTecla(Qt::Key_F2), 113);
    EXPECT_EQ(CodigoTecla(Qt::Key_F6), 117);
    EXPECT_EQ(CodigoTecla(Qt::Key_F9), 120);
    EXPECT_EQ(CodigoTecla(Qt::Key_F10), 121);
    EXPECT_EQ(CodigoTecla(Qt::Key_A), 65);
}
