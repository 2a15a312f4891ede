#pragma once
// The main statistics window: the definition editor (name, months, grouping
// catalog, filters per level, ordering, totals, TOP), the action toolbar and its
// commands, the company list and dialog, the load (F9) and the four views on the
// tab strip, with the two sliding side panels inside the tab area.
//
// Positions stated by the design are kept in twips (see Geometria.h).

#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <optional>

#include "stats/AlmacenEstadisticas.h"
#include "stats/Carga.h"
#include "ui/Geometria.h"
#include "ui/cLogo.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QRadioButton;
class QAbstractItemModel;
class QAction;
class QTabWidget;
class QTableView;
class QTimer;
class QToolBar;
class QToolButton;
class QChartView;

namespace kv::db {
class DB_Dll;
class Recordset;
}  // namespace kv::db

namespace kv::ui {

class SuperficieDibujo;
class UtilNet;
class GraficoPrincipal;
class GraficoEmpresas;
class VistaGrilla;
class VistaTablaDinamica;
struct DatosGrilla;

inline constexpr const char* kTituloVentana = "Gráficos Estadísticos de Ventas";
inline constexpr const char* kTextoBotonCargar = " [F9]  Cargar  Estadísticas   ";
inline constexpr const char* kTextoBotonFiltrar = "   Filtros                ";
inline constexpr const char* kAyudaBotonFiltrar = "Muestra u oculta los paneles de filtros y configuración";
inline constexpr const char* kCaptionFiltros = "                               FILTROS";
inline constexpr const char* kCaptionConfiguracion = "                               CONFIGURACIÓN";
inline constexpr const char* kMensajeTresGrupos =
    "No se pueden seleccionar más de tres grupos para la estadística";
inline constexpr const char* kPreguntaCancelar = "¿Está seguro de Cancelar la carga de datos?";
inline constexpr const char* kTituloCancelar = "Atención!!!";
inline constexpr const char* kFondoConFoco = "QLineEdit { background-color: rgb(0, 255, 255); }";
inline constexpr const char* kFondoSinFoco = "QLineEdit { background-color: rgb(255, 255, 255); }";

// A lookup asked of the lookup windows: the source (table, view or complete
// statement), the column a pick returns, several rows or one, list or tree.
struct PeticionConsulta {
    QString fuente;
    QString campoDevuelto;
    bool multiple = false;
    bool arbol = false;
};
// What the lookup gave back: the picked value (single) or the checked values (multiple).
struct RespuestaConsulta {
    QString valor;
    QStringList valores;
};
// nullopt: no lookup window serves that source (the field is left alone).
using Consultor = std::function<std::optional<RespuestaConsulta>(const PeticionConsulta&)>;

class frmKv_EstV : public QWidget {
    Q_OBJECT
  public:
    // `principal` is the program-wide ERP connection, opened by start-up.
    explicit frmKv_EstV(kv::db::DB_Dll& principal, QWidget* padre = nullptr);
    ~frmKv_EstV() override;

    // ---- Controls, by the design's names ----
    UtilNet* UtilNet1 = nullptr;
    QToolBar* Toolbar2 = nullptr;
    QGroupBox* FrmPrincipal = nullptr;
    QFrame* FrmFiltros = nullptr;
    QFrame* FrmAgr = nullptr;
    QList<QLineEdit*> txtFields;  // by index 0..13; code finds them by key
    QComboBox* cboGraficos = nullptr;
    QListWidget* LstGrupos = nullptr;
    QLabel* lblGrupos = nullptr;
    QListWidget* lstEmp = nullptr;
    std::array<QLabel*, 3> lblGrupo{};  // lblGrupo1..3
    QList<QCheckBox*> chkOrden;
    QList<QLabel*> lblOrden;
    QRadioButton* optAsc = nullptr;
    QRadioButton* optDes = nullptr;
    QList<QCheckBox*> chkSum;
    QPushButton* cmdCargar = nullptr;
    QPushButton* cmdFiltrar = nullptr;
    QLabel* lblFiltros = nullptr;
    QTabWidget* SSTab1 = nullptr;
    std::array<QWidget*, 4> paginas{};  // the four pages of SSTab1
    QFrame* FrmFil = nullptr;
    QFrame* FrmCfg = nullptr;
    SuperficieDibujo* picFiltros = nullptr;
    SuperficieDibujo* PicCfg = nullptr;
    QTimer* Timer1 = nullptr;
    // Views of the pages.
    GraficoPrincipal* Chart1 = nullptr;
    VistaGrilla* MSFlexGrid1 = nullptr;
    GraficoEmpresas* ChartSpace1 = nullptr;
    VistaTablaDinamica* PivotTable1 = nullptr;
    std::array<QToolButton*, 3> picpCompleta{};

    // ---- Editor ----
    void LlenarGrupos();
    void AsignarGrupo(int nivel, const QString& titulo);
    void ConsultarCampo();
    void ValidarCampo(QLineEdit* campo);
    bool ValidarCampos();
    void LimpiarVentana();
    void HabilitarEdicion(bool editar);
    void CargarDefinicion();

    // ---- Commands and data ----
    void Comando(const QString& clave);  // UtilNet1's click
    void CargarEstadistica();
    void GrabarEstadistica();
    void CargarEmpresas();
    void AbrirConfiguracionEmpresas();  // Toolbar2's button
    void ExportarGrilla();

    // ---- Views (page contents) ----
    void LlenarGraficos();
    void cboGraficos_Click();
    void SSTab1_Click();
    void picpCompleta_Click(int indice);
    bool PantallaCompletaActiva() const { return pantallaCompleta_; }
    // The groups folded into the remainder row, in a window of their own.
    void AbrirResto();
    // What the grid, the second chart and the pivot show (null before a load).
    const std::shared_ptr<const DatosGrilla>& DatosVistas() const { return datosVistas_; }

    // ---- Layout and side panels ----
    void Form_Resize();
    void PintarFranjas();
    void cmdFiltrar_Click();
    void ActivarPanel(bool retraer, std::optional<bool> filtrosPedidos);
    void Timer1_Timer();
    const Paneles& EstadoPaneles() const { return paneles_; }
    // Twips of a widget's geometry (logical DPI of the screen).
    double Dpi() const;
    int Twips(int pixeles) const;
    int Pixeles(int twips) const;

    // ---- State ----
    bool Nuevo() const { return nuevo_; }
    bool Existente() const { return existente_; }
    bool Borrando() const { return borrar_; }
    bool Grabando() const { return grabando_; }
    bool Cancelar() const { return cancelar_; }
    const kv::stats::EstadoDefinicion& Estado() const { return estado_; }
    const kv::stats::ModeloGrafico& Grafico() const { return grafico_; }
    const kv::stats::ResultadoCarga& UltimaCarga() const { return ultimaCarga_; }
    QAbstractItemModel* ModeloGrilla() const;
    QLineEdit* CampoActivo() const { return campoActivo_; }
    kv::db::DB_Dll& ConexionAlmacen() { return *almacen_; }
    cLogo& Logo() { return logo_; }
    // The member of txtFields whose key is `clave` (letter case ignored).
    QLineEdit* Campo(const QString& clave) const;
    QCheckBox* CasillaOrden(const QString& clave) const;
    QCheckBox* CasillaTotal(const QString& clave) const;
    // The definition and load input as the controls hold them.
    kv::stats::Definicion DefinicionDeControles() const;
    kv::stats::EntradaCarga EntradaDeControles() const;
    // The level filters and companies the controls hold, and those that act on a
    // load (what the "Filtros" button counts and the chart's subtitle names).
    kv::stats::EntradaCarga EntradaFiltros() const;
    QStringList FiltrosActivos() const;
    // " Filtros (n)" with the list in its tooltip while any filter acts.
    void ActualizarBotonFiltros();

    // The window's action for a key code (Esc, F2 ... F10), the one route of that key.
    QAction* AccionTecla(int codigo) const;

    // The lookup windows (the lookups plug theirs in here).
    void EstablecerConsultor(Consultor consultor) { consultor_ = std::move(consultor); }
    // The window's own lookup: the shared lookup request, with the list or
    // tree window; a closed window gives an empty answer.
    static std::optional<RespuestaConsulta> ConsultorListas(const PeticionConsulta& peticion, QWidget* padre);

    // Saves a picture of the window (the README's screenshot).
    bool Capturar(const QString& archivo);
    // Saves one picture per page next to `archivo` ("-pagina0" .. "-pagina3" before
    // its extension), the pages switched off included; false when one fails.
    bool CapturarPaginas(const QString& archivo);

  protected:
    bool eventFilter(QObject* objeto, QEvent* evento) override;
    void resizeEvent(QResizeEvent*) override;
    void changeEvent(QEvent*) override;
    void showEvent(QShowEvent*) override;
    void closeEvent(QCloseEvent*) override;

  private:
    void CrearControles();
    void CrearPanelFiltros();
    void CrearPanelConfiguracion();
    // Page contents and what a load shows on them.
    void CrearPaginas();
    void MostrarCarga();
    void RestablecerVistas();
    void ImprimirGrafico(int pagina);
    void AplicarPantallaCompleta(bool completa);
    void Form_Load();
    void CrearTeclas();
    void TeclaVentana(int codigo);
    bool EventoCampo(QLineEdit* campo, QEvent* evento);
    void txtFields_GotFocus(QLineEdit* campo);
    void txtFields_LostFocus(QLineEdit* campo);
    bool txtFields_KeyDown(QLineEdit* campo, int codigo);
    bool txtFields_KeyPress(QLineEdit* campo, QString& texto);
    void LstGrupos_ItemCheck(QListWidgetItem* fila);
    void chkOrden_Click(int indice);
    void PonerConsultaHabilitada(QLineEdit* campo);
    void AplicarPaneles();
    void MarcarModo(kv::stats::ModoGrabacion modo);

    kv::db::DB_Dll& principal_;
    std::unique_ptr<kv::db::DB_Dll> almacen_;  // the window's own store connection
    std::unique_ptr<kv::db::DB_Dll> empresa_;  // one company at a time, for rebuilds
    std::unique_ptr<kv::db::Recordset> grilla_;
    kv::stats::EstadoDefinicion estado_;
    kv::stats::ModeloGrafico grafico_;
    kv::stats::ResultadoCarga ultimaCarga_;
    std::shared_ptr<const DatosGrilla> datosVistas_;
    QString subtituloCarga_;
    bool pantallaCompleta_ = false;
    cLogo logo_;
    Paneles paneles_;
    Consultor consultor_;
    QLineEdit* campoActivo_ = nullptr;
    int ultimoIndice_ = -1;
    bool nuevo_ = false, existente_ = false, borrar_ = false, grabando_ = false, cancelar_ = false;
    bool ordenBloqueado_ = false;
    bool gruposBloqueados_ = false;
    bool cargado_ = false;
};

}  // namespace kv::ui
