// A chart printed whole: 150 groups over several pages, each with the header
// and "página n de m", every label and every value on some page, the
// remainder across a broken end without hiding the top groups' values.
#include <gtest/gtest.h>

#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QRegularExpression>

#include "soporte/CarpetasTemporales.h"
#include "ui/ImpresionPaginas.h"

using namespace kv::ui;

namespace {

QString Correr(const QString& programa, const QStringList& argumentos) {
    QProcess proceso;
    proceso.start(programa, argumentos);
    if (!proceso.waitForFinished(60000)) return QString();
    return QString::fromUtf8(proceso.readAllStandardOutput());
}

int PaginasPdf(const QString& pdf) {
    const QRegularExpression paginas(R"(Pages:\s+(\d+))");
    const auto m = paginas.match(Correr("pdfinfo", {pdf}));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

DatosGrafico Datos150() {
    DatosGrafico datos;
    datos.decimales = 2;
    SerieGrafico venta{"Valor Venta", Familia::Importes, {}};
    SerieGrafico margen{"Utilidad s/Venta %", Familia::Porcentajes, {}};
    for (int i = 0; i < 150; ++i) {
        const QString vendedor =
            QStringLiteral("V%1 – Vendedora número %1 de la zona norte").arg(i + 1, 3, 10, QChar('0'));
        const QString rubro = QStringLiteral("R%1 – Bebidas sin alcohol").arg(i % 7);
        datos.etiquetas << vendedor + " · " + rubro;
        datos.niveles << QStringList{vendedor, rubro};
        venta.valores.push_back(1000.0 + i * 10.5);
        margen.valores.push_back(12.345 + i);
    }
    // The remainder dwarfs the rest.
    datos.etiquetas << "Otros";
    datos.niveles << QStringList{"Otros"};
    venta.valores.push_back(1247893470.68);
    margen.valores.push_back(-3.5);
    datos.filaResto = 150;
    datos.series = {venta, margen};
    return datos;
}

}  // namespace

TEST(PaginasImpresas, CientoCincuentaGruposEnVariasPaginasConEncabezado) {
    QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Argentina));
    kv::pruebas::CarpetasTemporales carpetas;
    const QString pdf = carpetas.raiz() + "grafico.pdf";
    const QStringList encabezado = {QString::fromUtf8("Estadística: Vendedores por rubro"),
                                    "Meses: 1/2024 a 6/2024", "Empresas: NORTE",
                                    "Filtros: Vendedor: desde V001", "Impreso el 08/12/2026 10:30"};
    const DatosGrafico datos = Datos150();
    ASSERT_EQ(GrabarPdf(pdf, datos, encabezado), QString());
    const int paginas = PaginasPdf(pdf);
    ASSERT_GT(paginas, 2);
    const QString texto = Correr("pdftotext", {"-layout", pdf, "-"});
    const QStringList hojas = texto.split('\f', Qt::SkipEmptyParts);
    ASSERT_EQ(hojas.size(), paginas);
    for (int p = 0; p < paginas; ++p) {
        for (const QString& linea : encabezado)
            EXPECT_TRUE(hojas[p].contains(linea)) << p << linea.toStdString();
        EXPECT_TRUE(hojas[p].contains(QString::fromUtf8("página %1 de %2").arg(p + 1).arg(paginas))) << p;
    }
    // Every label whole (wrapped lines joined again, in reading order) and every value, in locale marks.
    const QString lectura = Correr("pdftotext", {"-raw", pdf, "-"});
    const QString seguido = texto.simplified();
    for (int c = 0; c < datos.Categorias(); ++c) {
        for (const QString& nivel : datos.niveles[c]) {
            // A wrapped label reads as its words in order.
            QString patron;
            for (const QString& palabra : nivel.split(' ', Qt::SkipEmptyParts))
                patron += (patron.isEmpty() ? "" : "\\s+") + QRegularExpression::escape(palabra);
            EXPECT_TRUE(QRegularExpression(patron).match(lectura).hasMatch()) << nivel.toStdString();
        }
        for (const SerieGrafico& s : datos.series)
            EXPECT_TRUE(seguido.contains(datos.TextoValor(s, s.valores[static_cast<size_t>(c)])))
                << datos.TextoValor(s, s.valores[static_cast<size_t>(c)]).toStdString();
    }
    EXPECT_TRUE(seguido.contains("1.247.893.470,68"));
    EXPECT_TRUE(seguido.contains("12,35 %"));
    EXPECT_FALSE(texto.contains(QString::fromUtf8("…")));
    EXPECT_FALSE(texto.contains("..."));
    QLocale::setDefault(QLocale::c());
}

TEST(PaginasImpresas, UnArchivoQueNoSePuedeEscribirSeDice) {
    kv::pruebas::CarpetasTemporales carpetas;
    EXPECT_FALSE(GrabarPdf(carpetas.raiz() + "no/existe/g.pdf", Datos150(), {"x"}).isEmpty());
}
