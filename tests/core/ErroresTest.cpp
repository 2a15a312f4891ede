#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include "core/Errores.h"
#include "soporte/CarpetasTemporales.h"
#include "soporte/PuertoGuionado.h"

using namespace kv::core;

namespace {

// Points TEMP, TMP and TMPDIR where a test wants them, and puts them back.
class EntornoTemporal {
  public:
    EntornoTemporal() {
        for (const char* v : {"TEMP", "TMP", "TMPDIR"}) {
            guardadas_.push_back({v, qEnvironmentVariableIsSet(v), qgetenv(v)});
            qunsetenv(v);
        }
    }
    ~EntornoTemporal() {
        for (const auto& g : guardadas_) {
            if (g.habia)
                qputenv(g.nombre, g.valor);
            else
                qunsetenv(g.nombre);
        }
    }

  private:
    struct Guardada {
        const char* nombre;
        bool habia;
        QByteArray valor;
    };
    std::vector<Guardada> guardadas_;
};

TEST(TextosDeError, MensajeYTitulo) {
    const kv::KvError error{3021, "  No hay registro actual.  ", "KV_ESTV"};
    EXPECT_EQ(MensajeError(error), "Ha ocurrido el Siguiente Error (3021) No hay registro actual.");
    EXPECT_EQ(TituloError(error, "Cfg"), "KV_ESTV - Cfg Aviso al operador!!! - 2 ");
    EXPECT_EQ(TituloError(error, ""), "KV_ESTV Aviso al operador!!! - 2 ");
    const kv::KvError negativo{-2147217900, "Sintaxis incorrecta", "Proveedor"};
    EXPECT_EQ(MensajeError(negativo), "Ha ocurrido el Siguiente Error (-2147217900) Sintaxis incorrecta");
}

TEST(TextosDeError, PalabrasDeRespuesta) {
    EXPECT_EQ(PalabraRespuesta(4), "Reintentar");
    EXPECT_EQ(PalabraRespuesta(5), "Ignorar");
    EXPECT_EQ(PalabraRespuesta(3), "Abortar");
    EXPECT_EQ(PalabraRespuesta(2), "Cancelar");
    EXPECT_EQ(PalabraRespuesta(6), "Sí");
    EXPECT_EQ(PalabraRespuesta(7), "No");
    EXPECT_EQ(PalabraRespuesta(1), "");
    EXPECT_EQ(PalabraRespuesta(0), "");
}

TEST(TextosDeError, LineaDelLog) {
    const QDateTime momento(QDate(2026, 12, 6), QTime(19, 4, 11));
    EXPECT_EQ(LineaLogError(momento, "Cfg", "Ha ocurrido el Siguiente Error (3021) X", 5),
              "12-06-2026 19:04:11 Rutina: - Cfg Mensaje Ha ocurrido el Siguiente Error (3021) X Respondió : "
              "Ignorar\r\n");
    // Without a routine name two blanks stand between the colon and "Mensaje".
    EXPECT_EQ(LineaLogError(momento, "", " M ", 1),
              "12-06-2026 19:04:11 Rutina:  Mensaje M Respondió : \r\n");
}

TEST(CarpetaDelLog, VariablesEnOrden) {
    // The test folders point the three variables at themselves; the test starts from none.
    kv::pruebas::CarpetasTemporales carpetas;
    EntornoTemporal entorno;
    const QString a = carpetas.raiz() + "a";
    const QString b = carpetas.raiz() + "b/";
    qputenv("TMPDIR", a.toUtf8());
    EXPECT_EQ(CarpetaLogErrores(), a + "/");
    qputenv("TMP", b.toUtf8());
    EXPECT_EQ(CarpetaLogErrores(), b);
    qputenv("TEMP", ("  " + a + "//").toUtf8());
    EXPECT_EQ(CarpetaLogErrores(), a + "/");
    qputenv("TEMP", "   ");
    EXPECT_EQ(CarpetaLogErrores(), b);
    qunsetenv("TEMP");
    qunsetenv("TMP");
    qunsetenv("TMPDIR");
    EXPECT_TRUE(CarpetaLogErrores().endsWith('/'));
    EXPECT_FALSE(CarpetaLogErrores().endsWith("//"));
    EXPECT_EQ(RutaLogErrores(), CarpetaLogErrores() + "KVERR.LOG");
}

class RutinaDeErrores : public ::testing::Test {
  protected:
    void SetUp() override { qputenv("TEMP", carpetas_.raiz().toUtf8()); }
    QByteArray Log() {
        QFile f(carpetas_.raiz() + "KVERR.LOG");
        if (!f.open(QIODevice::ReadOnly)) return QByteArray("<sin log>");
        return f.readAll();
    }
    EntornoTemporal entorno_;
    kv::pruebas::CarpetasTemporales carpetas_;
};

TEST_F(RutinaDeErrores, MuestraAnotaYDevuelveLaRespuesta) {
    kv::pruebas::PuertoGuionado puerto;
    puerto->ResponderMensaje(kv::respuesta::Omitir).ResponderMensaje(kv::respuesta::Reintentar);
    const QDateTime antes = QDateTime::currentDateTime();
    EXPECT_EQ(GTratamientoErrores({3021, "Sin fila", "KV_ESTV"}, kBotonesError, "Cfg"), 5);
    EXPECT_EQ(GTratamientoErrores({-5, "Fallo del proveedor", "Proveedor"}), 4);
    ASSERT_EQ(puerto->Mensajes().size(), 2);
    EXPECT_EQ(puerto->Mensajes().at(0).texto, "Ha ocurrido el Siguiente Error (3021) Sin fila");
    EXPECT_EQ(puerto->Mensajes().at(0).titulo, "KV_ESTV - Cfg Aviso al operador!!! - 2 ");
    EXPECT_EQ(puerto->Mensajes().at(0).estilo, 18);
    EXPECT_EQ(puerto->Mensajes().at(1).titulo, "Proveedor Aviso al operador!!! - 2 ");

    const QByteArray log = Log();
    const QList<QByteArray> lineas = log.split('\n');
    ASSERT_EQ(lineas.size(), 3);  // two lines and the empty rest after the last LF
    static const QRegularExpression fecha("^\\d\\d-\\d\\d-\\d{4} \\d\\d:\\d\\d:\\d\\d$");
    EXPECT_TRUE(fecha.match(QString::fromUtf8(lineas.at(0).left(19))).hasMatch());
    EXPECT_EQ(lineas.at(0).mid(19),
              QString(" Rutina: - Cfg Mensaje Ha ocurrido el Siguiente Error (3021) Sin fila "
                      "Respondió : Ignorar\r")
                  .toUtf8());
    EXPECT_EQ(lineas.at(1).mid(19),
              QString(" Rutina:  Mensaje Ha ocurrido el Siguiente Error (-5) Fallo del proveedor Respondió : "
                      "Reintentar\r")
                  .toUtf8());
    const QDateTime escrito =
        QDateTime::fromString(QString::fromUtf8(lineas.at(0).left(19)), "MM-dd-yyyy HH:mm:ss");
    EXPECT_LE(qAbs(escrito.secsTo(antes)), 5);
}

TEST_F(RutinaDeErrores, SoloAceptarAnotaRespuestaVacia) {
    kv::pruebas::PuertoGuionado puerto;
    puerto->ResponderMensaje(kv::respuesta::Aceptar);
    EXPECT_EQ(GTratamientoErrores({7, "Memoria", "KV_ESTV"}, 0, "X"), 1);
    EXPECT_EQ(puerto->Mensajes().at(0).estilo, 0);
    EXPECT_TRUE(Log().endsWith(QString("Respondió : \r\n").toUtf8()));
}

TEST_F(RutinaDeErrores, ErrorCeroNoMuestraNiAnotaPeroCreaElArchivo) {
    kv::pruebas::PuertoGuionado puerto;
    EXPECT_EQ(GTratamientoErrores({0, "nada", "KV_ESTV"}, kBotonesError, "Cfg"), 0);
    EXPECT_TRUE(puerto->Mensajes().isEmpty());
    EXPECT_TRUE(QFile::exists(carpetas_.raiz() + "KVERR.LOG"));
    EXPECT_EQ(Log(), QByteArray());
}

TEST_F(RutinaDeErrores, LogQueNoSePuedeEscribirNoPierdeLaRespuesta) {
    // A folder whose KVERR.LOG is a folder: no one (not even root) can append to it.
    const QString cerrada = carpetas_.raiz() + "cerrada";
    ASSERT_TRUE(QDir().mkpath(cerrada + "/KVERR.LOG"));
    qputenv("TEMP", cerrada.toUtf8());
    kv::pruebas::PuertoGuionado puerto;
    puerto->ResponderMensaje(kv::respuesta::Reintentar);
    EXPECT_EQ(GTratamientoErrores({13, "Tipos", "KV_ESTV"}, kBotonesError, "Cfg"), 4);
    EXPECT_TRUE(QFileInfo(cerrada + "/KVERR.LOG").isDir());

    // A folder that does not exist at all behaves the same.
    qputenv("TEMP", (carpetas_.raiz() + "no/existe").toUtf8());
    puerto->ResponderMensaje(kv::respuesta::Omitir);
    EXPECT_EQ(GTratamientoErrores({13, "Tipos", "KV_ESTV"}), 5);
    EXPECT_EQ(puerto->Mensajes().size(), 2);
}

TEST_F(RutinaDeErrores, PasosAtrapadosSiguenLaRespuesta) {
    kv::pruebas::PuertoGuionado puerto;
    puerto->ResponderMensaje(kv::respuesta::Reintentar).ResponderMensaje(kv::respuesta::Omitir);
    int intentos = 0;
    bool ultimo = false;
    const bool completo = kv::EjecutarPasos({[&] {
                                                 ++intentos;
                                                 throw kv::KvExcepcion(5, "Argumento no válido", "KV_ESTV");
                                             },
                                             [&] { ultimo = true; }},
                                            ManejadorRutina("Prueba"));
    EXPECT_TRUE(completo);
    EXPECT_EQ(intentos, 2);
    EXPECT_TRUE(ultimo);
    EXPECT_EQ(puerto->Mensajes().at(0).titulo, "KV_ESTV - Prueba Aviso al operador!!! - 2 ");
}

}  // namespace
