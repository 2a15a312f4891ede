#include "core/LineaComandos.h"

namespace kv::core {

bool ValorPalabraClave(const QString& texto, const QString& clave, bool hastaElFinal, QString& valor) {
    const qsizetype posicion = texto.indexOf(clave, 0, Qt::CaseInsensitive);
    if (posicion < 0) return false;
    const qsizetype inicio = posicion + clave.size();
    const qsizetype fin = texto.indexOf(QLatin1Char(';'), posicion);
    QString bruto;
    if (fin >= 0) {
        bruto = texto.mid(inicio, fin - inicio);
    } else if (hastaElFinal) {
        bruto = texto.mid(inicio);
    }
    bruto.remove(QLatin1Char('='));
    valor = bruto.trimmed();
    return true;
}

ParametrosLinea AnalizarLineaComandos(const QString& texto) {
    ParametrosLinea p;
    auto leer = [&texto](const char* clave, QString& destino, const QString& porDefecto,
                         bool hastaElFinal = false) {
        if (!ValorPalabraClave(texto, QString::fromLatin1(clave), hastaElFinal, destino))
            destino = porDefecto;
    };
    leer(kClaveParametroAdicional, p.parametroAdicional, QString(), true);
    leer(kClaveMenu, p.menu, QString());
    leer(kClaveServidor, p.servidor, QString());
    leer(kClaveBase, p.base, QString());
    leer(kClaveUsuario, p.usuario, QString());
    leer(kClaveClave, p.clave, QString());
    leer(kClaveUsuarioLogeado, p.usuarioLogeado, QString());
    leer(kClaveCaja, p.caja, QStringLiteral("1"));
    return p;
}

QString LineaDesdeAjustesGuardados(const QString& servidor, const QString& base, const QString& usuario,
                                   const QString& clave) {
    return QStringLiteral("@server=") + servidor + QStringLiteral("; @dbname= ") + base +
           QStringLiteral("; @usuario= ") + usuario + QStringLiteral("; @Password= ") + clave +
           QStringLiteral("; @ParametroAdicional=; @Caja=1;quiv@");
}

QString PlantillaOracle(const QString& base, const QString& usuario, const QString& clave) {
    return QStringLiteral("Provider=OraOLEDB.Oracle.1;Data Source=") + base + QStringLiteral(";User Id=") +
           usuario + QStringLiteral(";Password=") + clave + QStringLiteral(";");
}

bool AplicarMarcaOracle(QString& servidor, QString& cadenaConexion, const QString& base,
                        const QString& usuario, const QString& clave) {
    if (!servidor.startsWith(QLatin1Char('#'))) return false;
    servidor.remove(QLatin1Char('#'));
    if (cadenaConexion.isEmpty()) cadenaConexion = PlantillaOracle(base, usuario, clave);
    return true;
}

QString NormalizarServidor(const QString& servidor) {
    QString resultado = servidor;
    const qsizetype barra = resultado.indexOf(QLatin1Char('/'));
    if (barra >= 0) resultado = resultado.mid(barra + 1);
    const qsizetype dosPuntos = resultado.indexOf(QLatin1Char(':'));
    if (dosPuntos >= 0) resultado = resultado.left(dosPuntos);
    return resultado;
}

QString ClaveEstacion(const QString& maquina, const QString& usuario) {
    QString clave = maquina.toUpper() + QLatin1Char('|') + usuario.toUpper();
    if (clave.trimmed().size() > 50) clave = clave.left(50);
    return clave;
}

bool EsOpcionPropia(const QString& argumento) {
    for (const char* opcion : kOpcionesPropias) {
        const QLatin1String o(opcion);
        if (argumento == o ||
            (argumento.startsWith(o) && argumento.mid(o.size()).startsWith(QLatin1Char('='))))
            return true;
    }
    return false;
}

QString TextoLineaComandos(const QStringList& argumentos, QStringList* opciones) {
    QStringList propios;
    QStringList resto;
    for (const QString& argumento : argumentos) {
        // Only the program's own options: a value of the suite's text that happens
        // to start with "--" (a password, say) stays in it.
        if (EsOpcionPropia(argumento))
            propios << argumento;
        else
            resto << argumento;
    }
    if (opciones) *opciones = propios;
    return resto.join(QLatin1Char(' '));
}

}  // namespace kv::core
