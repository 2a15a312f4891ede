#include "ui/Formatos.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>

namespace kv::ui {

namespace {
double PuntosPorPulgada(const QWidget* widget) {
    if (widget) return widget->logicalDpiX();
    if (const QScreen* pantalla = QGuiApplication::primaryScreen()) return pantalla->logicalDotsPerInchX();
    return 96.0;
}
}  // namespace

int TwipsAPixeles(int twips, const QWidget* widget) {
    return static_cast<int>(std::lround(twips * PuntosPorPulgada(widget) / 1440.0));
}

int PixelesATwips(int pixeles, const QWidget* widget) {
    return static_cast<int>(std::lround(pixeles * 1440.0 / PuntosPorPulgada(widget)));
}

}  // namespace kv::ui
