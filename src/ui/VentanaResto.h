#pragma once
// The remainder row opened: the groups it folds, with their values and their
// share of the remainder, in the order the load sorted them, from the loaded
// data (no new query). The list can be copied and exported like the grid.

#include <QDialog>

#include "stats/Carga.h"

class QStandardItemModel;
class QTableView;

namespace kv::ui {

inline constexpr const char* kTituloResto = "Grupos incluidos en \"%1\"";

// One row per folded group: its levels, each chart column, and its share of the
// remainder's first amount or quantity ("% del resto").
QStandardItemModel* ModeloResto(const kv::stats::ModeloGrafico& modelo, const QStringList& titulosNiveles,
                                QObject* padre = nullptr);

class VentanaResto : public QDialog {
  public:
    VentanaResto(const kv::stats::ModeloGrafico& modelo, const QStringList& titulosNiveles,
                 QWidget* padre = nullptr);
    QTableView* Tabla() const { return tabla_; }
    QStandardItemModel* Modelo() const { return modelo_; }
    void Copiar();
    void Exportar();

  private:
    QStandardItemModel* modelo_;
    QTableView* tabla_;
};

}  // namespace kv::ui
