// The viewer started as a process: its usage, its version, and what it says
// when it has neither a connection nor a display.
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QSet>

#include "access/Ayuda.h"
#include "soporte/CarpetasTemporales.h"

namespace {

struct Salida {
    int estado = -1;
    QString salida;
    QString errores;
};

Salida Ejecutar(const QStringList& argumentos) {
    kv::pruebas::CarpetasTemporales carpetas;
    QProcess proceso;
    QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
    entorno.remove("DISPLAY");
    entorno.remove("WAYLAND_DISPLAY");
    entorno.remove("QT_QPA_PLATFORM");
    entorno.insert("KVESTV_DATOS", carpetas.datos());
    entorno.insert("KVESTV_CARPETA", carpetas.aplicacion());
    entorno.insert("HOME", carpetas.raiz());
    proceso.setProcessEnvironment(entorno);
    proceso.start(kv::pruebas::CarpetaBinarios() + "kv_estv", argumentos);
    Salida s;
    if (!proceso.waitForFinished(60000)) {
        proceso.kill();
        proceso.waitForFinished();
        return s;
    }
    s.estado = proceso.exitStatus() == QProcess::NormalExit ? proceso.exitCode() : -2;
    s.salida = QString::fromUtf8(proceso.readAllStandardOutput());
    s.errores = QString::fromUtf8(proceso.readAllStandardError());
    return s;
}

TEST(ProgramaAcceso, SinConexionNiPantallaDiceQuePasar) {
    for (const QStringList& argumentos : {QStringList(), QStringList({"@Server=EMBEBIDO; @DbName=NORTE;"}),
                                          QStringList({"@Usuario=NORTE; @Password=NORTE;"})}) {
        const Salida s = Ejecutar(argumentos);
        EXPECT_EQ(s.estado, 1) << argumentos.join(' ').toStdString();
        EXPECT_TRUE(s.salida.isEmpty()) << s.salida.toStdString();
        EXPECT_TRUE(s.errores.contains(kv::access::MensajeFaltaConexion())) << s.errores.toStdString();
    }
    // The message shows the suite's form with an example to copy.
    EXPECT_TRUE(kv::access::MensajeFaltaConexion().contains(
        "  kv_estv \"@Server=EMBEBIDO; @DbName=NORTE; @Usuario=NORTE; @Password=NORTE;\"\n"));
}

TEST(ProgramaAcceso, AyudaConCadaForma) {
    for (const char* opcion : {"--help", "-h"}) {
        const Salida s = Ejecutar({opcion});
        EXPECT_EQ(s.estado, 0);
        EXPECT_EQ(s.salida, kv::access::TextoUso());
    }
    const QString uso = kv::access::TextoUso();
    EXPECT_TRUE(
        uso.contains("  kv_estv [--estadistica NOMBRE] [--captura ARCHIVO]\n"
                     "          [\"@Server=SERVIDOR; @DbName=BASE; @Usuario=USUARIO; @Password=CLAVE;\"]\n"));
    EXPECT_TRUE(uso.contains(
        "  kv_estv --demo [--lineas N] [--semilla S] [--admin USUARIO --clave CLAVE] [--captura ARCHIVO]\n"));
    EXPECT_TRUE(
        uso.contains("  kv_estv --informe \"NOMBRE\" [--desde M/AAAA] [--hasta M/AAAA] [--empresas A,B]\n"));
    EXPECT_TRUE(uso.contains("  kv_estv --version"));
}

// The options a subcommand names in its own usage line, with group numbers as "N".
QSet<QString> Opciones(const QString& texto) {
    QSet<QString> opciones;
    QRegularExpressionMatchIterator it = QRegularExpression("--[a-zA-Z]+[0-9]?[a-zA-Z]*").globalMatch(texto);
    while (it.hasNext()) opciones.insert(it.next().captured().replace(QRegularExpression("[0-9]"), "N"));
    return opciones;
}

TEST(ProgramaAcceso, LaAyudaNombraCadaOpcionDeCadaOrden) {
    // Each subcommand says its own usage when given a wrong option; the help must know them all.
    const Salida demo = Ejecutar({"--demo", "--opcion-que-no-existe"});
    const Salida informe = Ejecutar({"--informe"});
    const qsizetype usoDemo = demo.errores.indexOf("Uso: kv_estv --demo");
    const qsizetype usoInforme = informe.errores.indexOf("Uso: kv_estv --informe");
    ASSERT_GE(usoDemo, 0) << demo.errores.toStdString();
    ASSERT_GE(usoInforme, 0) << informe.errores.toStdString();
    const QSet<QString> enAyuda = Opciones(kv::access::TextoUso());
    for (const QString& opcion :
         Opciones(demo.errores.mid(usoDemo)) + Opciones(informe.errores.mid(usoInforme)))
        EXPECT_TRUE(enAyuda.contains(opcion)) << opcion.toStdString();
    EXPECT_TRUE(enAyuda.contains("--grupoN"));
}

TEST(ProgramaAcceso, Version) {
    const Salida s = Ejecutar({"--version"});
    EXPECT_EQ(s.estado, 0);
    EXPECT_EQ(s.salida, kv::access::TextoVersion());
    EXPECT_TRUE(QRegularExpression("^kv_estv \\d+\\.\\d+(\\.\\d+)?\\n$").match(s.salida).hasMatch())
        << s.salida.toStdString();
}

}  // namespace
