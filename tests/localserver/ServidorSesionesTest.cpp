// Logins, roles and database access; batches and transactions across batches;
// the command time-out.

#include <QElapsedTimer>

#include "ServidorPrueba.h"
#include "localserver/Catalogo.h"

namespace kv::pruebas {
namespace {

using kv::db::Conexion;

class SesionesTest : public ServidorPrueba {};

TEST_F(SesionesTest, AdministradorInicialYClaveIncorrecta) {
    EXPECT_EQ(ErrorAlAbrir(QStringLiteral("master"), QStringLiteral("Korvane"), QStringLiteral("pelumbo")), 0);
    QString texto;
    EXPECT_EQ(ErrorAlAbrir(QStringLiteral("master"), QStringLiteral("Korvane"), QStringLiteral("otra"), &texto), 18456);
    EXPECT_EQ(texto, QStringLiteral("Error de inicio de sesión del usuario 'Korvane'."));
    EXPECT_EQ(ErrorAlAbrir(QStringLiteral("master"), QStringLiteral("Nadie"), QStringLiteral("pelumbo"), &texto), 18456);
    EXPECT_EQ(texto, QStringLiteral("Error de inicio de sesión del usuario 'Nadie'."));
    // The login name is not case-sensitive, the password is.
    EXPECT_EQ(ErrorAlAbrir(QStringLiteral("master"), QStringLiteral("KORVANE"), QStringLiteral("pelumbo")), 0);
    EXPECT_EQ(ErrorAlAbrir(QStringLiteral("master"), QStringLiteral("Korvane"), QStringLiteral("PELUMBO")), 18456);
}

TEST_F(SesionesTest, ServidorEnCualquierCajaYBaseDesconocida) {
    Conexion c;
    c.Open(CadenaEmbebido(QStringLiteral("master"), QStringLiteral("Korvane"), QStringLiteral("pelumbo"),
                          QStringLiteral("embebido")));
    EXPECT_EQ(c.DefaultDatabase(), QStringLiteral("master"));
    QString texto;
    EXPECT_EQ(ErrorAlAbrir(QStringLiteral("NOHAY"), QStringLiteral("Korvane"), QStringLiteral("pelumbo"), &texto), 4060);
    EXPECT_EQ(texto, QStringLiteral("No se puede abrir la base de datos \"NOHAY\" solicitada por el inicio de sesión. "
                                    "Error de inicio de sesión."));
}

TEST_F(SesionesTest, LasClavesSeGuardanConSalYNoEnClaro) {
    auto c = Conectar();
    Lote(*c, QStringLiteral("EXEC sp_addlogin 'ana', 'secreta'"));
    kv::local::Catalogo catalogo(kv::local::CarpetaServidor());
    const QString guardada = catalogo.maestra().Escalar(
        QStringLiteral("SELECT clave FROM kv_sys_logins WHERE nombre = 'ana'")).toString();
    EXPECT_FALSE(guardada.contains(QStringLiteral("secreta")));
    EXPECT_TRUE(guardada.startsWith(QStringLiteral("pbkdf2-sha256$20000$")));
    EXPECT_NE(kv::local::HashClave(QStringLiteral("x")), kv::local::HashClave(QStringLiteral("x")));
    EXPECT_TRUE(kv::local::VerificarClave(QStringLiteral("secreta"), guardada));
    EXPECT_FALSE(kv::local::VerificarClave(QStringLiteral("Secreta"), guardada));
}

TEST_F(SesionesTest, LoginNuevoSinAccesoYConAcceso) {
    auto adm = Conectar();
    Lote(*adm, QStringLiteral("CREATE DATABASE EMPRESA"));
    Lote(*adm, QStringLiteral("USE EMPRESA"));
    Lote(*adm, QStringLiteral("CREATE TABLE ART (cod nvarchar(10) NOT NULL, CONSTRAINT PK_ART PRIMARY KEY (cod))"));
    Lote(*adm, QStringLiteral("INSERT INTO ART VALUES ('A1')"));
    Lote(*adm, QStringLiteral("EXEC sp_addlogin 'lector', 'uno', 'EMPRESA'"));
    EXPECT_EQ(PrimerError(*adm, QStringLiteral("EXEC sp_addlogin 'LECTOR', 'dos'")), 15025);

    // A login without a user in its default database cannot open it.
    EXPECT_EQ(ErrorAlAbrir(QString(), QStringLiteral("lector"), QStringLiteral("uno")), 4060);
    // master is open to every login.
    EXPECT_EQ(ErrorAlAbrir(QStringLiteral("master"), QStringLiteral("lector"), QStringLiteral("uno")), 0);

    Lote(*adm, QStringLiteral("EXEC sp_grantdbaccess 'lector'"));
    auto lector = Conectar(QString(), QStringLiteral("lector"), QStringLiteral("uno"));
    EXPECT_EQ(lector->DefaultDatabase(), QStringLiteral("EMPRESA"));
    // A user without roles reads nothing.
    EXPECT_EQ(PrimerError(*lector, QStringLiteral("SELECT * FROM ART")), 229);
    Lote(*adm, QStringLiteral("EXEC sp_addrolemember 'db_datareader', 'lector'"));
    EXPECT_EQ(Valor(*lector, QStringLiteral("SELECT cod FROM ART")).toString(), QStringLiteral("A1"));
    EXPECT_EQ(PrimerError(*lector, QStringLiteral("INSERT INTO ART VALUES ('A2')")), 229);
    EXPECT_EQ(PrimerError(*lector, QStringLiteral("CREATE TABLE OTRA (x int)")), 262);
    EXPECT_EQ(PrimerError(*lector, QStringLiteral("CREATE DATABASE SUYA")), 262);
    EXPECT_EQ(PrimerError(*lector, QStringLiteral("EXEC sp_addlogin 'otro', 'x'")), 15247);
    EXPECT_EQ(PrimerError(*lector, QStringLiteral("EXEC sp_addsrvrolemember 'lector', 'sysadmin'")), 15247);
    EXPECT_EQ(PrimerError(*lector, QStringLiteral("EXEC sp_addrolemember 'db_owner', 'lector'")), 15247);
    Lote(*adm, QStringLiteral("EXEC sp_addrolemember 'db_datawriter', 'lector'"));
    Lote(*lector, QStringLiteral("INSERT INTO ART VALUES ('A2')"));
    Lote(*adm, QStringLiteral("EXEC sp_addrolemember 'db_ddladmin', 'lector'"));
    Lote(*lector, QStringLiteral("CREATE TABLE OTRA (x int)"));
    // The server's own tables stay out of sight: they do not exist for a statement.
    EXPECT_EQ(PrimerError(*lector, QStringLiteral("SELECT * FROM kv_sys_columnas")), 208);
    Lote(*lector, QStringLiteral("USE master"));
    EXPECT_EQ(PrimerError(*lector, QStringLiteral("SELECT * FROM kv_sys_logins")), 208);
    // A database the login has no user in.
    Lote(*adm, QStringLiteral("CREATE DATABASE AJENA"));
    EXPECT_EQ(PrimerError(*lector, QStringLiteral("USE AJENA")), 916);
}

TEST_F(SesionesTest, RolesDeServidorYDesconocidos) {
    auto adm = Conectar();
    Lote(*adm, QStringLiteral("EXEC sp_addlogin 'creador', 'c'"));
    EXPECT_EQ(PrimerError(*adm, QStringLiteral("EXEC sp_addsrvrolemember 'creador', 'inventado'")), 15402);
    EXPECT_EQ(PrimerError(*adm, QStringLiteral("EXEC sp_addsrvrolemember 'nadie', 'dbcreator'")), 15007);
    Lote(*adm, QStringLiteral("EXEC sp_addsrvrolemember 'creador', 'dbcreator'"));
    Lote(*adm, QStringLiteral("EXEC sp_addsrvrolemember 'creador', 'dbcreator'"));  // again: nothing changes
    auto c = Conectar(QStringLiteral("master"), QStringLiteral("creador"), QStringLiteral("c"));
    Lote(*c, QStringLiteral("CREATE DATABASE PROPIA"));
    Lote(*c, QStringLiteral("USE PROPIA"));
    // The creator owns it: may make tables there.
    Lote(*c, QStringLiteral("CREATE TABLE X (a int)"));
    EXPECT_EQ(PrimerError(*c, QStringLiteral("EXEC sp_addrolemember 'db_inventado', 'dbo'")), 15014);
    EXPECT_EQ(PrimerError(*c, QStringLiteral("EXEC sp_addrolemember 'db_datareader', 'fantasma'")), 15410);
    Lote(*c, QStringLiteral("USE master"));
    Lote(*c, QStringLiteral("DROP DATABASE PROPIA"));
    EXPECT_FALSE(QFile::exists(carpetas_.datos() + QStringLiteral("PROPIA.db")));
    EXPECT_EQ(PrimerError(*c, QStringLiteral("USE PROPIA")), 911);
}

TEST_F(SesionesTest, CambioDeClave) {
    auto adm = Conectar();
    Lote(*adm, QStringLiteral("EXEC sp_addlogin 'ana', 'vieja'"));
    auto ana = Conectar(QStringLiteral("master"), QStringLiteral("ana"), QStringLiteral("vieja"));
    EXPECT_EQ(PrimerError(*ana, QStringLiteral("EXEC sp_password 'mal', 'nueva'")), 15151);
    Lote(*ana, QStringLiteral("EXEC sp_password 'vieja', 'nueva'"));
    EXPECT_EQ(PrimerError(*ana, QStringLiteral("EXEC sp_password NULL, 'otra', 'Korvane'")), 15151);
    Conexion prueba;
    EXPECT_THROW(prueba.Open(CadenaEmbebido(QStringLiteral("master"), QStringLiteral("ana"), QStringLiteral("vieja"))),
                 kv::KvExcepcion);
    auto nueva = Conectar(QStringLiteral("master"), QStringLiteral("ana"), QStringLiteral("nueva"));
    // An administrator sets it without the old one.
    Lote(*adm, QStringLiteral("EXEC sp_password NULL, 'tercera', 'ana'"));
    Conectar(QStringLiteral("master"), QStringLiteral("ana"), QStringLiteral("tercera"));
}

TEST_F(SesionesTest, NombresConComillaOSeparadorSeRechazan) {
    auto adm = Conectar();
    EXPECT_EQ(PrimerError(*adm, QStringLiteral("EXEC sp_addlogin 'o''brien', 'x'")), 15006);
    EXPECT_EQ(PrimerError(*adm, QStringLiteral("EXEC sp_addlogin 'a/b', 'x'")), 15006);
    EXPECT_EQ(PrimerError(*adm, QStringLiteral("CREATE DATABASE [../fuera]")), 15006);
    EXPECT_EQ(PrimerError(*adm, QStringLiteral("CREATE DATABASE [a\\b]")), 15006);
    EXPECT_FALSE(QFile::exists(carpetas_.raiz() + QStringLiteral("FUERA.db")));
}

TEST_F(SesionesTest, TransaccionAbiertaEntreLotes) {
    auto c = Conectar();
    Lote(*c, QStringLiteral("CREATE DATABASE T1"));
    Lote(*c, QStringLiteral("USE T1"));
    Lote(*c, QStringLiteral("CREATE TABLE M (a int NOT NULL)"));
    Lote(*c, QStringLiteral("BEGIN TRANSACTION"));
    Lote(*c, QStringLiteral("INSERT INTO M VALUES (1)"));
    Lote(*c, QStringLiteral("INSERT INTO M VALUES (2)"));
    EXPECT_EQ(Valor(*c, QStringLiteral("SELECT count(*) FROM M")).toInt(), 2);
    // Another connection does not see uncommitted rows.
    auto otra = Conectar(QStringLiteral("T1"));
    EXPECT_EQ(Valor(*otra, QStringLiteral("SELECT count(*) FROM M")).toInt(), 0);
    Lote(*c, QStringLiteral("ROLLBACK TRANSACTION"));
    EXPECT_EQ(Valor(*c, QStringLiteral("SELECT count(*) FROM M")).toInt(), 0);

    Lote(*c, QStringLiteral("BEGIN TRAN"));
    Lote(*c, QStringLiteral("INSERT INTO M VALUES (3)"));
    // An error inside the transaction ends its statement only.
    EXPECT_EQ(PrimerError(*c, QStringLiteral("INSERT INTO M VALUES (NULL)")), 515);
    Lote(*c, QStringLiteral("COMMIT TRAN"));
    EXPECT_EQ(Valor(*otra, QStringLiteral("SELECT count(*) FROM M")).toInt(), 1);

    // The client's own transaction calls.
    c->BeginTrans();
    Lote(*c, QStringLiteral("INSERT INTO M VALUES (4)"));
    c->RollbackTrans();
    EXPECT_EQ(Valor(*otra, QStringLiteral("SELECT count(*) FROM M")).toInt(), 1);

    // Closing with a transaction open rolls it back.
    Lote(*c, QStringLiteral("BEGIN TRAN INSERT INTO M VALUES (5)"));
    c.reset();
    EXPECT_EQ(Valor(*otra, QStringLiteral("SELECT count(*) FROM M")).toInt(), 1);
}

TEST_F(SesionesTest, TiempoAgotadoEsperandoUnBloqueo) {
    auto a = Conectar();
    Lote(*a, QStringLiteral("CREATE DATABASE BLOQ"));
    Lote(*a, QStringLiteral("USE BLOQ"));
    Lote(*a, QStringLiteral("CREATE TABLE M (a int NULL)"));
    Lote(*a, QStringLiteral("BEGIN TRAN INSERT INTO M VALUES (1)"));
    auto b = Conectar(QStringLiteral("BLOQ"));
    b->SetCommandTimeout(1);
    QElapsedTimer reloj;
    reloj.start();
    const auto r = b->EjecutarLote(QStringLiteral("INSERT INTO M VALUES (2)\nINSERT INTO M VALUES (3)"));
    ASSERT_EQ(r.size(), 1u);  // the time-out ends the batch
    ASSERT_TRUE(r[0].error.has_value());
    // SQL Server's lock time-out, which the client takes for a time-out.
    EXPECT_EQ(r[0].error->estadoSQL, QStringLiteral("HYT00"));
    EXPECT_EQ(r[0].error->errorNativo, 1222);
    EXPECT_EQ(r[0].error->descripcion,
              QStringLiteral("Se superó el tiempo de espera de la solicitud de bloqueo."));
    EXPECT_EQ(r[0].error->numero, kv::db::adoerr::TiempoAgotado);
    EXPECT_GE(reloj.elapsed(), 900);
    Lote(*a, QStringLiteral("COMMIT"));
    Lote(*b, QStringLiteral("INSERT INTO M VALUES (2)"));
    EXPECT_EQ(Valor(*b, QStringLiteral("SELECT count(*) FROM M")).toInt(), 2);
}

TEST_F(SesionesTest, TiempoAgotadoEnUnaConsultaLarga) {
    auto c = Conectar();
    Lote(*c, QStringLiteral("CREATE DATABASE LARGA"));
    Lote(*c, QStringLiteral("USE LARGA"));
    Lote(*c, QStringLiteral("CREATE TABLE N (a int NULL)"));
    Lote(*c, QStringLiteral("INSERT INTO N VALUES (1)"));
    for (int i = 0; i < 11; ++i) Lote(*c, QStringLiteral("INSERT INTO N SELECT a + 1 FROM N"));
    c->SetCommandTimeout(1);
    const auto r = c->EjecutarLote(QStringLiteral("SELECT count(*) FROM N x, N y, N z"));
    ASSERT_EQ(r.size(), 1u);
    ASSERT_TRUE(r[0].error.has_value());
    EXPECT_EQ(r[0].error->estadoSQL, QStringLiteral("HYT00"));
    // The connection stays usable.
    c->SetCommandTimeout(30);
    EXPECT_EQ(Valor(*c, QStringLiteral("SELECT count(*) FROM N")).toInt(), 2048);
}

}  // namespace
}  // namespace kv::pruebas

namespace kv::pruebas {
namespace {

// A database file left without its catalog entry is taken back, never overwritten.
TEST_F(SesionesTest, FicheroSinEntradaEnElCatalogoSeConserva) {
    {
        auto c = Conectar();
        Lote(*c, QStringLiteral("CREATE DATABASE HUERFANA"));
        Lote(*c, QStringLiteral("USE HUERFANA"));
        Lote(*c, QStringLiteral("CREATE TABLE D (a int NULL)"));
        Lote(*c, QStringLiteral("INSERT INTO D VALUES (42)"));
    }
    {
        kv::local::Catalogo catalogo(kv::local::CarpetaServidor());
        catalogo.QuitarBase(QStringLiteral("HUERFANA"));
    }
    auto c = Conectar();
    EXPECT_EQ(PrimerError(*c, QStringLiteral("USE HUERFANA")), 911);
    Lote(*c, QStringLiteral("CREATE DATABASE HUERFANA"));
    Lote(*c, QStringLiteral("USE HUERFANA"));
    EXPECT_EQ(Valor(*c, QStringLiteral("SELECT a FROM D")).toInt(), 42);
}

}  // namespace
}  // namespace kv::pruebas
