#pragma once
// Lib_FrmCons3Tree: the modal pick window for coded hierarchies (families,
// positions, cost centres, accounts). Rows become nodes by their codes; a
// node's tick goes down to every node below it; the picked codes are checked
// against their master table before they are handed back.

#include <QDialog>
#include <QHash>
#include <QString>
#include <QStringList>

class QComboBox;
class QFrame;
class QLabel;
class QMenu;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace kv::lookup {

inline constexpr const char* kClaveRaiz = "A";

class Lib_FrmCons3Tree : public QDialog {
    Q_OBJECT
  public:
    explicit Lib_FrmCons3Tree(QWidget* padre = nullptr);
    ~Lib_FrmCons3Tree() override;

    // Inputs.
    QString SQL;
    QString CampoDevuelto;
    bool Checks = false;

    // Outputs.
    QString ValorDevuelto;
    QStringList Valores;

    // The load (runs once when first shown; a caller may run it earlier).
    void Cargar();
    bool Cargada() const { return cargada_; }
    // The family tree, narrowed by `filtro` when given.
    void ArmarTreeVFamilias(const QString& filtro = QString());
    // Any two-column statement (code, description): each node under the
    // longest key added before it that begins its key.
    void ArmarTreeVAutomatico(const QString& sentencia);
    // The server search of F5 on the description.
    void BuscarEnServidor();
    // First node (in tree order) whose code or description begins with `texto`.
    QTreeWidgetItem* Buscar(const QString& texto) const;

    void Aceptar();
    void Cancelar();
    // Escape and the window's close box cancel.
    void reject() override;
    void NuevaBusqueda();

    QTreeWidget* Arbol() const { return arbol_; }
    QComboBox* CajaBusqueda() const { return caja_; }
    QTreeWidgetItem* Nodo(const QString& clave) const { return nodos_.value(clave); }
    QString SentenciaActual() const { return sentencia_; }

  protected:
    bool eventFilter(QObject* objeto, QEvent* evento) override;
    void showEvent(QShowEvent* evento) override;

  private:
    void Vaciar();
    QTreeWidgetItem* Agregar(const QString& clavePadre, const QString& clave, const QString& texto);
    // The root every tree starts from, open.
    void AgregarRaiz();
    void Armar();
    bool Verificar(const QString& codigo);
    void CopiarMarca(QTreeWidgetItem* nodo);

    QTreeWidget* arbol_ = nullptr;
    QWidget* picFields_ = nullptr;
    QComboBox* caja_ = nullptr;
    QLabel* etiqueta_ = nullptr;
    QFrame* frame1_ = nullptr;
    QPushButton* aceptar_ = nullptr;
    QPushButton* cancelar_ = nullptr;
    QPushButton* nueva_ = nullptr;
    QMenu* menu_ = nullptr;
    QHash<QString, QTreeWidgetItem*> nodos_;
    QString sentencia_;
    QString filtroFamilias_;
    bool cargada_ = false;
    bool copiando_ = false;
};

}  // namespace kv::lookup
