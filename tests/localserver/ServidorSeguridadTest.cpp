// Logins and their rights: the statistics store's login owns its store and
// nothing more, the security statements keep the same catalog as the sp_*
// procedures, a transaction undoes what it changed there, a default password
// is refused from another machine, and a damaged catalog is told as damage.

#include <sqlite3.h>

#include <QFile>

#include "ServidorPrueba.h"
#include "localserver/Catalogo.h"
#include "localserver/Seguridad.h"

namespace kv::pruebas {
namespace {

using kv::db::Conexion;

class SeguridadTest : public ServidorPrueba {
  protected:
    // The store as the viewer creates it, on the administrator's connection.
    void CrearAlmacen(Conexion& adm) {
        for (const QString& lote : LotesCreacionAlmacen()) adm.EjecutarLote(lote);
    }
    // A company with its own login (name as password), owner of its database.
    void CrearEmpresa(Conexion& adm, const QString& nombre) {
        Lote(adm, QStringLiteral("CREATE DATABASE ") + nombre);
        Lote(adm, QStringLiteral("USE ") + nombre);
        Lote(adm, QStringLiteral("EXEC sp_addlogin N'%1', '%1', '%1'").arg(nombre));
        Lote(adm, QStringLiteral("EXEC sp_grantdbaccess @loginame = '%1' , @name_in_db ='%1'").arg(nombre));
        Lote(adm, QStringLiteral("EXEC sp_addrolemember N'db_owner', N'%1'").arg(nombre));
        Lote(adm, QStringLiteral("USE master"));
    }
};

// With the store's well-known password nobody takes the server: the store's
// login cannot change another login's password, make a database, or reach a
// company; inside its store it still does all the viewer does.
TEST_F(SeguridadTest, ElLoginDelAlmacenSoloTieneSuAlmacen) {
    auto adm = Conectar();
    CrearEmpresa(*adm, QStringLiteral("NORTE"));
    CrearAlmacen(*adm);
    auto almacen = Conectar(QStringLiteral("KV_ESTADISTICAS"), QStringLiteral("KV_ESTADISTICAS"),
                            QStringLiteral("QZ_TABLEROVENTA"));
    EXPECT_EQ(Valor(*almacen, QStringLiteral("SELECT IS_SRVROLEMEMBER('sysadmin')")).toInt(), 0);
    EXPECT_EQ(Valor(*almacen, QStringLiteral("SELECT IS_SRVROLEMEMBER('dbcreator')")).toInt(), 0);
    EXPECT_EQ(Valor(*almacen, QStringLiteral("SELECT IS_MEMBER('db_owner')")).toInt(), 1);
    EXPECT_EQ(PrimerError(*almacen, QStringLiteral("EXEC sp_password NULL, 'tomado', 'Korvane'")), 15151);
    EXPECT_EQ(PrimerError(*almacen, QStringLiteral("ALTER LOGIN Korvane WITH PASSWORD = 'tomado'")), 15151);
    EXPECT_EQ(PrimerError(*almacen, QStringLiteral("CREATE DATABASE OTRA")), 262);
    EXPECT_EQ(PrimerError(*almacen, QStringLiteral("CREATE LOGIN intruso WITH PASSWORD = 'x'")), 15247);
    EXPECT_EQ(PrimerError(*almacen, QStringLiteral("ALTER SERVER ROLE sysadmin ADD MEMBER KV_ESTADISTICAS")), 15151);
    EXPECT_EQ(PrimerError(*almacen, QStringLiteral("EXEC sp_addsrvrolemember 'KV_ESTADISTICAS', 'sysadmin'")), 15247);
    EXPECT_EQ(PrimerError(*almacen, QStringLiteral("USE NORTE")), 916);
    EXPECT_EQ(ErrorAlAbrir(QStringLiteral("master"), QStringLiteral("Korvane"), QStringLiteral("tomado")), 18456);
    EXPECT_EQ(ErrorAlAbrir(QStringLiteral("master"), QStringLiteral("Korvane"), QStringLiteral("pelumbo")), 0);
    // Its own work: statistic tables, definitions, the company list.
    Lote(*almacen, QStringLiteral("CREATE TABLE [dbo].[DET_ESTV0000] ([Base] [nvarchar] (50) NOT NULL)"));
    Lote(*almacen, QStringLiteral("INSERT INTO CAB_ESTV (NOMBRE,TABLA,CAMPOS,ORDEN,TOTALIZADORES,[TOP],TOPOTROS) "
                                  "VALUES('A','DET_ESTV0000','IdArticulo','O','111000',10,'Otros')"));
    Lote(*almacen, QStringLiteral("INSERT INTO MA_EMPRESAS (BASE,COMPARTIDA) VALUES ('NORTE',0)"));
    Lote(*almacen, QStringLiteral("DELETE CAB_ESTV WHERE NOMBRE='A'"));
    Lote(*almacen, QStringLiteral("DROP TABLE DET_ESTV0000"));
    // And it may still change its own password, giving the old one.
    Lote(*almacen, QStringLiteral("EXEC sp_password 'QZ_TABLEROVENTA', 'propia', 'KV_ESTADISTICAS'"));
    EXPECT_EQ(ErrorAlAbrir(QStringLiteral("KV_ESTADISTICAS"), QStringLiteral("KV_ESTADISTICAS"), QStringLiteral("propia")), 0);
}

// The decision on a login request, by itself: a default password is refused
// only when the request comes from another machine.
TEST(InicioRemoto, LaClavePorOmisionSeRechazaDesdeOtroEquipo) {
    kv::local::SolicitudInicio s;
    s.login = QStringLiteral("Korvane");
    s.clave = QStringLiteral("pelumbo");
    EXPECT_FALSE(kv::local::RechazoDeInicio(s));
    s.remota = true;
    const auto rechazo = kv::local::RechazoDeInicio(s);
    ASSERT_TRUE(rechazo);
    EXPECT_EQ(rechazo->numero(), 18488);
    EXPECT_TRUE(rechazo->mensaje().startsWith(QStringLiteral("Error de inicio de sesión del usuario 'Korvane'.")));
    EXPECT_TRUE(rechazo->mensaje().contains(
        QStringLiteral("ALTER LOGIN [Korvane] WITH PASSWORD = 'clave nueva' OLD_PASSWORD = 'clave actual'")));
    s.login = QStringLiteral("korvane ");
    EXPECT_TRUE(kv::local::RechazoDeInicio(s));
    s.login = QStringLiteral("KV_ESTADISTICAS");
    s.clave = QStringLiteral("QZ_TABLEROVENTA");
    EXPECT_TRUE(kv::local::RechazoDeInicio(s));
    s.clave = QStringLiteral("cambiada");
    EXPECT_FALSE(kv::local::RechazoDeInicio(s));
    s.login = QStringLiteral("NORTE");
    s.clave = QStringLiteral("pelumbo");
    EXPECT_FALSE(kv::local::RechazoDeInicio(s));
}

// The same decision taken in the server's login path: refused from another
// machine until the password is changed; a wrong password is still 18456.
TEST_F(SeguridadTest, ElCaminoDeInicioRechazaLaClavePorOmisionRemota) {
    auto abrir = [](const QString& login, const QString& clave, bool remota) {
        kv::local::SolicitudInicio s;
        s.login = login;
        s.clave = clave;
        s.base = QStringLiteral("master");
        s.remota = remota;
        try {
            kv::local::AbrirSesionEmbebida(s);
        } catch (const kv::db::ErrorProveedor& e) {
            return e.errores().front().errorNativo;
        }
        return 0;
    };
    EXPECT_EQ(abrir(QStringLiteral("Korvane"), QStringLiteral("pelumbo"), false), 0);
    EXPECT_EQ(abrir(QStringLiteral("Korvane"), QStringLiteral("pelumbo"), true), 18488);
    EXPECT_EQ(abrir(QStringLiteral("Korvane"), QStringLiteral("mala"), true), 18456);
    auto adm = Conectar();
    Lote(*adm, QStringLiteral("ALTER LOGIN [Korvane] WITH PASSWORD = 'larga y propia'"));
    EXPECT_EQ(abrir(QStringLiteral("Korvane"), QStringLiteral("larga y propia"), true), 0);
    EXPECT_EQ(abrir(QStringLiteral("Korvane"), QStringLiteral("pelumbo"), true), 18456);
}

// kvsql warns an administrator who signs in with the default password, and
// nobody else.
TEST_F(SeguridadTest, KvsqlAvisaAlAdministradorConClavePorOmision) {
    const Salida s = Kvsql(Administrador() << QStringLiteral("-Q") << QStringLiteral("SELECT 1 AS a"));
    EXPECT_EQ(s.estado, 0);
    ASSERT_EQ(s.avisos.size(), 1) << s.errores.join('\n').toStdString();
    EXPECT_EQ(s.avisos[0], QStringLiteral("Aviso: el administrador Korvane entró con la contraseña de omisión, que "
                                          "conoce cualquiera: con ella se toma el servidor entero. Cámbiela ya: "
                                          "ALTER LOGIN [Korvane] WITH PASSWORD = 'clave nueva'"));
    auto adm = Conectar();
    Lote(*adm, QStringLiteral("CREATE LOGIN KV_ESTADISTICAS WITH PASSWORD = 'QZ_TABLEROVENTA'"));
    const Salida almacen = Kvsql({QStringLiteral("-S"), QStringLiteral("EMBEBIDO"), QStringLiteral("-U"),
                                  QStringLiteral("KV_ESTADISTICAS"), QStringLiteral("-P"),
                                  QStringLiteral("QZ_TABLEROVENTA"), QStringLiteral("-Q"), QStringLiteral("SELECT 1 AS a")});
    EXPECT_EQ(almacen.estado, 0);
    EXPECT_TRUE(almacen.avisos.isEmpty());
    Lote(*adm, QStringLiteral("ALTER LOGIN Korvane WITH PASSWORD = 'otra'"));
    const Salida cambiada = Kvsql({QStringLiteral("-S"), QStringLiteral("EMBEBIDO"), QStringLiteral("-U"),
                                   QStringLiteral("Korvane"), QStringLiteral("-P"), QStringLiteral("otra"),
                                   QStringLiteral("-Q"), QStringLiteral("SELECT 1 AS a")});
    EXPECT_EQ(cambiada.estado, 0);
    EXPECT_TRUE(cambiada.avisos.isEmpty());
}

TEST_F(SeguridadTest, CrearModificarYQuitarLogins) {
    auto adm = Conectar();
    Lote(*adm, QStringLiteral("CREATE DATABASE EMPRESA"));
    Lote(*adm, QStringLiteral("CREATE LOGIN [ana] WITH PASSWORD = N'uno', DEFAULT_DATABASE = [EMPRESA], "
                              "CHECK_POLICY = OFF, CHECK_EXPIRATION = OFF"));
    EXPECT_EQ(PrimerError(*adm, QStringLiteral("CREATE LOGIN ANA WITH PASSWORD = 'dos'")), 15025);
    EXPECT_EQ(PrimerError(*adm, QStringLiteral("EXEC sp_addlogin 'ana', 'dos'")), 15025);
    EXPECT_EQ(PrimerError(*adm, QStringLiteral("CREATE LOGIN bea WITH PASSWORD = 'x', DEFAULT_DATABASE = NOHAY")),
              15010);
    EXPECT_EQ(PrimerError(*adm, QStringLiteral("CREATE LOGIN bea WITH PASSWORD = 'x', CHECK_POLICY = QUIZAS")), 102);
    EXPECT_EQ(PrimerError(*adm, QStringLiteral("CREATE LOGIN bea WITH DEFAULT_DATABASE = master")), 102);
    EXPECT_EQ(PrimerError(*adm, QStringLiteral("CREATE LOGIN bea WITH PASSWORD = 0x0100 HASHED")), 102);
    // Same catalog as the procedures: the default database and sp_helplogins see it.
    EXPECT_EQ(ErrorAlAbrir(QString(), QStringLiteral("ana"), QStringLiteral("uno")), 4060);
    EXPECT_EQ(ErrorAlAbrir(QStringLiteral("master"), QStringLiteral("ana"), QStringLiteral("uno")), 0);
    bool listada = false;
    for (const auto& f : Filas(*adm, QStringLiteral("EXEC sp_helplogins")))
        if (f[0].toString() == QLatin1String("ana")) listada = f[2].toString() == QLatin1String("EMPRESA");
    EXPECT_TRUE(listada);

    // Her own password: only with the old one.
    auto ana = Conectar(QStringLiteral("master"), QStringLiteral("ana"), QStringLiteral("uno"));
    EXPECT_EQ(PrimerError(*ana, QStringLiteral("ALTER LOGIN ana WITH PASSWORD = 'dos'")), 15151);
    EXPECT_EQ(PrimerError(*ana, QStringLiteral("ALTER LOGIN ana WITH PASSWORD = 'dos' OLD_PASSWORD = 'mala'")), 15151);
    Lote(*ana, QStringLiteral("ALTER LOGIN ana WITH PASSWORD = 'dos' OLD_PASSWORD = 'uno'"));
    EXPECT_EQ(ErrorAlAbrir(QStringLiteral("master"), QStringLiteral("ana"), QStringLiteral("uno")), 18456);
    EXPECT_EQ(ErrorAlAbrir(QStringLiteral("master"), QStringLiteral("ana"), QStringLiteral("dos")), 0);
    // Nobody else's, nor the policy.
    EXPECT_EQ(PrimerError(*ana, QStringLiteral("ALTER LOGIN Korvane WITH PASSWORD = 'x' OLD_PASSWORD = 'pelumbo'")),
              15151);
    EXPECT_EQ(PrimerError(*ana, QStringLiteral("ALTER LOGIN ana WITH CHECK_POLICY = OFF")), 15151);
    EXPECT_EQ(PrimerError(*ana, QStringLiteral("DROP LOGIN Korvane")), 15151);
    // Her default database she may change.
    Lote(*ana, QStringLiteral("ALTER LOGIN ana WITH DEFAULT_DATABASE = master"));
    EXPECT_EQ(ErrorAlAbrir(QString(), QStringLiteral("ana"), QStringLiteral("dos")), 0);

    // A securityadmin resets passwords without the old one, but not a sysadmin's.
    Lote(*adm, QStringLiteral("CREATE LOGIN seg WITH PASSWORD = 'seg'"));
    Lote(*adm, QStringLiteral("ALTER SERVER ROLE securityadmin ADD MEMBER seg"));
    auto seg = Conectar(QStringLiteral("master"), QStringLiteral("seg"), QStringLiteral("seg"));
    EXPECT_EQ(Valor(*seg, QStringLiteral("SELECT IS_SRVROLEMEMBER('securityadmin')")).toInt(), 1);
    Lote(*seg, QStringLiteral("ALTER LOGIN ana WITH PASSWORD = 'tres'"));
    EXPECT_EQ(ErrorAlAbrir(QStringLiteral("master"), QStringLiteral("ana"), QStringLiteral("tres")), 0);
    EXPECT_EQ(PrimerError(*seg, QStringLiteral("ALTER LOGIN Korvane WITH PASSWORD = 'tomado'")), 15151);
    EXPECT_EQ(PrimerError(*seg, QStringLiteral("EXEC sp_password NULL, 'tomado', 'Korvane'")), 15151);
    EXPECT_EQ(ErrorAlAbrir(QStringLiteral("master"), QStringLiteral("Korvane"), QStringLiteral("pelumbo")), 0);

    // Renaming keeps the password and the roles.
    Lote(*adm, QStringLiteral("ALTER LOGIN seg WITH NAME = guardia"));
    EXPECT_EQ(ErrorAlAbrir(QStringLiteral("master"), QStringLiteral("seg"), QStringLiteral("seg")), 18456);
    auto guardia = Conectar(QStringLiteral("master"), QStringLiteral("guardia"), QStringLiteral("seg"));
    EXPECT_EQ(Valor(*guardia, QStringLiteral("SELECT IS_SRVROLEMEMBER('securityadmin')")).toInt(), 1);

    // Dropping.
    EXPECT_EQ(PrimerError(*adm, QStringLiteral("DROP LOGIN nadie")), 15151);
    EXPECT_EQ(PrimerError(*adm, QStringLiteral("DROP LOGIN Korvane")), 15405);
    EXPECT_EQ(PrimerError(*guardia, QStringLiteral("DROP LOGIN guardia")), 15434);
    Lote(*adm, QStringLiteral("CREATE LOGIN duena WITH PASSWORD = 'd'"));
    Lote(*adm, QStringLiteral("ALTER SERVER ROLE dbcreator ADD MEMBER duena"));
    auto duena = Conectar(QStringLiteral("master"), QStringLiteral("duena"), QStringLiteral("d"));
    Lote(*duena, QStringLiteral("CREATE DATABASE PROPIA"));
    duena.reset();
    EXPECT_EQ(PrimerError(*adm, QStringLiteral("DROP LOGIN duena")), 15174);
    Lote(*adm, QStringLiteral("DROP LOGIN ana"));
    EXPECT_EQ(ErrorAlAbrir(QStringLiteral("master"), QStringLiteral("ana"), QStringLiteral("tres")), 18456);
}

TEST_F(SeguridadTest, UsuariosYRolesDeBase) {
    auto adm = Conectar();
    Lote(*adm, QStringLiteral("CREATE DATABASE EMPRESA"));
    Lote(*adm, QStringLiteral("USE EMPRESA"));
    Lote(*adm, QStringLiteral("CREATE TABLE ART (cod nvarchar(10) NOT NULL)"));
    Lote(*adm, QStringLiteral("INSERT INTO ART VALUES ('A1')"));
    Lote(*adm, QStringLiteral("CREATE LOGIN lec WITH PASSWORD = 'l', DEFAULT_DATABASE = EMPRESA"));
    Lote(*adm, QStringLiteral("CREATE LOGIN jefe WITH PASSWORD = 'j', DEFAULT_DATABASE = EMPRESA"));
    EXPECT_EQ(PrimerError(*adm, QStringLiteral("CREATE USER nadie FOR LOGIN nohay")), 15007);
    Lote(*adm, QStringLiteral("CREATE USER lector FOR LOGIN lec WITH DEFAULT_SCHEMA = dbo"));
    Lote(*adm, QStringLiteral("CREATE USER jefe"));
    EXPECT_EQ(PrimerError(*adm, QStringLiteral("CREATE USER LECTOR FROM LOGIN jefe")), 15023);
    EXPECT_EQ(PrimerError(*adm, QStringLiteral("CREATE USER otro FOR LOGIN lec")), 15063);
    EXPECT_EQ(PrimerError(*adm, QStringLiteral("EXEC sp_grantdbaccess 'lec', 'otro'")), 15063);

    auto lec = Conectar(QString(), QStringLiteral("lec"), QStringLiteral("l"));
    EXPECT_EQ(Valor(*lec, QStringLiteral("SELECT USER_NAME()")).toString(), QStringLiteral("lector"));
    EXPECT_EQ(Valor(*lec, QStringLiteral("SELECT SUSER_SNAME()")).toString(), QStringLiteral("lec"));
    EXPECT_EQ(PrimerError(*lec, QStringLiteral("SELECT * FROM ART")), 229);
    EXPECT_EQ(Valor(*lec, QStringLiteral("SELECT IS_MEMBER('db_datareader')")).toInt(), 0);
    EXPECT_TRUE(Valor(*lec, QStringLiteral("SELECT IS_MEMBER('no_es_rol')")).isNull());
    EXPECT_TRUE(Valor(*lec, QStringLiteral("SELECT IS_SRVROLEMEMBER('no_es_rol')")).isNull());
    // Another login's server roles are not his to see.
    EXPECT_TRUE(Valor(*lec, QStringLiteral("SELECT IS_SRVROLEMEMBER('sysadmin', 'Korvane')")).isNull());
    EXPECT_EQ(Valor(*adm, QStringLiteral("SELECT IS_SRVROLEMEMBER('sysadmin', 'Korvane')")).toInt(), 1);
    EXPECT_EQ(Valor(*adm, QStringLiteral("SELECT IS_SRVROLEMEMBER('sysadmin', 'lec')")).toInt(), 0);
    EXPECT_EQ(Valor(*adm, QStringLiteral("SELECT IS_MEMBER('db_owner')")).toInt(), 1);
    EXPECT_EQ(PrimerError(*lec, QStringLiteral("CREATE USER jefe2 FOR LOGIN jefe")), 15247);

    Lote(*adm, QStringLiteral("ALTER ROLE db_datareader ADD MEMBER lector"));
    EXPECT_EQ(Valor(*lec, QStringLiteral("SELECT IS_MEMBER('db_datareader')")).toInt(), 1);
    EXPECT_EQ(Valor(*adm, QStringLiteral("SELECT IS_ROLEMEMBER('db_datareader', 'lector')")).toInt(), 1);
    EXPECT_EQ(Valor(*lec, QStringLiteral("SELECT cod FROM ART")).toString(), QStringLiteral("A1"));
    EXPECT_EQ(PrimerError(*lec, QStringLiteral("INSERT INTO ART VALUES ('B')")), 229);
    EXPECT_EQ(PrimerError(*adm, QStringLiteral("ALTER ROLE no_es_rol ADD MEMBER lector")), 15151);
    EXPECT_EQ(PrimerError(*adm, QStringLiteral("ALTER ROLE db_datawriter ADD MEMBER nadie")), 15151);
    EXPECT_EQ(PrimerError(*adm, QStringLiteral("ALTER ROLE db_owner DROP MEMBER dbo")), 15405);

    // A db_securityadmin does not make anybody a member of a fixed role (himself included).
    Lote(*adm, QStringLiteral("EXEC sp_addrolemember 'db_securityadmin', 'jefe'"));
    auto jefe = Conectar(QString(), QStringLiteral("jefe"), QStringLiteral("j"));
    EXPECT_EQ(PrimerError(*jefe, QStringLiteral("ALTER ROLE db_owner ADD MEMBER jefe")), 15151);
    EXPECT_EQ(PrimerError(*jefe, QStringLiteral("EXEC sp_addrolemember 'db_owner', 'jefe'")), 15247);

    Lote(*adm, QStringLiteral("ALTER ROLE db_datareader DROP MEMBER lector"));
    EXPECT_EQ(PrimerError(*lec, QStringLiteral("SELECT * FROM ART")), 229);

    EXPECT_EQ(PrimerError(*adm, QStringLiteral("DROP USER dbo")), 15150);
    EXPECT_EQ(PrimerError(*adm, QStringLiteral("DROP USER nadie")), 15151);
    EXPECT_EQ(PrimerError(*adm, QStringLiteral("DROP USER IF EXISTS nadie")), 0);
    Lote(*adm, QStringLiteral("DROP USER lector"));
    lec.reset();
    EXPECT_EQ(ErrorAlAbrir(QString(), QStringLiteral("lec"), QStringLiteral("l")), 4060);
    // The login now has no user there: it may get one again.
    Lote(*adm, QStringLiteral("CREATE USER lector FOR LOGIN lec"));
    EXPECT_EQ(ErrorAlAbrir(QString(), QStringLiteral("lec"), QStringLiteral("l")), 0);
}

TEST_F(SeguridadTest, RolesDeServidor) {
    auto adm = Conectar();
    Lote(*adm, QStringLiteral("CREATE LOGIN creador WITH PASSWORD = 'c'"));
    auto creador = Conectar(QStringLiteral("master"), QStringLiteral("creador"), QStringLiteral("c"));
    EXPECT_EQ(PrimerError(*creador, QStringLiteral("CREATE DATABASE NUEVA")), 262);
    EXPECT_EQ(PrimerError(*adm, QStringLiteral("ALTER SERVER ROLE inventado ADD MEMBER creador")), 15151);
    EXPECT_EQ(PrimerError(*adm, QStringLiteral("ALTER SERVER ROLE dbcreator ADD MEMBER nadie")), 15151);
    Lote(*adm, QStringLiteral("ALTER SERVER ROLE dbcreator ADD MEMBER creador"));
    EXPECT_EQ(Valor(*creador, QStringLiteral("SELECT IS_SRVROLEMEMBER('dbcreator')")).toInt(), 1);
    Lote(*creador, QStringLiteral("CREATE DATABASE NUEVA"));
    // A member of a fixed role may add others to it, not to a role he lacks.
    Lote(*adm, QStringLiteral("CREATE LOGIN otro WITH PASSWORD = 'o'"));
    Lote(*creador, QStringLiteral("ALTER SERVER ROLE dbcreator ADD MEMBER otro"));
    EXPECT_EQ(PrimerError(*creador, QStringLiteral("ALTER SERVER ROLE sysadmin ADD MEMBER creador")), 15151);
    Lote(*adm, QStringLiteral("ALTER SERVER ROLE dbcreator DROP MEMBER creador"));
    EXPECT_EQ(PrimerError(*creador, QStringLiteral("CREATE DATABASE OTRA")), 262);
    EXPECT_EQ(PrimerError(*adm, QStringLiteral("ALTER SERVER ROLE sysadmin DROP MEMBER Korvane")), 15405);
}

// Rights, passwords, logins and role members changed inside a transaction are
// undone by its ROLLBACK, and kept by its COMMIT.
TEST_F(SeguridadTest, LaTransaccionDeshaceDerechosYClaves) {
    auto adm = Conectar();
    Lote(*adm, QStringLiteral("CREATE DATABASE EMPRESA"));
    Lote(*adm, QStringLiteral("USE EMPRESA"));
    Lote(*adm, QStringLiteral("CREATE LOGIN LEC WITH PASSWORD = 'lec', DEFAULT_DATABASE = EMPRESA"));
    Lote(*adm, QStringLiteral("CREATE USER LEC"));
    auto lec = Conectar(QString(), QStringLiteral("LEC"), QStringLiteral("lec"));
    const QString ejecutar = QStringLiteral("EXEC KV_RECONS_ESTV '', ''");
    EXPECT_EQ(PrimerError(*lec, ejecutar), 229);

    Lote(*adm, QStringLiteral("BEGIN TRAN GRANT EXECUTE ON KV_RECONS_ESTV TO LEC ROLLBACK"));
    EXPECT_EQ(PrimerError(*lec, ejecutar), 229);
    Lote(*adm, QStringLiteral("BEGIN TRAN GRANT EXECUTE ON KV_RECONS_ESTV TO LEC COMMIT"));
    EXPECT_NE(PrimerError(*lec, ejecutar), 229);
    Lote(*adm, QStringLiteral("BEGIN TRAN REVOKE EXECUTE ON KV_RECONS_ESTV FROM LEC ROLLBACK"));
    EXPECT_NE(PrimerError(*lec, ejecutar), 229);

    Lote(*adm, QStringLiteral("BEGIN TRAN EXEC sp_password NULL, 'nueva', 'LEC' ROLLBACK"));
    EXPECT_EQ(ErrorAlAbrir(QString(), QStringLiteral("LEC"), QStringLiteral("nueva")), 18456);
    EXPECT_EQ(ErrorAlAbrir(QString(), QStringLiteral("LEC"), QStringLiteral("lec")), 0);
    Lote(*adm, QStringLiteral("BEGIN TRAN ALTER LOGIN LEC WITH PASSWORD = 'otra'"));
    Lote(*adm, QStringLiteral("ROLLBACK"));
    EXPECT_EQ(ErrorAlAbrir(QString(), QStringLiteral("LEC"), QStringLiteral("lec")), 0);

    Lote(*adm, QStringLiteral("BEGIN TRAN EXEC sp_addlogin 'fugaz', 'f' CREATE LOGIN fugaz2 WITH PASSWORD = 'f' "
                              "ROLLBACK"));
    EXPECT_EQ(ErrorAlAbrir(QStringLiteral("master"), QStringLiteral("fugaz"), QStringLiteral("f")), 18456);
    EXPECT_EQ(ErrorAlAbrir(QStringLiteral("master"), QStringLiteral("fugaz2"), QStringLiteral("f")), 18456);

    Lote(*adm, QStringLiteral("BEGIN TRAN EXEC sp_addrolemember 'db_datareader', 'LEC' "
                              "ALTER ROLE db_datawriter ADD MEMBER LEC ROLLBACK"));
    EXPECT_EQ(Valor(*lec, QStringLiteral("SELECT IS_MEMBER('db_datareader') + IS_MEMBER('db_datawriter')")).toInt(), 0);
    Lote(*adm, QStringLiteral("BEGIN TRAN ALTER SERVER ROLE dbcreator ADD MEMBER LEC ROLLBACK"));
    EXPECT_EQ(Valor(*lec, QStringLiteral("SELECT IS_SRVROLEMEMBER('dbcreator')")).toInt(), 0);

    Lote(*adm, QStringLiteral("BEGIN TRAN CREATE LOGIN queda WITH PASSWORD = 'q' COMMIT"));
    EXPECT_EQ(ErrorAlAbrir(QStringLiteral("master"), QStringLiteral("queda"), QStringLiteral("q")), 0);
}

// Index damage the schema read does not see: SQLite's integrity check finds it,
// and the server answers 824 instead of taking every login for a wrong password.
TEST_F(SeguridadTest, CatalogoDanadoEsDanoYSeRecupera) {
    const QString carpeta = kv::local::CarpetaServidor();
    const QString ruta = kv::local::RutaBase(carpeta, QStringLiteral("master"));
    {
        auto adm = Conectar();
        Lote(*adm, QStringLiteral("CREATE DATABASE EMPRESA"));
    }
    // Every handle closed: the log is folded back into the file.
    int pagina = 0, tamano = 0;
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(ruta).constData(), &db), SQLITE_OK);
        sqlite3_exec(db, "PRAGMA wal_checkpoint(TRUNCATE); PRAGMA journal_mode=DELETE;", nullptr, nullptr, nullptr);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db,
                           "SELECT rootpage, (SELECT page_size FROM pragma_page_size) FROM sqlite_master "
                           "WHERE name = 'sqlite_autoindex_kv_sys_logins_1'",
                           -1, &st, nullptr);
        ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
        pagina = sqlite3_column_int(st, 0);
        tamano = sqlite3_column_int(st, 1);
        sqlite3_finalize(st);
        sqlite3_close(db);
    }
    ASSERT_GT(pagina, 0);
    {
        // The login's key in the index page changed, its table row not.
        QFile f(ruta);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.seek(qint64(pagina - 1) * tamano);
        QByteArray bytes = f.read(tamano);
        const qsizetype i = bytes.indexOf("Korvane");
        ASSERT_GE(i, 0);
        bytes[i] = 'X';
        f.seek(qint64(pagina - 1) * tamano);
        f.write(bytes);
    }
    QString texto;
    EXPECT_EQ(ErrorAlAbrir(QStringLiteral("master"), QStringLiteral("Korvane"), QStringLiteral("pelumbo"), &texto), 824);
    EXPECT_TRUE(texto.contains(ruta)) << texto.toStdString();
    try {
        kv::local::Catalogo catalogo(carpeta);
        ADD_FAILURE() << "un catálogo dañado se abrió";
    } catch (const kv::local::ErrorServidor& e) {
        EXPECT_EQ(e.numero(), 824);
    }
    // The recovery takes it aside and registers the databases again.
    const auto r = kv::local::RecuperarCatalogo(carpeta, QStringLiteral("recuperada"));
    EXPECT_FALSE(r.catalogoAnterior.isEmpty());
    EXPECT_TRUE(r.bases.contains(QStringLiteral("EMPRESA")));
    EXPECT_EQ(ErrorAlAbrir(QStringLiteral("EMPRESA"), QStringLiteral("Korvane"), QStringLiteral("recuperada")), 0);
}

// Principals by id, name and sid, as SQL Server numbers them.
TEST_F(SeguridadTest, UsuariosYLoginsPorIdNombreYSid) {
    auto adm = Conectar();
    CrearEmpresa(*adm, QStringLiteral("NORTE"));
    Lote(*adm, QStringLiteral("USE NORTE"));
    EXPECT_EQ(Valor(*adm, QStringLiteral("SELECT USER_NAME(1)")).toString(), QStringLiteral("dbo"));
    EXPECT_EQ(Valor(*adm, QStringLiteral("SELECT USER_NAME(2)")).toString(), QStringLiteral("guest"));
    EXPECT_EQ(Valor(*adm, QStringLiteral("SELECT USER_ID('dbo')")).toInt(), 1);
    EXPECT_EQ(Valor(*adm, QStringLiteral("SELECT USER_ID('db_owner')")).toInt(), 16384);
    EXPECT_EQ(Valor(*adm, QStringLiteral("SELECT USER_NAME(16390)")).toString(), QStringLiteral("db_datareader"));
    EXPECT_EQ(Valor(*adm, QStringLiteral("SELECT USER_NAME(USER_ID('NORTE'))")).toString(), QStringLiteral("NORTE"));
    EXPECT_GT(Valor(*adm, QStringLiteral("SELECT USER_ID('NORTE')")).toInt(), 4);
    EXPECT_TRUE(Valor(*adm, QStringLiteral("SELECT USER_ID('nadie')")).isNull());
    EXPECT_TRUE(Valor(*adm, QStringLiteral("SELECT USER_NAME(999999)")).isNull());
    EXPECT_EQ(Valor(*adm, QStringLiteral("SELECT USER_ID()")).toInt(), 1);
    EXPECT_EQ(Valor(*adm, QStringLiteral("SELECT SUSER_ID('Korvane')")).toInt(), 1);
    EXPECT_EQ(Valor(*adm, QStringLiteral("SELECT SUSER_NAME(1)")).toString(), QStringLiteral("Korvane"));
    EXPECT_EQ(Valor(*adm, QStringLiteral("SELECT SUSER_ID('sysadmin')")).toInt(), 3);
    EXPECT_EQ(Valor(*adm, QStringLiteral("SELECT SUSER_ID()")).toInt(), 1);
    EXPECT_EQ(Valor(*adm, QStringLiteral("SELECT SUSER_SNAME(0x01)")).toString(), QStringLiteral("Korvane"));
    EXPECT_EQ(Valor(*adm, QStringLiteral("SELECT SUSER_SID('Korvane')")).toByteArray(), QByteArray("\x01", 1));
    EXPECT_EQ(Valor(*adm, QStringLiteral("SELECT SUSER_SNAME(SUSER_SID('NORTE'))")).toString(), QStringLiteral("NORTE"));
    EXPECT_EQ(Valor(*adm, QStringLiteral("SELECT SUSER_NAME(SUSER_ID('NORTE'))")).toString(), QStringLiteral("NORTE"));
    EXPECT_GE(Valor(*adm, QStringLiteral("SELECT SUSER_ID('NORTE')")).toInt(), 256);
    EXPECT_TRUE(Valor(*adm, QStringLiteral("SELECT SUSER_SNAME(0x02)")).isNull());
    EXPECT_EQ(Valor(*adm, QStringLiteral("SELECT SUSER_SNAME()")).toString(), QStringLiteral("Korvane"));
    // In the company's own session its user is not dbo.
    auto norte = Conectar(QStringLiteral("NORTE"), QStringLiteral("NORTE"), QStringLiteral("NORTE"));
    EXPECT_EQ(Valor(*norte, QStringLiteral("SELECT USER_NAME(USER_ID())")).toString(), QStringLiteral("NORTE"));
    EXPECT_EQ(Valor(*norte, QStringLiteral("SELECT SUSER_SNAME()")).toString(), QStringLiteral("NORTE"));
}

TEST_F(SeguridadTest, UnLoginDeshabilitadoNoEntra) {
    auto adm = Conectar();
    CrearEmpresa(*adm, QStringLiteral("NORTE"));
    CrearEmpresa(*adm, QStringLiteral("SUR"));
    Lote(*adm, QStringLiteral("ALTER LOGIN NORTE DISABLE"));
    QString texto;
    EXPECT_EQ(ErrorAlAbrir(QStringLiteral("NORTE"), QStringLiteral("NORTE"), QStringLiteral("NORTE"), &texto), 18470);
    EXPECT_EQ(texto, QStringLiteral("Error de inicio de sesión del usuario 'NORTE'. Motivo: la cuenta está deshabilitada."));
    // A wrong password is still only a wrong password.
    EXPECT_EQ(ErrorAlAbrir(QStringLiteral("NORTE"), QStringLiteral("NORTE"), QStringLiteral("mala")), 18456);
    // Only an administrator enables and disables; the initial administrator stays enabled.
    auto sur = Conectar(QStringLiteral("SUR"), QStringLiteral("SUR"), QStringLiteral("SUR"));
    EXPECT_EQ(PrimerError(*sur, QStringLiteral("ALTER LOGIN NORTE ENABLE")), 15151);
    EXPECT_EQ(PrimerError(*sur, QStringLiteral("ALTER LOGIN SUR DISABLE")), 15151);
    EXPECT_EQ(PrimerError(*adm, QStringLiteral("ALTER LOGIN Korvane DISABLE")), 15405);
    // Undone by ROLLBACK like every other change of a login.
    Lote(*adm, QStringLiteral("BEGIN TRAN ALTER LOGIN NORTE ENABLE ROLLBACK"));
    EXPECT_EQ(ErrorAlAbrir(QStringLiteral("NORTE"), QStringLiteral("NORTE"), QStringLiteral("NORTE")), 18470);
    Lote(*adm, QStringLiteral("ALTER LOGIN NORTE ENABLE"));
    EXPECT_EQ(ErrorAlAbrir(QStringLiteral("NORTE"), QStringLiteral("NORTE"), QStringLiteral("NORTE")), 0);
    // A login dropped and made again starts enabled.
    Lote(*adm, QStringLiteral("ALTER LOGIN SUR DISABLE"));
    sur.reset();
    Lote(*adm, QStringLiteral("DROP LOGIN SUR"));
    Lote(*adm, QStringLiteral("CREATE LOGIN SUR WITH PASSWORD = 'SUR', DEFAULT_DATABASE = SUR"));
    EXPECT_EQ(ErrorAlAbrir(QStringLiteral("master"), QStringLiteral("SUR"), QStringLiteral("SUR")), 0);
}

}  // namespace
}  // namespace kv::pruebas
