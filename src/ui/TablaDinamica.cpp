#include "ui/TablaDinamica.h"

#include <QCollator>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <functional>
#include <optional>

#include "stats/Catalogo.h"

namespace kv::ui {

namespace {

// Group values compare as the statistic tables do: letter case and outer blanks ignored.
QString Clave(const QString& texto) { return texto.trimmed().toCaseFolded(); }

std::optional<TablaDinamica::Medida> MedidaDeEtiqueta(const QString& etiqueta) {
    using M = TablaDinamica::Medida;
    static const std::pair<const char*, M> medidas[] = {
        {"Consumo", M::Consumo},   {"ValorCosto", M::Costo},        {"ValorVenta", M::Venta},
        {"UTILIDAD", M::Utilidad}, {"UTL_COSTOPorc", M::PorcCosto}, {"UTL_VENTAPorc", M::PorcVenta},
    };
    for (const auto& [nombre, medida] : medidas)
        if (etiqueta.trimmed().compare(QLatin1String(nombre), Qt::CaseInsensitive) == 0) return medida;
    return std::nullopt;
}

}  // namespace

int TablaDinamica::Nodo::Fila() const {
    if (!padre) return 0;
    for (size_t i = 0; i < padre->hijos.size(); ++i)
        if (padre->hijos[i].get() == this) return static_cast<int>(i);
    return 0;
}

TablaDinamica::TablaDinamica() : raiz_(std::make_unique<Nodo>()) {
    raiz_->etiqueta = QString::fromUtf8(kTituloTotalGeneral);
}

void TablaDinamica::Vincular(std::shared_ptr<const DatosGrilla> datos) {
    datos_ = std::move(datos);
    camposFila_.clear();
    camposDatos_.clear();
    medidas_.clear();
    filtro_.clear();
    columnaOrden_ = -1;
    ascendente_ = true;
    if (datos_) {
        for (const QString& categoria : datos_->vistas.categorias)
            if (!categoria.isEmpty() && datos_->Columna(categoria) >= 0) camposFila_ << categoria;
        for (const QString& valor : datos_->vistas.valores) {
            const auto medida = MedidaDeEtiqueta(valor);
            if (valor.isEmpty() || !medida) continue;
            camposDatos_ << valor;
            medidas_.push_back(*medida);
        }
    }
    Construir();
}

QString TablaDinamica::CampoFiltro() const { return datos_ ? datos_->vistas.filtro : QStringLiteral("BASE"); }

QStringList TablaDinamica::ValoresFiltro() const {
    QStringList valores;
    if (!datos_) return valores;
    const int columna = datos_->Columna(CampoFiltro());
    if (columna < 0) return valores;
    QSet<QString> vistos;
    for (const auto& fila : datos_->filas) {
        const QString valor = fila.at(static_cast<size_t>(columna)).toString().trimmed();
        if (!vistos.contains(Clave(valor))) {
            vistos.insert(Clave(valor));
            valores << valor;
        }
    }
    return valores;
}

void TablaDinamica::Filtrar(const QStringList& valores) {
    filtro_ = valores;
    Construir();
}

QStringList TablaDinamica::TitulosDatos() const {
    QStringList titulos;
    for (const QString& etiqueta : camposDatos_) {
        QString titulo = etiqueta;
        for (const auto& casilla : kv::stats::CasillasTotal())
            if (casilla.etiqueta.compare(etiqueta, Qt::CaseInsensitive) == 0) titulo = casilla.titulo;
        titulos << titulo;
    }
    return titulos;
}

Familia TablaDinamica::FamiliaDato(int dato) const {
    switch (MedidaDato(dato)) {
        case Medida::Consumo:
            return Familia::Unidades;
        case Medida::PorcCosto:
        case Medida::PorcVenta:
            return Familia::Porcentajes;
        default:
            return Familia::Importes;
    }
}

double TablaDinamica::ValorMedida(const Nodo& nodo, Medida medida) {
    const double costo = static_cast<double>(nodo.sumas[1]) / 10000.0;
    const double venta = static_cast<double>(nodo.sumas[2]) / 10000.0;
    switch (medida) {
        case Medida::Consumo:
            return static_cast<double>(nodo.sumas[0]) / 10000.0;
        case Medida::Costo:
            return costo;
        case Medida::Venta:
            return venta;
        case Medida::Utilidad:
            return static_cast<double>(nodo.sumas[3]) / 10000.0;
        case Medida::PorcCosto:
            return nodo.sumas[1] == 0 ? 100.0 : (venta - costo) / costo * 100.0;
        case Medida::PorcVenta:
            return nodo.sumas[2] == 0 ? 100.0 : (venta - costo) / venta * 100.0;
    }
    return 0.0;
}

double TablaDinamica::Valor(const Nodo& nodo, int dato) const { return ValorMedida(nodo, MedidaDato(dato)); }

QString TablaDinamica::Texto(const Nodo& nodo, int dato) const {
    const int decimales = datos_ ? datos_->decimales : 2;
    switch (MedidaDato(dato)) {
        case Medida::Consumo:
            return TextoImporte(nodo.sumas[0], decimales);
        case Medida::Costo:
            return TextoImporte(nodo.sumas[1], decimales);
        case Medida::Venta:
            return TextoImporte(nodo.sumas[2], decimales);
        case Medida::Utilidad:
            return TextoImporte(nodo.sumas[3], decimales);
        default:
            return TextoSegunFamilia(Valor(nodo, dato), Familia::Porcentajes, decimales);
    }
}

void TablaDinamica::Construir() {
    raiz_ = std::make_unique<Nodo>();
    raiz_->etiqueta = QString::fromUtf8(kTituloTotalGeneral);
    if (!datos_) return;
    const int columnaFiltro = datos_->Columna(CampoFiltro());
    std::vector<int> columnasFila;
    for (const QString& campo : camposFila_) columnasFila.push_back(datos_->Columna(campo));
    const std::array<int, 4> columnasSuma{
        datos_->Columna(QStringLiteral("CONSUMO")), datos_->Columna(QStringLiteral("VALORCOSTO")),
        datos_->Columna(QStringLiteral("VALORVENTA")), datos_->Columna(QStringLiteral("UTILIDAD"))};
    QSet<QString> filtro;
    for (const QString& valor : filtro_) filtro.insert(Clave(valor));

    // One index per parent node from a child's key to the child.
    QHash<const Nodo*, QHash<QString, Nodo*>> indices;
    int aparicion = 0;
    for (const auto& fila : datos_->filas) {
        if (!filtro.isEmpty() &&
            (columnaFiltro < 0 ||
             !filtro.contains(Clave(fila.at(static_cast<size_t>(columnaFiltro)).toString()))))
            continue;
        std::array<qint64, 4> sumas{};
        for (size_t i = 0; i < 3; ++i)
            if (columnasSuma[i] >= 0)
                sumas[i] = Diezmilesimas(fila.at(static_cast<size_t>(columnasSuma[i])).toDouble());
        sumas[3] = columnasSuma[3] >= 0
                       ? Diezmilesimas(fila.at(static_cast<size_t>(columnasSuma[3])).toDouble())
                       : sumas[2] - sumas[1];
        Nodo* nodo = raiz_.get();
        auto sumar = [&](Nodo* n) {
            for (size_t i = 0; i < 4; ++i) n->sumas[i] += sumas[i];
            ++n->filas;
        };
        sumar(nodo);
        for (size_t nivel = 0; nivel < columnasFila.size(); ++nivel) {
            const QString texto = fila.at(static_cast<size_t>(columnasFila[nivel])).toString().trimmed();
            auto& indice = indices[nodo];
            Nodo*& hijo = indice[Clave(texto)];
            if (!hijo) {
                auto nuevo = std::make_unique<Nodo>();
                // The code with its name, when the load read one.
                nuevo->etiqueta = texto.isEmpty()
                                      ? QString::fromUtf8(kEtiquetaVacia)
                                      : datos_->EtiquetaDeValor(camposFila_[static_cast<int>(nivel)], texto);
                nuevo->codigo = texto;
                nuevo->nivel = static_cast<int>(nivel);
                nuevo->aparicion = aparicion++;
                nuevo->padre = nodo;
                hijo = nuevo.get();
                nodo->hijos.push_back(std::move(nuevo));
            }
            nodo = hijo;
            sumar(nodo);
        }
    }
    if (columnaOrden_ >= 0) OrdenarNodo(*raiz_);
}

void TablaDinamica::Ordenar(int columna, bool ascendente) {
    columnaOrden_ = columna;
    ascendente_ = ascendente;
    if (columna < 0) {
        Construir();
        return;
    }
    OrdenarNodo(*raiz_);
}

void TablaDinamica::OrdenarNodo(Nodo& nodo) {
    auto& hijos = nodo.hijos;
    if (columnaOrden_ == 0) {
        QCollator collator(QLocale(QLocale::Spanish, QLocale::Spain));
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        collator.setNumericMode(true);
        std::stable_sort(hijos.begin(), hijos.end(), [&](const auto& a, const auto& b) {
            const int c = collator.compare(a->etiqueta, b->etiqueta);
            return ascendente_ ? c < 0 : c > 0;
        });
    } else if (columnaOrden_ >= 1 && columnaOrden_ <= CantidadDatos()) {
        const int dato = columnaOrden_ - 1;
        std::stable_sort(hijos.begin(), hijos.end(), [&](const auto& a, const auto& b) {
            const double va = Valor(*a, dato);
            const double vb = Valor(*b, dato);
            if (va == vb) return a->aparicion < b->aparicion;
            return ascendente_ ? va < vb : va > vb;
        });
    }
    for (auto& hijo : hijos) OrdenarNodo(*hijo);
}

std::vector<const TablaDinamica::Nodo*> TablaDinamica::Recorrido() const {
    std::vector<const Nodo*> nodos;
    std::function<void(const Nodo&)> visitar = [&](const Nodo& n) {
        for (const auto& hijo : n.hijos) {
            nodos.push_back(hijo.get());
            visitar(*hijo);
        }
    };
    visitar(*raiz_);
    return nodos;
}

std::vector<const TablaDinamica::Nodo*> TablaDinamica::Hojas() const {
    std::vector<const Nodo*> hojas;
    for (const Nodo* nodo : Recorrido())
        if (nodo->hijos.empty()) hojas.push_back(nodo);
    return hojas;
}

}  // namespace kv::ui
