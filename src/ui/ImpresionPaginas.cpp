#include "ui/ImpresionPaginas.h"

#include <QFile>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <cmath>

#include "stats/Impresion.h"

namespace kv::ui {

namespace {

const QColor kColores[] = {QColor(31, 119, 180), QColor(255, 127, 14),  QColor(44, 160, 44),
                           QColor(214, 39, 40),  QColor(148, 103, 189), QColor(140, 86, 75)};

QColor ColorSerie(size_t i) { return kColores[i % (sizeof(kColores) / sizeof(kColores[0]))]; }

struct Medidas {
    double ancho = 0;
    double alto = 0;
    double renglon = 0;  // height of a line of the body font
    double anchoEtiqueta = 0;
    double anchoValor = 0;  // the widest value text
    double altoEncabezado = 0;
    double altoPie = 0;
};

QString TextoCategoria(const DatosGrafico& datos, int c) {
    const QStringList partes = datos.niveles.value(c);
    return partes.isEmpty() ? datos.etiquetas.value(c) : partes.join(QLatin1Char('\n'));
}

}  // namespace

int DibujarPaginas(QPagedPaintDevice& dispositivo, const DatosGrafico& datos, const QStringList& encabezado) {
    QPainter pintor;
    if (!pintor.begin(&dispositivo)) return 0;
    pintor.setRenderHint(QPainter::Antialiasing);
    QFont cuerpo(QStringLiteral("DejaVu Sans"));
    cuerpo.setPointSizeF(8.5);
    QFont titulo = cuerpo;
    titulo.setPointSizeF(12);
    titulo.setBold(true);
    const QRectF pagina(0, 0, dispositivo.width(), dispositivo.height());

    pintor.setFont(cuerpo);
    const QFontMetricsF mc(cuerpo, &dispositivo);
    const QFontMetricsF mt(titulo, &dispositivo);
    Medidas m;
    m.ancho = pagina.width();
    m.alto = pagina.height();
    m.renglon = mc.height();
    m.anchoEtiqueta = m.ancho * 0.36;
    for (const SerieGrafico& s : datos.series)
        for (double v : s.valores)
            m.anchoValor = std::max(m.anchoValor, mc.horizontalAdvance(datos.TextoValor(s, v)));
    m.anchoValor += mc.horizontalAdvance(QStringLiteral("  "));
    // Header: the first line in the title font, the rest in the body font, then the legend.
    m.altoEncabezado =
        mt.height() * 1.3 + m.renglon * (std::max<int>(0, encabezado.size() - 1)) + m.renglon * 2.2;
    m.altoPie = m.renglon * 2;

    // Each category's height: its wrapped label or its bars, whichever is taller.
    const int series = static_cast<int>(datos.series.size());
    const double altoBarra = m.renglon * 1.05;
    std::vector<double> altos;
    for (int c = 0; c < datos.Categorias(); ++c) {
        const QRectF caja = mc.boundingRect(QRectF(0, 0, m.anchoEtiqueta, 1e6),
                                            Qt::TextWordWrap | Qt::AlignLeft, TextoCategoria(datos, c));
        altos.push_back(std::max(caja.height(), std::max(1, series) * altoBarra) + m.renglon * 0.5);
    }
    // Pages: as many categories as fit below the header.
    const double cuerpoDisponible = m.alto - m.altoEncabezado - m.altoPie;
    std::vector<std::pair<int, int>> paginas;  // first category, one past the last
    int inicio = 0;
    double usado = 0;
    for (int c = 0; c < datos.Categorias(); ++c) {
        if (c > inicio && usado + altos[static_cast<size_t>(c)] > cuerpoDisponible) {
            paginas.emplace_back(inicio, c);
            inicio = c;
            usado = 0;
        }
        usado += altos[static_cast<size_t>(c)];
    }
    paginas.emplace_back(inicio, datos.Categorias());
    const int total = static_cast<int>(paginas.size());

    // Each series is scaled to its largest group outside the remainder.
    std::vector<double> escala(static_cast<size_t>(series), 0.0);
    for (int s = 0; s < series; ++s) {
        const auto& valores = datos.series[static_cast<size_t>(s)].valores;
        for (int c = 0; c < static_cast<int>(valores.size()); ++c)
            if (c != datos.filaResto)
                escala[static_cast<size_t>(s)] =
                    std::max(escala[static_cast<size_t>(s)], std::fabs(valores[static_cast<size_t>(c)]));
        if (escala[static_cast<size_t>(s)] == 0)
            for (double v : valores)
                escala[static_cast<size_t>(s)] = std::max(escala[static_cast<size_t>(s)], std::fabs(v));
    }
    const double x0 = m.anchoEtiqueta + mc.horizontalAdvance(QStringLiteral("  "));
    const double x1 = m.ancho - m.anchoValor;
    const double largo = std::max(10.0, x1 - x0);

    for (int p = 0; p < total; ++p) {
        if (p > 0) dispositivo.newPage();
        double y = 0;
        pintor.setFont(titulo);
        pintor.setPen(Qt::black);
        pintor.drawText(QRectF(0, y, m.ancho, mt.height()), Qt::AlignLeft | Qt::AlignVCenter,
                        encabezado.value(0));
        y += mt.height() * 1.3;
        pintor.setFont(cuerpo);
        for (int i = 1; i < encabezado.size(); ++i) {
            pintor.drawText(QRectF(0, y, m.ancho, m.renglon), Qt::AlignLeft | Qt::AlignVCenter,
                            encabezado[i]);
            y += m.renglon;
        }
        // Legend: a square of each series' colour and its name.
        y += m.renglon * 0.4;
        double xl = 0;
        for (int s = 0; s < series; ++s) {
            pintor.fillRect(QRectF(xl, y + m.renglon * 0.2, m.renglon * 0.6, m.renglon * 0.6),
                            ColorSerie(static_cast<size_t>(s)));
            xl += m.renglon * 0.8;
            const QString nombre = datos.series[static_cast<size_t>(s)].nombre;
            pintor.drawText(QRectF(xl, y, m.ancho, m.renglon), Qt::AlignLeft | Qt::AlignVCenter, nombre);
            xl += mc.horizontalAdvance(nombre) + m.renglon;
        }
        y += m.renglon * 1.2;
        pintor.setPen(QPen(Qt::gray, 0));
        pintor.drawLine(QPointF(0, y), QPointF(m.ancho, y));
        y += m.renglon * 0.4;

        for (int c = paginas[static_cast<size_t>(p)].first; c < paginas[static_cast<size_t>(p)].second; ++c) {
            const double alto = altos[static_cast<size_t>(c)];
            pintor.setPen(Qt::black);
            pintor.drawText(QRectF(0, y, m.anchoEtiqueta, alto),
                            Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, TextoCategoria(datos, c));
            for (int s = 0; s < series; ++s) {
                const SerieGrafico& serie = datos.series[static_cast<size_t>(s)];
                const double v =
                    c < static_cast<int>(serie.valores.size()) ? serie.valores[static_cast<size_t>(c)] : 0.0;
                const double e = escala[static_cast<size_t>(s)];
                const double proporcion = e > 0 ? std::fabs(v) / e : 0.0;
                const bool cortada = proporcion > 1.0;
                const double yb = y + s * altoBarra;
                const QRectF barra(x0, yb + altoBarra * 0.15, largo * std::min(1.0, proporcion),
                                   altoBarra * 0.7);
                QColor color = ColorSerie(static_cast<size_t>(s));
                if (v < 0) color = color.darker(150);
                pintor.fillRect(barra, color);
                if (cortada) {
                    // The broken end: the bar goes on beyond the scale of the others.
                    const double xc = barra.right() - largo * 0.06;
                    pintor.setPen(QPen(Qt::white, altoBarra * 0.18));
                    for (double d : {0.0, altoBarra * 0.3})
                        pintor.drawLine(QPointF(xc + d, barra.bottom() + 1),
                                        QPointF(xc + d + altoBarra * 0.3, barra.top() - 1));
                }
                pintor.setPen(Qt::black);
                pintor.drawText(QRectF(x1, yb, m.anchoValor, altoBarra), Qt::AlignRight | Qt::AlignVCenter,
                                datos.TextoValor(serie, v));
            }
            y += alto;
        }
        pintor.setPen(Qt::black);
        pintor.drawText(QRectF(0, m.alto - m.renglon * 1.2, m.ancho, m.renglon),
                        Qt::AlignHCenter | Qt::AlignVCenter, kv::stats::PiePagina(p + 1, total));
    }
    pintor.end();
    return total;
}

QString GrabarPdf(const QString& archivo, const DatosGrafico& datos, const QStringList& encabezado) {
    QFile prueba(archivo);
    if (!prueba.open(QIODevice::WriteOnly)) return prueba.errorString();
    prueba.close();
    QPdfWriter escritor(archivo);
    escritor.setTitle(encabezado.value(0));
    escritor.setCreator(QStringLiteral("KV_ESTV"));
    escritor.setResolution(300);
    escritor.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                       QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter));
    if (DibujarPaginas(escritor, datos, encabezado) == 0)
        return QStringLiteral("no se pudo dibujar el documento");
    return QString();
}

}  // namespace kv::ui
