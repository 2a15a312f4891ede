// Small questions about the connected database: tables, columns, rows, extremes.

#include <functional>

#include "db/DB_Dll.h"
#include "db/DB_DllInterno.h"
#include "db/TextoSQL.h"
#include "util/Interaccion.h"

namespace kv::db {

using namespace interno;

namespace {
const QString kTituloAvisoOperador = QStringLiteral("Aviso al Operador");
const QString kRutinaVerifica = QStringLiteral("VerificaCampos");
const QString kRutinaAddField = QStringLiteral("errAddField");
const QString kExcluyeCeros = QStringLiteral("substring(ltrim(idarticulo),1,1)<>'0'");

bool EsNumero(int Tipodato) { return Tipodato == 3 || Tipodato == 5 || Tipodato == 4; }

QString NumeroPlano(const QString& valor) { return TextoDecimal(ValorInicial(valor)).trimmed(); }

void CerrarSiAbierto(Recordset& rs) {
    if (rs.State() != ado::Cerrado) rs.Close();
}
}  // namespace

namespace {
// Walks a schema recordset looking for a row whose `columna` equals `buscado`
// (trimmed, letter case ignored). A failing step goes to the main instance's
// error treatment under "VerificaCampos"; an answer other than retry or ignore
// gives false.
bool HayEnEsquema(const std::function<std::unique_ptr<Recordset>()>& abrir, const QString& columna,
                  const QString& buscado) {
    bool existe = false;
    std::unique_ptr<Recordset> esquema;
    const std::vector<PasoAtrapado> pasos = {
        [&] { esquema = abrir(); },
        [&] {
            existe = false;
            if (!esquema) return;
            const QString buscadoLimpio = buscado.trimmed();
            for (; !esquema->EOF_(); esquema->MoveNext()) {
                if (Iguales(esquema->Valor(columna).toString().trimmed(), buscadoLimpio)) {
                    existe = true;
                    break;
                }
            }
        },
        [&] {
            if (esquema) CerrarSiAbierto(*esquema);
        },
    };
    const bool completo = EjecutarPasos(pasos, [&](const KvError& error) {
        return DB_Dll::Principal().TratamientoErrores(error, std::nullopt, kRutinaVerifica);
    });
    return completo && existe;
}
}  // namespace

bool DB_Dll::ExisteTablaDB(const QString& Tabla) {
    return HayEnEsquema([&] { return gCnn.OpenSchema(ado::EsquemaTablas); }, QStringLiteral("TABLE_NAME"),
                        Tabla);
}

bool DB_Dll::ExisteCampoDB(const QString& Tabla, const QString& Campo) {
    if (Contiene(Principal().gProveedor, QStringLiteral("ORACLE"))) return true;
    return HayEnEsquema(
        [&] {
            return gCnn.OpenSchema(ado::EsquemaColumnas,
                                   {QVariant(gDBName), QVariant(), QVariant(Tabla), QVariant()});
        },
        QStringLiteral("COLUMN_NAME"), Campo);
}

QString DB_Dll::SqlAddField(const QString& Tabla, const QString& Campo, const QString& Tipo,
                            bool PermiteNulos, const QVariant& ValorDefault) {
    QString sql = QStringLiteral("ALTER TABLE dbo.") + Tabla + QStringLiteral(" ADD ") + Campo +
                  QStringLiteral(" ") + Tipo +
                  (PermiteNulos ? QStringLiteral(" Null ") : QStringLiteral(" Not Null "));
    if (ValorDefault.isValid())
        sql += QStringLiteral(" CONSTRAINT DF_") + Tabla.trimmed() + QStringLiteral("_") + Campo.trimmed() +
               QStringLiteral(" DEFAULT (") + ValorDefault.toString() + QStringLiteral(")");
    return sql;
}

void DB_Dll::AddField(const QString& Tabla, const QString& Campo, const QString& Tipo, bool PermiteNulos,
                      const QVariant& ValorDefault) {
    const std::vector<PasoAtrapado> pasos = {
        [&] {
            QString sql = SqlAddField(Tabla, Campo, Tipo, PermiteNulos, ValorDefault);
            qint32 afectados = 0;
            EjecutaConsultaSQL(sql, afectados);
        },
    };
    EjecutarPasos(pasos, [&](const KvError& error) {
        return Principal().TratamientoErrores(error, std::nullopt, kRutinaAddField);
    });
}

bool DB_Dll::VerCampoDB(const QString& Tabla, const QString& Campo, bool Agregar, const QString& Tipo,
                        bool PermiteNulos, const QVariant& ValorDefault) {
    if (ExisteTablaDB(Tabla) && !ExisteCampoDB(Tabla, Campo) && Agregar)
        AddField(Tabla, Campo, Tipo, PermiteNulos, ValorDefault);
    return true;
}

QString DB_Dll::SqlExisteEnTabla(const QString& Tabla, const QString& ValorBuscado, const QString& Campo,
                                 int Tipodato, const QString& Condicion) {
    if (!Condicion.trimmed().isEmpty())
        return QStringLiteral("SELECT TOP 1 * FROM ") + Tabla + QStringLiteral(" with(nolock) ") +
               (Contiene(Condicion, QStringLiteral(" WHERE ")) ? QStringLiteral(" ")
                                                               : QStringLiteral(" WHERE ")) +
               Condicion;
    if (Tipodato == 8)
        return QStringLiteral("SELECT TOP 1  * FROM ") + Tabla +
               QStringLiteral(" with(nolock)  WHERE LTRIM(RTRIM(") + Campo + QStringLiteral(")) ='") +
               DuplicarApostrofes(ValorBuscado.trimmed()) + QStringLiteral("'");
    const QString cabeza =
        QStringLiteral("SELECT TOP 1 * FROM ") + Tabla + QStringLiteral(" with(nolock)  WHERE ");
    if (Tipodato == 7)
        return cabeza + Campo + QStringLiteral(" = ") + ValorBuscado.trimmed() + QStringLiteral(" ");
    if (EsNumero(Tipodato)) return cabeza + Campo + QStringLiteral(" = ") + NumeroPlano(ValorBuscado);
    return cabeza + Campo + QStringLiteral(" = ") + ValorBuscado;
}

QString DB_Dll::SqlExisteEnTablaST(const QString& Tabla, const QString& ValorBuscado, const QString& Campo,
                                   int Tipodato, const QString& Condicion) {
    if (!Condicion.trimmed().isEmpty())
        return QStringLiteral("SELECT * FROM ") + Tabla + QStringLiteral(" with(nolock)  ") +
               (Contiene(Condicion, QStringLiteral(" WHERE ")) ? QStringLiteral(" ")
                                                               : QStringLiteral(" WHERE ")) +
               Condicion;
    const QString cabeza =
        QStringLiteral("SELECT * FROM ") + Tabla + QStringLiteral(" with(nolock)   WHERE ");
    if (Tipodato == 8)
        return cabeza + Campo + QStringLiteral(" ='") + DuplicarApostrofes(ValorBuscado) +
               QStringLiteral("'");
    if (Tipodato == 7)
        return cabeza + Campo + QStringLiteral(" = ") + ValorBuscado.trimmed() + QStringLiteral(" ");
    if (EsNumero(Tipodato)) return cabeza + Campo + QStringLiteral(" = ") + NumeroPlano(ValorBuscado);
    return cabeza + Campo + QStringLiteral(" = ") + ValorBuscado;
}

QString DB_Dll::SqlDatosTabla(const QString& Tabla, const QString& ValorBuscado, const QString& Campo,
                              int Tipodato, const QString& Condicion, bool UsaTrim) {
    const QString cola = (Condicion.trimmed().isEmpty() ? QString() : QStringLiteral(" AND ")) + Condicion;
    const QString cabeza =
        QStringLiteral("SELECT TOP 1 * FROM ") + Tabla + QStringLiteral(" with(nolock)  WHERE ");
    if (Tipodato == 8) {
        if (UsaTrim)
            return cabeza + QStringLiteral("LTRIM(RTRIM(") + Campo + QStringLiteral(")) ='") +
                   DuplicarApostrofes(ValorBuscado.trimmed()) + QStringLiteral("' ") + cola;
        return cabeza + Campo + QStringLiteral(" ='") + DuplicarApostrofes(ValorBuscado) +
               QStringLiteral("' ") + cola;
    }
    if (Tipodato == 7)
        return cabeza + Campo + QStringLiteral(" = #") + ValorBuscado.trimmed() + QStringLiteral("# ") + cola;
    if (EsNumero(Tipodato)) return cabeza + Campo + QStringLiteral(" = ") + NumeroPlano(ValorBuscado) + cola;
    return cabeza + Campo + QStringLiteral(" = ") + ValorBuscado + cola;
}

int DB_Dll::MensajeAvisoOperador(const KvError& error) {
    return kv::interaccion().Mensaje(error.descripcion, estilo::AnularReintentarOmitir + estilo::Critico,
                                     kTituloAvisoOperador);
}

bool DB_Dll::ExisteEnTablaComun(const QString& sql, Recordset* lrcs, bool SoloLectura) {
    bool existe = false;
    if (!lrcs) {
        Recordset propio;
        const std::vector<PasoAtrapado> pasos = {
            [&] { propio.Open(sql, &gCnn, ado::SoloAvance, ado::SoloLectura, -1); },
            [&] { existe = !propio.EOF_(); },
            [&] { CerrarSiAbierto(propio); },
        };
        const bool completo = EjecutarPasos(pasos, [&](const KvError& e) { return MensajeAvisoOperador(e); });
        return completo && existe;
    }
    const std::vector<PasoAtrapado> pasos = {
        [&] { CerrarSiAbierto(*lrcs); },
        [&] {
            if (SoloLectura)
                lrcs->Open(sql, &gCnn, ado::SoloAvance, ado::SoloLectura, -1);
            else
                lrcs->Open(sql, &gCnn, lrcs->CursorType(), lrcs->LockType(), -1);
        },
        [&] { existe = !lrcs->BOF(); },
    };
    const bool completo = EjecutarPasos(pasos, [&](const KvError& e) { return MensajeAvisoOperador(e); });
    return completo && existe;
}

bool DB_Dll::ExisteEnTabla(const QString& Tabla, const QString& ValorBuscado, const QString& Campo,
                           Recordset* lrcs, int Tipodato, const QString& Condicion, bool SoloLectura) {
    QString sql = SS_TSinonimos(SqlExisteEnTabla(Tabla, ValorBuscado, Campo, Tipodato, Condicion));
    if (!lrcs) sql = ORACLE_Dicc(sql);
    return ExisteEnTablaComun(sql, lrcs, SoloLectura);
}

bool DB_Dll::ExisteEnTablaST(const QString& Tabla, const QString& ValorBuscado, const QString& Campo,
                             Recordset* lrcs, int Tipodato, const QString& Condicion, bool SoloLectura) {
    return ExisteEnTablaComun(SqlExisteEnTablaST(Tabla, ValorBuscado, Campo, Tipodato, Condicion), lrcs,
                              SoloLectura);
}

QVariant DB_Dll::DatosTabla(const QString& Tabla, const QString& ValorBuscado, const QString& CampoDevuelto,
                            const QString& Campo, int Tipodato, const QString& Condicion, bool UsaTrim,
                            bool IgnoraError) {
    QVariant resultado;
    QString sql = SqlDatosTabla(Tabla, ValorBuscado, Campo, Tipodato, Condicion, UsaTrim);
    Recordset rs;
    bool sinConexion = false;
    const std::vector<PasoAtrapado> pasos = {
        [&] { AbrirRecordset(sql, rs, nullptr, ado::SoloAvance, ado::SoloLectura, -1, true); },
        [&] { sinConexion = !gOpenFlag; },
        [&] {
            if (sinConexion) return;
            if (!rs.EOF_()) resultado = SinNulo(rs.Valor(CampoDevuelto));
        },
        [&] {
            if (sinConexion) return;
            CerrarSiAbierto(rs);
        },
    };
    bool ignorado = false;
    const bool completo = EjecutarPasos(pasos, [&](const KvError& e) {
        if (IgnoraError) {
            ignorado = true;
            return respuesta::Anular;
        }
        return MensajeAvisoOperador(e);
    });
    if (ignorado) return QVariant(QString());
    if (!completo || sinConexion) return QVariant();
    return resultado;
}

QVariant DB_Dll::BuscaMaximo(const QString& QueTabla, const QString& QueCampo, int Tipo,
                             const std::optional<QString>& Condicion) {
    std::optional<QString> condicion = Condicion;
    bool sinCeros = false;  // article codes beginning with "0" already left out
    for (;;) {
        // A condition given but blank would leave a bare WHERE: it counts as omitted.
        const bool hayCondicion = condicion && !condicion->trimmed().isEmpty();
        const QString sql = QStringLiteral("SELECT MAX(") + QueCampo + QStringLiteral(") AS MAYOR FROM ") +
                            QueTabla +
                            (hayCondicion ? QStringLiteral(" WHERE ") + condicion->trimmed() : QString());
        Recordset rs;
        rs.Open(sql, &gCnn, ado::SoloAvance, ado::SoloLectura, -1);
        if (rs.EOF_()) {
            rs.Close();
            return QVariant();
        }
        const QVariant mayor = rs.Valor(QStringLiteral("MAYOR"));
        // Article codes beginning with "0" never count as the largest; the search
        // is repeated once without them.
        if (!sinCeros && Iguales(QueTabla, QStringLiteral("V_MA_ARTICULOS")) &&
            SinNulo(mayor).toString().trimmed().startsWith(QLatin1Char('0'))) {
            sinCeros = true;
            if (!hayCondicion)
                condicion = QStringLiteral(" ") + kExcluyeCeros;
            else
                condicion = *condicion + QStringLiteral(" and ") + kExcluyeCeros;
            rs.Close();
            continue;
        }
        const QVariant resultado = (Tipo == 7) ? SinNulo(mayor) : QVariant(NumeroDe(mayor));
        rs.Close();
        return resultado;
    }
}

QVariant DB_Dll::BuscaMinimo(const QString& QueTabla, const QString& QueCampo, int /*Tipo*/,
                             const std::optional<QString>& Condicion) {
    QString sql = QStringLiteral("SELECT MIN(") + QueCampo + QStringLiteral(") AS MENOR FROM ") + QueTabla +
                  QStringLiteral("  with(nolock) ");
    if (Condicion && !Condicion->trimmed().isEmpty()) sql += QStringLiteral(" WHERE ") + Condicion->trimmed();
    Recordset rs;
    rs.Open(sql, &gCnn, ado::SoloAvance, ado::SoloLectura, -1);
    QVariant resultado;
    if (!rs.EOF_()) resultado = QVariant(NumeroDe(rs.Valor(QStringLiteral("MENOR"))));
    rs.Close();
    return resultado;
}

QVariant DB_Dll::BuscaUltimoCodigo(const QString& QueTabla, const QString& QueCampo, int /*Tipo*/,
                                   const QString& Condicion) {
    const QString sql = QStringLiteral("SELECT MAX(") + QueCampo + QStringLiteral(") AS MAYOR FROM ") +
                        QueTabla +
                        (Condicion.trimmed().isEmpty() ? QString() : QStringLiteral(" WHERE ") + Condicion);
    Recordset rs;
    rs.Open(sql, &gCnn, ado::SoloAvance, ado::SoloLectura, -1);
    QVariant resultado;
    if (!rs.EOF_()) resultado = QVariant(NumeroDe(rs.Valor(QStringLiteral("MAYOR"))));
    rs.Close();
    return resultado;
}

}  // namespace kv::db
