#pragma once
// A statistics store with one statistic table holding two groups of one
// company and month, the chart query over them, and the columnar cache empty
// before and after each test: the ground of the columnar cache and file tests.

#include "ServidorPrueba.h"
#include "localserver/rapida/TablaColumnar.h"

namespace kv::pruebas {

inline const char* const kCrearTablaEstadistica =
    "CREATE TABLE [dbo].[DET_ESTV0001] ( [Base] [nvarchar] (50) NOT NULL , [Fecha] [nvarchar] (7) NOT NULL ,"
    " [Grupo1] [nvarchar] (25) NOT NULL , [Grupo2] [nvarchar] (25) NOT NULL , [Grupo3] [nvarchar] (25) NOT "
    "NULL ,"
    " [Consumo] [float] NULL , [ValorCosto] [money] NULL , [ValorVenta] [money] NULL, "
    " CONSTRAINT [PK_DET_ESTV0001] PRIMARY KEY NONCLUSTERED ([Base], [Fecha], [Grupo1], [Grupo2], [Grupo3]))";

inline const char* const kGraficoEstadistica =
    "SELECT SUM(CONSUMO) AS CONSUMO, SUM(VALORCOSTO) AS VALORCOSTO, SUM(VALORVENTA) AS "
    "VALORVENTA,grupo1,grupo2,"
    "grupo3 FROM DET_ESTV0001  Where BASE ='NORTE'  AND (FECHA ='1/2025' ) GROUP BY GRUPO1, GRUPO2, GRUPO3  "
    "ORDER BY ValorVenta DESC";

class TablaEstadisticaPrueba : public ServidorPrueba {
  protected:
    void SetUp() override {
        ServidorPrueba::SetUp();
        kv::local::rapida::CacheColumnar::Global().Vaciar();
        c_ = Conectar();
        Lote(*c_, QStringLiteral("CREATE DATABASE KV_ESTADISTICAS"));
        Lote(*c_, QStringLiteral("USE KV_ESTADISTICAS"));
        Lote(*c_, QString::fromLatin1(kCrearTablaEstadistica));
        Lote(*c_,
             QStringLiteral("INSERT INTO DET_ESTV0001 VALUES ('NORTE', '1/2025', 'A', ' ', ' ', 1, 10, 20)"));
        Lote(*c_,
             QStringLiteral("INSERT INTO DET_ESTV0001 VALUES ('NORTE', '1/2025', 'B', ' ', ' ', 2, 30, 40)"));
    }
    void TearDown() override { kv::local::rapida::CacheColumnar::Global().Vaciar(); }

    std::unique_ptr<kv::db::Conexion> c_;
};

}  // namespace kv::pruebas
