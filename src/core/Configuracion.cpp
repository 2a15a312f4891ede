#include "core/Configuracion.h"

#include <QDateTime>
#include <QTime>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "core/Ajustes.h"
#include "core/Errores.h"
#include "core/Numeros.h"
#include "core/Sentencias.h"
#include "core/Utilidades.h"
#include "db/DB_Dll.h"
#include "db/TextoSQL.h"

namespace kv::core {

using kv::db::DB_Dll;
using kv::db::Recordset;

DB_Dll& BaseEstadisticas() {
    static DB_Dll base;
    return base;
}

namespace {
QString TablaConfiguracion() {
    QString& tabla = Ajustes().tablaConfiguracion;
    if (tabla.trimmed().isEmpty()) tabla = QString::fromLatin1(kTablaConfiguracionDefecto);
    return tabla;
}

// Every failure ignored: the next step runs.
int IgnorarFallo(const KvError&) { return respuesta::Omitir; }

// The readers go on after Ignore and leave on any other answer (Retry included).
ManejadorError ManejadorLector(const QString& rutina) {
    return [rutina](const KvError& error) {
        const int r = GTratamientoErrores(error, kBotonesError, rutina);
        return r == respuesta::Omitir ? respuesta::Omitir : respuesta::Anular;
    };
}

QString LeerClave(DB_Dll& base, const QString& clave, QString* valorAux, const QString& rutina) {
    QString valor;
    QString auxiliar;
    Recordset rs;
    QString sentencia;
    const bool completo =
        EjecutarPasos({
                          [&] { sentencia = SentenciaLeerClave(TablaConfiguracion(), clave); },
                          [&] { base.AbrirRecordset(sentencia, rs, nullptr, 0, 1); },
                          [&] {
                              if (rs.BOF()) {
                                  valor = QStringLiteral(" ");
                                  auxiliar.clear();
                              } else {
                                  valor = SinNulo(rs.Valor(QStringLiteral("Valor")));
                                  auxiliar = SinNulo(rs.Valor(QStringLiteral("ValorAux")));
                              }
                          },
                          [&] { base.CierraRecordset(rs); },
                          [&] {
                              if (clave.compare(QLatin1String("THEME"), Qt::CaseInsensitive) == 0 &&
                                  valor.trimmed().isEmpty())
                                  valor = QStringLiteral("1");
                          },
                      },
                      ManejadorLector(rutina));
    if (!completo) {
        try {
            if (rs.State() != 0) rs.Close();
        } catch (...) {
        }
        if (valorAux) *valorAux = QString();
        return QString();
    }
    if (valorAux) *valorAux = auxiliar;
    return valor;
}
}  // namespace

QString SentenciaLeerClave(const QString& tabla, const QString& clave) {
    const QString recortada = clave.trimmed();
    QString sentencia = QStringLiteral("SELECT VALOR, valoraux FROM ") + tabla +
                        QStringLiteral(" with(nolock)  WHERE CLAVE = '") +
                        kv::db::DuplicarApostrofes(recortada) + QStringLiteral("'");
    if (recortada.compare(QLatin1String("[FECHA DESDE]"), Qt::CaseInsensitive) == 0 ||
        recortada.compare(QLatin1String("[FECHA HASTA]"), Qt::CaseInsensitive) == 0)
        sentencia = sentencia.toUpper();
    return sentencia;
}

QString Cfg(const QString& clave, QString* valorAux) {
    DB_Dll& base = DB_Dll::Principal();
    if (!base.gOpenFlag) {
        if (valorAux) *valorAux = QString();
        return QString();
    }
    return LeerClave(base, clave, valorAux, QStringLiteral("Cfg"));
}

QString CfgKV(const QString& clave, QString* valorAux) {
    return LeerClave(BaseEstadisticas(), clave, valorAux, QStringLiteral("CfgKV"));
}

void GrabaCfgKV(const QString& clave, const QString& valor, const QString& valorAux, bool politicaNegocio,
                const QString& grupo, bool recortarValor) {
    try {
        DB_Dll& base = BaseEstadisticas();
        Recordset rs;
        QString sentencia;
        EjecutarPasos(
            {
                [&] {
                    sentencia = QStringLiteral("SELECT * FROM ") + TablaConfiguracion() +
                                QStringLiteral(" with(nolock)  WHERE CLAVE = '") +
                                kv::db::DuplicarApostrofes(clave.trimmed()) + QStringLiteral("'");
                },
                // Looked up by the key as it is stored (trimmed), so a padded key
                // updates its row instead of failing on a second one.
                [&] { base.AbrirRecordset(sentencia, rs, &base.gCnn, 2, 3); },
                [&] {
                    if (rs.BOF() && rs.EOF_())
                        rs.AddNew();
                    else
                        rs.MoveFirst();
                },
                [&] { rs.Asignar(QStringLiteral("Grupo"), grupo); },
                [&] { rs.Asignar(QStringLiteral("Clave"), clave.trimmed().toUpper()); },
                [&] { rs.Asignar(QStringLiteral("Valor"), recortarValor ? valor.trimmed() : valor); },
                [&] { rs.Asignar(QStringLiteral("PoliticaNegocio"), politicaNegocio); },
                [&] {
                    if (!valorAux.isEmpty()) rs.Asignar(QStringLiteral("ValorAux"), valorAux.trimmed());
                },
                [&] { rs.Update(); },
                [&] { base.CierraRecordset(rs); },
            },
            IgnorarFallo);
    } catch (...) {
    }
}

bool BanderaSI(const QString& valor) { return valor.compare(QLatin1String("SI"), Qt::CaseInsensitive) == 0; }

bool BanderaSIRecortada(const QString& valor) { return BanderaSI(valor.trimmed()); }

bool BanderaNOApaga(const QString& valor) {
    if (valor.trimmed().isEmpty()) return false;
    return valor.compare(QLatin1String("NO"), Qt::CaseInsensitive) != 0;
}

bool BanderaNoNO(const QString& valor) {
    return valor.trimmed().compare(QLatin1String("NO"), Qt::CaseInsensitive) != 0;
}

qint16 NumeroCorto(const QString& valor, qint16 siFalla) {
    const double numero = std::round(NumeroInicial(valor));
    if (numero < std::numeric_limits<qint16>::min() || numero > std::numeric_limits<qint16>::max())
        return siFalla;
    return static_cast<qint16>(numero);
}

qint64 Importe4(const QString& valor) {
    const double numero = TextoANumero(valor.trimmed());
    if (!std::isfinite(numero) || std::fabs(numero) > 9.0e14) return 0;
    return std::llround(numero * 10000.0);
}

qint32 Color(const QString& valor) {
    const double numero = std::round(TextoANumero(valor));
    if (!std::isfinite(numero) || numero < std::numeric_limits<qint32>::min() ||
        numero > std::numeric_limits<qint32>::max())
        return 0;
    return static_cast<qint32>(numero);
}

void CargarConfiguracion(const QString& carpeta) {
    AjustesSistema& a = Ajustes();
    try {
        const std::vector<PasoAtrapado> pasos = {
            [] { std::srand(static_cast<unsigned>(QTime::currentTime().msecsSinceStartOfDay())); },
            [&] { a.tablaConfiguracion = QStringLiteral("ta_configuracion"); },
            [&] {
                a.mostrarStockEnConsultas =
                    BanderaSI(SinNulo(Cfg(QStringLiteral("MostrarStockenConsultas"))));
            },
            [&] { a.tituloClientes = Cfg(QStringLiteral("TituloClientes")).trimmed(); },
            [&] { a.tituloProveedores = Cfg(QStringLiteral("TituloProveedores")).trimmed(); },
            [&] { a.archivoTareas = carpeta + QStringLiteral("KVDOCTareas.krv"); },
            [&] {
                a.exigeClaveConsultaLikeArticulos =
                    BanderaSI(Cfg(QStringLiteral("EXIGECLAVECONSULTALIKEARTICULOS")));
            },
            [&] { a.usaConsultaLike = BanderaSI(Cfg(QStringLiteral("UsaConsultaLike"))); },
            [&] { a.cantidadDecimales = Cfg(QStringLiteral("CantidadDecimales")); },
            [&] {
                a.confidencialidad = BanderaSI(Cfg(QStringLiteral("SS_CONFIDENCIALIDAD")));
                DB_Dll::EstablecerConfidencialidad(a.confidencialidad);
            },
            // CantidadDecimalesVentas is read only by the suite's sales-entry programs.
            [&] { a.usaMultiplesMonedas = BanderaSI(Cfg(QStringLiteral("UsaMultilesMonedas"))); },
            [&] { a.usaFacturaProforma = BanderaSI(Cfg(QStringLiteral("UsaFacturaProforma"))); },
            [&] { a.usaCentroCosto = BanderaSI(Cfg(QStringLiteral("USACCOSTO"))); },
            [&] { a.usaStockUnidadKg = BanderaSI(Cfg(QStringLiteral("USA_STK_STOCK_UDKG"))); },
            [&] {
                // The user's own options.
                if (a.usuarioActual.isEmpty()) a.usuarioActual = DB_Dll::Principal().gUsuario;
                DB_Dll& base = DB_Dll::Principal();
                Recordset rs;
                QString sentencia =
                    QStringLiteral("Select * from ta_usuarios  with(nolock)  where Nombre = '") +
                    kv::db::DuplicarApostrofes(a.usuarioActual) + QStringLiteral("'");
                EjecutarPasos({
                                  [&] { base.AbrirRecordset(sentencia, rs, nullptr, 0, 1); },
                                  [&] {
                                      if (rs.State() != 0 && !rs.EOF_()) {
                                          a.unidadNegocio = SinNulo(rs.Valor(QStringLiteral("UNegocio")));
                                          if (a.usaFacturaProforma) {
                                              const QVariant proforma =
                                                  rs.Valor(QStringLiteral("verproforma"));
                                              a.usaFacturaProforma = !proforma.isNull() && proforma.toBool();
                                          }
                                      }
                                  },
                                  [&] { base.CierraRecordset(rs); },
                              },
                              IgnorarFallo);
                if (a.unidadNegocio.isEmpty()) a.unidadNegocio = QStringLiteral("   1");
            },
            [&] { a.unidadMedidaM3 = Cfg(QStringLiteral("UNIDADDEMEDIDA_M3")).trimmed(); },
            [&] { a.unidadMedidaBL = Cfg(QStringLiteral("UNIDADDEMEDIDA_BL")).trimmed(); },
            [&] { a.unidadMedidaKG = Cfg(QStringLiteral("UNIDADDEMEDIDA_KG")).trimmed(); },
            [&] { a.periodo = NumeroCorto(Cfg(QStringLiteral("PERIODO"))); },
            [&] { a.razonSocialPorUnidad = BanderaSIRecortada(Cfg(QStringLiteral("RazonSocialPorUneg"))); },
            [&] { a.validaCodigoBarra = BanderaSIRecortada(Cfg(QStringLiteral("VALIDACODIGOBARRA"))); },
            [&] {
                a.colorFondo = Color(Cfg(QStringLiteral("CFondo")));
                if (a.colorFondo == 0) a.colorFondo = 16776960;
            },
            [&] { a.colorLetra = Color(Cfg(QStringLiteral("CLetra"))); },
            [&] { a.moduloOrdenDeTrabajo = BanderaNoNO(Cfg(QStringLiteral("ModuloOrdenDeTrabajo"))); },
            [&] { a.ventasModificaPrecio = BanderaNOApaga(Cfg(QStringLiteral("V_ModificaCPrecio"))); },
            [&] { a.comprasModificaPrecio = BanderaNOApaga(Cfg(QStringLiteral("C_ModificaCPrecio"))); },
            [&] { a.maderera = BanderaNOApaga(Cfg(QStringLiteral("MADERERA"))); },
            [&] { a.madTiras = Cfg(QStringLiteral("MAD_TIRAS")).trimmed(); },
            [&] { a.madP2 = Cfg(QStringLiteral("MAD_P2")).trimmed(); },
            [&] { a.madML = Cfg(QStringLiteral("MAD_ML")).trimmed(); },
            [&] { a.madM2 = Cfg(QStringLiteral("MAD_M2")).trimmed(); },
            [&] { a.madHojas = Cfg(QStringLiteral("MAD_HOJAS")).trimmed(); },
            [&] { a.madMLP2 = Cfg(QStringLiteral("MAD_ML_P2")).trimmed(); },
            [&] { a.madM2P2 = Cfg(QStringLiteral("MAD_M2_P2")).trimmed(); },
            [&] { a.madMLM2 = Cfg(QStringLiteral("MAD_ML_M2")).trimmed(); },
            [&] { a.cuentaCentroDistribucion = Cfg(QStringLiteral("CuentaCtroDist")).trimmed(); },
            [&] { a.maxDto = Importe4(Cfg(QStringLiteral("MaxDto"))); },
            [&] { a.maxDtoProforma = Importe4(Cfg(QStringLiteral("MaxDtoProforma"))); },
            [&] { a.pideClaveStockNegativo = BanderaNOApaga(Cfg(QStringLiteral("PideClave_StockNeg"))); },
            [&] { a.pideClaveMarkUpBase = BanderaNOApaga(Cfg(QStringLiteral("PideClave_MarkUpBase"))); },
            [&] {
                a.pideClaveLimiteCredito = BanderaNOApaga(Cfg(QStringLiteral("PideClave_LimiteCredito")));
            },
            [&] { a.bloqueoActivo = BanderaSI(Cfg(QStringLiteral("SS_BloqueoActivo"))); },
            [&] { a.utilizarFechaDia = BanderaSI(Cfg(QStringLiteral("UTILIZARFECHADIA"))); },
            [&] {
                a.asignacionAutomaticaLoteIng =
                    BanderaSI(Cfg(QStringLiteral("AsignacionAutomaticaDeLoteING")));
            },
            [&] {
                a.asignacionAutomaticaLoteIngOP =
                    BanderaSI(Cfg(QStringLiteral("AsignacionAutomaticaDeLoteINGOP")));
            },
            [&] {
                a.condicionIvaEmpresa = NumeroCorto(Cfg(QStringLiteral("CONDIVAEMPRESA")));
                if (a.condicionIvaEmpresa == 0)
                    a.condicionIvaEmpresa = NumeroCorto(Cfg(QStringLiteral("CONDIVA")));
                if (a.condicionIvaEmpresa == 0) a.condicionIvaEmpresa = 1;
            },
            [&] {
                a.topDefault = Cfg(QStringLiteral("Top_Default"));
                if (a.topDefault.trimmed().isEmpty()) a.topDefault = QStringLiteral("1000");
            },
        };
        EjecutarPasos(pasos, IgnorarFallo);
    } catch (...) {
    }
}

QString SentenciaTareaUsuario(const QString& usuario, const QString& proceso) {
    return QStringLiteral("SELECT TA_TAREAS.USUARIO, TA_MENU.Proceso, TA_MENU.Clave , TA_MENU.Nombre ") +
           QStringLiteral(
               " FROM TA_TAREAS  with(nolock) INNER JOIN TA_MENU ON TA_TAREAS.TAREA = TA_MENU.Clave ") +
           QStringLiteral(" WHERE (TA_TAREAS.USUARIO = '") + kv::db::DuplicarApostrofes(usuario) +
           QStringLiteral(" ') AND (TA_MENU.Proceso LIKE '%") + kv::db::DuplicarApostrofes(proceso) +
           QStringLiteral("%')");
}

void RegistrarAcceso(const QString& procesoPedido) {
    try {
        AjustesSistema& a = Ajustes();
        DB_Dll& base = DB_Dll::Principal();
        const QString ejecutable = DB_Dll::NombreProceso();
        QString proceso;
        QString tarea;
        Recordset rs;
        QStringList sentencias;
        EjecutarPasos(
            {
                [&] { proceso = procesoPedido.isEmpty() ? ejecutable : procesoPedido; },
                [&] { a.usuarioActual = base.gUsuario; },
                [&] {
                    QString sentencia = AdaptarSentencia(SentenciaTareaUsuario(a.usuarioActual, proceso));
                    base.AbrirRecordset(sentencia, rs, nullptr, 0, 1);
                },
                [&] {
                    if (rs.State() != 0 && !rs.EOF_()) {
                        tarea = SinNulo(rs.Valor(QStringLiteral("Nombre")));
                    } else if (base.gDBName.compare(a.usuarioActual, Qt::CaseInsensitive) == 0 ||
                               a.usuarioActual.compare(QLatin1String(kSupervisor), Qt::CaseInsensitive) ==
                                   0) {
                        tarea = ejecutable;
                    } else {
                        tarea.clear();
                    }
                },
                [&] { base.CierraRecordset(rs); },
                [&] {
                    ListaCampos campos;
                    QString valor = NombreMaquina().trimmed().toUpper();
                    AgregarCampo(campos, QStringLiteral("Maquina"), valor, QStringLiteral("'"), true);
                    valor = a.usuarioActual.trimmed().toUpper();
                    AgregarCampo(campos, QStringLiteral("Usuario"), valor, QStringLiteral("'"), false);
                    valor = proceso.trimmed().toUpper();
                    AgregarCampo(campos, QStringLiteral("Formulario"), valor, QStringLiteral("'"), false);
                    valor = tarea.trimmed().toUpper();
                    AgregarCampo(campos, QStringLiteral("Tarea"), valor, QStringLiteral("'"), false);
                    valor = QDateTime::currentDateTime().toString(FormatoFechaHoraQt());
                    AgregarCampo(campos, QStringLiteral("Ingreso"), valor, QStringLiteral("'"), false);
                    valor = a.usuarioActual;
                    AgregarCampo(campos, QStringLiteral("NombreUsuario"), valor, QStringLiteral("'"), false);
                    QString condicion;
                    sentencias.clear();
                    ArmarSentencia(campos, sentencias, QString::fromLatin1(kTablaAccesos), false, condicion,
                                   false);
                },
                [&] {
                    ResultadoScript resultado;
                    GActualizarDatoScript(sentencias, resultado, false, false, true);
                },
            },
            IgnorarFallo);
    } catch (...) {
    }
}

}  // namespace kv::core
