// The report's options and printed lines, and the grid export format.
#include <gtest/gtest.h>

#include <QFile>

#include "db/DB_DllInterno.h"
#include "db/Proveedor.h"
#include "soporte/CarpetasTemporales.h"
#include "stats/Exportacion.h"
#include "stats/Informe.h"

using namespace kv::stats;

TEST(OpcionesInforme, TodasLasOpcionesYLaConexion) {
    OpcionesInforme o;
    const QString error = AnalizarOpcionesInforme({"--informe",
                                                   "Ventas",
                                                   "--desde",
                                                   "1/2024",
                                                   "--hasta",
                                                   "03/2024",
                                                   "--empresas",
                                                   "NORTE, SUR",
                                                   "--grupo1",
                                                   " A , B ",
                                                   "--g2desde",
                                                   "V1",
                                                   "--g2hasta=V9",
                                                   "--g3hasta",
                                                   "Z",
                                                   "--top",
                                                   "7",
                                                   "--salida",
                                                   "/tmp/x.txt",
                                                   "--grilla",
                                                   "/tmp/x.xls",
                                                   "@server=EMBEBIDO;",
                                                   "@dbname=",
                                                   "NORTE;"},
                                                  o);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    EXPECT_EQ(o.nombre, "Ventas");
    EXPECT_EQ(o.desde, "1/2024");
    EXPECT_EQ(o.hasta, "03/2024");
    EXPECT_EQ(o.empresas.value(), (QStringList{"NORTE", "SUR"}));
    EXPECT_EQ(o.filtros[0].valores, "A,B");
    EXPECT_EQ(o.filtros[1].desde, "V1");
    EXPECT_EQ(o.filtros[1].hasta, "V9");
    EXPECT_EQ(o.filtros[2].hasta, "Z");
    EXPECT_EQ(o.top.value(), "7");
    EXPECT_EQ(o.salida, "/tmp/x.txt");
    EXPECT_EQ(o.grilla, "/tmp/x.xls");
    EXPECT_EQ(o.lineaComandos, "@server=EMBEBIDO; @dbname= NORTE;");
}

TEST(OpcionesInforme, OpcionesInvalidas) {
    const std::vector<std::pair<QStringList, QString>> casos = {
        {{"--informe"}, QString::fromUtf8("Falta el valor de la opción --informe.")},
        {{"--informe", " "}, QString::fromUtf8("Falta el nombre de la estadística.")},
        {{"--informe", "X", "--desde", "13/2024"},
         QString::fromUtf8("La opción --desde no es un mes válido (M/AAAA): \"13/2024\".")},
        {{"--informe", "X", "--top", "-1"},
         QString::fromUtf8("El TOP debe ser un número entero entre 0 y 32767.")},
        {{"--informe", "X", "--top", "99999"},
         QString::fromUtf8("El TOP debe ser un número entero entre 0 y 32767.")},
        {{"--informe", "X", "--colores", "si"}, QString::fromUtf8("Opción desconocida: --colores")},
        {{"--informe", "X", "--top", "5x", "@server=S;"},
         QString::fromUtf8("El TOP debe ser un número entero entre 0 y 32767.")},
        {{"--informe", "X", "--top", "2.5", "@server=S;"},
         QString::fromUtf8("El TOP debe ser un número entero entre 0 y 32767.")},
        {{"--informe", "X", "--empresas", " , ", "@server=S;"},
         QString::fromUtf8("La opción --empresas necesita al menos una empresa.")},
        {{"--informe", "X", "--top", "5"},
         QString::fromUtf8("Falta la conexión: \"@server=...; @dbname=...; @usuario=...; @Password=...;\".")},
        {{"--informe", "X", "--desde", "5/2024", "--hasta", "1/2024"},
         QString::fromUtf8(
             "El mes desde (5/2024) es posterior al mes hasta (1/2024): no se cargaron datos.")},
    };
    for (const auto& [argumentos, mensaje] : casos) {
        OpcionesInforme o;
        EXPECT_EQ(AnalizarOpcionesInforme(argumentos, o), mensaje) << argumentos.join(' ').toStdString();
    }
}

TEST(OpcionesInforme, TopEnteroDeCeroAlMaximo) {
    for (const char* top : {"0", "32767", " 7 "}) {
        OpcionesInforme o;
        EXPECT_TRUE(AnalizarOpcionesInforme({"--informe", "X", "--top", top, "@server=S;"}, o).isEmpty())
            << top;
        EXPECT_EQ(o.top.value(), QString(top).trimmed());
    }
}

TEST(OpcionesInforme, EntradaDesdeLaDefinicionYLasOpciones) {
    Definicion d;
    d.top = "10";
    d.topOtros = "Resto";
    d.totales = {false, false, true, false, false, true};
    d.orden[3] = {true, "1"};
    d.ascendente = false;
    EstadoDefinicion estado;
    estado.tabla = "DET_ESTV0002";
    estado.titulos = {"Vendedor", "Familia", "Grupo3"};
    OpcionesInforme o;
    EntradaCarga e = EntradaDeInforme(d, estado, o, {"NORTE"}, 3);
    EXPECT_EQ(e.tabla, "DET_ESTV0002");
    EXPECT_EQ(e.top, "10");
    EXPECT_EQ(e.topOtros, "Resto");
    EXPECT_EQ(e.empresas, QStringList{"NORTE"});
    EXPECT_EQ(e.titulos[1], "Familia");
    EXPECT_FALSE(e.ascendente);
    EXPECT_TRUE(e.orden[3].marcada);
    EXPECT_EQ(e.decimales, 3);
    o.top = "3";
    o.empresas = QStringList{};
    e = EntradaDeInforme(d, estado, o, {"NORTE"}, 2);
    EXPECT_EQ(e.top, "3");
    EXPECT_TRUE(e.empresas.isEmpty());
}

TEST(LineasInforme, CabeceraYFilasConPuntoDecimal) {
    ModeloGrafico m;
    m.decimales = 2;
    m.columnas = {"Valor Venta", "Utilidad $"};
    m.Dimensionar(2, 2);
    m.etiquetas = {"A01   ", "Otros"};
    m.valores = {{1234567.5, -3.456}, {0.004, 12}};
    EXPECT_EQ(LineasInforme(m), (QStringList{"Grupo\tValor Venta\tUtilidad $", "A01   \t1234567.50\t-3.46",
                                             "Otros\t0.00\t12.00"}));
    ModeloGrafico vacio;
    EXPECT_EQ(LineasInforme(vacio), QStringList{"Grupo"});
    // No group came back: the header still names the ticked totals.
    vacio.columnas = ColumnasDeTotales({true, false, true, false, false, true});
    EXPECT_EQ(LineasInforme(vacio), QStringList{"Grupo\tConsumo\tValor Venta\tUtilidad $"});
}

TEST(Exportacion, NombreDelArchivo) {
    EXPECT_EQ(NombreArchivoExportacion("ventas"), "ventas.xls");
    EXPECT_EQ(NombreArchivoExportacion("ventas.txt"), "ventas.xls");
    EXPECT_EQ(NombreArchivoExportacion("/home/a.b/ventas.txt"), "/home/a.xls");
}

TEST(Exportacion, CadaCeldaSeguidaDeUnTabulador) {
    EXPECT_EQ(LineaExportacion({" A ", "", "  "}), "A\t \t \t");
    kv::pruebas::CarpetasTemporales carpetas;
    const QString archivo = carpetas.raiz() + "g.xls";
    ASSERT_TRUE(GrabarGrillaTexto(archivo, {{"BASE", "X"}, {"NORTE", "1"}, {"SUR", ""}}));
    QFile f(archivo);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("BASE\tX\t\r\nNORTE\t1\t\r\nSUR\t \t\r\n"));
    EXPECT_FALSE(GrabarGrillaTexto(carpetas.raiz() + "no/existe/g.xls", {{"A"}}));
}

TEST(Exportacion, TextoDeLasCeldas) {
    EXPECT_EQ(TextoCeldaGrilla(QVariant(), kv::db::tipo::Double), "");
    EXPECT_EQ(TextoCeldaGrilla(QVariant(12.5), kv::db::tipo::Currency), "12.5");
    EXPECT_EQ(TextoCeldaGrilla(QVariant(-0.00001), kv::db::tipo::Currency), "0");
    EXPECT_EQ(TextoCeldaGrilla(QVariant(100.0), kv::db::tipo::Double), "100");
    EXPECT_EQ(TextoCeldaGrilla(QVariant(1.0 / 3), kv::db::tipo::Double), "0.333333333333333");
    EXPECT_EQ(TextoCeldaGrilla(QVariant(QString("A01")), kv::db::tipo::VarWChar), "A01");
}

TEST(TerminacionInforme, ConexionPerdidaTerminaElInformeSinSalirDelProceso) {
    {
        TerminacionInforme terminacion;
        // What the recordset opening calls when the user gives up a lost connection.
        EXPECT_THROW(kv::db::interno::Terminar(), InformeInterrumpido);
        EXPECT_THROW(kv::db::interno::Terminar(), InformeInterrumpido);
    }
    EXPECT_EQ(QString::fromUtf8(kMensajeConexionPerdida),
              QString::fromUtf8("Se perdió la conexión con la base de datos: no se emitió el informe."));
}
