#pragma once
// Our own pivot over the grid recordset: the company column as the filter, the
// named grouping columns as nested rows, the ticked totals as data. Every node
// holds the exact sums (ten-thousandths) of quantity, cost, sales and profit of
// its rows; the two profit percentages of a group, a subtotal or the grand
// total are computed from those sums, never summed or averaged.

#include <QString>
#include <QStringList>
#include <array>
#include <memory>
#include <vector>

#include "ui/DatosGrilla.h"
#include "ui/Formatos.h"

namespace kv::ui {

class TablaDinamica {
  public:
    enum class Medida { Consumo, Costo, Venta, Utilidad, PorcCosto, PorcVenta };

    struct Nodo {
        QString etiqueta;   // trimmed value of its level, with its name ("Total general" for the root)
        QString codigo;     // the trimmed value itself
        int nivel = -1;     // 0.. for groups, -1 for the grand total
        int aparicion = 0;  // order of first appearance in the recordset
        std::array<qint64, 4> sumas{};  // Consumo, Costo, Venta, Utilidad in ten-thousandths
        qint64 filas = 0;               // recordset rows folded into the node
        std::vector<std::unique_ptr<Nodo>> hijos;
        Nodo* padre = nullptr;

        int Fila() const;  // index among its parent's children
    };

    TablaDinamica();

    // Takes the loaded data and its field placement; shows every company.
    void Vincular(std::shared_ptr<const DatosGrilla> datos);
    const std::shared_ptr<const DatosGrilla>& Datos() const { return datos_; }

    QString CampoFiltro() const;               // "BASE"
    QStringList ValoresFiltro() const;         // the companies present, in their order
    void Filtrar(const QStringList& valores);  // empty: every company
    const QStringList& Filtro() const { return filtro_; }

    QStringList CamposFila() const { return camposFila_; }  // named grouping columns
    int Niveles() const { return static_cast<int>(camposFila_.size()); }
    QStringList CamposDatos() const { return camposDatos_; }  // tags of the ticked totals
    QStringList TitulosDatos() const;                         // their captions
    int CantidadDatos() const { return static_cast<int>(medidas_.size()); }
    Medida MedidaDato(int dato) const { return medidas_.at(static_cast<size_t>(dato)); }
    Familia FamiliaDato(int dato) const;

    const Nodo& Raiz() const { return *raiz_; }
    double Valor(const Nodo& nodo, int dato) const;
    static double ValorMedida(const Nodo& nodo, Medida medida);
    QString Texto(const Nodo& nodo, int dato) const;

    // Sorts every level: column 0 by the labels (Spanish order), column k by data field k-1;
    // ties keep the recordset's order. Recordset order again with column -1.
    void Ordenar(int columna, bool ascendente);
    int ColumnaOrden() const { return columnaOrden_; }
    bool OrdenAscendente() const { return ascendente_; }

    // Depth-first list of the nodes under the root (the root itself not included).
    std::vector<const Nodo*> Recorrido() const;
    // The deepest groups in display order.
    std::vector<const Nodo*> Hojas() const;

  private:
    void Construir();
    void OrdenarNodo(Nodo& nodo);

    std::shared_ptr<const DatosGrilla> datos_;
    QStringList camposFila_;
    QStringList camposDatos_;
    std::vector<Medida> medidas_;
    QStringList filtro_;
    int columnaOrden_ = -1;
    bool ascendente_ = true;
    std::unique_ptr<Nodo> raiz_;
};

inline constexpr const char* kTituloTotalGeneral = "Total general";
inline constexpr const char* kEtiquetaVacia = "(vacío)";

}  // namespace kv::ui
