#pragma once
// The rows of a list lookup, built once from the statement's result and
// searched in memory. Rows are handed to the view in pages, so a result of a
// hundred thousand rows opens as fast as one of a hundred.

#include <QAbstractTableModel>
#include <QColor>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace kv::db {
class DB_Dll;
}

namespace kv::lookup {

struct ColumnaConsulta {
    QString nombre;
    int tipo = 0;    // ADO type code
    int tamano = 0;  // defined size, 0 unknown
    bool numerica = false;
};

struct FilaConsulta {
    std::vector<QString> textos;  // the first trimmed, the rest as shown in lists
    std::optional<double> puntoPedido, stock;
};

struct DatosConsulta {
    std::vector<ColumnaConsulta> columnas;
    std::vector<FilaConsulta> filas;
    // Per column, each row's text trimmed and case-folded: the search keys.
    // Built with the rows when they are read off the interface thread.
    std::vector<std::vector<QString>> plegados;
};

// Fills the search keys of every column.
void Plegar(DatosConsulta& datos);

// Runs `sentencia` on `base` and reads its rows. The server's work runs on a
// worker thread while the interface keeps drawing; a failure is retried on the
// interface thread through the database object's own error treatment. nullopt
// when the statement could not be opened.
std::optional<DatosConsulta> LeerConsulta(kv::db::DB_Dll& base, const QString& sentencia);

class ModeloConsulta : public QAbstractTableModel {
    Q_OBJECT
  public:
    static constexpr int kPagina = 2000;

    explicit ModeloConsulta(QObject* padre = nullptr);

    void Poner(DatosConsulta datos, bool marcas);
    void Vaciar();

    int rowCount(const QModelIndex& padre = QModelIndex()) const override;
    int columnCount(const QModelIndex& padre = QModelIndex()) const override;
    QVariant data(const QModelIndex& indice, int rol = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& indice, const QVariant& valor, int rol = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& indice) const override;
    QVariant headerData(int seccion, Qt::Orientation orientacion, int rol = Qt::DisplayRole) const override;
    bool setHeaderData(int seccion, Qt::Orientation orientacion, const QVariant& valor,
                       int rol = Qt::EditRole) override;
    void sort(int columna, Qt::SortOrder orden = Qt::AscendingOrder) override;
    bool canFetchMore(const QModelIndex& padre) const override;
    void fetchMore(const QModelIndex& padre) override;

    // Every row, also those the view has not been handed yet.
    int Filas() const { return static_cast<int>(orden_.size()); }
    int Columnas() const { return static_cast<int>(columnas_.size()); }
    const ColumnaConsulta& Columna(int c) const { return columnas_.at(static_cast<size_t>(c)); }
    // Text of a row (in the list's order) in a column.
    QString Texto(int fila, int columna) const;
    void PonerTexto(int fila, int columna, const QString& texto);
    bool Marcada(int fila) const;
    void Marcar(int fila, bool marcada);
    void InvertirMarcas();
    void PonerColor(int fila, const QColor& color);
    const FilaConsulta& Fila(int fila) const;
    // Makes sure the view has been handed the row.
    void Exponer(int fila);

    // First row whose text in `columna`, trimmed, begins with `valor` trimmed,
    // letter case ignored; -1 when none.
    int Buscar(int columna, const QString& valor) const;

  private:
    const std::vector<QString>& Plegados(int columna) const;

    std::vector<ColumnaConsulta> columnas_;
    std::vector<FilaConsulta> filas_;
    std::vector<int> orden_;  // list row -> data row
    std::vector<Qt::CheckState> marcas_;
    std::vector<QColor> colores_;
    bool conMarcas_ = false;
    int expuestas_ = 0;
    mutable std::vector<std::vector<QString>> plegados_;  // per column, built on first search
};

}  // namespace kv::lookup
