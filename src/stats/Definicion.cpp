#include "stats/Definicion.h"

#include <QStringList>

namespace kv::stats {

namespace {
// Leading whole number of a text, as the window's numeric reads take it ("12x" 12, "x" 0).
int NumeroInicial(const QString& texto) {
    const QString t = texto.trimmed();
    int i = 0;
    bool negativo = false;
    if (i < t.size() && (t[i] == QLatin1Char('-') || t[i] == QLatin1Char('+'))) {
        negativo = t[i] == QLatin1Char('-');
        ++i;
    }
    qint64 valor = 0;
    bool alguno = false;
    for (; i < t.size() && t[i].isDigit() && valor < 1000000; ++i) {
        valor = valor * 10 + t[i].digitValue();
        alguno = true;
    }
    if (!alguno) return 0;
    return static_cast<int>(negativo ? -valor : valor);
}
}  // namespace

int ValorPosicion(const QString& posicion) { return NumeroInicial(posicion); }

int CantidadGrupos(const std::array<bool, kFilasCatalogo>& grupos) {
    int cantidad = 0;
    for (bool g : grupos) cantidad += g ? 1 : 0;
    return cantidad;
}

QString CamposParaSentencia(const std::array<bool, kFilasCatalogo>& grupos) {
    QString campos;
    int cantidad = 0;
    const auto& catalogo = CatalogoGrupos();
    for (int i = 0; i < kFilasCatalogo; ++i) {
        if (!grupos[static_cast<size_t>(i)]) continue;
        ++cantidad;
        if (!campos.trimmed().isEmpty()) campos += QLatin1Char(',');
        campos += catalogo[static_cast<size_t>(i)].codigo;
    }
    if (cantidad == 1) campos += QLatin1String(kRellenoSentencia) + QLatin1String(kRellenoSentencia);
    if (cantidad == 2) campos += QLatin1String(kRellenoSentencia);
    return campos;
}

std::array<bool, kFilasCatalogo> GruposDesdeCampos(const QString& campos) {
    std::array<bool, kFilasCatalogo> grupos{};
    const QStringList items = campos.split(QLatin1Char(','));
    for (const QString& item : items) {
        const int indice = IndiceCatalogo(item);
        if (indice >= 0) grupos[static_cast<size_t>(indice)] = true;
    }
    return grupos;
}

std::array<QString, kNiveles> TitulosDeGrupos(const std::array<bool, kFilasCatalogo>& grupos) {
    std::array<QString, kNiveles> titulos{TituloNivelVacio(0), TituloNivelVacio(1), TituloNivelVacio(2)};
    int nivel = 0;
    for (int i = 0; i < kFilasCatalogo && nivel < kNiveles; ++i) {
        if (grupos[static_cast<size_t>(i)])
            titulos[static_cast<size_t>(nivel++)] = CatalogoGrupos()[static_cast<size_t>(i)].titulo;
    }
    return titulos;
}

bool NivelAsignado(const std::array<QString, kNiveles>& titulos, int nivel) {
    return titulos[static_cast<size_t>(nivel)].compare(TituloNivelVacio(nivel), Qt::CaseInsensitive) != 0;
}

QString CodificarOrden(const EstadoOrden& orden, bool ascendente) {
    QString texto;
    for (const CasillaOrden& casilla : orden) {
        texto += casilla.marcada ? QLatin1Char('1') : QLatin1Char('0');
        texto += casilla.posicion;
        texto += QLatin1Char('|');
    }
    texto += ascendente ? QLatin1Char('A') : QLatin1Char('D');
    return texto;
}

void DecodificarOrden(const QString& texto, EstadoOrden& orden, bool& ascendente) {
    QString resto = texto.trimmed();
    if (resto.isEmpty()) return;
    for (CasillaOrden& casilla : orden) {
        const int barra = resto.indexOf(QLatin1Char('|'));
        // A damaged text with fewer items leaves the remaining boxes unticked.
        const QString item = barra < 0 ? QString() : resto.left(barra + 1);
        casilla.marcada = !item.isEmpty() && NumeroInicial(item.left(1)) != 0;
        casilla.posicion = item.isEmpty() ? QStringLiteral("x") : item.mid(1, item.size() - 2);
        resto = resto.mid(item.size());
    }
    ascendente = resto.endsWith(QLatin1Char('A'));
}

QString CodificarTotalizadores(const std::array<bool, kCasillasTotal>& totales) {
    QString texto;
    for (bool t : totales) texto += t ? QLatin1Char('1') : QLatin1Char('0');
    return texto;
}

void DecodificarTotalizadores(const QString& texto, std::array<bool, kCasillasTotal>& totales) {
    const QString t = texto.trimmed();
    if (t.isEmpty()) return;
    for (int i = 0; i < kCasillasTotal; ++i) {
        totales[static_cast<size_t>(i)] = i < t.size() && NumeroInicial(t.mid(i, 1)) != 0;
    }
}

bool GruposCambiaron(const QString& camposCargados, const QString& camposSentencia) {
    QString antes = camposCargados;
    antes.remove(QLatin1String(kRellenoAlmacenado), Qt::CaseInsensitive);
    QString ahora = camposSentencia;
    ahora.remove(QLatin1String(kRellenoSentencia), Qt::CaseInsensitive);
    return antes.compare(ahora, Qt::CaseInsensitive) != 0;
}

void MarcarOrden(EstadoOrden& orden, int indice, bool marcar) {
    if (indice < 0 || indice >= kCasillasOrden) return;
    CasillaOrden& casilla = orden[static_cast<size_t>(indice)];
    if (casilla.marcada == marcar) return;
    casilla.marcada = marcar;
    int quitada = 0;
    if (marcar) {
        casilla.posicion.clear();
    } else {
        quitada = ValorPosicion(casilla.posicion);
        casilla.posicion = QStringLiteral("x");
    }
    int mayor = 0;
    for (CasillaOrden& otra : orden) {
        if (otra.posicion == QLatin1String("x")) continue;
        int valor = ValorPosicion(otra.posicion);
        if (!marcar && valor > quitada) {
            --valor;
            otra.posicion = QString::number(valor);
        }
        mayor = std::max(mayor, valor);
    }
    if (marcar) casilla.posicion = QString::number(mayor + 1);
}

}  // namespace kv::stats
