// What the lookups take from the company's settings and the suite's files: the
// stock colours (only where the statement returns the stock), the date of the
// missing-stock report as a literal any date language reads alike, and the two
// files of the suite read and written in its code page, Windows-1252.
#include <gtest/gtest.h>

#include <QColor>
#include <QDateTime>
#include <QFile>
#include <QFont>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTreeView>

#include "EntornoConsultas.h"
#include "core/Sentencias.h"
#include "db/TrazaSQL.h"
#include "lookup/ArchivosConsulta.h"
#include "lookup/Lib_ClsCons3.h"
#include "lookup/Lib_FrmCons3.h"
#include "lookup/ModeloConsulta.h"
#include "soporte/CarpetasTemporales.h"
#include "soporte/PuertoGuionado.h"
#include "soporte/VariableEntorno.h"

using kv::lookup::Lib_ClsCons3;
using kv::lookup::Lib_FrmCons3;
using kv::pruebas::AlAbrir;
using kv::pruebas::EntornoConsultas;
using kv::pruebas::PuertoGuionado;

namespace {

struct FilaPintada {
    QString id;
    QColor color;  // invalid: the row keeps the list's colour
    bool negrita = false;
};

// The rows of the lookup as they are painted, the id taken from `columnaId`.
std::vector<FilaPintada> Pintadas(Lib_FrmCons3* v, int columnaId) {
    std::vector<FilaPintada> filas;
    const auto* modelo = v->Modelo();
    for (int f = 0; f < modelo->rowCount(); ++f) {
        FilaPintada p;
        p.id = modelo->Texto(f, columnaId).trimmed();
        // Every column of a row takes its colour.
        for (int c = 0; c < modelo->columnCount(); ++c) {
            const QVariant color = modelo->data(modelo->index(f, c), Qt::ForegroundRole);
            const QVariant letra = modelo->data(modelo->index(f, c), Qt::FontRole);
            if (c == 0) {
                p.color = color.isValid() ? color.value<QColor>() : QColor();
                p.negrita = letra.isValid() && letra.value<QFont>().bold();
            } else {
                EXPECT_EQ(color.isValid() ? color.value<QColor>() : QColor(), p.color) << f << "," << c;
            }
        }
        filas.push_back(p);
    }
    return filas;
}

// Five articles with reorder points and stock of each level.
QStringList ArticulosConStock(EntornoConsultas& e) {
    const auto filas = e.Filas("SELECT TOP 5 IdArticulo FROM MA_ARTICULOS ORDER BY IdArticulo");
    QStringList ids;
    for (const auto& f : filas) ids << f[0].toString().trimmed();
    const int punto[] = {0, 5, 5, 5, 0};
    const int stock[] = {10, 20, 2, 5, 0};
    for (int i = 0; i < ids.size(); ++i)
        e.Ejecutar(QString("UPDATE MA_ARTICULOS SET PuntoPedido = %1, Stock = %2 WHERE IdArticulo = '%3'")
                       .arg(punto[i])
                       .arg(stock[i])
                       .arg(ids[i]));
    return ids;
}

void ColoresDeStock(EntornoConsultas& e, const QString& mostrar) {
    e.Configurar("MostrarStockenConsultas", mostrar);
    e.Configurar("Stk_Nivel1", "255");       // red
    e.Configurar("Stk_Nivel2", "65280");     // green
    e.Configurar("Stk_Nivel3", "16711680");  // blue
    e.Configurar("Stk_Nivel4", "33023");     // orange: red 255, green 128
    Lib_ClsCons3::DescartarCompartida();     // the settings are read when the lookup object is made
}

std::vector<QJsonObject> Traza(const QString& archivo) {
    std::vector<QJsonObject> lineas;
    QFile f(archivo);
    if (!f.open(QIODevice::ReadOnly)) return lineas;
    for (const QByteArray& linea : f.readAll().split('\n'))
        if (!linea.isEmpty()) lineas.push_back(QJsonDocument::fromJson(linea).object());
    return lineas;
}

QByteArray Leer(const QString& ruta) {
    QFile f(ruta);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void Grabar(const QString& ruta, const QByteArray& bytes) {
    QFile f(ruta);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QByteArray Campo(const QByteArray& bytes, int largo) { return bytes.leftJustified(largo, ' ', true); }

}  // namespace

// An article list whose statement returns PuntoPedido and Stock: each row in the
// colour of its level, bold.
TEST(AjustesConsulta, LosColoresDeStockPintanCadaNivel) {
    EntornoConsultas e;
    const QStringList ids = ArticulosConStock(e);
    ASSERT_EQ(ids.size(), 5);
    ColoresDeStock(e, "SI");
    PuertoGuionado puerto;
    std::vector<FilaPintada> filas;
    AlAbrir<Lib_FrmCons3>([&](Lib_FrmCons3* v) { filas = Pintadas(v, 0); });
    Lib_ClsCons3::Compartida().ConsultaSearch(
        "SELECT IdArticulo, Descripcion, PuntoPedido, Stock FROM V_MA_ARTICULOS WHERE IdArticulo IN ('" +
        ids.join("','") + "') ORDER BY IdArticulo");
    ASSERT_EQ(filas.size(), 5u);
    // Reorder point 0 and stock; stock above the point; below it; equal to it; none at all.
    const QColor esperados[] = {QColor(255, 0, 0), QColor(0, 255, 0), QColor(0, 0, 255), QColor(255, 128, 0),
                                QColor(255, 128, 0)};
    for (size_t i = 0; i < filas.size(); ++i) {
        EXPECT_EQ(filas[i].id, ids[int(i)]);
        EXPECT_EQ(filas[i].color, esperados[i]) << filas[i].id.toStdString();
        EXPECT_TRUE(filas[i].negrita) << filas[i].id.toStdString();
    }
}

// The default article lookup shows no stock column: it says nothing about the
// stock, so no row is painted as out of stock. Nor is any with the setting off.
TEST(AjustesConsulta, SinColumnasDeStockNingunaFilaSePinta) {
    EntornoConsultas e;
    ArticulosConStock(e);
    ColoresDeStock(e, "SI");
    PuertoGuionado puerto;
    std::vector<FilaPintada> filas;
    QString columnas;
    AlAbrir<Lib_FrmCons3>([&](Lib_FrmCons3* v) {
        for (int c = 0; c < v->Modelo()->columnCount(); ++c)
            columnas += v->Modelo()->headerData(c, Qt::Horizontal).toString() + "|";
        filas = Pintadas(v, 1);
    });
    Lib_ClsCons3::Compartida().ConsultaSearch("V_MA_ARTICULOS");
    EXPECT_EQ(columnas, "DESCRIPCION|IDARTICULO|");
    ASSERT_GE(filas.size(), 5u);
    for (const FilaPintada& f : filas) {
        EXPECT_FALSE(f.color.isValid()) << f.id.toStdString();
        EXPECT_FALSE(f.negrita) << f.id.toStdString();
    }

    const QStringList ids = ArticulosConStock(e);
    ColoresDeStock(e, "NO");
    filas.clear();
    AlAbrir<Lib_FrmCons3>([&](Lib_FrmCons3* v) { filas = Pintadas(v, 0); });
    Lib_ClsCons3::Compartida().ConsultaSearch(
        "SELECT IdArticulo, Descripcion, PuntoPedido, Stock FROM V_MA_ARTICULOS WHERE IdArticulo IN ('" +
        ids.join("','") + "') ORDER BY IdArticulo");
    ASSERT_EQ(filas.size(), 5u);
    for (const FilaPintada& f : filas) EXPECT_FALSE(f.color.isValid()) << f.id.toStdString();
}

// F12 sends the date as 'yyyymmdd hh:mm:ss', which the server reads alike in
// every date language, and the row keeps the moment of the report.
TEST(AjustesConsulta, F12MandaLaFechaComoLiteralSinAmbiguedad) {
    kv::pruebas::CarpetasTemporales otra;
    const QString traza = otra.raiz() + "traza.jsonl";
    kv::pruebas::VariableEntorno variable(kv::db::kVariableTrazaSQL, traza);
    EntornoConsultas e;
    PuertoGuionado puerto;
    puerto->ResponderMensaje(kv::respuesta::Si);
    const QDateTime antes = QDateTime::currentDateTime().addSecs(-1);
    const QString id = e.InformarFaltanteConF12(QString::fromUtf8("0 Ñandú"));
    const QDateTime despues = QDateTime::currentDateTime().addSecs(1);

    QStringList inserciones;
    for (const QJsonObject& linea : Traza(traza))
        if (linea.value("sql").toString().startsWith("INSERT INTO V_MV_FALTANTES"))
            inserciones << linea.value("sql").toString();
    ASSERT_EQ(inserciones.size(), 1) << inserciones.join("\n").toStdString();
    const QRegularExpression forma(
        "^INSERT INTO V_MV_FALTANTES \\(FechaHora,IdArticulo,Descripcion,Usuario\\) "
        "values\\('(\\d{8} \\d{2}:\\d{2}:\\d{2})','([^']*)','([^']*)','([^']*)'\\)$");
    const QRegularExpressionMatch m = forma.match(inserciones[0]);
    ASSERT_TRUE(m.hasMatch()) << inserciones[0].toStdString();
    const QDateTime momento = QDateTime::fromString(m.captured(1), "yyyyMMdd HH:mm:ss");
    ASSERT_TRUE(momento.isValid()) << m.captured(1).toStdString();
    EXPECT_GE(momento, antes.addMSecs(-antes.time().msec()));
    EXPECT_LE(momento, despues);
    EXPECT_EQ(m.captured(2), id);
    EXPECT_EQ(m.captured(3), QString::fromUtf8("0 Ñandú"));
    EXPECT_EQ(m.captured(4), "Korvane");

    // The server took it as that moment.
    const QVariant guardada = e.Valor("SELECT FechaHora FROM V_MV_FALTANTES");
    EXPECT_EQ(guardada.toDateTime(), momento) << guardada.toString().toStdString();
}

// consultas.krv as the suite writes it: one byte a character in Windows-1252.
// The texts read right, a condition with accents reaches the server intact, and
// the records the program writes are those same bytes.
TEST(AjustesConsulta, LasDefinicionesSeLeenYEscribenEnWindows1252) {
    EntornoConsultas e;
    e.Ejecutar(
        QString::fromUtf8("INSERT INTO TA_VENDEDORES (IdVendedor, Nombre, Dada_De_Baja) "
                          "VALUES ('V950', 'Íñigo Peña €', 0)"));
    const QByteArray registro = Campo("VENDEDORES A\xD1O \x80", 100) + Campo("V_TA_VENDEDORES", 100) +
                                Campo("|NOMBRE|IDVENDEDOR|", 500) +
                                Campo(
                                    "Nombre = '\xCD\xF1igo Pe\xF1"
                                    "a \x80'",
                                    500) +
                                "\r\n";
    const QString ruta = e.carpetas().aplicacion() + "consultas.krv";
    Grabar(ruta, registro);

    const auto definiciones = kv::lookup::LeerDefiniciones(ruta);
    ASSERT_EQ(definiciones.size(), 1u);
    EXPECT_EQ(definiciones[0].titulo, QString::fromUtf8("VENDEDORES AÑO €"));
    EXPECT_EQ(definiciones[0].nombre, "V_TA_VENDEDORES");
    EXPECT_EQ(definiciones[0].condicion, QString::fromUtf8("Nombre = 'Íñigo Peña €'"));
    // Written back, the record is the same bytes.
    EXPECT_EQ(kv::core::RegistroConsulta(definiciones[0].titulo, definiciones[0].nombre,
                                         definiciones[0].columnas, definiciones[0].condicion),
              registro);
    // A character the code page lacks becomes "?".
    EXPECT_EQ(kv::core::RegistroConsulta(QString::fromUtf8("Ωmega"), "T", "|A|", "").left(5), "?mega");

    PuertoGuionado puerto;
    QStringList nombres;
    AlAbrir<Lib_FrmCons3>([&](Lib_FrmCons3* v) {
        for (int f = 0; f < v->Modelo()->rowCount(); ++f) nombres << v->Modelo()->Texto(f, 0).trimmed();
    });
    Lib_ClsCons3::Compartida().ConsultaSearch("V_TA_VENDEDORES");
    EXPECT_EQ(nombres, QStringList{QString::fromUtf8("Íñigo Peña €")});
}

// CONSULTASLEN.KRV: a record of a table named with accents is found, and
// writing another table's widths keeps every other record's bytes.
TEST(AjustesConsulta, LosAnchosSeLeenYEscribenEnWindows1252) {
    kv::pruebas::CarpetasTemporales carpetas;
    const QString ruta = carpetas.aplicacion() + "CONSULTASLEN.KRV";
    const QByteArray previo = "\"VT_CAMI\xD3N_\x80\",\" 1500| 700|\"\r\n\"V_TA_VENDEDORES\",\" 10|\"\r\n";
    Grabar(ruta, previo);
    EXPECT_EQ(kv::lookup::LeerAnchos(carpetas.aplicacion(), QString::fromUtf8("VT_CAMIÓN_€")),
              (QList<double>{1500, 700}));
    kv::lookup::GrabarAnchos(carpetas.aplicacion(), QString::fromUtf8("V_TA_AÑOS"), {2000, 1000});
    EXPECT_EQ(Leer(ruta), previo + "\"V_TA_A\xD1OS\",\" 2000| 1000|\"\r\n");
    kv::lookup::GrabarAnchos(carpetas.aplicacion(), QString::fromUtf8("VT_CAMIÓN_€"), {900});
    EXPECT_EQ(Leer(ruta), QByteArray("\"V_TA_VENDEDORES\",\" 10|\"\r\n\"V_TA_A\xD1OS\",\" 2000| 1000|\"\r\n"
                                     "\"VT_CAMI\xD3N_\x80\",\" 900|\"\r\n"));
}
