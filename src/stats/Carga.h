#pragma once
// The load of a statistic: the chart rows (the first N groups in query order and
// one remainder row folding the rest), the grid recordset handed on to the grid,
// the second chart and the pivot, with a cancellable progress window.

#include <QString>
#include <QStringList>
#include <array>
#include <memory>
#include <vector>

#include "stats/ConsultaCarga.h"

namespace kv::db {
class DB_Dll;
class Recordset;
}  // namespace kv::db

namespace kv::stats {

// A group folded into the remainder row, kept so the remainder can be opened
// without another query.
class NombresGrupos;

struct GrupoPlegado {
    std::array<QString, kNiveles> grupos;  // as stored
    std::vector<double> valores;           // one per column, rounded to the model's decimals
};

// The column chart's data: rows and columns counted from 0 here.
struct ModeloGrafico {
    QStringList columnas;                      // captions of the ticked totals, in box order
    QStringList etiquetas;                     // one label per row
    std::vector<std::vector<double>> valores;  // [row][column], rounded to `decimales`
    int decimales = 2;
    // The groups of each row (empty on the remainder row), so two groups whose
    // joined labels coincide stay apart.
    std::vector<std::array<QString, kNiveles>> grupos;
    std::vector<GrupoPlegado> plegados;  // in query order
    int filaResto = -1;                  // the remainder row, -1 when nothing was folded
    // The names of the result's codes, read after the load (null: codes alone).
    std::shared_ptr<const NombresGrupos> nombres;

    int Filas() const { return static_cast<int>(etiquetas.size()); }
    int Columnas() const { return static_cast<int>(columnas.size()); }
    // Sets the shape; new cells are 0.
    void Dimensionar(int filas, int columnas);
    void PonerACero();
    // A cell as the report prints it: "." as decimal mark, no grouping.
    QString TextoValor(int fila, int columna) const;
};

// How the second chart and the pivot are bound to the grid recordset.
struct ConfiguracionVistas {
    QString filtro = QStringLiteral("BASE");
    std::array<QString, kNiveles> categorias;     // named grouping columns; empty for a level without name
    std::array<QString, kCasillasTotal> valores;  // tag of each ticked total; empty when not ticked
};

ConfiguracionVistas VistasDeCarga(const std::array<QString, kNiveles>& titulos,
                                  const std::array<bool, kCasillasTotal>& totales);

// Captions of the ticked totals, in box order: the chart's columns.
QStringList ColumnasDeTotales(const std::array<bool, kCasillasTotal>& totales);

// Rounds as the amount format does: to four decimals first, then to `decimales`,
// halves away from zero.
double Redondear(double valor, int decimales);

// Value of one total from a group's absolute quantity, cost and sales.
double ValorTotal(int indiceTotal, double consumo, double costo, double venta);

// Fills the chart model record by record. Rows 1..N are the first N records;
// every later record is folded into row N+1.
class PlegadoTop {
  public:
    PlegadoTop(ModeloGrafico& modelo, int top, qint64 registros,
               const std::array<bool, kCasillasTotal>& totales, const QString& etiquetaOtros);
    // `posicion` counts from 1. Amounts as the chart query returns them (any sign).
    void Agregar(qint64 posicion, const QString& grupo1, const QString& grupo2, const QString& grupo3,
                 double consumo, double costo, double venta);
    bool Plegado(qint64 posicion) const { return posicion > top_; }

  private:
    ModeloGrafico& modelo_;
    int top_;
    std::array<bool, kCasillasTotal> totales_;
    QString etiquetaOtros_;
    // Remainder row: the sums of the folded groups' rounded values.
    std::array<double, kCasillasTotal> sumas_{};
    double sumaCosto_ = 0;
    double sumaVenta_ = 0;
};

// Row label of a group: grupo1 and grupo2 trimmed, grupo3 as stored, joined by blanks.
QString EtiquetaGrupo(const QString& grupo1, const QString& grupo2, const QString& grupo3);

inline constexpr const char* kMensajeSinDatos = "No se encontraron datos!!!";
inline constexpr const char* kTituloProgresoInicio = "Creando gráfico";
inline constexpr const char* kTituloProgreso = "Creando Gráfico";
inline constexpr const char* kMensajeProgreso = "Espere por favor";

struct ResultadoCarga {
    bool rechazada = false;  // the input was refused; nothing was loaded
    bool sinDatos = false;
    bool cancelada = false;
    bool abandonada = false;  // left on an error answer
    bool fallida = false;     // the server refused the chart query
    QString consultaGrafico;
    QString consultaGrilla;
    ConfiguracionVistas vistas;
};

// Runs a load on the store connection. `grafico` is the chart (zeroed first and
// refilled); `grilla` receives the open grid recordset.
ResultadoCarga CargarEstadistica(kv::db::DB_Dll& almacen, const EntradaCarga& entrada, ModeloGrafico& grafico,
                                 kv::db::Recordset& grilla);

}  // namespace kv::stats
