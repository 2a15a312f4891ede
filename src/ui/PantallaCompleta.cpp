#include "ui/PantallaCompleta.h"

namespace kv::ui {

int AltoNormalSSTab(const EntradaPantallaCompleta& e) {
    return e.altoVentana - e.altoFrmPrincipal - e.altoUtilNet - 400;
}

PantallaCompleta AlternarPantallaCompleta(const EntradaPantallaCompleta& e) {
    PantallaCompleta r;
    const int normal = AltoNormalSSTab(e);
    if (e.altoSSTab == normal) {
        r.completa = true;
        r.topSSTab = 0;
        r.altoSSTab = e.altoVentana - 400;
        r.tooltip = QString::fromUtf8(kTextoTamanoOriginal);
    } else {
        r.completa = false;
        r.altoSSTab = normal;
        r.topSSTab = e.topFrmPrincipal + e.altoFrmPrincipal + 25;
        r.tooltip = QString::fromUtf8(kTextoPantallaCompleta);
    }
    r.anchoChart1 = e.anchoSSTab - e.anchoPicFiltros - e.anchoPicCfg;
    r.altoChart1 = r.altoSSTab - 400;
    r.anchoGrilla = e.anchoSSTab - 200;
    r.altoGrilla = r.altoSSTab - 400;
    r.altoPaneles = r.altoChart1;
    r.chartSpace = {e.anchoPicFiltros, 0, e.anchoSSTab - 100 - e.anchoPicFiltros, r.altoSSTab - 400};
    r.pivot = {0, 0, e.anchoSSTab - 100, r.altoSSTab - 400};
    return r;
}

}  // namespace kv::ui
