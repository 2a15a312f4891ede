#include "lookup/ModeloConsulta.h"

#include <QEventLoop>
#include <QFont>
#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>

#include "db/DB_Dll.h"
#include "db/Recordset.h"
#include "util/KvError.h"
#include "util/UtilGeneral.h"

namespace kv::lookup {

namespace {
bool TipoNumerico(int tipo) {
    using namespace kv::db::tipo;
    return tipo == SmallInt || tipo == Integer || tipo == Single || tipo == Double || tipo == Currency ||
           tipo == TinyInt || tipo == BigInt || tipo == Numeric;
}

std::optional<double> Numero(const QVariant& valor) {
    if (!valor.isValid() || valor.isNull()) return std::nullopt;
    bool ok = false;
    const double n = valor.toDouble(&ok);
    return ok ? std::optional<double>(n)
              : std::optional<double>(kv::UtilGeneral::TextoANumero(valor.toString()));
}

DatosConsulta Convertir(const kv::db::Recordset& rs) {
    DatosConsulta datos;
    const auto& resultado = rs.Resultado();
    int puntoPedido = -1, stock = -1;
    for (size_t c = 0; c < resultado.columnas.size(); ++c) {
        const auto& columna = resultado.columnas[c];
        datos.columnas.push_back({columna.nombre, columna.tipo, columna.tamano, TipoNumerico(columna.tipo)});
        if (columna.nombre.compare(QLatin1String("PUNTOPEDIDO"), Qt::CaseInsensitive) == 0)
            puntoPedido = static_cast<int>(c);
        if (columna.nombre.compare(QLatin1String("Stock"), Qt::CaseInsensitive) == 0)
            stock = static_cast<int>(c);
    }
    datos.filas.reserve(resultado.filas.size());
    for (const auto& fila : resultado.filas) {
        FilaConsulta f;
        f.textos.reserve(fila.size());
        for (size_t c = 0; c < fila.size(); ++c)
            f.textos.push_back(c == 0 ? kv::UtilGeneral::SinNulo(fila[c]).trimmed()
                                      : kv::UtilGeneral::TextoVisible(fila[c]));
        if (puntoPedido >= 0) f.puntoPedido = Numero(fila[static_cast<size_t>(puntoPedido)]);
        if (stock >= 0) f.stock = Numero(fila[static_cast<size_t>(stock)]);
        datos.filas.push_back(std::move(f));
    }
    return datos;
}
}  // namespace

void Plegar(DatosConsulta& datos) {
    datos.plegados.assign(datos.columnas.size(), {});
    for (size_t c = 0; c < datos.columnas.size(); ++c) {
        auto& plegados = datos.plegados[c];
        plegados.reserve(datos.filas.size());
        for (const FilaConsulta& f : datos.filas)
            plegados.push_back(c < f.textos.size() ? f.textos[c].trimmed().toCaseFolded() : QString());
    }
}

std::optional<DatosConsulta> LeerConsulta(kv::db::DB_Dll& base, const QString& sentencia) {
    // The statement as the database object would send it.
    QString texto = base.SS_TSinonimos(sentencia);
    if (base.gCnn.ConnectionString().contains(QLatin1String("ORACLE"), Qt::CaseInsensitive))
        texto = base.ORACLE_Dicc(texto);

    struct Resultado {
        std::optional<DatosConsulta> datos;
        bool fallo = false;
    };
    // The server and the conversion of the rows run on a worker thread; the
    // interface thread only waits, drawing, and takes no input meanwhile (the
    // connection is not used by anything else while the lookup is modal).
    QFutureWatcher<Resultado> vigia;
    QEventLoop espera;
    QObject::connect(&vigia, &QFutureWatcher<Resultado>::finished, &espera, &QEventLoop::quit);
    kv::db::Conexion* conexion = &base.gCnn;
    vigia.setFuture(QtConcurrent::run([conexion, texto]() -> Resultado {
        Resultado r;
        try {
            kv::db::Recordset rs;
            rs.Open(texto, conexion, 0, 1);
            r.datos = Convertir(rs);
            rs.Close();
            Plegar(*r.datos);
        } catch (...) {
            r.fallo = true;
        }
        return r;
    }));
    if (!vigia.isFinished()) espera.exec(QEventLoop::ExcludeUserInputEvents);
    Resultado r = vigia.result();
    if (!r.fallo) return std::move(r.datos);

    // Again on this thread, so the failure gets the database object's own
    // treatment (lost connection, error dialog).
    QString otra = sentencia;
    kv::db::Recordset rs;
    base.AbrirRecordset(otra, rs, nullptr, 0, 1);
    if (rs.State() == 0) return std::nullopt;
    DatosConsulta datos = Convertir(rs);
    try {
        rs.Close();
    } catch (const KvExcepcion&) {
    }
    return datos;
}

ModeloConsulta::ModeloConsulta(QObject* padre) : QAbstractTableModel(padre) {}

void ModeloConsulta::Poner(DatosConsulta datos, bool marcas) {
    beginResetModel();
    columnas_ = std::move(datos.columnas);
    filas_ = std::move(datos.filas);
    orden_.resize(filas_.size());
    for (size_t i = 0; i < orden_.size(); ++i) orden_[i] = static_cast<int>(i);
    marcas_.assign(filas_.size(), Qt::Unchecked);
    colores_.assign(filas_.size(), QColor());
    conMarcas_ = marcas;
    expuestas_ = std::min(kPagina, static_cast<int>(filas_.size()));
    plegados_ = std::move(datos.plegados);
    if (plegados_.size() != columnas_.size()) plegados_.assign(columnas_.size(), {});
    endResetModel();
}

void ModeloConsulta::Vaciar() { Poner(DatosConsulta{}, conMarcas_); }

int ModeloConsulta::rowCount(const QModelIndex& padre) const { return padre.isValid() ? 0 : expuestas_; }

int ModeloConsulta::columnCount(const QModelIndex& padre) const {
    return padre.isValid() ? 0 : static_cast<int>(columnas_.size());
}

QVariant ModeloConsulta::data(const QModelIndex& indice, int rol) const {
    if (!indice.isValid() || indice.row() >= Filas()) return QVariant();
    const int fila = orden_[static_cast<size_t>(indice.row())];
    switch (rol) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
        case Qt::EditRole: {
            const auto& textos = filas_[static_cast<size_t>(fila)].textos;
            const auto c = static_cast<size_t>(indice.column());
            return c < textos.size() ? textos[c] : QString();
        }
        case Qt::CheckStateRole:
            if (conMarcas_ && indice.column() == 0) return marcas_[static_cast<size_t>(fila)];
            return QVariant();
        case Qt::ForegroundRole: {
            const QColor& color = colores_[static_cast<size_t>(fila)];
            return color.isValid() ? QVariant(color) : QVariant();
        }
        case Qt::FontRole:
            if (colores_[static_cast<size_t>(fila)].isValid()) {
                QFont negrita;
                negrita.setBold(true);
                return negrita;
            }
            return QVariant();
        case Qt::TextAlignmentRole:
            if (Columna(indice.column()).numerica) return QVariant(Qt::AlignRight | Qt::AlignVCenter);
            return QVariant();
        default:
            return QVariant();
    }
}

bool ModeloConsulta::setData(const QModelIndex& indice, const QVariant& valor, int rol) {
    if (!indice.isValid() || rol != Qt::CheckStateRole || !conMarcas_ || indice.column() != 0) return false;
    Marcar(indice.row(), valor.toInt() == Qt::Checked);
    return true;
}

Qt::ItemFlags ModeloConsulta::flags(const QModelIndex& indice) const {
    if (!indice.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (conMarcas_ && indice.column() == 0) f |= Qt::ItemIsUserCheckable;
    return f;
}

QVariant ModeloConsulta::headerData(int seccion, Qt::Orientation orientacion, int rol) const {
    if (orientacion != Qt::Horizontal || seccion < 0 || seccion >= Columnas()) return QVariant();
    if (rol == Qt::DisplayRole || rol == Qt::ToolTipRole) return Columna(seccion).nombre;
    return QVariant();
}

bool ModeloConsulta::setHeaderData(int seccion, Qt::Orientation orientacion, const QVariant& valor, int rol) {
    if (orientacion != Qt::Horizontal || seccion < 0 || seccion >= Columnas() || rol != Qt::EditRole)
        return false;
    columnas_[static_cast<size_t>(seccion)].nombre = valor.toString();
    emit headerDataChanged(orientacion, seccion, seccion);
    return true;
}

void ModeloConsulta::sort(int columna, Qt::SortOrder orden) {
    if (columna < 0 || columna >= Columnas()) return;
    emit layoutAboutToBeChanged();
    const auto c = static_cast<size_t>(columna);
    const bool numerica = Columna(columna).numerica;
    std::vector<double> numeros;
    if (numerica) {
        numeros.resize(filas_.size());
        for (size_t i = 0; i < filas_.size(); ++i)
            numeros[i] =
                kv::UtilGeneral::TextoANumero(filas_[i].textos.size() > c ? filas_[i].textos[c] : QString());
    }
    const std::vector<QString>& claves = Plegados(columna);
    std::stable_sort(orden_.begin(), orden_.end(), [&](int a, int b) {
        const auto ia = static_cast<size_t>(a), ib = static_cast<size_t>(b);
        const int r = numerica ? (numeros[ia] < numeros[ib]   ? -1
                                  : numeros[ib] < numeros[ia] ? 1
                                                              : 0)
                               : QString::compare(claves[ia], claves[ib]);
        return orden == Qt::AscendingOrder ? r < 0 : r > 0;
    });
    const QModelIndexList persistentes = persistentIndexList();
    for (const QModelIndex& i : persistentes) changePersistentIndex(i, QModelIndex());
    emit layoutChanged();
}

bool ModeloConsulta::canFetchMore(const QModelIndex& padre) const {
    return !padre.isValid() && expuestas_ < Filas();
}

void ModeloConsulta::fetchMore(const QModelIndex& padre) {
    if (padre.isValid()) return;
    const int hasta = std::min(Filas(), expuestas_ + kPagina);
    if (hasta <= expuestas_) return;
    beginInsertRows(QModelIndex(), expuestas_, hasta - 1);
    expuestas_ = hasta;
    endInsertRows();
}

void ModeloConsulta::Exponer(int fila) {
    if (fila < expuestas_ || fila >= Filas()) return;
    const int hasta = std::min(Filas(), (fila / kPagina + 1) * kPagina);
    beginInsertRows(QModelIndex(), expuestas_, hasta - 1);
    expuestas_ = hasta;
    endInsertRows();
}

QString ModeloConsulta::Texto(int fila, int columna) const {
    if (fila < 0 || fila >= Filas() || columna < 0) return QString();
    const auto& textos = filas_[static_cast<size_t>(orden_[static_cast<size_t>(fila)])].textos;
    return static_cast<size_t>(columna) < textos.size() ? textos[static_cast<size_t>(columna)] : QString();
}

void ModeloConsulta::PonerTexto(int fila, int columna, const QString& texto) {
    if (fila < 0 || fila >= Filas() || columna < 0 || columna >= Columnas()) return;
    const auto d = static_cast<size_t>(orden_[static_cast<size_t>(fila)]);
    auto& textos = filas_[d].textos;
    if (textos.size() <= static_cast<size_t>(columna)) textos.resize(static_cast<size_t>(columna) + 1);
    textos[static_cast<size_t>(columna)] = texto;
    auto& plegados = plegados_[static_cast<size_t>(columna)];
    if (!plegados.empty()) plegados[d] = texto.trimmed().toCaseFolded();
    if (fila < expuestas_) emit dataChanged(index(fila, columna), index(fila, columna));
}

bool ModeloConsulta::Marcada(int fila) const {
    if (fila < 0 || fila >= Filas()) return false;
    return marcas_[static_cast<size_t>(orden_[static_cast<size_t>(fila)])] == Qt::Checked;
}

void ModeloConsulta::Marcar(int fila, bool marcada) {
    if (fila < 0 || fila >= Filas()) return;
    marcas_[static_cast<size_t>(orden_[static_cast<size_t>(fila)])] = marcada ? Qt::Checked : Qt::Unchecked;
    if (fila < expuestas_) emit dataChanged(index(fila, 0), index(fila, 0), {Qt::CheckStateRole});
}

void ModeloConsulta::InvertirMarcas() {
    for (auto& m : marcas_) m = m == Qt::Checked ? Qt::Unchecked : Qt::Checked;
    if (expuestas_ > 0) emit dataChanged(index(0, 0), index(expuestas_ - 1, 0), {Qt::CheckStateRole});
}

void ModeloConsulta::PonerColor(int fila, const QColor& color) {
    if (fila < 0 || fila >= Filas()) return;
    colores_[static_cast<size_t>(orden_[static_cast<size_t>(fila)])] = color;
}

const FilaConsulta& ModeloConsulta::Fila(int fila) const {
    return filas_.at(static_cast<size_t>(orden_.at(static_cast<size_t>(fila))));
}

const std::vector<QString>& ModeloConsulta::Plegados(int columna) const {
    auto& plegados = plegados_[static_cast<size_t>(columna)];
    if (plegados.empty() && !filas_.empty()) {
        plegados.reserve(filas_.size());
        const auto c = static_cast<size_t>(columna);
        for (const FilaConsulta& f : filas_)
            plegados.push_back(c < f.textos.size() ? f.textos[c].trimmed().toCaseFolded() : QString());
    }
    return plegados;
}

int ModeloConsulta::Buscar(int columna, const QString& valor) const {
    if (columna < 0 || columna >= Columnas()) return -1;
    const QString buscado = valor.trimmed().toCaseFolded();
    const std::vector<QString>& plegados = Plegados(columna);
    for (size_t i = 0; i < orden_.size(); ++i)
        if (plegados[static_cast<size_t>(orden_[i])].startsWith(buscado)) return static_cast<int>(i);
    return -1;
}

}  // namespace kv::lookup
