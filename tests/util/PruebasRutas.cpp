#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>

#include "soporte/CarpetasTemporales.h"
#include "soporte/VariableEntorno.h"
#include "util/UtilRutas.h"

using namespace kv;

TEST(UtilRutas, CarpetaDeLaAplicacion) {
    UtilRutas::EstablecerCarpeta(QString());
    const QString ejecutable = QDir(QCoreApplication::applicationDirPath()).absolutePath() + "/";
    EXPECT_EQ(UtilRutas::CarpetaEjecutable(), ejecutable);
    {
        pruebas::VariableEntorno sinVariable("KVESTV_CARPETA");
        EXPECT_EQ(UtilRutas::CarpetaPorDefecto(), ejecutable);
        EXPECT_EQ(UtilRutas::Carpeta(), ejecutable);
    }
    {
        pruebas::CarpetasTemporales carpetas;
        EXPECT_EQ(UtilRutas::CarpetaPorDefecto(), carpetas.aplicacion());
        EXPECT_EQ(UtilRutas::Carpeta(), carpetas.aplicacion());
        // A folder set for the process wins over the default, normalised.
        UtilRutas::Carpeta(carpetas.datos() + "\\");
        EXPECT_EQ(UtilRutas::Carpeta(), carpetas.datos());
        UtilRutas::EstablecerCarpeta("");
        EXPECT_EQ(UtilRutas::Carpeta(), carpetas.aplicacion());
    }
    EXPECT_EQ(UtilRutas::NombreEjecutable(), "pruebas_util");
    {
        pruebas::VariableEntorno xdg("XDG_CONFIG_HOME", "/tmp/kv_xdg_prueba");
        EXPECT_EQ(UtilRutas::CarpetaConfiguracion(), "/tmp/kv_xdg_prueba/kv_estv/");
    }
}
