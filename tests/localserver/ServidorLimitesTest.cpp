// The batches that once ended the process, and the bounds that keep every
// batch in hand: long chains, deep nesting, the time-out between statements
// and in WAITFOR, the session's memory, money at the ends of its range, names
// that are names, SQLite's own tables out of reach and the T-SQL functions on
// characters and formats.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "ServidorPrueba.h"
#include "localserver/rapida/RutaAgregacion.h"
#include "localserver/tsql/Traduccion.h"

namespace kv::pruebas {
namespace {

using kv::db::Conexion;

// "SELECT 1 + 1 + ... + 1" with `n` terms, `entre` between each term and the next.
QString Cadena(int n, const QString& entre = QStringLiteral(" + ")) {
    QString s = QStringLiteral("SELECT 1");
    s.reserve(n * (entre.size() + 1) + 8);
    for (int i = 1; i < n; ++i) s += entre + QLatin1Char('1');
    return s;
}

QString Repetir(const QString& pieza, int n) { return pieza.repeated(n); }

const char* const kEstadistica =
    "CREATE TABLE DET_ESTV0001 (Base nvarchar(50) NOT NULL, Fecha nvarchar(7) NOT NULL, Grupo1 nvarchar(25) "
    "NOT NULL, Grupo2 nvarchar(25) NOT NULL, Grupo3 nvarchar(25) NOT NULL, Consumo float NULL, ValorCosto "
    "money NULL, ValorVenta money NULL, CONSTRAINT PK_DET PRIMARY KEY (Base, Fecha, Grupo1, Grupo2, Grupo3))";

class LimitesTest : public ServidorPrueba {
  protected:
    void SetUp() override {
        ServidorPrueba::SetUp();
        c_ = Conectar();
        Lote(*c_, QStringLiteral("CREATE DATABASE PRUEBA"));
        Lote(*c_, QStringLiteral("USE PRUEBA"));
    }

    std::optional<kv::db::ErrorBD> ErrorDe(const QString& sql) { return ServidorPrueba::ErrorDe(*c_, sql); }
    int Numero(const QString& sql) {
        const auto e = ErrorDe(sql);
        return e ? e->errorNativo : 0;
    }
    // The last row set's first value of a batch that may also hold errors.
    QVariant Ultimo(const QString& sql) {
        QVariant v;
        try {
            for (const auto& r : c_->EjecutarLote(sql))
                if (r.tieneFilas && !r.filas.empty() && !r.filas[0].empty()) v = r.filas[0][0];
        } catch (const kv::KvExcepcion& e) {
            ADD_FAILURE() << e.what();
        }
        return v;
    }
    // kvsql reading the batch from a file (a long batch does not fit in one argument).
    Salida KvsqlArchivo(const QString& lote, const QStringList& mas = {}) {
        const QString ruta = QDir(carpetaLotes_.path()).filePath(QStringLiteral("lote.sql"));
        QFile f(ruta);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(lote.toUtf8());
        f.close();
        return Kvsql(Administrador(QStringLiteral("PRUEBA")) << mas << QStringLiteral("-h") << QStringLiteral("-1")
                                                           << QStringLiteral("-W") << QStringLiteral("-i") << ruta);
    }

    std::unique_ptr<Conexion> c_;
    QTemporaryDir carpetaLotes_;
};

// --- chains and nesting ---------------------------------------------------------

TEST_F(LimitesTest, UnaCadenaDeVeinteMilTerminosSeSuma) {
    EXPECT_EQ(Valor(*c_, Cadena(20000)).toLongLong(), 20000);
    EXPECT_EQ(Valor(*c_, Cadena(20000, QStringLiteral("/**/+/**/"))).toLongLong(), 20000);
}

TEST_F(LimitesTest, CadenasDeMilAOchoMilTerminosCorren) {
    for (int n : {1000, 2500, 5000, 8000}) EXPECT_EQ(Valor(*c_, Cadena(n)).toLongLong(), n) << n;
    // Texts joined and money added keep their order's result too.
    QString textos = QStringLiteral("SELECT LEN('a'");
    for (int i = 1; i < 3000; ++i) textos += QStringLiteral(" + 'a'");
    EXPECT_EQ(Valor(*c_, textos + QLatin1Char(')')).toInt(), 3000);
    QString dinero = QStringLiteral("SELECT CAST(0.0001 AS money)");
    for (int i = 1; i < 3000; ++i) dinero += QStringLiteral(" + CAST(0.0001 AS money)");
    EXPECT_DOUBLE_EQ(Valor(*c_, dinero).toDouble(), 0.3);
}

TEST_F(LimitesTest, UnaCadenaQueDesbordaInt8115) {
    QString s = QStringLiteral("SELECT 2147483647");
    for (int i = 1; i < 2000; ++i) s += QStringLiteral(" + 1");
    EXPECT_EQ(Numero(s), 8115);
}

TEST_F(LimitesTest, LaCadenaLargaEnTransaccionYTrasErroresNoRompe) {
    Lote(*c_, QStringLiteral("CREATE TABLE T (a int)"));
    const auto r = c_->EjecutarLote(QStringLiteral("BEGIN TRAN INSERT INTO T VALUES (1) ") + Cadena(20000) +
                                    QStringLiteral(" ROLLBACK"));
    ASSERT_FALSE(r.empty());
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT count(*) FROM T")).toInt(), 0);
    EXPECT_EQ(Ultimo(QStringLiteral("SELECT ROUND('x', -2483648); ") + Cadena(20000)).toLongLong(), 20000);
    EXPECT_EQ(Ultimo(QStringLiteral("SELECT DATEADD(quarter, -1, '0001-01-01') ") + Cadena(20000)).toLongLong(),
              20000);
}

TEST_F(LimitesTest, LaCadenaLargaEnUnaConsultaAgrupadaPorAmbasRutas) {
    Lote(*c_, QString::fromLatin1(kEstadistica));
    Lote(*c_, QStringLiteral("INSERT INTO DET_ESTV0001 VALUES ('N', '1/2025', 'A', ' ', ' ', 1, 10, 20)"));
    QString s = QStringLiteral("SELECT Grupo1, SUM(ValorVenta)");
    for (int i = 0; i < 10000; ++i) s += QStringLiteral(" + 1");
    s += QStringLiteral(" AS v FROM DET_ESTV0001 GROUP BY Grupo1");
    for (bool rapida : {true, false}) {
        kv::local::rapida::ActivarRutaAgregacion(rapida);
        const auto f = Filas(*c_, s);
        ASSERT_EQ(f.size(), 1u);
        EXPECT_DOUBLE_EQ(f[0][1].toDouble(), 10020.0);
    }
    kv::local::rapida::ActivarRutaAgregacion(true);
}

TEST_F(LimitesTest, LaCadenaLargaPorKvsqlConYSinLaRutaDeAgregacion) {
    for (const char* general : {"0", "1"}) {
        qputenv("KVESTV_RUTA_GENERAL", general);
        const auto s = KvsqlArchivo(Cadena(20000));
        EXPECT_EQ(s.estado, 0) << general;
        EXPECT_TRUE(s.lineas.contains(QStringLiteral("20000"))) << s.lineas.join(QLatin1Char('|')).toStdString();
    }
    qunsetenv("KVESTV_RUTA_GENERAL");
}

TEST_F(LimitesTest, DoscientosMilTerminosYUnMillonDeParentesisTerminanSinRomper) {
    EXPECT_EQ(Valor(*c_, Cadena(200000)).toLongLong(), 200000);
    const QString parentesis = QStringLiteral("SELECT ") + Repetir(QStringLiteral("("), 1000000) +
                               QStringLiteral("1") + Repetir(QStringLiteral(")"), 1000000);
    EXPECT_EQ(Numero(parentesis), 191);
    // Floats keep their left-to-right order: past what the engine reads, 191.
    QString flotantes = QStringLiteral("SELECT 1e0");
    for (int i = 1; i < 20000; ++i) flotantes += QStringLiteral(" + 1e0");
    EXPECT_EQ(Numero(flotantes), 191);
}

TEST_F(LimitesTest, IfAnidadosEnVeinteMilNivelesDan191) {
    EXPECT_EQ(Numero(Repetir(QStringLiteral("IF 1=1 "), 20000) + QStringLiteral("SELECT 1")), 191);
    EXPECT_EQ(Numero(Repetir(QStringLiteral("BEGIN "), 20000) + QStringLiteral("SELECT 1") +
                     Repetir(QStringLiteral(" END"), 20000)),
              191);
    EXPECT_EQ(Numero(Repetir(QStringLiteral("WHILE 1=0 "), 20000) + QStringLiteral("SELECT 1")), 191);
    // Nesting a script really uses still runs.
    EXPECT_EQ(Valor(*c_, Repetir(QStringLiteral("IF 1=1 BEGIN "), 50) + QStringLiteral("SELECT 7") +
                             Repetir(QStringLiteral(" END"), 50))
                  .toInt(),
              7);
}

TEST_F(LimitesTest, CaseProfundoYListasInLargas) {
    EXPECT_EQ(Numero(QStringLiteral("SELECT ") + Repetir(QStringLiteral("CASE WHEN 1=1 THEN "), 20000) +
                     QStringLiteral("1") + Repetir(QStringLiteral(" END"), 20000)),
              125);
    QString lista = QStringLiteral("SELECT CASE WHEN 99999 IN (0");
    for (int i = 1; i < 100000; ++i) lista += QLatin1Char(',') + QString::number(i);
    EXPECT_EQ(Valor(*c_, lista + QStringLiteral(") THEN 1 ELSE 0 END")).toInt(), 1);
    QString o = QStringLiteral("SELECT CASE WHEN 1 = 0");
    for (int i = 0; i < 20000; ++i) o += QStringLiteral(" OR 1 = 0");
    EXPECT_EQ(Valor(*c_, o + QStringLiteral(" OR 1 = 1 THEN 1 ELSE 0 END")).toInt(), 1);
}

TEST_F(LimitesTest, UnLoteMasLargoQueElLimiteNoSeLee) {
    const QString largo(kv::local::kLargoMaximoLote + 1, QLatin1Char(' '));
    try {
        kv::local::TraducirLote(largo);
        ADD_FAILURE() << "se leyó";
    } catch (const kv::local::ErrorTSQL& e) {
        EXPECT_EQ(e.numero(), 701);
    }
}

// --- time-out and memory ------------------------------------------------------------

TEST_F(LimitesTest, MenosTeTerminaUnBucleSinFin) {
    const auto s = Kvsql(Administrador() << QStringLiteral("-t") << QStringLiteral("2") << QStringLiteral("-Q")
                                         << QStringLiteral("WHILE 1=1 SELECT 1 AS a"));
    EXPECT_NE(s.estado, 0);
    EXPECT_TRUE(s.errores.join(QLatin1Char('\n')).contains(QStringLiteral("Tiempo de espera agotado")))
        << s.errores.join(QLatin1Char('|')).toStdString();
}

TEST_F(LimitesTest, ElTiempoDeLaConexionTerminaBuclesYEsperas) {
    c_->SetCommandTimeout(1);
    const auto bucle = ErrorDe(QStringLiteral("DECLARE @i int = 0 WHILE 1=1 SET @i = @i + 1"));
    ASSERT_TRUE(bucle);
    EXPECT_EQ(bucle->estadoSQL, QStringLiteral("HYT00"));
    const auto espera = ErrorDe(QStringLiteral("WAITFOR DELAY '00:01:00' SELECT 1"));
    ASSERT_TRUE(espera);
    EXPECT_EQ(espera->estadoSQL, QStringLiteral("HYT00"));
    c_->SetCommandTimeout(0);
    // The connection works on afterwards.
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT 5")).toInt(), 5);
}

TEST_F(LimitesTest, WaitforEsperaYRechazaUnaHoraMalEscrita) {
    EXPECT_EQ(Valor(*c_, QStringLiteral("WAITFOR DELAY '00:00:00.050' SELECT 3")).toInt(), 3);
    EXPECT_EQ(Valor(*c_, QStringLiteral("DECLARE @d varchar(12) = '00:00:00.01' WAITFOR DELAY @d SELECT 4")).toInt(),
              4);
    EXPECT_EQ(Numero(QStringLiteral("WAITFOR DELAY 'mañana'")), 148);
    EXPECT_EQ(Numero(QStringLiteral("WAITFOR DELAY '25:00'")), 148);
    EXPECT_EQ(Numero(QStringLiteral("WAITFOR 5")), 102);
}

TEST_F(LimitesTest, UnTextoQueSeDuplicaSeDetieneEn8152) {
    c_->SetCommandTimeout(0);
    const auto r = c_->EjecutarLote(QStringLiteral(
        "DECLARE @s nvarchar(max) = 'x' DECLARE @i int = 0 "
        "WHILE @i < 30 BEGIN SET @i += 1 SET @s = @s + @s END SELECT LEN(@s)"));
    bool truncado = false;
    qint64 largo = -1;
    for (const auto& x : r) {
        if (x.error && x.error->errorNativo == 8152) truncado = true;
        if (x.error && x.error->errorNativo != 8152) ADD_FAILURE() << x.error->descripcion.toStdString();
        if (x.tieneFilas && !x.filas.empty()) largo = x.filas[0][0].toLongLong();
    }
    EXPECT_TRUE(truncado);
    EXPECT_GT(largo, 1000000);
    EXPECT_LE(largo, 64LL * 1024 * 1024);
}

TEST_F(LimitesTest, LosResultadosDeUnLoteTienenLimiteDeMemoria) {
    qputenv("KVESTV_MEMORIA_SESION_MB", "16");
    const auto s = Kvsql(Administrador() << QStringLiteral("-Q")
                                         << QStringLiteral("WHILE 1=1 SELECT REPLICATE('x', 8000) AS a"));
    qunsetenv("KVESTV_MEMORIA_SESION_MB");
    EXPECT_NE(s.estado, 0);
    EXPECT_TRUE(s.errores.join(QLatin1Char('\n')).contains(QStringLiteral("memoria")))
        << s.errores.join(QLatin1Char('|')).toStdString();
}

// --- money --------------------------------------------------------------------------

TEST_F(LimitesTest, ElDineroLlegaExactoAlFinDeSuRango) {
    const auto s = Kvsql(Administrador() << QStringLiteral("-h") << QStringLiteral("-1") << QStringLiteral("-W")
                                         << QStringLiteral("-Q")
                                         << QStringLiteral("SELECT CAST('922337203685477.5807' AS money) "
                                                           "SELECT CAST('-922337203685477.5808' AS money) "
                                                           "SELECT CAST('12.34567' AS money)"));
    EXPECT_EQ(s.estado, 0);
    EXPECT_EQ(s.lineas.value(0), QStringLiteral("922337203685477.5807"));
    EXPECT_EQ(s.lineas.value(3), QStringLiteral("-922337203685477.5808"));
    EXPECT_EQ(s.lineas.value(6), QStringLiteral("12.3457"));
    EXPECT_EQ(Numero(QStringLiteral("SELECT CAST('922337203685477.5808' AS money)")), 8115);
    EXPECT_EQ(Numero(QStringLiteral("SELECT CAST('-922337203685477.5809' AS money)")), 8115);
    EXPECT_EQ(Numero(QStringLiteral("SELECT CAST(1e16 AS money)")), 8115);
}

TEST_F(LimitesTest, SumarDineroDesbordaDondeSqlServer) {
    EXPECT_EQ(Numero(QStringLiteral("DECLARE @a money = 900000000000000 SELECT @a + @a")), 8115);
    EXPECT_EQ(Numero(QStringLiteral("SELECT CAST(900000000000000 AS money) + CAST(900000000000000 AS money)")), 8115);
    Lote(*c_, QStringLiteral("CREATE TABLE M (id int, m money)"));
    Lote(*c_, QStringLiteral("INSERT INTO M VALUES (1, 900000000000000)"));
    Lote(*c_, QStringLiteral("INSERT INTO M VALUES (2, 900000000000000)"));
    EXPECT_EQ(Numero(QStringLiteral("SELECT SUM(m) FROM M")), 8115);
    EXPECT_EQ(Numero(QStringLiteral("SELECT AVG(m) FROM M")), 8115);
}

TEST_F(LimitesTest, UnDineroGuardadoEnElExtremoNoDesborda) {
    Lote(*c_, QStringLiteral("CREATE TABLE M (id int, m money)"));
    Lote(*c_, QStringLiteral("INSERT INTO M VALUES (1, -922337203685477.5807)"));
    EXPECT_EQ(Numero(QStringLiteral("SELECT SUM(m) FROM M")), 0);
    EXPECT_EQ(Numero(QStringLiteral("SELECT AVG(m) FROM M")), 0);
    const auto s = Kvsql(Administrador(QStringLiteral("PRUEBA"))
                         << QStringLiteral("-h") << QStringLiteral("-1") << QStringLiteral("-W") << QStringLiteral("-Q")
                         << QStringLiteral("SELECT SUM(m) FROM M"));
    EXPECT_EQ(s.lineas.value(0), QStringLiteral("-922337203685477.5807"));
}

// A money value as the client receives it, written out as kvsql writes it.
QString TextoDinero(const QVariant& v) {
    if (v.typeId() == QMetaType::Double) return QString::number(v.toDouble(), 'f', 4);
    return v.toString();
}

TEST_F(LimitesTest, ElDineroDeUnaTablaVuelveExactoEnLosExtremos) {
    Lote(*c_, QStringLiteral("CREATE TABLE M (id int, m money)"));
    Lote(*c_, QStringLiteral("INSERT INTO M VALUES (1, 922337203685477.5807)\n"
                             "INSERT INTO M VALUES (2, -922337203685477.5807)\n"
                             "INSERT INTO M VALUES (3, -922337203685477.5808)\n"
                             "INSERT INTO M VALUES (4, CAST('922337203685477.5807' AS money))\n"
                             "INSERT INTO M (id, m) SELECT 5, CAST('-922337203685477.5807' AS money)\n"
                             "INSERT INTO M VALUES (6, 12.34)\n"
                             "INSERT INTO M VALUES (7, 0)\n"
                             "UPDATE M SET m = 900719925474.0993 WHERE id = 7"));
    const auto filas = Filas(*c_, QStringLiteral("SELECT id, m FROM M ORDER BY id"));
    ASSERT_EQ(filas.size(), 7u);
    const QStringList esperados = {QStringLiteral("922337203685477.5807"), QStringLiteral("-922337203685477.5807"),
                                   QStringLiteral("-922337203685477.5808"), QStringLiteral("922337203685477.5807"),
                                   QStringLiteral("-922337203685477.5807"), QStringLiteral("12.3400"),
                                   QStringLiteral("900719925474.0993")};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(TextoDinero(filas[size_t(i)][1]), esperados[i]) << i;
    // Within what a double holds the client gets a double, as before.
    EXPECT_EQ(filas[5][1].typeId(), QMetaType::Double);
    EXPECT_EQ(filas[5][1].toDouble(), 12.34);
    // One past the end fails and leaves the table as it was.
    EXPECT_EQ(Numero(QStringLiteral("INSERT INTO M VALUES (8, 922337203685477.5808)")), 8115);
    EXPECT_EQ(Numero(QStringLiteral("INSERT INTO M VALUES (8, '-922337203685477.5809')")), 8115);
    EXPECT_EQ(Numero(QStringLiteral("UPDATE M SET m = 1e19 WHERE id = 6")), 8115);
    EXPECT_EQ(Filas(*c_, QStringLiteral("SELECT COUNT(*) FROM M"))[0][0].toInt(), 7);
    EXPECT_EQ(TextoDinero(Filas(*c_, QStringLiteral("SELECT m FROM M WHERE id = 6"))[0][0]), QStringLiteral("12.3400"));
    // MIN and MAX compare the exact amounts.
    const auto extremos = Filas(*c_, QStringLiteral("SELECT MIN(m), MAX(m) FROM M"));
    EXPECT_EQ(TextoDinero(extremos[0][0]), QStringLiteral("-922337203685477.5808"));
    EXPECT_EQ(TextoDinero(extremos[0][1]), QStringLiteral("922337203685477.5807"));
}

TEST_F(LimitesTest, ElDineroDeUnaVariableVuelveExacto) {
    EXPECT_EQ(TextoDinero(Ultimo(QStringLiteral("DECLARE @m money = -922337203685477.5807 SELECT @m"))),
              QStringLiteral("-922337203685477.5807"));
    EXPECT_EQ(TextoDinero(Ultimo(QStringLiteral("DECLARE @m money SET @m = '922337203685477.5807' SELECT @m"))),
              QStringLiteral("922337203685477.5807"));
    EXPECT_EQ(TextoDinero(Ultimo(QStringLiteral("DECLARE @m money = CAST('922337203685477.5806' AS money) "
                                                "SET @m = @m + CAST('0.0001' AS money) SELECT @m"))),
              QStringLiteral("922337203685477.5807"));
    EXPECT_EQ(TextoDinero(Ultimo(QStringLiteral("DECLARE @m money = CAST('-922337203685477.5808' AS money) SELECT @m"))),
              QStringLiteral("-922337203685477.5808"));
}

TEST_F(LimitesTest, LaAritmeticaDelDineroEsExactaHastaElExtremo) {
    EXPECT_EQ(TextoDinero(Ultimo(
                  QStringLiteral("SELECT CAST('922337203685477.5806' AS money) + CAST('0.0001' AS money)"))),
              QStringLiteral("922337203685477.5807"));
    EXPECT_EQ(TextoDinero(Ultimo(
                  QStringLiteral("SELECT CAST('-922337203685477.5807' AS money) - CAST('0.0001' AS money)"))),
              QStringLiteral("-922337203685477.5808"));
    EXPECT_EQ(TextoDinero(Ultimo(QStringLiteral("SELECT -CAST('922337203685477.5807' AS money)"))),
              QStringLiteral("-922337203685477.5807"));
    EXPECT_EQ(Numero(QStringLiteral("SELECT CAST('-922337203685477.5808' AS money) - CAST('0.0001' AS money)")),
              8115);
    EXPECT_EQ(Numero(QStringLiteral("SELECT CAST('922337203685477.5807' AS money) + 1")), 8115);
    // The lowest amount has no opposite in money.
    EXPECT_EQ(Numero(QStringLiteral("SELECT -CAST('-922337203685477.5808' AS money)")), 8115);
}

TEST_F(LimitesTest, LaSumaDeDineroEsExactaHastaElExtremo) {
    Lote(*c_, QStringLiteral("CREATE TABLE M (id int, m money)"));
    Lote(*c_, QStringLiteral("INSERT INTO M VALUES (1, 461168601842738.7903)\n"
                             "INSERT INTO M VALUES (2, 461168601842738.7904)\n"
                             "INSERT INTO M VALUES (3, 0.0001)\n"
                             "INSERT INTO M VALUES (4, -922337203685477.5807)"));
    EXPECT_EQ(TextoDinero(Ultimo(QStringLiteral("SELECT SUM(m) FROM M WHERE id <= 2"))),
              QStringLiteral("922337203685477.5807"));
    EXPECT_EQ(Numero(QStringLiteral("SELECT SUM(m) FROM M WHERE id <= 3")), 8115);
    EXPECT_EQ(TextoDinero(Ultimo(QStringLiteral("SELECT SUM(m) FROM M WHERE id = 4"))),
              QStringLiteral("-922337203685477.5807"));
    EXPECT_EQ(TextoDinero(Ultimo(QStringLiteral("SELECT SUM(m) FROM M WHERE id >= 3"))),
              QStringLiteral("-922337203685477.5806"));
    EXPECT_EQ(TextoDinero(Ultimo(QStringLiteral("SELECT SUM(m) FROM M"))), QStringLiteral("0.0001"));
}

TEST_F(LimitesTest, SmallmoneyTieneSuPropioRango) {
    EXPECT_EQ(TextoDinero(Ultimo(QStringLiteral("SELECT CAST(214748.3647 AS smallmoney)"))),
              QStringLiteral("214748.3647"));
    EXPECT_EQ(TextoDinero(Ultimo(QStringLiteral("SELECT CAST('-214748.3648' AS smallmoney)"))),
              QStringLiteral("-214748.3648"));
    EXPECT_EQ(Numero(QStringLiteral("SELECT CAST(214748.3648 AS smallmoney)")), 8115);
    EXPECT_EQ(Numero(QStringLiteral("SELECT CAST('-214748.3649' AS smallmoney)")), 8115);
    Lote(*c_, QStringLiteral("CREATE TABLE P (id int, p smallmoney)"));
    Lote(*c_, QStringLiteral("INSERT INTO P VALUES (1, 214748.3647)"));
    const auto e = ErrorDe(QStringLiteral("INSERT INTO P VALUES (2, 214748.3648)"));
    ASSERT_TRUE(e.has_value());
    EXPECT_EQ(e->errorNativo, 8115);
    EXPECT_EQ(e->descripcion,
              QStringLiteral("Error de desbordamiento aritmético al convertir expression al tipo de datos smallmoney."));
    EXPECT_EQ(Filas(*c_, QStringLiteral("SELECT COUNT(*) FROM P"))[0][0].toInt(), 1);
}

TEST_F(LimitesTest, KvsqlEscribeElDineroGuardadoEnLosExtremos) {
    Lote(*c_, QStringLiteral("CREATE TABLE M (id int, m money)"));
    Lote(*c_, QStringLiteral("INSERT INTO M VALUES (1, -922337203685477.5807)\n"
                             "INSERT INTO M VALUES (2, 922337203685477.5807)"));
    const auto s = Kvsql(Administrador(QStringLiteral("PRUEBA"))
                         << QStringLiteral("-h") << QStringLiteral("-1") << QStringLiteral("-W") << QStringLiteral("-Q")
                         << QStringLiteral("SET NOCOUNT ON SELECT m FROM M ORDER BY id"));
    EXPECT_EQ(s.estado, 0);
    EXPECT_EQ(s.lineas.value(0), QStringLiteral("-922337203685477.5807"));
    EXPECT_EQ(s.lineas.value(1), QStringLiteral("922337203685477.5807"));
}

TEST_F(LimitesTest, LasDosRutasSumanElDineroIgualEnLosExtremos) {
    Lote(*c_, QString::fromLatin1(kEstadistica));
    Lote(*c_, QStringLiteral("INSERT INTO DET_ESTV0001 VALUES ('N', '1/2025', 'A', ' ', ' ', 1, 900000000000000, "
                             "-922337203685477.5807)"));
    Lote(*c_, QStringLiteral("INSERT INTO DET_ESTV0001 VALUES ('N', '1/2025', 'B', ' ', ' ', 1, 900000000000000, 1)"));
    Lote(*c_, QStringLiteral("INSERT INTO DET_ESTV0001 VALUES ('N', '2/2025', 'B', ' ', ' ', 1, 900000000000000, 1)"));
    const QString porGrupo = QStringLiteral(
        "SELECT SUM(VALORVENTA) AS VALORVENTA, grupo1, grupo2, grupo3 FROM DET_ESTV0001 WHERE BASE = 'N' GROUP BY "
        "GRUPO1, GRUPO2, GRUPO3 ORDER BY GRUPO1");
    const QString desborda = QStringLiteral(
        "SELECT SUM(VALORCOSTO) AS VALORCOSTO, grupo1, grupo2, grupo3 FROM DET_ESTV0001 WHERE BASE = 'N' GROUP BY "
        "GRUPO1, GRUPO2, GRUPO3");
    std::vector<std::vector<QVariant>> filas[2];
    int errores[2];
    for (int i = 0; i < 2; ++i) {
        kv::local::rapida::ActivarRutaAgregacion(i == 0);
        filas[i] = Filas(*c_, porGrupo);
        errores[i] = Numero(desborda);
    }
    kv::local::rapida::ActivarRutaAgregacion(true);
    EXPECT_EQ(filas[0], filas[1]);
    EXPECT_EQ(errores[0], 8115);
    EXPECT_EQ(errores[1], 8115);
}

TEST_F(LimitesTest, ElProductoYElCocienteDelDineroSonExactosHastaElExtremo) {
    const auto texto = [&](const char* sql) { return TextoDinero(Ultimo(QString::fromLatin1(sql))); };
    EXPECT_EQ(texto("SELECT CAST('922337203685477.5807' AS money) * 1"), QStringLiteral("922337203685477.5807"));
    EXPECT_EQ(texto("SELECT CAST('-922337203685477.5807' AS money) * CAST(1 AS money)"),
              QStringLiteral("-922337203685477.5807"));
    EXPECT_EQ(texto("SELECT CAST('922337203685477.5807' AS money) * -1"), QStringLiteral("-922337203685477.5807"));
    EXPECT_EQ(texto("SELECT CAST('461168601842738.7903' AS money) * 2"), QStringLiteral("922337203685477.5806"));
    EXPECT_EQ(texto("SELECT CAST('922337203685477.5807' AS money) / 1"), QStringLiteral("922337203685477.5807"));
    EXPECT_EQ(texto("SELECT CAST('-922337203685477.5807' AS money) / CAST(-1 AS money)"),
              QStringLiteral("922337203685477.5807"));
    EXPECT_EQ(texto("SELECT CAST('-922337203685477.5808' AS money) / 2"), QStringLiteral("-461168601842738.7904"));
    EXPECT_EQ(texto("SELECT CAST('922337203685477.5807' AS money) / CAST('922337203685477.5807' AS money)"),
              QStringLiteral("1.0000"));
    EXPECT_EQ(texto("DECLARE @m money = '922337203685477.5807' SELECT @m / 3 * 3"),
              QStringLiteral("922337203685477.5806"));
    EXPECT_EQ(Numero(QStringLiteral("SELECT CAST('922337203685477.5807' AS money) * 2")), 8115);
    EXPECT_EQ(Numero(QStringLiteral("SELECT CAST('-922337203685477.5808' AS money) * -1")), 8115);
    EXPECT_EQ(Numero(QStringLiteral("SELECT CAST('-922337203685477.5808' AS money) / -1")), 8115);
    EXPECT_EQ(Numero(QStringLiteral("SELECT CAST('922337203685477.5807' AS money) / CAST(0.0001 AS money)")), 8115);
    EXPECT_EQ(Numero(QStringLiteral("SELECT CAST('922337203685477.5807' AS money) / 0")), 8134);
    EXPECT_EQ(Numero(QStringLiteral("SELECT CAST(1 AS money) / CAST(0 AS money)")), 8134);
}

TEST_F(LimitesTest, ElDineroRedondeaElProductoYCortaElCociente) {
    const auto texto = [&](const char* sql) { return TextoDinero(Ultimo(QString::fromLatin1(sql))); };
    // A product rounds to the ten-thousandth, halves away from zero.
    EXPECT_EQ(texto("SELECT CAST(18.4172 AS money) * CAST(1.1562 AS money)"), QStringLiteral("21.2940"));
    EXPECT_EQ(texto("SELECT CAST(0.0003 AS money) * CAST(0.5 AS money)"), QStringLiteral("0.0002"));
    EXPECT_EQ(texto("SELECT CAST(-0.0003 AS money) * CAST(0.5 AS money)"), QStringLiteral("-0.0002"));
    EXPECT_EQ(texto("SELECT CAST(0.0001 AS money) * CAST(0.4999 AS money)"), QStringLiteral("0.0000"));
    // A quotient is cut, as SQL Server divides money.
    EXPECT_EQ(texto("SELECT CAST(1 AS money) / CAST(18.4172 AS money)"), QStringLiteral("0.0542"));
    EXPECT_EQ(texto("SELECT CAST(100 AS money) / CAST(339 AS money) * 10000"), QStringLiteral("2949.0000"));
    EXPECT_EQ(texto("SELECT CAST(-2 AS money) / 3"), QStringLiteral("-0.6666"));
    // The result is money: it orders and compares as an amount.
    EXPECT_EQ(Filas(*c_, QStringLiteral("SELECT CASE WHEN CAST(10 AS money) / 4 = 2.5 THEN 1 ELSE 0 END"))[0][0].toInt(),
              1);
}

// CASE, COALESCE, IIF and CHOOSE give the type of highest precedence among
// their values (ISNULL its first argument's): int with money is money, which
// orders as an amount and travels exactly; money with a decimal is decimal.
TEST_F(LimitesTest, LasRamasDanElTipoDeMayorPrecedencia) {
    const auto columna = [&](const QString& sql) {
        const auto r = c_->EjecutarLote(sql);
        EXPECT_EQ(r.size(), 1u) << sql.toStdString();
        EXPECT_FALSE(r.empty() || r[0].error) << sql.toStdString();
        return r.empty() || r[0].columnas.empty() ? kv::db::ColumnaResultado{} : r[0].columnas[0];
    };
    for (const char* sql : {"SELECT CASE WHEN 1 = 1 THEN 100 ELSE CAST(1 AS money) END",
                            "SELECT CASE WHEN 1 = 0 THEN NULL WHEN 1 = 1 THEN 100 ELSE CAST(1 AS money) END",
                            "SELECT COALESCE(NULL, 100, CAST(1 AS money))", "SELECT IIF(1 = 1, 100, CAST(1 AS money))",
                            "SELECT CHOOSE(1, 100, CAST(1 AS money))", "SELECT ISNULL(CAST(NULL AS money), 100)"}) {
        const kv::db::ColumnaResultado c = columna(QString::fromLatin1(sql));
        EXPECT_EQ(c.tipo, kv::db::tipo::Currency) << sql;
        EXPECT_EQ(c.tipoServidor, QStringLiteral("money")) << sql;
        EXPECT_EQ(Valor(*c_, QString::fromLatin1(sql)), QVariant(100.0)) << sql;
    }
    EXPECT_EQ(columna(QStringLiteral("SELECT CASE WHEN 1 = 1 THEN CAST(1 AS money) ELSE 2.5 END")).tipoServidor,
              QStringLiteral("decimal"));
    EXPECT_EQ(columna(QStringLiteral("SELECT CASE WHEN 1 = 1 THEN 1 ELSE CAST(2 AS bigint) END")).tipoServidor,
              QStringLiteral("bigint"));
    EXPECT_EQ(columna(QStringLiteral("SELECT COALESCE(CAST(1 AS money), 1e0)")).tipoServidor, QStringLiteral("float"));
    EXPECT_EQ(columna(QStringLiteral("SELECT ISNULL(1, CAST(2 AS money))")).tipoServidor, QStringLiteral("int"));
    // A text under money is read as money, to the end of its range.
    EXPECT_EQ(TextoDinero(Ultimo(QStringLiteral(
                  "SELECT CASE WHEN 1 = 0 THEN CAST(1 AS money) ELSE '922337203685477.5807' END"))),
              QStringLiteral("922337203685477.5807"));
    EXPECT_EQ(Numero(QStringLiteral("SELECT CASE WHEN 1 = 0 THEN CAST(1 AS money) ELSE '922337203685477.5808' END")),
              8115);
    EXPECT_EQ(Numero(QStringLiteral("SELECT IIF(1 = 0, CAST(1 AS money), '-922337203685477.5809')")), 8115);
    EXPECT_EQ(Numero(QStringLiteral("SELECT COALESCE(NULL, 'x', CAST(1 AS money))")),
              Numero(QStringLiteral("SELECT CAST('x' AS money)")));
    // Ordered by such a CASE, amounts past a double sort by value among the small ones.
    Lote(*c_, QStringLiteral("CREATE TABLE M (id int, m money)"));
    Lote(*c_, QStringLiteral("INSERT INTO M VALUES (1, 922337203685477.5807)\n"
                             "INSERT INTO M VALUES (2, -922337203685477.5807)\n"
                             "INSERT INTO M VALUES (3, 99999999999999.9999)\n"
                             "INSERT INTO M VALUES (4, 5)\n"
                             "INSERT INTO M VALUES (5, -922337203685477.5808)\n"
                             "INSERT INTO M VALUES (6, NULL)"));
    const auto filas = Filas(*c_, QStringLiteral("SELECT id, CASE WHEN m IS NULL THEN 0 ELSE m END AS v FROM M "
                                                 "ORDER BY CASE WHEN m IS NULL THEN 0 ELSE m END DESC"));
    QList<int> orden;
    for (const auto& f : filas) orden << f[0].toInt();
    EXPECT_EQ(orden, (QList<int>{1, 3, 4, 6, 2, 5}));
    ASSERT_EQ(filas.size(), 6u);
    EXPECT_EQ(TextoDinero(filas[0][1]), QStringLiteral("922337203685477.5807"));
    EXPECT_EQ(TextoDinero(filas[5][1]), QStringLiteral("-922337203685477.5808"));
    const auto s = Kvsql(Administrador(QStringLiteral("PRUEBA"))
                         << QStringLiteral("-h") << QStringLiteral("-1") << QStringLiteral("-W") << QStringLiteral("-Q")
                         << QStringLiteral("SELECT COALESCE(m, 0) FROM M WHERE id IN (1, 5) ORDER BY id"));
    EXPECT_EQ(s.lineas.value(0), QStringLiteral("922337203685477.5807"));
    EXPECT_EQ(s.lineas.value(1), QStringLiteral("-922337203685477.5808"));
}

// Money with a decimal is decimal (money is decimal(19, 4) there), with the
// precision and scale of SQL Server's rules, and exact over money's whole
// range: products and sums rounded where the scale is given up, quotients cut.
TEST_F(LimitesTest, ElDineroConUnDecimalEsUnDecimalExacto) {
    const auto texto = [&](const char* sql) {
        const QVariant v = Ultimo(QString::fromLatin1(sql));
        return v.typeId() == QMetaType::Double ? QString::number(v.toDouble(), 'g', 17) : v.toString();
    };
    const char* const kMaximo = "CAST('922337203685477.5807' AS money)";
    const char* const kMinimo = "CAST('-922337203685477.5808' AS money)";
    const auto con = [](const char* dinero, const char* resto) { return QStringLiteral("SELECT %1%2").arg(dinero, resto); };
    const auto de = [&](const QString& sql) { return texto(sql.toLatin1().constData()); };
    EXPECT_EQ(de(con(kMaximo, " * 1.5")), QStringLiteral("1383505805528216.37105"));
    EXPECT_EQ(de(con(kMinimo, " * 1.5")), QStringLiteral("-1383505805528216.37120"));
    EXPECT_EQ(de(con(kMaximo, " / 2.5")), QStringLiteral("368934881474191.0322800"));
    EXPECT_EQ(de(con(kMinimo, " / -2.5")), QStringLiteral("368934881474191.0323200"));
    EXPECT_EQ(de(con(kMaximo, " + 0.25")), QStringLiteral("922337203685477.8307"));
    EXPECT_EQ(de(con(kMinimo, " - 0.25")), QStringLiteral("-922337203685477.8308"));
    EXPECT_EQ(de(QStringLiteral("SELECT 1.5 * ") + QLatin1String(kMaximo)), QStringLiteral("1383505805528216.37105"));
    EXPECT_EQ(de(QStringLiteral("SELECT -(") + QLatin1String(kMaximo) + QStringLiteral(" * 1.5)")),
              QStringLiteral("-1383505805528216.37105"));
    // A quotient is cut to its scale; within fifteen digits the value is a double.
    EXPECT_EQ(Ultimo(QStringLiteral("SELECT CAST(1 AS money) / 3.0")).toDouble(), 0.3333333);
    EXPECT_EQ(Ultimo(QStringLiteral("SELECT CAST(2 AS money) / 3.0")).toDouble(), 0.6666666);
    EXPECT_EQ(Ultimo(QStringLiteral("SELECT CAST(10.0001 AS money) * 1.5")).toDouble(), 15.00015);
    EXPECT_EQ(Ultimo(QStringLiteral("SELECT CAST(0.0001 AS money) * 0.5")).toDouble(), 0.00005);
    // Decimal literals alone follow the same rules: 2.0 / 3 is decimal(7, 6).
    EXPECT_EQ(Ultimo(QStringLiteral("SELECT 2.0 / 3")).toDouble(), 0.666666);
    EXPECT_EQ(Ultimo(QStringLiteral("SELECT 1.0 / 3")).toDouble(), 0.333333);
    // The announced type is the rule's decimal(p, s).
    const auto columna = [&](const char* sql) {
        const auto r = c_->EjecutarLote(QString::fromLatin1(sql));
        return r.empty() || r[0].columnas.empty() ? kv::db::ColumnaResultado{} : r[0].columnas[0];
    };
    for (const auto& [sql, p, e] : std::vector<std::tuple<const char*, int, int>>{
             {"SELECT CAST(1 AS money) * 1.5", 22, 5},
             {"SELECT CAST(1 AS money) / 2.5", 23, 7},
             {"SELECT CAST(1 AS money) + 0.25", 20, 4},
             {"SELECT CAST(1 AS money) * 12345678901234567890.5", 38, 5},
             {"SELECT CAST(1 AS money) / 0.0000000000000000000000000001", 38, 6}}) {
        const kv::db::ColumnaResultado c = columna(sql);
        EXPECT_EQ(c.tipo, kv::db::tipo::Numeric) << sql;
        EXPECT_EQ(c.precision, p) << sql;
        EXPECT_EQ(c.escala, e) << sql;
    }
    // 8115 where the decimal has no room, or where money is asked for again; 8134 for a zero divisor.
    EXPECT_EQ(Numero(con(kMaximo, " * 12345678901234567890.5")), 8115);
    EXPECT_EQ(Numero(QStringLiteral("SELECT CAST(CAST('614891469123651.7205' AS money) * 1.5 AS money)")), 8115);
    EXPECT_EQ(TextoDinero(Ultimo(QStringLiteral("SELECT CAST(CAST('614891469123651.7204' AS money) * 1.5 AS money)"))),
              QStringLiteral("922337203685477.5806"));
    EXPECT_EQ(Numero(con(kMaximo, " / 0.0")), 8134);
    EXPECT_TRUE(Ultimo(QStringLiteral("SELECT CAST(NULL AS money) * 1.5")).isNull());
    // kvsql writes the exact digits.
    const auto s = Kvsql(Administrador() << QStringLiteral("-h") << QStringLiteral("-1") << QStringLiteral("-W")
                                         << QStringLiteral("-Q") << con(kMaximo, " * 1.5") + QLatin1Char(' ') +
                                                                        con(kMinimo, " / 2.5"));
    EXPECT_EQ(s.lineas.value(0), QStringLiteral("1383505805528216.37105"));
    EXPECT_EQ(s.lineas.value(3), QStringLiteral("-368934881474191.0323200"));
}

TEST_F(LimitesTest, ElPromedioDelDineroEsDineroExacto) {
    Lote(*c_, QStringLiteral("CREATE TABLE M (id int, m money)"));
    Lote(*c_, QStringLiteral("INSERT INTO M VALUES (1, 922337203685477.5807)\n"
                             "INSERT INTO M VALUES (2, -1)\n"
                             "INSERT INTO M VALUES (3, -1)\n"
                             "INSERT INTO M VALUES (4, NULL)\n"
                             "INSERT INTO M VALUES (5, -922337203685477.5807)\n"
                             "INSERT INTO M VALUES (6, 0.0001)\n"
                             "INSERT INTO M VALUES (7, 0.0002)"));
    const auto texto = [&](const char* sql) { return TextoDinero(Ultimo(QString::fromLatin1(sql))); };
    EXPECT_EQ(texto("SELECT AVG(m) FROM M WHERE id = 1"), QStringLiteral("922337203685477.5807"));
    EXPECT_EQ(texto("SELECT AVG(m) FROM M WHERE id = 5"), QStringLiteral("-922337203685477.5807"));
    EXPECT_EQ(texto("SELECT AVG(m) FROM M WHERE id <= 4"), QStringLiteral("307445734561825.1935"));
    EXPECT_EQ(texto("SELECT AVG(m) FROM M WHERE id IN (1, 4, 5)"), QStringLiteral("0.0000"));
    EXPECT_EQ(texto("SELECT AVG(m) FROM M WHERE id >= 6"), QStringLiteral("0.0001"));
    EXPECT_EQ(texto("SELECT AVG(DISTINCT m) FROM M WHERE id IN (2, 3, 6)"), QStringLiteral("-0.4999"));
    EXPECT_TRUE(Ultimo(QStringLiteral("SELECT AVG(m) FROM M WHERE id = 4")).isNull());
}

// Amounts past what a double holds are kept as their exact text: they compare,
// order and group by value, among REAL amounts and NULLs.
TEST_F(LimitesTest, ElDineroGuardadoComoTextoSeComparaYOrdenaPorValor) {
    Lote(*c_, QStringLiteral("CREATE TABLE M (id int, m money)"));
    Lote(*c_, QStringLiteral("INSERT INTO M VALUES (1, 922337203685477.5807)\n"
                             "INSERT INTO M VALUES (2, -922337203685477.5807)\n"
                             "INSERT INTO M VALUES (3, 1000000000000)\n"
                             "INSERT INTO M VALUES (4, 900000000000)\n"
                             "INSERT INTO M VALUES (5, 12.34)\n"
                             "INSERT INTO M VALUES (6, NULL)\n"
                             "INSERT INTO M VALUES (7, -500000000000)\n"
                             "INSERT INTO M VALUES (8, 1000000000000)\n"
                             "INSERT INTO M VALUES (9, -922337203685477.5808)"));
    const auto ids = [&](const QString& sql) {
        QList<int> r;
        for (const auto& f : Filas(*c_, sql)) r << f[0].toInt();
        return r;
    };
    EXPECT_EQ(ids(QStringLiteral("SELECT id FROM M ORDER BY m, id")), (QList<int>{6, 9, 2, 7, 5, 4, 3, 8, 1}));
    EXPECT_EQ(ids(QStringLiteral("SELECT id FROM M ORDER BY m DESC, id")), (QList<int>{1, 3, 8, 4, 5, 7, 2, 9, 6}));
    EXPECT_EQ(ids(QStringLiteral("SELECT id, m FROM M WHERE m IS NOT NULL AND id <> 9 ORDER BY m * -1, id")),
              (QList<int>{1, 3, 8, 4, 5, 7, 2}));
    EXPECT_EQ(ids(QStringLiteral("SELECT id FROM M WHERE m > 950000000000 ORDER BY id")), (QList<int>{1, 3, 8}));
    EXPECT_EQ(ids(QStringLiteral("SELECT id FROM M WHERE m < 0 ORDER BY id")), (QList<int>{2, 7, 9}));
    EXPECT_EQ(ids(QStringLiteral("SELECT id FROM M WHERE m >= -922337203685477.5807 AND m <= 12.34 ORDER BY id")),
              (QList<int>{2, 5, 7}));
    EXPECT_EQ(ids(QStringLiteral("SELECT id FROM M WHERE m = 922337203685477.5807")), (QList<int>{1}));
    EXPECT_EQ(ids(QStringLiteral("SELECT id FROM M WHERE m = '-922337203685477.5808'")), (QList<int>{9}));
    EXPECT_EQ(ids(QStringLiteral("SELECT id FROM M WHERE m = 1000000000000 OR m = 12.34 ORDER BY id")),
              (QList<int>{3, 5, 8}));
    EXPECT_EQ(ids(QStringLiteral("SELECT id FROM M WHERE m BETWEEN -500000000000 AND 1000000000000 ORDER BY id")),
              (QList<int>{3, 4, 5, 7, 8}));
    EXPECT_EQ(ids(QStringLiteral("SELECT id FROM M WHERE m NOT BETWEEN -500000000000 AND 1000000000000 ORDER BY id")),
              (QList<int>{1, 2, 9}));
    EXPECT_EQ(ids(QStringLiteral("SELECT id FROM M WHERE m <> 1000000000000 ORDER BY id")),
              (QList<int>{1, 2, 4, 5, 7, 9}));
    EXPECT_EQ(ids(QStringLiteral("SELECT id FROM M WHERE m > CAST(999999999999.9999 AS money) ORDER BY id")),
              (QList<int>{1, 3, 8}));
    EXPECT_EQ(Numero(QStringLiteral("SELECT id FROM M WHERE m > 'x'")), 235);
    // Grouped, each amount is one group, and the groups order by value.
    const auto grupos = Filas(*c_, QStringLiteral("SELECT m, COUNT(*) FROM M GROUP BY m ORDER BY m"));
    ASSERT_EQ(grupos.size(), 8u);
    EXPECT_FALSE(grupos[0][0].isValid());
    EXPECT_EQ(TextoDinero(grupos[1][0]), QStringLiteral("-922337203685477.5808"));
    EXPECT_EQ(TextoDinero(grupos[6][0]), QStringLiteral("1000000000000.0000"));
    EXPECT_EQ(grupos[6][1].toInt(), 2);
    EXPECT_EQ(TextoDinero(grupos[7][0]), QStringLiteral("922337203685477.5807"));
    // An alias that names another item orders by that item, as SQL Server does.
    const auto alias = Filas(*c_, QStringLiteral("SELECT id, -m AS m FROM M WHERE id IN (3, 4, 5) ORDER BY m"));
    ASSERT_EQ(alias.size(), 3u);
    EXPECT_EQ(alias[0][0].toInt(), 3);
    EXPECT_EQ(alias[2][0].toInt(), 5);
}

TEST_F(LimitesTest, RoundYConvertDelDineroSonExactosHastaElExtremo) {
    const auto texto = [&](const char* sql) { return Ultimo(QString::fromLatin1(sql)).toString(); };
    const auto dinero = [&](const char* sql) { return TextoDinero(Ultimo(QString::fromLatin1(sql))); };
    EXPECT_EQ(dinero("SELECT ROUND(CAST('922337203685477.5807' AS money), 2)"), QStringLiteral("922337203685477.5800"));
    EXPECT_EQ(dinero("SELECT ROUND(CAST('-922337203685477.5807' AS money), 4)"),
              QStringLiteral("-922337203685477.5807"));
    EXPECT_EQ(dinero("SELECT ROUND(CAST('-922337203685477.5807' AS money), 0, 1)"),
              QStringLiteral("-922337203685477.0000"));
    EXPECT_EQ(dinero("SELECT ROUND(CAST('922337203685477.5807' AS money), -3)"),
              QStringLiteral("922337203685000.0000"));
    EXPECT_EQ(dinero("SELECT ROUND(CAST(12.345 AS money), 2)"), QStringLiteral("12.3500"));
    EXPECT_EQ(dinero("SELECT ROUND(CAST(-12.345 AS money), 2)"), QStringLiteral("-12.3500"));
    EXPECT_EQ(dinero("SELECT ROUND(CAST(1234.5678 AS money), -2)"), QStringLiteral("1200.0000"));
    EXPECT_EQ(dinero("SELECT ROUND(CAST(1234.5678 AS money), -20)"), QStringLiteral("0.0000"));
    EXPECT_EQ(Numero(QStringLiteral("SELECT ROUND(CAST('922337203685477.5807' AS money), 0)")), 8115);
    EXPECT_EQ(Numero(QStringLiteral("SELECT ROUND(CAST('-922337203685477.5807' AS money), 3)")), 8115);
    EXPECT_EQ(Numero(QStringLiteral("SELECT ROUND(CAST('922337203685477.5807' AS money), -15)")), 8115);

    EXPECT_EQ(texto("SELECT CONVERT(varchar(30), CAST('922337203685477.5807' AS money))"),
              QStringLiteral("922337203685477.58"));
    EXPECT_EQ(texto("SELECT CONVERT(varchar(30), CAST('922337203685477.5807' AS money), 1)"),
              QStringLiteral("922,337,203,685,477.58"));
    EXPECT_EQ(texto("SELECT CONVERT(varchar(30), CAST('922337203685477.5807' AS money), 2)"),
              QStringLiteral("922337203685477.5807"));
    EXPECT_EQ(texto("SELECT CONVERT(varchar(30), CAST('-922337203685477.5807' AS money), 0)"),
              QStringLiteral("-922337203685477.58"));
    EXPECT_EQ(texto("SELECT CONVERT(varchar(30), CAST('-922337203685477.5807' AS money), 1)"),
              QStringLiteral("-922,337,203,685,477.58"));
    EXPECT_EQ(texto("SELECT CONVERT(nvarchar(30), CAST('-922337203685477.5808' AS money), 2)"),
              QStringLiteral("-922337203685477.5808"));
    EXPECT_EQ(texto("SELECT CONVERT(varchar, CAST(4235.9819 AS money))"), QStringLiteral("4235.98"));
    EXPECT_EQ(texto("SELECT CONVERT(varchar, CAST(3510.925 AS money), 1)"), QStringLiteral("3,510.93"));
    EXPECT_EQ(texto("SELECT CONVERT(varchar, CAST(-0.005 AS money), 0)"), QStringLiteral("-0.01"));
    EXPECT_EQ(texto("SELECT CONVERT(varchar, CAST(999.9 AS money), 1)"), QStringLiteral("999.90"));
    EXPECT_EQ(texto("SELECT CAST(CAST(1.5 AS money) AS varchar(10))"), QStringLiteral("1.50"));
    EXPECT_EQ(texto("SELECT 'Total: ' + CONVERT(varchar(20), CAST(12 AS money), 2)"), QStringLiteral("Total: 12.0000"));
    const auto corto = ErrorDe(QStringLiteral("SELECT CAST(CAST('922337203685477.5807' AS money) AS varchar(10))"));
    ASSERT_TRUE(corto.has_value());
    EXPECT_EQ(corto->errorNativo, 234);
    EXPECT_EQ(corto->descripcion,
              QStringLiteral("No hay espacio suficiente en el resultado para convertir un valor money a varchar."));
    const auto estilo = ErrorDe(QStringLiteral("SELECT CONVERT(varchar, CAST(1 AS money), 3)"));
    ASSERT_TRUE(estilo.has_value());
    EXPECT_EQ(estilo->errorNativo, 281);
    EXPECT_EQ(estilo->descripcion,
              QStringLiteral("3 no es un número de estilo válido al convertir de money a una cadena de caracteres."));
}

// The load's grid: money times -1, differences and percentages of money sums.
TEST_F(LimitesTest, LasDosRutasMultiplicanYDividenElDineroIgual) {
    Lote(*c_, QString::fromLatin1(kEstadistica));
    Lote(*c_, QStringLiteral("INSERT INTO DET_ESTV0001 VALUES ('N', '1/2025', 'A', ' ', ' ', 1, -3, -4)\n"
                             "INSERT INTO DET_ESTV0001 VALUES ('N', '1/2025', 'B', ' ', ' ', 1, 0.0003, 0.0005)\n"
                             "INSERT INTO DET_ESTV0001 VALUES ('N', '2/2025', 'B', ' ', ' ', 1, 18.4172, 19.5734)\n"
                             "INSERT INTO DET_ESTV0001 VALUES ('N', '1/2025', 'C', ' ', ' ', 1, 0, 7.77)\n"
                             "INSERT INTO DET_ESTV0001 VALUES ('N', '1/2025', 'D', ' ', ' ', 1, NULL, 1)\n"
                             "INSERT INTO DET_ESTV0001 VALUES ('N', '1/2025', 'E', ' ', ' ', 1, 1234567.1234, "
                             "-987654.9876)"));
    const QString grilla = QStringLiteral(
        "SELECT BASE, grupo1 AS [G1], SUM(VALORCOSTO*-1) AS VALORCOSTO, SUM(VALORVENTA*-1) AS VALORVENTA, "
        "case when SUM(valorcosto)=0 then 100 else "
        "(((SUM(VALORVENTA*-1)-SUM(VALORCOSTO*-1))/SUM(VALORCOSTO*-1))*100) end AS UTL_COSTOPorc, "
        "SUM(VALORVENTA * 3) AS TRIPLE, SUM(VALORVENTA / 3) AS TERCIO, SUM(VALORVENTA * VALORCOSTO) AS PRODUCTO "
        "FROM DET_ESTV0001 WHERE BASE = 'N' GROUP BY BASE, GRUPO1, GRUPO2, GRUPO3 ORDER BY GRUPO1");
    const QString grafico = QStringLiteral(
        "SELECT SUM(VALORCOSTO) AS VALORCOSTO, SUM(VALORVENTA) AS VALORVENTA, grupo1, grupo2, grupo3 FROM "
        "DET_ESTV0001 GROUP BY GRUPO1, GRUPO2, GRUPO3 ORDER BY (CASE WHEN SUM(ValorCosto)=0 THEN 100 ELSE "
        "(((SUM(ValorVenta)-SUM(ValorCosto))/SUM(ValorCosto))*100) END) DESC");
    std::vector<std::vector<QVariant>> filas[2], orden[2];
    for (int i = 0; i < 2; ++i) {
        kv::local::rapida::ActivarRutaAgregacion(i == 0);
        filas[i] = Filas(*c_, grilla);
        orden[i] = Filas(*c_, grafico);
    }
    kv::local::rapida::ActivarRutaAgregacion(true);
    EXPECT_EQ(filas[0], filas[1]);
    EXPECT_EQ(orden[0], orden[1]);
    ASSERT_EQ(filas[0].size(), 5u);
    // (-(-4) - -(-3)) / -(-3) is 0.3333 in money, then times 100.
    EXPECT_EQ(TextoDinero(filas[0][0][4]), QStringLiteral("33.3300"));
    EXPECT_EQ(TextoDinero(filas[0][0][6]), QStringLiteral("-1.3333"));
    // 0.0005 * 0.0003 rounds to 0; 19.5734 * 18.4172 to 360.4872.
    EXPECT_EQ(TextoDinero(filas[0][1][7]), QStringLiteral("360.4872"));
    EXPECT_EQ(TextoDinero(filas[0][1][5]), QStringLiteral("58.7217"));
    // A costless group sorts as 100, the others by their percentage, numerically.
    ASSERT_EQ(orden[0].size(), 5u);
    EXPECT_EQ(orden[0][0][2].toString(), QStringLiteral("C"));
}

// --- names and SQLite's own tables ------------------------------------------------------

TEST_F(LimitesTest, UnNombreEntreCorchetesOComillasEsUnNombre) {
    Lote(*c_, QStringLiteral("CREATE TABLE T9 (IdRubro nvarchar(10), Cantidad int)"));
    Lote(*c_, QStringLiteral("INSERT INTO T9 VALUES ('B', 1)"));
    Lote(*c_, QStringLiteral("INSERT INTO T9 VALUES ('C', 2)"));
    EXPECT_EQ(Numero(QStringLiteral("DELETE FROM T9 WHERE [Id Rubro] <> 'A'")), 207);
    EXPECT_EQ(Numero(QStringLiteral("DELETE FROM T9 WHERE \"Id Rubro\" <> 'A'")), 207);
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT count(*) FROM T9")).toInt(), 2);
    EXPECT_EQ(Numero(QStringLiteral("SELECT TOP 2 [Cantidad ] FROM T9")), 207);
    EXPECT_EQ(Numero(QStringLiteral("SELECT \"Nada\" FROM T9")), 207);
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT [IdRubro] FROM T9 WHERE \"Cantidad\" = 2")).toString(),
              QStringLiteral("C"));
}

TEST_F(LimitesTest, LasTablasPropiasDeSqliteNoSeAlcanzan) {
    for (const char* t : {"pragma_database_list", "pragma_compile_options", "pragma_function_list", "dbstat",
                          "sqlite_master", "json_each('[1]')", "pragma_table_info('T')"}) {
        EXPECT_EQ(Numero(QStringLiteral("SELECT * FROM %1").arg(QLatin1String(t))), 208) << t;
        EXPECT_EQ(Numero(QStringLiteral("SELECT (SELECT count(*) FROM %1)").arg(QLatin1String(t))), 208) << t;
    }
}

// --- functions ----------------------------------------------------------------------

TEST_F(LimitesTest, FuncionesDeCaracteresComoSqlServer) {
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT CHAR(65)")).toString(), QStringLiteral("A"));
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT CHAR(128)")).toString(), QStringLiteral("€"));
    EXPECT_TRUE(Valor(*c_, QStringLiteral("SELECT CHAR(256)")).isNull());
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT NCHAR(241)")).toString(), QStringLiteral("ñ"));
    EXPECT_TRUE(Valor(*c_, QStringLiteral("SELECT NCHAR(-1)")).isNull());
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT UNICODE(N'ñandú')")).toInt(), 241);
    EXPECT_TRUE(Valor(*c_, QStringLiteral("SELECT UNICODE('')")).isNull());
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT ASCII('€')")).toInt(), 128);
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT CHAR(13) + CHAR(10)")).toString(), QStringLiteral("\r\n"));
}

TEST_F(LimitesTest, IifChooseYConcatComoSqlServer) {
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT IIF(2 > 1, 'si', 'no')")).toString(), QStringLiteral("si"));
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT IIF(NULL = 1, 'si', 'no')")).toString(), QStringLiteral("no"));
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT CHOOSE(2, 'a', 'b', 'c')")).toString(), QStringLiteral("b"));
    EXPECT_TRUE(Valor(*c_, QStringLiteral("SELECT CHOOSE(4, 'a', 'b', 'c')")).isNull());
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT CONCAT('a', NULL, 'b', 1)")).toString(), QStringLiteral("ab1"));
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT CONCAT(NULL, NULL)")).toString(), QString());
    EXPECT_EQ(Numero(QStringLiteral("SELECT CONCAT('a')")), 189);
}

TEST_F(LimitesTest, FormatComoSqlServer) {
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT FORMAT(1234.5, 'N2', 'en-US')")).toString(),
              QStringLiteral("1,234.50"));
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT FORMAT(1234.5, '#,##0.00', 'es-AR')")).toString(),
              QStringLiteral("1.234,50"));
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT FORMAT(7, '000')")).toString(), QStringLiteral("007"));
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT FORMAT(255, 'X4')")).toString(), QStringLiteral("00FF"));
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT FORMAT(CAST('2024-03-05 14:07:09' AS datetime), 'dd/MM/yyyy HH:mm')"))
                  .toString(),
              QStringLiteral("05/03/2024 14:07"));
    EXPECT_EQ(Valor(*c_, QStringLiteral("SELECT FORMAT(CAST('2024-03-05' AS datetime), 'yyyy-MM-dd')")).toString(),
              QStringLiteral("2024-03-05"));
    EXPECT_TRUE(Valor(*c_, QStringLiteral("SELECT FORMAT(NULL, 'N2')")).isNull());
    EXPECT_EQ(Numero(QStringLiteral("SELECT FORMAT(1, 'N2', 'xx-yy')")), 9818);
    EXPECT_EQ(Numero(QStringLiteral("SELECT FORMAT('texto', 'N2')")), 8116);
}

}  // namespace
}  // namespace kv::pruebas
