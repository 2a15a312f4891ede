#pragma once
// A picture surface: a widget that shows an image painted on it by code (the
// title strips of the side panels). The image follows the widget's size.

#include <QImage>
#include <QWidget>

namespace kv::ui {

class SuperficieDibujo : public QWidget {
    Q_OBJECT
  public:
    explicit SuperficieDibujo(QWidget* padre = nullptr);

    QImage& Imagen() { return imagen_; }
    const QImage& Imagen() const { return imagen_; }
    // Gives the image the widget's size (a hidden widget gets its resize event late).
    void AjustarImagen();
    // Shows what was painted on the image.
    void Refrescar() { update(); }

  signals:
    void ratonMovido();

  protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void enterEvent(QEnterEvent*) override;

  private:
    QImage imagen_;
};

}  // namespace kv::ui
