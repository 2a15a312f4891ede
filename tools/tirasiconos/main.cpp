// Makes the action toolbar's icon strips: eight 32x32 images side by side, in
// button order, on the magenta that the toolbar turns transparent. One strip
// per skin, each with its own tint.
//
//   generar_tiras CARPETA_SALIDA nuevo.png borrar.png reporte.png consultar.png
//                 planilla.png cancelar.png grabar.png cerrar.png
#include <QColor>
#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>

namespace {

struct Variante {
    const char* archivo;
    QColor tinte;  // invalid: the original colours
    double fuerza;
    bool gris;
};

QImage Preparar(const QImage& origen, const Variante& v) {
    QImage icono = origen.convertToFormat(QImage::Format_ARGB32)
                       .scaled(32, 32, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QImage salida(32, 32, QImage::Format_RGB32);
    const QColor fondo(0xEF, 0xEF, 0xEF);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            QColor c = icono.pixelColor(x, y);
            if (c.alpha() < 24) {
                salida.setPixelColor(x, y, QColor(255, 0, 255));
                continue;
            }
            if (v.gris) {
                const int l = qGray(c.rgb());
                c = QColor(l, l, l, c.alpha());
            }
            if (v.tinte.isValid()) {
                const double f = v.fuerza;
                c = QColor(int(c.red() * (1 - f) + v.tinte.red() * f),
                           int(c.green() * (1 - f) + v.tinte.green() * f),
                           int(c.blue() * (1 - f) + v.tinte.blue() * f), c.alpha());
            }
            const double a = c.alphaF();
            QColor mezcla(int(c.red() * a + fondo.red() * (1 - a)),
                          int(c.green() * a + fondo.green() * (1 - a)),
                          int(c.blue() * a + fondo.blue() * (1 - a)));
            // Never the transparent key itself.
            if (mezcla == QColor(255, 0, 255)) mezcla = QColor(254, 0, 254);
            salida.setPixelColor(x, y, mezcla);
        }
    }
    return salida;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 10) {
        std::fputs("Uso: generar_tiras CARPETA_SALIDA y las ocho imágenes en el orden de los botones\n",
                   stderr);
        return 2;
    }
    std::vector<QImage> iconos;
    for (int i = 2; i < argc; ++i) {
        QImage imagen(QString::fromLocal8Bit(argv[i]));
        if (imagen.isNull()) {
            std::fprintf(stderr, "No se pudo leer %s\n", argv[i]);
            return 1;
        }
        iconos.push_back(imagen);
    }
    const Variante variantes[] = {
        {"ABM2021.bmp", QColor(), 0, false},
        {"ABM2021B.bmp", QColor(40, 90, 200), 0.35, false},
        {"ABM2021M.bmp", QColor(150, 150, 160), 0.30, true},
        {"ABM2021V.bmp", QColor(40, 150, 70), 0.35, false},
        {"ABM2021i.bmp", QColor(90, 90, 90), 0.15, true},
    };
    const QString carpeta = QString::fromLocal8Bit(argv[1]);
    for (const Variante& v : variantes) {
        QImage tira(32 * 8, 32, QImage::Format_RGB32);
        QPainter pintor(&tira);
        for (int i = 0; i < 8; ++i) pintor.drawImage(32 * i, 0, Preparar(iconos[static_cast<size_t>(i)], v));
        pintor.end();
        const QString destino = carpeta + QStringLiteral("/") + QString::fromLatin1(v.archivo);
        if (!tira.save(destino, "BMP")) {
            std::fprintf(stderr, "No se pudo escribir %s\n", destino.toLocal8Bit().constData());
            return 1;
        }
        std::printf("%s\n", destino.toLocal8Bit().constData());
    }
    return 0;
}
