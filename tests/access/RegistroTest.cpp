// Registering a connection from the sign-in window, and the desktop launcher.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTest>

#include "EntornoAcceso.h"
#include "access/Ayuda.h"
#include "access/Lanzador.h"
#include "access/frmAcceso.h"
#include "core/Inicio.h"
#include "core/ServidorPrueba.h"
#include "db/DB_Dll.h"
#include "soporte/PuertoGuionado.h"
#include "soporte/VariableEntorno.h"
#include "util/UtilGeneral.h"
#include "util/UtilRutas.h"

using kv::access::frmAcceso;
using kv::db::DB_Dll;
using kv::pruebas::Filas;
using kv::pruebas::LeerArchivo;
using kv::pruebas::Teclear;

namespace {

const QByteArray kNorte = "NORTE / EMBEBIDO,NORTE,NORTE,15CFF79EAA,EMBEBIDO\r\n";

void Mostrar(QWidget& ventana) {
    ventana.show();
    ventana.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&ventana));
}

void Escribir(frmAcceso& v, const QString& servidor, const QString& base, const QString& usuario,
              const QString& clave) {
    Teclear(v.TxtServidor, servidor);
    Teclear(v.TxtDbName, base);
    Teclear(v.TxtUserId, usuario);
    Teclear(v.TxtUserPassword, clave);
}

class Registro : public ::testing::Test {
  protected:
    void SetUp() override {
        kv::UtilRutas::EstablecerCarpeta(QString());
        DB_Dll::DescartarPrincipal();
        DB_Dll::EstablecerNombreProceso("KV_ESTV");
    }
    void TearDown() override {
        kv::core::CerrarConexiones();
        DB_Dll::EstablecerNombreProceso(QString());
    }
    QString App() const { return servidor_->carpetas().aplicacion(); }
    QString Bases() const { return App() + "BASES.TXT"; }
    void Servidor(const QString& base, const QString& usuario, const QString& clave) {
        servidor_ = std::make_unique<kv::pruebas::ServidorPrueba>(base, usuario, clave);
    }

    std::unique_ptr<kv::pruebas::ServidorPrueba> servidor_;
};

TEST_F(Registro, ConElInicioDeSesionDeLaBaseSeGrabaSinUsarLoTecleado) {
    Servidor("VENTAS", "VENTAS", "VENTAS");
    kv::pruebas::EscribirBases(App(), kNorte);
    kv::pruebas::PuertoGuionado puerto;
    frmAcceso v;
    Mostrar(v);
    Escribir(v, " embebido ", "ventas ", "quien", "no importa");
    QTest::mouseClick(v.CmdRegistrar, Qt::LeftButton);

    EXPECT_TRUE(puerto->Mensajes().isEmpty());
    EXPECT_EQ(LeerArchivo(Bases()), kNorte + "VENTAS / EMBEBIDO,ventas,ventas," +
                                        kv::UtilGeneral::Codificar("ventas").toLatin1() + ",embebido\r\n");
    // The list is refilled with the new entry, and its first entry is selected again.
    EXPECT_EQ(Filas(v), QStringList({"NORTE / EMBEBIDO", "VENTAS / EMBEBIDO"}));
    EXPECT_EQ(v.lstBases->currentRow(), 0);
    EXPECT_EQ(v.TxtDbName->text(), "NORTE");
    // Only tried, not left open.
    EXPECT_EQ(DB_Dll::Principal().gCnn.State(), kv::db::ado::Cerrado);
}

TEST_F(Registro, LaQueYaExisteNoSeEscribe) {
    Servidor("VENTAS", "VENTAS", "VENTAS");
    const QByteArray bases = kNorte + "VENTAS / SRV01,ventas,ventas,00,srv01:1444\r\n";
    kv::pruebas::EscribirBases(App(), bases);
    kv::pruebas::PuertoGuionado puerto;
    puerto->ResponderMensaje(kv::respuesta::Aceptar);
    frmAcceso v;
    Mostrar(v);
    Escribir(v, "srv01:1444", "ventas", "U", "P");
    QTest::mouseClick(v.CmdRegistrar, Qt::LeftButton);
    ASSERT_EQ(puerto->Mensajes().size(), 1);
    EXPECT_EQ(puerto->Mensajes()[0].texto, "La conexion que intenta registrar ya existe ");
    EXPECT_EQ(puerto->Mensajes()[0].titulo, "Atencion");
    EXPECT_EQ(puerto->Mensajes()[0].estilo, 64);
    EXPECT_EQ(LeerArchivo(Bases()), bases);
}

TEST_F(Registro, SiLaBaseNoTieneSuInicioSePruebaElUsuarioTecleado) {
    Servidor("VENTAS", "U", "ClaveTecleada9");
    kv::pruebas::EscribirBases(App(), kNorte);
    kv::pruebas::PuertoGuionado puerto;
    frmAcceso v;
    Mostrar(v);
    Escribir(v, "EMBEBIDO", "VENTAS", "U", "ClaveTecleada9");
    v.TxtPuerto->setText("no es un número");
    QTest::mouseClick(v.CmdRegistrar, Qt::LeftButton);
    EXPECT_TRUE(puerto->Mensajes().isEmpty());
    EXPECT_EQ(v.puerto.toDouble(), 1433.0);
    // The record holds the database name as user and password, never the typed ones.
    const QByteArray escrito = LeerArchivo(Bases());
    EXPECT_EQ(escrito, kNorte + "VENTAS / EMBEBIDO,VENTAS,VENTAS," +
                           kv::UtilGeneral::Codificar("VENTAS").toLatin1() + ",EMBEBIDO\r\n");
    EXPECT_EQ(DB_Dll::Principal().gCnn.State(), kv::db::ado::Cerrado);
    EXPECT_EQ(Filas(v).size(), 2);
}

TEST_F(Registro, ServidorQueRechazaAmbosIntentosNoEscribeNada) {
    Servidor("VENTAS", "U", "P");
    kv::pruebas::EscribirBases(App(), kNorte);
    kv::pruebas::PuertoGuionado puerto;
    puerto->ResponderMensaje(kv::respuesta::No);       // the connection error: do not try again
    puerto->ResponderMensaje(kv::respuesta::Aceptar);  // could not connect
    frmAcceso v;
    Mostrar(v);
    Escribir(v, "EMBEBIDO", "VENTAS", "U", "MALA");
    QTest::mouseClick(v.CmdRegistrar, Qt::LeftButton);
    const auto mensajes = puerto->Mensajes();
    ASSERT_EQ(mensajes.size(), 2);
    EXPECT_EQ(mensajes[0].titulo, " Error de Conexion a Base de Datos");
    EXPECT_EQ(mensajes[1].texto,
              "NO SE PUDO CONECTAR AL SERVIDOR EMBEBIDO VERIFIQUE EL NOMBRE DE USUARIO Y PASSWORD INGRESADO");
    EXPECT_EQ(mensajes[1].titulo, "AVISO AL OPERADOR");
    EXPECT_EQ(mensajes[1].estilo, 64);
    EXPECT_EQ(LeerArchivo(Bases()), kNorte);
}

TEST_F(Registro, SinServidorOBaseNoSeIntentaNada) {
    Servidor("VENTAS", "VENTAS", "VENTAS");
    kv::pruebas::EscribirBases(App(), "");
    kv::pruebas::PuertoGuionado puerto;
    puerto->ResponderMensaje(kv::respuesta::Aceptar);
    puerto->ResponderMensaje(kv::respuesta::Aceptar);
    frmAcceso v;
    Mostrar(v);
    // The database box still holds its hint; then the server box is emptied.
    Teclear(v.TxtServidor, "EMBEBIDO");
    QTest::mouseClick(v.CmdRegistrar, Qt::LeftButton);
    Teclear(v.TxtDbName, "VENTAS");
    Teclear(v.TxtServidor, "");
    QTest::mouseClick(v.CmdRegistrar, Qt::LeftButton);
    ASSERT_EQ(puerto->Mensajes().size(), 2);
    for (const auto& m : puerto->Mensajes()) {
        EXPECT_EQ(m.texto, "Escriba el servidor y la base de datos de la conexión que desea registrar.");
        EXPECT_EQ(m.titulo, "Registrar");
        EXPECT_EQ(m.estilo, 48);
    }
    EXPECT_EQ(LeerArchivo(Bases()), "");
}

TEST_F(Registro, UnFalloAlGrabarSeMuestraYSeCierraIgual) {
    Servidor("VENTAS", "VENTAS", "VENTAS");
    // BASES.TXT cannot be read or written: a folder holds its name.
    ASSERT_TRUE(QDir().mkpath(App() + "BASES.TXT"));
    kv::pruebas::PuertoGuionado puerto;
    puerto->ResponderMensaje(kv::respuesta::Omitir);   // the list cannot be filled
    puerto->ResponderError(kv::respuesta::Anular);     // looking the name up
    puerto->ResponderMensaje(kv::respuesta::Aceptar);  // the record cannot be written
    puerto->ResponderMensaje(kv::respuesta::Omitir);   // the list, refilled at the end
    frmAcceso v;
    Mostrar(v);
    Escribir(v, "EMBEBIDO", "VENTAS", "", "");
    QTest::mouseClick(v.CmdRegistrar, Qt::LeftButton);
    const auto mensajes = puerto->Mensajes();
    ASSERT_EQ(mensajes.size(), 3);
    EXPECT_TRUE(mensajes[0].titulo.contains("FormLoad"));
    EXPECT_TRUE(mensajes[1].texto.startsWith(
        "SQL Server start failed.  \rSQL-DMO error:  75 \"" + App() + "BASES.TXT\" no es un archivo común"))
        << mensajes[1].texto.toStdString();
    EXPECT_EQ(mensajes[1].titulo, "");
    EXPECT_EQ(mensajes[1].estilo, 0);
    EXPECT_TRUE(mensajes[2].titulo.contains("FormLoad"));
    EXPECT_EQ(puerto->Llamadas(kv::InteraccionGuionada::Tipo::Error).size(), 1);
    EXPECT_EQ(DB_Dll::Principal().gCnn.State(), kv::db::ado::Cerrado);
}

TEST_F(Registro, ElAyudanteOdbcSeEnteraDeLaConexion) {
    Servidor("VENTAS", "VENTAS", "VENTAS");
    kv::pruebas::EscribirBases(App(), "");
    // A stand-in for the suite's helper that writes down what it was given.
    ASSERT_TRUE(QFile::copy(kv::pruebas::CarpetaBinarios() + "eco_argumentos", App() + "ODBC.exe"));
    const QString eco = servidor_->carpetas().raiz() + "eco.bin";
    kv::pruebas::VariableEntorno salida("KVESTV_ECO_SALIDA", eco);
    kv::pruebas::PuertoGuionado puerto;
    frmAcceso v;
    Mostrar(v);
    Escribir(v, "EMBEBIDO", "ventas", "", "");
    QTest::mouseClick(v.CmdRegistrar, Qt::LeftButton);
    QElapsedTimer reloj;
    reloj.start();
    while (!QFileInfo::exists(eco) && reloj.elapsed() < 20000) QTest::qWait(50);
    EXPECT_EQ(LeerArchivo(eco), QByteArray("Server=EMBEBIDO;DB=ventas;") + '\0');
}

// ---- The desktop launcher ----

class Lanzador : public ::testing::Test {
  protected:
    void SetUp() override {
        kv::UtilRutas::EstablecerCarpeta(QString());
        kv::access::EstablecerProgramaDelLanzador(kv::pruebas::CarpetaBinarios() + "kv_estv");
        QDir().mkpath(Raiz() + "config");
        // The desktop folder named the XDG way, in the user's language.
        QFile dirs(Raiz() + "config/user-dirs.dirs");
        ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
        dirs.write("XDG_DESKTOP_DIR=\"$HOME/Escritorio\"\n");
    }
    void TearDown() override { kv::access::EstablecerProgramaDelLanzador(QString()); }
    QString Raiz() const { return carpetas_.raiz(); }

    kv::pruebas::CarpetasTemporales carpetas_;
    kv::pruebas::VariableEntorno home_{"HOME", carpetas_.raiz()};
    kv::pruebas::VariableEntorno config_{"XDG_CONFIG_HOME", carpetas_.raiz() + "config"};
};

TEST_F(Lanzador, ArgumentosYValoresDelArchivo) {
    using kv::access::ArgumentoExec;
    EXPECT_EQ(ArgumentoExec("/opt/kv/kv_estv"), "/opt/kv/kv_estv");
    EXPECT_EQ(ArgumentoExec("/opt/mis programas/kv_estv"), "\"/opt/mis programas/kv_estv\"");
    EXPECT_EQ(ArgumentoExec("/opt/a\"b$c`d/kv"), "\"/opt/a\\\\\"b\\\\$c\\\\`d/kv\"");
    EXPECT_EQ(ArgumentoExec("/opt/a\\b/kv"), "\"/opt/a\\\\\\\\b/kv\"");
    EXPECT_EQ(ArgumentoExec("/opt/100%/kv"), "/opt/100%%/kv");
    EXPECT_EQ(kv::access::ValorEntrada("/opt/a b/\\x.png"), "/opt/a b/\\\\x.png");
}

TEST_F(Lanzador, CreaElLanzadorEnElEscritorio) {
    kv::pruebas::PuertoGuionado puerto;
    puerto->ResponderMensaje(kv::respuesta::Aceptar);
    kv::pruebas::EscribirBases(carpetas_.aplicacion(), kNorte);
    frmAcceso v;
    Mostrar(v);
    QTest::mouseClick(v.CmdLineaComando, Qt::LeftButton);

    const QString ruta = Raiz() + "Escritorio/Reloj Faenas.desktop";
    const QString programa = kv::pruebas::CarpetaBinarios() + "kv_estv";
    const QString icono = kv::pruebas::CarpetaBinarios() + "kv_estv.png";
    ASSERT_TRUE(QFileInfo::exists(ruta));
    EXPECT_EQ(QString::fromUtf8(LeerArchivo(ruta)),
              "[Desktop Entry]\n"
              "Type=Application\n"
              "Version=1.0\n"
              "Name=Reloj Faenas\n"
              "Comment=Estadísticas de ventas: abre la ventana de acceso con las conexiones registradas\n"
              "Exec=" +
                  kv::access::ArgumentoExec(programa) +
                  "\n"
                  "Icon=" +
                  kv::access::ValorEntrada(icono) +
                  "\n"
                  "Terminal=false\n"
                  "Categories=Office;\n");
    EXPECT_TRUE(QFileInfo(ruta).isExecutable());
    // The icon the launcher names is there, next to the program.
    EXPECT_TRUE(QFileInfo(icono).isFile());
    ASSERT_EQ(puerto->Mensajes().size(), 1);
    EXPECT_EQ(puerto->Mensajes()[0].texto,
              "Se creó el acceso directo \"Reloj Faenas\" en el escritorio:\n" + ruta);
    EXPECT_EQ(puerto->Mensajes()[0].titulo, "Crear Acceso Directo");

    // Its Exec line started without a display says what to pass.
    QString exec;
    for (const QString& linea : QString::fromUtf8(LeerArchivo(ruta)).split('\n'))
        if (linea.startsWith("Exec=")) exec = linea.mid(5);
    if (exec.startsWith('"')) {
        exec = exec.mid(1, exec.size() - 2);
        exec.replace("\\\\", "\\");
        exec.replace("\\\"", "\"").replace("\\$", "$").replace("\\`", "`").replace("\\\\", "\\");
    }
    exec.replace("%%", "%");
    EXPECT_EQ(exec, programa);
    QProcess proceso;
    QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
    entorno.remove("DISPLAY");
    entorno.remove("WAYLAND_DISPLAY");
    entorno.remove("QT_QPA_PLATFORM");
    proceso.setProcessEnvironment(entorno);
    proceso.start(exec, {});
    ASSERT_TRUE(proceso.waitForFinished(60000));
    EXPECT_EQ(proceso.exitCode(), 1);
    EXPECT_TRUE(
        QString::fromUtf8(proceso.readAllStandardError()).contains(kv::access::MensajeFaltaConexion()));
    EXPECT_TRUE(proceso.readAllStandardOutput().isEmpty());
}

TEST_F(Lanzador, EscritorioQueNoSePuedeEscribirSeAvisa) {
    // The desktop folder's place is taken by a file.
    QFile estorbo(Raiz() + "Escritorio");
    ASSERT_TRUE(estorbo.open(QIODevice::WriteOnly));
    estorbo.close();
    kv::pruebas::PuertoGuionado puerto;
    puerto->ResponderMensaje(kv::respuesta::Aceptar);
    kv::pruebas::EscribirBases(carpetas_.aplicacion(), kNorte);
    frmAcceso v;
    v.CmdLineaComando_Click();
    ASSERT_EQ(puerto->Mensajes().size(), 1);
    EXPECT_EQ(puerto->Mensajes()[0].texto, "No se pudo crear la carpeta " + Raiz() + "Escritorio/");
    EXPECT_EQ(puerto->Mensajes()[0].titulo, "Crear Acceso Directo");
    EXPECT_EQ(puerto->Mensajes()[0].estilo, 16);
}

// ---- No password in clear ----

TEST_F(Registro, NingunaClaveTecleadaQuedaEnUnArchivo) {
    Servidor("VENTAS", "U", "ClaveTecleada9");
    kv::pruebas::EscribirBases(App(), kNorte);
    const QString raiz = servidor_->carpetas().raiz();
    kv::pruebas::VariableEntorno traza("KVESTV_TRAZA_SQL", raiz + "traza.jsonl");
    kv::pruebas::VariableEntorno home("HOME", raiz);
    kv::pruebas::VariableEntorno config("XDG_CONFIG_HOME", raiz + "config");
    kv::access::EstablecerProgramaDelLanzador(kv::pruebas::CarpetaBinarios() + "kv_estv");
    kv::access::InstalarVentanaAcceso(true);
    kv::pruebas::PuertoGuionado puerto;
    puerto->ResponderMensaje(kv::respuesta::Si);       // wrong password: try again
    puerto->ResponderMensaje(kv::respuesta::Aceptar);  // launcher made
    kv::pruebas::GuionVentanas guion({
        [](frmAcceso& v) {
            Escribir(v, "EMBEBIDO", "VENTAS", "U", "OtraClaveMala7");
            QTest::mouseClick(v.bcAceptar, Qt::LeftButton);
        },
        [](frmAcceso& v) {
            // Registers with the typed user, makes the launcher, and signs in.
            Teclear(v.TxtUserPassword, "ClaveTecleada9");
            QTest::mouseClick(v.CmdRegistrar, Qt::LeftButton);
            QTest::mouseClick(v.CmdLineaComando, Qt::LeftButton);
            Escribir(v, "EMBEBIDO", "VENTAS", "U", "ClaveTecleada9");
            QTest::mouseClick(v.bcAceptar, Qt::LeftButton);
        },
    });
    DB_Dll& erp = DB_Dll::Principal();
    erp.OpenServerADODB(true, 3, QString(), true, true);
    DB_Dll::EstablecerVentanaAcceso({});
    kv::access::EstablecerProgramaDelLanzador(QString());
    EXPECT_EQ(guion.Atendidas(), 2);
    ASSERT_TRUE(erp.gOpenFlag);
    // Something ran through the trace, and the registration happened.
    EXPECT_TRUE(QFileInfo(raiz + "traza.jsonl").size() > 0);
    EXPECT_TRUE(LeerArchivo(Bases()).contains("VENTAS / EMBEBIDO"));
    EXPECT_TRUE(QFileInfo::exists(raiz + "Desktop/Reloj Faenas.desktop"));
    kv::core::CerrarConexiones();
    // No file under the test's folders holds either password, in any of the usual encodings.
    int revisados = 0;
    QDirIterator it(raiz, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString archivo = it.next();
        const QByteArray datos = LeerArchivo(archivo);
        ++revisados;
        for (const QString& clave : {QString("ClaveTecleada9"), QString("OtraClaveMala7")}) {
            EXPECT_FALSE(datos.contains(clave.toUtf8())) << archivo.toStdString();
            EXPECT_FALSE(
                datos.contains(QByteArray(reinterpret_cast<const char*>(clave.utf16()), clave.size() * 2)))
                << archivo.toStdString();
        }
    }
    EXPECT_GE(revisados, 4);
}

}  // namespace
