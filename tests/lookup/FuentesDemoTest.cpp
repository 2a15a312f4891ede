// Every lookup source of the grouping catalog, on the demo company: the
// statement the request builds (byte for byte) and the rows it brings.
#include <gtest/gtest.h>

#include "EntornoConsultas.h"
#include "db/DB_Dll.h"
#include "lookup/Lib_ClsCons3.h"
#include "lookup/ModeloConsulta.h"
#include "lookup/SentenciasConsulta.h"
#include "soporte/PuertoGuionado.h"

using kv::lookup::Lib_ClsCons3;
using kv::pruebas::EntornoConsultas;

namespace {
struct Caso {
    const char* fuente;
    const char* devuelto;
    const char* sentencia;
};

QString Armar(const QString& fuente, const QString& devuelto) {
    Lib_ClsCons3& consulta = Lib_ClsCons3::Compartida();
    consulta.CampoDevuelto = devuelto;
    QString campo, where, sentencia;
    EXPECT_TRUE(consulta.ArmarSentencia(fuente, campo, where, QString(), sentencia));
    consulta.CampoDevuelto.clear();
    return sentencia;
}
}  // namespace

TEST(FuentesDemo, CadaFuenteDelCatalogoArmaSuSentenciaYTraeFilas) {
    EntornoConsultas entorno;
    kv::pruebas::PuertoGuionado puerto;
    const Caso casos[] = {
        {"V_TA_UNIDADNEGOCIO", "CODIGO",
         "SELECT TOP 1000 Descripcion,Codigo FROM V_TA_UnidadNegocio  with(nolock)  ORDER BY Descripcion"},
        {"V_MA_ARTICULOS", "IDARTICULO",
         "SELECT TOP 1000 DESCRIPCION,IDARTICULO FROM VT_MA_ARTICULOS  with(nolock)  WHERE SUSPENDIDO = 0 "
         "ORDER BY DESCRIPCION"},
        {"V_MA_ARTICULOS", "CODIGOBARRA",
         "SELECT TOP 1000 DESCRIPCION,IDARTICULO,CODIGOBARRA FROM VT_MA_ARTICULOS  with(nolock)  WHERE "
         "SUSPENDIDO = 0 ORDER BY DESCRIPCION"},
        {"V_MA_ARTICULOS", "CODIGOBARRADUN",
         "SELECT TOP 1000 DESCRIPCION,IDARTICULO,CODIGOBARRADUN FROM VT_MA_ARTICULOS  with(nolock)  WHERE "
         "SUSPENDIDO = 0 ORDER BY DESCRIPCION"},
        {"V_MA_ARTICULOS", "CODIGOARTPROVEEDOR",
         "SELECT TOP 1000 DESCRIPCION,IDARTICULO,CODIGOARTPROVEEDOR FROM VT_MA_ARTICULOS  with(nolock)  "
         "WHERE "
         "SUSPENDIDO = 0 ORDER BY DESCRIPCION"},
        {"V_TA_VENDEDORES", "IDVENDEDOR",
         "SELECT TOP 1000 NOMBRE,IDVENDEDOR FROM V_TA_VENDEDORES  with(nolock)  ORDER BY NOMBRE"},
        {"V_TA_RUBROS", "IDRUBRO",
         "SELECT TOP 1000 Descripcion,IdRubro FROM V_TA_RUBROS  ORDER BY Descripcion"},
        {"V_TA_TIPOARTICULO", "IDTIPO",
         "SELECT TOP 1000 Descripcion,IdTipo FROM V_TA_TIPOARTICULO  ORDER BY Descripcion"},
        {"SELECT IDFAMILIA,DESCRIPCION FROM V_TA_FAMILIAS ORDER BY IDFAMILIA", "IDFAMILIA",
         "SELECT IDFAMILIA,DESCRIPCION FROM V_TA_FAMILIAS ORDER BY IDFAMILIA"},
        {"V_TA_CATEGORIAARTICULO", "IDCATEGORIA",
         "SELECT TOP 1000 Descripcion,IdCategoria FROM V_TA_CATEGORIAARTICULO  ORDER BY Descripcion"},
        {"VT_PROVEEDORES", "CODIGO",
         "SELECT TOP 1000 RAZON_SOCIAL,CODIGO FROM VT_PROVEEDORES  with(nolock)  WHERE Dada_De_Baja = 0 "
         "ORDER "
         "BY RAZON_SOCIAL"},
        {"VT_CLIENTES", "CODIGO",
         "SELECT TOP 1000 RAZON_SOCIAL,CODIGO,CONTACTO FROM VT_CLIENTES  with(nolock)  WHERE Dada_De_Baja = "
         "0 "
         "ORDER BY RAZON_SOCIAL"},
    };
    for (const Caso& caso : casos) {
        SCOPED_TRACE(caso.fuente);
        const QString sentencia = Armar(caso.fuente, caso.devuelto);
        EXPECT_EQ(sentencia, caso.sentencia);
        const auto datos = kv::lookup::LeerConsulta(kv::db::DB_Dll::Principal(), sentencia);
        ASSERT_TRUE(datos.has_value());
        EXPECT_GT(datos->filas.size(), 2u);
        bool devuelto = false;
        for (const auto& columna : datos->columnas)
            if (columna.nombre.compare(caso.devuelto, Qt::CaseInsensitive) == 0) devuelto = true;
        EXPECT_TRUE(devuelto) << "the returned column is read";
    }
    EXPECT_TRUE(puerto->Mensajes().isEmpty());
}

TEST(FuentesDemo, ElArbolDeFamiliasCorreEnElServidor) {
    EntornoConsultas entorno;
    kv::pruebas::PuertoGuionado puerto;
    const auto datos =
        kv::lookup::LeerConsulta(kv::db::DB_Dll::Principal(), kv::lookup::SentenciaArbolFamilias());
    ASSERT_TRUE(datos.has_value());
    ASSERT_EQ(datos->columnas.size(), 3u);
    EXPECT_EQ(datos->filas.size(),
              static_cast<size_t>(entorno.Valor("SELECT COUNT(*) FROM TA_FAMILIAS").toInt()));
    for (const auto& fila : datos->filas) {
        const QString codigo = fila.textos[0], padre = fila.textos[2];
        if (codigo.size() == 2) {
            EXPECT_TRUE(padre.isEmpty()) << codigo.toStdString();
        } else {
            EXPECT_EQ(padre, codigo.left(codigo.size() - 2)) << codigo.toStdString();
        }
    }
}
