#pragma once
// The full-screen toggle of the tab strip, in twips: the tab strip takes the
// whole window or goes back to its place under the top frame, and the views on
// its pages follow its size.

#include <QString>

#include "ui/Geometria.h"

namespace kv::ui {

inline constexpr const char* kTextoPantallaCompleta = "Pantalla Completa";
inline constexpr const char* kTextoTamanoOriginal = "Tamaño Original";

struct EntradaPantallaCompleta {
    int altoVentana = 0;
    int topFrmPrincipal = 0;
    int altoFrmPrincipal = 0;
    int altoUtilNet = 0;
    int anchoSSTab = 0;
    int altoSSTab = 0;  // as it is now
    int anchoPicFiltros = 0;
    int anchoPicCfg = 0;
};

struct PantallaCompleta {
    bool completa = false;  // the strip now fills the window
    int topSSTab = 0;
    int altoSSTab = 0;
    int anchoChart1 = 0;
    int altoChart1 = 0;
    int anchoGrilla = 0;
    int altoGrilla = 0;
    int altoPaneles = 0;  // FrmFil, FrmCfg and their strips
    RectTwips chartSpace;
    RectTwips pivot;
    QString tooltip;  // of the three full-screen buttons
};

// Normal height of the tab strip: the window's less the top frame, the toolbar and 400.
int AltoNormalSSTab(const EntradaPantallaCompleta& e);
// One click of a full-screen button.
PantallaCompleta AlternarPantallaCompleta(const EntradaPantallaCompleta& e);

}  // namespace kv::ui
