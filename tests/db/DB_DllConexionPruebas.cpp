// Opening connections: templates, the sign-in window, the administrator check,
// failures and the reconnection.

#include "DB_DllPruebas.h"

using kv::db::DatosAcceso;
using kv::db::DB_Dll;

namespace kv::pruebas {
namespace {

class Conexiones : public DB_DllPrueba {
  protected:
    // Every opening the recording provider saw.
    QStringList Aperturas() const { return grabador_->Aperturas(); }
    DB_Dll& db = Principal();
};

TEST_F(Conexiones, PlantillaSQLServer) {
    db.gServidor = QStringLiteral("SRV01");
    db.gDBName = QStringLiteral("VENTAS");
    db.gUsuario = QStringLiteral("ana");
    db.gUserPassWord = QStringLiteral("secreta");
    db.gExtended = QStringLiteral("Connect Timeout=5;");
    db.gProveedor = QStringLiteral("OTRO");
    EXPECT_EQ(db.CadenaSQLServer(),
              QStringLiteral(
                  "PROVIDER=SQLOLEDB;Server=SRV01;Database =VENTAS;UId=ana;Pwd=secreta;Connect Timeout=5;"));
}

TEST_F(Conexiones, PlantillaOracleSinExtra) {
    db.gServidor = QStringLiteral("ORCL#");
    db.gDBName = QStringLiteral("ERPORA");
    db.gUsuario = QStringLiteral("ana");
    db.gUserPassWord = QStringLiteral("secreta");
    db.gExtended = QStringLiteral("X=1;");
    EXPECT_EQ(db.CadenaOracle(),
              QStringLiteral("Provider=OraOLEDB.Oracle.1;Data Source=ERPORA;User Id=ana;Password=secreta;"));
}

TEST_F(Conexiones, ClaveConPuntoYComaNoAgregaClaves) {
    db.gServidor = QStringLiteral("GRABADOR");
    db.gDBName = QStringLiteral("EMPRESA1");
    db.gUsuario = QStringLiteral("ventas");
    db.gUserPassWord = QStringLiteral("a;Server=OTRO");
    EXPECT_EQ(db.CadenaSQLServer(),
              QStringLiteral(
                  "PROVIDER=SQLOLEDB;Server=GRABADOR;Database =EMPRESA1;UId=ventas;Pwd={a;Server=OTRO};"));
    db.OpenServerADODB(false, 3, QString(), false, true);
    ASSERT_TRUE(db.gOpenFlag);
    EXPECT_EQ(grabador_->UltimaClave(), QStringLiteral("a;Server=OTRO"));
    db.gUserPassWord = QStringLiteral(" x}y ");
    EXPECT_TRUE(db.CadenaOracle().endsWith(QStringLiteral(";Password={ x}}y };")));
}

TEST_F(Conexiones, PlantillaAccess) {
    db.gProveedor = DB_Dll::pJETOLEDB40();
    db.gDBName = QStringLiteral("/datos/base.mdb");
    db.gUsuario = QStringLiteral("Admin");
    db.gUserPassWord = QString();
    db.gExtended = QStringLiteral("Mode=Read;");
    EXPECT_EQ(db.CadenaAccess(QStringLiteral("User ID"), QStringLiteral("Password")),
              QStringLiteral(
                  "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source =/datos/base.mdb;User ID=Admin;Password=;"
                  "Mode=Read;"));
}

TEST_F(Conexiones, ConstruyeYAbre) {
    db.gServidor = QStringLiteral("GRABADOR");
    db.gDBName = QStringLiteral("EMPRESA1");
    db.gUsuario = QStringLiteral("ventas");
    db.gUserPassWord = QStringLiteral("clave");
    db.OpenServerADODB(false, 3, QStringLiteral("   "), false, true);
    EXPECT_TRUE(db.gOpenFlag);
    EXPECT_TRUE(db.gEsAdmin);  // no administrator check asked for
    EXPECT_EQ(db.gProveedor, QStringLiteral("SQLOLEDB"));
    EXPECT_EQ(db.gConnString,
              QStringLiteral("PROVIDER=SQLOLEDB;Server=GRABADOR;Database =EMPRESA1;UId=ventas;Pwd=clave;"));
    EXPECT_EQ(db.gCnn.CursorLocation(), 3);
    ASSERT_EQ(Aperturas().size(), 1);
    EXPECT_EQ(Aperturas().at(0), db.gConnString);
}

TEST_F(Conexiones, CadenaDadaSeAbreTalCual) {
    const QString cadena =
        QStringLiteral("Provider=OraOLEDB.Oracle.1;Data Source=ORA_GRABADOR;User Id=a;Password=b;");
    db.gServidor = QStringLiteral("OTRO");
    db.OpenServerADODB(false, 3, cadena, false, true);
    EXPECT_TRUE(db.gOpenFlag);
    EXPECT_EQ(db.gConnString, cadena);
    EXPECT_EQ(Aperturas(), QStringList{cadena});
}

TEST_F(Conexiones, VentanaEligeOracle) {
    int veces = 0;
    DB_Dll::EstablecerVentanaAcceso([&](DatosAcceso& d) {
        ++veces;
        EXPECT_EQ(d.base, QStringLiteral("ANTES"));
        EXPECT_EQ(d.plataforma, 0);
        d.base = QStringLiteral("ORA_GRABADOR");
        d.servidor = QStringLiteral("ORCL");
        d.usuario = QStringLiteral("u1");
        d.clave = QStringLiteral("c1");
        d.plataforma = 1;
        return true;
    });
    db.gDBName = QStringLiteral("ANTES");
    db.OpenServerADODB(true, 3, QStringLiteral("PROVIDER=SQLOLEDB;Server=IGNORADO;"), false, true);
    EXPECT_EQ(veces, 1);
    EXPECT_TRUE(db.gOpenFlag);
    EXPECT_EQ(db.gServidor, QStringLiteral("ORCL#"));
    EXPECT_EQ(db.gProveedor, QStringLiteral("OraOLEDB.Oracle.1"));
    EXPECT_EQ(db.gConnString,
              QStringLiteral("Provider=OraOLEDB.Oracle.1;Data Source=ORA_GRABADOR;User Id=u1;Password=c1;"));
    EXPECT_EQ(Aperturas(), QStringList{db.gConnString});
}

TEST_F(Conexiones, OracleNoAgregaOtraAlmohadilla) {
    DB_Dll::EstablecerVentanaAcceso([&](DatosAcceso& d) {
        d.servidor = QStringLiteral("ORCL#");
        d.base = QStringLiteral("ORA_GRABADOR");
        d.plataforma = 1;
        return true;
    });
    db.OpenServerADODB(true, 3, QString(), false, true);
    EXPECT_EQ(db.gServidor, QStringLiteral("ORCL#"));
}

TEST_F(Conexiones, VentanaSqlServer) {
    DB_Dll::EstablecerVentanaAcceso([&](DatosAcceso& d) {
        d.servidor = QStringLiteral("GRABADOR");
        d.base = QStringLiteral("EMPRESA2");
        d.plataforma = 0;
        return true;
    });
    db.gProveedor = QStringLiteral("OraOLEDB.Oracle.1");
    db.OpenServerADODB(true, 3, QString(), false, true);
    EXPECT_EQ(db.gProveedor, QStringLiteral("SQLOLEDB"));
    EXPECT_TRUE(db.gOpenFlag);
}

TEST_F(Conexiones, VentanaCanceladaNoIntentaNada) {
    DB_Dll::EstablecerVentanaAcceso([](DatosAcceso& d) {
        d.base = QStringLiteral("NO SE COPIA");
        return false;
    });
    db.gDBName = QStringLiteral("EMPRESA1");
    db.OpenServerADODB(true, 3, QString(), true, true);
    EXPECT_FALSE(db.gOpenFlag);
    EXPECT_EQ(db.gDBName, QStringLiteral("EMPRESA1"));
    EXPECT_TRUE(grabador_->Llamadas().isEmpty());
    EXPECT_TRUE(puerto_->Mensajes().isEmpty());
}

TEST_F(Conexiones, SinVentanaEsComoCancelar) {
    db.gServidor = QStringLiteral("GRABADOR");
    db.OpenServerADODB(true, 3, QString(), true, true);
    EXPECT_FALSE(db.gOpenFlag);
    EXPECT_TRUE(grabador_->Llamadas().isEmpty());
}

class Administrador : public Conexiones {
  protected:
    void AbrirValidando(bool muestraError) {
        db.gServidor = QStringLiteral("GRABADOR");
        db.gDBName = QStringLiteral("EMPRESA1");
        db.gUsuario = QStringLiteral("ventas");
        db.gUserPassWord = QStringLiteral("clave");
        db.OpenServerADODB(false, 3, QString(), true, muestraError);
    }
    const QString kSql =
        QStringLiteral("SELECT TOP 1 * FROM ta_usuarios with(nolock)  WHERE LTRIM(RTRIM(nombre)) ='ventas' ");
};

TEST_F(Administrador, SinTablaDeUsuariosNoCambia) {
    AbrirValidando(true);
    EXPECT_TRUE(db.gOpenFlag);
    EXPECT_FALSE(db.gEsAdmin);
    EXPECT_TRUE(grabador_->Llamadas().contains(QStringLiteral("UsarBase EMPRESA1")));
    EXPECT_TRUE(grabador_->Sentencias().isEmpty());
}

TEST_F(Administrador, ValorUnoEsAdministrador) {
    grabador_->Tablas({QStringLiteral("TA_USUARIOS")});
    grabador_->Filas(QStringLiteral("ta_usuarios"),
                     {QStringLiteral("nombre"), QStringLiteral("Administrador")},
                     {{QVariant(QStringLiteral("ventas")), QVariant(1)}});
    AbrirValidando(true);
    EXPECT_TRUE(db.gEsAdmin);
    EXPECT_EQ(grabador_->Sentencias(), QStringList{kSql});
}

TEST_F(Administrador, CeroVacioOSinFilaNoLoEs) {
    grabador_->Tablas({QStringLiteral("ta_usuarios")});
    for (const QVariant& valor : {QVariant(0), QVariant(), QVariant(QString())}) {
        grabador_->Filas(QStringLiteral("ta_usuarios"),
                         {QStringLiteral("nombre"), QStringLiteral("Administrador")},
                         {{QVariant(QStringLiteral("ventas")), valor}}, 1);
        db.gEsAdmin = true;
        if (db.gCnn.State() == kv::db::ado::Abierto) db.gCnn.Close();
        AbrirValidando(true);
        EXPECT_FALSE(db.gEsAdmin) << valor.toString().toStdString();
    }
    db.gEsAdmin = true;
    db.gCnn.Close();
    AbrirValidando(true);  // no row at all
    EXPECT_FALSE(db.gEsAdmin);
}

TEST_F(Administrador, SinMostrarErroresBastaLaTabla) {
    grabador_->Tablas({QStringLiteral("TA_USUARIOS")});
    AbrirValidando(false);
    EXPECT_TRUE(db.gEsAdmin);
    EXPECT_TRUE(grabador_->Sentencias().isEmpty());
}

class FallosDeApertura : public Conexiones {
  protected:
    void Preparar() {
        db.gServidor = QStringLiteral("GRABADOR");
        db.gDBName = QStringLiteral("EMPRESA1");
        db.gUsuario = QStringLiteral("ventas");
        db.gUserPassWord = QStringLiteral("mala");
    }
    static kv::db::ErrorBD LoginFallido() {
        return ProveedorGrabador::Error(-2147217843,
                                        QStringLiteral("Error de inicio de sesión del usuario 'ventas'."),
                                        18456, QStringLiteral("28000"));
    }
};

TEST_F(FallosDeApertura, SinMensajesNoMuestraNada) {
    Preparar();
    grabador_->FallarApertura(LoginFallido());
    db.OpenServerADODB(false, 3, QString(), true, false);
    EXPECT_FALSE(db.gOpenFlag);
    EXPECT_TRUE(puerto_->Mensajes().isEmpty());
}

TEST_F(FallosDeApertura, MensajeDeConexion) {
    Preparar();
    grabador_->FallarApertura(LoginFallido());
    DB_Dll::EstablecerNombreProceso(QStringLiteral("KV_ESTV"));
    puerto_->ResponderMensaje(kv::respuesta::No);
    db.OpenServerADODB(false, 3, QString(), true, true);
    EXPECT_FALSE(db.gOpenFlag);
    ASSERT_EQ(puerto_->Mensajes().size(), 1);
    const auto m = puerto_->Mensajes().at(0);
    EXPECT_EQ(m.titulo, QStringLiteral(" Error de Conexion a Base de Datos"));
    EXPECT_EQ(m.estilo, 4 + 16);
    EXPECT_EQ(
        m.texto,
        QStringLiteral(" Estado de Sql: 28000") + kCR + QStringLiteral("Numero de Error: -2147217843") + kCR +
            QStringLiteral("Descripcion: Error de inicio de sesión del usuario 'ventas'.") + kCR +
            QStringLiteral("Codigo Nativo: 18456") + kCR + kCRLF +
            QStringLiteral("Nombre de Proceso: KV_ESTV") + kCR + kCRLF + kCRLF +
            QStringLiteral("1. Verifique el Usuario, contraseña y base de datos") + kCRLF +
            QStringLiteral("2. Verifique el nombre del servidor, quizas necesite agregarle el nombre de la "
                           "instancia, por ejemplo : GRABADOR\\ORBITAL") +
            kCRLF + QStringLiteral("3. Verifique si el inicio de sesion para el usuario ventas existe") +
            kCRLF + kCRLF + kCRLF + QStringLiteral(" - Desea Intentarlo Nuevamente??? "));
}

TEST_F(FallosDeApertura, SiVuelveALaVentanaYReintenta) {
    Preparar();
    grabador_->FallarApertura(LoginFallido());
    DB_Dll::EstablecerVentanaAcceso([](DatosAcceso& d) {
        d.clave = QStringLiteral("buena");
        return true;
    });
    puerto_->ResponderMensaje(kv::respuesta::Si);
    db.OpenServerADODB(false, 3, QString(), false, true);
    EXPECT_TRUE(db.gOpenFlag);
    EXPECT_EQ(db.gCnn.State(), kv::db::ado::Abierto);
    EXPECT_EQ(db.gUserPassWord, QStringLiteral("buena"));
    ASSERT_EQ(Aperturas().size(), 2);
    EXPECT_EQ(Aperturas().at(1),
              QStringLiteral("PROVIDER=SQLOLEDB;Server=GRABADOR;Database =EMPRESA1;UId=ventas;Pwd=buena;"));
    EXPECT_EQ(db.gCnn.Errors().Count(), 0);
}

TEST_F(FallosDeApertura, SiPeroVentanaCancelada) {
    Preparar();
    grabador_->FallarApertura(LoginFallido());
    puerto_->ResponderMensaje(kv::respuesta::Si);
    db.OpenServerADODB(false, 3, QString(), false, true);
    EXPECT_FALSE(db.gOpenFlag);
    EXPECT_EQ(Aperturas().size(), 1);
}

TEST_F(FallosDeApertura, YaAbiertaSeCierraYReintentaUnaVez) {
    Preparar();
    db.OpenServerADODB(false, 3, QString(), false, false);
    ASSERT_TRUE(db.gOpenFlag);
    db.OpenServerADODB(false, 3, QString(), false, false);
    EXPECT_TRUE(db.gOpenFlag);
    EXPECT_EQ(Aperturas().size(), 2);
    EXPECT_EQ(grabador_->SesionesAbiertas(), 1);
    db.OpenServerADODB(false, 3, QString(), false, true);
    EXPECT_TRUE(db.gOpenFlag);
    EXPECT_TRUE(puerto_->Mensajes().isEmpty());
}

TEST_F(FallosDeApertura, ErrorSinColeccionMuestraLaDescripcion) {
    Preparar();
    DB_Dll::EstablecerVentanaAcceso([](DatosAcceso&) -> bool {
        throw kv::KvExcepcion(5, QStringLiteral("La ventana no pudo cargarse."), QStringLiteral("KV_ESTV"));
    });
    puerto_->ResponderMensaje(kv::respuesta::Aceptar);
    db.OpenServerADODB(true, 3, QString(), false, true);
    EXPECT_FALSE(db.gOpenFlag);
    ASSERT_EQ(puerto_->Mensajes().size(), 1);
    EXPECT_EQ(puerto_->Mensajes().at(0).texto, QStringLiteral("La ventana no pudo cargarse."));
    EXPECT_EQ(puerto_->Mensajes().at(0).titulo, QString());
    EXPECT_EQ(puerto_->Mensajes().at(0).estilo, 0);
}

class Reconexion : public Conexiones {};

TEST_F(Reconexion, ReabreConLasCredencialesDeLaPrincipal) {
    Abrir(db);
    db.gUsuario = QStringLiteral("otro");
    db.gUserPassWord = QStringLiteral("nueva");
    db.gOpenFlag = false;
    db.ReintentaConectar();
    EXPECT_TRUE(db.gOpenFlag);
    EXPECT_EQ(db.gCnn.CommandTimeout(), 30);  // the time-out it had
    EXPECT_EQ(grabador_->UltimoUsuario(), QStringLiteral("otro"));
    EXPECT_EQ(grabador_->UltimaClave(), QStringLiteral("nueva"));
    EXPECT_EQ(grabador_->SesionesAbiertas(), 1);
}

// A reopening that fails leaves the connection closed: the object no longer
// regards it as open, whether the failure was silent or the operator ignored it.
TEST_F(Reconexion, FalloSilenciosoDejaDeConsiderarlaAbierta) {
    Abrir(db);
    ASSERT_TRUE(db.gOpenFlag);
    grabador_->FallarApertura(ProveedorGrabador::ErrorConexionPerdida());
    db.ReintentaConectar();
    EXPECT_FALSE(db.gOpenFlag);
    EXPECT_EQ(db.gCnn.State(), kv::db::ado::Cerrado);
    EXPECT_TRUE(puerto_->Mensajes().isEmpty());
}

TEST_F(Reconexion, FalloIgnoradoNoLaDaPorAbierta) {
    Abrir(db);
    grabador_->FallarApertura(
        ProveedorGrabador::Error(-2147217843, QStringLiteral("Error de inicio de sesión."), 18456));
    puerto_->ResponderMensaje(kv::respuesta::Omitir);
    db.ReintentaConectar();
    ASSERT_EQ(puerto_->Mensajes().size(), 1);
    EXPECT_FALSE(db.gOpenFlag);
    EXPECT_EQ(db.gCnn.State(), kv::db::ado::Cerrado);
}

TEST_F(Reconexion, OtroObjetoReabreConSuPropiaCadena) {
    Abrir(db);
    DB_Dll estadisticas;
    estadisticas.gServidor = QStringLiteral("GRABADOR");
    estadisticas.gDBName = QStringLiteral("KV_ESTADISTICAS");
    estadisticas.gUsuario = QStringLiteral("kvestv");
    estadisticas.gUserPassWord = QStringLiteral("almacen");
    estadisticas.OpenServerADODB(false, 3, QString(), false, true);
    ASSERT_TRUE(estadisticas.gOpenFlag);
    estadisticas.ReintentaConectar();
    EXPECT_EQ(grabador_->UltimoUsuario(), QStringLiteral("kvestv"));
    EXPECT_EQ(grabador_->UltimaClave(), QStringLiteral("almacen"));
}

TEST_F(Reconexion, CerradaSigueConLaApertura) {
    Abrir(db);
    db.gCnn.Close();
    db.gOpenFlag = false;
    db.ReintentaConectar();
    EXPECT_TRUE(db.gOpenFlag);
    EXPECT_TRUE(puerto_->Mensajes().isEmpty());
}

TEST_F(Reconexion, FalloNoEspecificadoTerminaEnSilencio) {
    Abrir(db);
    db.gOpenFlag = false;
    grabador_->FallarApertura(ProveedorGrabador::ErrorConexionPerdida());
    db.ReintentaConectar();
    EXPECT_FALSE(db.gOpenFlag);
    EXPECT_TRUE(puerto_->Mensajes().isEmpty());
}

TEST_F(Reconexion, OtroErrorVaAlTratamiento) {
    Abrir(db);
    db.gOpenFlag = false;
    grabador_->FallarApertura(
        ProveedorGrabador::Error(-2147217843, QStringLiteral("Error de inicio de sesión."), 18456), 2);
    puerto_->ResponderMensaje(kv::respuesta::Reintentar);
    puerto_->ResponderMensaje(kv::respuesta::Anular);
    db.ReintentaConectar();
    EXPECT_FALSE(db.gOpenFlag);
    ASSERT_EQ(puerto_->Mensajes().size(), 2);
    // A refused opening has no session yet: the error comes from the connection object.
    EXPECT_EQ(puerto_->Mensajes().at(0).titulo,
              QStringLiteral("ADODB.Connection - AbrirRecordset Aviso al operador!!! - 5 "));
    EXPECT_EQ(puerto_->Mensajes().at(0).texto,
              QStringLiteral("Ha ocurrido el Siguiente Error (-2147217843) Error de inicio de sesión."));
    EXPECT_EQ(Aperturas().size(), 3);  // the first opening, then the failed one and its retry
}

class BaseLocal : public Conexiones {
  protected:
    BaseLocal() : locales_({QStringLiteral("/datos/uno.mdb"), QStringLiteral("/datos/dos.mdb")}) {
        db.gProveedor = DB_Dll::pJETOLEDB40();
        db.gUsuario = QStringLiteral("Admin");
        db.gUserPassWord = QStringLiteral("guardada");
    }
    static kv::db::ErrorBD ErrorJet(qint32 numero) {
        return ProveedorGrabador::Error(numero, QStringLiteral("Error de Jet ") + QString::number(numero));
    }
    GrabadorRegistrado locales_;
};

TEST_F(BaseLocal, PideElArchivoYAbre) {
    puerto_->ResponderArchivo(QStringLiteral("/datos/uno.mdb"));
    db.OpenLocalADODB(QString(), QStringLiteral("User ID"), QStringLiteral("Password"));
    const auto archivos = puerto_->Llamadas(kv::InteraccionGuionada::Tipo::Archivo);
    ASSERT_EQ(archivos.size(), 1);
    EXPECT_EQ(archivos.at(0).titulo, QStringLiteral("Buscar Base de Datos"));
    EXPECT_EQ(archivos.at(0).texto, QStringLiteral("Base de Datos de Microsoft Access |*.MDB"));
    EXPECT_EQ(db.gDBName, QStringLiteral("/datos/uno.mdb"));
    EXPECT_EQ(db.gConnString, QStringLiteral("PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source =/datos/uno.mdb;"
                                             "User ID=Admin;Password=guardada;"));
    EXPECT_EQ(db.gCnn.State(), kv::db::ado::Abierto);
}

TEST_F(BaseLocal, DialogoCanceladoNoAbre) {
    puerto_->ResponderArchivo(QString());
    db.OpenLocalADODB(QString(), QStringLiteral("User ID"), QStringLiteral("Password"));
    EXPECT_EQ(db.gCnn.State(), kv::db::ado::Cerrado);
    EXPECT_TRUE(locales_->Aperturas().isEmpty());
}

TEST_F(BaseLocal, ArchivoNoEncontradoVuelveAlDialogo) {
    db.gDBName = QStringLiteral("/datos/uno.mdb");
    locales_->FallarApertura(ErrorJet(3024));
    puerto_->ResponderArchivo(QStringLiteral("/datos/dos.mdb"));
    db.OpenLocalADODB(QStringLiteral("PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source =/datos/uno.mdb;"),
                      QStringLiteral("User ID"), QStringLiteral("Password"));
    EXPECT_EQ(db.gCnn.State(), kv::db::ado::Abierto);
    EXPECT_EQ(db.gConnString, QStringLiteral("PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source =/datos/dos.mdb;"
                                             "User ID=Admin;Password=guardada;"));
}

TEST_F(BaseLocal, ClaveGuardadaYLuegoPreguntada) {
    db.gDBName = QStringLiteral("/datos/uno.mdb");
    db.gIgnoraPassWord = true;
    locales_->FallarApertura(ErrorJet(3031), 2);
    puerto_->ResponderEntrada(QStringLiteral("abc"));
    db.OpenLocalADODB(QString(), QStringLiteral("User ID"), QStringLiteral("Password"));
    const QString base = QStringLiteral(
        "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source =/datos/uno.mdb;"
        "User ID=Admin;Password=guardada;");
    ASSERT_EQ(locales_->Aperturas().size(), 3);
    EXPECT_EQ(locales_->Aperturas().at(1), base + QStringLiteral("Jet OLEDB:Database Password=guardada;"));
    EXPECT_EQ(locales_->Aperturas().at(2), base + QStringLiteral(" Jet OLEDB:Database Password=abc;"));
    const auto entradas = puerto_->Llamadas(kv::InteraccionGuionada::Tipo::Entrada);
    ASSERT_EQ(entradas.size(), 1);
    EXPECT_EQ(entradas.at(0).texto, QStringLiteral("ingrese el password:"));
    EXPECT_EQ(entradas.at(0).titulo, QStringLiteral("Password Access"));
    EXPECT_EQ(db.gCnn.State(), kv::db::ado::Abierto);
}

TEST_F(BaseLocal, ClavePreguntadaCanceladaTermina) {
    db.gDBName = QStringLiteral("/datos/uno.mdb");
    locales_->FallarApertura(ErrorJet(3031), 5);
    puerto_->CancelarEntrada();
    db.OpenLocalADODB(QString(), QStringLiteral("User ID"), QStringLiteral("Password"));
    EXPECT_EQ(locales_->Aperturas().size(), 1);
    EXPECT_EQ(db.gCnn.State(), kv::db::ado::Cerrado);
}

TEST_F(BaseLocal, OtroErrorSeMuestraConNumero) {
    db.gDBName = QStringLiteral("/datos/uno.mdb");
    locales_->FallarApertura(ErrorJet(3706));
    puerto_->ResponderMensaje(kv::respuesta::Aceptar);
    db.OpenLocalADODB(QString(), QStringLiteral("User ID"), QStringLiteral("Password"));
    ASSERT_EQ(puerto_->Mensajes().size(), 1);
    EXPECT_EQ(puerto_->Mensajes().at(0).texto, QStringLiteral("3706  Error de Jet 3706"));
    EXPECT_EQ(puerto_->Mensajes().at(0).estilo, 16);
}

}  // namespace
}  // namespace kv::pruebas
