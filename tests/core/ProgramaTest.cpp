// The viewer started as a process, as a user or another program of the suite starts it.
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>

#include "ServidorPrueba.h"
#include "core/Arranque.h"

namespace {

const char* kLinea =
    "@server=EMBEBIDO; @dbname= X; @usuario= U; @Password= %1; @ParametroAdicional=; @Caja=1;quiv@";

struct Salida {
    int estado = -1;
    QString salida;
    QString errores;
};

Salida Ejecutar(const kv::pruebas::ServidorPrueba& servidor, const QStringList& argumentos) {
    QProcess proceso;
    QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
    entorno.remove("DISPLAY");
    entorno.remove("WAYLAND_DISPLAY");
    entorno.remove("QT_QPA_PLATFORM");
    entorno.insert("KVESTV_DATOS", servidor.carpetas().datos());
    entorno.insert("KVESTV_CARPETA", servidor.carpetas().aplicacion());
    entorno.insert("TEMP", servidor.carpetas().raiz());
    entorno.insert("HOME", servidor.carpetas().raiz());
    entorno.insert("XDG_CONFIG_HOME", servidor.carpetas().raiz() + "config");
    proceso.setProcessEnvironment(entorno);
    proceso.start(kv::pruebas::CarpetaBinarios() + "kv_estv", argumentos);
    Salida s;
    if (!proceso.waitForFinished(120000)) {
        proceso.kill();
        proceso.waitForFinished();
        s.errores = "<no terminó>";
        return s;
    }
    s.estado = proceso.exitStatus() == QProcess::NormalExit ? proceso.exitCode() : -2;
    s.salida = QString::fromUtf8(proceso.readAllStandardOutput());
    s.errores = QString::fromUtf8(proceso.readAllStandardError());
    return s;
}

TEST(Programa, AbreLasConexionesRegistraElAccesoYTerminaSinPantalla) {
    kv::pruebas::ServidorPrueba servidor("X", "U", "P");
    const Salida s = Ejecutar(servidor, {QString(kLinea).arg("P")});
    EXPECT_EQ(s.estado, 0) << s.errores.toStdString();
    EXPECT_EQ(s.salida, kv::core::MensajeSinPantalla("EMBEBIDO", "X", "U"));
    EXPECT_EQ(servidor.Valor("SELECT COUNT(*) FROM Control_Acceso").toInt(), 1);
    EXPECT_EQ(servidor.Valor("SELECT Usuario FROM Control_Acceso").toString(), "U");
    EXPECT_EQ(servidor.Valor("SELECT Formulario FROM Control_Acceso").toString(), "KV_ESTV");
    EXPECT_EQ(servidor.Valor("SELECT NombreUsuario FROM Control_Acceso").toString(), "U");
    // The lookup definitions were written beside the program.
    EXPECT_EQ(QFileInfo(servidor.carpetas().aplicacion() + "consultas.krv").size(), 11 * 1202);
}

TEST(Programa, LaLineaPartidaEnArgumentosDaLoMismo) {
    kv::pruebas::ServidorPrueba servidor("X", "U", "P");
    const Salida s = Ejecutar(servidor, QString(kLinea).arg("P").split(' '));
    EXPECT_EQ(s.estado, 0) << s.errores.toStdString();
    EXPECT_EQ(servidor.Valor("SELECT COUNT(*) FROM Control_Acceso").toInt(), 1);
}

TEST(Programa, ClaveIncorrectaTerminaConError) {
    kv::pruebas::ServidorPrueba servidor("X", "U", "P");
    const Salida s = Ejecutar(servidor, {QString(kLinea).arg("MALA")});
    // Status 1 from start-up itself, not a crash on the way out.
    EXPECT_EQ(s.estado, 1) << s.errores.toStdString();
    EXPECT_TRUE(s.salida.isEmpty()) << s.salida.toStdString();
    EXPECT_TRUE(s.errores.contains(" Error de Conexion a Base de Datos")) << s.errores.toStdString();
    EXPECT_TRUE(s.errores.contains("Codigo Nativo: 18456")) << s.errores.toStdString();
    EXPECT_TRUE(s.errores.contains("3. Verifique si el inicio de sesion para el usuario U existe"));
    EXPECT_TRUE(s.errores.contains(" - Desea Intentarlo Nuevamente??? "));
    EXPECT_EQ(servidor.Valor("SELECT COUNT(*) FROM Control_Acceso").toInt(), 0);
}

TEST(Programa, SinConexionEnLaLineaTerminaConError) {
    kv::pruebas::ServidorPrueba servidor("X", "U", "P");
    const Salida s = Ejecutar(servidor, {});
    EXPECT_EQ(s.estado, 1) << s.errores.toStdString();
    EXPECT_TRUE(s.salida.isEmpty());
}

TEST(Programa, InformeQueTerminaAntesDeTiempoCierraSusConexiones) {
    kv::pruebas::ServidorPrueba servidor("X", "U", "P");
    servidor.CrearAlmacenEstadisticas();
    // The connection opens, the statistic is not there: an early way out with its own status.
    const Salida s =
        Ejecutar(servidor, QStringList{"--informe", "NO EXISTE"} + QString(kLinea).arg("P").split(' '));
    EXPECT_EQ(s.estado, 4) << s.errores.toStdString();
}

TEST(Programa, DemoConOpcionInvalidaTerminaConSuEstado) {
    kv::pruebas::ServidorPrueba servidor("X", "U", "P");
    const Salida s = Ejecutar(servidor, {"--demo", "--lineas", "muchas"});
    EXPECT_EQ(s.estado, 2) << s.errores.toStdString();
    EXPECT_FALSE(s.errores.isEmpty());
}

}  // namespace
