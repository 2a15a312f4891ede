#include "localserver/ServidorEmbebido.h"

#include <malloc.h>

#include <mutex>

#include "localserver/Catalogo.h"
#include "localserver/Errores.h"
#include "localserver/Seguridad.h"
#include "localserver/SesionEmbebida.h"
#include "localserver/procedimientos/ReconsEstv.h"
#include "localserver/rapida/RutaAgregacion.h"

namespace kv::local {

namespace {

kv::db::ErrorBD ErrorInicio(int numero, const QString& mensaje, const char* estadoSQL) {
    kv::db::ErrorBD e;
    e.errorNativo = numero;
    e.descripcion = mensaje;
    e.estadoSQL = QString::fromLatin1(estadoSQL);
    e.origen = QStringLiteral("Microsoft OLE DB Provider for SQL Server");
    return e;
}

}  // namespace

bool ProveedorEmbebido::Atiende(const kv::db::ParametrosConexion& parametros) const {
    const QString proveedor = parametros.Proveedor().trimmed();
    if (!proveedor.isEmpty() && proveedor.compare(QLatin1String("SQLOLEDB"), Qt::CaseInsensitive) != 0 &&
        !proveedor.startsWith(QLatin1String("SQLOLEDB."), Qt::CaseInsensitive))
        return false;
    return parametros.Servidor().trimmed().compare(QLatin1String(NombreServidorEmbebido),
                                                   Qt::CaseInsensitive) == 0;
}

std::unique_ptr<kv::db::Sesion> ProveedorEmbebido::Abrir(const kv::db::ParametrosConexion& parametros, int) {
    // A connection made in this process comes from this machine.
    SolicitudInicio solicitud;
    solicitud.login = parametros.Usuario();
    solicitud.clave = parametros.Clave();
    solicitud.base = parametros.Base();
    solicitud.remota = false;
    return AbrirSesionEmbebida(solicitud);
}

std::unique_ptr<kv::db::Sesion> AbrirSesionEmbebida(const SolicitudInicio& solicitud) {
    const QString& login = solicitud.login;
    const QString& clave = solicitud.clave;
    std::unique_ptr<Catalogo> catalogo;
    try {
        catalogo = std::make_unique<Catalogo>(CarpetaServidor());
    } catch (const ErrorServidor& e) {
        throw kv::db::ErrorProveedor(ErrorInicio(e.numero(), e.mensaje(), estado::ConexionPerdida));
    }
    std::optional<InfoLogin> info;
    try {
        info = catalogo->Login(login);
        // An unknown login and a wrong password answer alike (18456).
        if (!catalogo->Autenticar(info ? info->nombre : login, clave)) info.reset();
    } catch (const ErrorServidor& e) {
        // A damaged catalog is reported as damage, never as a failed login.
        throw kv::db::ErrorProveedor(ErrorInicio(e.numero(), e.mensaje(), estado::ConexionPerdida));
    }
    if (!info)
        throw kv::db::ErrorProveedor(
            ErrorInicio(err::InicioSesion, msj::InicioSesion(login), estado::InicioSesion));
    bool deshabilitado = false;
    try {
        deshabilitado = LoginDeshabilitado(*catalogo, info->nombre);
    } catch (const ErrorServidor& e) {
        throw kv::db::ErrorProveedor(ErrorInicio(e.numero(), e.mensaje(), estado::ConexionPerdida));
    }
    if (deshabilitado)
        throw kv::db::ErrorProveedor(ErrorInicio(
            LoginDeshabilitadoNumero, MensajeLoginDeshabilitado(info->nombre), estado::InicioSesion));
    if (const auto rechazo = RechazoDeInicio(solicitud))
        throw kv::db::ErrorProveedor(
            ErrorInicio(rechazo->numero(), rechazo->mensaje(), estado::InicioSesion));

    QString base = solicitud.base.trimmed();
    if (base.isEmpty()) base = info->baseDefecto;
    std::optional<QString> canonica;
    try {
        canonica = catalogo->Base(base);
        if (canonica && !catalogo->PuedeUsar(info->nombre, *canonica)) canonica.reset();
    } catch (const ErrorServidor& e) {
        throw kv::db::ErrorProveedor(ErrorInicio(e.numero(), e.mensaje(), estado::ConexionPerdida));
    }
    if (!canonica)
        throw kv::db::ErrorProveedor(std::vector<kv::db::ErrorBD>{
            ErrorInicio(err::BaseInaccesible, msj::BaseInaccesible(base), estado::BaseInexistente),
            ErrorInicio(err::InicioSesion, msj::InicioSesion(login), estado::InicioSesion)});
    auto sesion = std::make_unique<SesionEmbebida>(std::move(catalogo), info->nombre, *canonica);
    try {
        sesion->Base(*canonica);
    } catch (const ErrorServidor& e) {
        throw kv::db::ErrorProveedor(ErrorInicio(e.numero(), e.mensaje(), estado::BaseInexistente));
    }
    return sesion;
}

void RegistrarServidorEmbebido() {
    static std::once_flag una;
    std::call_once(una, [] {
        kv::db::RegistrarProveedor(std::make_shared<ProveedorEmbebido>());
        // The statistics rebuild every company database answers to.
        RegistrarReconsEstv();
        // Statistic loads answered by hash aggregation over the table's columnar form.
        rapida::RegistrarRutaAgregacion();
        // The server's work comes in large blocks (a load's arrays and rows, a
        // rebuild's groups) that one statement frees and the next one asks for
        // again. Kept in the process instead of handed back to the system at
        // once, they are not faulted in and zeroed page by page each time,
        // which costs more than the work itself on some machines (about
        // 0.7 ms per megabyte). The process's peak stays what the work needs.
        mallopt(M_MMAP_THRESHOLD, 256 << 20);
        mallopt(M_TRIM_THRESHOLD, 256 << 20);
    });
}

}  // namespace kv::local
