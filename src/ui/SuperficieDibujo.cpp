#include "ui/SuperficieDibujo.h"

#include <QPainter>

namespace kv::ui {

SuperficieDibujo::SuperficieDibujo(QWidget* padre) : QWidget(padre) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    imagen_ = QImage(QSize(1, 1), QImage::Format_RGB32);
    imagen_.fill(palette().color(QPalette::Button));
}

void SuperficieDibujo::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(0, 0, imagen_);
}

void SuperficieDibujo::resizeEvent(QResizeEvent*) { AjustarImagen(); }

void SuperficieDibujo::AjustarImagen() {
    if (imagen_.size() == size() || width() <= 0 || height() <= 0) return;
    QImage nueva(size(), QImage::Format_RGB32);
    nueva.fill(palette().color(QPalette::Button));
    QPainter p(&nueva);
    p.drawImage(0, 0, imagen_);
    p.end();
    imagen_ = nueva;
}

void SuperficieDibujo::mouseMoveEvent(QMouseEvent*) { emit ratonMovido(); }
void SuperficieDibujo::enterEvent(QEnterEvent*) { emit ratonMovido(); }

}  // namespace kv::ui
