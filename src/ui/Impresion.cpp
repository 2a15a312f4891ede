#include "ui/Impresion.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

#include "ui/ArchivoGif.h"
#include "ui/GraficoEmpresas.h"
#include "ui/GraficoPrincipal.h"
#include "ui/ImpresionPaginas.h"
#include "util/Interaccion.h"
#include "util/UtilGeneral.h"
#include "util/UtilSistema.h"

namespace kv::ui {

namespace {

ElectorImpresora& Elector() {
    static ElectorImpresora elector;
    return elector;
}

bool Preguntar() {
    return interaccion().Mensaje(QString::fromUtf8(kPreguntaImprimir), estilo::SiNo + estilo::Pregunta,
                                 QString::fromUtf8(kTituloImprimir)) == respuesta::Si;
}

void Avisar(const QString& texto) {
    interaccion().Mensaje(texto, estilo::Exclamacion, QString::fromUtf8(kTituloAvisoImpresion));
}

}  // namespace

ElectorImpresora EstablecerElectorImpresora(ElectorImpresora elector) {
    ElectorImpresora anterior = std::move(Elector());
    Elector() = std::move(elector);
    return anterior;
}

bool ElegirImpresora(QPrinter& impresora) {
    if (Elector()) return Elector()(impresora);
    QPrintDialog dialogo(&impresora, QApplication::activeWindow());
    dialogo.setWindowTitle(QStringLiteral("Imprimir gráfico"));
    return dialogo.exec() == QDialog::Accepted;
}

QString CarpetaTemp() {
    const QString carpeta = kv::UtilGeneral::NormalizarCarpeta(qEnvironmentVariable("TEMP"));
    return carpeta.isEmpty() ? kv::UtilSistema::CarpetaTemporal() : carpeta;
}

QString ArchivoGraficoTemporal() { return CarpetaTemp() + QString::fromLatin1(kArchivoGrafico); }

bool ImprimirImagen(const QImage& imagen, QPrinter& impresora, const QWidget* pantalla) {
    if (imagen.isNull()) return false;
    QPainter pintor;
    if (!pintor.begin(&impresora)) return false;
    // The picture keeps its size on screen, in inches; a bigger one is shrunk to the page.
    const double dpiPantalla = pantalla ? pantalla->logicalDpiX() : 96.0;
    const double escala = impresora.resolution() / dpiPantalla;
    QSizeF tamano(imagen.width() * escala, imagen.height() * escala);
    const QRectF pagina = impresora.pageLayout().paintRectPixels(impresora.resolution());
    if (tamano.width() > pagina.width() || tamano.height() > pagina.height())
        tamano.scale(pagina.size(), Qt::KeepAspectRatio);
    pintor.setRenderHint(QPainter::SmoothPixmapTransform);
    pintor.drawImage(QRectF(QPointF(0, 0), tamano), imagen);
    return pintor.end();
}

bool ImprimirGraficoPrincipal(GraficoPrincipal& grafico, const QStringList& encabezado) {
    if (!Preguntar()) return false;
    const QImage imagen = grafico.Imagen();
    QApplication::clipboard()->setImage(imagen);
    QPrinter impresora(QPrinter::HighResolution);
    impresora.setDocName(encabezado.value(0, QStringLiteral("Gráfico")));
    if (!ElegirImpresora(impresora)) return false;
    if (DibujarPaginas(impresora, grafico.Datos(), encabezado) == 0) {
        Avisar(QStringLiteral("No se pudo imprimir el gráfico."));
        return false;
    }
    return true;
}

bool ImprimirGraficoEmpresas(GraficoEmpresas& grafico, const QStringList& encabezado) {
    if (!Preguntar()) return false;
    QPrinter impresora(QPrinter::HighResolution);
    impresora.setDocName(encabezado.value(0, QStringLiteral("Gráfico")));
    if (!ElegirImpresora(impresora)) return false;
    const QString archivo = ArchivoGraficoTemporal();
    QString error;
    if (!GrabarGif(grafico.Imagen(), archivo, &error)) {
        Avisar(QStringLiteral("No se pudo grabar \"%1\": %2").arg(QDir::toNativeSeparators(archivo), error));
        return false;
    }
    if (DibujarPaginas(impresora, grafico.DatosCompletos(), encabezado) == 0) {
        Avisar(QStringLiteral("No se pudo imprimir el gráfico."));
        return false;
    }
    return true;
}

}  // namespace kv::ui
