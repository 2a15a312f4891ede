// What TraducirLote makes of the statements the program sends: the structures
// the server builds tables from, the arguments of procedures, and the errors
// of malformed batches.
#include <gtest/gtest.h>

#include <QStringList>

#include "localserver/tsql/Mensajes.h"
#include "localserver/tsql/Traduccion.h"

using namespace kv::local;

namespace {

QString Lineas(std::initializer_list<const char*> lineas) {
    QStringList s;
    for (const char* l : lineas) s << QString::fromUtf8(l);
    return s.join(QStringLiteral("\r\n"));
}

ErrorTSQL ErrorDe(const QString& lote) {
    try {
        TraducirLote(lote);
    } catch (const ErrorTSQL& e) {
        return e;
    }
    return ErrorTSQL(0, QString(), 0);
}

}  // namespace

TEST(TsqlTraduccion, CreacionDeCabEstv) {
    const QString lote = Lineas(
        {"CREATE TABLE [dbo].[CAB_ESTV] (", " [Codigo] [int] IDENTITY (1, 1) NOT NULL , ",
         " [Nombre] [nvarchar] (50) NULL , ", " [Tabla] [nvarchar] (50) NULL ,",
         " [Campos] [nvarchar] (500) NULL,", " [Orden] [nvarchar] (50) NULL,",
         " [Totalizadores] [nvarchar] (50) NULL,", " [TOP] [Int] NULL,", " [TopOtros] [nvarchar] (50) NULL",
         " ) ON [PRIMARY]", " ", " ALTER TABLE [dbo].[CAB_ESTV] WITH NOCHECK ADD",
         " CONSTRAINT [PK_CAB_ESTV] PRIMARY KEY  NONCLUSTERED", " (", " [CODIGO]", " )  ON [PRIMARY]"});
    const std::vector<Sentencia> s = TraducirLote(lote);
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0].clase, Clase::CrearTabla);
    EXPECT_EQ(s[0].tabla, QStringLiteral("CAB_ESTV"));
    EXPECT_EQ(s[0].linea, 1);
    ASSERT_EQ(s[0].columnas.size(), 8u);
    const ColumnaDeclarada& codigo = s[0].columnas[0];
    EXPECT_EQ(codigo.nombre, QStringLiteral("Codigo"));
    EXPECT_EQ(codigo.tipo, QStringLiteral("int"));
    EXPECT_TRUE(codigo.identidad);
    EXPECT_EQ(codigo.semilla, 1);
    EXPECT_EQ(codigo.incremento, 1);
    EXPECT_FALSE(codigo.nulos);
    EXPECT_EQ(s[0].columnas[3].nombre, QStringLiteral("Campos"));
    EXPECT_EQ(s[0].columnas[3].longitud, 500);
    EXPECT_TRUE(s[0].columnas[3].nulos);
    EXPECT_EQ(s[0].columnas[6].nombre, QStringLiteral("TOP"));
    EXPECT_EQ(s[0].columnas[6].tipo, QStringLiteral("int"));
    EXPECT_TRUE(s[0].clavePrimaria.isEmpty());

    EXPECT_EQ(s[1].clase, Clase::AgregarRestricciones);
    EXPECT_EQ(s[1].tabla, QStringLiteral("CAB_ESTV"));
    EXPECT_EQ(s[1].linea, 12);
    EXPECT_EQ(s[1].nombreClave, QStringLiteral("PK_CAB_ESTV"));
    EXPECT_EQ(s[1].clavePrimaria, QStringList{QStringLiteral("CODIGO")});
    EXPECT_TRUE(s[1].defectos.empty());
}

TEST(TsqlTraduccion, CreacionDeTaConfiguracionConDefectosYFillFactor) {
    const QString lote =
        Lineas({"CREATE TABLE [dbo].[TA_CONFIGURACION] (",
                " [ID] [int] IDENTITY (1, 1) NOT NULL , ",
                " [GRUPO] [nvarchar] (50) NOT NULL ,",
                " [CLAVE] [nvarchar] (50) NOT NULL ,",
                " [VALOR] [nvarchar] (150) NULL ,",
                " [DESCRIPCION] [nvarchar] (50) NULL ,",
                " [FechaHora_Grabacion] [datetime] NULL ,",
                " [FechaHora_Modificacion] [datetime] NULL ,",
                " [Transmision] [int] NULL ,",
                " [Recepcion] [int] NULL ,",
                " [ValorAux] [ntext] NULL ,",
                " [PoliticaNegocio] [bit] NULL ,",
                " [Bloquea] [bit] NULL",
                " ) ON [PRIMARY] TEXTIMAGE_ON [PRIMARY]",
                "  ",
                " ALTER TABLE [dbo].[TA_CONFIGURACION] WITH NOCHECK ADD",
                " CONSTRAINT [DF_TA_CONFIGURACION_Transmision] DEFAULT (0) FOR [Transmision],",
                " CONSTRAINT [DF_TA_CONFIGURACION_Recepcion] DEFAULT (0) FOR [Recepcion],",
                " CONSTRAINT [DF_ta_configuracion_PoliticaNegocio] DEFAULT (0) FOR [PoliticaNegocio],",
                " CONSTRAINT [DF_ta_configuracion_Bloquea] DEFAULT (0) FOR [Bloquea],",
                " CONSTRAINT [PK_TA_CONFIGURACION] PRIMARY KEY  NONCLUSTERED",
                " (",
                " [GRUPO],",
                " [Clave]",
                " ) WITH  FILLFACTOR = 90  ON [PRIMARY]"});
    const std::vector<Sentencia> s = TraducirLote(lote);
    ASSERT_EQ(s.size(), 2u);
    ASSERT_EQ(s[0].columnas.size(), 12u);
    EXPECT_EQ(s[0].columnas[6].tipo, QStringLiteral("datetime"));
    EXPECT_EQ(s[0].columnas[9].tipo, QStringLiteral("ntext"));
    EXPECT_EQ(s[0].columnas[10].tipo, QStringLiteral("bit"));
    EXPECT_FALSE(s[0].columnas[1].nulos);
    EXPECT_EQ(s[1].clase, Clase::AgregarRestricciones);
    EXPECT_EQ(s[1].clavePrimaria, (QStringList{QStringLiteral("GRUPO"), QStringLiteral("Clave")}));
    ASSERT_EQ(s[1].defectos.size(), 4u);
    EXPECT_EQ(s[1].defectos[0].nombre, QStringLiteral("DF_TA_CONFIGURACION_Transmision"));
    EXPECT_EQ(s[1].defectos[0].columna, QStringLiteral("Transmision"));
    EXPECT_EQ(s[1].defectos[0].expresion, QStringLiteral("(0)"));
    EXPECT_EQ(s[1].defectos[3].columna, QStringLiteral("Bloquea"));
}

TEST(TsqlTraduccion, TablaDeEstadisticaYEmpresas) {
    const QString det =
        Lineas({"CREATE TABLE [dbo].[DET_ESTV0004] (", " [Base] [nvarchar] (50) NOT NULL , ",
                " [Fecha] [nvarchar] (7) NOT NULL ,", " [Grupo1] [nvarchar] (25) NOT NULL ,",
                " [Grupo2] [nvarchar] (25) NOT NULL ,", " [Grupo3] [nvarchar] (25) NOT NULL ,",
                " [Consumo] [float] NULL ,", " [ValorCosto] [money] NULL ,", " [ValorVenta] [money] NULL",
                " ) ON [PRIMARY]", "ALTER TABLE [dbo].[DET_ESTV0004] WITH NOCHECK ADD",
                " CONSTRAINT [PK_DET_ESTV0004] PRIMARY KEY  NONCLUSTERED", " (", " [Base],", " [Fecha],",
                " [Grupo1],", " [Grupo2],", " [Grupo3]", " )  ON [PRIMARY]"});
    const std::vector<Sentencia> s = TraducirLote(det);
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0].columnas[1].longitud, 7);
    EXPECT_EQ(s[0].columnas[7].tipo, QStringLiteral("money"));
    EXPECT_EQ(s[1].clavePrimaria.size(), 5);
    EXPECT_EQ(s[1].nombreClave, QStringLiteral("PK_DET_ESTV0004"));

    const QString empresas = Lineas(
        {"CREATE TABLE [dbo].[MA_EMPRESAS] (", " [Base] [nvarchar] (50) NOT NULL ,",
         " [Compartida] [bit] NULL", " ) ON [PRIMARY]", " ",
         " ALTER TABLE [dbo].[MA_EMPRESAS] WITH NOCHECK ADD",
         " CONSTRAINT [DF_MA_EMPRESAS_Compartida] DEFAULT (0) FOR [Compartida],",
         " CONSTRAINT [PK_MA_EMPRESAS] PRIMARY KEY  NONCLUSTERED", " (", " [Base]", " )  ON [PRIMARY]"});
    const std::vector<Sentencia> e = TraducirLote(empresas);
    ASSERT_EQ(e.size(), 2u);
    ASSERT_EQ(e[1].defectos.size(), 1u);
    EXPECT_EQ(e[1].defectos[0].nombre, QStringLiteral("DF_MA_EMPRESAS_Compartida"));
    EXPECT_EQ(e[1].clavePrimaria, QStringList{QStringLiteral("Base")});
}

TEST(TsqlTraduccion, ColumnasEnLineaDelEsquemaErp) {
    const std::vector<Sentencia> s =
        TraducirLote(QStringLiteral("CREATE TABLE Control_Acceso (\n id int IDENTITY(1,1) NOT NULL PRIMARY "
                                    "KEY,\n Maquina nvarchar(50) NULL,\n"
                                    " Precio money NULL DEFAULT 0, Alta datetime NULL CONSTRAINT DF_A "
                                    "DEFAULT getdate(), Clave nvarchar(10) NOT NULL UNIQUE,\n"
                                    " Numero int IDENTITY (100, -2) NOT NULL\n)"));
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].clavePrimaria, QStringList{QStringLiteral("id")});
    ASSERT_EQ(s[0].columnas.size(), 6u);
    EXPECT_EQ(s[0].columnas[2].defecto, QStringLiteral("0"));
    EXPECT_EQ(s[0].columnas[3].defecto, QStringLiteral("kv_getdate()"));
    EXPECT_EQ(s[0].columnas[3].nombreDefecto, QStringLiteral("DF_A"));
    ASSERT_EQ(s[0].clavesUnicas.size(), 1u);
    EXPECT_EQ(s[0].clavesUnicas[0], QStringList{QStringLiteral("Clave")});
    // IDENTITY on a column that is not the key.
    EXPECT_TRUE(s[0].columnas[5].identidad);
    EXPECT_EQ(s[0].columnas[5].semilla, 100);
    EXPECT_EQ(s[0].columnas[5].incremento, -2);
}

TEST(TsqlTraduccion, AgregarCampo) {
    const std::vector<Sentencia> s = TraducirLote(QStringLiteral(
        "ALTER TABLE dbo.Art ADD Precio money Not Null  CONSTRAINT DF_Art_Precio DEFAULT (0)"));
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].clase, Clase::AgregarColumna);
    EXPECT_EQ(s[0].tabla, QStringLiteral("Art"));
    ASSERT_EQ(s[0].columnas.size(), 1u);
    EXPECT_EQ(s[0].columnas[0].nombre, QStringLiteral("Precio"));
    EXPECT_EQ(s[0].columnas[0].tipo, QStringLiteral("money"));
    EXPECT_FALSE(s[0].columnas[0].nulos);
    EXPECT_EQ(s[0].columnas[0].nombreDefecto, QStringLiteral("DF_Art_Precio"));
    EXPECT_EQ(s[0].columnas[0].defecto, QStringLiteral("(0)"));
}

TEST(TsqlTraduccion, ProcedimientosDelServidor) {
    const std::vector<Sentencia> s = TraducirLote(QStringLiteral(
        "EXEC sp_addlogin N'KV_ESTADISTICAS', 'QZ_TABLEROVENTA', 'KV_ESTADISTICAS'\r\n"
        "EXEC sp_addsrvrolemember N'KV_ESTADISTICAS',  setupadmin\r\n"
        "EXEC sp_grantdbaccess @loginame = 'KV_ESTADISTICAS' , @name_in_db ='KV_ESTADISTICAS'\r\n"
        "EXEC KV_RECONS_ESTV '*',''\r\n"
        "EXECUTE dbo.proc -5, 2.5, NULL"));
    ASSERT_EQ(s.size(), 5u);
    EXPECT_EQ(s[0].clase, Clase::Ejecutar);
    EXPECT_EQ(s[0].objeto, QStringLiteral("sp_addlogin"));
    ASSERT_EQ(s[0].argumentos.size(), 3u);
    EXPECT_EQ(s[0].argumentos[0].valor.toString(), QStringLiteral("KV_ESTADISTICAS"));
    EXPECT_EQ(s[0].argumentos[1].valor.toString(), QStringLiteral("QZ_TABLEROVENTA"));
    ASSERT_EQ(s[1].argumentos.size(), 2u);
    EXPECT_EQ(s[1].argumentos[1].valor.toString(), QStringLiteral("setupadmin"));
    ASSERT_EQ(s[2].argumentos.size(), 2u);
    EXPECT_EQ(s[2].argumentos[0].nombre, QStringLiteral("@loginame"));
    EXPECT_EQ(s[2].argumentos[1].nombre, QStringLiteral("@name_in_db"));
    EXPECT_EQ(s[2].argumentos[1].valor.toString(), QStringLiteral("KV_ESTADISTICAS"));
    EXPECT_EQ(s[3].objeto, QStringLiteral("KV_RECONS_ESTV"));
    EXPECT_EQ(s[3].argumentos[0].valor.toString(), QStringLiteral("*"));
    EXPECT_EQ(s[3].argumentos[1].valor.toString(), QString());
    EXPECT_FALSE(s[3].argumentos[1].valor.isNull());
    EXPECT_EQ(s[4].objeto, QStringLiteral("proc"));
    EXPECT_EQ(s[4].argumentos[0].valor.toLongLong(), -5);
    EXPECT_EQ(s[4].argumentos[1].valor.toDouble(), 2.5);
    EXPECT_TRUE(s[4].argumentos[2].valor.isNull());
}

TEST(TsqlTraduccion, BaseUsoYTransacciones) {
    const std::vector<Sentencia> s =
        TraducirLote(QStringLiteral("Create Database KV_ESTADISTICAS\nUSE KV_ESTADISTICAS\nBEGIN TRANSACTION "
                                    "\r\rUPDATE t SET a = 1\rCOMMIT TRANSACTION\n"
                                    "ROLLBACK TRANSACTION\nSET NOCOUNT ON\nDROP DATABASE X"));
    ASSERT_EQ(s.size(), 8u);
    EXPECT_EQ(s[0].clase, Clase::CrearBase);
    EXPECT_EQ(s[0].objeto, QStringLiteral("KV_ESTADISTICAS"));
    EXPECT_EQ(s[1].clase, Clase::Usar);
    EXPECT_EQ(s[2].clase, Clase::IniciarTransaccion);
    EXPECT_EQ(s[3].clase, Clase::Modificacion);
    EXPECT_EQ(s[3].linea, 5);
    EXPECT_EQ(s[3].sql, QStringLiteral("UPDATE t SET a = 1"));
    EXPECT_EQ(s[4].clase, Clase::ConfirmarTransaccion);
    EXPECT_EQ(s[5].clase, Clase::DeshacerTransaccion);
    EXPECT_EQ(s[6].clase, Clase::Nada);
    EXPECT_EQ(s[7].clase, Clase::BorrarBase);
}

TEST(TsqlTraduccion, TextosTraducidos) {
    auto sql = [](const char* t) { return TraducirLote(QString::fromUtf8(t)).at(0).sql; };
    EXPECT_EQ(sql("DELETE CAB_ESTV WHERE NOMBRE='x'"),
              QStringLiteral("DELETE FROM CAB_ESTV WHERE NOMBRE = 'x'"));
    EXPECT_EQ(sql("DROP TABLE DET_ESTV0003"), QStringLiteral("DROP TABLE DET_ESTV0003"));
    EXPECT_EQ(sql("select  top 1 * from AUX_ERR  with(nolock) "),
              QStringLiteral("SELECT * FROM AUX_ERR LIMIT 1"));
    EXPECT_EQ(sql("SELECT * FROM dbo.T WITH (NOLOCK) WHERE a = ?"),
              QStringLiteral("SELECT * FROM T WHERE a = ?"));
    EXPECT_EQ(sql("SELECT * FROM [dbo].[T] x With ( NoLock , INDEX(i) ) INNER JOIN U (nolock) ON x.a = U.a"),
              QStringLiteral("SELECT * FROM T x INNER JOIN U ON x.a = U.a"));
    EXPECT_EQ(sql("SELECT * FROM MA_EMPRESAS WHERE COMPARTIDA=1 OR BASE = 'E' ORDER BY BASE"),
              QStringLiteral("SELECT * FROM MA_EMPRESAS WHERE COMPARTIDA = 1 OR BASE = 'E' ORDER BY BASE"));
    EXPECT_EQ(sql("SELECT * FROM T WHERE ltrim(G) in ('a','b')"),
              QStringLiteral("SELECT * FROM T WHERE ltrim(G) COLLATE KV IN ('a', 'b')"));
    EXPECT_EQ(sql("SELECT * FROM T WHERE (B ='1' OR B = N'2' OR B='3')"),
              QStringLiteral("SELECT * FROM T WHERE (B IN ('1', '2', '3'))"));
    EXPECT_EQ(sql("SELECT MAX(Codigo) AS MAYOR FROM T WHERE x = 1"),
              QStringLiteral("SELECT max(Codigo) AS MAYOR FROM T WHERE x = 1"));
    EXPECT_EQ(sql("SELECT nombre, t.Clave FROM t"),
              QStringLiteral("SELECT nombre AS nombre, t.Clave AS Clave FROM t"));
    const Sentencia upd = TraducirLote(QStringLiteral("select  top 1 * from AUX_ERR  with(nolock) ")).at(0);
    EXPECT_EQ(upd.clase, Clase::Consulta);
    EXPECT_EQ(upd.tabla, QStringLiteral("AUX_ERR"));
}

TEST(TsqlErrores, SintaxisIncorrectaCercaDelToken) {
    ErrorTSQL e = ErrorDe(QStringLiteral("SELECT TOP 1 * FROM T with(nolock)  WHERE F = #01/02/2024# "));
    EXPECT_EQ(e.numero(), 102);
    EXPECT_EQ(e.mensaje(), QStringLiteral("Sintaxis incorrecta cerca de '#'."));

    e = ErrorDe(QStringLiteral("SELECT * FROM"));
    EXPECT_EQ(e.numero(), 102);
    EXPECT_EQ(e.mensaje(), QStringLiteral("Sintaxis incorrecta cerca de 'FROM'."));

    e = ErrorDe(QStringLiteral("INSERT INTO CAB_ESTV (NOMBRE,[TOP]) VALUES('a',,'b')"));
    EXPECT_EQ(e.mensaje(), QStringLiteral("Sintaxis incorrecta cerca de ','."));

    e = ErrorDe(QStringLiteral("USE X\nSELECT a b c FROM t"));
    EXPECT_EQ(e.mensaje(), QStringLiteral("Sintaxis incorrecta cerca de 'c'."));
    EXPECT_EQ(e.linea(), 2);

    e = ErrorDe(QStringLiteral("SELECT * FROM T WHERE a = @a"));
    EXPECT_EQ(e.numero(), 137);
    EXPECT_EQ(e.mensaje(), QStringLiteral("Debe declarar la variable escalar \"@a\"."));

    e = ErrorDe(QStringLiteral("GO"));
    EXPECT_EQ(e.mensaje(), QStringLiteral("Sintaxis incorrecta cerca de 'GO'."));

    e = ErrorDe(QStringLiteral("SELECT 'abc"));
    EXPECT_EQ(e.numero(), 105);
    EXPECT_EQ(mensajes::Sintaxis(QStringLiteral("x")), QStringLiteral("Sintaxis incorrecta cerca de 'x'."));
}

TEST(TsqlErrores, UnErrorDetieneTodoElLote) {
    // The batch translates as a whole: nothing comes back when any part is malformed.
    EXPECT_THROW(TraducirLote(QStringLiteral("INSERT INTO t VALUES (1)\nDELETE t\nSELECT FROM WHERE")),
                 ErrorTSQL);
    EXPECT_THROW(
        TraducirLote(QStringLiteral("BEGIN TRANSACTION\r\rINSERT INTO t VALUES (1)\rUPDATE t SET = 2\r")),
        ErrorTSQL);
}

TEST(TsqlErrores, MensajesDelServidor) {
    EXPECT_EQ(mensajes::ObjetoInvalido(QStringLiteral("T")),
              QStringLiteral("El nombre de objeto 'T' no es válido."));
    EXPECT_EQ(mensajes::ColumnaInvalida(QStringLiteral("c")),
              QStringLiteral("El nombre de columna 'c' no es válido."));
    EXPECT_EQ(mensajes::DivisionCero(), QStringLiteral("Error de división entre cero."));
    EXPECT_EQ(mensajes::Truncado(), QStringLiteral("Los datos de cadena o binarios se truncarían."));
    EXPECT_EQ(mensajes::ObjetoYaExiste(QStringLiteral("T")),
              QStringLiteral("Ya hay un objeto con el nombre 'T' en la base de datos."));
    EXPECT_EQ(mensajes::BaseYaExiste(QStringLiteral("B")),
              QStringLiteral("La base de datos 'B' ya existe. Elija otro nombre de base de datos."));
    EXPECT_EQ(mensajes::InicioSesion(QStringLiteral("u")),
              QStringLiteral("Error de inicio de sesión del usuario 'u'."));
    EXPECT_EQ(mensajes::ClaveDuplicada(QStringLiteral("PRIMARY KEY"), QStringLiteral("PK_T"),
                                       QStringLiteral("dbo.T")),
              QStringLiteral("Infracción de la restricción PRIMARY KEY 'PK_T'. No se puede insertar una "
                             "clave duplicada en el objeto 'dbo.T'."));
    EXPECT_EQ(
        mensajes::NuloNoAdmitido(QStringLiteral("c"), QStringLiteral("B.dbo.T"), QStringLiteral("INSERT")),
        QStringLiteral("No se puede insertar el valor NULL en la columna 'c', tabla 'B.dbo.T'. La columna no "
                       "admite valores NULL. Error de INSERT."));
}
