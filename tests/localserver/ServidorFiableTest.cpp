// What no login may do to the others, and what the server does with damaged
// or missing files: two sessions on one folder (every wait ends at a command
// time-out, outcomes are asserted, never durations), the rights of a server
// procedure, the functions a statement may call, and the answers that must
// not tell one login from another.

#include <QDir>
#include <QFile>
#include <QProcess>

#include "ServidorPrueba.h"
#include "localserver/Catalogo.h"
#include "localserver/procedimientos/ReconsEstv.h"
#include "localserver/tsql/Plan.h"
#include "localserver/tsql/Traduccion.h"

namespace kv::pruebas {
namespace {

using kv::db::Conexion;

class FiableTest : public ServidorPrueba {
  protected:
    // NORTE with a table, and a login that may only read it.
    void PrepararNorte(Conexion& adm) {
        Lote(adm, QStringLiteral("CREATE DATABASE NORTE"));
        Lote(adm, QStringLiteral("USE NORTE"));
        Lote(adm, QStringLiteral(
                      "CREATE TABLE ART (cod nvarchar(10) NOT NULL PRIMARY KEY, nombre nvarchar(200) NULL)"));
        Lote(adm, QStringLiteral("INSERT INTO ART VALUES ('A1', 'uno')"));
        Lote(adm, QStringLiteral("EXEC sp_addlogin 'lector', 'l', 'NORTE'"));
        Lote(adm, QStringLiteral("EXEC sp_grantdbaccess 'lector'"));
        Lote(adm, QStringLiteral("EXEC sp_addrolemember 'db_datareader', 'lector'"));
        Lote(adm, QStringLiteral("USE master"));
    }

    QString Ruta(const QString& base) {
        return QDir(kv::local::CarpetaServidor()).filePath(base + QStringLiteral(".db"));
    }
};

// --- Transactions and locks ---------------------------------------------------

TEST_F(FiableTest, UnaTransaccionDeLecturaNoDetieneAOtros) {
    auto adm = Conectar();
    PrepararNorte(*adm);
    // A login with no rights anywhere holds a transaction open in master...
    Lote(*adm, QStringLiteral("EXEC sp_addlogin 'nadie', 'n'"));
    auto nadie = Conectar(QStringLiteral("master"), QStringLiteral("nadie"), QStringLiteral("n"));
    Lote(*nadie, QStringLiteral("BEGIN TRAN"));
    EXPECT_EQ(PrimerError(*nadie, QStringLiteral("SELECT count(*) FROM kv_sys_logins")), 208);
    // ...and a reader one in NORTE, with a read in it.
    auto lector = Conectar(QStringLiteral("NORTE"), QStringLiteral("lector"), QStringLiteral("l"));
    Lote(*lector, QStringLiteral("BEGIN TRAN"));
    EXPECT_EQ(Valor(*lector, QStringLiteral("SELECT count(*) FROM ART")).toInt(), 1);
    // Its write is refused, and refused before it could take the lock.
    EXPECT_EQ(PrimerError(*lector, QStringLiteral("INSERT INTO ART VALUES ('L1', 'del lector')")), 229);

    // The administrator's work goes through, each within a short time-out.
    adm->SetCommandTimeout(5);
    Lote(*adm, QStringLiteral("EXEC sp_addlogin 'otra', 'o'"));
    Lote(*adm, QStringLiteral("EXEC sp_password NULL, 'o2', 'otra'"));
    Lote(*adm, QStringLiteral("CREATE DATABASE SUR"));
    Lote(*adm, QStringLiteral("USE NORTE"));
    Lote(*adm, QStringLiteral("INSERT INTO ART VALUES ('A2', 'dos')"));
    // Until it writes, the reader's transaction sees what others commit.
    EXPECT_EQ(Valor(*lector, QStringLiteral("SELECT count(*) FROM ART")).toInt(), 2);
    Lote(*lector, QStringLiteral("COMMIT"));
    Lote(*nadie, QStringLiteral("ROLLBACK"));
    Conectar(QStringLiteral("master"), QStringLiteral("otra"), QStringLiteral("o2"));
}

// A statement a faster route of its own answers takes no lock either.
class RutaCuenta : public kv::local::RutaPlan {
  public:
    bool Reclamar(kv::local::PlanSentencia& plan) const override {
        return plan.sentencia.clase == kv::local::Clase::Consulta &&
               plan.sentencia.original.contains(QStringLiteral("cuenta_por_ruta"));
    }
    std::optional<kv::db::ResultadoSentencia> Ejecutar(const kv::local::PlanSentencia&,
                                                       kv::local::EntornoRuta& entorno) const override {
        kv::db::ResultadoSentencia r;
        r.tieneFilas = true;
        r.columnas.push_back(kv::db::ColumnaResultado{QStringLiteral("n"), kv::db::tipo::Integer, 4, {}});
        r.filas.push_back({entorno.base.Escalar(QStringLiteral("SELECT count(*) FROM ART"))});
        ++usos;
        return r;
    }
    mutable int usos = 0;
};

TEST_F(FiableTest, UnaLecturaPorOtraRutaTampocoBloquea) {
    auto adm = Conectar();
    PrepararNorte(*adm);
    auto ruta = std::make_shared<RutaCuenta>();
    kv::local::RegistrarRuta(ruta);
    auto lector = Conectar(QStringLiteral("NORTE"), QStringLiteral("lector"), QStringLiteral("l"));
    Lote(*lector, QStringLiteral("BEGIN TRAN"));
    EXPECT_EQ(Valor(*lector, QStringLiteral("SELECT count(*) AS cuenta_por_ruta FROM ART")).toInt(), 1);
    adm->SetCommandTimeout(3);
    Lote(*adm, QStringLiteral("USE NORTE"));
    EXPECT_EQ(PrimerError(*adm, QStringLiteral("INSERT INTO ART VALUES ('A2', 'dos')")), 0);
    Lote(*lector, QStringLiteral("COMMIT"));
    kv::local::QuitarRuta(ruta);
    EXPECT_EQ(ruta->usos, 1);
}

TEST_F(FiableTest, LaEsperaDeUnBloqueoAcabaEn1222SinTocarLoDelQueEspera) {
    auto adm = Conectar();
    PrepararNorte(*adm);
    Lote(*adm, QStringLiteral("CREATE DATABASE PROPIA"));
    Lote(*adm, QStringLiteral("USE PROPIA"));
    Lote(*adm, QStringLiteral("CREATE TABLE P (a int NOT NULL)"));
    // The first session really writes NORTE and keeps its transaction open.
    auto escritor = Conectar(QStringLiteral("NORTE"));
    Lote(*escritor, QStringLiteral("BEGIN TRAN INSERT INTO ART VALUES ('E1', 'del escritor')"));

    // The second writes its own database first, then waits for NORTE.
    auto otro = Conectar(QStringLiteral("PROPIA"));
    otro->SetCommandTimeout(1);
    Lote(*otro, QStringLiteral("BEGIN TRAN INSERT INTO P VALUES (7)"));
    Lote(*otro, QStringLiteral("USE NORTE"));
    const auto e2 = ErrorDe(*otro, QStringLiteral("INSERT INTO ART VALUES ('O1', 'del otro')"));
    ASSERT_TRUE(e2.has_value());
    EXPECT_EQ(e2->errorNativo, 1222);
    EXPECT_EQ(e2->descripcion, QStringLiteral("Se superó el tiempo de espera de la solicitud de bloqueo."));
    EXPECT_EQ(e2->numero, kv::db::adoerr::TiempoAgotado);
    // Its transaction is still open and its own write is kept.
    Lote(*otro, QStringLiteral("COMMIT"));
    Lote(*escritor, QStringLiteral("COMMIT"));
    auto c = Conectar(QStringLiteral("PROPIA"));
    EXPECT_EQ(Valor(*c, QStringLiteral("SELECT count(*) FROM P WHERE a = 7")).toInt(), 1);
    Lote(*c, QStringLiteral("USE NORTE"));
    EXPECT_EQ(Valor(*c, QStringLiteral("SELECT count(*) FROM ART WHERE cod = 'O1'")).toInt(), 0);
    EXPECT_EQ(Valor(*c, QStringLiteral("SELECT count(*) FROM ART WHERE cod = 'E1'")).toInt(), 1);
}

// --- The rebuild procedure -------------------------------------------------------

class FiableReconsTest : public FiableTest {
  protected:
    void SetUp() override {
        FiableTest::SetUp();
        kv::local::RegistrarReconsEstv();
        adm_ = Conectar();
        adm_->SetCommandTimeout(0);
        for (const QString& l : LotesCreacionAlmacen()) Lote(*adm_, l);
        Lote(*adm_, QStringLiteral(
                        "CREATE TABLE DET_ESTV0001 (Base nvarchar(50) NOT NULL, Fecha nvarchar(7) NOT NULL, "
                        "Grupo1 nvarchar(25) NOT NULL, Grupo2 nvarchar(25) NOT NULL, Grupo3 nvarchar(25) "
                        "NOT NULL, Consumo float NULL, ValorCosto money NULL, ValorVenta money NULL)"));
        Lote(*adm_,
             QStringLiteral("INSERT INTO CAB_ESTV (Nombre, Tabla, Campos) VALUES ('Uno', 'DET_ESTV0001', "
                            "'IdArticulo,'' '','' ''')"));
        Lote(*adm_,
             QStringLiteral("INSERT INTO DET_ESTV0001 (Base, Fecha, Grupo1, Grupo2, Grupo3) VALUES ('NORTE', "
                            "'1/2026', 'A', ' ', ' ')"));
        Lote(*adm_, QStringLiteral("INSERT INTO MA_EMPRESAS (Base) VALUES ('NORTE')"));
        Lote(*adm_, QStringLiteral("USE master"));
        PrepararNorte(*adm_);
    }
    int FilasAlmacen(const QString& sql) {
        auto c = Conectar(QStringLiteral("KV_ESTADISTICAS"));
        return Valor(*c, sql).toInt();
    }
    std::unique_ptr<Conexion> adm_;
};

TEST_F(FiableReconsTest, UnLectorNoPuedeEjecutarLaReconstruccion) {
    auto lector = Conectar(QStringLiteral("NORTE"), QStringLiteral("lector"), QStringLiteral("l"));
    const auto e = ErrorDe(*lector, QStringLiteral("EXEC KV_RECONS_ESTV '*', ''"));
    ASSERT_TRUE(e.has_value());
    EXPECT_EQ(e->errorNativo, 229);
    EXPECT_EQ(e->descripcion,
              QStringLiteral("Permiso EXECUTE denegado en el objeto 'KV_RECONS_ESTV', base de datos "
                             "'NORTE', esquema 'dbo'."));
    EXPECT_EQ(PrimerError(*lector, QStringLiteral("EXEC KV_RECONS_ESTV '*', 'MA_EMPRESAS'")), 229);
    EXPECT_EQ(FilasAlmacen(QStringLiteral("SELECT count(*) FROM DET_ESTV0001 WHERE Base = 'NORTE'")), 1);
    EXPECT_EQ(FilasAlmacen(QStringLiteral("SELECT count(*) FROM MA_EMPRESAS WHERE Base = 'NORTE'")), 1);

    // Nor may it grant itself the right.
    const auto g = ErrorDe(*lector, QStringLiteral("GRANT EXECUTE ON KV_RECONS_ESTV TO lector"));
    ASSERT_TRUE(g.has_value());
    EXPECT_EQ(g->errorNativo, 15151);
    EXPECT_EQ(g->descripcion,
              QStringLiteral(
                  "No se puede encontrar el objeto 'KV_RECONS_ESTV' porque no existe o no tiene permisos."));

    // The right granted on the procedure lets it run; revoked, it is refused again.
    Lote(*adm_, QStringLiteral("USE NORTE"));
    Lote(*adm_, QStringLiteral("GRANT EXECUTE ON OBJECT::dbo.KV_RECONS_ESTV TO lector"));
    EXPECT_EQ(PrimerError(*lector, QStringLiteral("EXEC KV_RECONS_ESTV '*', 'DET_ESTV0001'")), 0);
    EXPECT_EQ(FilasAlmacen(QStringLiteral("SELECT count(*) FROM DET_ESTV0001 WHERE Base = 'NORTE'")), 0);
    Lote(*adm_, QStringLiteral("REVOKE EXECUTE ON KV_RECONS_ESTV FROM lector"));
    EXPECT_EQ(PrimerError(*lector, QStringLiteral("EXEC KV_RECONS_ESTV '*', 'DET_ESTV0001'")), 229);
}

// A catalog written before rights on procedures were kept takes them on its next start.
TEST_F(FiableReconsTest, CatalogoAnteriorAdmiteGrant) {
    {
        kv::local::Catalogo catalogo(kv::local::CarpetaServidor());
        catalogo.maestra().Ejecutar(QStringLiteral("DROP TABLE kv_sys_permisos"));
    }
    auto adm = Conectar(QStringLiteral("NORTE"));
    Lote(*adm, QStringLiteral("GRANT EXECUTE ON KV_RECONS_ESTV TO lector"));
    auto lector = Conectar(QStringLiteral("NORTE"), QStringLiteral("lector"), QStringLiteral("l"));
    EXPECT_EQ(PrimerError(*lector, QStringLiteral("EXEC KV_RECONS_ESTV '*', 'DET_ESTV0001'")), 0);
}

TEST_F(FiableReconsTest, GrantSoloDeEjecucionSobreProcedimientos) {
    Lote(*adm_, QStringLiteral("USE NORTE"));
    auto e = ErrorDe(*adm_, QStringLiteral("GRANT EXECUTE ON KV_NO_EXISTE TO lector"));
    ASSERT_TRUE(e.has_value());
    EXPECT_EQ(e->errorNativo, 15151);
    e = ErrorDe(*adm_, QStringLiteral("GRANT EXECUTE ON KV_RECONS_ESTV TO fantasma"));
    ASSERT_TRUE(e.has_value());
    EXPECT_EQ(e->errorNativo, 15151);
    EXPECT_EQ(
        e->descripcion,
        QStringLiteral("No se puede encontrar el usuario 'fantasma' porque no existe o no tiene permisos."));
    e = ErrorDe(*adm_, QStringLiteral("GRANT SELECT ON ART TO lector"));
    ASSERT_TRUE(e.has_value());
    EXPECT_EQ(e->errorNativo, 50000);
    EXPECT_EQ(e->descripcion,
              QStringLiteral("El permiso SELECT no se concede objeto a objeto en este servidor: sólo "
                             "EXECUTE sobre procedimientos. Los demás permisos se dan con las "
                             "funciones de base de datos (sp_addrolemember)."));
    EXPECT_EQ(PrimerError(*adm_, QStringLiteral("GRANT EXECUTE KV_RECONS_ESTV TO lector")), 102);
}

TEST_F(FiableReconsTest, SoloTablasDeEstadisticaComoArgumento) {
    // The company's own login (db_owner) may run it, but only on statistic tables.
    Lote(*adm_, QStringLiteral("EXEC sp_addlogin 'NORTE', 'NORTE', 'NORTE'"));
    Lote(*adm_, QStringLiteral("USE NORTE"));
    Lote(*adm_, QStringLiteral("EXEC sp_grantdbaccess 'NORTE'"));
    Lote(*adm_, QStringLiteral("EXEC sp_addrolemember 'db_owner', 'NORTE'"));
    auto empresa = Conectar(QStringLiteral("NORTE"), QStringLiteral("NORTE"), QStringLiteral("NORTE"));
    for (const char* tabla : {"MA_EMPRESAS", "CAB_ESTV", "TA_CONFIGURACION", "DET_ESTV", "DET_ESTV0001x",
                              "DET_ESTV0001; DROP TABLE CAB_ESTV"}) {
        const auto e =
            ErrorDe(*empresa, QStringLiteral("EXEC KV_RECONS_ESTV '*', '%1'").arg(QLatin1String(tabla)));
        ASSERT_TRUE(e.has_value()) << tabla;
        EXPECT_EQ(e->errorNativo, 50000) << tabla;
        EXPECT_EQ(e->descripcion,
                  QStringLiteral("KV_RECONS_ESTV: '%1' no es una tabla de estadística; se admite "
                                 "DET_ESTV seguido de cifras.")
                      .arg(QLatin1String(tabla)));
    }
    EXPECT_EQ(FilasAlmacen(QStringLiteral("SELECT count(*) FROM MA_EMPRESAS WHERE Base = 'NORTE'")), 1);
    EXPECT_EQ(FilasAlmacen(QStringLiteral("SELECT count(*) FROM CAB_ESTV")), 1);
    // Lower case names a statistic table all the same.
    EXPECT_EQ(PrimerError(*empresa, QStringLiteral("EXEC KV_RECONS_ESTV '*', 'det_estv0001'")), 0);
    EXPECT_EQ(FilasAlmacen(QStringLiteral("SELECT count(*) FROM DET_ESTV0001 WHERE Base = 'NORTE'")), 0);
}

// --- Functions a statement may call ------------------------------------------------

TEST_F(FiableTest, SoloLasFuncionesDeTSQL) {
    auto adm = Conectar();
    PrepararNorte(*adm);
    auto lector = Conectar(QStringLiteral("NORTE"), QStringLiteral("lector"), QStringLiteral("l"));
    for (const char* llamada :
         {"kv_identidad('ART')", "kv_identidad_generada(1)", "kv_fecha_iso('01/02/2026')", "printf('%d', 1)",
          "fts3_tokenizer('simple')", "sqlite_compileoption_get(0)", "sqlite_version()", "randomblob(10)",
          "load_extension('x')", "zeroblob(10)", "hex('a')", "typeof(1)", "instr('ab', 'b')", "unlikely(1)",
          "json('{}')", "quote('a')", "sqlite_source_id()", "total_changes()", "likelihood(1, 0.5)"}) {
        const QString nombre = QString::fromLatin1(llamada).section(QLatin1Char('('), 0, 0);
        const auto e = ErrorDe(*lector, QStringLiteral("SELECT %1").arg(QLatin1String(llamada)));
        ASSERT_TRUE(e.has_value()) << llamada;
        EXPECT_EQ(e->errorNativo, 195) << llamada;
        EXPECT_EQ(e->descripcion,
                  QStringLiteral("'%1' no es un nombre de función integrada reconocido.").arg(nombre))
            << llamada;
    }
    // Inside a larger statement too.
    EXPECT_EQ(PrimerError(*lector, QStringLiteral("SELECT cod FROM ART WHERE cod = printf('%s', 'A1')")),
              195);
    // T-SQL's own still work.
    const auto f =
        Filas(*lector, QStringLiteral("SELECT LEN(nombre), UPPER(cod), ISNULL(NULL, 3), REPLICATE('x', 3), "
                                      "COUNT(*) FROM ART GROUP BY nombre, cod"));
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0][0].toInt(), 3);
    EXPECT_EQ(f[0][1].toString(), QStringLiteral("A1"));
    EXPECT_EQ(f[0][3].toString(), QStringLiteral("xxx"));
    // What the caller sizes stops at SQL Server's 8000 for types that are not max.
    EXPECT_EQ(Valor(*lector, QStringLiteral("SELECT LEN(REPLICATE('ab', 100000000))")).toInt(), 8000);
    EXPECT_EQ(Valor(*lector, QStringLiteral("SELECT DATALENGTH(SPACE(2000000000))")).toInt(), 8000);
    // The server's own helpers still run for it: an identity column fills in.
    Lote(*adm, QStringLiteral("USE NORTE"));
    Lote(*adm, QStringLiteral("CREATE TABLE IDE (Id int IDENTITY (1, 1) NOT NULL, x int NULL)"));
    Lote(*adm, QStringLiteral("INSERT INTO IDE (x) VALUES (5)"));
    EXPECT_EQ(Valor(*adm, QStringLiteral("SELECT Id FROM IDE")).toInt(), 1);
}

// --- Time-out ----------------------------------------------------------------------

TEST_F(FiableTest, ElTiempoDeEsperaDetieneUnLikeLargo) {
    auto adm = Conectar();
    Lote(*adm, QStringLiteral("CREATE DATABASE LARGO"));
    Lote(*adm, QStringLiteral("USE LARGO"));
    Lote(*adm, QStringLiteral("CREATE TABLE T (x ntext NULL)"));
    // A text of 200,000 characters and a pattern that tries again at every one of them.
    auto largo = Conectar(QStringLiteral("LARGO"));
    Lote(*largo, QStringLiteral("INSERT INTO T VALUES ('%1')").arg(QString(200000, QLatin1Char('a'))));
    const QString patron = QLatin1Char('%') + QString(6000, QLatin1Char('a')) + QLatin1Char('b');
    largo->SetCommandTimeout(1);
    const auto r =
        largo->EjecutarLote(QStringLiteral("SELECT count(*) FROM T WHERE x LIKE '%1'\nSELECT 1").arg(patron));
    ASSERT_EQ(r.size(), 1u);  // the time-out ends the batch
    ASSERT_TRUE(r[0].error.has_value());
    EXPECT_EQ(r[0].error->estadoSQL, QStringLiteral("HYT00"));
    EXPECT_EQ(r[0].error->numero, kv::db::adoerr::TiempoAgotado);
    EXPECT_EQ(r[0].error->descripcion, QStringLiteral("Tiempo de espera agotado"));
    // The connection stays usable, and a short LIKE answers.
    largo->SetCommandTimeout(30);
    EXPECT_EQ(Valor(*largo, QStringLiteral("SELECT count(*) FROM T WHERE x LIKE 'aa%'")).toInt(), 1);
}

// --- Answers that must not tell logins apart -----------------------------------------

TEST_F(FiableTest, LoginDesconocidoYClaveIncorrectaSeContestanIgual) {
    auto adm = Conectar();
    Lote(*adm, QStringLiteral("EXEC sp_addlogin 'ana', 'a'"));
    Lote(*adm, QStringLiteral("EXEC sp_addlogin 'luis', 'l'"));
    auto ana = Conectar(QStringLiteral("master"), QStringLiteral("ana"), QStringLiteral("a"));
    const auto desconocido = ErrorDe(*ana, QStringLiteral("EXEC sp_password 'x', 'y', 'fantasma'"));
    const auto ajeno = ErrorDe(*ana, QStringLiteral("EXEC sp_password 'x', 'y', 'luis'"));
    const auto malaClave = ErrorDe(*ana, QStringLiteral("EXEC sp_password 'mal', 'y', 'ana'"));
    ASSERT_TRUE(desconocido && ajeno && malaClave);
    EXPECT_EQ(desconocido->errorNativo, 15151);
    EXPECT_EQ(ajeno->errorNativo, 15151);
    EXPECT_EQ(malaClave->errorNativo, 15151);
    EXPECT_EQ(
        desconocido->descripcion,
        QStringLiteral(
            "No se puede modificar el inicio de sesión 'fantasma' porque no existe o no tiene permiso."));
    EXPECT_EQ(ajeno->descripcion,
              QStringLiteral(
                  "No se puede modificar el inicio de sesión 'luis' porque no existe o no tiene permiso."));
    // Nothing changed.
    Conectar(QStringLiteral("master"), QStringLiteral("luis"), QStringLiteral("l"));
    Conectar(QStringLiteral("master"), QStringLiteral("ana"), QStringLiteral("a"));
    // The sign-in: one number, one text form.
    QString t1, t2;
    EXPECT_EQ(ErrorAlAbrir(QStringLiteral("master"), QStringLiteral("fantasma"), QStringLiteral("a"), &t1),
              18456);
    EXPECT_EQ(ErrorAlAbrir(QStringLiteral("master"), QStringLiteral("ana"), QStringLiteral("mal"), &t2),
              18456);
    EXPECT_EQ(t1, QStringLiteral("Error de inicio de sesión del usuario 'fantasma'."));
    EXPECT_EQ(t2, QStringLiteral("Error de inicio de sesión del usuario 'ana'."));
}

TEST_F(FiableTest, LasNegativasNombranElObjeto) {
    auto adm = Conectar();
    PrepararNorte(*adm);
    auto lector = Conectar(QStringLiteral("NORTE"), QStringLiteral("lector"), QStringLiteral("l"));
    auto e = ErrorDe(*lector, QStringLiteral("UPDATE ART SET nombre = 'x'"));
    ASSERT_TRUE(e);
    EXPECT_EQ(e->errorNativo, 229);
    EXPECT_EQ(
        e->descripcion,
        QStringLiteral("Permiso UPDATE denegado en el objeto 'ART', base de datos 'NORTE', esquema 'dbo'."));
    e = ErrorDe(*lector, QStringLiteral("CREATE TABLE NUEVA (a int NULL)"));
    ASSERT_TRUE(e);
    EXPECT_EQ(e->errorNativo, 262);
    EXPECT_EQ(e->descripcion, QStringLiteral("Permiso CREATE TABLE denegado en la base de datos 'NORTE'."));
}

// --- Damaged and missing files -----------------------------------------------------

class FiableArchivosTest : public FiableTest {
  protected:
    void SetUp() override {
        FiableTest::SetUp();
        auto adm = Conectar();
        PrepararNorte(*adm);
    }
    void Escribir(const QString& ruta, const QByteArray& datos) {
        QFile f(ruta);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(datos);
    }
    QString Catalogo() { return Ruta(QStringLiteral("MASTER")); }
    void QuitarDiario(const QString& ruta) {
        QFile::remove(ruta + QStringLiteral("-wal"));
        QFile::remove(ruta + QStringLiteral("-shm"));
    }
};

TEST_F(FiableArchivosTest, SinCatalogoConBasesNoArranca) {
    const QByteArray norte = [&] {
        QFile f(Ruta(QStringLiteral("NORTE")));
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    for (const bool vaciar : {false, true}) {
        if (vaciar)
            Escribir(Catalogo(), QByteArray());
        else
            QFile::remove(Catalogo());
        QuitarDiario(Catalogo());
        QString texto;
        // Not even the default administrator with the default password gets in.
        EXPECT_EQ(ErrorAlAbrir(QStringLiteral("master"), QStringLiteral("Korvane"), QStringLiteral("pelumbo"),
                               &texto),
                  945);
        EXPECT_EQ(texto, QStringLiteral(
                             "No se puede iniciar el servidor: falta el catálogo '%1' o no se puede usar, y "
                             "la carpeta contiene bases de datos. Restáurelo desde una copia de seguridad o "
                             "reconstrúyalo con kvsql --recuperar-catalogo.")
                             .arg(Catalogo()));
        EXPECT_EQ(ErrorAlAbrir(QStringLiteral("NORTE"), QStringLiteral("lector"), QStringLiteral("l")), 945);
        // No fresh catalog was written.
        EXPECT_TRUE(!QFile::exists(Catalogo()) || QFileInfo(Catalogo()).size() == 0);
    }
    // The company file is as it was.
    QFile f(Ruta(QStringLiteral("NORTE")));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), norte);
}

TEST_F(FiableArchivosTest, CatalogoDanadoSeInformaComoDano) {
    QuitarDiario(Catalogo());
    Escribir(Catalogo(), QByteArray(8192, 'x'));
    QString texto;
    EXPECT_EQ(
        ErrorAlAbrir(QStringLiteral("master"), QStringLiteral("Korvane"), QStringLiteral("pelumbo"), &texto),
        824);
    EXPECT_EQ(texto, QStringLiteral(
                         "Se detectó un error de E/S lógico basado en la coherencia en el archivo '%1' de la "
                         "base de datos 'master': el archivo está dañado o no es una base de datos. "
                         "Restáurelo desde una copia de seguridad.")
                         .arg(Catalogo()));
    EXPECT_EQ(ErrorAlAbrir(QStringLiteral("master"), QStringLiteral("nadie"), QStringLiteral("x")), 824);
}

TEST_F(FiableArchivosTest, UnaBaseSinArchivoNoSeRecrea) {
    auto adm = Conectar();
    QFile::remove(Ruta(QStringLiteral("NORTE")));
    QuitarDiario(Ruta(QStringLiteral("NORTE")));
    const QString esperado =
        QStringLiteral(
            "No se puede abrir la base de datos 'NORTE' porque no se puede obtener acceso al archivo '%1'. "
            "Restáurelo desde una copia de seguridad o quite la base con DROP DATABASE.")
            .arg(Ruta(QStringLiteral("NORTE")));
    QString texto;
    EXPECT_EQ(ErrorAlAbrir(QStringLiteral("NORTE"), QStringLiteral("lector"), QStringLiteral("l"), &texto),
              945);
    EXPECT_EQ(texto, esperado);
    const auto e = ErrorDe(*adm, QStringLiteral("USE NORTE"));
    ASSERT_TRUE(e);
    EXPECT_EQ(e->errorNativo, 945);
    EXPECT_EQ(e->descripcion, esperado);
    EXPECT_FALSE(QFile::exists(Ruta(QStringLiteral("NORTE"))));
    // The registration can still be dropped, and the name used again.
    Lote(*adm, QStringLiteral("DROP DATABASE NORTE"));
    Lote(*adm, QStringLiteral("CREATE DATABASE NORTE"));
}

TEST_F(FiableArchivosTest, UnaBaseDanadaSeInformaComoDano) {
    QuitarDiario(Ruta(QStringLiteral("NORTE")));
    Escribir(Ruta(QStringLiteral("NORTE")), QByteArray(4096, '\x07'));
    QString texto;
    EXPECT_EQ(ErrorAlAbrir(QStringLiteral("NORTE"), QStringLiteral("lector"), QStringLiteral("l"), &texto),
              824);
    EXPECT_TRUE(texto.contains(Ruta(QStringLiteral("NORTE")))) << texto.toStdString();
    Escribir(Ruta(QStringLiteral("NORTE")), QByteArray());
    EXPECT_EQ(ErrorAlAbrir(QStringLiteral("NORTE"), QStringLiteral("lector"), QStringLiteral("l")), 824);
    EXPECT_EQ(QFileInfo(Ruta(QStringLiteral("NORTE"))).size(), 0);
}

TEST_F(FiableArchivosTest, RecuperarElCatalogoRegistraLasBasesPresentes) {
    QFile::remove(Catalogo());
    QuitarDiario(Catalogo());
    const auto r = kv::local::RecuperarCatalogo(kv::local::CarpetaServidor(), QStringLiteral("nueva clave"));
    EXPECT_TRUE(r.catalogoAnterior.isEmpty());
    EXPECT_EQ(r.bases, QStringList{QStringLiteral("NORTE")});
    EXPECT_TRUE(r.danadas.isEmpty());
    EXPECT_EQ(ErrorAlAbrir(QStringLiteral("master"), QStringLiteral("Korvane"), QStringLiteral("pelumbo")),
              18456);
    auto adm = Conectar(QStringLiteral("NORTE"), QStringLiteral("Korvane"), QStringLiteral("nueva clave"));
    EXPECT_EQ(Valor(*adm, QStringLiteral("SELECT nombre FROM ART")).toString(), QStringLiteral("uno"));
}

// The operator's recovery step: kvsql --recuperar-catalogo, with the password typed twice.
TEST_F(FiableArchivosTest, KvsqlRecuperaElCatalogo) {
    auto kvsql = [](const QStringList& argumentos, const QByteArray& tecleado, QString* salida,
                    QString* errores) {
        QProcess p;
        p.start(CarpetaBinarios() + QStringLiteral("kvsql"), argumentos);
        EXPECT_TRUE(p.waitForStarted(30000));
        p.write(tecleado);
        p.closeWriteChannel();
        EXPECT_TRUE(p.waitForFinished(60000));
        *salida = QString::fromUtf8(p.readAllStandardOutput());
        *errores = QString::fromUtf8(p.readAllStandardError());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    };
    const QStringList recuperar = {QStringLiteral("--recuperar-catalogo")};
    QString salida, errores;
    // A catalog that works is left alone.
    EXPECT_EQ(kvsql(recuperar, "x\nx\n", &salida, &errores), 1);
    EXPECT_EQ(errores,
              QStringLiteral("El catálogo '%1' se puede usar; no se reconstruye.\n").arg(Catalogo()));

    Escribir(Catalogo(), QByteArray());
    QuitarDiario(Catalogo());
    // Two different typings change nothing.
    EXPECT_EQ(kvsql(recuperar, "una\notra\n", &salida, &errores), 1);
    EXPECT_EQ(errores, QStringLiteral("Nueva contraseña del administrador Korvane: Repita la contraseña: Las "
                                      "contraseñas no coinciden; el catálogo no se ha reconstruido.\n"));
    EXPECT_EQ(QFileInfo(Catalogo()).size(), 0);

    EXPECT_EQ(kvsql(recuperar, "Clave Nueva\nClave Nueva\n", &salida, &errores), 0) << errores.toStdString();
    const QStringList lineas = salida.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lineas.size(), 4) << salida.toStdString();
    EXPECT_EQ(lineas[0], QStringLiteral("Catálogo reconstruido: %1").arg(Catalogo()));
    EXPECT_TRUE(lineas[1].startsWith(
        QStringLiteral("El catálogo anterior se guardó como %1.anterior-").arg(Catalogo())));
    EXPECT_EQ(lineas[2], QStringLiteral("Bases registradas: NORTE"));
    EXPECT_EQ(lineas[3], QStringLiteral("Los demás inicios de sesión no se recuperan: vuelva a crearlos con "
                                        "sp_addlogin, sp_grantdbaccess y sp_addrolemember."));
    auto adm = Conectar(QStringLiteral("NORTE"), QStringLiteral("Korvane"), QStringLiteral("Clave Nueva"));
    EXPECT_EQ(Valor(*adm, QStringLiteral("SELECT cod FROM ART")).toString(), QStringLiteral("A1"));
    EXPECT_EQ(ErrorAlAbrir(QStringLiteral("NORTE"), QStringLiteral("lector"), QStringLiteral("l")), 18456);
}

}  // namespace
}  // namespace kv::pruebas

namespace kv::pruebas {
namespace {

TEST(FiableTraduccion, FuncionDesconocidaYGrant) {
    try {
        kv::local::TraducirLote(QStringLiteral("SELECT 1\nSELECT printf('%d', 1)"));
        ADD_FAILURE() << "printf traducida";
    } catch (const kv::local::ErrorTSQL& e) {
        EXPECT_EQ(e.numero(), 195);
        EXPECT_EQ(e.mensaje(), QStringLiteral("'printf' no es un nombre de función integrada reconocido."));
        EXPECT_EQ(e.linea(), 2);
    }
    const auto g = kv::local::TraducirLote(QStringLiteral(
        "GRANT EXECUTE ON OBJECT::[dbo].[KV_RECONS_ESTV] TO NORTE, [lector] WITH GRANT OPTION\n"
        "REVOKE GRANT OPTION FOR EXEC ON KV_RECONS_ESTV FROM lector CASCADE"));
    ASSERT_EQ(g.size(), 2u);
    EXPECT_EQ(g[0].clase, kv::local::Clase::Conceder);
    EXPECT_EQ(g[0].sql, QStringLiteral("EXECUTE"));
    EXPECT_EQ(g[0].objeto, QStringLiteral("KV_RECONS_ESTV"));
    ASSERT_EQ(g[0].argumentos.size(), 2u);
    EXPECT_EQ(g[0].argumentos[0].valor.toString(), QStringLiteral("NORTE"));
    EXPECT_EQ(g[0].argumentos[1].valor.toString(), QStringLiteral("lector"));
    EXPECT_EQ(g[1].clase, kv::local::Clase::Revocar);
    EXPECT_EQ(g[1].sql, QStringLiteral("EXECUTE"));
}

}  // namespace
}  // namespace kv::pruebas
