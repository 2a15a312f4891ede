#include "stats/Reconstruccion.h"

#include <QStringList>

#include "db/DB_Dll.h"
#include "db/Recordset.h"
#include "util/Interaccion.h"

namespace kv::stats {

using kv::db::DB_Dll;
using kv::db::Recordset;

QString SentenciaReconstruir(const QString& tabla) {
    return QStringLiteral("EXEC KV_RECONS_ESTV '','") + tabla + QStringLiteral("'");
}

void ReconstruirEstadistica(DB_Dll& almacen, const QString& tabla, DB_Dll& empresa) {
    Interaccion& ui = interaccion();
    Recordset empresas;
    QString sql = QString::fromUtf8(kSentenciaEmpresas);
    almacen.AbrirRecordset(sql, empresas);
    const bool hayEmpresas = empresas.State() != kv::db::ado::Cerrado && !empresas.EOF_();
    if (hayEmpresas) {
        const QString titulo = QString::fromUtf8(kTituloReconstruccion);
        const QString mensaje = QString::fromUtf8(kMensajeReconstruccion);
        ui.ProgresoIniciar(titulo, false);
        ui.ProgresoActualizar(titulo, mensaje, QString());
        while (!empresas.EOF_()) {
            ui.ProcesarEventos();
            const QVariant valor = empresas.Valor(QStringLiteral("Base"));
            const QString base = valor.isNull() ? QString() : valor.toString();
            ui.ProgresoActualizar(titulo, mensaje, base.toUpper());
            if (empresa.gCnn.State() != kv::db::ado::Cerrado) empresa.gCnn.Close();
            empresa.gDBName = base;
            empresa.gUsuario = base;
            empresa.gUserPassWord = base;
            empresa.gServidor = almacen.gServidor;
            empresa.OpenServerADODB(false, 3, QString(), true, true);
            if (empresa.gCnn.State() != kv::db::ado::Cerrado) {
                empresa.gCnn.SetCommandTimeout(kTiempoReconstruccion);
                QString llamada = SentenciaReconstruir(tabla);
                qint32 afectados = 0;
                empresa.EjecutaConsultaSQL(llamada, afectados);
            }
            empresas.MoveNext();
        }
        ui.ProgresoCerrar();
    }
    almacen.CierraRecordset(empresas);
}

}  // namespace kv::stats
