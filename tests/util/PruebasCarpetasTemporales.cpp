// The test support's own folders: everything a test writes, including what goes
// to "the temporary folder", disappears with them.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "soporte/CarpetasTemporales.h"
#include "soporte/VariableEntorno.h"

namespace kv::pruebas {
namespace {

TEST(CarpetasTemporales, ElTemporalApuntaALaRaizYSeRestaura) {
    VariableEntorno tmpdir("TMPDIR", QStringLiteral("/var/tmp"));
    VariableEntorno temp("TEMP");
    QString raiz;
    {
        CarpetasTemporales carpetas;
        raiz = carpetas.raiz();
        EXPECT_EQ(qEnvironmentVariable("TMPDIR") + "/", raiz);
        EXPECT_EQ(qEnvironmentVariable("TMP") + "/", raiz);
        EXPECT_EQ(qEnvironmentVariable("TEMP") + "/", raiz);
        EXPECT_EQ(QDir::tempPath() + "/", raiz);
        EXPECT_EQ(qEnvironmentVariable("KVESTV_CARPETA"), raiz + "app/");
        EXPECT_EQ(qEnvironmentVariable("KVESTV_DATOS"), raiz + "datos/");
        QFile log(QDir::tempPath() + "/KVERR.LOG");
        ASSERT_TRUE(log.open(QIODevice::WriteOnly));
        log.write("linea\r\n");
    }
    EXPECT_FALSE(QDir(raiz).exists());
    EXPECT_EQ(qEnvironmentVariable("TMPDIR"), QStringLiteral("/var/tmp"));
    EXPECT_FALSE(qEnvironmentVariableIsSet("TEMP"));
}

TEST(CarpetasTemporales, AnidadasDejanCadaVariableComoEstaba) {
    VariableEntorno tmp("TMP", QStringLiteral("/antes"));
    {
        CarpetasTemporales fuera;
        {
            CarpetasTemporales dentro;
            EXPECT_EQ(qEnvironmentVariable("TMP") + "/", dentro.raiz());
        }
        EXPECT_EQ(qEnvironmentVariable("TMP") + "/", fuera.raiz());
        EXPECT_EQ(qEnvironmentVariable("KVESTV_CARPETA"), fuera.aplicacion());
    }
    EXPECT_EQ(qEnvironmentVariable("TMP"), QStringLiteral("/antes"));
}

}  // namespace
}  // namespace kv::pruebas
