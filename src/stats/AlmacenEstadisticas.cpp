#include "stats/AlmacenEstadisticas.h"

#include <QRegularExpression>
#include <memory>

#include "core/Inicio.h"
#include "core/Numeros.h"
#include "db/DB_Dll.h"
#include "db/Recordset.h"
#include "db/TextoSQL.h"
#include "util/Interaccion.h"

namespace kv::stats {

using kv::db::DB_Dll;
using kv::db::Recordset;

namespace {

const QString kCRLF = QStringLiteral("\r\n");

QString Unir(std::initializer_list<QString> lineas) {
    QStringList lista(lineas);
    return lista.join(kCRLF);
}

QString SinNulo(const QVariant& valor) { return valor.isNull() ? QString() : valor.toString(); }

int ManejarError(const KvError& error) {
    return interaccion().MostrarError(error, QStringLiteral("GrabarEstadistica"));
}

}  // namespace

QStringList SentenciasCreacionAlmacen(const QString& clave) {
    const QString claveLogin = clave.isEmpty() ? QString::fromLatin1(kClaveAlmacen) : clave;
    QStringList s;
    s << QStringLiteral("Create Database KV_ESTADISTICAS") << QStringLiteral("USE KV_ESTADISTICAS")
      << QStringLiteral("EXEC sp_addlogin N'KV_ESTADISTICAS', '") + kv::db::DuplicarApostrofes(claveLogin) +
             QStringLiteral("', 'KV_ESTADISTICAS'")
      // The store's login gets no server role: its password is the same default
      // on every installation, and a server role would open every company's
      // database to whoever knows it. It owns its store through the roles below.
      << QStringLiteral(
             "EXEC sp_grantdbaccess @loginame = 'KV_ESTADISTICAS' , @name_in_db ='KV_ESTADISTICAS'")
      << QStringLiteral("EXEC sp_addrolemember N'db_accessadmin', N'KV_ESTADISTICAS'")
      << QStringLiteral("EXEC sp_addrolemember N'db_backupoperator', N'KV_ESTADISTICAS'")
      << QStringLiteral("EXEC sp_addrolemember N'db_datareader', N'KV_ESTADISTICAS'")
      << QStringLiteral("EXEC sp_addrolemember N'db_datawriter', N'KV_ESTADISTICAS'")
      << QStringLiteral("EXEC sp_addrolemember N'db_ddladmin', N'KV_ESTADISTICAS'")
      << QStringLiteral("EXEC sp_addrolemember N'db_owner', N'KV_ESTADISTICAS'")
      << QStringLiteral("EXEC sp_addrolemember N'db_securityadmin', N'KV_ESTADISTICAS'");
    s << Unir({QStringLiteral("CREATE TABLE [dbo].[CAB_ESTV] ("),
               QStringLiteral(" [Codigo] [int] IDENTITY (1, 1) NOT NULL , "),
               QStringLiteral(" [Nombre] [nvarchar] (50) NULL , "),
               QStringLiteral(" [Tabla] [nvarchar] (50) NULL ,"),
               QStringLiteral(" [Campos] [nvarchar] (500) NULL,"),
               QStringLiteral(" [Orden] [nvarchar] (50) NULL,"),
               QStringLiteral(" [Totalizadores] [nvarchar] (50) NULL,"), QStringLiteral(" [TOP] [Int] NULL,"),
               QStringLiteral(" [TopOtros] [nvarchar] (50) NULL"), QStringLiteral(" ) ON [PRIMARY]"),
               QStringLiteral(" "), QStringLiteral(" ALTER TABLE [dbo].[CAB_ESTV] WITH NOCHECK ADD"),
               QStringLiteral(" CONSTRAINT [PK_CAB_ESTV] PRIMARY KEY  NONCLUSTERED"), QStringLiteral(" ("),
               QStringLiteral(" [CODIGO]"), QStringLiteral(" )  ON [PRIMARY]")});
    s << Unir({QStringLiteral("CREATE TABLE [dbo].[TA_CONFIGURACION] ("),
               QStringLiteral(" [ID] [int] IDENTITY (1, 1) NOT NULL , "),
               QStringLiteral(" [GRUPO] [nvarchar] (50) NOT NULL ,"),
               QStringLiteral(" [CLAVE] [nvarchar] (50) NOT NULL ,"),
               QStringLiteral(" [VALOR] [nvarchar] (150) NULL ,"),
               QStringLiteral(" [DESCRIPCION] [nvarchar] (50) NULL ,"),
               QStringLiteral(" [FechaHora_Grabacion] [datetime] NULL ,"),
               QStringLiteral(" [FechaHora_Modificacion] [datetime] NULL ,"),
               QStringLiteral(" [Transmision] [int] NULL ,"),
               QStringLiteral(" [Recepcion] [int] NULL ,"),
               QStringLiteral(" [ValorAux] [ntext] NULL ,"),
               QStringLiteral(" [PoliticaNegocio] [bit] NULL ,"),
               QStringLiteral(" [Bloquea] [bit] NULL"),
               QStringLiteral(" ) ON [PRIMARY] TEXTIMAGE_ON [PRIMARY]"),
               QStringLiteral("  "),
               QStringLiteral(" ALTER TABLE [dbo].[TA_CONFIGURACION] WITH NOCHECK ADD"),
               QStringLiteral(" CONSTRAINT [DF_TA_CONFIGURACION_Transmision] DEFAULT (0) FOR [Transmision],"),
               QStringLiteral(" CONSTRAINT [DF_TA_CONFIGURACION_Recepcion] DEFAULT (0) FOR [Recepcion],"),
               QStringLiteral(
                   " CONSTRAINT [DF_ta_configuracion_PoliticaNegocio] DEFAULT (0) FOR [PoliticaNegocio],"),
               QStringLiteral(" CONSTRAINT [DF_ta_configuracion_Bloquea] DEFAULT (0) FOR [Bloquea],"),
               QStringLiteral(" CONSTRAINT [PK_TA_CONFIGURACION] PRIMARY KEY  NONCLUSTERED"),
               QStringLiteral(" ("),
               QStringLiteral(" [GRUPO],"),
               QStringLiteral(" [Clave]"),
               QStringLiteral(" ) WITH  FILLFACTOR = 90  ON [PRIMARY]")});
    s << Unir({QStringLiteral("CREATE TABLE [dbo].[MA_EMPRESAS] ("),
               QStringLiteral(" [Base] [nvarchar] (50) NOT NULL ,"),
               QStringLiteral(" [Compartida] [bit] NULL"), QStringLiteral(" ) ON [PRIMARY]"),
               QStringLiteral(" "), QStringLiteral(" ALTER TABLE [dbo].[MA_EMPRESAS] WITH NOCHECK ADD"),
               QStringLiteral(" CONSTRAINT [DF_MA_EMPRESAS_Compartida] DEFAULT (0) FOR [Compartida],"),
               QStringLiteral(" CONSTRAINT [PK_MA_EMPRESAS] PRIMARY KEY  NONCLUSTERED"), QStringLiteral(" ("),
               QStringLiteral(" [Base]"), QStringLiteral(" )  ON [PRIMARY]")});
    return s;
}

void CrearBaseEstadisticas(DB_Dll& erp) {
    // Later starts run the same statements and each fails harmlessly: the
    // execution is silent, so every statement is simply tried in turn. Only the
    // switch to the store must succeed: without it the login, its roles and the
    // store tables would land in the company database the connection stands on.
    const QString almacen = QLatin1String(kBaseAlmacen);
    for (QString sentencia : SentenciasCreacionAlmacen(kv::core::ClaveEstadisticas())) {
        const bool esCambioDeBase = sentencia.startsWith(QLatin1String("USE "), Qt::CaseInsensitive);
        qint32 afectados = 0;
        try {
            erp.EjecutaConsultaSQL(sentencia, afectados);
        } catch (const std::exception&) {
        }
        if (!esCambioDeBase) continue;
        QString actual;
        try {
            actual = erp.gCnn.DefaultDatabase();
        } catch (const std::exception&) {
        }
        if (actual.compare(almacen, Qt::CaseInsensitive) != 0) return;
    }
}

QString NombreTablaNueva(const std::vector<std::pair<QString, QString>>& tablas) {
    qint64 siguiente = 0;
    for (const auto& [nombre, tipo] : tablas) {
        if (tipo != QLatin1String("TABLE")) continue;
        if (!nombre.contains(QLatin1String(kPrefijoTabla), Qt::CaseInsensitive)) continue;
        const qint64 numero = static_cast<qint64>(kv::core::TextoANumero(nombre.mid(8)));
        if (numero >= siguiente) siguiente = numero + 1;
    }
    return QLatin1String(kPrefijoTabla) + QStringLiteral("%1").arg(siguiente, 4, 10, QLatin1Char('0'));
}

QString ElegirNombreTablaNueva(DB_Dll& almacen) {
    std::vector<std::pair<QString, QString>> tablas;
    auto esquema = almacen.gCnn.OpenSchema(kv::db::ado::EsquemaTablas);
    if (esquema) {
        while (!esquema->EOF_()) {
            interaccion().ProcesarEventos();
            tablas.emplace_back(SinNulo(esquema->Valor(QStringLiteral("TABLE_NAME"))),
                                SinNulo(esquema->Valor(QStringLiteral("Table_Type"))));
            esquema->MoveNext();
        }
    }
    return NombreTablaNueva(tablas);
}

QString TomarTablaNueva(DB_Dll& almacen, int intentos) {
    QString tabla;
    for (int intento = 0; intento < intentos; ++intento) {
        tabla = ElegirNombreTablaNueva(almacen);
        QString sql = SentenciaCrearTablaEstadistica(tabla);
        qint32 afectados = 0;
        almacen.EjecutaConsultaSQL(sql, afectados);
        bool yaExiste = false;
        for (const kv::db::ErrorBD& error : almacen.gCnn.Errors().Todos())
            if (error.errorNativo == kObjetoYaExiste) yaExiste = true;
        // Another viewer took this number between the look and the creation: look again.
        if (!yaExiste) break;
    }
    return tabla;
}

QString SentenciaInsertarDefinicion(const QString& nombre, const QString& tabla, const QString& campos,
                                    const QString& orden, const QString& totalizadores, const QString& top,
                                    const QString& topOtros) {
    using kv::db::DuplicarApostrofes;
    return QStringLiteral(
               "INSERT INTO CAB_ESTV (NOMBRE,TABLA,CAMPOS,ORDEN,TOTALIZADORES,[TOP],TOPOTROS) VALUES('") +
           DuplicarApostrofes(nombre) + QStringLiteral("','") + tabla + QStringLiteral("','") + campos +
           QStringLiteral("','") + orden + QStringLiteral("','") + totalizadores + QStringLiteral("',") +
           top + QStringLiteral(",'") + DuplicarApostrofes(topOtros) + QStringLiteral("')");
}

QString SentenciaCrearTablaEstadistica(const QString& tabla) {
    return Unir({QStringLiteral("CREATE TABLE [dbo].[") + tabla + QStringLiteral("] ("),
                 QStringLiteral(" [Base] [nvarchar] (50) NOT NULL , "),
                 QStringLiteral(" [Fecha] [nvarchar] (7) NOT NULL ,"),
                 QStringLiteral(" [Grupo1] [nvarchar] (25) NOT NULL ,"),
                 QStringLiteral(" [Grupo2] [nvarchar] (25) NOT NULL ,"),
                 QStringLiteral(" [Grupo3] [nvarchar] (25) NOT NULL ,"),
                 QStringLiteral(" [Consumo] [float] NULL ,"), QStringLiteral(" [ValorCosto] [money] NULL ,"),
                 QStringLiteral(" [ValorVenta] [money] NULL"), QStringLiteral(" ) ON [PRIMARY]"),
                 QStringLiteral("ALTER TABLE [dbo].[") + tabla + QStringLiteral("] WITH NOCHECK ADD"),
                 QStringLiteral(" CONSTRAINT [PK_") + tabla + QStringLiteral("] PRIMARY KEY  NONCLUSTERED"),
                 QStringLiteral(" ("), QStringLiteral(" [Base],"), QStringLiteral(" [Fecha],"),
                 QStringLiteral(" [Grupo1],"), QStringLiteral(" [Grupo2],"), QStringLiteral(" [Grupo3]"),
                 QStringLiteral(" )  ON [PRIMARY]")});
}

QString SentenciaActualizarDefinicion(const QString& nombreRecortado, const QString& campos,
                                      const QString& orden, const QString& totalizadores, const QString& top,
                                      const QString& topOtros) {
    using kv::db::DuplicarApostrofes;
    return QStringLiteral("UPDATE CAB_ESTV SET CAMPOS ='") + campos + QStringLiteral("', ORDEN='") + orden +
           QStringLiteral("', TOTALIZADORES='") + totalizadores + QStringLiteral("', [TOP]=") + top +
           QStringLiteral(", TOPOTROS='") + DuplicarApostrofes(topOtros) +
           QStringLiteral("' WHERE NOMBRE='") + DuplicarApostrofes(nombreRecortado) + QStringLiteral("'");
}

QString SentenciaBorrarDefinicion(const QString& nombreRecortado) {
    return QStringLiteral("DELETE CAB_ESTV WHERE NOMBRE='") + kv::db::DuplicarApostrofes(nombreRecortado) +
           QStringLiteral("'");
}

bool EsTablaEstadistica(const QString& tabla) {
    static const QRegularExpression forma(QStringLiteral("^DET_ESTV[0-9]+$"),
                                          QRegularExpression::CaseInsensitiveOption);
    return forma.match(tabla).hasMatch();
}

QString SentenciaEliminarTabla(const QString& tabla) { return QStringLiteral("DROP TABLE ") + tabla; }

QString SentenciaTablasDeNombre(const QString& nombreRecortado) {
    return QStringLiteral("SELECT TABLA FROM CAB_ESTV WHERE NOMBRE='") +
           kv::db::DuplicarApostrofes(nombreRecortado) + QStringLiteral("'");
}

QString ValidarGrabacion(const QString& nombre, const Definicion& definicion, ModoGrabacion modo) {
    if (modo == ModoGrabacion::Borrar || modo == ModoGrabacion::Ninguno) return QString();
    // The name is stored trimmed, and every statement uses that same text.
    const QString usado = nombre.trimmed();
    if (usado.isEmpty()) return QString::fromUtf8(kMensajeNombreVacio);
    if (usado.size() > 50) return QString::fromUtf8(kMensajeNombreLargo);
    static const QRegularExpression entero(QStringLiteral("^[0-9]{1,5}$"));
    const QString top = definicion.top.trimmed();
    if (!entero.match(top).hasMatch() || top.toInt() > 32767) return QString::fromUtf8(kMensajeTopInvalido);
    if (definicion.topOtros.size() > 50) return QString::fromUtf8(kMensajeOtrosLargo);
    return QString();
}

bool GrabarEstadistica(DB_Dll& almacen, const Definicion& definicion, EstadoDefinicion& estado,
                       const std::function<void(const QString&)>& reconstruir) {
    estado.cancelar = false;
    const ModoGrabacion modo = estado.modo;
    if (modo == ModoGrabacion::Ninguno) return false;

    // Nothing is written unless every statement can run: a half save would
    // leave a row without table or a table without row.
    const QString aviso = ValidarGrabacion(estado.nombre, definicion, modo);
    if (!aviso.isEmpty()) {
        const bool sinNombre = aviso == QString::fromUtf8(kMensajeNombreVacio);
        interaccion().Mensaje(aviso, sinNombre ? estilo::Critico : estilo::Informacion,
                              QString::fromUtf8(sinNombre ? kTituloAvisoOperador : kTituloAvisoUsuario));
        estado.cancelar = true;
        return false;
    }

    const QString orden = CodificarOrden(definicion.orden, definicion.ascendente);
    const QString totalizadores = CodificarTotalizadores(definicion.totales);
    const QString top = definicion.top;
    const QString topOtros = definicion.topOtros;
    const QString nombreRecortado = estado.nombre.trimmed();

    QString campos;
    if (modo != ModoGrabacion::Borrar) {
        campos = CamposParaSentencia(definicion.grupos);
        if (campos.trimmed().isEmpty()) {
            interaccion().Mensaje(QString::fromUtf8(kMensajeSinGrupos), estilo::Informacion,
                                  QString::fromUtf8(kTituloAvisoUsuario));
            estado.cancelar = true;
            return false;
        }
    }

    auto ejecutar = [&almacen](QString sentencia) {
        qint32 afectados = 0;
        almacen.EjecutaConsultaSQL(sentencia, afectados);
    };

    std::vector<PasoAtrapado> pasos;
    if (modo == ModoGrabacion::Nuevo) {
        // The table is created before the row names it: two viewers saving at the
        // same time cannot both create one number, so neither writes into the other's.
        pasos.push_back([&] { estado.tabla = TomarTablaNueva(almacen); });
        pasos.push_back([&] {
            // Stored trimmed: the update and delete look it up trimmed, so a name
            // typed with a leading blank must not be stored with it.
            ejecutar(SentenciaInsertarDefinicion(nombreRecortado, estado.tabla, campos, orden, totalizadores,
                                                 top, topOtros));
        });
    } else if (modo == ModoGrabacion::Existente) {
        pasos.push_back([&] {
            ejecutar(
                SentenciaActualizarDefinicion(nombreRecortado, campos, orden, totalizadores, top, topOtros));
        });
    } else {
        // Only the tables of the rows being deleted are dropped, never a name
        // the window happens to hold.
        auto tablas = std::make_shared<QStringList>();
        pasos.push_back([&, tablas] {
            tablas->clear();
            QString sql = SentenciaTablasDeNombre(nombreRecortado);
            Recordset registro;
            almacen.AbrirRecordset(sql, registro);
            if (registro.State() != kv::db::ado::Cerrado) {
                while (!registro.EOF_()) {
                    const QString tabla = SinNulo(registro.Valor(QStringLiteral("TABLA"))).trimmed();
                    if (EsTablaEstadistica(tabla) && !tablas->contains(tabla, Qt::CaseInsensitive))
                        tablas->append(tabla);
                    registro.MoveNext();
                }
                almacen.CierraRecordset(registro);
            }
        });
        pasos.push_back([&] { ejecutar(SentenciaBorrarDefinicion(nombreRecortado)); });
        pasos.push_back([&, tablas] {
            for (const QString& tabla : *tablas) ejecutar(SentenciaEliminarTabla(tabla));
        });
    }
    if (modo != ModoGrabacion::Borrar) {
        pasos.push_back([&] {
            // A new table is empty whatever grouping the window held before.
            const bool reconstruirTabla =
                modo == ModoGrabacion::Nuevo || GruposCambiaron(estado.camposCargados, campos);
            if (reconstruirTabla && reconstruir) reconstruir(estado.tabla);
            QString almacenado = campos;
            almacenado.replace(QLatin1String(kRellenoSentencia), QLatin1String(kRellenoAlmacenado));
            estado.camposCargados = almacenado;
            estado.modo = ModoGrabacion::Existente;
        });
    }
    return EjecutarPasos(pasos, ManejarError);
}

void CargarDefinicion(const Recordset& registro, Definicion& definicion, EstadoDefinicion& estado) {
    definicion.grupos = {};
    const QString orden = SinNulo(registro.Valor(QStringLiteral("Orden"))).trimmed();
    DecodificarOrden(orden, definicion.orden, definicion.ascendente);
    DecodificarTotalizadores(SinNulo(registro.Valor(QStringLiteral("Totalizadores"))), definicion.totales);
    const QString top = SinNulo(registro.Valor(QStringLiteral("tOp"))).trimmed();
    if (!top.isEmpty()) definicion.top = top;
    const QString otros = SinNulo(registro.Valor(QStringLiteral("TopOtros"))).trimmed();
    if (!otros.isEmpty()) definicion.topOtros = otros;
    estado.tabla = registro.Valor(QStringLiteral("Tabla")).toString();
    estado.camposCargados = SinNulo(registro.Valor(QStringLiteral("Campos")));
    definicion.grupos = GruposDesdeCampos(estado.camposCargados);
    estado.titulos = TitulosDeGrupos(definicion.grupos);
}

bool BuscarDefinicion(DB_Dll& almacen, const QString& nombre, Definicion& definicion,
                      EstadoDefinicion& estado) {
    estado.nombre = nombre;
    Recordset registro;
    const bool existe = almacen.ExisteEnTabla(QStringLiteral("CAB_ESTV"), nombre.trimmed(),
                                              QStringLiteral("NOMBRE"), &registro, 8, QString(), true);
    if (!existe || registro.State() == kv::db::ado::Cerrado || registro.EOF_()) {
        estado.modo = ModoGrabacion::Nuevo;
        if (registro.State() != kv::db::ado::Cerrado) almacen.CierraRecordset(registro);
        return false;
    }
    CargarDefinicion(registro, definicion, estado);
    estado.modo = ModoGrabacion::Existente;
    almacen.CierraRecordset(registro);
    return true;
}

QStringList NombresEstadisticas(DB_Dll& almacen) {
    QStringList nombres;
    Recordset registros;
    QString sql = QString::fromLatin1(kSentenciaNombresEstadisticas);
    almacen.AbrirRecordset(sql, registros);
    if (registros.State() == kv::db::ado::Cerrado) return nombres;
    while (!registros.EOF_()) {
        nombres.append(registros.Valor(0).toString());
        registros.MoveNext();
    }
    almacen.CierraRecordset(registros);
    return nombres;
}

}  // namespace kv::stats
