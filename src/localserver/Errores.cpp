#include "localserver/Errores.h"

#include <sqlite3.h>

#include <QRegularExpression>

#include "localserver/BaseSqlite.h"
#include "localserver/tsql/Mensajes.h"
#include "localserver/tsql/Traduccion.h"

namespace kv::local {

namespace msj {
QString InicioSesion(const QString& login) { return mensajes::InicioSesion(login); }
QString BaseInaccesible(const QString& base) { return mensajes::BaseNoAbre(base); }
QString TiempoAgotado() { return QStringLiteral("Tiempo de espera agotado"); }
QString NuloNoPermitido(const QString& columna, const QString& base, const QString& tabla, const QString& verbo) { return mensajes::NuloNoAdmitido(columna, base + QStringLiteral(".dbo.") + tabla, verbo); }
QString Truncado() { return mensajes::Truncado(); }
QString ClaveDuplicada(const QString& restriccion, const QString& tabla) { return mensajes::ClaveDuplicada(QStringLiteral("PRIMARY KEY"), restriccion, QStringLiteral("dbo.") + tabla); }
QString IndiceUnicoDuplicado(const QString& tabla, const QString& indice) {
    return QStringLiteral("No se puede insertar una fila de clave duplicada en el objeto 'dbo.%1' con índice único "
                          "'%2'.")
        .arg(tabla, indice);
}
QString ClaveDuplicadaIndice(const QString& tabla, const QString& restriccion) {
    return QStringLiteral("La instrucción CREATE UNIQUE INDEX terminó porque se encontró una clave duplicada para "
                          "el nombre de objeto 'dbo.%1' y el nombre de índice '%2'.")
        .arg(tabla, restriccion);
}
QString ObjetoExiste(const QString& objeto) { return mensajes::ObjetoYaExiste(objeto); }
QString ObjetoInexistente(const QString& objeto) { return mensajes::ObjetoInvalido(objeto); }
QString ColumnaInexistente(const QString& columna) { return mensajes::ColumnaInvalida(columna); }
QString ColumnaAmbigua(const QString& columna) {
    return QStringLiteral("El nombre de columna '%1' es ambiguo.").arg(columna);
}
QString FuncionDesconocida(const QString& funcion) { return mensajes::FuncionDesconocida(funcion); }
QString DivisionPorCero() { return mensajes::DivisionCero(); }
QString Sintaxis(const QString& cerca) { return mensajes::Sintaxis(cerca); }
QString Conversion(const QString& valor, const QString& tipo) {
    return QStringLiteral("Error de conversión al convertir el valor '%1' al tipo de datos %2.").arg(valor, tipo);
}
QString ConversionFecha() { return mensajes::ConversionFecha(); }
QString Desbordamiento(const QString& tipo) { return mensajes::Desbordamiento(tipo); }
QString IdentidadExplicita(const QString& tabla) {
    return QStringLiteral("No se puede insertar un valor explícito en la columna de identidad de la tabla '%1' "
                          "cuando IDENTITY_INSERT es OFF.")
        .arg(tabla);
}
QString TipoDesconocido(int numeroColumna, const QString& columna, const QString& tipo) {
    return QStringLiteral("Columna, parámetro o variable #%1: no se encuentra el tipo de datos %3 (columna '%2').")
        .arg(QString::number(numeroColumna), columna, tipo);
}
QString ClaveYaDefinida(const QString& tabla) {
    return QStringLiteral("La tabla '%1' ya tiene definida una clave principal.").arg(tabla);
}
QString RestriccionNoCreada() {
    return QStringLiteral("No se pudo crear la restricción. Vea los errores anteriores.");
}
QString DefectoYaDefinido(const QString& columna, const QString& tabla) {
    return QStringLiteral("La columna '%1' de la tabla '%2' ya tiene un valor DEFAULT enlazado.").arg(columna, tabla);
}
QString IndiceExiste(const QString& indice, const QString& tabla) {
    return QStringLiteral("La operación no se pudo realizar porque ya existe un índice con el nombre '%1' en la "
                          "tabla '%2'.")
        .arg(indice, tabla);
}
QString ColumnaNoEnDestino(const QString& columna) {
    return QStringLiteral("El nombre de columna '%1' no existe en la tabla o vista de destino.").arg(columna);
}
QString ColumnaRepetida(const QString& columna, const QString& tabla) {
    return QStringLiteral(
               "Los nombres de columna de cada tabla deben ser únicos. El nombre de columna '%1' de la "
               "tabla '%2' se especificó más de una vez.")
        .arg(columna, tabla);
}
QString TablaNoEncontrada(const QString& tabla) {
    return QStringLiteral("No se encuentra el objeto \"%1\" porque no existe o no tiene permisos.")
        .arg(tabla);
}
QString NoSePuedeQuitarTabla(const QString& tabla) { return mensajes::TablaNoExisteParaQuitar(tabla); }
QString NoSePuedeQuitarVista(const QString& vista) {
    return QStringLiteral("No se puede quitar la vista '%1' porque no existe o no tiene permiso.").arg(vista);
}
QString NoSePuedeQuitarIndice(const QString& indice) {
    return QStringLiteral("No se puede quitar el índice '%1' porque no existe o no tiene permiso.").arg(indice);
}
QString NoSePuedeQuitarBase(const QString& base) {
    return QStringLiteral("No se puede quitar la base de datos '%1' porque no existe o no tiene permiso.").arg(base);
}
QString BaseEnUso(const QString& base) {
    return QStringLiteral("No se puede quitar la base de datos \"%1\" porque está en uso.").arg(base);
}
QString BaseDelSistema(const QString& base) {
    return QStringLiteral("No se puede quitar la base de datos '%1' porque es una base de datos del sistema.").arg(base);
}
QString BaseExiste(const QString& base) { return mensajes::BaseYaExiste(base); }
QString BaseNoExisteUsar(const QString& base) {
    return QStringLiteral("La base de datos '%1' no existe. Asegúrese de que el nombre se escribió correctamente.")
        .arg(base);
}
QString SinAccesoBase(const QString& login, const QString& base) {
    return QStringLiteral("El inicio de sesión \"%1\" no puede tener acceso a la base de datos \"%2\" en el contexto "
                          "de seguridad actual.")
        .arg(login, base);
}
QString TransaccionCreaBase(const QString& instruccion) {
    return QStringLiteral("No se permite la instrucción %1 en una transacción con varias instrucciones.")
        .arg(instruccion);
}
QString VistaNoActualizable(int numero, const QString& vista) {
    if (numero == err::VistaAgrupada)
        return QStringLiteral("No se puede actualizar la vista o función '%1' porque contiene agregados, o una "
                              "cláusula DISTINCT o GROUP BY, o el operador PIVOT o UNPIVOT.")
            .arg(vista);
    if (numero == err::VistaCampoDerivado)
        return QStringLiteral("Error en la actualización o inserción de la vista o función '%1' porque contiene "
                              "un campo derivado o constante.")
            .arg(vista);
    return QStringLiteral("La vista o función '%1' no es actualizable porque la modificación afecta a varias "
                          "tablas base.")
        .arg(vista);
}
QString PermisoBase(const QString& permiso, const QString& base) {
    return QStringLiteral("Permiso %1 denegado en la base de datos '%2'.").arg(permiso, base);
}
QString PermisoObjeto(const QString& permiso, const QString& objeto, const QString& base) {
    return QStringLiteral("Permiso %1 denegado en el objeto '%2', base de datos '%3', esquema 'dbo'.")
        .arg(permiso, objeto, base);
}
QString PermisoColumna(const QString& permiso, const QString& columna, const QString& objeto,
                       const QString& base) {
    return QStringLiteral(
               "Permiso %1 denegado en la columna '%2' del objeto '%3', base de datos '%4', esquema "
               "'dbo'.")
        .arg(permiso, columna, objeto, base);
}
QString ErrorSistemaArchivo(const QString& base, const QString& ruta) {
    return QStringLiteral(
               "El sistema operativo devolvió un error al leer o escribir el archivo '%1' de la base de "
               "datos '%2'.")
        .arg(ruta, base);
}
QString ErrorCoherencia(const QString& base, const QString& ruta) {
    return QStringLiteral(
               "Se detectó un error de E/S lógico basado en la coherencia en el archivo '%1' de la base "
               "de datos '%2': el archivo está dañado o no es una base de datos. Restáurelo desde una "
               "copia de seguridad.")
        .arg(ruta, base);
}
QString BaseSinArchivos(const QString& base, const QString& ruta) {
    return QStringLiteral(
               "No se puede abrir la base de datos '%1' porque no se puede obtener acceso al archivo "
               "'%2'. Restáurelo desde una copia de seguridad o quite la base con DROP DATABASE.")
        .arg(base, ruta);
}
QString CatalogoAusente(const QString& ruta) {
    return QStringLiteral(
               "No se puede iniciar el servidor: falta el catálogo '%1' o no se puede usar, y la carpeta "
               "contiene bases de datos. Restáurelo desde una copia de seguridad o reconstrúyalo con "
               "kvsql --recuperar-catalogo.")
        .arg(ruta);
}
QString LoginNoModificable(const QString& login) {
    return QStringLiteral(
               "No se puede modificar el inicio de sesión '%1' porque no existe o no tiene permiso.")
        .arg(login);
}
QString ObjetoNoEncontrado(const QString& objeto) {
    return QStringLiteral("No se puede encontrar el objeto '%1' porque no existe o no tiene permisos.")
        .arg(objeto);
}
QString UsuarioNoEncontrado(const QString& usuario) {
    return QStringLiteral("No se puede encontrar el usuario '%1' porque no existe o no tiene permisos.")
        .arg(usuario);
}
QString PermisoNoAdmitido(const QString& permiso) {
    return QStringLiteral(
               "El permiso %1 no se concede objeto a objeto en este servidor: sólo EXECUTE sobre "
               "procedimientos. Los demás permisos se dan con las funciones de base de datos "
               "(sp_addrolemember).")
        .arg(permiso);
}
QString ProcedimientoInexistente(const QString& nombre) { return mensajes::ProcedimientoInexistente(nombre); }
QString CommitSinBegin() { return mensajes::CommitSinBegin(); }
QString RollbackSinBegin() { return mensajes::RollbackSinBegin(); }
QString UnicaColumna(const QString& columna, const QString& tabla) {
    return QStringLiteral("Error de ALTER TABLE DROP COLUMN porque '%1' es la única columna de datos de la tabla "
                          "'%2'. Una tabla debe tener al menos una columna de datos.")
        .arg(columna, tabla);
}
QString ColumnaAQuitarInexistente(const QString& columna, const QString& tabla) {
    return QStringLiteral("Error de ALTER TABLE DROP COLUMN porque la columna '%1' no existe en la tabla '%2'.")
        .arg(columna, tabla);
}
QString RenombrarAmbiguo(const QString& tipo) {
    return QStringLiteral("El parámetro @objname es ambiguo o el @objtype (%1) reclamado es incorrecto.").arg(tipo);
}
QString RenombrarTipoDesconocido(const QString& tipo) {
    return QStringLiteral("Error: no se reconoce el @objtype explícito '%1'.").arg(tipo);
}
QString RenombrarDuplicado(const QString& nombre, const QString& tipo) {
    return QStringLiteral("Error: el nuevo nombre '%1' ya se está usando como nombre de %2 y provocaría un duplicado "
                          "no permitido.")
        .arg(nombre, tipo);
}
QString PrecaucionRenombrar() {
    return QStringLiteral("Precaución: al cambiar cualquier parte del nombre de un objeto, pueden dejar de ser "
                          "válidos los scripts y los procedimientos almacenados.");
}
QString ObjetoDependiente(const QString& objeto, const QString& columna) {
    return QStringLiteral("El objeto '%1' depende de la columna '%2'.").arg(objeto, columna);
}
QString ColumnaSinNulosNiDefecto(const QString& columna, const QString& tabla) {
    return QStringLiteral("ALTER TABLE sólo permite agregar columnas que admitan valores NULL o que tengan una "
                          "definición DEFAULT. No se puede agregar la columna '%1' a la tabla '%2' porque no "
                          "está vacía.")
        .arg(columna, tabla);
}
QString NombreNoValido(const QString& nombre) {
    return QStringLiteral("'%1' no es un nombre válido porque contiene caracteres no válidos.").arg(nombre);
}
QString LoginInexistente(const QString& login) {
    return QStringLiteral("'%1' no es un inicio de sesión válido o no tiene permiso.").arg(login);
}
QString BaseNoExiste(const QString& base) { return QStringLiteral("La base de datos '%1' no existe.").arg(base); }
QString RolInexistente(const QString& rol) {
    return QStringLiteral("El rol '%1' no existe en la base de datos actual.").arg(rol);
}
QString RolServidorInexistente(const QString& rol) {
    return QStringLiteral("'%1' no es una función fija del servidor.").arg(rol);
}
QString UsuarioExiste(const QString& usuario) {
    return QStringLiteral("El usuario, grupo o rol '%1' ya existe en la base de datos actual.").arg(usuario);
}
QString LoginExiste(const QString& login) { return mensajes::LoginYaExiste(login); }
QString ClaveAnteriorIncorrecta() {
    return QStringLiteral("La contraseña anterior no es correcta. No se ha cambiado la contraseña.");
}
QString SinPermiso() { return QStringLiteral("El usuario no tiene permiso para realizar esta acción."); }
QString UsuarioInexistente(const QString& usuario) {
    return QStringLiteral("El usuario o rol '%1' no existe en esta base de datos.").arg(usuario);
}
QString BloqueoAgotado() { return QStringLiteral("Se superó el tiempo de espera de la solicitud de bloqueo."); }
QString InstruccionTerminada() { return QStringLiteral("La instrucción se ha terminado."); }
QString ErrorInterno() {
    return QStringLiteral("Error interno del servidor al ejecutar la instrucción. La instrucción se ha terminado.");
}
QString ErrorMotor(const QString& detalle) {
    if (detalle.isEmpty()) return ErrorInterno();
    return QStringLiteral(
               "Error interno del servidor al ejecutar la instrucción: %1. La instrucción se ha terminado.")
        .arg(detalle);
}
QString UnionDistintasColumnas() {
    return QStringLiteral(
        "Todas las consultas combinadas mediante un operador UNION, INTERSECT o EXCEPT deben tener "
        "el mismo número de expresiones en sus listas de destino.");
}
QString ArgumentoFaltante(const QString& procedimiento, const QString& parametro) {
    return QStringLiteral("El procedimiento o la función '%1' esperaba el parámetro '%2', que no se ha especificado.")
        .arg(procedimiento, parametro);
}
}  // namespace msj

QString TextoErrorCodificado(int numero, const QString& mensaje) {
    return QStringLiteral("[%1] %2").arg(numero).arg(mensaje);
}

namespace {

QString SinPrefijoMain(QString nombre) {
    if (nombre.startsWith(QLatin1String("main."))) nombre = nombre.mid(5);
    return nombre;
}

// Name of the PRIMARY KEY constraint of a table, from the catalog.
QString NombreClave(BaseSqlite& base, const QString& tabla) {
    try {
        const QVariant v = base.Escalar(
            QStringLiteral("SELECT nombre FROM kv_sys_restricciones WHERE tabla = ?1 AND tipo = 'PK'"), {tabla});
        if (!v.isNull()) return v.toString();
    } catch (const ErrorServidor&) {
    }
    return QStringLiteral("PK_") + tabla;
}

QString TipoDeclarado(BaseSqlite& base, const QString& tabla, const QString& columna) {
    try {
        const QVariant v = base.Escalar(
            QStringLiteral("SELECT tipo FROM kv_sys_columnas WHERE tabla = ?1 AND columna = ?2"), {tabla, columna});
        if (!v.isNull()) return v.toString();
    } catch (const ErrorServidor&) {
    }
    return QStringLiteral("int");
}

}  // namespace

ErrorServidor ErrorDeSqlite(BaseSqlite& base, int codigo, const ContextoError& contexto) {
    sqlite3* db = base.db();
    const QString texto = QString::fromUtf8(sqlite3_errmsg(db));
    const int primario = codigo & 0xff;
    using namespace estado;

    // Raised by the server's own triggers and functions.
    static const QRegularExpression codificado(QStringLiteral("^\\[(-?\\d+)\\] (.*)$"),
                                               QRegularExpression::DotMatchesEverythingOption);
    if (const auto m = codificado.match(texto); m.hasMatch()) {
        const int numero = m.captured(1).toInt();
        QString est = QString::fromLatin1(General);
        if (numero == err::DivisionPorCero) est = QString::fromLatin1(DivisionCero);
        else if (numero == err::Truncado) est = QString::fromLatin1(Truncado);
        else if (numero == err::IdentidadExplicita || numero == err::NuloNoPermitido) est = QString::fromLatin1(Integridad);
        else if (numero == err::Conversion || numero == err::ConversionFecha || numero == err::Desbordamiento)
            est = QStringLiteral("22018");
        return ErrorServidor(numero, m.captured(2), est);
    }

    // A lock wait that ran out: at the statement's deadline the client takes it for a time-out.
    if (primario == SQLITE_BUSY || primario == SQLITE_LOCKED)
        return ErrorServidor(err::BloqueoAgotado, msj::BloqueoAgotado(),
                             QString::fromLatin1(base.Vencido() ? TiempoAgotado : General));
    if (primario == SQLITE_INTERRUPT || base.Vencido())
        return ErrorServidor(err::TiempoAgotado, msj::TiempoAgotado(), QString::fromLatin1(TiempoAgotado));
    if (primario == SQLITE_AUTH)
        return ErrorServidor(err::PermisoObjeto,
                             msj::PermisoObjeto(QStringLiteral("EXECUTE"), contexto.objeto, base.nombre()),
                             QString::fromLatin1(Sintaxis));

    if (primario == SQLITE_CONSTRAINT) {
        static const QRegularExpression nulo(QStringLiteral("NOT NULL constraint failed: ([^.]+)\\.(.+)"));
        static const QRegularExpression unico(QStringLiteral("UNIQUE constraint failed: ([^.]+)\\."));
        static const QRegularExpression check(QStringLiteral("CHECK constraint failed: (.+)"));
        static const QRegularExpression tipoDato(
            QStringLiteral("cannot store (\\w+) value in (\\w+) column ([^.]+)\\.(.+)"));
        if (const auto m = nulo.match(texto); m.hasMatch()) {
            const QString verbo = contexto.verbo == QLatin1String("UPDATE") ? QStringLiteral("UPDATE")
                                                                            : QStringLiteral("INSERT");
            return ErrorServidor(err::NuloNoPermitido,
                                 msj::NuloNoPermitido(m.captured(2), base.nombre(), m.captured(1), verbo),
                                 QString::fromLatin1(Integridad));
        }
        if (const auto m = unico.match(texto); m.hasMatch()) {
            const QString tabla = m.captured(1);
            if ((codigo == SQLITE_CONSTRAINT_PRIMARYKEY || codigo == SQLITE_CONSTRAINT_UNIQUE)) {
                // A unique index created by the user names itself; the key is the table's primary key.
                const QVariant indice = [&]() -> QVariant {
                    try {
                        return base.Escalar(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'index' AND "
                                                           "tbl_name = ?1 AND sql IS NOT NULL AND sql LIKE "
                                                           "'CREATE UNIQUE%'"),
                                            {tabla});
                    } catch (const ErrorServidor&) {
                        return {};
                    }
                }();
                if (codigo == SQLITE_CONSTRAINT_UNIQUE && !indice.isNull())
                    return ErrorServidor(err::IndiceUnicoDuplicado,
                                         msj::IndiceUnicoDuplicado(
                                             tabla, IndiceComoSeEscribio(indice.toString(), tabla)),
                                         QString::fromLatin1(Integridad));
            }
            return ErrorServidor(err::ClaveDuplicada, msj::ClaveDuplicada(NombreClave(base, tabla), tabla),
                                 QString::fromLatin1(Integridad));
        }
        if (const auto m = check.match(texto); m.hasMatch()) {
            const QString nombre = m.captured(1);
            if (nombre.startsWith(QLatin1String("kvlon_")))
                return ErrorServidor(err::Truncado, msj::Truncado(), QString::fromLatin1(Truncado));
            if (nombre.startsWith(QLatin1String("kvint_"))) {
                const QString columna = nombre.mid(6);
                return ErrorServidor(err::Desbordamiento,
                                     msj::Desbordamiento(TipoDeclarado(base, contexto.objeto, columna)),
                                     QStringLiteral("22003"));
            }
            return ErrorServidor(err::Restriccion,
                                 mensajes::ConflictoRestriccion(
                                     contexto.verbo.isEmpty() ? QStringLiteral("INSERT") : contexto.verbo,
                                     QStringLiteral("CHECK"), nombre, base.nombre(),
                                     QStringLiteral("dbo.") + contexto.objeto, QString()),
                                 QString::fromLatin1(Integridad));
        }
        if (const auto m = tipoDato.match(texto); m.hasMatch()) {
            const QString tipo = TipoDeclarado(base, m.captured(3), m.captured(4));
            return ErrorServidor(err::Conversion, msj::Conversion(m.captured(1).toLower(), tipo),
                                 QStringLiteral("22018"));
        }
        if (codigo == SQLITE_CONSTRAINT_FOREIGNKEY)
            return ErrorServidor(err::Restriccion,
                                 QStringLiteral("Instrucción %1 en conflicto con la restricción FOREIGN KEY.")
                                     .arg(contexto.verbo.isEmpty() ? QStringLiteral("INSERT") : contexto.verbo),
                                 QString::fromLatin1(Integridad));
        return ErrorServidor(err::Restriccion, msj::InstruccionTerminada(), QString::fromLatin1(Integridad));
    }

    if (primario == SQLITE_ERROR) {
        static const QRegularExpression sinTabla(QStringLiteral("no such table: (.+)"));
        static const QRegularExpression sinVista(QStringLiteral("no such view: (.+)"));
        static const QRegularExpression sinIndice(QStringLiteral("no such index: (.+)"));
        static const QRegularExpression sinColumna(QStringLiteral("no such column: (.+)"));
        static const QRegularExpression sinColumna2(QStringLiteral("table (\\S+) has no column named (.+)"));
        static const QRegularExpression yaExiste(QStringLiteral("(table|view|trigger) (\\S+) already exists"));
        static const QRegularExpression indiceExiste(QStringLiteral("index (\\S+) already exists"));
        static const QRegularExpression ambigua(QStringLiteral("ambiguous column name: (.+)"));
        static const QRegularExpression funcion(QStringLiteral("no such function: (.+)"));
        static const QRegularExpression cerca(QStringLiteral("near \"(.*)\": syntax error"));
        static const QRegularExpression mismatch(QStringLiteral("datatype mismatch"));
        auto quitarComillas = [](QString s) {
            s = s.trimmed();
            if (s.size() >= 2 && (s.front() == QLatin1Char('"') || s.front() == QLatin1Char('\'')))
                s = s.mid(1, s.size() - 2);
            return SinPrefijoMain(s);
        };
        if (const auto m = sinTabla.match(texto); m.hasMatch()) {
            const QString t = quitarComillas(m.captured(1));
            if (contexto.verbo == QLatin1String("DROP"))
                return ErrorServidor(err::NoSePuedeQuitar, msj::NoSePuedeQuitarTabla(t),
                                     QString::fromLatin1(TablaInexistente));
            return ErrorServidor(err::ObjetoInexistente, msj::ObjetoInexistente(t),
                                 QString::fromLatin1(TablaInexistente));
        }
        if (const auto m = sinVista.match(texto); m.hasMatch())
            return ErrorServidor(err::NoSePuedeQuitar, msj::NoSePuedeQuitarVista(quitarComillas(m.captured(1))),
                                 QString::fromLatin1(TablaInexistente));
        if (const auto m = sinIndice.match(texto); m.hasMatch())
            return ErrorServidor(err::NoSePuedeQuitar, msj::NoSePuedeQuitarIndice(quitarComillas(m.captured(1))),
                                 QString::fromLatin1(Sintaxis));
        if (const auto m = sinColumna.match(texto); m.hasMatch()) {
            QString c = quitarComillas(m.captured(1));
            const int punto = c.lastIndexOf(QLatin1Char('.'));
            if (punto >= 0) c = c.mid(punto + 1);
            return ErrorServidor(err::ColumnaInexistente, msj::ColumnaInexistente(c),
                                 QString::fromLatin1(ColumnaInexistente));
        }
        if (const auto m = sinColumna2.match(texto); m.hasMatch())
            return ErrorServidor(err::ColumnaInexistente, msj::ColumnaInexistente(quitarComillas(m.captured(2))),
                                 QString::fromLatin1(ColumnaInexistente));
        if (const auto m = yaExiste.match(texto); m.hasMatch())
            return ErrorServidor(err::ObjetoExiste, msj::ObjetoExiste(quitarComillas(m.captured(2))),
                                 QStringLiteral("42S01"));
        if (const auto m = indiceExiste.match(texto); m.hasMatch())
            return ErrorServidor(err::IndiceExiste, msj::IndiceExiste(quitarComillas(m.captured(1)), contexto.objeto),
                                 QStringLiteral("42S11"));
        if (const auto m = ambigua.match(texto); m.hasMatch()) {
            QString c = quitarComillas(m.captured(1));
            const int punto = c.lastIndexOf(QLatin1Char('.'));
            if (punto >= 0) c = c.mid(punto + 1);
            return ErrorServidor(err::ColumnaAmbigua, msj::ColumnaAmbigua(c), QString::fromLatin1(Sintaxis));
        }
        if (const auto m = funcion.match(texto); m.hasMatch())
            return ErrorServidor(err::FuncionDesconocida, msj::FuncionDesconocida(m.captured(1).trimmed()),
                                 QString::fromLatin1(Sintaxis));
        if (const auto m = cerca.match(texto); m.hasMatch())
            return ErrorServidor(err::Sintaxis, msj::Sintaxis(m.captured(1)), QString::fromLatin1(Sintaxis));
        if (texto.contains(QLatin1String("incomplete input")))
            return ErrorServidor(err::Sintaxis, msj::Sintaxis(QString()), QString::fromLatin1(Sintaxis));
        if (mismatch.match(texto).hasMatch())
            return ErrorServidor(err::Conversion, msj::Conversion(QString(), QStringLiteral("int")),
                                 QStringLiteral("22018"));
        if (texto.contains(QLatin1String("integer overflow")))
            return ErrorServidor(err::Desbordamiento, msj::Desbordamiento(QStringLiteral("int")),
                                 QStringLiteral("22003"));
        if (texto.contains(QLatin1String("aggregate")) || texto.contains(QLatin1String("GROUP BY")))
            return ErrorServidor(8120,
                                 QStringLiteral("La columna no es válida en la lista de selección porque no está "
                                                "contenida en una función de agregado ni en la cláusula GROUP BY."),
                                 QString::fromLatin1(Sintaxis));
        if (texto.contains(QLatin1String("expression tree is too large"), Qt::CaseInsensitive) ||
            texto.contains(QLatin1String("too many terms"), Qt::CaseInsensitive))
            return ErrorServidor(8623,
                                 QStringLiteral("El procesador de consultas se quedó sin recursos internos y no pudo "
                                                "generar un plan de consulta."),
                                 QString::fromLatin1(General));
        if (texto.contains(QLatin1String("sub-select returns")))
            return ErrorServidor(err::ColumnasEnSubconsulta, mensajes::ColumnasEnSubconsulta(),
                                 QString::fromLatin1(Sintaxis));
        if (texto.contains(QLatin1String("do not have the same number of result columns")))
            return ErrorServidor(err::UnionDistintasColumnas, msj::UnionDistintasColumnas(),
                                 QString::fromLatin1(Sintaxis));
        if (texto.contains(QLatin1String("parser stack overflow")))
            return ErrorServidor(mensajes::kAnidamiento, mensajes::Anidamiento(),
                                 QString::fromLatin1(Sintaxis));
        return ErrorServidor(err::ErrorInterno, msj::ErrorMotor(texto), QString::fromLatin1(General));
    }
    if (primario == SQLITE_MISMATCH)
        return ErrorServidor(err::Conversion, msj::Conversion(QString(), QStringLiteral("int")),
                             QStringLiteral("22018"));
    if (primario == SQLITE_TOOBIG)
        return ErrorServidor(err::Truncado, msj::Truncado(), QString::fromLatin1(Truncado));
    if (primario == SQLITE_CORRUPT || primario == SQLITE_NOTADB)
        return ErrorServidor(err::ErrorCoherencia, msj::ErrorCoherencia(base.nombre(), base.ruta()),
                             QString::fromLatin1(General));
    if (primario == SQLITE_IOERR || primario == SQLITE_CANTOPEN || primario == SQLITE_FULL ||
        primario == SQLITE_READONLY)
        return ErrorServidor(err::ErrorSistemaArchivo, msj::ErrorSistemaArchivo(base.nombre(), base.ruta()),
                             QString::fromLatin1(General));
    return ErrorServidor(err::ErrorInterno, msj::ErrorMotor(texto), QString::fromLatin1(General));
}

}  // namespace kv::local
