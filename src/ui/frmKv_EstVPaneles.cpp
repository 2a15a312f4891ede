// Window layout on resize (twips) and the two sliding side panels.
#include <QChartView>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>

#include "ui/GraficoEmpresas.h"
#include "ui/GraficoPrincipal.h"
#include "ui/Grilla.h"
#include "ui/SuperficieDibujo.h"
#include "ui/UtilNet.h"
#include "ui/VistaTablaDinamica.h"
#include "ui/frmKv_EstV.h"

namespace kv::ui {

using namespace diseno;

void frmKv_EstV::Form_Resize() {
    if (!SSTab1 || !FrmFil || !FrmCfg) return;
    // The toolbars keep their natural size along the top.
    const QSize barra = UtilNet1->sizeHint();
    UtilNet1->setGeometry(0, 0, barra.width(), barra.height());
    const QSize empresa = Toolbar2->sizeHint();
    Toolbar2->setGeometry(barra.width() + 8, 0, empresa.width(), std::max(barra.height(), empresa.height()));

    EntradaDisposicion e;
    e.anchoVentana = Twips(width());
    e.altoVentana = Twips(frameGeometry().height());
    e.anchoFrmPrincipal = kAnchoFrmPrincipal;
    e.altoFrmPrincipal = kAltoFrmPrincipal;
    e.altoUtilNet = Twips(barra.height());
    e.izquierdaFrmFiltros = kAnchoFrmPrincipal + kSeparacionFrmFiltros;
    e.anchoCmdFiltrar = kAnchoCmdFiltrar;
    e.anchoPicFiltros = kAnchoFranja;
    e.anchoPicCfg = kAnchoFranja;
    e.anchoFrmFil = kAnchoFrmFil;
    e.anchoFrmCfg = kAnchoFrmCfg;
    const Disposicion d = CalcularDisposicion(e);

    const int arriba = barra.height();
    FrmPrincipal->setGeometry(0, arriba, Pixeles(kAnchoFrmPrincipal), Pixeles(kAltoFrmPrincipal));
    const int altoMarco = Pixeles(kAltoFrmPrincipal);
    FrmFiltros->setGeometry(Pixeles(e.izquierdaFrmFiltros), arriba, Pixeles(d.anchoFrmFiltros), altoMarco);
    const int altoTitulo = lblFiltros->sizeHint().height();
    lblFiltros->setGeometry(Pixeles(25), Pixeles(25), Pixeles(d.anchoLblFiltros), altoTitulo);
    const int altoBotones = altoMarco - altoTitulo - Pixeles(25) - Pixeles(150);
    cmdCargar->setGeometry(Pixeles(50), altoTitulo + Pixeles(75), Pixeles(d.anchoCmdCargar), altoBotones);
    cmdFiltrar->setGeometry(Pixeles(50 + d.anchoCmdCargar + 50), altoTitulo + Pixeles(75),
                            Pixeles(kAnchoCmdFiltrar), altoBotones);
    FrmAgr->setGeometry(Pixeles(d.izquierdaFrmAgr), arriba, Pixeles(d.anchoFrmAgr), altoMarco);
    lblGrupos->setGeometry(Pixeles(25), Pixeles(25), Pixeles(d.anchoLblGrupos), altoTitulo);
    LstGrupos->setGeometry(Pixeles(50), altoTitulo + Pixeles(50), Pixeles(d.anchoLstGrupos),
                           altoMarco - altoTitulo - Pixeles(100));

    SSTab1->setGeometry(0, arriba + altoMarco + Pixeles(25), Pixeles(d.anchoSSTab), Pixeles(d.altoSSTab));
    // Pages: their coordinates start below the tabs.
    Chart1->setGeometry(Pixeles(d.izquierdaChart1), 0, Pixeles(d.anchoChart1), Pixeles(d.altoChart1));
    MSFlexGrid1->setGeometry(0, 0, Pixeles(d.anchoGrilla), Pixeles(d.altoGrilla));
    ChartSpace1->setGeometry(Pixeles(d.chartSpace.left), Pixeles(d.chartSpace.top),
                             Pixeles(d.chartSpace.width), Pixeles(d.chartSpace.height));
    PivotTable1->setGeometry(Pixeles(d.pivot.left), Pixeles(d.pivot.top), Pixeles(d.pivot.width),
                             Pixeles(d.pivot.height));
    const int ladoBoton = picpCompleta[0]->sizeHint().height();
    picpCompleta[0]->setGeometry(Pixeles(d.izquierdaChart1 + d.anchoChart1 - 500), 0, ladoBoton, ladoBoton);
    picpCompleta[1]->setGeometry(Pixeles(d.izquierdaPicpCompleta1), 0, ladoBoton, ladoBoton);
    picpCompleta[2]->setGeometry(Pixeles(d.izquierdaPicpCompleta2), 0, ladoBoton, ladoBoton);
    for (QToolButton* b : picpCompleta) b->raise();

    // Both panels hidden after every resize.
    paneles_.anchoSSTab = d.anchoSSTab;
    paneles_.anchoFrmFil = kAnchoFrmFil;
    paneles_.anchoPicFiltros = kAnchoFranja;
    paneles_.anchoFrmCfg = kAnchoFrmCfg;
    paneles_.anchoPicCfg = kAnchoFranja;
    paneles_.izquierdaFrmFil = d.izquierdaFrmFil;
    paneles_.izquierdaFrmCfg = d.izquierdaFrmCfg;
    const int arribaPaneles = SSTab1->tabBar()->sizeHint().height() + 2;
    FrmFil->setGeometry(Pixeles(d.izquierdaFrmFil), arribaPaneles, Pixeles(kAnchoFrmFil),
                        Pixeles(d.altoFrmFil));
    picFiltros->setGeometry(Pixeles(kAnchoFrmFil - kAnchoFranja), 0, Pixeles(kAnchoFranja),
                            Pixeles(d.altoPicFiltros));
    if (auto* contenido = FrmFil->findChild<QScrollArea*>(QStringLiteral("FrmFilContenido")))
        contenido->setGeometry(0, 0, Pixeles(kAnchoFrmFil - kAnchoFranja), Pixeles(d.altoFrmFil));
    FrmCfg->setGeometry(Pixeles(d.izquierdaFrmCfg), arribaPaneles, Pixeles(kAnchoFrmCfg),
                        Pixeles(d.altoFrmCfg));
    PicCfg->setGeometry(0, 0, Pixeles(kAnchoFranja), Pixeles(d.altoPicCfg));
    if (auto* contenido = FrmCfg->findChild<QScrollArea*>(QStringLiteral("FrmCfgContenido")))
        contenido->setGeometry(Pixeles(kAnchoFranja), 0, Pixeles(kAnchoFrmCfg - kAnchoFranja),
                               Pixeles(d.altoFrmCfg));
    FrmFil->raise();
    FrmCfg->raise();
    // A resize keeps the full-screen view on (with the new window size).
    if (pantallaCompleta_) AplicarPantallaCompleta(true);
    // The strips were resized: paint them again.
    if (cargado_) PintarFranjas();
}

void frmKv_EstV::AplicarPaneles() {
    FrmFil->move(Pixeles(paneles_.izquierdaFrmFil), FrmFil->y());
    FrmCfg->move(Pixeles(paneles_.izquierdaFrmCfg), FrmCfg->y());
}

void frmKv_EstV::ActivarPanel(bool retraer, std::optional<bool> filtrosPedidos) {
    paneles_.retraer = retraer;
    if (filtrosPedidos) paneles_.filtrosPedidos = *filtrosPedidos;
    Timer1->setInterval(kIntervaloTimer);
    Timer1->start();
}

void frmKv_EstV::cmdFiltrar_Click() {
    AlternarPaneles(paneles_);
    Timer1->setInterval(kIntervaloTimer);
    Timer1->start();
}

void frmKv_EstV::Timer1_Timer() {
    const bool sigue = PasoPaneles(paneles_);
    AplicarPaneles();
    if (!sigue) Timer1->stop();
}

}  // namespace kv::ui
