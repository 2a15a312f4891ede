#pragma once
// The pivot as the user sees it: the company filter above, the grouping levels
// as an expandable tree (every group row holds its subtotal), the grand total
// at the bottom, a column per ticked total; a header click sorts, the columns
// fit their contents.

#include <QAbstractItemModel>
#include <QWidget>

#include "ui/TablaDinamica.h"

class QComboBox;
class QTreeView;
class QToolButton;
class QLabel;

namespace kv::ui {

class ModeloTablaDinamica : public QAbstractItemModel {
  public:
    explicit ModeloTablaDinamica(QObject* padre = nullptr);
    TablaDinamica& Tabla() { return tabla_; }
    const TablaDinamica& Tabla() const { return tabla_; }

    void Vincular(std::shared_ptr<const DatosGrilla> datos);
    void Filtrar(const QStringList& valores);

    const TablaDinamica::Nodo* Nodo(const QModelIndex& indice) const;
    QModelIndex IndiceTotal() const;

    QModelIndex index(int fila, int columna, const QModelIndex& padre = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& indice) const override;
    int rowCount(const QModelIndex& padre = QModelIndex()) const override;
    int columnCount(const QModelIndex& padre = QModelIndex()) const override;
    QVariant data(const QModelIndex& indice, int rol = Qt::DisplayRole) const override;
    QVariant headerData(int seccion, Qt::Orientation orientacion, int rol = Qt::DisplayRole) const override;
    void sort(int columna, Qt::SortOrder orden = Qt::AscendingOrder) override;

  private:
    TablaDinamica tabla_;
};

inline constexpr const char* kTodasLasEmpresas = "(Todas)";

// A list as wide as its longest entry.
void AnchoSegunTextos(QComboBox* lista);

class VistaTablaDinamica : public QWidget {
  public:
    explicit VistaTablaDinamica(QWidget* padre = nullptr);

    void Vincular(std::shared_ptr<const DatosGrilla> datos);
    ModeloTablaDinamica* Modelo() const { return modelo_; }
    QTreeView* Arbol() const { return arbol_; }
    QComboBox* Filtro() const { return filtro_; }

    // Shows the levels down to `nivel` (0: only the first level) and folds the rest.
    void ExpandirHastaNivel(int nivel);
    void AjustarColumnas();  // auto-fit
    QImage Imagen();

  private:
    void AlCambiarFiltro();
    void ActualizarBotonesNivel();

    ModeloTablaDinamica* modelo_;
    QLabel* etiquetaFiltro_;
    QComboBox* filtro_;
    QComboBox* nivel_;
    QTreeView* arbol_;
};

}  // namespace kv::ui
