// The viewer started without a connection, as its desktop launcher starts it:
// the sign-in window lists the registered connections, and signing in opens
// the main window on that company.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "EntornoEstadisticas.h"
#include "access/frmAcceso.h"
#include "core/Ajustes.h"
#include "core/Inicio.h"
#include "db/DB_Dll.h"
#include "ui/frmKv_EstV.h"
#include "util/UtilRutas.h"

TEST(Entrada, SinLineaSeEntraComoNorteYSeAbreLaVentanaPrincipal) {
    kv::pruebas::EntornoEstadisticas e({"NORTE", "SUR"});
    kv::UtilRutas::EstablecerCarpeta(QString());
    {
        // What the demo registers.
        QFile bases(e.carpetas().aplicacion() + "BASES.TXT");
        ASSERT_TRUE(bases.open(QIODevice::WriteOnly));
        bases.write(
            "NORTE / EMBEBIDO,NORTE,NORTE,15CFF79EAA,EMBEBIDO\r\nSUR / EMBEBIDO,SUR,SUR,08D5F7,EMBEBIDO\r\n");
    }
    kv::access::InstalarVentanaAcceso(true);
    int terminaciones = 0;
    kv::core::EstablecerTerminacionInicio([&] { ++terminaciones; });
    kv::core::Ajustes() = kv::core::AjustesSistema{};

    // The user on the sign-in window: the first entry is already in the boxes.
    QStringList lista;
    int ventanas = 0;
    QTimer guion;
    guion.setInterval(10);
    QObject::connect(&guion, &QTimer::timeout, [&] {
        auto* v = qobject_cast<kv::access::frmAcceso*>(QApplication::activeModalWidget());
        if (!v || !v->isVisible() || v->property("atendida").toBool()) return;
        v->setProperty("atendida", true);
        ++ventanas;
        for (int i = 0; i < v->lstBases->count(); ++i) lista << v->lstBases->item(i)->text();
        v->TxtUserId->setFocus();
        v->TxtUserId->selectAll();
        QTest::keyClicks(v->TxtUserId, "NORTE");
        v->TxtUserPassword->setFocus();
        QTest::keyClicks(v->TxtUserPassword, "NORTE");
        QTest::mouseClick(v->bcAceptar, Qt::LeftButton);
    });
    guion.start();

    // What main() does: start-up, then the main window.
    QString cadena;
    const bool abierta = kv::core::IniciarSistema(false, " ", cadena, 3);
    guion.stop();
    kv::core::EstablecerTerminacionInicio({});
    kv::db::DB_Dll::EstablecerVentanaAcceso({});
    ASSERT_TRUE(abierta);
    EXPECT_EQ(terminaciones, 0);
    EXPECT_EQ(ventanas, 1);
    EXPECT_EQ(lista, QStringList({"NORTE / EMBEBIDO", "SUR / EMBEBIDO"}));
    kv::db::DB_Dll& erp = kv::db::DB_Dll::Principal();
    EXPECT_EQ(erp.gDBName, "NORTE");
    EXPECT_EQ(erp.gUsuario, "NORTE");
    {
        kv::ui::frmKv_EstV ventana(erp);
        ventana.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&ventana));
        EXPECT_TRUE(ventana.isVisible());
    }
    kv::core::CerrarConexiones();
    kv::core::Ajustes() = kv::core::AjustesSistema{};
    kv::UtilRutas::EstablecerCarpeta(QString());
}
