#include "ui/Geometria.h"

#include <algorithm>
#include <cmath>

namespace kv::ui {

int TwipsAPixeles(int twips, double dpi) {
    if (dpi <= 0) dpi = 96;
    return static_cast<int>(std::lround(static_cast<double>(twips) * dpi / kTwipsPorPulgada));
}

int PixelesATwips(int pixeles, double dpi) {
    if (dpi <= 0) dpi = 96;
    return static_cast<int>(std::lround(static_cast<double>(pixeles) * kTwipsPorPulgada / dpi));
}

Disposicion CalcularDisposicion(const EntradaDisposicion& e) {
    Disposicion d;
    d.anchoSSTab = e.anchoVentana;
    d.altoSSTab = e.altoVentana - e.altoFrmPrincipal - e.altoUtilNet - 400;
    d.izquierdaChart1 = e.anchoPicFiltros;
    d.anchoChart1 = d.anchoSSTab - e.anchoPicFiltros - e.anchoPicCfg;
    d.altoChart1 = d.altoSSTab - 400;
    d.anchoFrmFiltros = (e.anchoVentana - e.anchoFrmPrincipal - 200) / 2;
    d.izquierdaFrmAgr = e.izquierdaFrmFiltros + d.anchoFrmFiltros;
    d.anchoFrmAgr = (e.anchoVentana - e.anchoFrmPrincipal - 200) / 2;
    d.anchoLblFiltros = d.anchoFrmFiltros - 50;
    d.anchoLblGrupos = d.anchoFrmAgr - 50;
    d.anchoLstGrupos = d.anchoFrmAgr - 100;
    d.izquierdaFrmFil = e.anchoPicFiltros - e.anchoFrmFil;
    d.altoFrmFil = d.altoSSTab - 400;
    d.altoPicFiltros = d.altoFrmFil;
    d.anchoCmdCargar = d.anchoFrmFiltros - e.anchoCmdFiltrar - 100;
    d.anchoGrilla = d.anchoSSTab - 200;
    d.altoGrilla = d.altoSSTab - 400;
    d.izquierdaFrmCfg = d.anchoSSTab - e.anchoPicCfg - 100;
    d.altoFrmCfg = d.altoSSTab - 400;
    d.altoPicCfg = d.altoFrmCfg;
    d.chartSpace = {e.anchoPicFiltros - 50, 0, d.anchoSSTab - 150 - e.anchoPicFiltros, d.altoSSTab - 400};
    d.izquierdaPicpCompleta1 = d.chartSpace.width - 500;
    d.pivot = {0, 0, d.anchoSSTab - 100, d.altoSSTab - 400};
    d.izquierdaPicpCompleta2 = d.pivot.width - 500;
    return d;
}

int FiltrosOculto(const Paneles& p) { return p.anchoPicFiltros - p.anchoFrmFil; }
int FiltrosAbierto(const Paneles&) { return 0; }
int ConfigOculto(const Paneles& p) { return p.anchoSSTab - p.anchoPicCfg - 100; }
int ConfigAbierto(const Paneles& p) { return p.anchoSSTab - p.anchoFrmCfg; }
bool FiltrosVisibles(const Paneles& p) { return p.izquierdaFrmFil >= -100; }
bool ConfigVisible(const Paneles& p) { return p.izquierdaFrmCfg <= ConfigAbierto(p); }

namespace {

// Moves `valor` toward `destino` by at most `paso`; true when it moved.
bool Acercar(int& valor, int destino, int paso) {
    if (valor == destino) return false;
    if (valor < destino)
        valor = std::min(valor + paso, destino);
    else
        valor = std::max(valor - paso, destino);
    return true;
}

}  // namespace

bool PasoPaneles(Paneles& p, int paso) {
    if (paso <= 0) paso = kPasoPanel;
    if (p.retraer) {
        Acercar(p.izquierdaFrmFil, FiltrosOculto(p), paso);
        Acercar(p.izquierdaFrmCfg, ConfigOculto(p), paso);
        return p.izquierdaFrmFil != FiltrosOculto(p) || p.izquierdaFrmCfg != ConfigOculto(p);
    }
    if (p.filtrosPedidos) {
        Acercar(p.izquierdaFrmFil, FiltrosAbierto(p), paso);
        return p.izquierdaFrmFil != FiltrosAbierto(p);
    }
    Acercar(p.izquierdaFrmCfg, ConfigAbierto(p), paso);
    return p.izquierdaFrmCfg != ConfigAbierto(p);
}

void AlternarPaneles(Paneles& p) {
    const bool filtrosFuera = p.izquierdaFrmFil > FiltrosOculto(p);
    const bool configFuera = p.izquierdaFrmCfg < ConfigOculto(p);
    if (filtrosFuera || configFuera) {
        p.retraer = true;
    } else {
        p.retraer = false;
        p.filtrosPedidos = true;
    }
}

}  // namespace kv::ui
