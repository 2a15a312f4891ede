#include "core/Inicio.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QStyle>
#include <QStyleFactory>
#include <QWidget>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "core/Ajustes.h"
#include "core/Configuracion.h"
#include "core/Errores.h"
#include "core/LineaComandos.h"
#include "core/Numeros.h"
#include "core/Sentencias.h"
#include "core/Utilidades.h"
#include "db/DB_Dll.h"
#include "util/Interaccion.h"
#include "util/UtilRutas.h"

static void RegistrarRecursosEstilos() {
    static const bool registrado = [] {
        Q_INIT_RESOURCE(estilos);
        return true;
    }();
    (void)registrado;
}

namespace kv::core {

using kv::db::DB_Dll;

namespace {
void TerminarProceso() {
    // Ends at once, but no session is left to the static objects' destructors.
    CerrarConexiones();
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(1);
}

std::function<void()>& Terminacion() {
    static std::function<void()> terminar = TerminarProceso;
    return terminar;
}

// Seconds of the stored time-out: its leading number, rounded; 0 when it has none
// or it does not fit.
int TiempoConfigurado(const QString& valor) {
    const double numero = std::round(NumeroInicial(valor));
    if (!std::isfinite(numero) || numero < std::numeric_limits<int>::min() ||
        numero > std::numeric_limits<int>::max())
        return 0;
    return static_cast<int>(numero);
}

// Error 5 (a bad argument) goes on with the next step; anything else ends start-up quietly.
int ManejadorInicio(const KvError& error) {
    return error.numero == 5 ? respuesta::Omitir : respuesta::Anular;
}
}  // namespace

void EstablecerTerminacionInicio(std::function<void()> terminar) {
    Terminacion() = terminar ? std::move(terminar) : std::function<void()>(TerminarProceso);
}

QString ClaveEstadisticas() {
    const QString codificada =
        LeerIni(QString::fromLatin1(kArchivoIni), QString::fromLatin1(kSeccionIniAlmacen),
                QString::fromLatin1(kClaveIniAlmacen), QString());
    const QString clave = codificada.trimmed().isEmpty() ? QString() : Decodificar(codificada.trimmed());
    return clave.isEmpty() ? QString::fromLatin1(kClaveEstadisticas) : clave;
}

QString CarpetaAplicacion() { return NormalizarCarpeta(kv::UtilRutas::CarpetaPorDefecto()); }

bool IniciarSistema(bool usarAjustesGuardados, const QString& lineaComandos, QString& cadenaConexion,
                    qint32 ubicacionCursor) {
    AjustesSistema& a = Ajustes();
    DB_Dll& principal = DB_Dll::Principal();
    QString texto;
    ParametrosLinea linea;
    bool saltarAlFinal = false;
    bool terminado = false;

    const std::vector<PasoAtrapado> pasos = {
        [&] {
            a.carpetaAplicacion = CarpetaAplicacion();
            a.archivoAyuda = a.carpetaAplicacion + QString::fromLatin1(kArchivoAyuda);
        },
        [&] {
            texto = lineaComandos;
            if (texto.isEmpty()) texto = TextoLineaComandos(QCoreApplication::arguments().mid(1));
        },
        [&] {
            if (!usarAjustesGuardados || !texto.trimmed().isEmpty()) return;
            const QString ini = QString::fromLatin1(kArchivoIni);
            const QString seccion = NombreMaquina().toUpper() + QLatin1Char('|') + NombreUsuario().toUpper() +
                                    QStringLiteral("BaseDeDatos");
            QString servidor = LeerIni(ini, seccion, QStringLiteral("Servidor"), QString());
            QString base = LeerIni(ini, seccion, QStringLiteral("DbName"), QString());
            QString usuario = Decodificar(
                LeerIni(ini, seccion, QStringLiteral("Usuario"), Codificar(QStringLiteral("Korvane"))));
            QString clave = Decodificar(
                LeerIni(ini, seccion, QStringLiteral("UserPassWord"), Codificar(QStringLiteral("pelumbo"))));
            for (QString* valor : {&servidor, &base, &usuario, &clave}) valor->remove(QLatin1Char('|'));
            texto = LineaDesdeAjustesGuardados(servidor, base, usuario, clave);
        },
        [&] {
            a.claveEstacion = ClaveEstacion(NombreMaquina(), NombreUsuario());
            a.barrasPlanas =
                static_cast<int>(NumeroInicial(LeerIni(QString::fromLatin1(kArchivoIni), a.claveEstacion,
                                                       QStringLiteral("FlatToolbars"), QStringLiteral("1"))));
        },
        [&] { saltarAlFinal = principal.gOpenFlag; },
        [&] {
            if (saltarAlFinal) return;
            linea = AnalizarLineaComandos(texto);
            a.parametroAdicional = linea.parametroAdicional;
            a.menu = linea.menu;
            a.usuarioLogeado = linea.usuarioLogeado;
            a.caja = linea.caja;
        },
        [&] {
            if (saltarAlFinal) return;
            AplicarMarcaOracle(linea.servidor, cadenaConexion, linea.base, linea.usuario, linea.clave);
        },
        [&] {
            if (saltarAlFinal) return;
            principal.gUsuario = linea.usuario;
            principal.gDBName = linea.base;
            principal.gUserPassWord = linea.clave;
            principal.gServidor = NormalizarServidor(linea.servidor);
        },
        [&] {
            if (saltarAlFinal) return;
            const bool pideParametros =
                linea.servidor.trimmed().isEmpty() || linea.usuario.trimmed().isEmpty();
            principal.OpenServerADODB(pideParametros, ubicacionCursor, cadenaConexion, true, true);
        },
        [&] {
            if (saltarAlFinal || principal.gOpenFlag) return;
            terminado = true;
            Terminacion()();
            // Only reached when the caller replaced the termination (tests).
            throw KvExcepcion(0, QString());
        },
        [&] {
            if (saltarAlFinal) return;
            ConectarEstadisticas();
            a.usuarioLogeado = principal.gUsuario;
            principal.gCnn.SetCommandTimeout(a.tiempoConsulta);
            principal.gCnn.SetIsolationLevel(kv::db::ado::LecturaNoConfirmada);
        },
        [&] {
            if (principal.gDBName.isEmpty()) return;
            kv::UtilRutas::Carpeta(a.carpetaAplicacion);
            principal.gCnn.SetDefaultDatabase(principal.gDBName);
            AjustesConsulta& consultas = AjustesConsultas();
            consultas.gConnString = principal.gConnString;
            consultas.gUsarMascarasConsultas = true;
            consultas.gRutaMascaraConsultas = a.carpetaAplicacion + QString::fromLatin1(kArchivoConsultas);
            // A program folder the user cannot write to (an installed copy) only leaves
            // the lookups without their default definitions; the configuration and
            // the access record that follow must not be lost for it.
            if (!QFileInfo(consultas.gRutaMascaraConsultas).isFile()) {
                try {
                    GrabarConsultasBase();
                } catch (const KvExcepcion&) {
                }
            }
        },
        [&] {
            if (principal.gDBName.isEmpty()) return;
            principal.gCnn.SetDefaultDatabase(principal.gDBName);
            CargarConfiguracion(a.carpetaAplicacion);
        },
        [&] { RegistrarAcceso(QString()); },
    };
    try {
        EjecutarPasos(pasos, ManejadorInicio);
    } catch (...) {
    }
    if (terminado) return false;
    return principal.gOpenFlag;
}

void CerrarConexiones() {
    for (DB_Dll* base : {&BaseEstadisticas(), &DB_Dll::Principal()}) {
        try {
            if (base->gCnn.State() != 0) base->gCnn.Close();
        } catch (...) {
        }
        base->gOpenFlag = false;
    }
    DB_Dll::DescartarPrincipal();
}

void ConectarEstadisticas() {
    AjustesSistema& a = Ajustes();
    DB_Dll& principal = DB_Dll::Principal();
    DB_Dll& estadisticas = BaseEstadisticas();
    bool abierta = false;
    int tiempo = 0;
    const std::vector<PasoAtrapado> pasos = {
        [&] { a.tiempoConsulta = kTiempoConsultaDefecto; },
        [&] {
            if (estadisticas.gCnn.State() != 0) estadisticas.gCnn.Close();
        },
        [&] {
            estadisticas.gProveedor = DB_Dll::pSQLOLEDB();
            estadisticas.gServidor = principal.gServidor;
            estadisticas.gDBName = QString::fromLatin1(kBaseEstadisticas);
            estadisticas.gUsuario = QString::fromLatin1(kUsuarioEstadisticas);
            estadisticas.gUserPassWord = ClaveEstadisticas();
        },
        [&] { estadisticas.OpenServerADODB(false, 3, QString(), true, false); },
        [&] { abierta = estadisticas.gOpenFlag; },
        [&] {
            if (abierta) estadisticas.gCnn.SetDefaultDatabase(QString::fromLatin1(kBaseEstadisticas));
        },
        [&] {
            // Any positive number of seconds is kept, also one beyond 32767.
            if (abierta) tiempo = TiempoConfigurado(CfgKV(QStringLiteral("TimeOut")));
        },
        [&] {
            if (abierta && tiempo == 0)
                GrabaCfgKV(QStringLiteral("TimeOut"), QStringLiteral("0"), QString(), false,
                           QStringLiteral("BaseDeDatos"), true);
        },
        [&] {
            if (abierta) a.tiempoConsulta = tiempo <= 0 ? kTiempoConsultaDefecto : tiempo;
        },
    };
    try {
        EjecutarPasos(pasos, [](const KvError&) { return respuesta::Omitir; });
    } catch (...) {
    }
}

Piel PielPara(int numero) {
    switch (numero) {
        case 1:
            return {1, QStringLiteral("Styles/Vista.cjstyles"), QString(), QStringLiteral("Fusion"),
                    QStringLiteral(":/estilos/vista.qss")};
        case 2:
            return {2, QStringLiteral("Styles/WinXP.Luna.cjstyles"), QString(), QStringLiteral("Fusion"),
                    QStringLiteral(":/estilos/luna.qss")};
        case 3:
            return {3, QStringLiteral("Styles/WinXP.Royale.cjstyles"), QString(), QStringLiteral("Fusion"),
                    QStringLiteral(":/estilos/royale.qss")};
        case 4:
            return {4, QStringLiteral("Styles/iTunes"), QStringLiteral("Normalitunes.ini"),
                    QStringLiteral("Fusion"), QStringLiteral(":/estilos/itunes.qss")};
        default:
            return {numero, QStringLiteral("Styles/Office2007.cjstyles"), QString(), QStringLiteral("Fusion"),
                    QStringLiteral(":/estilos/office2007.qss")};
    }
}

bool AplicarPiel(QWidget& ventana, const Piel& piel) {
    RegistrarRecursosEstilos();
    QFile hoja(piel.hojaEstilo);
    const bool cargada = !piel.hojaEstilo.isEmpty() && hoja.open(QIODevice::ReadOnly);
    if (!cargada) {
        // The window keeps the default look rather than failing to load.
        ventana.setStyleSheet(QString());
        return false;
    }
    if (QStyle* estilo = QStyleFactory::create(piel.estiloQt)) {
        estilo->setParent(&ventana);
        ventana.setStyle(estilo);
    }
    ventana.setStyleSheet(QString::fromUtf8(hoja.readAll()));
    ventana.setProperty("piel", piel.numero);
    return true;
}

void AplicarEstilo(QWidget& ventana) {
    AjustesSistema& a = Ajustes();
    const QString seccion = NombreUsuario().toUpper() + QStringLiteral("Styles");
    a.estiloPiel = NumeroCorto(
        LeerIni(QString::fromLatin1(kArchivoIniPiel), seccion, QStringLiteral("Styles"), QStringLiteral("1")),
        1);
    AplicarPiel(ventana, PielPara(a.estiloPiel));
}

void ConfigurarVentana(QWidget& ventana) {
    RegistrarRecursosEstilos();
    const std::vector<PasoAtrapado> pasos = {
        [&] {
            QIcon icono(QStringLiteral(":/estilos/ICONKORVANE.png"));
            if (icono.isNull()) icono = QIcon(CarpetaAplicacion() + QStringLiteral("korvane.ico"));
            ventana.setWindowIcon(icono);
        },
        [&] {
            const QString tipo = QString::fromLatin1(ventana.metaObject()->className());
            if (tipo.compare(QLatin1String("FRMMDI"), Qt::CaseInsensitive) == 0 ||
                ventana.objectName().compare(QLatin1String("FRMMDI"), Qt::CaseInsensitive) == 0)
                return;
            for (const char* nombre : {"UtilNet1", "TBarRep1", "Util0011"}) {
                if (QObject* control = ventana.findChild<QObject*>(QString::fromLatin1(nombre)))
                    control->setProperty("StyleBar", Ajustes().barrasPlanas);
            }
        },
        [&] { interaccion().ProcesarEventos(); },
    };
    EjecutarPasos(pasos, [](const KvError&) { return respuesta::Omitir; });
}

}  // namespace kv::core
