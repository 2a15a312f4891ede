// What the exports write: the grid's text file in Windows-1252 with the grid's
// captions and cell texts (accented headers, a negative amount), and the .xlsx
// read back with Debian's openpyxl (cell types, values, formats, the bold
// frozen header and the autofilter), and its XML parts read as they are
// (shared strings in UTF-8, cell types, number formats).
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QProcess>
#include <QXmlStreamReader>
#include <map>

#include "soporte/CarpetasTemporales.h"
#include "stats/Exportacion.h"
#include "stats/FormatoNumeros.h"
#include "stats/NombresGrupos.h"
#include "stats/Planilla.h"

using namespace kv::stats;
namespace tipo = kv::db::tipo;

namespace {

// The locale the users have; restored after each test.
class LocaleEspanol {
  public:
    LocaleEspanol() : anterior_(QLocale()) {
        QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Argentina));
    }
    ~LocaleEspanol() { QLocale::setDefault(anterior_); }

  private:
    QLocale anterior_;
};

TablaGrilla Tabla(const NombresGrupos* nombres) {
    std::vector<kv::db::ColumnaResultado> columnas = {
        {"BASE", tipo::VarWChar, 0, {}},        {QString::fromUtf8("Artículo"), tipo::VarWChar, 0, {}},
        {"Grupo2", tipo::VarWChar, 0, {}},      {"Grupo3", tipo::VarWChar, 0, {}},
        {"CONSUMO", tipo::Currency, 0, {}},     {"VALORVENTA", tipo::Currency, 0, {}},
        {"UTL_COSTOPorc", tipo::Double, 0, {}}, {"UTILIDAD", tipo::Currency, 0, {}}};
    std::vector<std::vector<QVariant>> filas = {
        {"NORTE", "A01", " ", " ", 12345.5, -1234567.891, 37.5, -250.125},
        {"SUR", "A02", " ", " ", 3.0, 20.0, 100.0, 0.0}};
    return TablaDeGrilla(std::move(columnas), std::move(filas),
                         {QString::fromUtf8("Artículo"), "Grupo2", "Grupo3"}, nombres, 2);
}

NombresGrupos Nombres() {
    NombresGrupos n;
    n.Poner(0, "A01", QString::fromUtf8("Ñandú café €"));
    return n;
}

}  // namespace

TEST(ExportacionTexto, BytesEnWindows1252ConTitulosAcentuadosYUnImporteNegativo) {
    LocaleEspanol locale;
    kv::pruebas::CarpetasTemporales carpetas;
    const NombresGrupos nombres = Nombres();
    const TablaGrilla tabla = Tabla(&nombres);
    const QString archivo = carpetas.raiz() + "grilla.xls";
    ASSERT_TRUE(GrabarGrillaTexto(archivo, FilasVisibles(tabla)));
    QFile f(archivo);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    const QByteArray esperado =
        "Empresa\tArt\xED"
        "culo\tNombre Art\xED"
        "culo\tGrupo2\tGrupo3\tConsumo\tValor Venta\tUtilidad s/Costo %\t"
        "Utilidad $\t\r\n"
        "NORTE\tA01\t\xD1"
        "and\xFA caf\xE9 \x80\t \t \t12.345,50\t-1.234.567,89\t37,50 %\t-250,13\t\r\n"
        "SUR\tA02\t \t \t \t3,00\t20,00\t100,00 %\t0,00\t\r\n";
    EXPECT_EQ(bytes, esperado);
    // Read back in the code page, the accents are there.
    EXPECT_TRUE(DecodificarWindows1252(bytes).startsWith(QString::fromUtf8("Empresa\tArtículo\t")));
    EXPECT_EQ(CodificarWindows1252(QString::fromUtf8("Ñandú café € – ✓")),
              QByteArray("\xD1"
                         "and\xFA caf\xE9 \x80 \x96 ?"));
    EXPECT_EQ(DecodificarWindows1252(QByteArray("\xD1"
                                                "and\xFA caf\xE9 \x80 \x96")),
              QString::fromUtf8("Ñandú café € –"));
}

TEST(ExportacionTexto, SinLocaleLosNumerosLlevanMarcasEspanolas) {
    const QLocale anterior;
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(TextoImporte(Diezmilesimas(1247893470.68), 2), "1.247.893.470,68");
    EXPECT_EQ(TextoPorcentaje(37.499, 2), "37,50 %");
    EXPECT_EQ(TextoPorcentaje(37.5, 0), "38 %");
    QLocale::setDefault(anterior);
}

namespace {

// The cells of the first sheet as openpyxl reads them.
QJsonObject LeerConOpenpyxl(const QString& archivo) {
    const char* guion = R"(
import json, sys, openpyxl
libro = openpyxl.load_workbook(sys.argv[1])
hoja = libro.worksheets[0]
celdas = []
for fila in hoja.iter_rows():
    celdas.append([{"v": c.value, "t": c.data_type, "f": c.number_format, "b": bool(c.font.b)} for c in fila])
print(json.dumps({"hoja": hoja.title, "celdas": celdas, "congelada": hoja.freeze_panes,
                  "filtro": hoja.auto_filter.ref}))
)";
    QProcess python;
    // Debian's interpreter, where python3-openpyxl is installed.
    python.start(QFile::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3", {"-c", guion, archivo});
    if (!python.waitForFinished(60000)) return {};
    const QJsonObject leido = QJsonDocument::fromJson(python.readAllStandardOutput()).object();
    if (leido.isEmpty()) ADD_FAILURE() << python.readAllStandardError().toStdString();
    return leido;
}

}  // namespace

TEST(ExportacionPlanilla, ElXlsxLeidoTieneTiposValoresYFormatos) {
    kv::pruebas::CarpetasTemporales carpetas;
    const QString archivo = carpetas.raiz() + "planilla.xlsx";
    QString error;
    ASSERT_TRUE(GrabarPlanilla(archivo, PlanillaDeGrilla(Tabla(nullptr)), &error)) << error.toStdString();
    const QJsonObject leido = LeerConOpenpyxl(archivo);
    ASSERT_FALSE(leido.isEmpty()) << "openpyxl no pudo leer el archivo";
    EXPECT_EQ(leido["congelada"].toString(), "A2");
    EXPECT_EQ(leido["filtro"].toString(), "A1:H3");
    const QJsonArray celdas = leido["celdas"].toArray();
    ASSERT_EQ(celdas.size(), 3);
    const QJsonArray cabecera = celdas[0].toArray();
    const QStringList titulos = {
        "Empresa",     QString::fromUtf8("Artículo"), "Grupo2",    "Grupo3", "Consumo",
        "Valor Venta", "Utilidad s/Costo %",          "Utilidad $"};
    ASSERT_EQ(cabecera.size(), titulos.size());
    for (int c = 0; c < titulos.size(); ++c) {
        EXPECT_EQ(cabecera[c].toObject()["v"].toString(), titulos[c]);
        EXPECT_TRUE(cabecera[c].toObject()["b"].toBool());
        EXPECT_EQ(cabecera[c].toObject()["t"].toString(), "s");
    }
    const QJsonArray fila = celdas[1].toArray();
    EXPECT_EQ(fila[0].toObject()["v"].toString(), "NORTE");
    EXPECT_EQ(fila[0].toObject()["t"].toString(), "s");
    // Numbers are numbers, rounded as the grid shows them.
    EXPECT_EQ(fila[4].toObject()["t"].toString(), "n");
    EXPECT_DOUBLE_EQ(fila[4].toObject()["v"].toDouble(), 12345.5);
    EXPECT_EQ(fila[4].toObject()["f"].toString(), "#,##0.00");
    EXPECT_DOUBLE_EQ(fila[5].toObject()["v"].toDouble(), -1234567.89);
    EXPECT_EQ(fila[5].toObject()["f"].toString(), "\"$\" #,##0.00;-\"$\" #,##0.00");
    EXPECT_DOUBLE_EQ(fila[6].toObject()["v"].toDouble(), 0.375);
    EXPECT_EQ(fila[6].toObject()["f"].toString(), "0.00%");
    EXPECT_DOUBLE_EQ(fila[7].toObject()["v"].toDouble(), -250.13);
}

TEST(ExportacionPlanilla, UnArchivoQueNoSePuedeEscribirNoDejaNada) {
    kv::pruebas::CarpetasTemporales carpetas;
    QString error;
    EXPECT_FALSE(
        GrabarPlanilla(carpetas.raiz() + "no/existe/p.xlsx", PlanillaDeGrilla(Tabla(nullptr)), &error));
    EXPECT_FALSE(error.isEmpty());
}

namespace {

// One part of the .xlsx package as it is stored (unzip, from Debian).
QByteArray ParteXlsx(const QString& archivo, const QString& parte) {
    QProcess unzip;
    unzip.start("unzip", {"-p", archivo, parte});
    if (!unzip.waitForFinished(30000)) return {};
    return unzip.readAllStandardOutput();
}

struct CeldaXml {
    QString tipo;  // the "t" attribute: "s" shared string, empty for a number
    int estilo = 0;
    QString valor;
};

std::map<QString, CeldaXml> CeldasXml(const QByteArray& hoja) {
    std::map<QString, CeldaXml> celdas;
    QXmlStreamReader xml(hoja);
    QString ref;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("c")) {
            ref = xml.attributes().value("r").toString();
            celdas[ref] = {xml.attributes().value("t").toString(), xml.attributes().value("s").toInt(), {}};
        } else if (xml.isStartElement() && xml.name() == QLatin1String("v")) {
            celdas[ref].valor = xml.readElementText();
        }
    }
    return celdas;
}

QStringList CadenasCompartidas(const QByteArray& parte) {
    QStringList cadenas;
    QXmlStreamReader xml(parte);
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("si")) cadenas << QString();
        if (xml.isStartElement() && xml.name() == QLatin1String("t")) cadenas.last() += xml.readElementText();
    }
    return cadenas;
}

// The number format code of each cell style (built-in 0 is "General").
std::vector<QString> FormatosDeEstilo(const QByteArray& estilos) {
    std::map<int, QString> codigos{{0, "General"}};
    std::vector<QString> formatos;
    QXmlStreamReader xml(estilos);
    bool enXfs = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("numFmt"))
            codigos[xml.attributes().value("numFmtId").toInt()] = xml.attributes().value("formatCode").toString();
        if (xml.name() == QLatin1String("cellXfs")) enXfs = xml.isStartElement();
        if (enXfs && xml.isStartElement() && xml.name() == QLatin1String("xf"))
            formatos.push_back(codigos[xml.attributes().value("numFmtId").toInt()]);
    }
    return formatos;
}

}  // namespace

TEST(ExportacionPlanilla, LasPartesXmlDelXlsxTienenCadenasTiposYFormatos) {
    kv::pruebas::CarpetasTemporales carpetas;
    const QString archivo = carpetas.raiz() + "planilla.xlsx";
    const NombresGrupos nombres = Nombres();
    QString error;
    ASSERT_TRUE(GrabarPlanilla(archivo, PlanillaDeGrilla(Tabla(&nombres)), &error)) << error.toStdString();
    const QByteArray hoja = ParteXlsx(archivo, "xl/worksheets/sheet1.xml");
    const QByteArray compartidas = ParteXlsx(archivo, "xl/sharedStrings.xml");
    const QByteArray estilos = ParteXlsx(archivo, "xl/styles.xml");
    ASSERT_FALSE(hoja.isEmpty());
    ASSERT_FALSE(compartidas.isEmpty());
    ASSERT_FALSE(estilos.isEmpty());

    // The texts are stored once each, in UTF-8, accents and all.
    EXPECT_TRUE(compartidas.contains("<t>Art\xC3\xAD"
                                     "culo</t>"));
    EXPECT_TRUE(compartidas.contains("\xC3\x91"
                                     "and\xC3\xBA caf\xC3\xA9 \xE2\x82\xAC"));
    const QStringList cadenas = CadenasCompartidas(compartidas);
    EXPECT_EQ(cadenas.count(QString::fromUtf8("Artículo")), 1);

    const auto celdas = CeldasXml(hoja);
    const std::vector<QString> formatos = FormatosDeEstilo(estilos);
    const auto texto = [&](const QString& ref) {
        const CeldaXml& c = celdas.at(ref);
        return c.tipo == "s" ? cadenas.value(c.valor.toInt()) : QString("(no es texto)");
    };
    const auto formato = [&](const QString& ref) {
        const size_t estilo = static_cast<size_t>(celdas.at(ref).estilo);
        return estilo < formatos.size() ? formatos[estilo] : QString("(sin estilo)");
    };
    const QStringList titulos = {"Empresa",     QString::fromUtf8("Artículo"), QString::fromUtf8("Nombre Artículo"),
                                 "Grupo2",      "Grupo3",                      "Consumo",
                                 "Valor Venta", "Utilidad s/Costo %",          "Utilidad $"};
    for (int c = 0; c < titulos.size(); ++c) {
        const QString ref = QString(QChar('A' + c)) + "1";
        ASSERT_TRUE(celdas.count(ref)) << ref.toStdString();
        EXPECT_EQ(texto(ref), titulos[c]) << ref.toStdString();
    }
    EXPECT_EQ(texto("A2"), "NORTE");
    EXPECT_EQ(texto("B2"), "A01");
    EXPECT_EQ(texto("C2"), QString::fromUtf8("Ñandú café €"));
    // Numbers are stored as numbers (no type attribute), with their kind's format.
    for (const char* ref : {"F2", "G2", "H2", "I2"}) {
        SCOPED_TRACE(ref);
        ASSERT_TRUE(celdas.count(ref));
        EXPECT_TRUE(celdas.at(ref).tipo.isEmpty() || celdas.at(ref).tipo == "n");
    }
    EXPECT_EQ(celdas.at("F2").valor, "12345.5");
    EXPECT_EQ(formato("F2"), "#,##0.00");
    EXPECT_EQ(celdas.at("G2").valor, "-1234567.89");
    EXPECT_EQ(formato("G2"), "\"$\" #,##0.00;-\"$\" #,##0.00");
    EXPECT_EQ(celdas.at("H2").valor, "0.375");
    EXPECT_EQ(formato("H2"), "0.00%");
    EXPECT_EQ(celdas.at("I2").valor, "-250.13");
    EXPECT_EQ(formato("I2"), "\"$\" #,##0.00;-\"$\" #,##0.00");
}
