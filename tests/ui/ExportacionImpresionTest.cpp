// Grid export (dialog texts, file name rule, exact bytes, opening the file, a
// cancelled dialog) and chart printing (the question, a PDF page with the
// picture, CHART.GIF in the TEMP folder that decodes).
#include <gtest/gtest.h>

#include <gif_lib.h>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFontMetrics>
#include <QHeaderView>
#include <QFile>
#include <QPrinter>
#include <QProcess>
#include <QStandardItemModel>
#include <QTest>

#include "EntornoPresentacion.h"
#include "soporte/CarpetasTemporales.h"
#include "soporte/PuertoGuionado.h"
#include "soporte/VariableEntorno.h"
#include "ui/ArchivoGif.h"
#include "ui/ExportacionGrilla.h"
#include "ui/GraficoEmpresas.h"
#include "ui/GraficoPrincipal.h"
#include "ui/Grilla.h"
#include "ui/Impresion.h"

using kv::InteraccionGuionada;
using kv::pruebas::CarpetasTemporales;
using kv::pruebas::EntornoPresentacion;
using kv::pruebas::PuertoGuionado;
using namespace kv::ui;

namespace {

QByteArray Leer(const QString& archivo) {
    QFile f(archivo);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A 3-row grid: the header and two records, two columns.
std::shared_ptr<DatosGrilla> Grilla3x2() {
    auto datos = std::make_shared<DatosGrilla>();
    datos->columnas = {{"BASE", kv::db::tipo::VarWChar, 0, {}},
                       {"VALORVENTA", kv::db::tipo::Currency, 0, {}}};
    datos->filas = {{QString("NORTE"), 1234.5}, {QString("  "), 0.1 + 0.2}};
    return datos;
}

// Prints to a PDF file instead of asking for a printer.
class ImpresoraPdf {
  public:
    explicit ImpresoraPdf(const QString& archivo) {
        anterior_ = EstablecerElectorImpresora([archivo, this](QPrinter& p) {
            ++veces_;
            p.setOutputFormat(QPrinter::PdfFormat);
            p.setOutputFileName(archivo);
            return true;
        });
    }
    ~ImpresoraPdf() { EstablecerElectorImpresora(std::move(anterior_)); }
    int veces() const { return veces_; }

  private:
    ElectorImpresora anterior_;
    int veces_ = 0;
};

// The text of a PDF as poppler's pdftotext reads it (pages end with a form feed).
QString TextoPdf(const QString& pdf) {
    QProcess proceso;
    proceso.start("pdftotext", {"-layout", pdf, "-"});
    if (!proceso.waitForFinished(60000)) return QString();
    return QString::fromUtf8(proceso.readAllStandardOutput());
}

const QStringList kEncabezado = {QString::fromUtf8("Estadística: Vendedores y rubros"),
                                 "Meses: 1/2024 a 6/2024", "Empresas: NORTE, SUR", "Filtros: ninguno",
                                 "Impreso el 08/12/2026 10:30"};

// Every category of the chart is on the pages, with the header and the page numbers.
void EsperarPaginasCompletas(const QString& pdf, const DatosGrafico& datos) {
    const QByteArray bytes = Leer(pdf);
    ASSERT_TRUE(bytes.startsWith("%PDF")) << pdf.toStdString();
    const QString texto = TextoPdf(pdf);
    const QStringList paginas = texto.split('\f', Qt::SkipEmptyParts);
    ASSERT_GE(paginas.size(), 1);
    for (int p = 0; p < paginas.size(); ++p) {
        EXPECT_TRUE(paginas[p].contains(kEncabezado[0])) << p;
        EXPECT_TRUE(paginas[p].contains(QString::fromUtf8("página %1 de %2").arg(p + 1).arg(paginas.size())))
            << p;
    }
    const QString seguido = QString(texto).simplified();
    for (int c = 0; c < datos.Categorias(); ++c)
        for (const QString& nivel : datos.niveles.value(c))
            EXPECT_TRUE(seguido.contains(nivel.simplified())) << nivel.toStdString();
}

}  // namespace

TEST(Exportacion, NombreCortadoEnElPrimerPuntoDelNombre) {
    EXPECT_EQ(ArchivoExportacion("/home/ana/ventas"), "/home/ana/ventas.xls");
    EXPECT_EQ(ArchivoExportacion("/home/ana/ventas.2024.txt"), "/home/ana/ventas.xls");
    // A dot in a folder is not the file's: the file stays in the folder chosen.
    EXPECT_EQ(ArchivoExportacion("/home/ana/.cache/mis.datos/ventas"),
              "/home/ana/.cache/mis.datos/ventas.xls");
    EXPECT_EQ(ArchivoExportacion("/home/ana/a.b/ventas.txt"), "/home/ana/a.b/ventas.xls");
    EXPECT_EQ(ArchivoExportacion("C:\\datos.2024\\ventas.xlsx"), "C:\\datos.2024\\ventas.xls");
}

TEST(Exportacion, BytesDeUnaGrillaDeTresFilasYDosColumnas) {
    QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Argentina));
    CarpetasTemporales carpetas;
    const QString carpeta = carpetas.raiz() + "informes.2024/";
    ASSERT_TRUE(QDir().mkpath(carpeta));
    VistaGrilla grilla;
    grilla.Vincular(Grilla3x2());
    PuertoGuionado puerto;
    puerto->ResponderArchivo(carpeta + "ventas.txt");
    const QString escrito = ExportarGrilla(*grilla.Modelo());
    EXPECT_EQ(escrito, carpeta + "ventas.xls");
    // The grid's captions and texts, as a Spanish spreadsheet reads them.
    EXPECT_EQ(Leer(carpeta + "ventas.xls"),
              QByteArray("Empresa\tValor Venta\t\r\nNORTE\t1.234,50\t\r\n \t0,30\t\r\n"));
    QLocale::setDefault(QLocale::c());
    EXPECT_FALSE(QFile::exists(carpetas.raiz() + "informes.xls"));
    // The dialog's filter and title, asking for a name to save under.
    const auto archivos = puerto->Llamadas(InteraccionGuionada::Tipo::Archivo);
    ASSERT_EQ(archivos.size(), 1);
    EXPECT_EQ(archivos[0].texto, "Ingrese un nombre|*.xls");
    EXPECT_EQ(archivos[0].titulo, "Buscar Archivos");
    EXPECT_EQ(archivos[0].estilo, 1);
    // Then the file is opened with its program.
    const auto documentos = puerto->Llamadas(InteraccionGuionada::Tipo::Documento);
    ASSERT_EQ(documentos.size(), 1);
    EXPECT_EQ(documentos[0].texto, carpeta + "ventas.xls");
}

TEST(Exportacion, DialogoCanceladoNoEscribeNiAbreNada) {
    CarpetasTemporales carpetas;
    VistaGrilla grilla;
    grilla.Vincular(Grilla3x2());
    PuertoGuionado puerto;
    puerto->ResponderArchivo(QString());
    EXPECT_TRUE(ExportarGrilla(*grilla.Modelo()).isEmpty());
    EXPECT_TRUE(puerto->Llamadas(InteraccionGuionada::Tipo::Documento).isEmpty());
    EXPECT_TRUE(QDir(carpetas.raiz()).entryList({"*.xls"}, QDir::Files).isEmpty());
}

TEST(Exportacion, ArchivoQueNoSePuedeGrabarSeAvisa) {
    CarpetasTemporales carpetas;
    VistaGrilla grilla;
    grilla.Vincular(Grilla3x2());
    PuertoGuionado puerto;
    puerto->ResponderArchivo(carpetas.raiz() + "no/existe/ventas");
    puerto->ResponderMensaje(kv::respuesta::Aceptar);
    EXPECT_TRUE(ExportarGrilla(*grilla.Modelo()).isEmpty());
    ASSERT_EQ(puerto->Mensajes().size(), 1);
    EXPECT_EQ(puerto->Mensajes()[0].texto,
              "No se pudo grabar el archivo \"" + carpetas.raiz() + "no/existe/ventas.xls\".");
    EXPECT_EQ(puerto->Mensajes()[0].titulo, "Aviso al usuario");
    EXPECT_TRUE(puerto->Llamadas(InteraccionGuionada::Tipo::Documento).isEmpty());
}

TEST(Grilla, SoloLecturaNumerosALaDerechaYAnchoDeColumna) {
    QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Spain));
    VistaGrilla grilla;
    auto datos = Grilla3x2();
    datos->decimales = 2;
    grilla.Vincular(datos);
    EXPECT_EQ(grilla.objectName(), "MSFlexGrid1");
    auto* modelo = grilla.Modelo();
    EXPECT_EQ(modelo->headerData(1, Qt::Horizontal).toString(), "Valor Venta");
    EXPECT_EQ(modelo->headerData(0, Qt::Horizontal).toString(), "Empresa");
    EXPECT_EQ(modelo->index(0, 1).data().toString(), "1.234,50");
    EXPECT_EQ(modelo->index(1, 1).data().toString(), "0,30");
    EXPECT_EQ(modelo->index(0, 1).data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight, Qt::AlignRight);
    EXPECT_EQ(modelo->index(0, 0).data(Qt::TextAlignmentRole).toInt() & Qt::AlignLeft, Qt::AlignLeft);
    EXPECT_FALSE(modelo->flags(modelo->index(0, 1)) & Qt::ItemIsEditable);
    EXPECT_EQ(grilla.editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(grilla.columnWidth(0), TwipsAPixeles(1500, &grilla));
    EXPECT_EQ(grilla.TextoSeleccion(), "Empresa\tValor Venta\nNORTE\t1.234,50\n  \t0,30\n");
    QLocale::setDefault(QLocale::c());
}

TEST(Grilla, UnaColumnaSeEnsanchaHastaSuTituloYSuTextoMasLargo) {
    QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Argentina));
    auto datos = std::make_shared<DatosGrilla>();
    datos->columnas = {{"BASE", kv::db::tipo::VarWChar, 0, {}},
                       {"Nombre Artículo", kv::db::tipo::VarWChar, 0, {}},
                       {"UTL_COSTOPorc", kv::db::tipo::Currency, 0, {}}};
    const QString largo = QString::fromUtf8("Arroz largo fino doble carolina 1 kg, caja de 10 unidades");
    datos->filas = {{QString("NORTE"), QString("Sal"), 28.11}, {QString("SUR"), largo, 100.0}};
    datos->decimales = 2;
    VistaGrilla grilla;
    grilla.Vincular(datos);
    const QFontMetrics metricas(grilla.font());
    const int base = TwipsAPixeles(1500, &grilla);
    EXPECT_EQ(grilla.columnWidth(0), base);
    // The cell's whole text fits, the caption's too: neither is cut.
    EXPECT_GT(grilla.columnWidth(1), base);
    EXPECT_GE(grilla.columnWidth(1), metricas.horizontalAdvance(largo));
    const QString titulo = grilla.Modelo()->headerData(2, Qt::Horizontal).toString();
    EXPECT_EQ(titulo, "Utilidad s/Costo %");
    EXPECT_GE(grilla.columnWidth(2), QFontMetrics(grilla.horizontalHeader()->font()).horizontalAdvance(titulo));
    EXPECT_EQ(grilla.Modelo()->index(1, 1).data(Qt::ToolTipRole).toString(), largo);
    QLocale::setDefault(QLocale::c());
}

TEST(Grilla, CtrlCCopiaLosTextosQueMuestraConLosTitulos) {
    QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Argentina));
    auto datos = std::make_shared<DatosGrilla>();
    datos->columnas = {{"BASE", kv::db::tipo::VarWChar, 0, {}},
                       {"Artículo", kv::db::tipo::VarWChar, 0, {}},
                       {"VALORVENTA", kv::db::tipo::Currency, 0, {}},
                       {"UTL_COSTOPorc", kv::db::tipo::Double, 0, {}}};
    datos->filas = {{QString("NORTE"), QString::fromUtf8("Agua mineral 1,5 l"), 1247893470.68, 37.5},
                    {QString("SUR"), QString::fromUtf8("Jugo d'uva"), -12345.6789, 100.0 / 3},
                    {QString("OESTE"), QVariant(), 0.1 + 0.2, QVariant()}};
    datos->decimales = 2;
    VistaGrilla grilla;
    grilla.Vincular(datos);
    grilla.resize(800, 300);
    grilla.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grilla));
    grilla.setFocus();
    QApplication::clipboard()->clear();

    // Nothing selected: the whole grid, under its captions, as it reads on screen.
    grilla.clearSelection();
    QTest::keyClick(&grilla, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(),
              QString::fromUtf8("Empresa\tArtículo\tValor Venta\tUtilidad s/Costo %\n"
                                "NORTE\tAgua mineral 1,5 l\t1.247.893.470,68\t37,50 %\n"
                                "SUR\tJugo d'uva\t-12.345,68\t33,33 %\n"
                                "OESTE\t\t0,30\t\n"));

    // A block of cells: only its columns' captions and its cells.
    grilla.selectionModel()->select(QItemSelection(grilla.Modelo()->index(1, 2), grilla.Modelo()->index(2, 3)),
                                    QItemSelectionModel::ClearAndSelect);
    QTest::keyClick(&grilla, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(),
              QString::fromUtf8("Valor Venta\tUtilidad s/Costo %\n-12.345,68\t33,33 %\n0,30\t\n"));
    QLocale::setDefault(QLocale::c());
}

TEST(Impresion, PreguntaYSinSiNoImprime) {
    CarpetasTemporales carpetas;
    ImpresoraPdf pdf(carpetas.raiz() + "no.pdf");
    GraficoPrincipal grafico;
    PuertoGuionado puerto;
    puerto->ResponderMensaje(kv::respuesta::No);
    EXPECT_FALSE(ImprimirGraficoPrincipal(grafico, kEncabezado));
    ASSERT_EQ(puerto->Mensajes().size(), 1);
    EXPECT_EQ(puerto->Mensajes()[0].texto, QString::fromUtf8("¿Desea imprimir el gráfico?"));
    EXPECT_EQ(puerto->Mensajes()[0].titulo, QString::fromUtf8("Atención"));
    EXPECT_EQ(puerto->Mensajes()[0].estilo, kv::estilo::SiNo + kv::estilo::Pregunta);
    EXPECT_EQ(pdf.veces(), 0);
    EXPECT_FALSE(QFile::exists(carpetas.raiz() + "no.pdf"));
}

class ImpresionCargada : public ::testing::Test {
  protected:
    static void TearDownTestSuite() { EntornoPresentacion::Liberar(); }
};

TEST_F(ImpresionCargada, PaginaCeroImprimeElGraficoEnUnaPagina) {
    auto& e = EntornoPresentacion::Comun();
    kv::stats::ModeloGrafico modelo;
    e.Cargar(e.Entrada(), modelo);
    CarpetasTemporales carpetas;
    ImpresoraPdf pdf(carpetas.raiz() + "grafico.pdf");
    GraficoPrincipal grafico;
    grafico.resize(900, 600);
    grafico.show();
    grafico.Vincular(modelo, "Vendedores y rubros");
    PuertoGuionado puerto;
    puerto->ResponderMensaje(kv::respuesta::Si);
    ASSERT_TRUE(ImprimirGraficoPrincipal(grafico, kEncabezado));
    EXPECT_EQ(pdf.veces(), 1);
    EsperarPaginasCompletas(carpetas.raiz() + "grafico.pdf", grafico.Datos());
    EXPECT_EQ(QApplication::clipboard()->image().size(), grafico.Imagen().size());
}

TEST_F(ImpresionCargada, PaginaDosDejaChartGifEnTempEImprime) {
    auto& e = EntornoPresentacion::Comun();
    kv::stats::ModeloGrafico modelo;
    auto datos = e.Cargar(e.Entrada(), modelo);
    CarpetasTemporales carpetas;  // TEMP points into it
    const QString temp = carpetas.raiz() + "temporal";
    ASSERT_TRUE(QDir().mkpath(temp));
    kv::pruebas::VariableEntorno variable("TEMP", temp);
    ImpresoraPdf pdf(carpetas.raiz() + "grafico2.pdf");
    GraficoEmpresas grafico;
    grafico.resize(900, 600);
    grafico.show();
    grafico.Vincular(datos, "Vendedores y rubros");
    PuertoGuionado puerto;
    puerto->ResponderMensaje(kv::respuesta::Si);
    ASSERT_TRUE(ImprimirGraficoEmpresas(grafico, kEncabezado));
    EsperarPaginasCompletas(carpetas.raiz() + "grafico2.pdf", grafico.DatosCompletos());

    // CHART.GIF stays in TEMP and decodes, with the chart's size and colours.
    const QString gif = temp + "/CHART.GIF";
    ASSERT_TRUE(QFile::exists(gif));
    EXPECT_TRUE(Leer(gif).startsWith("GIF89a") || Leer(gif).startsWith("GIF87a"));
    int codigo = 0;
    GifFileType* archivo = DGifOpenFileName(gif.toLocal8Bit().constData(), &codigo);
    ASSERT_NE(archivo, nullptr);
    ASSERT_EQ(DGifSlurp(archivo), GIF_OK);
    const QImage original = grafico.Imagen();
    EXPECT_EQ(archivo->SWidth, original.width());
    EXPECT_EQ(archivo->SHeight, original.height());
    EXPECT_EQ(archivo->ImageCount, 1);
    DGifCloseFile(archivo, &codigo);
    const QImage leida = LeerGif(gif);
    ASSERT_EQ(leida.size(), original.size());
    // Most pixels keep their colour (a palette of 256 may move antialiased edges).
    int iguales = 0, total = 0;
    for (int y = 0; y < leida.height(); y += 7)
        for (int x = 0; x < leida.width(); x += 7, ++total) {
            const QRgb a = leida.pixel(x, y), b = original.pixel(x, y);
            if (std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                    std::abs(qBlue(a) - qBlue(b)) <
                60)
                ++iguales;
        }
    EXPECT_GT(iguales, total * 9 / 10);
}

TEST(ArchivoGif, CarpetaQueNoExisteFallaConMotivo) {
    QImage imagen(10, 10, QImage::Format_RGB32);
    imagen.fill(Qt::red);
    QString error;
    EXPECT_FALSE(GrabarGif(imagen, "/no/existe/CHART.GIF", &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(LeerGif("/no/existe/CHART.GIF").isNull());
}
