// The base table an updatable recordset writes to, read from its SELECT.

#include <gtest/gtest.h>

#include "db/Recordset.h"

using kv::db::TablaBaseDeConsulta;

namespace {

TEST(TablaBaseDeConsulta, QuitaCorchetesDboYSugerencias) {
    EXPECT_EQ(TablaBaseDeConsulta("SELECT * FROM TA_CONFIGURACION"), "TA_CONFIGURACION");
    EXPECT_EQ(TablaBaseDeConsulta("select * from dbo.AUX_ERR with(nolock) where 1=0"), "AUX_ERR");
    EXPECT_EQ(TablaBaseDeConsulta("SELECT * FROM [dbo].[CAB_ESTV] WITH (NOLOCK)"), "CAB_ESTV");
    EXPECT_EQ(TablaBaseDeConsulta("SELECT * FROM [Tabla Rara](nolock)"), "Tabla Rara");
    EXPECT_EQ(TablaBaseDeConsulta("SELECT a,b\r\nFROM\r\n\tMA_EMPRESAS\r\nORDER BY a"), "MA_EMPRESAS");
    EXPECT_EQ(TablaBaseDeConsulta("SELECT * FROM KV_ESTADISTICAS.dbo.CAB_ESTV"), "KV_ESTADISTICAS.dbo.CAB_ESTV");
    EXPECT_EQ(TablaBaseDeConsulta("SELECT * FROM T1, T2"), "T1");
}

TEST(TablaBaseDeConsulta, NoSeConfundeConFromDentroDeTextosOSubconsultas) {
    EXPECT_EQ(TablaBaseDeConsulta("SELECT 'from x' AS A, (SELECT MAX(N) FROM OTRA) AS B FROM PRINCIPAL"), "PRINCIPAL");
    EXPECT_EQ(TablaBaseDeConsulta("SELECT FROMAGE, [from] FROM QUESOS"), "QUESOS");
    EXPECT_EQ(TablaBaseDeConsulta("SELECT 'it''s from here' FROM T"), "T");
    EXPECT_EQ(TablaBaseDeConsulta("SELECT 1"), "");
}

}  // namespace
