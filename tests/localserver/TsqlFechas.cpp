// Dates and times are values without a time zone, as datetime is on SQL Server: the
// machine's zone and its daylight-saving changes never move them.
#include <ctime>

#include "ServidorPrueba.h"
#include "soporte/VariableEntorno.h"

using namespace kv::pruebas;

TEST_F(ServidorPrueba, LasFechasNoSiguenElHusoDeLaMaquina) {
    // A zone with a spring-forward gap (2024-03-31 02:00-03:00) and a fall-back hour (2024-10-27).
    struct VolverAlHuso {
        ~VolverAlHuso() { tzset(); }  // after TZ is put back
    } volver;
    VariableEntorno huso("TZ", QStringLiteral("Europe/Madrid"));
    tzset();
    auto c = Conectar();
    const auto filas = Filas(
        *c, QStringLiteral(
                "SELECT CONVERT(varchar(19), CAST('20240331 02:30' AS datetime), 120), "
                "CONVERT(varchar(19), DATEADD(hour, 1, '20240331 01:30'), 120), "
                "CONVERT(varchar(19), DATEADD(hour, 24, '20241026 12:00'), 120), "
                "CONVERT(varchar(19), DATEADD(minute, 90, '2024-10-27T01:45:00'), 120), "
                "DATEDIFF(hour, '20240331 01:00', '20240331 04:00'), DATEPART(hour, '20240331 02:15')"));
    ASSERT_EQ(filas.size(), 1u);
    ASSERT_EQ(filas[0].size(), 6u);
    EXPECT_EQ(filas[0][0].toString().toStdString(), "2024-03-31 02:30:00");
    EXPECT_EQ(filas[0][1].toString().toStdString(), "2024-03-31 02:30:00");
    EXPECT_EQ(filas[0][2].toString().toStdString(), "2024-10-27 12:00:00");
    EXPECT_EQ(filas[0][3].toString().toStdString(), "2024-10-27 03:15:00");
    EXPECT_EQ(filas[0][4].toInt(), 3);
    EXPECT_EQ(filas[0][5].toInt(), 2);
}
