// Connection strings, provider choice and what Conexion does with a provider's
// results and errors, against a small scripted provider.

#include <gtest/gtest.h>

#include "db/Conexion.h"
#include "db/Recordset.h"

using namespace kv::db;

namespace {

using Guion = std::function<std::vector<ResultadoSentencia>(const QString&, const std::vector<QVariant>&)>;

struct Registro {
    ParametrosConexion abiertoCon;
    std::vector<QString> lotes;
    std::vector<std::vector<QVariant>> parametros;
    QStringList clave;
    int aislamiento = 0;
};

class SesionGuionada : public Sesion {
public:
    SesionGuionada(std::shared_ptr<Registro> r, Guion g) : r_(std::move(r)), g_(std::move(g)) {}
    std::vector<ResultadoSentencia> Ejecutar(const QString& lote, const std::vector<QVariant>& p, int) override {
        r_->lotes.push_back(lote);
        r_->parametros.push_back(p);
        return g_(lote, p);
    }
    QString BaseActual() override { return base_; }
    void UsarBase(const QString& base) override {
        if (base == "NO_HAY") throw ErrorProveedor(ErrorBD{0, "No se puede abrir la base de datos NO_HAY.", 911, "42000", {}, 0});
        base_ = base;
    }
    void IniciarTransaccion() override {}
    void ConfirmarTransaccion() override {}
    void DeshacerTransaccion() override {}
    void NivelAislamiento(int n) override { r_->aislamiento = n; }
    ResultadoSentencia EsquemaTablas(const QString&, const QString&) override {
        ResultadoSentencia r;
        r.tieneFilas = true;
        for (const char* c : {"TABLE_CATALOG", "TABLE_SCHEMA", "TABLE_NAME", "TABLE_TYPE"}) r.columnas.push_back({c, tipo::VarWChar, 0, {}});
        r.filas = {{"EMP", "dbo", "ARTICULOS", "TABLE"}, {"EMP", "dbo", "V_ARTICULOS", "VIEW"}};
        return r;
    }
    ResultadoSentencia EsquemaColumnas(const QString&, const QString&) override { return {}; }
    QStringList ClavePrimaria(const QString&) override { return r_->clave; }
    QString Origen() const override { return "Proveedor de prueba"; }

private:
    std::shared_ptr<Registro> r_;
    Guion g_;
    QString base_ = "EMP";
};

class ProveedorGuionado : public Proveedor {
public:
    explicit ProveedorGuionado(QString nombre) : nombre_(std::move(nombre)) {}
    bool Atiende(const ParametrosConexion& p) const override { return p.Proveedor().compare(nombre_, Qt::CaseInsensitive) == 0 || p.Servidor() == nombre_; }
    std::unique_ptr<Sesion> Abrir(const ParametrosConexion& p, int) override {
        if (p.Clave() == "mala") throw ErrorProveedor(ErrorBD{0, "Error de inicio de sesión del usuario 'sa'.", 18456, "28000", {}, 0});
        registro->abiertoCon = p;
        return std::make_unique<SesionGuionada>(registro, guion);
    }
    std::shared_ptr<Registro> registro = std::make_shared<Registro>();
    Guion guion = [](const QString&, const std::vector<QVariant>&) { return std::vector<ResultadoSentencia>{}; };

private:
    QString nombre_;
};

// Registers a provider for one test and takes it out at the end.
class ConexionConProveedor : public ::testing::Test {
protected:
    void SetUp() override { RegistrarProveedor(proveedor_); }
    void TearDown() override { QuitarProveedor(proveedor_); }
    std::shared_ptr<ProveedorGuionado> proveedor_ = std::make_shared<ProveedorGuionado>("PRUEBA");
};

ResultadoSentencia Filas(std::initializer_list<const char*> columnas, std::vector<std::vector<QVariant>> filas) {
    ResultadoSentencia r;
    r.tieneFilas = true;
    for (const char* c : columnas) r.columnas.push_back({c, tipo::VarWChar, 0, {}});
    r.filas = std::move(filas);
    return r;
}

ResultadoSentencia Afectadas(qint64 n) {
    ResultadoSentencia r;
    r.filasAfectadas = n;
    return r;
}

ResultadoSentencia ConError(qint32 nativo, const char* estado, const char* texto) {
    ResultadoSentencia r;
    r.error = ErrorBD{0, texto, nativo, estado, {}, 0};
    return r;
}

TEST(CadenaConexion, ClavesNormalizadasYValoresRecortados) {
    const auto p = ParametrosConexion::Analizar(
        "PROVIDER=SQLOLEDB;Server=SRV01\\ORBITAL;Database =EMPRESA1;UId=sa;Pwd= clave ;Extra");
    EXPECT_EQ(p.Proveedor(), "SQLOLEDB");
    EXPECT_EQ(p.Servidor(), "SRV01\\ORBITAL");
    EXPECT_EQ(p.Base(), "EMPRESA1");
    EXPECT_EQ(p.Usuario(), "sa");
    EXPECT_EQ(p.Clave(), "clave");
    EXPECT_TRUE(p.valores.contains("EXTRA"));
    EXPECT_EQ(p.cadena, "PROVIDER=SQLOLEDB;Server=SRV01\\ORBITAL;Database =EMPRESA1;UId=sa;Pwd= clave ;Extra");
}

TEST(CadenaConexion, PlantillaOracleYDeAccess) {
    const auto o = ParametrosConexion::Analizar("Provider=OraOLEDB.Oracle.1;Data Source=ORCL;User Id=u1;Password=p1;");
    EXPECT_EQ(o.Proveedor(), "OraOLEDB.Oracle.1");
    EXPECT_EQ(o.Servidor(), "ORCL");
    EXPECT_EQ(o.Usuario(), "u1");
    EXPECT_EQ(o.Clave(), "p1");
    const auto a = ParametrosConexion::Analizar("PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source =c:\\a.mdb;User  ID=Admin;");
    EXPECT_EQ(a.valores.value("DATA SOURCE"), "c:\\a.mdb");
    EXPECT_EQ(a.Usuario(), "Admin");
}

TEST(CadenaConexion, ValoresEntreComillasOLlavesConservanElPuntoYComa) {
    const auto p = ParametrosConexion::Analizar("Server=S;Pwd=\"a;b\";UID={x;y}};z};Database='it''s'");
    EXPECT_EQ(p.Clave(), "a;b");
    EXPECT_EQ(p.Usuario(), "x;y};z");
    EXPECT_EQ(p.Base(), "it's");
    EXPECT_EQ(p.Servidor(), "S");
}

TEST(CadenaConexion, LaPrimeraAparicionCuenta) {
    const auto p = ParametrosConexion::Analizar("Server=A;SERVER=B;Server=");
    EXPECT_EQ(p.Servidor(), "A");
    EXPECT_TRUE(ParametrosConexion::Analizar("").valores.isEmpty());
}

TEST(EleccionProveedor, AccessNoEstaDisponibleEnEstaPlataforma) {
    for (const QString& proveedor : {QStringLiteral("Microsoft.Jet.OLEDB.4.0"), QStringLiteral("Microsoft.Jet.OLEDB.3.51")}) {
        Conexion cn;
        try {
            cn.Open("PROVIDER=" + proveedor + ";Data Source =c:\\datos.mdb;User ID=Admin;Password=;");
            FAIL() << "debía fallar";
        } catch (const kv::KvExcepcion& e) {
            EXPECT_EQ(e.error().numero, adoerr::ProveedorNoDisponible);
            EXPECT_EQ(e.error().descripcion, "El proveedor \"" + proveedor + "\" no está disponible en esta plataforma.");
        }
        EXPECT_EQ(cn.State(), ado::Cerrado);
        ASSERT_EQ(cn.Errors().Count(), 1);
        EXPECT_EQ(cn.Errors().Item(0).numero, adoerr::ProveedorNoDisponible);
    }
}

TEST(EleccionProveedor, SinCadenaNoSeIntentaNada) {
    Conexion cn;
    try {
        cn.Open();
        FAIL();
    } catch (const kv::KvExcepcion& e) {
        EXPECT_EQ(e.error().numero, adoerr::FalloNoEspecificado);
        EXPECT_EQ(e.error().descripcion, "No se ha indicado la cadena de conexión.");
    }
    EXPECT_EQ(cn.Errors().Count(), 1);
    EXPECT_EQ(cn.State(), ado::Cerrado);
}

TEST(EleccionProveedor, UnProveedorDesconocidoSeNombraEnElMensaje) {
    Conexion cn;
    try {
        cn.Open("Provider=NoExiste.1;Data Source=x");
        FAIL();
    } catch (const kv::KvExcepcion& e) {
        EXPECT_EQ(e.error().numero, adoerr::ProveedorNoDisponible);
        EXPECT_EQ(e.error().descripcion,
                  "No se encontró el proveedor \"NoExiste.1\". Es posible que no esté instalado correctamente.");
    }
}

TEST_F(ConexionConProveedor, ElRegistradoSePreguntaAntesQueOdbcYElUltimoPrimero) {
    auto segundo = std::make_shared<ProveedorGuionado>("SRV");
    RegistrarProveedor(segundo);
    Conexion cn;
    cn.Open("PROVIDER=SQLOLEDB;Server=SRV;Database =EMP;UId=sa;Pwd=x;");
    EXPECT_EQ(segundo->registro->abiertoCon.Servidor(), "SRV");
    EXPECT_EQ(cn.Servidor(), "SRV");
    QuitarProveedor(segundo);
    cn.Close();
    cn.Open("PROVIDER=PRUEBA;Server=SRV;Database =EMP;");
    EXPECT_EQ(proveedor_->registro->abiertoCon.Servidor(), "SRV");
}

TEST_F(ConexionConProveedor, UsuarioYClaveDeOpenReemplazanLosDeLaCadena) {
    Conexion cn;
    cn.Open("PROVIDER=PRUEBA;Server=S;UId=viejo;Pwd=vieja;Database =EMP;", "nuevo", "cla;ve");
    EXPECT_EQ(proveedor_->registro->abiertoCon.Usuario(), "nuevo");
    EXPECT_EQ(proveedor_->registro->abiertoCon.Clave(), "cla;ve");
    EXPECT_EQ(proveedor_->registro->abiertoCon.Base(), "EMP");
    // The property keeps the string as given.
    EXPECT_EQ(cn.ConnectionString(), "PROVIDER=PRUEBA;Server=S;UId=viejo;Pwd=vieja;Database =EMP;");
}

TEST_F(ConexionConProveedor, UnInicioDeSesionFallidoLlevaSuNumeroADOYSusDatos) {
    Conexion cn;
    try {
        cn.Open("PROVIDER=PRUEBA;Server=S;UId=sa;Pwd=mala;");
        FAIL();
    } catch (const kv::KvExcepcion& e) {
        EXPECT_EQ(e.error().numero, adoerr::AutenticacionFallida);
        EXPECT_EQ(e.error().descripcion, "Error de inicio de sesión del usuario 'sa'.");
    }
    ASSERT_EQ(cn.Errors().Count(), 1);
    const ErrorBD& e = cn.Errors().Item(0);
    EXPECT_EQ(e.errorNativo, 18456);
    EXPECT_EQ(e.estadoSQL, "28000");
    EXPECT_EQ(e.numero, adoerr::AutenticacionFallida);
    EXPECT_FALSE(e.origen.isEmpty());
    EXPECT_EQ(cn.State(), ado::Cerrado);
}

TEST_F(ConexionConProveedor, ElLoteCorreEnteroYLuegoSeLanzaElPrimerError) {
    proveedor_->guion = [](const QString&, const std::vector<QVariant>&) {
        return std::vector<ResultadoSentencia>{Afectadas(2), ConError(2627, "23000", "Infracción de la restricción PRIMARY KEY."),
                                               Afectadas(3), ConError(208, "42S02", "El nombre de objeto 'X' no es válido.")};
    };
    Conexion cn;
    cn.Open("PROVIDER=PRUEBA;Server=S");
    try {
        cn.Execute("INSERT ...; INSERT ...; UPDATE ...; SELECT * FROM X");
        FAIL();
    } catch (const kv::KvExcepcion& e) {
        EXPECT_EQ(e.error().numero, adoerr::ViolacionIntegridad);
        EXPECT_EQ(e.error().descripcion, "Infracción de la restricción PRIMARY KEY.");
        EXPECT_EQ(e.error().origen, "Proveedor de prueba");
    }
    ASSERT_EQ(cn.Errors().Count(), 2);
    EXPECT_EQ(cn.Errors().Item(1).numero, adoerr::TablaInexistente);
    EXPECT_EQ(cn.Errors().Item(1).errorNativo, 208);
    EXPECT_EQ(cn.Errors().Item(1).estadoSQL, "42S02");
    // The console form hands back every result without throwing.
    const auto resultados = cn.EjecutarLote("lote");
    ASSERT_EQ(resultados.size(), 4u);
    EXPECT_EQ(resultados[1].error->numero, adoerr::ViolacionIntegridad);
    EXPECT_EQ(resultados[3].error->numero, adoerr::TablaInexistente);
    EXPECT_EQ(cn.Errors().Count(), 2);
}

TEST_F(ConexionConProveedor, UnaConexionPerdidaEsFalloNoEspecificado) {
    proveedor_->guion = [](const QString&, const std::vector<QVariant>&) -> std::vector<ResultadoSentencia> {
        throw ErrorProveedor(ErrorBD{0, "Error de vínculo de comunicación", 0, "08S01", {}, 0});
    };
    Conexion cn;
    cn.Open("PROVIDER=PRUEBA;Server=S");
    Recordset rs;
    try {
        rs.Open("SELECT 1", &cn);
        FAIL();
    } catch (const kv::KvExcepcion& e) {
        EXPECT_EQ(e.error().numero, adoerr::FalloNoEspecificado);
    }
    ASSERT_EQ(cn.Errors().Count(), 1);
    EXPECT_EQ(cn.Errors().Item(0).estadoSQL, "08S01");
    EXPECT_EQ(rs.State(), ado::Cerrado);
}

TEST_F(ConexionConProveedor, RegistrosAfectadosYPrimerRecordsetDelLote) {
    proveedor_->guion = [](const QString&, const std::vector<QVariant>&) {
        return std::vector<ResultadoSentencia>{Afectadas(2), Afectadas(3), Filas({"A"}, {{1}, {2}}), Filas({"B"}, {{9}})};
    };
    Conexion cn;
    cn.Open("PROVIDER=PRUEBA;Server=S");
    qint32 afectados = 0;
    auto rs = cn.Execute("lote", &afectados);
    EXPECT_EQ(afectados, 5);
    ASSERT_NE(rs, nullptr);
    EXPECT_EQ(rs->Field(0).nombre, "A");
    EXPECT_EQ(rs->RecordCount(), 2);
    EXPECT_EQ(rs->Source(), "lote");
    EXPECT_EQ(rs->ActiveConnection(), &cn);
    EXPECT_EQ(cn.Execute("lote", nullptr, 0x80), nullptr);  // adExecuteNoRecords
}

TEST_F(ConexionConProveedor, BaseAislamientoYTransacciones) {
    Conexion cn;
    cn.SetIsolationLevel(ado::LecturaNoConfirmada);
    cn.Open("PROVIDER=PRUEBA;Server=S");
    EXPECT_EQ(proveedor_->registro->aislamiento, ado::LecturaNoConfirmada);
    EXPECT_EQ(cn.DefaultDatabase(), "EMP");
    cn.SetDefaultDatabase("KV_ESTADISTICAS");
    EXPECT_EQ(cn.DefaultDatabase(), "KV_ESTADISTICAS");
    try {
        cn.SetDefaultDatabase("NO_HAY");
        FAIL();
    } catch (const kv::KvExcepcion& e) {
        EXPECT_EQ(e.error().numero, adoerr::ErrorEnComando);
        EXPECT_EQ(cn.Errors().Item(0).errorNativo, 911);
    }
    EXPECT_EQ(cn.BeginTrans(), 1);
    EXPECT_THROW(cn.BeginTrans(), kv::KvExcepcion);
    cn.CommitTrans();
    EXPECT_THROW(cn.RollbackTrans(), kv::KvExcepcion);
}

TEST_F(ConexionConProveedor, EsquemaDeTablasFiltradoPorTipo) {
    Conexion cn;
    cn.Open("PROVIDER=PRUEBA;Server=S");
    auto todas = cn.OpenSchema(ado::EsquemaTablas);
    EXPECT_EQ(todas->RecordCount(), 2);
    auto vistas = cn.OpenSchema(ado::EsquemaTablas, {QVariant(), QVariant(), QVariant(), "VIEW"});
    ASSERT_EQ(vistas->RecordCount(), 1);
    EXPECT_EQ(vistas->Valor("table_name").toString(), "V_ARTICULOS");
    auto una = cn.OpenSchema(ado::EsquemaTablas, {QVariant(), QVariant(), "articulos"});
    ASSERT_EQ(una->RecordCount(), 1);
    EXPECT_EQ(una->Valor("TABLE_TYPE").toString(), "TABLE");
}

TEST_F(ConexionConProveedor, AgregarYActualizarEnvianSentenciasConMarcadores) {
    proveedor_->guion = [](const QString& sql, const std::vector<QVariant>&) {
        // The row is counted before it is written: exactly one.
        if (sql.startsWith("SELECT COUNT(*)")) return std::vector<ResultadoSentencia>{Filas({""}, {{1}})};
        if (sql.startsWith("SELECT"))
            return std::vector<ResultadoSentencia>{
                Filas({"CAMPO", "Valor Largo", "NOTA"}, {{"A", "1", QVariant()}})};
        return std::vector<ResultadoSentencia>{Afectadas(1)};
    };
    proveedor_->registro->clave = {"campo"};
    Conexion cn;
    cn.Open("PROVIDER=PRUEBA;Server=S");
    Recordset rs;
    rs.Open("SELECT CAMPO, [Valor Largo], NOTA FROM dbo.TA_CONFIGURACION with(nolock) WHERE CAMPO = 'A'", &cn,
            ado::Estatico, ado::Optimista);
    rs.Asignar("valor largo", "2");
    rs.Update();
    const auto& r = *proveedor_->registro;
    EXPECT_EQ(r.lotes.back(), "UPDATE TA_CONFIGURACION SET [Valor Largo] = ? WHERE CAMPO = ?");
    EXPECT_EQ(r.parametros.back(), (std::vector<QVariant>{"2", "A"}));
    EXPECT_EQ(r.lotes[r.lotes.size() - 2], "SELECT COUNT(*) FROM TA_CONFIGURACION WHERE CAMPO = ?");
    EXPECT_EQ(rs.Valor(1).toString(), "2");

    // Without a primary key every original value finds the row, NULL-aware.
    proveedor_->registro->clave.clear();
    rs.Asignar("NOTA", "n");
    rs.Update();
    EXPECT_EQ(r.lotes.back(), "UPDATE TA_CONFIGURACION SET NOTA = ? WHERE CAMPO = ? AND [Valor Largo] = ? AND NOTA IS NULL");
    EXPECT_EQ(r.parametros.back(), (std::vector<QVariant>{"n", "A", "2"}));

    rs.AddNew();
    rs.Asignar("CAMPO", "B");
    rs.Asignar("NOTA", QVariant());
    rs.Update();
    EXPECT_EQ(r.lotes.back(), "INSERT INTO TA_CONFIGURACION (CAMPO, NOTA) VALUES (?, ?)");
    EXPECT_EQ(r.parametros.back().size(), 2u);
    EXPECT_EQ(rs.RecordCount(), 2);
    EXPECT_EQ(rs.AbsolutePosition(), 2);
    EXPECT_EQ(rs.Valor("CAMPO").toString(), "B");
    EXPECT_TRUE(rs.Valor("Valor Largo").isNull());

    // Nothing changed: nothing is sent.
    const size_t enviados = r.lotes.size();
    rs.MoveFirst();
    rs.Update();
    EXPECT_EQ(r.lotes.size(), enviados);
}

}  // namespace
