// kv_estv --demo [--lineas N] [--semilla S]: two demo companies on the embedded
// server, the statistics store, three saved statistics rebuilt from the sale
// lines, and the viewer (or, without a display, the report of the first one).

#include <QDate>
#include <QElapsedTimer>
#include <QCoreApplication>
#include <algorithm>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryFile>
#include <QSaveFile>
#include <QStringList>
#include <QTextStream>
#include <cstdio>
#include <exception>
#include <thread>

#include "access/ArchivoBases.h"
#include "app/Ordenes.h"
#include "core/Inicio.h"
#include "db/Conexion.h"
#include "db/DB_Dll.h"
#include "localserver/Catalogo.h"
#include "localserver/ServidorEmbebido.h"
#include "localserver/demo/DatosDemo.h"
#include "localserver/erp/EsquemaERP.h"
#include "localserver/procedimientos/ReconsEstv.h"
#include "stats/AlmacenEstadisticas.h"
#include "stats/Catalogo.h"
#include "stats/Definicion.h"
#include "stats/Reconstruccion.h"
#include "util/ArchivoAcotado.h"
#include "util/KvError.h"
#include "util/UtilGeneral.h"
#include "util/UtilRutas.h"

namespace kv::app {

namespace {

constexpr const char* kServidorEmbebido = "EMBEBIDO";
// The server the demo is made on: the embedded one, or any other a connection string
// names (the embedded server through its TDS endpoint, a SQL Server).
QString& Servidor() {
    static QString servidor = QLatin1String(kServidorEmbebido);
    return servidor;
}
constexpr const char* kAdministrador = "Korvane";
constexpr const char* kClaveAdministrador = "pelumbo";
constexpr const char* kVariableAdministrador = "KVESTV_ADMIN_USUARIO";
constexpr const char* kVariableClaveAdministrador = "KVESTV_ADMIN_CLAVE";

struct EmpresaDemo {
    const char* nombre;
    bool compartida;
};
constexpr EmpresaDemo kEmpresas[] = {{"NORTE", false}, {"SUR", true}};

struct EstadisticaDemo {
    const char* nombre;
    std::vector<const char*> grupos;
    const char* top;
};

const std::vector<EstadisticaDemo>& EstadisticasDemo() {
    static const std::vector<EstadisticaDemo> e = {
        {"Ventas por Artículo", {"IdArticulo"}, "10"},
        {"Vendedores por Familia", {"IdVendedor", "IdFamilia"}, "15"},
        {"Clientes", {"Cuenta"}, "20"},
    };
    return e;
}

void Aviso(const QString& texto) {
    std::fputs((texto + QLatin1Char('\n')).toUtf8().constData(), stderr);
    std::fflush(stderr);
}

QString CadenaConexion(const QString& base, const QString& usuario, const QString& clave) {
    return QStringLiteral("PROVIDER=SQLOLEDB;Server=%1;Database =%2;UId=%3;Pwd=%4;")
        .arg(kv::db::ValorCadenaConexion(Servidor()), kv::db::ValorCadenaConexion(base),
             kv::db::ValorCadenaConexion(usuario), kv::db::ValorCadenaConexion(clave));
}

// Runs a batch; the errors of its statements are returned, not thrown.
QStringList Lote(kv::db::Conexion& conexion, const QString& sql) {
    QStringList errores;
    for (const auto& r : conexion.EjecutarLote(sql))
        if (r.error) errores << r.error->descripcion;
    return errores;
}

bool EsNumeroPositivo(const QString& texto, qint64 minimo, qint64& valor) {
    bool ok = false;
    const qint64 v = texto.toLongLong(&ok);
    if (!ok || v < minimo) return false;
    valor = v;
    return true;
}

// Creates or refreshes one company: database, ERP schema and its login (the data comes after).
void PrepararEmpresa(kv::db::Conexion& admin, const EmpresaDemo& empresa) {
    const QString nombre = QLatin1String(empresa.nombre);
    Lote(admin, QStringLiteral("CREATE DATABASE ") + nombre);  // already there on a refresh
    const QStringList uso = Lote(admin, QStringLiteral("USE ") + nombre);
    if (!uso.isEmpty()) throw KvExcepcion(-1, uso.first(), QStringLiteral("Demo"));
    if (!Lote(admin, QStringLiteral("SELECT TOP 1 IdArticulo FROM MV_STOCK")).isEmpty())
        kv::local::CrearEsquemaERP(admin);
    // A login per company, named after it, with its name as password.
    Lote(admin, QStringLiteral("EXEC sp_addlogin N'%1', '%1', '%1'").arg(nombre));
    Lote(admin, QStringLiteral("EXEC sp_grantdbaccess @loginame = '%1' , @name_in_db ='%1'").arg(nombre));
    Lote(admin, QStringLiteral("EXEC sp_addrolemember N'db_owner', N'%1'").arg(nombre));
}

// Fills one company's data on a connection of its own (the two companies are filled at once).
void LlenarEmpresa(kv::db::Conexion& conexion, const EmpresaDemo& empresa, int indice, qint64 lineas,
                   quint64 semilla, const QDate& hoy) {
    const QStringList uso = Lote(conexion, QStringLiteral("USE ") + QLatin1String(empresa.nombre));
    if (!uso.isEmpty()) throw KvExcepcion(-1, uso.first(), QStringLiteral("Demo"));
    const QStringList llenado =
        Lote(conexion, QStringLiteral("EXEC %1 %2, %3, %4, '%5/%6'")
                           .arg(QLatin1String(kv::local::demo::kNombreProcedimientoDemo))
                           .arg(semilla)
                           .arg(lineas)
                           .arg(indice)
                           .arg(hoy.month())
                           .arg(hoy.year()));
    if (!llenado.isEmpty()) throw KvExcepcion(-1, llenado.first(), QStringLiteral("Demo"));
}

// One entry per company in the registered-connection list; other entries stay as they were.
void RegistrarConexiones() {
    QList<kv::access::ConexionRegistrada> propias;
    for (const EmpresaDemo& e : kEmpresas) {
        const QString base = QLatin1String(e.nombre);
        kv::access::ConexionRegistrada c;
        c.nombre = base.toUpper() + QStringLiteral(" / ") + Servidor();
        c.base = base;
        c.usuario = base;
        c.clave = kv::UtilGeneral::Codificar(base);
        c.servidor = Servidor();
        propias << c;
    }
    kv::access::ReemplazarConexiones(kv::access::RutaBases(), propias);
}

void Conectar(kv::db::DB_Dll& db, const QString& base, const QString& usuario, const QString& clave) {
    db.gProveedor = kv::db::DB_Dll::pSQLOLEDB();
    db.gServidor = Servidor();
    db.gDBName = base;
    db.gUsuario = usuario;
    db.gUserPassWord = clave;
    db.OpenServerADODB(false, 3, QString(), false, true);
    if (!db.gOpenFlag)
        throw KvExcepcion(-1, QStringLiteral("No se pudo conectar con %1 en el servidor %2.").arg(base, Servidor()),
                          QStringLiteral("Demo"));
}

// Saves (or updates) the three statistics through the store's own save code,
// and rebuilds them when the save did not (their grouping was already stored).
void GrabarEstadisticas(kv::db::DB_Dll& almacen) {
    kv::db::DB_Dll empresa;
    for (const EstadisticaDemo& e : EstadisticasDemo()) {
        const QString nombre = QString::fromUtf8(e.nombre);
        kv::stats::Definicion leida;
        kv::stats::EstadoDefinicion estado;
        kv::stats::BuscarDefinicion(almacen, nombre, leida, estado);
        estado.nombre = nombre;

        // What a reset window leaves, with the grouping, the order and the TOP of the demo.
        kv::stats::Definicion definicion;
        for (const char* grupo : e.grupos) {
            const int i = kv::stats::IndiceCatalogo(QLatin1String(grupo));
            if (i >= 0) definicion.grupos[size_t(i)] = true;
        }
        kv::stats::MarcarOrden(definicion.orden, kv::stats::IndiceOrden(QStringLiteral("Venta")), true);
        definicion.ascendente = false;  // Descendente: the best sellers first
        definicion.top = QLatin1String(e.top);

        bool reconstruida = false;
        const bool grabada = kv::stats::GrabarEstadistica(almacen, definicion, estado, [&](const QString& tabla) {
            kv::stats::ReconstruirEstadistica(almacen, tabla, empresa);
            reconstruida = true;
        });
        if (!grabada)
            throw KvExcepcion(-1, QStringLiteral("No se pudo grabar la estadística \"%1\".").arg(nombre),
                              QStringLiteral("Demo"));
        if (!reconstruida && !estado.tabla.isEmpty()) kv::stats::ReconstruirEstadistica(almacen, estado.tabla, empresa);
        Aviso(QStringLiteral("Estadística \"%1\" lista (%2).").arg(nombre, estado.tabla));
    }
}

// A folder the demo writes into: made when it is missing, and it must be a
// folder this user can write in. Empty when it is fine, the reason otherwise.
QString ComprobarCarpeta(const QString& carpeta, const QString& que) {
    const QFileInfo info(carpeta);
    if (!info.exists() && !QDir().mkpath(carpeta))
        return QStringLiteral("No se pudo crear la carpeta %1 \"%2\".").arg(que, carpeta);
    const QFileInfo creada(carpeta);
    if (!creada.isDir()) return QStringLiteral("La carpeta %1 \"%2\" no es una carpeta.").arg(que, carpeta);
    // Asked of the file system itself: a test file made and removed.
    QTemporaryFile prueba(QDir(carpeta).filePath(QStringLiteral(".kv_estv-prueba-XXXXXX")));
    if (!prueba.open())
        return QStringLiteral("No se puede escribir en la carpeta %1 \"%2\".").arg(que, carpeta);
    return QString();
}

// What the demo writes at its end is checked before it starts: the folders,
// and the registered-connection list, which must be a regular file it can
// read and rewrite (a FIFO or a device in its place would hang or fill the memory).
QString ComprobarAntesDeEmpezar() {
    QString motivo = ComprobarCarpeta(kv::UtilRutas::Carpeta(), QStringLiteral("de la aplicación"));
    if (!motivo.isEmpty()) return motivo;
    const QString bases = kv::access::RutaBases();
    const kv::util::LecturaAcotada lectura = kv::util::LeerArchivoAcotado(bases);
    if (lectura.existe && !lectura.leido) return lectura.error;
    if (lectura.existe && !QFileInfo(bases).isWritable())
        return QStringLiteral("No se puede escribir el archivo \"%1\".").arg(bases);
    return ComprobarCarpeta(kv::local::CarpetaServidor(), QStringLiteral("de datos"));
}

// The demo runs before any window exists, so the display is judged from the
// environment the viewer would start in.
bool HayPantalla() {
    const QString plataforma = qEnvironmentVariable("QT_QPA_PLATFORM");
    if (plataforma.startsWith(QLatin1String("offscreen")) || plataforma.startsWith(QLatin1String("minimal")))
        return false;
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

}  // namespace

int OrdenDemo(const QStringList& argumentos) {
    qint64 lineas = 200000;
    qint64 semilla = 1;
    QString captura;
    // The administrator's login: options, else the variables, else the server's first one.
    QString administrador = qEnvironmentVariable(kVariableAdministrador);
    QString claveAdministrador = qEnvironmentVariable(kVariableClaveAdministrador);
    if (administrador.isEmpty()) administrador = QLatin1String(kAdministrador);
    if (!qEnvironmentVariableIsSet(kVariableClaveAdministrador))
        claveAdministrador = QLatin1String(kClaveAdministrador);
    const QString uso = QStringLiteral(
        "\nUso: kv_estv --demo [--lineas N] [--semilla S] [--admin USUARIO --clave CLAVE] [--captura ARCHIVO] "
        "[--servidor NOMBRE]");
    for (int i = 0; i < argumentos.size(); ++i) {
        const QString& a = argumentos[i];
        const bool conValor = i + 1 < argumentos.size();
        if (a == QLatin1String("--lineas") && conValor && EsNumeroPositivo(argumentos[i + 1], 0, lineas)) {
            ++i;
        } else if (a == QLatin1String("--semilla") && conValor && EsNumeroPositivo(argumentos[i + 1], 0, semilla)) {
            ++i;
        } else if (a == QLatin1String("--servidor") && conValor && !argumentos[i + 1].trimmed().isEmpty()) {
            Servidor() = argumentos[++i].trimmed();
        } else if (a == QLatin1String("--captura") && conValor) {
            captura = argumentos[++i];
        } else if ((a == QLatin1String("--admin") || a == QLatin1String("--clave")) && conValor) {
            (a == QLatin1String("--admin") ? administrador : claveAdministrador) = argumentos[++i];
        } else {
            const bool conocida = a == QLatin1String("--lineas") || a == QLatin1String("--semilla");
            const bool conTexto =
                a == QLatin1String("--admin") || a == QLatin1String("--clave") || a == QLatin1String("--captura") ||
                a == QLatin1String("--servidor");
            Aviso((conocida   ? QStringLiteral("%1 necesita un número entero no negativo.").arg(a)
                   : conTexto ? QStringLiteral("%1 necesita un valor.").arg(a)
                              : QStringLiteral("Opción no válida: %1").arg(a)) +
                  uso);
            return 2;
        }
    }

    if (const QString motivo = ComprobarAntesDeEmpezar(); !motivo.isEmpty()) {
        Aviso(QStringLiteral("No se pudo preparar la demostración: %1 No se ha creado nada.").arg(motivo));
        return 1;
    }

    kv::local::RegistrarServidorEmbebido();
    kv::local::RegistrarReconsEstv();
    kv::local::demo::RegistrarProcedimientoDemo();

    QElapsedTimer reloj;
    reloj.start();
    try {
        kv::db::Conexion admin;
        admin.SetCommandTimeout(0);
        try {
            admin.Open(CadenaConexion(QStringLiteral("master"), administrador, claveAdministrador));
        } catch (const KvExcepcion& e) {
            Aviso(QStringLiteral("No se pudo conectar con el servidor %1 como %2: %3\n"
                                 "Si cambió la contraseña del administrador, indíquela con --admin USUARIO "
                                 "--clave CLAVE o con las variables %4 y %5.")
                      .arg(Servidor(), administrador, e.error().descripcion,
                           QLatin1String(kVariableAdministrador),
                           QLatin1String(kVariableClaveAdministrador)));
            return 3;
        }
        const QDate hoy = QDate::currentDate();
        const auto reparto = kv::local::demo::RepartirLineas(lineas);
        // Filled here, on the embedded server in this process: each tenth of a long company's
        // lines is told (a short one takes seconds, and says what any other server says).
        kv::local::demo::EstablecerAvanceDemo([](const QString& empresa, std::int64_t escritas, std::int64_t total) {
            if (total < 100000) return;
            Aviso(QStringLiteral("  %1: %2 de %3 líneas de venta escritas").arg(empresa).arg(escritas).arg(total));
            // The indexes of the movements are sorted after the last line: a long, silent step otherwise.
            if (escritas == total) Aviso(QStringLiteral("  %1: ordenando los índices de los movimientos...").arg(empresa));
        });
        struct SinAvance {
            ~SinAvance() { kv::local::demo::EstablecerAvanceDemo({}); }
        } sinAvance;
        const qint64 porEmpresa[] = {reparto.norte, reparto.sur};
        // The two companies are two databases: each is made and filled on its own connection
        // (and thread), so a large demo keeps both cores busy, and no connection has the
        // other's file open while a new one is made whole beside it.
        kv::db::Conexion segunda;
        segunda.SetCommandTimeout(0);
        segunda.Open(CadenaConexion(QStringLiteral("master"), administrador, claveAdministrador));
        kv::db::Conexion* conexiones[] = {&admin, &segunda};
        for (int i = 0; i < 2; ++i) {
            Aviso(QStringLiteral("Creando la empresa %1 con %2 líneas de venta...")
                      .arg(QLatin1String(kEmpresas[i].nombre))
                      .arg(porEmpresa[i]));
            PrepararEmpresa(*conexiones[i], kEmpresas[i]);
        }
        std::exception_ptr falloSegunda;
        std::thread hilo([&] {
            try {
                LlenarEmpresa(segunda, kEmpresas[1], 1, porEmpresa[1], quint64(semilla), hoy);
            } catch (...) {
                falloSegunda = std::current_exception();
            }
        });
        std::exception_ptr falloPrimera;
        try {
            LlenarEmpresa(admin, kEmpresas[0], 0, porEmpresa[0], quint64(semilla), hoy);
        } catch (...) {
            falloPrimera = std::current_exception();
        }
        hilo.join();
        segunda.Close();
        if (falloPrimera) std::rethrow_exception(falloPrimera);
        if (falloSegunda) std::rethrow_exception(falloSegunda);
        admin.Close();

        // The store, created on the ERP connection as the viewer does at start-up;
        // the rebuild's company connections check their user through it too.
        kv::db::DB_Dll& erp = kv::db::DB_Dll::Principal();
        Conectar(erp, QLatin1String(kEmpresas[0].nombre), administrador, claveAdministrador);
        kv::stats::CrearBaseEstadisticas(erp);

        kv::db::DB_Dll almacen;
        Conectar(almacen, QLatin1String(kv::stats::kBaseAlmacen), QLatin1String(kv::stats::kUsuarioAlmacen),
                 kv::core::ClaveEstadisticas());
        almacen.gCnn.SetCommandTimeout(0);
        for (const EmpresaDemo& e : kEmpresas) {
            qint32 afectadas = 0;
            QString borrar = QStringLiteral("DELETE MA_EMPRESAS WHERE BASE='%1'").arg(QLatin1String(e.nombre));
            almacen.EjecutaConsultaSQL(borrar, afectadas);
            QString insertar = QStringLiteral("INSERT INTO MA_EMPRESAS (BASE,COMPARTIDA) VALUES ('%1',%2)")
                                   .arg(QLatin1String(e.nombre))
                                   .arg(e.compartida ? 1 : 0);
            almacen.EjecutaConsultaSQL(insertar, afectadas);
        }
        GrabarEstadisticas(almacen);
        almacen.gCnn.Close();
        // Closed before the program's own statics go away.
        kv::db::DB_Dll::DescartarPrincipal();
        RegistrarConexiones();
        Aviso(QStringLiteral("Demostración lista en %1 s.").arg(double(reloj.elapsed()) / 1000.0, 0, 'f', 1));
    } catch (const KvExcepcion& e) {
        kv::db::DB_Dll::DescartarPrincipal();
        Aviso(QStringLiteral("No se pudo preparar la demostración: %1").arg(e.error().descripcion));
        return 1;
    }

    // The viewer, or its report, runs as the program would be started on NORTE.
    const QString conexion = QStringLiteral("@Server=%1;@DbName=%2;@Usuario=%2;@Password=%2;")
                                 .arg(Servidor(), QLatin1String(kEmpresas[0].nombre));
    QStringList orden;
    // The window opens with the first statistic loaded (and, asked for, saves its picture).
    if (HayPantalla()) {
        orden << QStringLiteral("--estadistica") << QString::fromUtf8(EstadisticasDemo().front().nombre);
        if (!captura.isEmpty()) orden << QStringLiteral("--captura") << captura;
        orden << conexion;
    }
    else
        orden << QStringLiteral("--informe") << QString::fromUtf8(EstadisticasDemo().front().nombre) << conexion;
    QProcess programa;
    programa.setProcessChannelMode(QProcess::ForwardedChannels);
    programa.setInputChannelMode(QProcess::ForwardedInputChannel);
    programa.start(QCoreApplication::applicationFilePath(), orden);
    if (!programa.waitForStarted(-1)) {
        Aviso(QStringLiteral("No se pudo iniciar %1").arg(QCoreApplication::applicationFilePath()));
        return 1;
    }
    programa.waitForFinished(-1);
    return programa.exitStatus() == QProcess::NormalExit ? programa.exitCode() : 1;
}

}  // namespace kv::app
