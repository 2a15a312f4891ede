#include "ui/ArchivoGif.h"

#include <gif_lib.h>
#include <QFile>
#include <memory>
#include <vector>

namespace kv::ui {

namespace {

QString TextoErrorGif(int codigo) {
    const char* texto = GifErrorString(codigo);
    return texto ? QString::fromLatin1(texto) : QStringLiteral("error %1").arg(codigo);
}

}  // namespace

bool GrabarGif(const QImage& imagen, const QString& archivo, QString* error) {
    if (imagen.isNull() || imagen.width() > 65535 || imagen.height() > 65535) {
        if (error) *error = QStringLiteral("imagen vacía o demasiado grande");
        return false;
    }
    // A chart has few colours: a fixed threshold keeps lines and text crisp.
    QImage indexada = imagen.convertToFormat(QImage::Format_RGB32)
                          .convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AvoidDither);
    QList<QRgb> tabla = indexada.colorTable();
    while (tabla.size() < 256) tabla << qRgb(0, 0, 0);
    std::vector<GifColorType> colores(256);
    for (int i = 0; i < 256; ++i)
        colores[static_cast<size_t>(i)] = {static_cast<GifByteType>(qRed(tabla[i])),
                                           static_cast<GifByteType>(qGreen(tabla[i])),
                                           static_cast<GifByteType>(qBlue(tabla[i]))};
    std::unique_ptr<ColorMapObject, void (*)(ColorMapObject*)> mapa(GifMakeMapObject(256, colores.data()),
                                                                    GifFreeMapObject);
    int codigo = 0;
    GifFileType* gif = EGifOpenFileName(QFile::encodeName(archivo).constData(), false, &codigo);
    if (!gif) {
        if (error) *error = TextoErrorGif(codigo);
        return false;
    }
    const int ancho = indexada.width();
    const int alto = indexada.height();
    bool bien = mapa && EGifPutScreenDesc(gif, ancho, alto, 8, 0, mapa.get()) == GIF_OK &&
                EGifPutImageDesc(gif, 0, 0, ancho, alto, false, nullptr) == GIF_OK;
    std::vector<GifPixelType> fila(static_cast<size_t>(ancho));
    for (int y = 0; bien && y < alto; ++y) {
        const uchar* origen = indexada.constScanLine(y);
        std::copy(origen, origen + ancho, fila.begin());
        bien = EGifPutLine(gif, fila.data(), ancho) == GIF_OK;
    }
    if (!bien && error) *error = TextoErrorGif(gif->Error);
    if (EGifCloseFile(gif, &codigo) != GIF_OK && bien) {
        bien = false;
        if (error) *error = TextoErrorGif(codigo);
    }
    return bien;
}

QImage LeerGif(const QString& archivo) {
    int codigo = 0;
    GifFileType* gif = DGifOpenFileName(QFile::encodeName(archivo).constData(), &codigo);
    if (!gif) return QImage();
    QImage imagen;
    if (DGifSlurp(gif) == GIF_OK && gif->ImageCount > 0) {
        const SavedImage& cuadro = gif->SavedImages[0];
        const ColorMapObject* mapa = cuadro.ImageDesc.ColorMap ? cuadro.ImageDesc.ColorMap : gif->SColorMap;
        const int ancho = cuadro.ImageDesc.Width;
        const int alto = cuadro.ImageDesc.Height;
        if (mapa && ancho > 0 && alto > 0 && !cuadro.ImageDesc.Interlace) {
            imagen = QImage(gif->SWidth, gif->SHeight, QImage::Format_RGB32);
            imagen.fill(Qt::white);
            for (int y = 0; y < alto; ++y)
                for (int x = 0; x < ancho; ++x) {
                    const int i = cuadro.RasterBits[y * ancho + x];
                    if (i >= mapa->ColorCount) continue;
                    const GifColorType& c = mapa->Colors[i];
                    const int px = cuadro.ImageDesc.Left + x;
                    const int py = cuadro.ImageDesc.Top + y;
                    if (px < imagen.width() && py < imagen.height())
                        imagen.setPixel(px, py, qRgb(c.Red, c.Green, c.Blue));
                }
        }
    }
    DGifCloseFile(gif, &codigo);
    return imagen;
}

}  // namespace kv::ui
