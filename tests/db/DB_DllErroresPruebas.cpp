// The class's error treatment: message, title, answer and log line.

#include <QDir>
#include <QRegularExpression>

#include "DB_DllPruebas.h"
#include "util/UtilRutas.h"

using kv::db::DB_Dll;

namespace kv::pruebas {
namespace {

const QString kOrigen = QStringLiteral("Microsoft OLE DB Provider for SQL Server");

kv::KvError ErrorSintaxis() {
    return kv::KvError{-2147217900, QStringLiteral(" Sintaxis incorrecta cerca de 'FROM'. "), kOrigen};
}

// Date and time of the log line, then the rest as written.
QString SinMomento(const QString& linea) {
    static const QRegularExpression momento(QStringLiteral("^\\d\\d-\\d\\d-\\d{4} \\d\\d:\\d\\d:\\d\\d"));
    const auto m = momento.match(linea);
    return m.hasMatch() ? linea.mid(19) : QStringLiteral("<sin fecha> ") + linea;
}

class TratamientoErrores : public DB_DllPrueba {
  protected:
    QString LogPorDefecto() const { return carpetas_.aplicacion() + QStringLiteral("KVERR.LOG"); }
    DB_Dll db;
};

TEST_F(TratamientoErrores, MensajeTituloYLinea) {
    puerto_->ResponderMensaje(kv::respuesta::Reintentar);
    EXPECT_EQ(db.TratamientoErrores(ErrorSintaxis(), std::nullopt, QStringLiteral("AbrirRecordset")), 4);
    ASSERT_EQ(puerto_->Mensajes().size(), 1);
    const auto m = puerto_->Mensajes().at(0);
    EXPECT_EQ(
        m.texto,
        QStringLiteral("Ha ocurrido el Siguiente Error (-2147217900) Sintaxis incorrecta cerca de 'FROM'."));
    EXPECT_EQ(m.titulo, kOrigen + QStringLiteral(" - AbrirRecordset Aviso al operador!!! - 5 "));
    EXPECT_EQ(m.estilo, 18);
    const QStringList lineas = LineasDe(LogPorDefecto());
    ASSERT_EQ(lineas.size(), 1);
    EXPECT_EQ(SinMomento(lineas.at(0)),
              QStringLiteral(" Rutina: - AbrirRecordset Mensaje Ha ocurrido el Siguiente Error (-2147217900) "
                             "Sintaxis incorrecta cerca de 'FROM'. Respondió : Reintentar"));
}

TEST_F(TratamientoErrores, FormatoDeFechaYHora) {
    puerto_->ResponderMensaje(kv::respuesta::Omitir);
    const QDateTime antes = QDateTime::currentDateTime();
    db.TratamientoErrores(ErrorSintaxis());
    const QStringList lineas = LineasDe(LogPorDefecto());
    ASSERT_EQ(lineas.size(), 1);
    const QDateTime escrito =
        QDateTime::fromString(lineas.at(0).left(19), QStringLiteral("MM-dd-yyyy HH:mm:ss"));
    ASSERT_TRUE(escrito.isValid()) << lineas.at(0).toStdString();
    EXPECT_LE(qAbs(escrito.secsTo(antes)), 2);
    // The file is closed after each line and the next error appends.
    puerto_->ResponderMensaje(kv::respuesta::Anular);
    db.TratamientoErrores(ErrorSintaxis());
    EXPECT_EQ(LineasDe(LogPorDefecto()).size(), 2);
}

TEST_F(TratamientoErrores, SinRutina) {
    puerto_->ResponderMensaje(kv::respuesta::Omitir);
    db.TratamientoErrores(ErrorSintaxis());
    EXPECT_EQ(puerto_->Mensajes().at(0).titulo, kOrigen + QStringLiteral(" Aviso al operador!!! - 5 "));
    const QStringList lineas = LineasDe(LogPorDefecto());
    ASSERT_EQ(lineas.size(), 1);
    EXPECT_TRUE(SinMomento(lineas.at(0)).startsWith(QStringLiteral(" Rutina:  Mensaje Ha ocurrido")));
    EXPECT_TRUE(lineas.at(0).endsWith(QStringLiteral(" Respondió : Ignorar")));
}

TEST_F(TratamientoErrores, NumeroCeroNoMuestraNiEscribe) {
    EXPECT_EQ(db.TratamientoErrores(kv::KvError{0, QStringLiteral("nada"), kOrigen}), 0);
    EXPECT_TRUE(puerto_->Mensajes().isEmpty());
    EXPECT_FALSE(QFile::exists(LogPorDefecto()));
}

TEST_F(TratamientoErrores, ArchivoElegido) {
    const QString propio = carpetas_.raiz() + QStringLiteral("otro/errores.txt");
    QDir().mkpath(carpetas_.raiz() + QStringLiteral("otro"));
    db.SetArchivoErrores(QVariant(propio));
    EXPECT_EQ(db.ArchivoErrores().toString(), propio);
    EXPECT_EQ(db.gLogErr, propio);
    puerto_->ResponderMensaje(kv::respuesta::Anular);
    EXPECT_EQ(db.TratamientoErrores(ErrorSintaxis(), std::nullopt, QStringLiteral("CierraRecordset")), 3);
    EXPECT_EQ(LineasDe(propio).size(), 1);
    EXPECT_TRUE(LineasDe(propio).at(0).endsWith(QStringLiteral("Respondió : Abortar")));
    EXPECT_FALSE(QFile::exists(LogPorDefecto()));
}

TEST_F(TratamientoErrores, CarpetaSinBarraFinal) {
    const QString sinBarra = carpetas_.raiz() + QStringLiteral("app");
    QDir().mkpath(sinBarra);
    kv::UtilRutas::EstablecerCarpeta(sinBarra);
    EXPECT_EQ(db.RutaArchivoErrores(), sinBarra + QStringLiteral("/KVERR.LOG"));
    kv::UtilRutas::EstablecerCarpeta(sinBarra + QStringLiteral("/"));
    EXPECT_EQ(db.RutaArchivoErrores(), sinBarra + QStringLiteral("/KVERR.LOG"));
    kv::UtilRutas::EstablecerCarpeta(QString());
    EXPECT_EQ(db.RutaArchivoErrores(), LogPorDefecto());
}

TEST_F(TratamientoErrores, SoloAceptarDejaLaPalabraVacia) {
    puerto_->ResponderMensaje(kv::respuesta::Aceptar);
    EXPECT_EQ(db.TratamientoErrores(ErrorSintaxis(), 0, QStringLiteral("X")), 1);
    EXPECT_EQ(puerto_->Mensajes().at(0).estilo, 0);
    const QStringList lineas = LineasDe(LogPorDefecto());
    ASSERT_EQ(lineas.size(), 1);
    EXPECT_TRUE(lineas.at(0).endsWith(QStringLiteral("'FROM'. Respondió : ")));
}

TEST_F(TratamientoErrores, PalabrasDeRespuesta) {
    EXPECT_EQ(DB_Dll::PalabraRespuesta(4), QStringLiteral("Reintentar"));
    EXPECT_EQ(DB_Dll::PalabraRespuesta(5), QStringLiteral("Ignorar"));
    EXPECT_EQ(DB_Dll::PalabraRespuesta(3), QStringLiteral("Abortar"));
    EXPECT_EQ(DB_Dll::PalabraRespuesta(2), QStringLiteral("Cancelar"));
    EXPECT_EQ(DB_Dll::PalabraRespuesta(6), QStringLiteral("Sí"));
    EXPECT_EQ(DB_Dll::PalabraRespuesta(7), QStringLiteral("No"));
    EXPECT_EQ(DB_Dll::PalabraRespuesta(1), QString());
}

TEST_F(TratamientoErrores, LogQueNoSePuedeEscribirNoImpideLaRespuesta) {
    db.gLogErr = carpetas_.raiz() + QStringLiteral("no/existe/KVERR.LOG");
    puerto_->ResponderMensaje(kv::respuesta::Reintentar);
    EXPECT_EQ(db.TratamientoErrores(ErrorSintaxis()), 4);
    EXPECT_EQ(puerto_->Mensajes().size(), 1);
}

TEST_F(TratamientoErrores, LineaEnUtf8) {
    puerto_->ResponderMensaje(kv::respuesta::Si);
    db.TratamientoErrores(kv::KvError{5, QStringLiteral("Año contable cerrado"), QStringLiteral("KV_ESTV")},
                          4);
    QFile f(LogPorDefecto());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    EXPECT_TRUE(bytes.endsWith("Respondi\xc3\xb3 : S\xc3\xad\r\n"));
    EXPECT_TRUE(bytes.contains("(5) A\xc3\xb1o contable cerrado"));
}

}  // namespace
}  // namespace kv::pruebas
