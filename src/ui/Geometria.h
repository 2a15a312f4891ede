#pragma once
// The main window's layout in twips (1440 per inch), the unit its design uses:
// the resize layout and the side panels' hidden and open positions and slide.
// Plain arithmetic, so the tests check it in twips whatever the screen.

namespace kv::ui {

inline constexpr int kTwipsPorPulgada = 1440;

// Design sizes of the main window, in twips.
namespace diseno {
inline constexpr int kAnchoFrmPrincipal = 6800;
inline constexpr int kAltoFrmPrincipal = 1750;
inline constexpr int kSeparacionFrmFiltros = 100;
inline constexpr int kAnchoCmdFiltrar = 1900;
inline constexpr int kAnchoFranja = 330;
inline constexpr int kAnchoFrmFil = 4600;
inline constexpr int kAnchoFrmCfg = 5600;
}  // namespace diseno

// Conversions with the screen's logical DPI (rounded to the nearest unit).
int TwipsAPixeles(int twips, double dpi);
int PixelesATwips(int pixeles, double dpi);

struct RectTwips {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const RectTwips&) const = default;
};

// What the resize reads from the window.
struct EntradaDisposicion {
    int anchoVentana = 0;  // W
    int altoVentana = 0;   // H
    int anchoFrmPrincipal = 0;
    int altoFrmPrincipal = 0;
    int altoUtilNet = 0;
    int izquierdaFrmFiltros = 0;
    int anchoCmdFiltrar = 0;
    int anchoPicFiltros = 0;
    int anchoPicCfg = 0;
    int anchoFrmFil = 0;
    int anchoFrmCfg = 0;
};

// What the resize sets (only the values it changes).
struct Disposicion {
    int anchoSSTab = 0;
    int altoSSTab = 0;
    int izquierdaChart1 = 0;
    int anchoChart1 = 0;
    int altoChart1 = 0;
    int anchoFrmFiltros = 0;
    int izquierdaFrmAgr = 0;
    int anchoFrmAgr = 0;
    int anchoLblFiltros = 0;
    int anchoLblGrupos = 0;
    int anchoLstGrupos = 0;
    int izquierdaFrmFil = 0;  // hidden
    int altoFrmFil = 0;
    int altoPicFiltros = 0;
    int anchoCmdCargar = 0;
    int anchoGrilla = 0;
    int altoGrilla = 0;
    int izquierdaFrmCfg = 0;  // hidden
    int altoFrmCfg = 0;
    int altoPicCfg = 0;
    RectTwips chartSpace;
    int izquierdaPicpCompleta1 = 0;
    RectTwips pivot;
    int izquierdaPicpCompleta2 = 0;
};

Disposicion CalcularDisposicion(const EntradaDisposicion& e);

// The side panels: the filter panel FrmFil (strip picFiltros at its right edge)
// and the configuration panel FrmCfg (strip PicCfg at its left edge), both inside
// the tab area of width SSTab1.Width.
struct Paneles {
    int anchoSSTab = 0;
    int anchoFrmFil = 0;
    int anchoPicFiltros = 0;
    int izquierdaFrmFil = 0;
    int anchoFrmCfg = 0;
    int anchoPicCfg = 0;
    int izquierdaFrmCfg = 0;
    bool retraer = false;         // slide both panels out of sight
    bool filtrosPedidos = false;  // slide in the filter panel (else the configuration panel)
};

// Twips a panel moves per timer tick.
inline constexpr int kPasoPanel = 300;
inline constexpr int kIntervaloTimer = 50;  // ms

int FiltrosOculto(const Paneles& p);     // picFiltros.Width - FrmFil.Width
int FiltrosAbierto(const Paneles& p);    // 0: the whole frame shows
int ConfigOculto(const Paneles& p);      // SSTab1.Width - PicCfg.Width - 100
int ConfigAbierto(const Paneles& p);     // SSTab1.Width - FrmCfg.Width
bool FiltrosVisibles(const Paneles& p);  // FrmFil.Left >= -100
bool ConfigVisible(const Paneles& p);    // FrmCfg.Left <= SSTab1.Width - FrmCfg.Width

// One timer tick: moves the panels toward the target the flags name. Returns
// true while a panel still has to move (the timer keeps running).
bool PasoPaneles(Paneles& p, int paso = kPasoPanel);

// The filter button: an open panel retracts both, otherwise the filter panel
// slides in.
void AlternarPaneles(Paneles& p);

}  // namespace kv::ui
