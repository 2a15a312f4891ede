#pragma once
// The caption painter of the side panels' title strips: a vertical colour
// gradient from StartColor at the bottom to EndColor at the top, painted in
// bands, and the caption turned 90 degrees, reading from bottom to top along
// the left edge. Any failure ends the drawing silently.

#include <QColor>
#include <QPointer>
#include <QString>
#include <array>

#include "ui/SuperficieDibujo.h"

namespace kv::ui {

class cLogo {
  public:
    // Colour values as the original platform wrote them: 0x00BBGGRR, or a
    // system colour 0x800000nn.
    static constexpr quint32 kColorCaraBoton = 0x8000000F;

    cLogo();

    QString Caption() const { return caption_; }
    void Caption(const QString& texto) { caption_ = texto; }
    SuperficieDibujo* DrawingObject() const { return superficie_; }
    void DrawingObject(SuperficieDibujo* superficie) { superficie_ = superficie; }

    quint32 StartColor() const { return inicio_; }
    void StartColor(quint32 color);
    quint32 EndColor() const { return fin_; }
    void EndColor(quint32 color);

    void Draw();

    // The translation of a colour value to red, green and blue (system colours
    // take the current palette's colour).
    static std::array<int, 3> TraducirColor(quint32 color);
    // Screen twips per pixel, vertically.
    static int TwipsPorPixelY();
    // Number of times Draw ran (for the "does not repaint" checks).
    int Dibujos() const { return dibujos_; }

  private:
    QString caption_;
    QPointer<SuperficieDibujo> superficie_;
    quint32 inicio_ = 0;
    quint32 fin_ = 0;
    std::array<int, 3> rgbInicio_{};
    std::array<int, 3> rgbFin_{};
    int dibujos_ = 0;
};

}  // namespace kv::ui
