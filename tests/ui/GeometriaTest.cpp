// The window's layout and the side panels, in twips.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include "EntornoEstadisticas.h"
#include "VentanaPrueba.h"
#include "soporte/PuertoGuionado.h"
#include "ui/Geometria.h"
#include "ui/SuperficieDibujo.h"
#include "ui/frmKv_EstV.h"

using namespace kv::ui;

namespace {

EntradaDisposicion Entrada() {
    EntradaDisposicion e;
    e.anchoVentana = 15000;
    e.altoVentana = 10000;
    e.anchoFrmPrincipal = 6800;
    e.altoFrmPrincipal = 1750;
    e.altoUtilNet = 900;
    e.izquierdaFrmFiltros = 6900;
    e.anchoCmdFiltrar = 1900;
    e.anchoPicFiltros = 330;
    e.anchoPicCfg = 330;
    e.anchoFrmFil = 4600;
    e.anchoFrmCfg = 5600;
    return e;
}

}  // namespace

TEST(Geometria, DisposicionAlCambiarDeTamano) {
    const Disposicion d = CalcularDisposicion(Entrada());
    EXPECT_EQ(d.anchoSSTab, 15000);
    EXPECT_EQ(d.altoSSTab, 10000 - 1750 - 900 - 400);
    EXPECT_EQ(d.izquierdaChart1, 330);
    EXPECT_EQ(d.anchoChart1, 15000 - 330 - 330);
    EXPECT_EQ(d.altoChart1, 6950 - 400);
    EXPECT_EQ(d.anchoFrmFiltros, (15000 - 6800 - 200) / 2);
    EXPECT_EQ(d.izquierdaFrmAgr, 6900 + 4000);
    EXPECT_EQ(d.anchoFrmAgr, 4000);
    EXPECT_EQ(d.anchoLblFiltros, 3950);
    EXPECT_EQ(d.anchoLblGrupos, 3950);
    EXPECT_EQ(d.anchoLstGrupos, 3900);
    EXPECT_EQ(d.izquierdaFrmFil, 330 - 4600);
    EXPECT_EQ(d.altoFrmFil, 6550);
    EXPECT_EQ(d.altoPicFiltros, 6550);
    EXPECT_EQ(d.anchoCmdCargar, 4000 - 1900 - 100);
    EXPECT_EQ(d.anchoGrilla, 14800);
    EXPECT_EQ(d.altoGrilla, 6550);
    EXPECT_EQ(d.izquierdaFrmCfg, 15000 - 330 - 100);
    EXPECT_EQ(d.altoFrmCfg, 6550);
    EXPECT_EQ(d.chartSpace, (RectTwips{280, 0, 15000 - 150 - 330, 6550}));
    EXPECT_EQ(d.izquierdaPicpCompleta1, 14520 - 500);
    EXPECT_EQ(d.pivot, (RectTwips{0, 0, 14900, 6550}));
    EXPECT_EQ(d.izquierdaPicpCompleta2, 14400);
    // An odd remainder is dropped, as integer division does.
    EntradaDisposicion impar = Entrada();
    impar.anchoVentana = 15001;
    EXPECT_EQ(CalcularDisposicion(impar).anchoFrmFiltros, 4000);
}

TEST(Geometria, TwipsYPixeles) {
    EXPECT_EQ(TwipsAPixeles(1440, 96), 96);
    EXPECT_EQ(TwipsAPixeles(330, 96), 22);
    EXPECT_EQ(PixelesATwips(96, 96), 1440);
    EXPECT_EQ(PixelesATwips(1, 96), 15);
    EXPECT_EQ(TwipsAPixeles(1440, 120), 120);
}

TEST(Geometria, PanelesSeDeslizanHaciaSuPosicion) {
    Paneles p;
    p.anchoSSTab = 15000;
    p.anchoFrmFil = 4600;
    p.anchoPicFiltros = 330;
    p.anchoFrmCfg = 5600;
    p.anchoPicCfg = 330;
    p.izquierdaFrmFil = FiltrosOculto(p);
    p.izquierdaFrmCfg = ConfigOculto(p);
    EXPECT_EQ(FiltrosOculto(p), -4270);
    EXPECT_EQ(ConfigOculto(p), 14570);
    EXPECT_EQ(ConfigAbierto(p), 9400);
    EXPECT_FALSE(FiltrosVisibles(p));
    EXPECT_FALSE(ConfigVisible(p));

    // The filter strip: the filter panel slides in, 300 twips a tick, and stops at 0.
    p.retraer = false;
    p.filtrosPedidos = true;
    EXPECT_TRUE(PasoPaneles(p));
    EXPECT_EQ(p.izquierdaFrmFil, -3970);
    int ticks = 1;
    while (PasoPaneles(p)) ++ticks;
    EXPECT_EQ(ticks + 1, 15);  // ceil(4270 / 300)
    EXPECT_EQ(p.izquierdaFrmFil, 0);
    EXPECT_TRUE(FiltrosVisibles(p));
    EXPECT_EQ(p.izquierdaFrmCfg, 14570);  // the other panel stays

    // Then the configuration strip: that panel slides in; the filter panel stays open.
    p.filtrosPedidos = false;
    while (PasoPaneles(p)) {
    }
    EXPECT_EQ(p.izquierdaFrmCfg, 9400);
    EXPECT_TRUE(ConfigVisible(p));
    EXPECT_EQ(p.izquierdaFrmFil, 0);

    // The chart: both go back.
    p.retraer = true;
    EXPECT_TRUE(PasoPaneles(p));
    EXPECT_EQ(p.izquierdaFrmFil, -300);
    EXPECT_EQ(p.izquierdaFrmCfg, 9700);
    while (PasoPaneles(p)) {
    }
    EXPECT_EQ(p.izquierdaFrmFil, -4270);
    EXPECT_EQ(p.izquierdaFrmCfg, 14570);
    EXPECT_FALSE(PasoPaneles(p));

    // The filter button: both hidden -> the filters open; one open -> both retract.
    AlternarPaneles(p);
    EXPECT_FALSE(p.retraer);
    EXPECT_TRUE(p.filtrosPedidos);
    PasoPaneles(p);
    AlternarPaneles(p);
    EXPECT_TRUE(p.retraer);
}

TEST(Geometria, LaVentanaOcultaLosPanelesAlCambiarDeTamanoYLosAbreConElTimer) {
    kv::pruebas::EntornoEstadisticas e;
    e.Almacen();
    kv::pruebas::PuertoGuionado puerto;
    frmKv_EstV v(e.Erp());
    kv::pruebas::Mostrar(v);
    // Focus reaches a field only in the active window; on a busy machine the
    // window manager may take its time.
    ASSERT_TRUE(QTest::qWaitFor([&] { return v.isActiveWindow(); }, 20000));
    v.resize(1100, 700);
    ASSERT_TRUE(QTest::qWaitFor([&] { return v.width() == 1100 && v.height() == 700; }, 20000));
    QApplication::processEvents();
    const Paneles& p = v.EstadoPaneles();
    EXPECT_EQ(p.anchoSSTab, v.Twips(v.width()));
    EXPECT_EQ(p.izquierdaFrmFil, 330 - 4600);
    EXPECT_EQ(p.izquierdaFrmCfg, v.Twips(v.width()) - 330 - 100);
    EXPECT_EQ(v.FrmFil->x(), v.Pixeles(330 - 4600));
    EXPECT_EQ(v.FrmCfg->x(), v.Pixeles(p.izquierdaFrmCfg));
    EXPECT_EQ(v.SSTab1->width(), v.Pixeles(v.Twips(v.width())));

    // The mouse over the filter strip starts the timer at 50 ms; ticks bring the panel in.
    emit v.picFiltros->ratonMovido();
    EXPECT_TRUE(v.Timer1->isActive());
    EXPECT_EQ(v.Timer1->interval(), 50);
    v.Timer1_Timer();
    EXPECT_EQ(p.izquierdaFrmFil, 330 - 4600 + 300);
    EXPECT_EQ(v.FrmFil->x(), v.Pixeles(p.izquierdaFrmFil));
    for (int i = 0; i < 20; ++i) v.Timer1_Timer();
    EXPECT_EQ(p.izquierdaFrmFil, 0);
    EXPECT_EQ(v.FrmFil->x(), 0);
    EXPECT_FALSE(v.Timer1->isActive());

    // The filter button now retracts it; a resize hides both at once.
    v.cmdFiltrar->click();
    v.Timer1_Timer();
    EXPECT_EQ(p.izquierdaFrmFil, -300);
    emit v.PicCfg->ratonMovido();
    v.Timer1_Timer();
    EXPECT_LT(p.izquierdaFrmCfg, v.Twips(v.width()) - 330 - 100);
    // The slide is held while the window waits for its new size: a tick of
    // the running timer after the resize would move the panel on again.
    v.Timer1->stop();
    v.resize(1200, 760);
    ASSERT_TRUE(QTest::qWaitFor([&] { return v.width() == 1200 && v.height() == 760; }, 20000));
    QApplication::processEvents();
    EXPECT_EQ(p.izquierdaFrmFil, 330 - 4600);
    EXPECT_EQ(p.izquierdaFrmCfg, v.Twips(1200) - 330 - 100);

    // Tabbing into a field of a hidden panel brings the panel in.
    v.Timer1->stop();
    v.Campo("TOP")->setEnabled(true);
    v.Campo("TOP")->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(QTest::qWaitFor([&] { return v.Timer1->isActive(); }, 5000));
    EXPECT_FALSE(p.retraer);
    EXPECT_FALSE(p.filtrosPedidos);
    v.Timer1->stop();
    v.Campo("G1Desde")->setEnabled(true);
    v.Campo("G1Desde")->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(QTest::qWaitFor([&] { return v.Timer1->isActive(); }, 5000));
    EXPECT_TRUE(p.filtrosPedidos);
}
