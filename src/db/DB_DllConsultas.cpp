// Running statements and opening recordsets, with the lost-connection recovery.

#include "db/DB_Dll.h"
#include "db/DB_DllInterno.h"
#include "util/Interaccion.h"

namespace kv::db {

using namespace interno;

namespace {
const QString kTituloAvisoEjecucion = QStringLiteral("Aviso al operador!!!");
const QString kTituloConexionPerdida = QStringLiteral("AVISO AL OPERADOR");
const QString kMarcaAdmin = QStringLiteral("@Admin_");

// Errors that EjecutaConsultaRSQL does not show: the caller reads them from the
// error collection or they mean nothing to the operator.
bool ErrorSinMensaje(qint32 numero) {
    return numero == adoerr::FalloNoEspecificado || numero == adoerr::ViolacionIntegridad ||
           numero == adoerr::TablaInexistente || numero == adoerr::ErrorEnComando;
}
}  // namespace

QString DB_Dll::MensajeConexionPerdida() {
    const QString CRLF = QStringLiteral("\r\n");
    const DB_Dll& principal = Principal();
    return CRLF + CRLF + CRLF + QStringLiteral("Se perdio la conexion con la base de datos ") +
           principal.gDBName + CRLF + QStringLiteral(" Servidor ") + principal.gServidor + CRLF + CRLF +
           QStringLiteral("Elija SI para reintentar conectarse") + CRLF +
           QStringLiteral("Elija NO para cerrar la aplicacion") + CRLF + CRLF + CRLF;
}

// Decided by the provider of the connection, never by the word appearing in a
// password, a database name or a path.
bool DB_Dll::EsConexionOracle() const { return EsCadenaOracle(gCnn.ConnectionString()); }

void DB_Dll::EjecutaConsultaSQL(QString& SentenciaSQL, qint32& RecordsAffected,
                                std::unique_ptr<Recordset>* lrcs) {
    EjecutarConsulta(SentenciaSQL, RecordsAffected, lrcs, false);
}

void DB_Dll::EjecutaConsultaRSQL(QString& SentenciaSQL, qint32& RecordsAffected,
                                 std::unique_ptr<Recordset>* lrcs) {
    EjecutarConsulta(SentenciaSQL, RecordsAffected, lrcs, true);
}

void DB_Dll::EjecutarConsulta(QString& SentenciaSQL, qint32& RecordsAffected,
                              std::unique_ptr<Recordset>* lrcs, bool muestraMensaje) {
    bool oracle = false;
    const std::vector<PasoAtrapado> pasos = {
        [&] {
            // Scripts that rebuild objects get the restricted synonyms; everything
            // else only loses the administrator escape marker.
            const bool reconstruye = Contiene(SentenciaSQL, QStringLiteral("DROP")) &&
                                     Contiene(SentenciaSQL, QStringLiteral("CREATE")) &&
                                     !Contiene(SentenciaSQL, QStringLiteral("DELETE")) &&
                                     !Contiene(SentenciaSQL, QStringLiteral("@ADMIN_"));
            if (reconstruye)
                SentenciaSQL = SS_TSinonimos(SentenciaSQL);
            else
                SentenciaSQL = Reemplazar(SentenciaSQL, kMarcaAdmin, QString());
        },
        [&] {
            if (!EsConexionOracle()) return;
            oracle = true;
            // The batch runner adds up what each statement affected: start from zero.
            RecordsAffected = 0;
            EjecutaLoteOracle(SentenciaSQL, RecordsAffected);
        },
        [&] {
            if (oracle) return;
            std::unique_ptr<Recordset> resultado = gCnn.Execute(SentenciaSQL, &RecordsAffected, -1);
            if (lrcs) *lrcs = std::move(resultado);
        },
        [&] {
            if (oracle) return;
            // A truncation warning left behind by the statement is not an error.
            ErroresADO& errores = Principal().gCnn.Errors();
            if ((errores.Count() == 1 || errores.Count() == 2) &&
                !Contiene(SentenciaSQL, QStringLiteral("TRANS")) && errores.Item(0).errorNativo == 8152)
                errores.Clear();
        },
    };
    EjecutarPasos(pasos, [&](const KvError& error) -> int {
        const bool transaccion = Contiene(SentenciaSQL, QStringLiteral("TRANS"));
        ErroresADO& errores = Principal().gCnn.Errors();
        if (errores.Count() >= 1 && !transaccion && errores.Item(0).errorNativo == 8152) {
            errores.Clear();
            return respuesta::Anular;
        }
        if (muestraMensaje && !transaccion && !ErrorSinMensaje(error.numero))
            kv::interaccion().Mensaje(error.descripcion, estilo::Critico + estilo::SoloAceptar,
                                      kTituloAvisoEjecucion);
        return respuesta::Anular;
    });
}

void DB_Dll::AbrirRecordset(QString& SentenciaSQL, Recordset& lrcs, Conexion* Conexionactiva, int CursorType,
                            int LockType, int Options, bool ConvOracle) {
    int intentos = 1;
    QString texto;
    const std::vector<PasoAtrapado> pasos = {
        [&] { CierraRecordset(lrcs); },
        [&] { SentenciaSQL = SS_TSinonimos(SentenciaSQL); },
        [&] {
            texto = SentenciaSQL;
            if (ConvOracle && EsConexionOracle()) texto = ORACLE_Dicc(SentenciaSQL);
        },
        [&] { lrcs.Open(texto, Conexionactiva ? Conexionactiva : &gCnn, CursorType, LockType, Options); },
    };
    EjecutarPasos(pasos, [&](const KvError& error) -> int {
        const bool perdida =
            error.numero == adoerr::FalloNoEspecificado || error.numero == adoerr::ConexionNoUsable;
        // A connection already closed is as lost as one that fails: it has no
        // provider error of its own to show, so the closed state counts too. One
        // that never opened (a store that is not there) was not lost: its error
        // goes to the treatment.
        if (perdida && gCnn.AbiertaAlgunaVez() && (gCnn.Errors().Count() >= 1 || gCnn.State() == ado::Cerrado)) {
            ReintentaConectar();
            while (!gOpenFlag) {
                ReintentaConectar();
                if (gOpenFlag) break;
                const int r = kv::interaccion().Mensaje(
                    MensajeConexionPerdida(), estilo::SiNo + estilo::Critico, kTituloConexionPerdida);
                if (r != respuesta::Si) {
                    Terminar();
                    return respuesta::Anular;
                }
            }
            ++intentos;
            if (intentos < 3) return respuesta::Reintentar;
        }
        return TratamientoErrores(error, std::nullopt, QStringLiteral("AbrirRecordset"));
    });
}

void DB_Dll::CierraRecordset(Recordset& LrcsTemp) {
    const std::vector<PasoAtrapado> pasos = {
        [&] {
            if (LrcsTemp.State() != ado::Cerrado) LrcsTemp.Close();
        },
    };
    EjecutarPasos(pasos, [&](const KvError& error) -> int {
        if (error.numero == adoerr::OperacionNoPermitida) {
            // Not allowed in this context: from here on failures are ignored.
            try {
                if (LrcsTemp.State() != ado::Cerrado) LrcsTemp.Close();
            } catch (...) {
            }
            return respuesta::Omitir;
        }
        return TratamientoErrores(error, std::nullopt, QStringLiteral("CierraRecordset"));
    });
}

}  // namespace kv::db
