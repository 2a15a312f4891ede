// The lookup statements as text, and the two files of the lookups: query
// definitions (also damaged ones) and remembered column widths.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>

#include "EntornoConsultas.h"
#include "core/Sentencias.h"
#include "lookup/ArchivosConsulta.h"
#include "lookup/SentenciasConsulta.h"
#include "soporte/CarpetasTemporales.h"
#include "soporte/PuertoGuionado.h"
#include "util/KvError.h"

using namespace kv::lookup;

TEST(SentenciasConsulta, WhereLimiteYSentenciaPreparada) {
    EXPECT_EQ(EnvolverWhere("A = 1"), " (A = 1) ");
    EXPECT_EQ(EnvolverWhere("(A = 1)"), "(A = 1)");
    EXPECT_EQ(EnvolverWhere("X"), "X");
    EXPECT_EQ(EnvolverWhere(""), "");
    EXPECT_EQ(LimiteFilas(" "), 1000);
    EXPECT_EQ(LimiteFilas("0"), 1000);
    EXPECT_EQ(LimiteFilas("-5"), 1000);
    EXPECT_EQ(LimiteFilas("250"), 250);
    EXPECT_EQ(SentenciaPreparada("SELECT a FROM T", EnvolverWhere("X = 1")),
              "SELECT a FROM T WHERE  (X = 1) ");
    EXPECT_EQ(SentenciaPreparada("select * from v_ma_articulos", ""), "select * from VT_MA_ARTICULOS");
    EXPECT_EQ(SentenciaPreparada("SELECT a FROM T", " WHERE b = 2"), "SELECT a FROM T WHERE b = 2");
}

TEST(SentenciasConsulta, DefinicionesYColumnasDeTabla) {
    DefinicionConsulta d{"CONTACTOS", "MA_CONTACTOS", "|Nombre_y_Apellido|Domicilio|", ""};
    QString campo, sentencia;
    ASSERT_TRUE(SentenciaDesdeDefinicion(d, EnvolverWhere("Localidad = 'X'"), 50, "", campo, sentencia));
    EXPECT_EQ(campo, "Nombre_y_Apellido");
    EXPECT_EQ(
        sentencia,
        "SELECT TOP 50 Nombre_y_Apellido,Domicilio FROM MA_CONTACTOS  with(nolock)  WHERE  (Localidad = "
        "'X')  ORDER BY Nombre_y_Apellido");
    // A single column gives no search column: the request is refused.
    DefinicionConsulta una{"T", "TABLA", "|SOLO|", ""};
    QString vacio;
    EXPECT_FALSE(SentenciaDesdeDefinicion(una, "", 10, "", vacio, sentencia));
    // The definition's own condition wins over Where.
    DefinicionConsulta propia{"C", "VT_CLIENTES", "|RAZON_SOCIAL|CODIGO|", "Localidad = 'Y'"};
    campo.clear();
    ASSERT_TRUE(SentenciaDesdeDefinicion(propia, " (Z = 1) ", 10, "codigo", campo, sentencia));
    EXPECT_EQ(
        sentencia,
        "SELECT TOP 10 RAZON_SOCIAL,CODIGO FROM VT_CLIENTES  with(nolock)  WHERE Localidad = 'Y' ORDER BY "
        "RAZON_SOCIAL");

    ColumnasTabla c = ColumnasDeCampos("T", {"CODIGO", "NOMBRE", "PRECIO"});
    EXPECT_EQ(c.columnas, "PRECIO,NOMBRE,CODIGO");
    EXPECT_EQ(c.campoBusqueda, "NOMBRE");
    c = ColumnasDeCampos("T", {"id", "FECHAHORA_GRABACION"});
    EXPECT_EQ(c.columnas, " * ");
    EXPECT_TRUE(c.campoBusqueda.isEmpty());
    c = ColumnasDeCampos("V_MV_TROPA_STOCK", {"Id", "Peso"});
    EXPECT_EQ(c.columnas, "Peso,Id");
    EXPECT_EQ(c.campoBusqueda, "Id");
    // Nothing to order by: no ORDER BY, so the statement still runs.
    EXPECT_EQ(SentenciaDesdeColumnas("T", " * ", "", 1000, ""), "SELECT TOP 1000  *  FROM T ");
    EXPECT_EQ(SentenciaDesdeColumnas("T", "B,A", " (A = 1) ", 5, "B"),
              "SELECT TOP 5 B,A FROM T WHERE   (A = 1)  ORDER BY B");
}

TEST(SentenciasConsulta, BusquedasDelServidor) {
    const QString base =
        "SELECT TOP 10 Descripcion,IdArticulo FROM v_ma_articulos WHERE x = 1 ORDER BY Descripcion ";
    EXPECT_EQ(SentenciaBusquedaLista(base, "Descripcion", "té*verde", false),
              "SELECT TOP 10 Descripcion,IdArticulo FROM v_ma_articulos WHERE x = 1  and "
              "v_ma_articulos.Descripcion like 'té%verde%' ORDER BY Descripcion ");
    EXPECT_EQ(SentenciaBusquedaLista("SELECT a, COUNT(*) FROM T GROUP BY a ORDER BY a", "a", "d'a b", true),
              "SELECT a, COUNT(*) FROM T  where a like '%d''a%b%' GROUP BY a ORDER BY a");
    EXPECT_EQ(SentenciaBusquedaLista("SELECT a FROM Stk_ma_articulos", "a", "[x]_", false),
              "SELECT a FROM Stk_ma_articulos where stk_ma_articulos.a like '[x]_%' ");
    EXPECT_EQ(SentenciaBusquedaArbol("SELECT Codigo, Descripcion FROM TA_CCOSTO ORDER BY Codigo", "o'b"),
              "SELECT Codigo, Descripcion FROM TA_CCOSTO  where Descripcion like '%o''b%' ORDER BY Codigo");
    EXPECT_EQ(
        SentenciaArbolFamilias(),
        "SELECT     TOP 100 PERCENT IdFamilia, Descripcion, (SELECT     TOP 1 idfamilia FROM "
        "@Admin_v_ta_familias a   Where a.IdFamilia < b.IdFamilia And (Len(LTrim(RTrim(a.IdFamilia))) < "
        "Len(LTrim(RTrim(b.IdFamilia))))  ORDER BY idfamilia DESC) AS [relative] FROM dbo.V_TA_FAMILIAS b "
        "Where IdFamilia<>'' ORDER BY IdFamilia");
    EXPECT_EQ(TablaDeSentencia("SELECT TOP 5 a FROM  VT_CLIENTES  with(nolock) "), "VT_CLIENTES");
    EXPECT_EQ(SentenciaFaltante("01/02/2026 10:00:00", "A'1", " Té D'Alba ", "ana"),
              "INSERT INTO V_MV_FALTANTES (FechaHora,IdArticulo,Descripcion,Usuario) values('01/02/2026 "
              "10:00:00','A''1','Té D''Alba','ana')");
}

TEST(ArchivosConsulta, DefinicionesEscritasDanadasYCortas) {
    kv::pruebas::CarpetasTemporales carpetas;
    const QString ruta = carpetas.aplicacion() + "consultas.krv";
    kv::core::GrabarConsultasBase(ruta);
    auto definiciones = LeerDefiniciones(ruta);
    ASSERT_EQ(definiciones.size(), 11u);
    EXPECT_EQ(definiciones[0].titulo, "ARTICULOS");
    EXPECT_EQ(definiciones[0].columnas, "|DESCRIPCION|IDARTICULO|");
    EXPECT_EQ(definiciones[8].nombre, "V_TA_Tareas");
    ASSERT_TRUE(BuscarDefinicion(ruta, " v_ta_unidadnegocio ").has_value());

    QFile archivo(ruta);
    ASSERT_TRUE(archivo.open(QIODevice::Append));
    // Too long (its end of line lost), garbage with NUL and 255 bytes, and one cut short.
    archivo.write(QByteArray(1500, 'x') + "\r\n");
    QByteArray sucio = kv::core::RegistroConsulta("SUCIO", "TABLA_SUCIA", "|A|B|", "");
    sucio[150] = '\0';
    sucio[151] = '\xff';
    archivo.write(sucio);
    archivo.write(QByteArray("CORTO").leftJustified(100, ' ') + "TABLA_CORTA" + QByteArray(89, ' ') + "|X|Y");
    archivo.close();
    definiciones = LeerDefiniciones(ruta);
    ASSERT_EQ(definiciones.size(), 13u);
    EXPECT_EQ(definiciones[11].nombre, "TABLA_SUCIA");
    EXPECT_EQ(definiciones[12].nombre, "TABLA_CORTA");
    EXPECT_EQ(definiciones[12].columnas, "|X|Y");
    EXPECT_TRUE(definiciones[12].condicion.isEmpty());
    EXPECT_TRUE(LeerDefiniciones(carpetas.aplicacion() + "no_esta.krv").empty());
}

TEST(ArchivosConsulta, LineasDeAnchos) {
    EXPECT_EQ(LineaAnchos("VT_CLIENTES", {1440, 900.5}), "\"VT_CLIENTES\",\" 1440| 900.5|\"\r\n");
    QString tabla;
    QList<double> anchos;
    ASSERT_TRUE(LeerLineaAnchos("\"V_TA_RUBROS\",\" 2000| 1000|\"\r\n", tabla, anchos));
    EXPECT_EQ(tabla, "V_TA_RUBROS");
    EXPECT_EQ(anchos, (QList<double>{2000, 1000}));
    EXPECT_FALSE(LeerLineaAnchos("\"sin cerrar,\" 1|", tabla, anchos));
    EXPECT_FALSE(LeerLineaAnchos("solo un campo", tabla, anchos));
    EXPECT_FALSE(LeerLineaAnchos("\"a\",\"b\",\"c\"", tabla, anchos));
    EXPECT_EQ(TablaAnchos("Stk_ma_articulos"), "VT_MA_ARTICULOS");

    kv::pruebas::CarpetasTemporales carpetas;
    GrabarAnchos(carpetas.aplicacion(), "Stk_ma_articulos", {100, 200});
    EXPECT_EQ(LeerAnchos(carpetas.aplicacion(), "VT_MA_ARTICULOS"), (QList<double>{100, 200}));
    EXPECT_TRUE(LeerAnchos(carpetas.aplicacion(), "OTRA").isEmpty());
}

// The lookup files as a link to /dev/zero or a FIFO: nothing is read, one
// message says why, and the widths file in its place is not replaced.
TEST(ArchivosConsulta, ArchivosQueNoSonArchivosNoSeLeen) {
    kv::pruebas::CarpetasTemporales carpetas;
    const QString consultas = carpetas.aplicacion() + "consultas.krv";
    ASSERT_TRUE(QFile::link("/dev/zero", consultas));
    const QString anchos = carpetas.aplicacion() + "CONSULTASLEN.KRV";
    ASSERT_EQ(mkfifo(QFile::encodeName(anchos).constData(), 0600), 0);
    kv::pruebas::PuertoGuionado puerto;
    puerto->ResponderMensaje(kv::respuesta::Aceptar).ResponderMensaje(kv::respuesta::Aceptar);
    EXPECT_TRUE(LeerDefiniciones(consultas).empty());
    EXPECT_FALSE(BuscarDefinicion(consultas, "MA_VENDEDORES"));
    EXPECT_TRUE(LeerAnchos(carpetas.aplicacion(), "MA_VENDEDORES").isEmpty());
    ASSERT_EQ(puerto->Mensajes().size(), 2);
    EXPECT_EQ(puerto->Mensajes().at(0).texto,
              QString("\"%1\" no es un archivo común (es un dispositivo, una tubería o una carpeta): no se lee. "
                      "Reemplácelo por el archivo verdadero. Las consultas muestran las columnas de cada tabla.")
                  .arg(consultas));
    EXPECT_TRUE(puerto->Mensajes().at(1).texto.endsWith("Las columnas toman su ancho por omisión."));
    EXPECT_THROW(GrabarAnchos(carpetas.aplicacion(), "MA_VENDEDORES", {100}), kv::KvExcepcion);
    EXPECT_FALSE(QFileInfo(anchos).isFile());
    // The default definitions are not written into a link to a device either.
    EXPECT_THROW(kv::core::GrabarConsultasBase(consultas), kv::KvExcepcion);
}
