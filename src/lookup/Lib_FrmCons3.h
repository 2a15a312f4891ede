#pragma once
// Lib_FrmCons3: the modal search-and-pick list behind every list lookup. It
// runs the statement it is given, shows the rows with one search box per
// column, narrows them locally (prefix, as the operator types) or on the server
// (F5), and hands the picked or ticked values back through its properties.

#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

class QComboBox;
class QLabel;
class QMenu;
class QPushButton;
class QScrollBar;
class QTreeView;
class QFrame;

namespace kv::lookup {

class ModeloConsulta;

inline constexpr const char* kCaptionConsulta = "Consulta...";
inline constexpr const char* kTooltipBusqueda = "F5 realiza nueva busqueda";
inline constexpr const char* kColumnaCantidad = "**Cantidad**";
inline constexpr const char* kPreguntaCantidad = "Ingrese la Cantidad del Articulo...";
inline constexpr const char* kTituloCantidad = "Carga de Datos";
inline constexpr const char* kTituloFaltante = "Atención!";
inline constexpr const char* kTituloAvisoAlOperador = "Aviso al Operador";

// The question of the missing-stock report.
QString PreguntaFaltante(const QString& idArticulo, const QString& descripcion);

// Twips of the screen's logical resolution to pixels and back.
int TwipsAPixeles(double twips, const QWidget* ventana);
double PixelesATwips(int pixeles, const QWidget* ventana);

class Lib_FrmCons3 : public QDialog {
    Q_OBJECT
  public:
    explicit Lib_FrmCons3(QWidget* padre = nullptr);
    ~Lib_FrmCons3() override;

    // Inputs.
    QString SQL;
    QString CampoDevuelto;
    QString CampoBusqueda;
    QString Clave;
    bool CheckBoxes = false;
    bool UsaCantidades = false;
    QString ValoresDefault;
    bool OrdenarPorLwv = false;
    QString MuestraStock;
    QVariant StkNivel1, StkNivel2, StkNivel3, StkNivel4;
    bool UsaConsultaLike = false;
    QString gConnString;
    QStringList CmpsDevueltos;
    bool UsarUDBC = false;
    bool GrabarCfg = false;
    QString FiltroInicial;
    // Rows given directly instead of a statement (options and file lists): one
    // column titled `TituloFilas`; `FilasMarcadas` says which start ticked.
    QStringList FilasFijas;
    QList<bool> FilasMarcadas;
    QString TituloFilas;

    // Outputs.
    QString ValorDevuelto;
    QStringList Valores;
    QStringList Cantidades;

    // The load: runs the statement (or takes the fixed rows), builds the
    // columns, search boxes and rows. Runs once when the window is first shown;
    // a caller may run it earlier.
    void Cargar();
    // Loaded, and not loading right now.
    bool Cargada() const { return cargada_ && !cargando_; }

    // 1-based position of the column headed `nombre` (blanks and case ignored); 0 when none.
    int IndiceColumna(const QString& nombre) const;
    // First row whose text in `columna` begins with `valor`; -1 when none.
    int Busqueda(int columna, const QString& valor) const;
    // The server search of F5 from search box `indice`.
    void BuscarEnServidor(int indice);
    // The statement the window shows now, and the first one it showed.
    QString SentenciaActual() const { return sentencia_; }
    QString PrimeraSentencia() const { return primera_; }
    QString Tabla() const { return tabla_; }

    void Aceptar();
    void Cancelar();
    // Escape and the window's close box cancel.
    void reject() override;
    void NuevaBusqueda();
    void InvertirMarcas();
    void Nuevo();
    void InformarFaltante();
    // Column widths in twips, in column order.
    QList<double> AnchosTwips() const;
    // Saves the widths (with GrabarCfg) and clears the list, as closing does.
    void Descargar();

    ModeloConsulta* Modelo() const { return modelo_; }
    QTreeView* Lista() const { return lista_; }
    const QList<QComboBox*>& CajasBusqueda() const { return cajas_; }

  protected:
    bool eventFilter(QObject* objeto, QEvent* evento) override;
    void showEvent(QShowEvent* evento) override;
    void closeEvent(QCloseEvent* evento) override;

  private:
    void Encolumnar();
    void Leer();
    void CalcularAncho();
    void UbicarCajas();
    void BuscarLocal(int indice, const QString& texto);
    bool TeclaLista(QKeyEvent* tecla);
    void CambiarCantidad(int fila, int tecla, bool mayusculas);
    QString ValorDeColumna(int fila, const QString& columna) const;
    QString ProgramaMantenimiento() const;

    ModeloConsulta* modelo_ = nullptr;
    QLabel* titulo_ = nullptr;
    QWidget* marcoCampos_ = nullptr;
    QWidget* picFields_ = nullptr;
    QScrollBar* hscroll_ = nullptr;
    QTreeView* lista_ = nullptr;
    QFrame* frame1_ = nullptr;
    QPushButton* aceptar_ = nullptr;
    QPushButton* cancelar_ = nullptr;
    QPushButton* nueva_ = nullptr;
    QPushButton* nuevo_ = nullptr;
    QPushButton* todos_ = nullptr;
    QMenu* menu_ = nullptr;
    QList<QComboBox*> cajas_;
    QList<QLabel*> etiquetas_;
    QStringList camposCajas_;

    QString primera_;
    QString sentencia_;
    QString tabla_;
    bool articulos_ = false;
    int cajaActiva_ = 0;
    bool cargada_ = false;
    bool cargando_ = false;
    bool descargada_ = false;
};

}  // namespace kv::lookup
