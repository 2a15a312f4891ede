// The viewer started as a process, as a user or another program of the suite starts it.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
#include <sys/stat.h>

#include "ServidorPrueba.h"
#include "core/Arranque.h"
#include "db/Recordset.h"

namespace {

const char* kLinea =
    "@server=EMBEBIDO; @dbname= X; @usuario= U; @Password= %1; @ParametroAdicional=; @Caja=1;quiv@";

struct Salida {
    int estado = -1;
    QString salida;
    QString errores;
};

// The program's environment: the test's folders, no display; `encima` replaces any of it.
QProcessEnvironment Entorno(const kv::pruebas::ServidorPrueba& servidor, const QMap<QString, QString>& encima) {
    QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
    entorno.remove("DISPLAY");
    entorno.remove("WAYLAND_DISPLAY");
    entorno.remove("QT_QPA_PLATFORM");
    entorno.insert("KVESTV_DATOS", servidor.carpetas().datos());
    entorno.insert("KVESTV_CARPETA", servidor.carpetas().aplicacion());
    entorno.insert("TEMP", servidor.carpetas().raiz());
    entorno.insert("HOME", servidor.carpetas().raiz());
    entorno.insert("XDG_CONFIG_HOME", servidor.carpetas().raiz() + "config");
    for (auto it = encima.begin(); it != encima.end(); ++it) entorno.insert(it.key(), it.value());
    return entorno;
}

// `encima`: variables that replace the test's own (its folders among them).
Salida Ejecutar(const kv::pruebas::ServidorPrueba& servidor, const QStringList& argumentos,
                const QMap<QString, QString>& encima = {}) {
    QProcess proceso;
    proceso.setProcessEnvironment(Entorno(servidor, encima));
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

Salida EjecutarConEntorno(const kv::pruebas::ServidorPrueba& servidor, const QStringList& argumentos,
                          const QMap<QString, QString>& variables) {
    for (auto it = variables.begin(); it != variables.end(); ++it)
        qputenv(it.key().toUtf8(), it.value().toUtf8());
    const Salida s = Ejecutar(servidor, argumentos);
    for (auto it = variables.begin(); it != variables.end(); ++it) qunsetenv(it.key().toUtf8());
    return s;
}

// BASES.TXT is shared with the suite's other programs: their lines come back
// byte for byte (8-bit code page, CR LF), the demo's own are replaced, and the
// file is readable by its owner only.
TEST(Programa, DemoConservaBasesTxtDeOtrosProgramas) {
    kv::pruebas::ServidorPrueba servidor("X", "U", "P");
    const QString ruta = servidor.carpetas().aplicacion() + "BASES.TXT";
    // A new file is its owner's only.
    ASSERT_EQ(Ejecutar(servidor, {"--demo", "--lineas", "300"}).estado, 0);
    EXPECT_EQ(QFile::permissions(ruta) & (QFileDevice::ReadGroup | QFileDevice::ReadOther | QFileDevice::WriteGroup |
                                          QFileDevice::WriteOther),
              QFileDevice::Permissions());
    const QByteArray ajena("COMPA\xD1\xCD" "A / SRV,EMP,Jos\xE9,41,SRV\r\n");
    {
        QFile f(ruta);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(ajena + "NORTE / EMBEBIDO,VIEJA,x,y,EMBEBIDO\r\n");
    }
    const Salida s = Ejecutar(servidor, {"--demo", "--lineas", "300"});
    ASSERT_EQ(s.estado, 0) << s.errores.toStdString();
    QFile f(ruta);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray contenido = f.readAll();
    EXPECT_TRUE(contenido.startsWith(ajena)) << contenido.toStdString();
    EXPECT_FALSE(contenido.contains("VIEJA"));
    EXPECT_EQ(contenido.count("NORTE / EMBEBIDO,NORTE,NORTE,"), 1);
    EXPECT_EQ(contenido.count("SUR / EMBEBIDO,SUR,SUR,"), 1);
    EXPECT_EQ(contenido.count("\n"), contenido.count("\r\n"));
    EXPECT_EQ(contenido.count("\r\n"), 3);
}

// With the administrator's password changed, the demo says how to give it, and
// runs when it is given by option or by variable.
TEST(Programa, DemoConClaveDeAdministradorCambiada) {
    kv::pruebas::ServidorPrueba servidor("X", "U", "P");
    servidor.Ejecutar("EXEC sp_password 'pelumbo', 'nueva', 'Korvane'");
    const Salida sinClave = Ejecutar(servidor, {"--demo", "--lineas", "200"});
    EXPECT_EQ(sinClave.estado, 3);
    EXPECT_TRUE(
        sinClave.errores.contains("indíquela con --admin USUARIO --clave CLAVE o con las variables "
                                  "KVESTV_ADMIN_USUARIO y KVESTV_ADMIN_CLAVE"))
        << sinClave.errores.toStdString();
    const Salida conOpciones =
        Ejecutar(servidor, {"--demo", "--lineas", "200", "--admin", "Korvane", "--clave", "nueva"});
    EXPECT_EQ(conOpciones.estado, 0) << conOpciones.errores.toStdString();
    const Salida conVariables =
        EjecutarConEntorno(servidor, {"--demo", "--lineas", "200"},
                           {{"KVESTV_ADMIN_USUARIO", "Korvane"}, {"KVESTV_ADMIN_CLAVE", "nueva"}});
    EXPECT_EQ(conVariables.estado, 0) << conVariables.errores.toStdString();
}

// The store is created once per start, and its password never reaches the trace,
// which only its owner may read.
TEST(Programa, AlmacenUnaVezYTrazaSinClaves) {
    kv::pruebas::ServidorPrueba servidor("X", "U", "P");
    const QString traza = servidor.carpetas().raiz() + "traza.jsonl";
    // As the administrator, so that the store and its login are created on the way.
    const Salida s = EjecutarConEntorno(
        servidor, {"@server=EMBEBIDO; @dbname= X; @usuario= Korvane; @Password= pelumbo; @Caja=1;quiv@"},
        {{"KVESTV_TRAZA_SQL", traza}});
    ASSERT_EQ(s.estado, 0) << s.errores.toStdString();
    QFile f(traza);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray contenido = f.readAll();
    EXPECT_EQ(contenido.count("Create Database KV_ESTADISTICAS"), 1);
    // A batch that creates a login keeps none of its values.
    EXPECT_EQ(contenido.count("EXEC sp_addlogin '***', '***', '***'"), 1);
    EXPECT_FALSE(contenido.contains("QZ_TABLEROVENTA"));
    EXPECT_EQ(QFile::permissions(traza) & (QFileDevice::ReadGroup | QFileDevice::ReadOther),
              QFileDevice::Permissions());
}

// The demo makes a missing application folder before anything else, and one
// it cannot write into, or a BASES.TXT that is no regular file, stops it at
// once with nothing built.
TEST(Programa, DemoCompruebaLasCarpetasAntesDeEmpezar) {
    kv::pruebas::ServidorPrueba servidor("X", "U", "P");
    const QString nueva = servidor.carpetas().raiz() + "no/existia/todavia/";
    const Salida s = Ejecutar(servidor, {"--demo", "--lineas", "200"}, {{"KVESTV_CARPETA", nueva}});
    ASSERT_EQ(s.estado, 0) << s.errores.toStdString();
    EXPECT_TRUE(QFileInfo(nueva + "BASES.TXT").isFile());

    const QString datos = servidor.carpetas().raiz() + "datos-nuevos/";
    const QString tuberia = servidor.carpetas().raiz() + "con-tuberia/";
    ASSERT_TRUE(QDir().mkpath(tuberia));
    ASSERT_EQ(mkfifo(QFile::encodeName(tuberia + "BASES.TXT").constData(), 0600), 0);
    const Salida t =
        Ejecutar(servidor, {"--demo", "--lineas", "200"}, {{"KVESTV_CARPETA", tuberia}, {"KVESTV_DATOS", datos}});
    EXPECT_EQ(t.estado, 1) << t.errores.toStdString();
    EXPECT_TRUE(t.errores.contains("No se pudo preparar la demostración: \"" + tuberia + "BASES.TXT\" no es un "
                                   "archivo común"))
        << t.errores.toStdString();
    EXPECT_TRUE(t.errores.contains("No se ha creado nada."));
    EXPECT_FALSE(QFile::exists(datos + "NORTE.db"));

    const QString archivo = servidor.carpetas().raiz() + "soy-un-archivo";
    {
        QFile f(archivo);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    const Salida u =
        Ejecutar(servidor, {"--demo", "--lineas", "200"}, {{"KVESTV_CARPETA", archivo}, {"KVESTV_DATOS", datos}});
    EXPECT_EQ(u.estado, 1) << u.errores.toStdString();
    EXPECT_TRUE(u.errores.contains("carpeta de la aplicación \"" + archivo)) << u.errores.toStdString();
    EXPECT_FALSE(QFile::exists(datos + "NORTE.db"));
}

// A demo killed while a company's rows are being written leaves that company
// as CREATE DATABASE made it, never a file that opens with part of the data;
// the next run throws the unfinished file away and makes the whole demo.
TEST(Programa, DemoInterrumpidaNoDejaUnaEmpresaAMedias) {
    kv::pruebas::ServidorPrueba servidor("X", "U", "P");
    const QString datos = servidor.carpetas().datos();
    QProcess proceso;
    proceso.setProcessEnvironment(Entorno(servidor, {}));
    proceso.start(kv::pruebas::CarpetaBinarios() + "kv_estv", {"--demo", "--lineas", "5000000"});
    ASSERT_TRUE(proceso.waitForStarted());
    // Killed once the new file holds some megabytes of rows.
    QElapsedTimer reloj;
    reloj.start();
    while (QFileInfo(datos + "NORTE.db.nueva").size() < 4 * 1024 * 1024 && reloj.elapsed() < 120000 &&
           proceso.state() == QProcess::Running)
        proceso.waitForFinished(20);
    ASSERT_EQ(proceso.state(), QProcess::Running) << proceso.readAllStandardError().toStdString();
    proceso.kill();
    ASSERT_TRUE(proceso.waitForFinished());
    EXPECT_EQ(proceso.exitStatus(), QProcess::CrashExit);
    ASSERT_TRUE(QFile::exists(datos + "NORTE.db.nueva"));
    {
        kv::db::Conexion c;
        c.Open(kv::pruebas::ServidorPrueba::Cadena("NORTE", "Korvane", "pelumbo"));
        for (const char* tabla : {"MV_STOCK", "MA_ARTICULOS", "MA_CUENTAS", "TA_USUARIOS"}) {
            auto r = c.Execute(QStringLiteral("SELECT count(*) FROM %1").arg(QLatin1String(tabla)));
            EXPECT_EQ(r->Valor(0).toInt(), 0) << tabla;
        }
    }
    const Salida s = Ejecutar(servidor, {"--demo", "--lineas", "300"});
    ASSERT_EQ(s.estado, 0) << s.errores.toStdString();
    for (const char* archivo : {"NORTE.db.nueva", "SUR.db.nueva", "NORTE.db-journal", "SUR.db-journal"})
        EXPECT_FALSE(QFile::exists(datos + archivo)) << archivo;
    kv::db::Conexion c;
    c.Open(kv::pruebas::ServidorPrueba::Cadena("NORTE", "NORTE", "NORTE"));
    auto r = c.Execute(QStringLiteral("SELECT count(*) FROM MV_STOCK WHERE TipoMovimiento = 'VTA'"));
    EXPECT_EQ(r->Valor(0).toInt(), 180);
}

}  // namespace
