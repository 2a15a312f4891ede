#include "ui/Grilla.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <algorithm>

#include "stats/Exportacion.h"
#include "ui/Formatos.h"

namespace kv::ui {

ModeloGrilla::ModeloGrilla(QObject* padre) : QAbstractTableModel(padre) {}

void ModeloGrilla::Vincular(std::shared_ptr<const DatosGrilla> datos) {
    beginResetModel();
    datos_ = std::move(datos);
    numericas_.clear();
    if (datos_)
        for (int c = 0; c < static_cast<int>(datos_->columnas.size()); ++c)
            numericas_.push_back(datos_->EsNumerica(c));
    endResetModel();
}

int ModeloGrilla::rowCount(const QModelIndex& padre) const {
    if (padre.isValid() || !datos_) return 0;
    return static_cast<int>(datos_->filas.size());
}

int ModeloGrilla::columnCount(const QModelIndex& padre) const {
    if (padre.isValid() || !datos_) return 0;
    return static_cast<int>(datos_->columnas.size());
}

QVariant ModeloGrilla::data(const QModelIndex& indice, int rol) const {
    if (!datos_ || !indice.isValid()) return QVariant();
    const auto& fila = datos_->filas.at(static_cast<size_t>(indice.row()));
    if (static_cast<size_t>(indice.column()) >= fila.size()) return QVariant();
    const QVariant& valor = fila[static_cast<size_t>(indice.column())];
    const bool numerica = numericas_.at(static_cast<size_t>(indice.column()));
    switch (rol) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            return kv::stats::TextoVisibleCelda(*datos_, indice.row(), indice.column());
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(numerica ? (Qt::AlignRight | Qt::AlignVCenter)
                                                : (Qt::AlignLeft | Qt::AlignVCenter));
        case kRolTextoExportado:
            return kv::stats::TextoCeldaGrilla(valor,
                                               datos_->columnas[static_cast<size_t>(indice.column())].tipo);
        case kRolNumero:
            return numerica && !valor.isNull() ? QVariant(valor.toDouble()) : QVariant();
        default:
            return QVariant();
    }
}

QVariant ModeloGrilla::headerData(int seccion, Qt::Orientation orientacion, int rol) const {
    if (orientacion == Qt::Horizontal && datos_ && seccion >= 0 &&
        seccion < static_cast<int>(datos_->columnas.size()) &&
        (rol == Qt::DisplayRole || rol == Qt::ToolTipRole))
        return kv::stats::TituloColumnaGrilla(datos_->columnas[static_cast<size_t>(seccion)].nombre);
    if (orientacion == Qt::Horizontal && datos_ && seccion >= 0 &&
        seccion < static_cast<int>(datos_->columnas.size()) && rol == kRolTextoExportado)
        return datos_->columnas[static_cast<size_t>(seccion)].nombre;
    if (orientacion == Qt::Vertical && rol == Qt::DisplayRole) return seccion + 1;
    return QAbstractTableModel::headerData(seccion, orientacion, rol);
}

Qt::ItemFlags ModeloGrilla::flags(const QModelIndex& indice) const {
    if (!indice.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;  // never editable
}

VistaGrilla::VistaGrilla(QWidget* padre) : QTableView(padre), modelo_(new ModeloGrilla(this)) {
    setObjectName(QStringLiteral("MSFlexGrid1"));
    setModel(modelo_);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setAlternatingRowColors(true);
    setWordWrap(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
}

void VistaGrilla::Vincular(std::shared_ptr<const DatosGrilla> datos) {
    modelo_->Vincular(std::move(datos));
    // 1500 twips each, and wider where the caption or a cell would not fit, so no
    // text is cut (the widths look at the first rows only, as the header's own
    // sizing does; every cell gives its whole text in its tooltip).
    const int ancho = TwipsAPixeles(kAnchoColumnaGrilla, this);
    for (int c = 0; c < modelo_->columnCount(); ++c)
        setColumnWidth(c, std::max({ancho, horizontalHeader()->sectionSizeHint(c), sizeHintForColumn(c)}));
}

QString VistaGrilla::TextoSeleccion() const {
    QModelIndexList indices = selectionModel() ? selectionModel()->selectedIndexes() : QModelIndexList();
    int fila0 = 0, fila1 = modelo_->rowCount() - 1, col0 = 0, col1 = modelo_->columnCount() - 1;
    if (!indices.isEmpty()) {
        fila0 = fila1 = indices.front().row();
        col0 = col1 = indices.front().column();
        for (const QModelIndex& i : indices) {
            fila0 = std::min(fila0, i.row());
            fila1 = std::max(fila1, i.row());
            col0 = std::min(col0, i.column());
            col1 = std::max(col1, i.column());
        }
    }
    // As the export writes them: the captions of the columns copied, then each
    // cell's text as the grid shows it, so a spreadsheet reads what the user saw.
    QStringList titulos;
    for (int c = col0; c <= col1; ++c)
        titulos << modelo_->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
    QString texto = titulos.join(QLatin1Char('\t')) + QLatin1Char('\n');
    for (int f = fila0; f <= fila1; ++f) {
        QStringList celdas;
        for (int c = col0; c <= col1; ++c) celdas << modelo_->index(f, c).data(Qt::DisplayRole).toString();
        texto += celdas.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    return texto;
}

void VistaGrilla::keyPressEvent(QKeyEvent* evento) {
    if (evento->matches(QKeySequence::Copy)) {
        QApplication::clipboard()->setText(TextoSeleccion());
        return;
    }
    QTableView::keyPressEvent(evento);
}

}  // namespace kv::ui
