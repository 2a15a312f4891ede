// Opening and reopening the connection of a DB_Dll object.

#include <QLatin1Char>

#include "db/DB_Dll.h"
#include "db/DB_DllInterno.h"
#include "util/Interaccion.h"

namespace kv::db {

using namespace interno;

namespace {
const QString kTituloErrorConexion = QStringLiteral(" Error de Conexion a Base de Datos");
const QString kProveedorOracle = QStringLiteral("OraOLEDB.Oracle.1");
const QString kTituloBuscarBase = QStringLiteral("Buscar Base de Datos");
const QString kFiltroAccess = QStringLiteral("Base de Datos de Microsoft Access |*.MDB");
const QString kPreguntaClaveAccess = QStringLiteral("ingrese el password:");
const QString kTituloClaveAccess = QStringLiteral("Password Access");
const QString kClaveJet = QStringLiteral("Jet OLEDB:Database Password=");

// Closes without caring whether it was open.
void CerrarSinError(Conexion& cnn) {
    try {
        if (cnn.State() != ado::Cerrado) cnn.Close();
    } catch (...) {
    }
}
// Login refused, the login's database cannot be opened, password expired or to be changed.
bool EsLoginRechazado(qint32 nativo) {
    return nativo == 18456 || nativo == 4060 || nativo == 18487 || nativo == 18488 || nativo == 18470;
}
QString ValorCadena(const QString& valor) { return ValorCadenaConexion(valor); }
}  // namespace

QString DB_Dll::CadenaSQLServer() const {
    return QStringLiteral("PROVIDER=") + pSQLOLEDB() + QStringLiteral(";") + QStringLiteral("Server=") +
           ValorCadena(gServidor) + QStringLiteral(";") + QStringLiteral("Database =") +
           ValorCadena(gDBName) + QStringLiteral(";") + QStringLiteral("UId=") + ValorCadena(gUsuario) +
           QStringLiteral(";") + QStringLiteral("Pwd=") + ValorCadena(gUserPassWord) + QStringLiteral(";") +
           gExtended;
}

QString DB_Dll::CadenaOracle() const {
    return QStringLiteral("Provider=OraOLEDB.Oracle.1;Data Source=") + ValorCadena(gDBName) +
           QStringLiteral(";User Id=") + ValorCadena(gUsuario) + QStringLiteral(";Password=") +
           ValorCadena(gUserPassWord) + QStringLiteral(";");
}

QString DB_Dll::CadenaAccess(const QString& CadenaID, const QString& CadenaPWD) const {
    return QStringLiteral("PROVIDER=") + gProveedor + QStringLiteral(";") + QStringLiteral("Data Source =") +
           gDBName + QStringLiteral(";") + CadenaID + QStringLiteral("=") + gUsuario + QStringLiteral(";") +
           CadenaPWD + QStringLiteral("=") + gUserPassWord + QStringLiteral(";") + gExtended;
}

QString DB_Dll::MensajeErrorConexion(const ErrorBD& error) {
    const QString CR = QStringLiteral("\r");
    const QString CRLF = QStringLiteral("\r\n");
    const DB_Dll& principal = Principal();
    return QStringLiteral(" Estado de Sql: ") + error.estadoSQL + CR + QStringLiteral("Numero de Error: ") +
           QString::number(error.numero) + CR + QStringLiteral("Descripcion: ") + error.descripcion + CR +
           QStringLiteral("Codigo Nativo: ") + QString::number(error.errorNativo) + CR + CRLF +
           QStringLiteral("Nombre de Proceso: ") + NombreProceso() + CR + CRLF + CRLF +
           QStringLiteral("1. Verifique el Usuario, contraseña y base de datos") + CRLF +
           QStringLiteral(
               "2. Verifique el nombre del servidor, quizas necesite agregarle el nombre de la instancia, "
               "por ejemplo : ") +
           principal.gServidor + QStringLiteral("\\ORBITAL") + CRLF +
           QStringLiteral("3. Verifique si el inicio de sesion para el usuario ") + principal.gUsuario +
           QStringLiteral(" existe") + CRLF + CRLF + CRLF +
           QStringLiteral(" - Desea Intentarlo Nuevamente??? ");
}

void DB_Dll::ConstruirCadena() {
    gConnString = gServidor.contains(QLatin1Char('#')) ? CadenaOracle() : CadenaSQLServer();
}

void DB_Dll::OpenServerADODB(bool PideParametrosSQL, qint32 lCursor, const QString& ConnString,
                             bool ValidaAdmin, bool MuestraError) {
    gOpenFlag = true;
    if (gProveedor.isEmpty()) gProveedor = pSQLOLEDB();

    bool reintentado = false;  // the one close-and-retry after "already open"
    bool cancelado = false;    // the access window was cancelled: nothing more is tried

    const std::vector<PasoAtrapado> pasos = {
        [&] {
            if (!ConnString.trimmed().isEmpty())
                gConnString = ConnString;
            else
                ConstruirCadena();
        },
        [&] {
            if (!PideParametrosSQL) return;
            if (!PasoVentanaAcceso()) {
                cancelado = true;
                return;
            }
            ConstruirCadena();
        },
        [&] {
            if (cancelado) return;
            gCnn.SetCursorLocation(lCursor);
        },
        [&] {
            if (cancelado) return;
            gCnn.Open(gConnString, QString(), QString());
        },
        [&] {
            if (cancelado) return;
            if (!ValidaAdmin) {
                gEsAdmin = true;
                return;
            }
            if (gDBName.trimmed().isEmpty()) return;
            gCnn.SetDefaultDatabase(gDBName);
        },
        [&] {
            if (cancelado || !ValidaAdmin || gDBName.trimmed().isEmpty()) return;
            if (!Principal().ExisteTablaDB(QStringLiteral("TA_USUARIOS"))) return;
            if (!MuestraError) {
                gEsAdmin = true;
                return;
            }
            const QVariant valor = DatosTabla(QStringLiteral("ta_usuarios"), gUsuario,
                                              QStringLiteral("Administrador"), QStringLiteral("nombre"), 8);
            gEsAdmin = NumeroDe(valor) == 1.0;
        },
    };

    auto cerrarYReintentar = [&]() {
        reintentado = true;
        CerrarSinError(gCnn);
        return respuesta::Reintentar;
    };

    EjecutarPasos(pasos, [&](const KvError& error) -> int {
        if (!MuestraError) {
            if (error.numero == adoerr::ObjetoAbierto && !reintentado) return cerrarYReintentar();
            gOpenFlag = false;
            return respuesta::Anular;
        }
        if (gCnn.Errors().Count() > 0) {
            const int r = kv::interaccion().Mensaje(MensajeErrorConexion(gCnn.Errors().Item(0)),
                                                    estilo::SiNo + estilo::Critico, kTituloErrorConexion);
            if (r == respuesta::Si) {
                gCnn.Errors().Clear();
                if (!PasoVentanaAcceso()) {
                    cancelado = true;
                    return respuesta::Anular;
                }
                ConstruirCadena();
                return respuesta::Reintentar;
            }
            gOpenFlag = false;
            return respuesta::Anular;
        }
        if (error.numero == adoerr::ObjetoAbierto && !reintentado) return cerrarYReintentar();
        kv::interaccion().Mensaje(error.descripcion, estilo::SoloAceptar, QString());
        gOpenFlag = false;
        return respuesta::Anular;
    });
}

void DB_Dll::ReintentaConectar() {
    // The main instance reopens with the user and password it signed in with.
    // Any other object (the statistics store has a login of its own) reopens with
    // exactly the string its connection was opened with.
    DB_Dll& principal = Principal();
    const bool esPrincipal = (this == &principal);
    // The short time-out is for the reopening only: long loads and rebuilds that
    // follow need the time-out the connection had.
    const int tiempoAnterior = gCnn.CommandTimeout();
    const std::vector<PasoAtrapado> pasos = {
        [&] { gCnn.SetCommandTimeout(5); },
        [&] { gCnn.Close(); },
        [&] {
            if (esPrincipal)
                gCnn.Open(gCnn.ConnectionString(), principal.gUsuario, principal.gUserPassWord);
            else
                gCnn.Open(gCnn.ConnectionString(), QString(), QString());
        },
        [&] { gOpenFlag = true; },
    };
    EjecutarPasos(pasos, [&](const KvError& error) -> int {
        if (error.numero == adoerr::ObjetoCerrado) return respuesta::Omitir;
        if (error.numero == adoerr::FalloNoEspecificado) {
            // A server that refuses the login (password changed, login disabled) is
            // not a passing network fault: the user is told why, with the server's words.
            if (gCnn.Errors().Count() > 0 && EsLoginRechazado(gCnn.Errors().Item(0).errorNativo)) {
                const int r = kv::interaccion().Mensaje(MensajeErrorConexion(gCnn.Errors().Item(0)),
                                                        estilo::SiNo + estilo::Critico, kTituloErrorConexion);
                if (r == respuesta::Si) {
                    gCnn.Errors().Clear();
                    return respuesta::Reintentar;
                }
            }
            return respuesta::Anular;
        }
        return TratamientoErrores(error, std::nullopt, QStringLiteral("AbrirRecordset"));
    });
    gCnn.SetCommandTimeout(tiempoAnterior);
    // The connection was closed above: unless it opened again, the object must
    // not go on regarding it as open (a silent failure or an ignored one would
    // otherwise leave the flag saying "open" and the caller would never learn
    // that the server is gone).
    if (gCnn.State() != ado::Abierto) gOpenFlag = false;
}

void DB_Dll::OpenLocalADODB(const QString& ConnString, const QString& CadenaID, const QString& CadenaPWD) {
    auto elegirArchivo = [&]() {
        const QString ruta = kv::interaccion().ElegirArchivo(kFiltroAccess, kTituloBuscarBase, false);
        if (ruta.isEmpty()) return false;
        gDBName = ruta;
        return true;
    };
    if (gDBName.trimmed().isEmpty() && !elegirArchivo()) return;

    // Once the user picked another file the given string (which names the missing
    // one) no longer applies: the string is built for the file picked.
    bool usarCadenaDada = !ConnString.isEmpty();
    QString claveBase;                  // password clause for a protected file
    bool claveGuardadaProbada = false;  // the stored password is tried once, then the user is asked
    for (;;) {
        const QString cadena = (usarCadenaDada ? ConnString : CadenaAccess(CadenaID, CadenaPWD)) + claveBase;
        try {
            gCnn.Open(cadena, QString(), QString());
            gConnString = cadena;
            return;
        } catch (const KvExcepcion& ex) {
            const qint32 numero = ex.error().numero;
            if (numero == 3024 || numero == 3051 || numero == 3044) {
                if (!elegirArchivo()) return;
                usarCadenaDada = false;
                claveBase.clear();
                claveGuardadaProbada = false;
                continue;
            }
            if (numero == 3031) {
                if (gIgnoraPassWord.toBool() && !claveGuardadaProbada) {
                    claveGuardadaProbada = true;
                    claveBase = kClaveJet + gUserPassWord + QStringLiteral(";");
                    continue;
                }
                const auto clave = kv::interaccion().Entrada(kPreguntaClaveAccess, kTituloClaveAccess);
                if (!clave) return;
                claveBase = QStringLiteral(" ") + kClaveJet + *clave + QStringLiteral(";");
                continue;
            }
            kv::interaccion().Mensaje(QString::number(numero) + QStringLiteral("  ") + ex.error().descripcion,
                                      estilo::Critico);
            return;
        }
    }
}

}  // namespace kv::db
