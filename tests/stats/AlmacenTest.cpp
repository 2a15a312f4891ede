// The statistics store on the embedded server: creation, save in its three
// modes, the rebuild decision, loading a definition back.
#include <gtest/gtest.h>

#include "EntornoEstadisticas.h"
#include "db/Recordset.h"
#include "soporte/PuertoGuionado.h"
#include "stats/AlmacenEstadisticas.h"
#include "stats/Empresas.h"

using namespace kv::stats;
using kv::pruebas::EntornoEstadisticas;
using kv::pruebas::PuertoGuionado;

namespace {

Definicion PorArticulo() {
    Definicion d;
    d.grupos[static_cast<size_t>(IndiceCatalogo("IdArticulo"))] = true;
    MarcarOrden(d.orden, 3, true);
    return d;
}

bool ExisteTabla(EntornoEstadisticas& e, const QString& tabla) {
    auto esquema = e.Almacen().gCnn.OpenSchema(kv::db::ado::EsquemaTablas);
    while (esquema && !esquema->EOF_()) {
        if (esquema->Valor("TABLE_NAME").toString().compare(tabla, Qt::CaseInsensitive) == 0) return true;
        esquema->MoveNext();
    }
    return false;
}

}  // namespace

TEST(Almacen, NombreDeTablaNuevaDesdeElEsquema) {
    EXPECT_EQ(NombreTablaNueva({}), "DET_ESTV0000");
    EXPECT_EQ(NombreTablaNueva({{"DET_ESTV0003", "TABLE"}, {"CAB_ESTV", "TABLE"}, {"DET_ESTV0000", "TABLE"}}),
              "DET_ESTV0004");
    EXPECT_EQ(NombreTablaNueva({{"det_estv0007", "TABLE"}}), "DET_ESTV0008");
    EXPECT_EQ(NombreTablaNueva({{"DET_ESTV0009", "VIEW"}, {"DET_ESTV0001", "TABLE"}}), "DET_ESTV0002");
}

TEST(Almacen, SentenciasDeCreacionExactas) {
    const QStringList s = SentenciasCreacionAlmacen();
    // No server role for the store's login: it owns its store and nothing else.
    ASSERT_EQ(s.size(), 14);
    for (const QString& sentencia : s) EXPECT_FALSE(sentencia.contains("sp_addsrvrolemember")) << sentencia.toStdString();
    EXPECT_EQ(s[0], "Create Database KV_ESTADISTICAS");
    EXPECT_EQ(s[1], "USE KV_ESTADISTICAS");
    EXPECT_EQ(s[3], "EXEC sp_grantdbaccess @loginame = 'KV_ESTADISTICAS' , @name_in_db ='KV_ESTADISTICAS'");
    EXPECT_EQ(s[10], "EXEC sp_addrolemember N'db_securityadmin', N'KV_ESTADISTICAS'");
    EXPECT_EQ(
        s[11],
        "CREATE TABLE [dbo].[CAB_ESTV] (\r\n [Codigo] [int] IDENTITY (1, 1) NOT NULL , \r\n [Nombre] "
        "[nvarchar] "
        "(50) NULL , \r\n [Tabla] [nvarchar] (50) NULL ,\r\n [Campos] [nvarchar] (500) NULL,\r\n [Orden] "
        "[nvarchar] (50) NULL,\r\n [Totalizadores] [nvarchar] (50) NULL,\r\n [TOP] [Int] NULL,\r\n "
        "[TopOtros] "
        "[nvarchar] (50) NULL\r\n ) ON [PRIMARY]\r\n \r\n ALTER TABLE [dbo].[CAB_ESTV] WITH NOCHECK ADD\r\n "
        "CONSTRAINT [PK_CAB_ESTV] PRIMARY KEY  NONCLUSTERED\r\n (\r\n [CODIGO]\r\n )  ON [PRIMARY]");
    EXPECT_TRUE(s[12].contains(
        " ) ON [PRIMARY] TEXTIMAGE_ON [PRIMARY]\r\n  \r\n ALTER TABLE [dbo].[TA_CONFIGURACION]"));
    EXPECT_TRUE(s[12].endsWith(" [GRUPO],\r\n [Clave]\r\n ) WITH  FILLFACTOR = 90  ON [PRIMARY]"));
    EXPECT_EQ(
        s[13],
        "CREATE TABLE [dbo].[MA_EMPRESAS] (\r\n [Base] [nvarchar] (50) NOT NULL ,\r\n [Compartida] [bit] "
        "NULL\r\n ) ON [PRIMARY]\r\n \r\n ALTER TABLE [dbo].[MA_EMPRESAS] WITH NOCHECK ADD\r\n CONSTRAINT "
        "[DF_MA_EMPRESAS_Compartida] DEFAULT (0) FOR [Compartida],\r\n CONSTRAINT [PK_MA_EMPRESAS] PRIMARY "
        "KEY  "
        "NONCLUSTERED\r\n (\r\n [Base]\r\n )  ON [PRIMARY]");
}

TEST(Almacen, SentenciasDeGrabacionExactas) {
    EXPECT_EQ(
        SentenciaInsertarDefinicion("Ventas", "DET_ESTV0000", "IdArticulo,'' '','' ''",
                                    "0x|0x|0x|11|0x|0x|0x|0x|0x|0x|A", "111000", "10", "Otros"),
        "INSERT INTO CAB_ESTV (NOMBRE,TABLA,CAMPOS,ORDEN,TOTALIZADORES,[TOP],TOPOTROS) VALUES('Ventas',"
        "'DET_ESTV0000','IdArticulo,'' '','' ''','0x|0x|0x|11|0x|0x|0x|0x|0x|0x|A','111000',10,'Otros')");
    EXPECT_EQ(
        SentenciaActualizarDefinicion("D'Alba", "IdArticulo,IdVendedor,'' ''", "O", "100000", "5", "Resto'"),
        "UPDATE CAB_ESTV SET CAMPOS ='IdArticulo,IdVendedor,'' ''', ORDEN='O', TOTALIZADORES='100000', "
        "[TOP]=5, TOPOTROS='Resto''' WHERE NOMBRE='D''Alba'");
    EXPECT_EQ(SentenciaBorrarDefinicion("Ventas"), "DELETE CAB_ESTV WHERE NOMBRE='Ventas'");
    EXPECT_EQ(SentenciaEliminarTabla("DET_ESTV0003"), "DROP TABLE DET_ESTV0003");
    EXPECT_EQ(
        SentenciaCrearTablaEstadistica("DET_ESTV0001"),
        "CREATE TABLE [dbo].[DET_ESTV0001] (\r\n [Base] [nvarchar] (50) NOT NULL , \r\n [Fecha] [nvarchar] "
        "(7) "
        "NOT NULL ,\r\n [Grupo1] [nvarchar] (25) NOT NULL ,\r\n [Grupo2] [nvarchar] (25) NOT NULL ,\r\n "
        "[Grupo3] "
        "[nvarchar] (25) NOT NULL ,\r\n [Consumo] [float] NULL ,\r\n [ValorCosto] [money] NULL ,\r\n "
        "[ValorVenta] "
        "[money] NULL\r\n ) ON [PRIMARY]\r\nALTER TABLE [dbo].[DET_ESTV0001] WITH NOCHECK ADD\r\n CONSTRAINT "
        "[PK_DET_ESTV0001] PRIMARY KEY  NONCLUSTERED\r\n (\r\n [Base],\r\n [Fecha],\r\n [Grupo1],\r\n "
        "[Grupo2],\r\n [Grupo3]\r\n )  ON [PRIMARY]");
}

TEST(Almacen, CreacionDosVecesSinMensajesYConexionPropia) {
    EntornoEstadisticas e;
    PuertoGuionado puerto;
    kv::db::DB_Dll& almacen = e.Almacen();
    ASSERT_TRUE(almacen.gOpenFlag);
    EXPECT_EQ(almacen.gCnn.State(), kv::db::ado::Abierto);
    CrearBaseEstadisticas(e.Erp());  // second start: every statement fails quietly
    EXPECT_TRUE(ExisteTabla(e, "CAB_ESTV"));
    EXPECT_TRUE(ExisteTabla(e, "TA_CONFIGURACION"));
    EXPECT_TRUE(ExisteTabla(e, "MA_EMPRESAS"));
    EXPECT_EQ(e.Valor("KV_ESTADISTICAS", "SELECT COUNT(*) FROM CAB_ESTV").toInt(), 0);
    // The store's default for Compartida.
    e.Ejecutar("KV_ESTADISTICAS", "INSERT INTO MA_EMPRESAS (Base) VALUES ('OESTE')");
    EXPECT_EQ(e.Valor("KV_ESTADISTICAS", "SELECT Compartida FROM MA_EMPRESAS").toInt(), 0);
    EXPECT_TRUE(puerto->Mensajes().isEmpty());
}

TEST(Almacen, GrabarNuevoExistenteYBorrar) {
    EntornoEstadisticas e;
    PuertoGuionado puerto;
    kv::db::DB_Dll& almacen = e.Almacen();
    QStringList reconstruidas;
    auto reconstruir = [&](const QString& tabla) { reconstruidas << tabla; };

    Definicion d = PorArticulo();
    EstadoDefinicion estado;
    estado.nombre = "Ventas por Artículo";
    estado.modo = ModoGrabacion::Nuevo;
    ASSERT_TRUE(GrabarEstadistica(almacen, d, estado, reconstruir));
    EXPECT_EQ(estado.tabla, "DET_ESTV0000");
    EXPECT_EQ(reconstruidas, QStringList{"DET_ESTV0000"});
    EXPECT_TRUE(ExisteTabla(e, "DET_ESTV0000"));
    auto filas = e.Filas("KV_ESTADISTICAS",
                         "SELECT Nombre, Tabla, Campos, Orden, Totalizadores, [TOP], TopOtros FROM CAB_ESTV");
    ASSERT_EQ(filas.size(), 1u);
    EXPECT_EQ(filas[0][0].toString(), QString::fromUtf8("Ventas por Artículo"));
    EXPECT_EQ(filas[0][1].toString(), "DET_ESTV0000");
    EXPECT_EQ(filas[0][2].toString(), "IdArticulo,' ',' '");
    EXPECT_EQ(filas[0][3].toString(), "0x|0x|0x|11|0x|0x|0x|0x|0x|0x|A");
    EXPECT_EQ(filas[0][4].toString(), "111000");
    EXPECT_EQ(filas[0][5].toInt(), 10);
    EXPECT_EQ(filas[0][6].toString(), "Otros");

    // Loaded back by name (trimmed, any case): only level 1 is set.
    Definicion leida;
    EstadoDefinicion estadoLeido;
    ASSERT_TRUE(BuscarDefinicion(almacen, "  ventas por artículo ", leida, estadoLeido));
    EXPECT_EQ(estadoLeido.modo, ModoGrabacion::Existente);
    EXPECT_EQ(estadoLeido.tabla, "DET_ESTV0000");
    EXPECT_EQ(estadoLeido.camposCargados, "IdArticulo,' ',' '");
    EXPECT_EQ(leida.grupos, d.grupos);
    EXPECT_EQ(estadoLeido.titulos,
              (std::array<QString, 3>{QString::fromUtf8("Artículo"), "Grupo2", "Grupo3"}));
    EXPECT_TRUE(leida.orden[3].marcada);
    EXPECT_EQ(leida.orden[3].posicion, "1");
    EXPECT_TRUE(leida.ascendente);

    // Same grouping, other settings: updated, not rebuilt.
    leida.top = "5";
    leida.topOtros = "Resto";
    leida.ascendente = false;
    ASSERT_TRUE(GrabarEstadistica(almacen, leida, estadoLeido, reconstruir));
    EXPECT_EQ(reconstruidas.size(), 1);
    EXPECT_EQ(e.Valor("KV_ESTADISTICAS", "SELECT [TOP] FROM CAB_ESTV").toInt(), 5);
    EXPECT_EQ(e.Valor("KV_ESTADISTICAS", "SELECT Orden FROM CAB_ESTV").toString(),
              "0x|0x|0x|11|0x|0x|0x|0x|0x|0x|D");

    // Grouping changed: rebuilt.
    leida.grupos[static_cast<size_t>(IndiceCatalogo("IdVendedor"))] = true;
    ASSERT_TRUE(GrabarEstadistica(almacen, leida, estadoLeido, reconstruir));
    EXPECT_EQ(reconstruidas, (QStringList{"DET_ESTV0000", "DET_ESTV0000"}));
    EXPECT_EQ(e.Valor("KV_ESTADISTICAS", "SELECT Campos FROM CAB_ESTV").toString(),
              "IdArticulo,IdVendedor,' '");

    // A second definition takes the next number.
    EstadoDefinicion otra;
    otra.nombre = "Clientes";
    otra.modo = ModoGrabacion::Nuevo;
    Definicion clientes;
    clientes.grupos[12] = true;
    ASSERT_TRUE(GrabarEstadistica(almacen, clientes, otra, reconstruir));
    EXPECT_EQ(otra.tabla, "DET_ESTV0001");

    // Deleting drops the table of the deleted row, whatever the window holds.
    EstadoDefinicion borrar;
    borrar.nombre = " Clientes ";
    borrar.tabla = "DET_ESTV0000";
    borrar.modo = ModoGrabacion::Borrar;
    ASSERT_TRUE(GrabarEstadistica(almacen, Definicion{}, borrar, reconstruir));
    EXPECT_FALSE(ExisteTabla(e, "DET_ESTV0001"));
    EXPECT_TRUE(ExisteTabla(e, "DET_ESTV0000"));
    EXPECT_EQ(e.Valor("KV_ESTADISTICAS", "SELECT COUNT(*) FROM CAB_ESTV").toInt(), 1);

    // A name that is not stored drops nothing.
    borrar.nombre = "No existe";
    ASSERT_TRUE(GrabarEstadistica(almacen, Definicion{}, borrar, reconstruir));
    EXPECT_TRUE(ExisteTabla(e, "DET_ESTV0000"));
    EXPECT_EQ(e.Valor("KV_ESTADISTICAS", "SELECT COUNT(*) FROM CAB_ESTV").toInt(), 1);
    EXPECT_TRUE(puerto->Mensajes().isEmpty());
}

TEST(Almacen, GrabacionRechazadaNoEscribeNada) {
    EntornoEstadisticas e;
    PuertoGuionado puerto;
    kv::db::DB_Dll& almacen = e.Almacen();
    int reconstrucciones = 0;
    auto reconstruir = [&](const QString&) { ++reconstrucciones; };

    struct Caso {
        QString nombre;
        Definicion definicion;
        QString mensaje;
    };
    Definicion sinGrupos;
    Definicion topVacio = PorArticulo();
    topVacio.top = "";
    Definicion topTexto = PorArticulo();
    topTexto.top = "diez";
    Definicion topGrande = PorArticulo();
    topGrande.top = "40000";
    Definicion otrosLargo = PorArticulo();
    otrosLargo.topOtros = QString(51, 'x');
    const std::vector<Caso> casos = {
        {"Sin grupos", sinGrupos, QString::fromUtf8("Debe seleccionar como mínimo un campo de agrupación")},
        {"Top vacío", topVacio, QString::fromUtf8("El TOP debe ser un número entero entre 0 y 32767.")},
        {"Top texto", topTexto, QString::fromUtf8("El TOP debe ser un número entero entre 0 y 32767.")},
        {"Top grande", topGrande, QString::fromUtf8("El TOP debe ser un número entero entre 0 y 32767.")},
        {QString(51, 'N'), PorArticulo(),
         QString::fromUtf8("El nombre de la estadística no puede tener más de 50 caracteres.")},
        {"Otros largo", otrosLargo,
         QString::fromUtf8("El nombre de los restantes no puede tener más de 50 caracteres.")},
    };
    for (const Caso& caso : casos) {
        puerto->ResponderMensaje(kv::respuesta::Aceptar);
        EstadoDefinicion estado;
        estado.nombre = caso.nombre;
        estado.modo = ModoGrabacion::Nuevo;
        EXPECT_FALSE(GrabarEstadistica(almacen, caso.definicion, estado, reconstruir))
            << caso.nombre.toStdString();
        EXPECT_TRUE(estado.cancelar);
    }
    const auto mensajes = puerto->Mensajes();
    ASSERT_EQ(mensajes.size(), static_cast<int>(casos.size()));
    for (size_t i = 0; i < casos.size(); ++i) {
        EXPECT_EQ(mensajes[static_cast<int>(i)].texto, casos[i].mensaje);
        EXPECT_EQ(mensajes[static_cast<int>(i)].titulo, "Aviso al Usuario");
        EXPECT_EQ(mensajes[static_cast<int>(i)].estilo, kv::estilo::Informacion);
    }
    EXPECT_EQ(reconstrucciones, 0);
    EXPECT_EQ(e.Valor("KV_ESTADISTICAS", "SELECT COUNT(*) FROM CAB_ESTV").toInt(), 0);
    EXPECT_FALSE(ExisteTabla(e, "DET_ESTV0000"));
}

TEST(Almacen, NombresConApostrofeSeGuardanTalCual) {
    EntornoEstadisticas e;
    PuertoGuionado puerto;
    kv::db::DB_Dll& almacen = e.Almacen();
    Definicion d = PorArticulo();
    d.topOtros = "Los d'más";
    EstadoDefinicion estado;
    estado.nombre = "O'Higgins'; DROP TABLE CAB_ESTV --";
    estado.modo = ModoGrabacion::Nuevo;
    ASSERT_TRUE(GrabarEstadistica(almacen, d, estado, [](const QString&) {}));
    EXPECT_TRUE(ExisteTabla(e, "CAB_ESTV"));
    Definicion leida;
    EstadoDefinicion estadoLeido;
    ASSERT_TRUE(BuscarDefinicion(almacen, estado.nombre, leida, estadoLeido));
    EXPECT_EQ(leida.topOtros, "Los d'más");
    estadoLeido.modo = ModoGrabacion::Borrar;
    ASSERT_TRUE(GrabarEstadistica(almacen, leida, estadoLeido, [](const QString&) {}));
    EXPECT_EQ(e.Valor("KV_ESTADISTICAS", "SELECT COUNT(*) FROM CAB_ESTV").toInt(), 0);
    EXPECT_FALSE(ExisteTabla(e, "DET_ESTV0000"));
}

TEST(Almacen, ListaDeEmpresasMarcaLaActual) {
    EntornoEstadisticas e;
    kv::db::DB_Dll& almacen = e.Almacen();
    e.AgregarEmpresa("SUR", true);
    e.AgregarEmpresa("NORTE", false);
    e.AgregarEmpresa("OESTE", false);
    EXPECT_EQ(SentenciaEmpresasVentana("NORTE"),
              "SELECT * FROM MA_EMPRESAS WHERE COMPARTIDA=1 OR BASE = 'NORTE' ORDER BY BASE");
    const auto lista = ListaEmpresas(almacen, "Norte");
    ASSERT_EQ(lista.size(), 2u);
    EXPECT_EQ(lista[0].base, "NORTE");
    EXPECT_TRUE(lista[0].marcada);
    EXPECT_EQ(lista[1].base, "SUR");
    EXPECT_FALSE(lista[1].marcada);
}

TEST(Almacen, BorrarSoloEliminaTablasDeEstadistica) {
    EXPECT_TRUE(EsTablaEstadistica("DET_ESTV0003"));
    EXPECT_TRUE(EsTablaEstadistica("det_estv12345"));
    EXPECT_FALSE(EsTablaEstadistica("MA_EMPRESAS"));
    EXPECT_FALSE(EsTablaEstadistica("DET_ESTV0001; DROP TABLE CAB_ESTV"));
    EXPECT_FALSE(EsTablaEstadistica(""));

    EntornoEstadisticas e;
    PuertoGuionado puerto;
    kv::db::DB_Dll& almacen = e.Almacen();
    // A damaged row that names a table of the store itself.
    e.Ejecutar("KV_ESTADISTICAS",
               "INSERT INTO CAB_ESTV (Nombre, Tabla, Campos, Orden, Totalizadores, [TOP], TopOtros) "
               "VALUES ('Rota', 'MA_EMPRESAS', 'IdArticulo,'' '','' ''', '', '111000', 10, 'Otros')");
    EstadoDefinicion borrar;
    borrar.nombre = "Rota";
    borrar.modo = ModoGrabacion::Borrar;
    ASSERT_TRUE(GrabarEstadistica(almacen, Definicion{}, borrar, [](const QString&) {}));
    EXPECT_EQ(e.Valor("KV_ESTADISTICAS", "SELECT COUNT(*) FROM CAB_ESTV").toInt(), 0);
    EXPECT_TRUE(ExisteTabla(e, "MA_EMPRESAS"));
    EXPECT_TRUE(puerto->Mensajes().isEmpty());
}

TEST(Almacen, UnaDefinicionNuevaSiempreSeReconstruye) {
    EntornoEstadisticas e;
    PuertoGuionado puerto;
    kv::db::DB_Dll& almacen = e.Almacen();
    QStringList reconstruidas;
    // The window still holds the grouping of a definition loaded before, and the
    // user saves the same grouping under a new name: the new table must be filled.
    EstadoDefinicion estado;
    estado.nombre = "Copia";
    estado.tabla = "DET_ESTV0042";
    estado.camposCargados = "IdArticulo,' ',' '";
    estado.modo = ModoGrabacion::Nuevo;
    ASSERT_TRUE(GrabarEstadistica(almacen, PorArticulo(), estado,
                                  [&](const QString& tabla) { reconstruidas << tabla; }));
    EXPECT_EQ(estado.tabla, "DET_ESTV0000");
    EXPECT_EQ(reconstruidas, QStringList{"DET_ESTV0000"});
    EXPECT_EQ(estado.modo, ModoGrabacion::Existente);
}

TEST(Almacen, NombresDeLasEstadisticasEnOrdenAlfabetico) {
    EntornoEstadisticas e;
    PuertoGuionado puerto;
    kv::db::DB_Dll& almacen = e.Almacen();
    EXPECT_TRUE(NombresEstadisticas(almacen).isEmpty());
    for (const QString& nombre :
         {QStringLiteral("Vendedores"), QStringLiteral("Artículos"), QStringLiteral("Clientes")}) {
        EstadoDefinicion estado;
        estado.nombre = nombre;
        estado.modo = ModoGrabacion::Nuevo;
        ASSERT_TRUE(GrabarEstadistica(almacen, PorArticulo(), estado, [](const QString&) {}));
    }
    EXPECT_EQ(NombresEstadisticas(almacen), QStringList({"Artículos", "Clientes", "Vendedores"}));
}

namespace {

bool ExisteTablaEn(kv::db::DB_Dll& base, const QString& tabla) {
    auto esquema = base.gCnn.OpenSchema(kv::db::ado::EsquemaTablas);
    while (esquema && !esquema->EOF_()) {
        if (esquema->Valor("TABLE_NAME").toString().compare(tabla, Qt::CaseInsensitive) == 0) return true;
        esquema->MoveNext();
    }
    return false;
}

// A company login without rights on the store: the creation stops when it cannot
// switch to the store, and nothing of the store lands in the company database.
TEST(Almacen, SinAccesoAlAlmacenNadaCaeEnLaEmpresa) {
    EntornoEstadisticas e;
    PuertoGuionado puerto;
    kv::db::DB_Dll& erp = kv::db::DB_Dll::Principal();
    erp.gServidor = "EMBEBIDO";
    erp.gDBName = "NORTE";
    erp.gUsuario = "NORTE";
    erp.gUserPassWord = "NORTE";
    erp.OpenServerADODB(false, 3, QString(), false, false);
    ASSERT_TRUE(erp.gOpenFlag);
    erp.gCnn.SetDefaultDatabase("NORTE");
    CrearBaseEstadisticas(erp);
    EXPECT_FALSE(ExisteTablaEn(erp, "CAB_ESTV"));
    EXPECT_FALSE(ExisteTablaEn(erp, "MA_EMPRESAS"));  // (TA_CONFIGURACION is the ERP's own there)
    // The store login was neither created nor given access to the company.
    kv::db::Conexion intento;
    EXPECT_THROW(intento.Open(EntornoEstadisticas::Cadena("NORTE", "KV_ESTADISTICAS", "QZ_TABLEROVENTA")),
                 kv::KvExcepcion);
    EXPECT_TRUE(puerto->Mensajes().isEmpty());
}

// A name typed with a leading blank is stored trimmed, so the update and the
// delete that look it up trimmed find it.
TEST(Almacen, NombreConBlancoDelanteSeGuardaRecortado) {
    EntornoEstadisticas e;
    PuertoGuionado puerto;
    kv::db::DB_Dll& almacen = e.Almacen();
    EstadoDefinicion estado;
    estado.nombre = "  Ventas Norte ";
    estado.modo = ModoGrabacion::Nuevo;
    ASSERT_TRUE(GrabarEstadistica(almacen, PorArticulo(), estado, [](const QString&) {}));
    EXPECT_EQ(e.Valor("KV_ESTADISTICAS", "SELECT Nombre FROM CAB_ESTV").toString(), "Ventas Norte");

    Definicion leida;
    EstadoDefinicion existente;
    ASSERT_TRUE(BuscarDefinicion(almacen, " Ventas Norte", leida, existente));
    leida.top = "7";
    ASSERT_TRUE(GrabarEstadistica(almacen, leida, existente, [](const QString&) {}));
    EXPECT_EQ(e.Valor("KV_ESTADISTICAS", "SELECT [TOP] FROM CAB_ESTV").toInt(), 7);

    existente.modo = ModoGrabacion::Borrar;
    ASSERT_TRUE(GrabarEstadistica(almacen, leida, existente, [](const QString&) {}));
    EXPECT_EQ(e.Valor("KV_ESTADISTICAS", "SELECT COUNT(*) FROM CAB_ESTV").toInt(), 0);
    EXPECT_FALSE(ExisteTabla(e, "DET_ESTV0000"));
    // A name of 50 characters with blanks around it still fits.
    EXPECT_EQ(ValidarGrabacion(" " + QString(50, 'x') + " ", PorArticulo(), ModoGrabacion::Nuevo), QString());
}

}  // namespace

TEST(Almacen, DosVisoresQueGrabanALaVezNoCompartenTabla) {
    EntornoEstadisticas e;
    kv::db::DB_Dll& primero = e.Almacen();
    kv::db::DB_Dll segundo;
    ASSERT_TRUE(AbrirConexionAlmacen(segundo, e.Erp()));

    Definicion d;
    d.grupos[static_cast<size_t>(IndiceCatalogo("IdArticulo"))] = true;
    EstadoDefinicion estadoSegundo;
    estadoSegundo.nombre = "Segundo";
    estadoSegundo.modo = ModoGrabacion::Nuevo;
    bool hecho = false;
    PuertoGuionado puerto;
    // While the first viewer walks the table list, the second saves its own
    // statistic: both saw the same highest number.
    puerto->AlProcesarEventos([&] {
        if (hecho) return;
        hecho = true;
        GrabarEstadistica(segundo, d, estadoSegundo, nullptr);
    });
    EstadoDefinicion estadoPrimero;
    estadoPrimero.nombre = "Primero";
    estadoPrimero.modo = ModoGrabacion::Nuevo;
    ASSERT_TRUE(GrabarEstadistica(primero, d, estadoPrimero, nullptr));
    ASSERT_TRUE(hecho);

    EXPECT_EQ(estadoSegundo.tabla, "DET_ESTV0000");
    EXPECT_EQ(estadoPrimero.tabla, "DET_ESTV0001");
    EXPECT_EQ(e.Valor("KV_ESTADISTICAS", "SELECT TABLA FROM CAB_ESTV WHERE NOMBRE='Segundo'").toString(),
              "DET_ESTV0000");
    EXPECT_EQ(e.Valor("KV_ESTADISTICAS", "SELECT TABLA FROM CAB_ESTV WHERE NOMBRE='Primero'").toString(),
              "DET_ESTV0001");
    EXPECT_TRUE(ExisteTabla(e, "DET_ESTV0000"));
    EXPECT_TRUE(ExisteTabla(e, "DET_ESTV0001"));
    segundo.gCnn.Close();
}
