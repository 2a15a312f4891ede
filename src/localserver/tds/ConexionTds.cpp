#include "localserver/tds/ConexionTds.h"

#include "localserver/Seguridad.h"

#include <poll.h>

#include <QDateTime>
#include <QRegularExpression>
#include <algorithm>
#include <atomic>
#include <functional>
#include <optional>
#include <thread>

#include "localserver/Errores.h"
#include "localserver/ServidorEmbebido.h"
#include "localserver/SesionEmbebida.h"
#include "localserver/tds/Parametros.h"
#include "localserver/tds/Seguridad.h"
#include "localserver/tds/ServidorTds.h"

namespace kv::tds {

namespace {

// Rows between two looks for a client's attention while a result is sent.
constexpr int kFilasPorVistazo = 64;
// SQL Server's numbers for what the endpoint itself reports.
constexpr int kErrorMemoria = 701;
constexpr int kErrorProtocolo = 4002;
constexpr int kPreparadaInexistente = 8179;
constexpr int kCambioBase = 5701;
constexpr int kCambioIdioma = 5703;

QByteArray Descriptor(std::uint64_t id) {
    Escritor e;
    e.U64(id);
    return e.Datos();
}

QString NombreProcedimiento(const LlamadaRpc& c) {
    switch (c.id) {
        case procedimiento::ExecuteSql:
            return QStringLiteral("sp_executesql");
        case procedimiento::Prepare:
            return QStringLiteral("sp_prepare");
        case procedimiento::Execute:
            return QStringLiteral("sp_execute");
        case procedimiento::PrepExec:
            return QStringLiteral("sp_prepexec");
        case procedimiento::Unprepare:
            return QStringLiteral("sp_unprepare");
        case 0:
            break;
        default:
            return QStringLiteral("sp_%1").arg(c.id);
    }
    // "master.dbo.sp_executesql", "[sys].[sp_prepare]" name the same procedures.
    QString n = c.nombre;
    n.remove(u'[').remove(u']');
    const QString corto = n.section(u'.', -1).toLower();
    if (corto == QLatin1String("sp_executesql") || corto == QLatin1String("sp_prepare") ||
        corto == QLatin1String("sp_execute") || corto == QLatin1String("sp_prepexec") ||
        corto == QLatin1String("sp_unprepare"))
        return corto;
    return c.nombre;
}

// A value as a T-SQL constant.
QString LiteralDe(const QVariant& v) {
    if (v.isNull() || !v.isValid()) return QStringLiteral("NULL");
    switch (v.typeId()) {
        case QMetaType::Bool:
            return v.toBool() ? QStringLiteral("1") : QStringLiteral("0");
        case QMetaType::Int:
        case QMetaType::LongLong:
            return QString::number(v.toLongLong());
        case QMetaType::Double:
            return QString::number(v.toDouble(), 'g', 17);
        case QMetaType::QDateTime:
            return u'\'' + v.toDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) + u'\'';
        case QMetaType::QByteArray:
            return QStringLiteral("0x") + QString::fromLatin1(v.toByteArray().toHex());
        default: {
            QString t = v.toString();
            t.replace(u'\'', QStringLiteral("''"));
            return QStringLiteral("N'") + t + u'\'';
        }
    }
}

ColumnaTds TipoEntero() {
    ColumnaTds c;
    c.tipo = tipotds::IntN;
    c.largo = 4;
    return c;
}

// The wire type of an output parameter, from the value the client sent.
ColumnaTds TipoDeSalida(const ParametroRpc& p) {
    kv::db::ResultadoSentencia r;
    kv::db::ColumnaResultado c;
    // The value's own type, text for any other.
    static const std::pair<int, int> kPorTipoDeValor[] = {
        {QMetaType::Int, kv::db::tipo::Integer},       {QMetaType::LongLong, kv::db::tipo::BigInt},
        {QMetaType::Double, kv::db::tipo::Double},     {QMetaType::Bool, kv::db::tipo::Boolean},
        {QMetaType::QDateTime, kv::db::tipo::DBTimeStamp}, {QMetaType::QByteArray, kv::db::tipo::VarBinary}};
    c.tipo = kv::db::tipo::VarWChar;
    for (const auto& [tipoValor, tipoColumna] : kPorTipoDeValor)
        if (p.valor.typeId() == tipoValor) c.tipo = tipoColumna;
    if (p.tipo == tipotds::IntN || p.tipo == tipotds::Int4) c.tipo = kv::db::tipo::Integer;
    if (p.tipo == tipotds::MoneyN || p.tipo == tipotds::Money) c.tipo = kv::db::tipo::Currency;
    r.columnas.push_back(c);
    r.filas.push_back({p.valor});
    return DescribirColumnas(r, Tds74).front();
}

}  // namespace

// ---------------------------------------------------------------- Salida

void Salida::Done(std::uint8_t tipo, std::uint16_t estado, std::uint64_t filas) {
    SoltarDone(true);
    hayDone_ = true;
    tipoDone_ = tipo;
    estadoDone_ = estado;
    filasDone_ = filas;
}

void Salida::SoltarDone(bool mas) {
    if (!hayDone_) return;
    hayDone_ = false;
    EscribirDone(e_, tipoDone_,
                 static_cast<std::uint16_t>(mas ? (estadoDone_ | fin::Mas) : (estadoDone_ & ~fin::Mas)),
                 filasDone_);
}

bool Salida::Enviar() {
    const int cabida = tamano_ - LargoCabecera;
    int desde = 0;
    QByteArray& d = e_.Datos();
    while (d.size() - desde > cabida) {
        t_.Escribir(ArmarPaquete(paquete::Respuesta, 0, d.mid(desde, cabida), numero_++, spid_));
        desde += cabida;
    }
    if (desde > 0) d.remove(0, desde);
    if (!atencion_ && desde > 0 && t_.HayDatos(0)) {
        const Paquete p = t_.LeerPaquete(tamano_);
        if (p.cabecera.tipo != paquete::Atencion) throw ErrorTrama("petición en medio de una respuesta");
        atencion_ = true;
    }
    return atencion_;
}

void Salida::Terminar(std::uint16_t estadoExtra) {
    if (hayDone_) {
        estadoDone_ |= estadoExtra;
        SoltarDone(false);
    } else {
        EscribirDone(e_, token::Done, estadoExtra, 0);
    }
    const int cabida = tamano_ - LargoCabecera;
    QByteArray& d = e_.Datos();
    int desde = 0;
    do {
        const int n = std::min<int>(cabida, int(d.size()) - desde);
        const bool ultimo = desde + n >= d.size();
        t_.Escribir(
            ArmarPaquete(paquete::Respuesta, ultimo ? FinDeMensaje : 0, d.mid(desde, n), numero_++, spid_));
        desde += n;
    } while (desde < d.size());
    d.clear();
    numero_ = 1;
}

void Salida::TerminarPorAtencion() {
    Terminar();
    Terminar(fin::Atencion);
}

// ---------------------------------------------------------------- ConexionTds

ConexionTds::ConexionTds(ServidorTds& servidor, int socket, QString cliente, bool clienteLocal,
                         std::uint16_t spid)
    : servidor_(servidor),
      t_(socket),
      cliente_(std::move(cliente)),
      clienteLocal_(clienteLocal),
      spid_(spid) {}

ConexionTds::~ConexionTds() = default;

void ConexionTds::Atender() {
    try {
        t_.FijarEsperaLectura(servidor_.opciones().esperaInicio);
        if (!IniciarSesion()) return;
        t_.FijarEsperaLectura(0);
        for (;;) {
            const Paquete p = t_.LeerPaquete(tamanoPaquete_);
            Responder(p);
        }
    } catch (const ConexionCerrada&) {
        if (sesion_)
            servidor_.Registrar(QStringLiteral("Fin de la sesión de '%1' desde %2.").arg(login_, cliente_));
    } catch (const ErrorTrama& e) {
        servidor_.Registrar(
            QStringLiteral("Conexión de %1 cerrada: %2.").arg(cliente_, QString::fromUtf8(e.what())));
    } catch (const std::exception& e) {
        servidor_.Registrar(QStringLiteral("Conexión de %1 cerrada por un error interno: %2.")
                                .arg(cliente_, QString::fromUtf8(e.what())));
    }
    // The session goes with the connection: an open transaction is rolled back.
    sesion_.reset();
}

bool ConexionTds::LeerMensaje(const Paquete& primero, QByteArray& carga) {
    carga = primero.carga;
    bool excedido = false;
    std::uint8_t estado = primero.cabecera.estado;
    while (!(estado & FinDeMensaje)) {
        const Paquete p = t_.LeerPaquete(tamanoPaquete_);
        if (p.cabecera.tipo == paquete::Atencion) {
            // The client gave up sending the request.
            EnviarAtencion();
            return false;
        }
        if (p.cabecera.tipo != primero.cabecera.tipo)
            throw ErrorTrama("paquetes de un mensaje con tipos distintos");
        if (!excedido && carga.size() + p.carga.size() > servidor_.opciones().maximoPeticion) {
            excedido = true;
            carga.clear();
            carga.squeeze();
        }
        if (!excedido) carga.append(p.carga);
        estado = p.cabecera.estado;
    }
    if (excedido) {
        servidor_.Registrar(QStringLiteral("Petición de %1 rechazada por su tamaño.").arg(cliente_));
        EnviarErrorSuelto(
            kErrorMemoria,
            QStringLiteral("No hay suficiente memoria del sistema en el grupo de recursos 'default' "
                           "para ejecutar esta consulta."),
            17);
        return false;
    }
    return true;
}

void ConexionTds::EnviarErrorSuelto(std::int32_t numero, const QString& texto, std::uint8_t clase) {
    Salida s(t_, tamanoPaquete_, spid_);
    EscribirMensaje(s.e(), true, numero, 1, clase, texto, QString(), 0);
    s.Terminar(fin::Error);
}

void ConexionTds::EnviarAtencion() {
    // No answer is in progress: the acknowledgement alone.
    Salida s(t_, tamanoPaquete_, spid_);
    s.Terminar(fin::Atencion);
}

bool ConexionTds::IniciarSesion() {
    Paquete p = t_.LeerPaquete(PaqueteMaximo);
    bool cifradoAcordado = false;
    bool soloLogin = false;
    // From another machine the login travels encrypted, or not at all.
    const bool exigeCifrado = !clienteLocal_;
    if (p.cabecera.tipo == paquete::Prelogin) {
        QByteArray carga;
        if (!LeerMensaje(p, carga)) return false;
        const Prelogin pre = LeerPrelogin(carga);
        std::uint8_t respuesta = cifrado::NoAdmitido;
        if (servidor_.tls()) {
            if (exigeCifrado)
                respuesta = cifrado::Exigido;
            else if (pre.cifrado == cifrado::SoloLogin)
                respuesta = cifrado::SoloLogin;
            else if (pre.cifrado == cifrado::Todo || pre.cifrado == cifrado::Exigido)
                respuesta = cifrado::Todo;
        }
        t_.Escribir(ArmarMensaje(paquete::Respuesta, ArmarPrelogin(respuesta, VersionServidor),
                                 PaquetePorDefecto, spid_));
        if (respuesta != cifrado::NoAdmitido && pre.cifrado != cifrado::NoAdmitido) {
            t_.IniciarTls(servidor_.tls()->ctx());
            cifradoAcordado = true;
            soloLogin = respuesta == cifrado::SoloLogin;
        }
        p = t_.LeerPaquete(PaqueteMaximo);
    }
    if (p.cabecera.tipo != paquete::Login7) throw ErrorTrama("se esperaba el inicio de sesión");
    QByteArray carga = p.carga;
    std::uint8_t estado = p.cabecera.estado;
    while (!(estado & FinDeMensaje)) {
        const Paquete q = t_.LeerPaquete(PaqueteMaximo);
        if (q.cabecera.tipo != paquete::Login7 || carga.size() + q.carga.size() > 128 * 1024)
            throw ErrorTrama("inicio de sesión mal formado");
        carga.append(q.carga);
        estado = q.cabecera.estado;
    }
    if (soloLogin) t_.TerminarTls();
    if (exigeCifrado && !cifradoAcordado) {
        // The password has come in clear from another machine: it is not even read.
        servidor_.Registrar(QStringLiteral("Inicio de sesión sin cifrar desde %1 rechazado.").arg(cliente_));
        EnviarErrorSuelto(
            kv::local::err::InicioSesion,
            QStringLiteral("Error de inicio de sesión: este servidor solo admite conexiones cifradas "
                           "desde otros equipos."),
            ClaseDeError(kv::local::err::InicioSesion));
        return false;
    }
    const Login7 login = LeerLogin7(carga);
    version_ = login.versionTds;
    if (version_ < Tds72) {
        EnviarErrorSuelto(
            kErrorProtocolo,
            QStringLiteral("La versión 0x%1 del protocolo TDS no se admite; use la 7.2 o posterior.")
                .arg(version_, 8, 16, QLatin1Char('0')),
            16);
        return false;
    }
    login_ = login.usuario;
    const auto espera = servidor_.freno().Espera(cliente_.section(u':', 0, -2));
    if (espera.count() > 0) std::this_thread::sleep_for(espera);

    try {
        if (login.sspi && login.usuario.isEmpty())
            throw kv::db::ErrorProveedor(kv::db::ErrorBD{0, kv::local::msj::InicioSesion(QString()),
                                                         kv::local::err::InicioSesion,
                                                         QStringLiteral("28000"), QString(), 0});
        // A client off the loopback may not sign in with a default password.
        kv::local::SolicitudInicio solicitud;
        solicitud.login = login.usuario;
        solicitud.clave = login.clave;
        solicitud.base = login.base;
        solicitud.remota = !clienteLocal_;
        sesion_ = kv::local::AbrirSesionEmbebida(solicitud);
    } catch (const kv::db::ErrorProveedor& e) {
        servidor_.freno().Fallo(cliente_.section(u':', 0, -2));
        QStringList numeros;
        Salida s(t_, PaquetePorDefecto, spid_);
        for (const auto& error : e.errores()) {
            EscribirMensaje(s.e(), true, error.errorNativo, 1, ClaseDeError(error.errorNativo),
                            error.descripcion, QString(), 0);
            numeros << QString::number(error.errorNativo);
        }
        s.Terminar(fin::Error);
        servidor_.Registrar(
            QStringLiteral("Inicio de sesión fallido de '%1' desde %2 (%3), programa '%4', equipo '%5'.")
                .arg(login.usuario, cliente_, numeros.join(u'/'), login.programa, login.equipo));
        return false;
    }
    servidor_.freno().Exito(cliente_.section(u':', 0, -2));
    embebida_ = dynamic_cast<kv::local::SesionEmbebida*>(sesion_.get());
    base_ = sesion_->BaseActual();
    baseInicial_ = base_;
    tamanoPaquete_ = login.tamanoPaquete == 0
                         ? PaquetePorDefecto
                         : std::clamp<int>(int(login.tamanoPaquete), PaqueteMinimo, PaqueteMaximo);
    Salida s(t_, PaquetePorDefecto, spid_);
    Escritor& e = s.e();
    EscribirEntornoTexto(e, entorno::Base, base_, QStringLiteral("master"));
    EscribirMensaje(e, false, kCambioBase, 1, 0, MensajeCambioBase(base_), QString(), 0);
    EscribirEntornoBytes(e, entorno::Colacion, QByteArray(reinterpret_cast<const char*>(kColacion), 5),
                         QByteArray());
    EscribirEntornoTexto(e, entorno::Idioma, QString::fromUtf8(Idioma), QString());
    EscribirMensaje(e, false, kCambioIdioma, 1, 0, MensajeCambioIdioma(), QString(), 0);
    const std::uint32_t respuesta = std::min(version_, Tds74);
    EscribirLoginAck(e, respuesta);
    if (login.extensiones) {
        // No feature extension is taken up: the acknowledgement only ends the list.
        e.U8(token::FeatureExtAck);
        e.U8(0xFF);
    }
    EscribirEntornoTexto(e, entorno::TamanoPaquete, QString::number(tamanoPaquete_),
                         QString::number(login.tamanoPaquete));
    s.Terminar();
    servidor_.Registrar(QStringLiteral("Sesión de '%1' desde %2 en %3, programa '%4', equipo '%5'%6.")
                            .arg(login_, cliente_, base_, login.programa, login.equipo,
                                 t_.Cifrado()
                                     ? QStringLiteral(", cifrada")
                                     : (cifradoAcordado ? QStringLiteral(", inicio cifrado") : QString())));
    return true;
}

void ConexionTds::Reiniciar() {
    // A pooled connection handed to a new user: what the last one left is undone.
    try {
        if (embebida_ && embebida_->NivelTransaccion() > 0) sesion_->DeshacerTransaccion();
        transaccion_ = 0;
        if (sesion_->BaseActual().compare(baseInicial_, Qt::CaseInsensitive) != 0)
            sesion_->UsarBase(baseInicial_);
        base_ = sesion_->BaseActual();
        preparadas_.clear();
    } catch (const std::exception&) {
    }
}

void ConexionTds::Responder(const Paquete& primero) {
    const std::uint8_t tipo = primero.cabecera.tipo;
    if (tipo == paquete::Atencion) {
        // Nothing is running: the answer is the acknowledgement alone.
        EnviarAtencion();
        return;
    }
    if (tipo != paquete::Lote && tipo != paquete::Rpc && tipo != paquete::Transaccion)
        throw ErrorTrama("tipo de paquete inesperado");
    QByteArray carga;
    if (!LeerMensaje(primero, carga)) return;
    if (primero.cabecera.estado & (ReiniciarConexion | 0x10)) Reiniciar();
    if (tipo == paquete::Lote)
        Lote(carga);
    else if (tipo == paquete::Rpc)
        Rpc(carga);
    else
        Transaccion(carga);
}

// The results of a batch as the session makes them, onto the wire. A long
// query's rows go as they are read; between packets the client may ask to stop.
// Nothing thrown here may end inside the session (it would take a broken
// connection for a statement's error): a failure of the connection is kept,
// the batch is stopped, and the failure is thrown again once the session is back.
class EmisorTds final : public kv::local::ReceptorResultados {
  public:
    EmisorTds(ConexionTds& c, Salida& s, std::uint8_t tipoDone, bool& huboError, const std::atomic<bool>& visto)
        : c_(c), s_(s), tipoDone_(tipoDone), huboError_(huboError), visto_(visto) {}

    void Resultado(kv::db::ResultadoSentencia&& r) override {
        Enviar([&] { c_.EmitirResultado(s_, r, tipoDone_, huboError_); });
    }
    void EmpezarFilas(const kv::db::ResultadoSentencia& primeras) override {
        Enviar([&] {
            columnas_ = DescribirColumnas(primeras, c_.version_);
            EscribirColmetadata(s_.e(), columnas_);
            for (const auto& fila : primeras.filas) {
                EscribirFila(s_.e(), columnas_, fila);
                if (++desdeVistazo_ >= kFilasPorVistazo) {
                    desdeVistazo_ = 0;
                    if (s_.Enviar()) return;
                }
            }
        });
    }
    void Fila(const std::vector<QVariant>& fila) override {
        if (Parado()) return;
        for (size_t i = 0; i < columnas_.size() && i < fila.size(); ++i)
            if (!CabeValor(columnas_[i], fila[i])) throw NoCabe(columnas_[i]);
        Enviar([&] {
            EscribirFila(s_.e(), columnas_, fila);
            if (++desdeVistazo_ >= kFilasPorVistazo) {
                desdeVistazo_ = 0;
                s_.Enviar();
            }
        });
    }
    void TerminarFilas(std::uint64_t filas) override {
        Enviar([&] { s_.Done(tipoDone_, fin::Cuenta, filas); });
    }
    // Throws again what broke the connection during the batch.
    void Revisar() const {
        if (fallo_) std::rethrow_exception(fallo_);
    }

  private:
    // After an attention (read, or seen by the watcher) or a broken connection nothing more goes.
    bool Parado() const { return fallo_ || s_.Atencion() || visto_.load(); }
    template <typename F>
    void Enviar(F&& f) {
        if (Parado()) return;
        try {
            f();
            if (!s_.Atencion()) s_.Enviar();
        } catch (...) {
            fallo_ = std::current_exception();
        }
        if (Parado() && c_.embebida_) c_.embebida_->Cancelar();
    }
    // A row the first rows did not foresee (a longer text, a larger number): the
    // query fails there as SQL Server's would for a value its column cannot hold.
    static kv::local::ErrorServidor NoCabe(const ColumnaTds& c) {
        if (c.texto() || c.tipo == tipotds::BigVarBinary || c.tipo == tipotds::BigBinary)
            return kv::local::ErrorServidor(kv::local::err::Truncado, kv::local::msj::Truncado(),
                                            QString::fromLatin1(kv::local::estado::Truncado));
        return kv::local::ErrorServidor(kv::local::err::Desbordamiento, kv::local::msj::Desbordamiento(NombreTipo(c)),
                                        QStringLiteral("22003"));
    }
    static QString NombreTipo(const ColumnaTds& c) {
        switch (c.tipo) {
            case tipotds::IntN:
                return c.largo == 1   ? QStringLiteral("tinyint")
                       : c.largo == 2 ? QStringLiteral("smallint")
                       : c.largo == 4 ? QStringLiteral("int")
                                      : QStringLiteral("bigint");
            case tipotds::MoneyN:
                return QStringLiteral("money");
            case tipotds::DecimalN:
            case tipotds::NumericN:
                return QStringLiteral("numeric");
            case tipotds::DateTimeN:
            case tipotds::DateN:
            case tipotds::DateTime2N:
                return QStringLiteral("datetime");
            default:
                return QStringLiteral("float");
        }
    }

    ConexionTds& c_;
    Salida& s_;
    std::uint8_t tipoDone_;
    bool& huboError_;
    const std::atomic<bool>& visto_;
    std::vector<ColumnaTds> columnas_;
    int desdeVistazo_ = 0;
    std::exception_ptr fallo_;
};

bool ConexionTds::Ejecutar(Salida& s, const QString& lote, const std::vector<QVariant>& parametros,
                           std::uint8_t tipoDone, bool& huboError) {
    if (!embebida_) {
        for (const auto& r : sesion_->Ejecutar(lote, parametros, 0)) {
            EmitirResultado(s, r, tipoDone, huboError);
            if (s.Enviar()) return true;
        }
        return false;
    }
    return Vigilado(s, tipoDone, huboError,
                    [&](EmisorTds& emisor) { embebida_->EjecutarHacia(lote, parametros, 0, emisor); });
}

bool ConexionTds::Vigilado(Salida& s, std::uint8_t tipoDone, bool& huboError,
                           const std::function<void(EmisorTds&)>& trabajo) {
    embebida_->Reanudar();
    std::atomic<bool> terminado{false};
    std::atomic<bool> visto{false};
    const int fd = t_.socket();
    kv::local::SesionEmbebida* sesion = embebida_;
    // The watcher only looks at the socket; the reading stays on this thread.
    std::thread vigia([&terminado, &visto, fd, sesion] {
        while (!terminado.load()) {
            pollfd p{};
            p.fd = fd;
            p.events = POLLIN;
            if (::poll(&p, 1, 50) > 0) {
                visto.store(true);
                sesion->Cancelar();
                return;
            }
        }
    });
    EmisorTds emisor(*this, s, tipoDone, huboError, visto);
    auto terminar = [&] {
        terminado.store(true);
        vigia.join();
        embebida_->Reanudar();
    };
    try {
        trabajo(emisor);
    } catch (...) {
        terminar();
        emisor.Revisar();
        if (s.Atencion() || (visto.load() && LeerAtencion())) return true;
        throw;
    }
    terminar();
    emisor.Revisar();
    // The attention was read while rows went, or it is still waiting to be read.
    if (s.Atencion()) return true;
    if (visto.load() && LeerAtencion()) return true;
    return false;
}

bool ConexionTds::LeerAtencion() {
    const Paquete p = t_.LeerPaquete(tamanoPaquete_);
    if (p.cabecera.tipo != paquete::Atencion) throw ErrorTrama("petición en medio de otra");
    return true;
}

void ConexionTds::EmitirError(Salida& s, const kv::db::ErrorBD& e) {
    const std::int32_t numero = e.errorNativo;
    EscribirMensaje(s.e(), true, numero, 1, ClaseDeError(numero), e.descripcion, QString(), e.linea);
}

void ConexionTds::EmitirResultado(Salida& s, const kv::db::ResultadoSentencia& r, std::uint8_t tipoDone,
                                  bool& huboError) {
    static const QRegularExpression cambioBase(
        QStringLiteral("^Se cambió el contexto de la base de datos a '(.*)'\\.$"));
    for (const QString& m : r.mensajes) {
        const auto cambio = cambioBase.match(m);
        if (cambio.hasMatch()) {
            EscribirEntornoTexto(s.e(), entorno::Base, cambio.captured(1), base_);
            base_ = cambio.captured(1);
            EscribirMensaje(s.e(), false, kCambioBase, 1, 0, m, QString(), 0);
        } else {
            EscribirMensaje(s.e(), false, 0, 1, 0, m, QString(), 0);
        }
    }
    if (r.tieneFilas && !r.columnas.empty()) {
        const std::vector<ColumnaTds> columnas = DescribirColumnas(r, version_);
        EscribirColmetadata(s.e(), columnas);
        int desdeVistazo = 0;
        std::uint64_t enviadas = 0;
        for (const auto& fila : r.filas) {
            EscribirFila(s.e(), columnas, fila);
            ++enviadas;
            if (++desdeVistazo >= kFilasPorVistazo) {
                desdeVistazo = 0;
                if (s.Enviar()) return;
            }
        }
        if (r.error) {
            EmitirError(s, *r.error);
            huboError = true;
            s.Done(tipoDone, fin::Cuenta | fin::Error, enviadas);
        } else {
            s.Done(tipoDone, fin::Cuenta, enviadas);
        }
    } else if (r.error) {
        EmitirError(s, *r.error);
        huboError = true;
        s.Done(tipoDone, fin::Error, 0);
    } else if (r.filasAfectadas >= 0) {
        s.Done(tipoDone, fin::Cuenta, std::uint64_t(r.filasAfectadas));
    } else if (!r.mensajes.isEmpty() || r.tieneFilas) {
        s.Done(tipoDone, fin::Final, 0);
    }
}

void ConexionTds::EmitirCambioTransaccion(Salida& s, int nivelAntes, bool huboError) {
    if (!embebida_) return;
    const int ahora = embebida_->NivelTransaccion();
    if (nivelAntes == 0 && ahora > 0) {
        transaccion_ = siguienteTransaccion_++;
        EscribirEntornoBytes(s.Crudo(), entorno::InicioTransaccion, Descriptor(transaccion_), QByteArray());
    } else if (nivelAntes > 0 && ahora == 0) {
        EscribirEntornoBytes(s.Crudo(),
                             huboError ? entorno::FinTransaccionDeshecha : entorno::FinTransaccionConfirmada,
                             QByteArray(), Descriptor(transaccion_));
        transaccion_ = 0;
    }
}

void ConexionTds::Lote(const QByteArray& carga) {
    const QString texto = LeerLote(carga);
    const int nivelAntes = embebida_ ? embebida_->NivelTransaccion() : 0;
    Salida s(t_, tamanoPaquete_, spid_);
    bool atencion = false;
    bool huboError = false;
    try {
        atencion = Ejecutar(s, texto, {}, token::Done, huboError);
    } catch (const kv::db::ErrorProveedor& e) {
        for (const auto& error : e.errores()) EmitirError(s, error);
        s.Done(token::Done, fin::Error, 0);
        EmitirCambioTransaccion(s, nivelAntes, true);
        s.Terminar();
        return;
    }
    if (atencion) {
        EmitirCambioTransaccion(s, nivelAntes, true);
        s.TerminarPorAtencion();
        return;
    }
    EmitirCambioTransaccion(s, nivelAntes, huboError);
    if (s.Atencion())
        s.TerminarPorAtencion();
    else
        s.Terminar();
}

void ConexionTds::Transaccion(const QByteArray& carga) {
    const PeticionTransaccion p = LeerTransaccion(carga);
    Salida s(t_, tamanoPaquete_, spid_);
    const int nivel = embebida_ ? embebida_->NivelTransaccion() : 0;
    try {
        if (p.tipo == tm::Iniciar) {
            sesion_->IniciarTransaccion();
            EmitirCambioTransaccion(s, nivel, false);
        } else if (p.tipo == tm::Confirmar || p.tipo == tm::Deshacer) {
            // Without a transaction there is nothing to end, and it is no error.
            if (nivel > 0) {
                if (p.tipo == tm::Confirmar)
                    sesion_->ConfirmarTransaccion();
                else
                    sesion_->DeshacerTransaccion();
                EmitirCambioTransaccion(s, nivel, p.tipo == tm::Deshacer);
            }
            if (p.iniciarOtra) {
                const int antes = embebida_ ? embebida_->NivelTransaccion() : 0;
                sesion_->IniciarTransaccion();
                EmitirCambioTransaccion(s, antes, false);
            }
        } else {
            throw ErrorTrama("petición de transacción no admitida");
        }
    } catch (const kv::db::ErrorProveedor& e) {
        for (const auto& error : e.errores()) EmitirError(s, error);
        s.Terminar(fin::Error);
        return;
    } catch (const kv::local::ErrorServidor& e) {
        EmitirError(s, e.ComoErrorBD(sesion_->Origen()));
        s.Terminar(fin::Error);
        return;
    }
    s.Terminar();
}

void ConexionTds::Rpc(const QByteArray& carga) {
    const std::vector<LlamadaRpc> llamadas = LeerRpc(carga);
    Salida s(t_, tamanoPaquete_, spid_);
    const int nivelAntes = embebida_ ? embebida_->NivelTransaccion() : 0;
    bool huboErrorLote = false;
    for (const LlamadaRpc& c : llamadas) {
        const QString nombre = NombreProcedimiento(c);
        const auto& ps = c.parametros;
        bool huboError = false;
        std::vector<std::pair<std::uint16_t, const ParametroRpc*>> salidas;
        std::optional<int> manejador;  // a statement handle to give back
        auto valorTexto = [&](size_t i) { return i < ps.size() ? ps[i].valor.toString() : QString(); };

        // The statement, its declared parameters and where its values start.
        QString sentencia, declaracion;
        size_t primerValor = 0;
        bool ejecutar = true;
        QString lote;
        std::vector<QVariant> valores;
        bool porNombre = false;
        std::optional<int> estado;  // the procedure's return status
        std::vector<std::pair<std::uint16_t, QVariant>> devueltos;  // OUTPUT values, by ordinal
        try {
            if (nombre == QLatin1String("sp_executesql")) {
                sentencia = valorTexto(0);
                declaracion = valorTexto(1);
                primerValor = 2;
            } else if (nombre == QLatin1String("sp_prepare") || nombre == QLatin1String("sp_prepexec")) {
                declaracion = valorTexto(1);
                sentencia = valorTexto(2);
                primerValor = 3;
                const int h = siguientePreparada_++;
                preparadas_[h] = Preparada{sentencia, declaracion};
                manejador = h;
                ejecutar = nombre == QLatin1String("sp_prepexec");
                // sp_prepare's fourth parameter is its options, not a value.
            } else if (nombre == QLatin1String("sp_execute")) {
                const int h = ps.empty() ? 0 : ps[0].valor.toInt();
                const auto it = preparadas_.find(h);
                if (it == preparadas_.end()) {
                    kv::db::ErrorBD e;
                    e.errorNativo = kPreparadaInexistente;
                    e.descripcion =
                        QStringLiteral("No se encontró la instrucción preparada con el identificador %1.")
                            .arg(h);
                    EmitirError(s, e);
                    huboError = true;
                    ejecutar = false;
                } else {
                    sentencia = it->second.sentencia;
                    declaracion = it->second.declaracion;
                    primerValor = 1;
                }
            } else if (nombre == QLatin1String("sp_unprepare")) {
                if (!ps.empty()) preparadas_.erase(ps[0].valor.toInt());
                ejecutar = false;
            } else if (embebida_) {
                // A procedure by name: its OUTPUT parameters come back with the values it left.
                porNombre = true;
                primerValor = ps.size();
            } else {
                // A procedure by name: EXEC with each value written as a literal of its
                // type (EXEC takes constants, not markers), quotes doubled.
                QStringList argumentos;
                for (const auto& p : ps) {
                    const QString literal = LiteralDe(p.valor);
                    argumentos << (p.nombre.isEmpty() ? literal : p.nombre + QStringLiteral(" = ") + literal);
                }
                lote = QStringLiteral("EXEC ") + c.nombre +
                       (argumentos.isEmpty() ? QString() : u' ' + argumentos.join(QStringLiteral(", ")));
                primerValor = ps.size();
            }
            if (ejecutar && lote.isEmpty()) {
                const std::vector<ParametroDeclarado> declarados = LeerDeclaracion(declaracion);
                QStringList nombres;
                for (const auto& d : declarados) nombres << d.nombre;
                // Values by name go to their parameter, the others in order.
                std::vector<QVariant> porParametro(declarados.size());
                size_t posicion = 0;
                for (size_t i = primerValor; i < ps.size(); ++i) {
                    qsizetype k = -1;
                    if (!ps[i].nombre.isEmpty())
                        for (qsizetype j = 0; j < nombres.size(); ++j)
                            if (nombres[j].compare(ps[i].nombre, Qt::CaseInsensitive) == 0) k = j;
                    if (k < 0) k = qsizetype(posicion);
                    ++posicion;
                    if (k < qsizetype(porParametro.size())) {
                        porParametro[size_t(k)] = ps[i].valor;
                        if (ps[i].salida) salidas.emplace_back(static_cast<std::uint16_t>(i), &ps[i]);
                    }
                }
                const SentenciaConMarcas marcada = Marcar(sentencia, nombres);
                lote = marcada.texto;
                for (int indice : marcada.orden) valores.push_back(porParametro[size_t(indice)]);
            }
        } catch (const std::invalid_argument&) {
            kv::db::ErrorBD e;
            e.errorNativo = 8178;
            e.descripcion = QStringLiteral("La lista de parámetros '%1' no es válida.").arg(declaracion);
            EmitirError(s, e);
            huboError = true;
            ejecutar = false;
        }
        if (ejecutar && porNombre) {
            std::vector<kv::local::SesionEmbebida::ArgumentoLlamada> argumentos;
            for (const auto& p : ps) argumentos.push_back({p.nombre, p.valor, p.salida});
            const bool atencion = Vigilado(s, token::DoneInProc, huboError, [&](EmisorTds& emisor) {
                auto llamada = embebida_->LlamarProcedimiento(c.nombre, argumentos, 0);
                for (auto& r : llamada.resultados) emisor.Resultado(std::move(r));
                estado = llamada.estado;
                for (size_t i = 0; i < ps.size(); ++i) {
                    if (!ps[i].salida) continue;
                    const QString clave = ps[i].nombre.isEmpty() ? QString::number(i + 1) : ps[i].nombre;
                    for (const auto& [nombreSalida, valor] : llamada.salidas)
                        if (nombreSalida.compare(clave, Qt::CaseInsensitive) == 0)
                            devueltos.emplace_back(static_cast<std::uint16_t>(i), valor);
                }
            });
            if (atencion) {
                s.TerminarPorAtencion();
                return;
            }
        }
        if (ejecutar && !lote.isEmpty()) {
            try {
                if (Ejecutar(s, lote, valores, token::DoneInProc, huboError)) {
                    s.TerminarPorAtencion();
                    return;
                }
            } catch (const kv::db::ErrorProveedor& e) {
                for (const auto& error : e.errores()) EmitirError(s, error);
                huboError = true;
            }
        }
        EscribirReturnStatus(s.e(), estado ? *estado : (huboError ? -6 : 0));
        if (manejador) {
            EscribirReturnValue(s.e(), 0, ps.empty() ? QStringLiteral("@handle") : ps[0].nombre, TipoEntero(),
                                *manejador);
        }
        // A procedure's OUTPUT parameters carry what it left in them, with the type the client gave;
        // those of the system procedures keep the value sent (their statements cannot set them).
        for (const auto& [ordinal, valor] : devueltos) {
            ParametroRpc p = ps[ordinal];
            if (!valor.isNull()) p.valor = valor;
            EscribirReturnValue(s.e(), ordinal, p.nombre, TipoDeSalida(p), valor);
        }
        for (const auto& [ordinal, p] : salidas)
            EscribirReturnValue(s.e(), ordinal, p->nombre, TipoDeSalida(*p), p->valor);
        s.Done(token::DoneProc, huboError ? fin::Error : fin::Final, 0);
        huboErrorLote = huboErrorLote || huboError;
        if (s.Enviar()) {
            s.TerminarPorAtencion();
            return;
        }
    }
    EmitirCambioTransaccion(s, nivelAntes, huboErrorLote);
    s.Terminar();
}

}  // namespace kv::tds
