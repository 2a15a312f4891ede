#include "ProveedorGrabador.h"

namespace kv::pruebas {

using kv::db::ErrorBD;
using kv::db::ErrorProveedor;
using kv::db::ParametrosConexion;
using kv::db::ResultadoSentencia;

namespace {
struct Regla {
    QString fragmento;
    ResultadoSentencia resultado;
    int veces = 0;  // 0 always; otherwise uses left
    bool agotada = false;
};
}  // namespace

struct ProveedorGrabador::Estado {
    QStringList servidores;
    std::vector<Regla> reglas;
    std::vector<std::pair<ErrorBD, int>> fallosApertura;
    int perdidas = 0;
    QStringList tablas;
    std::vector<std::pair<QString, QStringList>> columnas;
    QStringList sentencias;
    QStringList llamadas;
    QStringList aperturas;
    QString ultimoUsuario, ultimaClave;
    int sesionesAbiertas = 0;

    ResultadoSentencia Respuesta(const QString& sql) {
        for (auto it = reglas.rbegin(); it != reglas.rend(); ++it) {
            if (it->agotada || !sql.contains(it->fragmento, Qt::CaseInsensitive)) continue;
            if (it->veces > 0 && --it->veces == 0) it->agotada = true;
            return it->resultado;
        }
        ResultadoSentencia r;
        if (sql.trimmed().startsWith(QStringLiteral("SELECT"), Qt::CaseInsensitive))
            r.tieneFilas = true;
        else
            r.filasAfectadas = 0;
        return r;
    }
};

namespace {

class SesionGrabadora : public kv::db::Sesion {
  public:
    SesionGrabadora(std::shared_ptr<ProveedorGrabador::Estado> estado, QString base)
        : estado_(std::move(estado)), base_(std::move(base)) {
        ++estado_->sesionesAbiertas;
    }
    ~SesionGrabadora() override {
        estado_->llamadas << QStringLiteral("Cerrar");
        --estado_->sesionesAbiertas;
    }

    std::vector<ResultadoSentencia> Ejecutar(const QString& lote, const std::vector<QVariant>&,
                                             int) override {
        estado_->llamadas << QStringLiteral("Ejecutar ") + lote;
        estado_->sentencias << lote;
        Vivir();
        return {estado_->Respuesta(lote)};
    }
    QString BaseActual() override { return base_; }
    void UsarBase(const QString& base) override {
        estado_->llamadas << QStringLiteral("UsarBase ") + base;
        Vivir();
        base_ = base;
    }
    void IniciarTransaccion() override {
        estado_->llamadas << QStringLiteral("Iniciar");
        Vivir();
    }
    void ConfirmarTransaccion() override {
        estado_->llamadas << QStringLiteral("Confirmar");
        Vivir();
    }
    void DeshacerTransaccion() override {
        estado_->llamadas << QStringLiteral("Deshacer");
        Vivir();
    }
    ResultadoSentencia EsquemaTablas(const QString& catalogo, const QString& tabla) override {
        estado_->llamadas << QStringLiteral("EsquemaTablas %1|%2").arg(catalogo, tabla);
        Vivir();
        ResultadoSentencia r;
        r.tieneFilas = true;
        for (const char* c : {"TABLE_CATALOG", "TABLE_SCHEMA", "TABLE_NAME", "TABLE_TYPE"})
            r.columnas.push_back({QString::fromLatin1(c), kv::db::tipo::VarWChar, 128, QString()});
        for (const QString& t : estado_->tablas)
            r.filas.push_back({QVariant(base_), QVariant(QStringLiteral("dbo")), QVariant(t),
                               QVariant(QStringLiteral("TABLE"))});
        return r;
    }
    ResultadoSentencia EsquemaColumnas(const QString& catalogo, const QString& tabla) override {
        estado_->llamadas << QStringLiteral("EsquemaColumnas %1|%2").arg(catalogo, tabla);
        Vivir();
        ResultadoSentencia r;
        r.tieneFilas = true;
        for (const char* c :
             {"TABLE_CATALOG", "TABLE_SCHEMA", "TABLE_NAME", "COLUMN_NAME", "ORDINAL_POSITION"})
            r.columnas.push_back({QString::fromLatin1(c), kv::db::tipo::VarWChar, 128, QString()});
        for (const auto& [t, cols] : estado_->columnas) {
            if (!tabla.isEmpty() && t.compare(tabla, Qt::CaseInsensitive) != 0) continue;
            int orden = 1;
            for (const QString& c : cols)
                r.filas.push_back({QVariant(base_), QVariant(QStringLiteral("dbo")), QVariant(t), QVariant(c),
                                   QVariant(orden++)});
        }
        return r;
    }
    QStringList ClavePrimaria(const QString&) override { return {}; }
    QString Origen() const override { return QStringLiteral("Microsoft OLE DB Provider for SQL Server"); }

  private:
    // Throws when this session lost its link, or loses it now.
    void Vivir() {
        if (!caida_ && estado_->perdidas > 0) {
            --estado_->perdidas;
            caida_ = true;
        }
        if (caida_) throw ErrorProveedor(ProveedorGrabador::ErrorConexionPerdida());
    }

    std::shared_ptr<ProveedorGrabador::Estado> estado_;
    QString base_;
    bool caida_ = false;
};

}  // namespace

ProveedorGrabador::ProveedorGrabador(QStringList servidores) : estado_(std::make_shared<Estado>()) {
    estado_->servidores = std::move(servidores);
}

ProveedorGrabador::~ProveedorGrabador() = default;

bool ProveedorGrabador::Atiende(const ParametrosConexion& parametros) const {
    const QString servidor = parametros.Servidor();
    for (const QString& s : estado_->servidores)
        if (servidor.compare(s, Qt::CaseInsensitive) == 0) return true;
    return false;
}

std::unique_ptr<kv::db::Sesion> ProveedorGrabador::Abrir(const ParametrosConexion& parametros, int) {
    estado_->llamadas << QStringLiteral("Abrir ") + parametros.cadena;
    estado_->aperturas << parametros.cadena;
    estado_->ultimoUsuario = parametros.Usuario();
    estado_->ultimaClave = parametros.Clave();
    for (auto& [error, veces] : estado_->fallosApertura) {
        if (veces <= 0) continue;
        --veces;
        throw ErrorProveedor(error);
    }
    return std::make_unique<SesionGrabadora>(estado_, parametros.Base());
}

void ProveedorGrabador::Responder(const QString& fragmento, ResultadoSentencia resultado, int veces) {
    estado_->reglas.push_back({fragmento, std::move(resultado), veces, false});
}

void ProveedorGrabador::Filas(const QString& fragmento, const QStringList& columnas,
                              std::vector<std::vector<QVariant>> filas, int veces) {
    ResultadoSentencia r;
    r.tieneFilas = true;
    for (const QString& c : columnas) r.columnas.push_back({c, kv::db::tipo::VarWChar, 0, QString()});
    r.filas = std::move(filas);
    Responder(fragmento, std::move(r), veces);
}

void ProveedorGrabador::Afectados(const QString& fragmento, qint64 filas, int veces) {
    ResultadoSentencia r;
    r.filasAfectadas = filas;
    Responder(fragmento, std::move(r), veces);
}

void ProveedorGrabador::Fallar(const QString& fragmento, ErrorBD error, int veces) {
    ResultadoSentencia r;
    r.error = std::move(error);
    Responder(fragmento, std::move(r), veces);
}

void ProveedorGrabador::FallarApertura(ErrorBD error, int veces) {
    estado_->fallosApertura.push_back({std::move(error), veces});
}

void ProveedorGrabador::PerderConexion(int veces) { estado_->perdidas += veces; }

void ProveedorGrabador::Tablas(const QStringList& tablas) { estado_->tablas = tablas; }

void ProveedorGrabador::Columnas(const QString& tabla, const QStringList& columnas) {
    estado_->columnas.push_back({tabla, columnas});
}

ErrorBD ProveedorGrabador::ErrorConexionPerdida() {
    ErrorBD e;
    e.numero = -2147467259;
    e.descripcion = QStringLiteral("[DBNETLIB][ConnectionWrite (send()).]Error general de red.");
    e.errorNativo = 11;
    e.estadoSQL = QStringLiteral("08S01");
    return e;
}

ErrorBD ProveedorGrabador::Error(qint32 numero, const QString& descripcion, qint32 nativo,
                                 const QString& estado) {
    ErrorBD e;
    e.numero = numero;
    e.descripcion = descripcion;
    e.errorNativo = nativo;
    e.estadoSQL = estado;
    return e;
}

QStringList ProveedorGrabador::Sentencias() const { return estado_->sentencias; }
QStringList ProveedorGrabador::Llamadas() const { return estado_->llamadas; }
QStringList ProveedorGrabador::Aperturas() const { return estado_->aperturas; }
QString ProveedorGrabador::UltimoUsuario() const { return estado_->ultimoUsuario; }
QString ProveedorGrabador::UltimaClave() const { return estado_->ultimaClave; }
int ProveedorGrabador::SesionesAbiertas() const { return estado_->sesionesAbiertas; }

void ProveedorGrabador::Olvidar() {
    estado_->sentencias.clear();
    estado_->llamadas.clear();
    estado_->aperturas.clear();
}

GrabadorRegistrado::GrabadorRegistrado(QStringList servidores)
    : proveedor_(std::make_shared<ProveedorGrabador>(std::move(servidores))) {
    kv::db::RegistrarProveedor(proveedor_);
}

GrabadorRegistrado::~GrabadorRegistrado() { kv::db::QuitarProveedor(proveedor_); }

}  // namespace kv::pruebas
