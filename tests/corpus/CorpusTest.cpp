// The sqllogictest scripts of sqllogictest/, unmodified, against the embedded server as
// the engine "mssql": every record it runs must give the result the script records.
#include <gtest/gtest.h>

#include <QFile>
#include <cctype>
#include <cstdio>
#include <memory>

#include "Registros.h"
#include "db/Proveedor.h"
#include "localserver/ServidorEmbebido.h"
#include "soporte/CarpetasTemporales.h"

using namespace kv::pruebas;
using namespace kv::pruebas::corpus;

namespace {

// The embedded server's session, in a database of its own on a fresh data folder.
class MotorEmbebido {
  public:
    MotorEmbebido() {
        kv::local::ProveedorEmbebido proveedor;
        sesion_ = proveedor.Abrir(kv::db::ParametrosConexion::Analizar(QStringLiteral(
                                      "PROVIDER=SQLOLEDB;Server=EMBEBIDO;Database=master;UId=Korvane;Pwd=pelumbo;")),
                                  15);
        sesion_->Ejecutar(QStringLiteral("CREATE DATABASE CORPUS"), {}, 0);
        sesion_->UsarBase(QStringLiteral("CORPUS"));
    }
    Respuesta operator()(const QString& sql) {
        Respuesta r;
        try {
            auto resultados = sesion_->Ejecutar(sql, {}, 0);
            bool conFilas = false;
            for (auto& s : resultados) {
                if (s.error && !r.error)
                    r.error = QStringLiteral("%1 %2").arg(s.error->errorNativo).arg(s.error->descripcion);
                if (s.tieneFilas && !conFilas) {
                    conFilas = true;
                    r.filas = std::move(s.filas);
                }
            }
        } catch (const kv::db::ErrorProveedor& e) {
            const auto& err = e.errores();
            r.error = err.empty() ? QString::fromUtf8(e.what())
                                  : QStringLiteral("%1 %2").arg(err.front().errorNativo).arg(err.front().descripcion);
        }
        return r;
    }

  private:
    std::unique_ptr<kv::db::Sesion> sesion_;
};

QByteArray Leer(const QString& ruta) {
    QFile f(ruta);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

class Corpus : public ::testing::TestWithParam<const char*> {};

TEST_P(Corpus, PasaSinCambios) {
    const QString nombre = QString::fromLatin1(GetParam());
    const QByteArray guion = Leer(QStringLiteral(KV_CORPUS_SQL "/") + nombre);
    ASSERT_FALSE(guion.isEmpty()) << nombre.toStdString();
    CarpetasTemporales carpetas;
    MotorEmbebido motor;
    const Cuentas c = Ejecutar(guion, QStringLiteral("mssql"), [&](const QString& sql) { return motor(sql); });
    std::printf("%s: %d records run, %d passed, %d failed, %d skipped%s\n", qPrintable(nombre), c.ejecutados,
                c.aprobados, c.fallidos, c.omitidos, c.detenido ? " (halted for mssql)" : "");
    std::fflush(stdout);
    EXPECT_EQ(c.fallidos, 0);
    EXPECT_TRUE(c.fallos.isEmpty());
    EXPECT_EQ(c.aprobados + c.fallidos, c.ejecutados);
    for (qsizetype i = 0; i < c.fallos.size() && i < 40; ++i)
        ADD_FAILURE() << nombre.toStdString() << ":" << c.fallos[i].toStdString();
}

std::string NombrePrueba(const ::testing::TestParamInfo<const char*>& info) {
    std::string n = info.param;
    std::string s;
    for (char ch : n)
        if (std::isalnum(static_cast<unsigned char>(ch))) s += ch;
    return s.substr(0, s.size() - 4);  // without "test"
}

INSTANTIATE_TEST_SUITE_P(Seleccion, Corpus,
                         ::testing::Values("select1.test", "select2.test", "select3.test"), NombrePrueba);
INSTANTIATE_TEST_SUITE_P(SeleccionLarga, Corpus, ::testing::Values("select4.test", "select5.test"), NombrePrueba);
INSTANTIATE_TEST_SUITE_P(Evidencia, Corpus,
                         ::testing::Values("evidence/in1.test", "evidence/in2.test", "evidence/slt_lang_aggfunc.test",
                                           "evidence/slt_lang_createtrigger.test",
                                           "evidence/slt_lang_createview.test", "evidence/slt_lang_dropindex.test",
                                           "evidence/slt_lang_droptable.test", "evidence/slt_lang_droptrigger.test",
                                           "evidence/slt_lang_dropview.test", "evidence/slt_lang_reindex.test",
                                           "evidence/slt_lang_replace.test", "evidence/slt_lang_update.test"),
                         NombrePrueba);

}  // namespace
