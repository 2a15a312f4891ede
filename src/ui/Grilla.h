#pragma once
// The data grid: a read-only table over the grid recordset. The header row holds
// the recordset's column names; numbers are right-aligned with the configured
// decimals and the user's locale marks. Each cell also gives its plain value
// text ("." as decimal mark, no grouping, exact to the money's four decimals).

#include <QAbstractTableModel>
#include <QTableView>
#include <memory>

#include "ui/DatosGrilla.h"

namespace kv::ui {

// Role of the text a cell contributes to an export file.
inline constexpr int kRolTextoExportado = Qt::UserRole + 1;
// Role of a cell's number (a double), for sorting and charts.
inline constexpr int kRolNumero = Qt::UserRole + 2;

class ModeloGrilla : public QAbstractTableModel {
  public:
    explicit ModeloGrilla(QObject* padre = nullptr);

    void Vincular(std::shared_ptr<const DatosGrilla> datos);
    const std::shared_ptr<const DatosGrilla>& Datos() const { return datos_; }

    int rowCount(const QModelIndex& padre = QModelIndex()) const override;
    int columnCount(const QModelIndex& padre = QModelIndex()) const override;
    QVariant data(const QModelIndex& indice, int rol = Qt::DisplayRole) const override;
    QVariant headerData(int seccion, Qt::Orientation orientacion, int rol = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& indice) const override;

  private:
    std::shared_ptr<const DatosGrilla> datos_;
    std::vector<bool> numericas_;
};

// Grid column width after each binding, in twips.
inline constexpr int kAnchoColumnaGrilla = 1500;

class VistaGrilla : public QTableView {
  public:
    explicit VistaGrilla(QWidget* padre = nullptr);
    ModeloGrilla* Modelo() const { return modelo_; }
    // Binds the data and sets every column to 1500 twips, or to what its caption
    // and its cells need where that is more.
    void Vincular(std::shared_ptr<const DatosGrilla> datos);
    // The selected cells as tab-separated lines under their columns' captions,
    // each cell's text as shown (the whole grid when nothing is selected).
    QString TextoSeleccion() const;

  protected:
    void keyPressEvent(QKeyEvent* evento) override;

  private:
    ModeloGrilla* modelo_;
};

}  // namespace kv::ui
