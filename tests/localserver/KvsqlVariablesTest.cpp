// kvsql reads scripts as SQL Server's tools read them: GO n, :r, :setvar and
// $(variable), -v nombre=valor and -b; and installs sql/KV_RECONS_ESTV.sql.

#include <QDir>
#include <QFile>

#include "ServidorPrueba.h"

namespace kv::pruebas {
namespace {

class KvsqlVariables : public ServidorPrueba {
  protected:
    QString Escribir(const QString& nombre, const QString& texto) {
        const QString ruta = QDir(qEnvironmentVariable("KVESTV_CARPETA")).absoluteFilePath(nombre);
        QFile f(ruta);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(texto.toUtf8());
        return ruta;
    }
};

}  // namespace

TEST_F(KvsqlVariables, GoConCuentaIncluirYVariables) {
    ASSERT_EQ(Kvsql(Administrador() << QStringLiteral("-Q") << QStringLiteral("CREATE DATABASE GUIONES")).estado, 0);
    const QString parte = Escribir(QStringLiteral("parte.sql"), QStringLiteral("INSERT INTO $(tabla) (v) VALUES ('$(valor)')\nGO 3\n"));
    const QString guion = Escribir(QStringLiteral("guion.sql"),
                                   QStringLiteral(":setvar tabla Cuentas\n:setvar valor \"de guion\"\n"
                                                  "CREATE TABLE $(tabla) (v nvarchar(20))\nGO\n:r ") +
                                       parte + QStringLiteral("\nSELECT count(*) AS n, min(v) AS v FROM $(tabla)\nGO\n"));
    const auto s = Kvsql(Administrador(QStringLiteral("GUIONES")) << QStringLiteral("-h") << QStringLiteral("-1")
                                                                  << QStringLiteral("-W") << QStringLiteral("-i") << guion
                                                                  << QStringLiteral("-v") << QStringLiteral("valor=de fuera"));
    EXPECT_EQ(s.estado, 0) << s.errores.join(QLatin1Char('\n')).toStdString();
    // -v wins over :setvar; GO 3 ran the INSERT three times.
    EXPECT_TRUE(s.lineas.contains(QStringLiteral("3 de fuera"))) << s.lineas.join(QLatin1Char('\n')).toStdString();
    const auto sinDefinir = Kvsql(Administrador(QStringLiteral("GUIONES")) << QStringLiteral("-Q") << QStringLiteral("SELECT '$(nada)'"));
    EXPECT_EQ(sinDefinir.estado, 1);
    EXPECT_EQ(sinDefinir.errores, QStringList{QStringLiteral("La variable de guion 'nada' no está definida.")});
}

TEST_F(KvsqlVariables, MenosBTerminaEnElPrimerError) {
    ASSERT_EQ(Kvsql(Administrador() << QStringLiteral("-Q") << QStringLiteral("CREATE DATABASE GUIONES")).estado, 0);
    const QString guion = Escribir(QStringLiteral("b.sql"), QStringLiteral("SELECT 1 AS a\nGO\nSELECT * FROM NoExiste\nGO\nPRINT 'después'\nGO\n"));
    const auto sigue = Kvsql(Administrador(QStringLiteral("GUIONES")) << QStringLiteral("-i") << guion);
    EXPECT_EQ(sigue.estado, 1);
    EXPECT_TRUE(sigue.lineas.contains(QStringLiteral("después")));
    const auto para = Kvsql(Administrador(QStringLiteral("GUIONES")) << QStringLiteral("-b") << QStringLiteral("-i") << guion);
    EXPECT_EQ(para.estado, 1);
    EXPECT_FALSE(para.lineas.contains(QStringLiteral("después")));
}

TEST_F(KvsqlVariables, ElGuionDeReconstruccionSeInstalaDosVeces) {
    ASSERT_EQ(Kvsql(Administrador() << QStringLiteral("-Q") << QStringLiteral("CREATE DATABASE EMPRESA")).estado, 0);
    const QString guion = QStringLiteral(KVESTV_FUENTES "/sql/KV_RECONS_ESTV.sql");
    for (int vez = 0; vez < 2; ++vez) {
        const auto s = Kvsql(Administrador(QStringLiteral("EMPRESA")) << QStringLiteral("-b") << QStringLiteral("-i") << guion);
        EXPECT_EQ(s.estado, 0) << s.errores.join(QLatin1Char('\n')).toStdString();
    }
    const auto lista = Kvsql(Administrador(QStringLiteral("EMPRESA")) << QStringLiteral("-h") << QStringLiteral("-1")
                                                                      << QStringLiteral("-W") << QStringLiteral("-Q")
                                                                      << QStringLiteral("SELECT name FROM sys.procedures"));
    EXPECT_EQ(lista.lineas.value(0), QStringLiteral("KV_RECONS_ESTV"));
}

}  // namespace kv::pruebas
