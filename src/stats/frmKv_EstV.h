#pragma once
// The main statistics window, in its simple form: pick a stored statistic, the
// months and the companies, load it (F9) and see the chart rows as a column
// chart and the grid of every group per company.

#include <QMainWindow>
#include <memory>

#include "stats/AlmacenEstadisticas.h"
#include "stats/Carga.h"

class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;
class QTableView;
class QStandardItemModel;
class QChartView;

namespace kv::db {
class DB_Dll;
class Recordset;
}  // namespace kv::db

namespace kv::stats {

inline constexpr const char* kTituloVentana = "Gráficos Estadísticos de Ventas";
inline constexpr const char* kTextoBotonCargar = " [F9]  Cargar  Estadísticas   ";

class frmKv_EstV : public QMainWindow {
  public:
    // `principal` is the ERP connection, already opened by start-up.
    explicit frmKv_EstV(kv::db::DB_Dll& principal, QWidget* padre = nullptr);
    ~frmKv_EstV() override;

    // Fills the statistic names and the company list again.
    void CargarEmpresas();
    void CargarNombres();
    // Loads the definition named in the name box; false when there is none.
    bool ElegirEstadistica(const QString& nombre);
    // The load of F9.
    void CargarEstadistica();

    const ModeloGrafico& Grafico() const { return grafico_; }
    QStandardItemModel* ModeloGrilla() const { return modeloGrilla_; }
    QComboBox* CajaNombre() const { return nombre_; }
    QLineEdit* MesDesde() const { return desde_; }
    QLineEdit* MesHasta() const { return hasta_; }
    QListWidget* ListaEmpresas() const { return empresas_; }
    QPushButton* BotonCargar() const { return cargar_; }
    QTabWidget* Pestanas() const { return pestanas_; }
    QChartView* VistaGrafico() const { return vistaGrafico_; }

  private:
    void DibujarGrafico();

    kv::db::DB_Dll& principal_;
    std::unique_ptr<kv::db::DB_Dll> almacen_;
    std::unique_ptr<kv::db::Recordset> grilla_;
    Definicion definicion_;
    EstadoDefinicion estado_;
    ModeloGrafico grafico_;

    QComboBox* nombre_ = nullptr;
    QLineEdit* desde_ = nullptr;
    QLineEdit* hasta_ = nullptr;
    QListWidget* empresas_ = nullptr;
    QPushButton* cargar_ = nullptr;
    QTabWidget* pestanas_ = nullptr;
    QChartView* vistaGrafico_ = nullptr;
    QTableView* tablaGrilla_ = nullptr;
    QStandardItemModel* modeloGrilla_ = nullptr;
};

}  // namespace kv::stats
