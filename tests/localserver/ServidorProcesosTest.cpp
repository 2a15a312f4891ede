// Several processes on one server folder, and the kvsql console (exact lines
// and exit status).

#include <QFile>
#include <QProcess>

#include "ServidorPrueba.h"

namespace kv::pruebas {
namespace {

class ProcesosTest : public ServidorPrueba {};

TEST_F(ProcesosTest, DosProcesosEscribenALaVez) {
    {
        auto c = Conectar();
        Lote(*c, QStringLiteral("CREATE DATABASE COMPARTIDA"));
        Lote(*c, QStringLiteral("USE COMPARTIDA"));
        Lote(*c,
             QStringLiteral("CREATE TABLE E (Id int IDENTITY (1, 1) NOT NULL, Quien nvarchar(10) NOT NULL, "
                            "N int NOT NULL, CONSTRAINT PK_E PRIMARY KEY (Quien, N))"));
    }
    const int filas = 150;
    QProcess a, b;
    const QString programa = CarpetaBinarios() + QStringLiteral("servidor_escritor");
    a.start(programa, {QStringLiteral("COMPARTIDA"), QStringLiteral("E"), QStringLiteral("uno"),
                       QString::number(filas)});
    b.start(programa, {QStringLiteral("COMPARTIDA"), QStringLiteral("E"), QStringLiteral("dos"),
                       QString::number(filas)});
    ASSERT_TRUE(a.waitForFinished(120000));
    ASSERT_TRUE(b.waitForFinished(120000));
    EXPECT_EQ(a.exitCode(), 0) << a.readAllStandardError().toStdString();
    EXPECT_EQ(b.exitCode(), 0) << b.readAllStandardError().toStdString();
    auto c = Conectar(QStringLiteral("COMPARTIDA"));
    EXPECT_EQ(Valor(*c, QStringLiteral("SELECT count(*) FROM E WHERE Quien = 'uno'")).toInt(), filas);
    EXPECT_EQ(Valor(*c, QStringLiteral("SELECT count(*) FROM E WHERE Quien = 'dos'")).toInt(), filas);
    // Identity values stay unique across both writers.
    EXPECT_EQ(Valor(*c, QStringLiteral("SELECT count(DISTINCT Id) FROM E")).toInt(), 2 * filas);
    EXPECT_EQ(Valor(*c, QStringLiteral("SELECT max(Id) FROM E")).toInt(), 2 * filas);
}

// A connection still open when the program ends is closed during static
// destruction; the server's own tables must still be there, the open
// transaction is rolled back and the process ends cleanly.
TEST_F(ProcesosTest, ConexionAbiertaAlSalirTerminaLimpia) {
    for (const QString& modo : {QStringLiteral("estatica"), QStringLiteral("principal")}) {
        QProcess p;
        // glibc's checks turn a use of freed memory into an abnormal end.
        QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
        entorno.insert(QStringLiteral("MALLOC_CHECK_"), QStringLiteral("3"));
        entorno.insert(QStringLiteral("MALLOC_PERTURB_"), QStringLiteral("165"));
        p.setProcessEnvironment(entorno);
        p.start(CarpetaBinarios() + QStringLiteral("servidor_sin_cerrar"), {modo});
        ASSERT_TRUE(p.waitForFinished(60000)) << modo.toStdString();
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << modo.toStdString();
        EXPECT_EQ(p.exitCode(), 0) << modo.toStdString() << " " << p.readAllStandardError().toStdString();
        {
            auto c = Conectar(QStringLiteral("SINCERRAR"));
            EXPECT_EQ(Valor(*c, QStringLiteral("SELECT count(*) FROM T")).toInt(), 0) << modo.toStdString();
        }
        auto c = Conectar();
        Lote(*c, QStringLiteral("DROP DATABASE SINCERRAR"));
    }
}

// kvsql waits for a batch as long as it takes unless -t says otherwise; with
// -t the batch that runs too long ends with the time-out error.
TEST_F(ProcesosTest, KvsqlTiempoDeComando) {
    Kvsql(Administrador() << QStringLiteral("-Q") << QStringLiteral("CREATE DATABASE K"));
    QString diez = QStringLiteral("CREATE TABLE D (N int NOT NULL)");
    for (int i = 0; i < 10; ++i) diez += QStringLiteral("\nINSERT INTO D VALUES (%1)").arg(i);
    EXPECT_EQ(Kvsql(Administrador(QStringLiteral("K")) << QStringLiteral("-Q") << diez).estado, 0);
    const QString larga =
        QStringLiteral("SELECT count(*) FROM D a, D b, D c, D d, D e, D f, D g, D h, D i, D j");
    const auto s = Kvsql(Administrador(QStringLiteral("K"))
                         << QStringLiteral("-t") << QStringLiteral("1") << QStringLiteral("-Q") << larga);
    EXPECT_EQ(s.estado, 1);
    EXPECT_TRUE(s.errores.contains(QStringLiteral("Tiempo de espera agotado")))
        << s.errores.join('\n').toStdString();
    const auto mal =
        Kvsql(Administrador(QStringLiteral("K")) << QStringLiteral("-t") << QStringLiteral("diez")
                                                 << QStringLiteral("-Q") << QStringLiteral("SELECT 1"));
    EXPECT_EQ(mal.estado, 1);
    ASSERT_FALSE(mal.errores.isEmpty());
    EXPECT_EQ(mal.errores.front(),
              QStringLiteral("El valor de -t debe ser un número de segundos entre 0 y 65535."));
}

TEST_F(ProcesosTest, KvsqlMuestraFilasYAfectadas) {
    Kvsql(Administrador() << QStringLiteral("-Q") << QStringLiteral("CREATE DATABASE K"));
    const auto s =
        Kvsql(Administrador(QStringLiteral("K"))
              << QStringLiteral("-Q")
              << QStringLiteral("CREATE TABLE A (cod nvarchar(10) NOT NULL, n int NULL, p money NULL)\n"
                                "INSERT INTO A VALUES ('uno', 1, 2.5)\n"
                                "INSERT INTO A VALUES ('dosdos', NULL, NULL)\n"
                                "SELECT cod, n, p FROM A ORDER BY cod DESC"));
    EXPECT_EQ(s.estado, 0);
    EXPECT_TRUE(s.errores.isEmpty()) << s.errores.join('\n').toStdString();
    EXPECT_EQ(s.lineas,
              (QStringList{QStringLiteral("(1 filas afectadas)"), QStringLiteral("(1 filas afectadas)"),
                           QStringLiteral("cod    n    p     "), QStringLiteral("------ ---- ------"),
                           QStringLiteral("uno    1    2.5000"), QStringLiteral("dosdos NULL NULL  "),
                           QString(), QStringLiteral("(2 filas afectadas)")}));
    const auto w = Kvsql(Administrador(QStringLiteral("K"))
                         << QStringLiteral("-W") << QStringLiteral("-s") << QStringLiteral(";")
                         << QStringLiteral("-Q") << QStringLiteral("SELECT cod, n FROM A ORDER BY cod"));
    EXPECT_EQ(w.estado, 0);
    EXPECT_EQ(w.lineas,
              (QStringList{QStringLiteral("cod;n"), QStringLiteral("---;-"), QStringLiteral("dosdos;NULL"),
                           QStringLiteral("uno;1"), QString(), QStringLiteral("(2 filas afectadas)")}));
    // -W also drops the blanks a value keeps at its end.
    const auto b =
        Kvsql(Administrador(QStringLiteral("K"))
              << QStringLiteral("-W") << QStringLiteral("-s") << QStringLiteral(";") << QStringLiteral("-Q")
              << QStringLiteral("SELECT ' ' AS g, 'a  ' AS x, cod FROM A WHERE n = 1"));
    EXPECT_EQ(b.estado, 0);
    EXPECT_EQ(b.lineas,
              (QStringList{QStringLiteral("g;x;cod"), QStringLiteral("-;-;---"), QStringLiteral(";a;uno"),
                           QString(), QStringLiteral("(1 filas afectadas)")}));
}

TEST_F(ProcesosTest, KvsqlInformaErroresYSigueConElLoteSiguiente) {
    const QString guion = carpetas_.raiz() + QStringLiteral("guion.sql");
    QFile f(guion);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(
        "CREATE DATABASE G\r\nGO\r\nUSE G\r\ngo\r\nCREATE TABLE T (a int NOT NULL)\r\n"
        "INSERT INTO T VALUES (1)\r\n  GO  \r\nSELECT *\r\nFROM NOHAY\r\nGO\r\nINSERT INTO T VALUES "
        "(NULL)\r\n"
        "SELECT count(*) AS n FROM T\r\nGO\r\n");
    f.close();
    const auto s = Kvsql(Administrador() << QStringLiteral("-W") << QStringLiteral("-i") << guion);
    EXPECT_EQ(s.estado, 1);
    EXPECT_EQ(s.lineas,
              (QStringList{QStringLiteral("Se cambió el contexto de la base de datos a 'G'."),
                           QStringLiteral("(1 filas afectadas)"), QStringLiteral("n"), QStringLiteral("-"),
                           QStringLiteral("1"), QString(), QStringLiteral("(1 filas afectadas)")}));
    EXPECT_EQ(
        s.errores,
        (QStringList{QStringLiteral("Msg 208, Nivel 16, Estado 1, Línea 1"),
                     QStringLiteral("El nombre de objeto 'NOHAY' no es válido."),
                     QStringLiteral("Msg 515, Nivel 16, Estado 1, Línea 1"),
                     QStringLiteral("No se puede insertar el valor NULL en la columna 'a', tabla 'G.dbo.T'. "
                                    "La columna no admite valores NULL. Error de INSERT.")}));
}

TEST_F(ProcesosTest, KvsqlConClaveIncorrectaOArgumentosMalos) {
    const auto s = Kvsql({QStringLiteral("-U"), QStringLiteral("Korvane"), QStringLiteral("-P"),
                          QStringLiteral("mala"), QStringLiteral("-Q"), QStringLiteral("SELECT 1")});
    EXPECT_EQ(s.estado, 1);
    ASSERT_EQ(s.errores.size(), 2);
    EXPECT_EQ(s.errores[0], QStringLiteral("Msg 18456, Nivel 16, Estado 1, Línea 1"));
    EXPECT_EQ(s.errores[1], QStringLiteral("Error de inicio de sesión del usuario 'Korvane'."));
    const auto sinUsuario = Kvsql({QStringLiteral("-Q"), QStringLiteral("SELECT 1")});
    EXPECT_EQ(sinUsuario.estado, 1);
    ASSERT_FALSE(sinUsuario.errores.isEmpty());
    EXPECT_EQ(sinUsuario.errores[0], QStringLiteral("Falta el inicio de sesión (-U)."));
}

// Values given to -S, -d, -U and -P stay inside their keyword: a ";" in the
// password does not cut it, quotes reach the server as typed, -S adds no keyword.
TEST_F(ProcesosTest, KvsqlValoresQueNoSalenDeSuClave) {
    {
        auto c = Conectar();
        Lote(*c, QStringLiteral("EXEC sp_addlogin N'conpunto', 'a;b'"));
        Lote(*c, QStringLiteral("EXEC sp_addlogin N'concomillas', '''pw'''"));
    }
    for (const auto& [usuario, clave] : {std::pair{QStringLiteral("conpunto"), QStringLiteral("a;b")},
                                         std::pair{QStringLiteral("concomillas"), QStringLiteral("'pw'")}}) {
        const auto s =
            Kvsql({QStringLiteral("-S"), QStringLiteral("EMBEBIDO"), QStringLiteral("-U"), usuario,
                   QStringLiteral("-P"), clave, QStringLiteral("-Q"), QStringLiteral("SELECT 7 AS N")});
        EXPECT_EQ(s.estado, 0) << usuario.toStdString() << " " << s.errores.join(u'|').toStdString();
    }
    // The cut-off password "a" is not what the login has.
    EXPECT_NE(Kvsql({QStringLiteral("-U"), QStringLiteral("conpunto"), QStringLiteral("-P"),
                     QStringLiteral("a"), QStringLiteral("-Q"), QStringLiteral("SELECT 1")})
                  .estado,
              0);
    // A server text carrying a password of its own does not sign in with it.
    EXPECT_NE(Kvsql({QStringLiteral("-S"), QStringLiteral("EMBEBIDO;Pwd=pelumbo"), QStringLiteral("-U"),
                     QStringLiteral("Korvane"), QStringLiteral("-P"), QStringLiteral("mala"),
                     QStringLiteral("-Q"), QStringLiteral("SELECT 1")})
                  .estado,
              0);
}

TEST_F(ProcesosTest, CreacionDelAlmacenConKvsqlYLecturaComoSuLogin) {
    const QString guion = carpetas_.raiz() + QStringLiteral("almacen.sql");
    QFile f(guion);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(LotesCreacionAlmacen().join(QStringLiteral("\r\nGO\r\n")).toUtf8() + "\r\nGO\r\n");
    f.close();
    const auto creacion = Kvsql(Administrador() << QStringLiteral("-i") << guion);
    EXPECT_EQ(creacion.estado, 0) << creacion.errores.join('\n').toStdString();
    EXPECT_TRUE(creacion.errores.isEmpty());
    const auto lectura =
        Kvsql({QStringLiteral("-S"), QStringLiteral("EMBEBIDO"), QStringLiteral("-U"),
               QStringLiteral("KV_ESTADISTICAS"), QStringLiteral("-P"), QStringLiteral("QZ_TABLEROVENTA"),
               QStringLiteral("-W"), QStringLiteral("-s"), QStringLiteral("|"), QStringLiteral("-Q"),
               QStringLiteral("SELECT * FROM CAB_ESTV")});
    EXPECT_EQ(lectura.estado, 0) << lectura.errores.join('\n').toStdString();
    EXPECT_EQ(lectura.lineas,
              (QStringList{QStringLiteral("Codigo|Nombre|Tabla|Campos|Orden|Totalizadores|TOP|TopOtros"),
                           QStringLiteral("------|------|-----|------|-----|-------------|---|--------"),
                           QString(), QStringLiteral("(0 filas afectadas)")}));
    // Run again: every statement fails as SQL Server fails it, and the exit status says so.
    const auto segunda = Kvsql(Administrador() << QStringLiteral("-i") << guion);
    EXPECT_EQ(segunda.estado, 1);
    EXPECT_TRUE(segunda.errores.contains(QStringLiteral("Msg 1801, Nivel 16, Estado 1, Línea 1")));
}

}  // namespace
}  // namespace kv::pruebas
