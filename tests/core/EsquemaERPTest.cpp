#include <gtest/gtest.h>

#include "ServidorPrueba.h"
#include "db/Recordset.h"
#include "localserver/erp/EsquemaERP.h"

namespace {

TEST(EsquemaERP, LotesSeparadosPorGO) {
    const QStringList lotes =
        kv::local::DividirLotesGO("-- solo comentario\nGO\nSELECT 1\n  go  \r\nSELECT 2\nGOTO x\nGO\n\n");
    ASSERT_EQ(lotes.size(), 2);
    EXPECT_EQ(lotes.at(0), "SELECT 1\n");
    EXPECT_EQ(lotes.at(1), "SELECT 2\nGOTO x\n");
}

TEST(EsquemaERP, ElGuionVieneConElPrograma) {
    const QString texto = kv::local::TextoEsquemaERP();
    EXPECT_TRUE(texto.contains("CREATE TABLE MV_STOCK"));
    EXPECT_GT(kv::local::DividirLotesGO(texto).size(), 40);
}

TEST(EsquemaERP, CreaTablasYVistasQueLeeElSistema) {
    kv::pruebas::ServidorPrueba servidor;
    auto c = servidor.Conectar();
    const QStringList objetos = {"TA_CONFIGURACION",
                                 "ta_usuarios",
                                 "TA_TAREAS",
                                 "TA_MENU",
                                 "Control_Acceso",
                                 "AUX_ERR",
                                 "MA_ARTICULOS",
                                 "MV_STOCK",
                                 "V_MA_ARTICULOS",
                                 "VT_MA_ARTICULOS",
                                 "V_TA_VENDEDORES",
                                 "V_TA_RUBROS",
                                 "V_TA_TIPOARTICULO",
                                 "V_TA_FAMILIAS",
                                 "V_TA_CATEGORIAARTICULO",
                                 "V_TA_UNIDADNEGOCIO",
                                 "V_TA_DEPOSITO",
                                 "VT_CLIENTES",
                                 "VT_PROVEEDORES",
                                 "V_MV_FALTANTES",
                                 "MA_CUENTAS",
                                 "SS_MA_CUENTAS",
                                 "SS_V_TA_DEPOSITO",
                                 "SS_MV_ASIENTOS",
                                 "SS_V_TA_FAMILIAS",
                                 "SS_V_TA_CAJAS",
                                 "SS_AC_CUENTASDIARIO",
                                 "SS_AC_CUENTAS_DIARIO_CCOSTO",
                                 "MA_CONTACTOS",
                                 "V_TA_TECNICOS",
                                 "V_MA_MANTENIMIENTOS",
                                 "V_TA_Tareas",
                                 "V_TA_UnidadNegocio",
                                 "TA_CCOSTO",
                                 "MA_POSICIONES"};
    for (const QString& objeto : objetos) {
        EXPECT_NO_THROW(c->Execute("SELECT TOP 1 * FROM " + objeto)) << objeto.toStdString();
    }
}

TEST(EsquemaERP, VistasConLasColumnasDeLasConsultas) {
    kv::pruebas::ServidorPrueba servidor;
    servidor.Ejecutar(
        "INSERT INTO MA_CUENTAS (Codigo, Descripcion, Razon_Social, TipoCuenta, Contacto, Confidencial, "
        "Dada_De_Baja) VALUES ('C1', 'Cliente uno', 'CLIENTE UNO SA', 'C', 'Ana', 0, 0)");
    servidor.Ejecutar(
        "INSERT INTO MA_CUENTAS (Codigo, Descripcion, Razon_Social, TipoCuenta, Confidencial) "
        "VALUES ('P1', 'Proveedor', 'PROV SRL', 'P', 1)");
    servidor.Ejecutar(
        "INSERT INTO MA_ARTICULOS (IdArticulo, Descripcion, IdFamilia, Suspendido, Stock, PuntoPedido) "
        "VALUES ('A1', 'Tornillo', '010101', 0, 5, 2)");
    servidor.Ejecutar("INSERT INTO TA_FAMILIAS (IdFamilia, Descripcion) VALUES ('01', 'Ferretería')");
    servidor.Ejecutar("INSERT INTO TA_FAMILIAS (IdFamilia, Descripcion) VALUES ('0101', 'Bulonería')");
    auto c = servidor.Conectar();
    EXPECT_EQ(c->Execute("SELECT RAZON_SOCIAL, CODIGO, CONTACTO FROM VT_CLIENTES WHERE Dada_De_Baja = 0")
                  ->Valor("CODIGO")
                  .toString(),
              "C1");
    EXPECT_EQ(c->Execute("SELECT RAZON_SOCIAL, CODIGO FROM VT_PROVEEDORES")->Valor("codigo").toString(),
              "P1");
    EXPECT_EQ(c->Execute("SELECT DESCRIPCION, IDARTICULO, CODIGOBARRA, CODIGOBARRADUN, CODIGOARTPROVEEDOR "
                         "FROM VT_MA_ARTICULOS WHERE SUSPENDIDO = 0")
                  ->Valor("IDARTICULO")
                  .toString(),
              "A1");
    EXPECT_EQ(c->Execute("SELECT IDFAMILIA,DESCRIPCION FROM V_TA_FAMILIAS ORDER BY IDFAMILIA")->RecordCount(),
              2);
    // The restricted synonym hides confidential accounts.
    EXPECT_EQ(c->Execute("SELECT COUNT(*) FROM SS_MA_CUENTAS")->Valor(0).toInt(), 1);
    EXPECT_EQ(c->Execute("SELECT COUNT(*) FROM MA_CUENTAS")->Valor(0).toInt(), 2);
    EXPECT_NO_THROW(
        c->Execute("INSERT INTO V_MV_FALTANTES (FechaHora,IdArticulo,Descripcion,Usuario) "
                   "values('2026-12-07 10:00:00','A1','Tornillo','U')"));
    EXPECT_NO_THROW(c->Execute("SELECT Descripcion, IdTarea FROM V_TA_Tareas"));
    EXPECT_NO_THROW(c->Execute("SELECT Descripcion,IdDeposito,UnidadNegocio FROM V_TA_DEPOSITO"));
}

}  // namespace
