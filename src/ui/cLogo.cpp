#include "ui/cLogo.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <QScreen>
#include <algorithm>
#include <cmath>

#include "ui/SuperficieDibujo.h"

namespace kv::ui {

namespace {

QColor ColorDeSistema(int indice) {
    const QPalette paleta = QApplication::palette();
    switch (indice) {
        case 0x05:  // window
            return paleta.color(QPalette::Base);
        case 0x06:  // window frame
        case 0x08:  // window text
            return paleta.color(QPalette::WindowText);
        case 0x0D:  // highlight
            return paleta.color(QPalette::Highlight);
        case 0x0E:  // highlight text
            return paleta.color(QPalette::HighlightedText);
        case 0x10:  // button shadow
            return paleta.color(QPalette::Mid);
        case 0x12:  // button text
            return paleta.color(QPalette::ButtonText);
        case 0x14:  // button highlight
            return paleta.color(QPalette::Light);
        case 0x0F:  // button face
        default:
            return paleta.color(QPalette::Button);
    }
}

}  // namespace

cLogo::cLogo() : inicio_(0), fin_(kColorCaraBoton) {
    rgbInicio_ = TraducirColor(inicio_);
    rgbFin_ = TraducirColor(fin_);
}

std::array<int, 3> cLogo::TraducirColor(quint32 color) {
    if ((color & 0xFF000000u) == 0x80000000u) {
        const QColor c = ColorDeSistema(static_cast<int>(color & 0xFFu));
        return {c.red(), c.green(), c.blue()};
    }
    return {static_cast<int>(color & 0xFFu), static_cast<int>((color >> 8) & 0xFFu),
            static_cast<int>((color >> 16) & 0xFFu)};
}

int cLogo::TwipsPorPixelY() {
    double dpi = 96;
    if (const QScreen* pantalla = QGuiApplication::primaryScreen()) dpi = pantalla->logicalDotsPerInchY();
    const int factor = static_cast<int>(1440.0 / (dpi > 0 ? dpi : 96));
    return factor > 0 ? factor : 1;
}

void cLogo::StartColor(quint32 color) {
    if (color == inicio_) return;
    inicio_ = color;
    rgbInicio_ = TraducirColor(color);
    if (superficie_) Draw();
}

void cLogo::EndColor(quint32 color) {
    if (color == fin_) return;
    fin_ = color;
    rgbFin_ = TraducirColor(color);
    if (superficie_) Draw();
}

void cLogo::Draw() {
    ++dibujos_;
    if (!superficie_) return;
    superficie_->AjustarImagen();
    QImage& imagen = superficie_->Imagen();
    if (imagen.isNull()) return;
    // The surface's size in twips, back to pixels with the vertical factor (both).
    const int tpp = TwipsPorPixelY();
    const int altoTwips = superficie_->height() * tpp;
    const int anchoTwips = superficie_->width() * tpp;
    const int alto = altoTwips / tpp;
    const int ancho = anchoTwips / tpp;
    if (alto <= 0 || ancho <= 0) return;
    int paso = alto / 255;
    if (paso == 0) paso = 1;
    const int dR = rgbFin_[0] - rgbInicio_[0];
    const int dG = rgbFin_[1] - rgbInicio_[1];
    const int dB = rgbFin_[2] - rgbInicio_[2];
    int r = rgbInicio_[0], g = rgbInicio_[1], b = rgbInicio_[2];

    QPainter pintor(&imagen);
    int abajo = alto;
    for (int y = alto; y >= 0; y -= paso) {
        const int arriba = abajo - paso;
        pintor.fillRect(QRect(0, arriba, ancho, abajo - arriba), QColor(r, g, b));
        abajo = arriba;
        const double d = alto - y;
        r = static_cast<int>(std::nearbyint(d * dR / alto + rgbInicio_[0]));
        g = static_cast<int>(std::nearbyint(d * dG / alto + rgbInicio_[1]));
        b = static_cast<int>(std::nearbyint(d * dB / alto + rgbInicio_[2]));
    }

    // The caption, turned 90 degrees: its start 16 pixels above the bottom.
    QFont fuente = superficie_->font();
    if (fuente.family().size() > 33) {
        pintor.end();
        superficie_->Refrescar();
        return;
    }
    double dpiY = 96;
    if (const QScreen* pantalla = QGuiApplication::primaryScreen()) dpiY = pantalla->logicalDotsPerInchY();
    const double puntos = fuente.pointSizeF() > 0 ? fuente.pointSizeF() : 8.0;
    fuente.setPixelSize(std::max(1, static_cast<int>(std::lround(puntos * dpiY / 72.0))));
    fuente.setWeight(fuente.bold() ? QFont::Bold : QFont::Normal);
    pintor.setFont(fuente);
    const QFontMetrics medidas(fuente);
    // Readable over the band it crosses: light text on a dark band, dark on a light one.
    const int palabra = medidas.horizontalAdvance(caption_.trimmed());
    const int yTexto =
        std::clamp(alto - 16 - (medidas.horizontalAdvance(caption_) - palabra / 2), 0, alto - 1);
    const QColor fondo = imagen.pixelColor(std::min(ancho - 1, medidas.height() / 2), yTexto);
    pintor.setPen(fondo.lightness() < 128 ? QColor(Qt::white) : QColor(Qt::black));
    pintor.translate(0, alto - 16);
    pintor.rotate(-90);
    pintor.drawText(QRect(0, 0, medidas.horizontalAdvance(caption_) + 1, medidas.height()),
                    Qt::AlignLeft | Qt::AlignTop, caption_);
    pintor.end();
    superficie_->Refrescar();
}

}  // namespace kv::ui
