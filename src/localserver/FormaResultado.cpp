#include "localserver/FormaResultado.h"

#include <sqlite3.h>

#include <QDateTime>
#include <QHash>
#include <QRegularExpression>
#include <cmath>
#include <optional>

#include "localserver/BaseSqlite.h"
#include "localserver/Esquema.h"
#include "localserver/tsql/Dinero.h"

namespace kv::local {

namespace {

int TipoDeValor(const QVariant& v) {
    using namespace kv::db::tipo;
    switch (v.typeId()) {
        case QMetaType::Int:
            return Integer;
        case QMetaType::LongLong:
            return BigInt;
        case QMetaType::Double:
            return Double;
        case QMetaType::QByteArray:
            return VarBinary;
        default:
            return VarWChar;
    }
}

}  // namespace

FormaResultado::FormaResultado(BaseSqlite& b, sqlite3_stmt* st,
                               const std::vector<QString>& tiposExpresiones) {
    const int columnas = sqlite3_column_count(st);
    conversiones_.assign(static_cast<size_t>(columnas), Conversion::Ninguna);
    declarada_.assign(static_cast<size_t>(columnas), false);
    QHash<QString, std::optional<DefinicionTabla>> definiciones;
    for (int i = 0; i < columnas; ++i) {
        kv::db::ColumnaResultado c;
        c.nombre = QString::fromUtf8(sqlite3_column_name(st, i));
        const char* tabla = sqlite3_column_table_name(st, i);
        const char* origen = sqlite3_column_origin_name(st, i);
        if (tabla && origen) {
            const QString t = QString::fromUtf8(tabla);
            c.tablaBase = t;
            if (!definiciones.contains(t.toLower())) definiciones.insert(t.toLower(), LeerDefinicion(b, t));
            const auto& def = definiciones[t.toLower()];
            if (def) {
                for (const auto& col : def->columnas)
                    if (col.nombre.compare(QString::fromUtf8(origen), Qt::CaseInsensitive) == 0) {
                        c.tipo = TipoADO(col.tipo);
                        c.tamano = TamanoADO(col);
                        c.precision = col.precision;
                        c.escala = col.escala;
                        c.tipoServidor = col.tipo.toLower();
                        conversiones_[static_cast<size_t>(i)] = ConversionDe(col.tipo);
                        declarada_[static_cast<size_t>(i)] = true;
                        break;
                    }
            }
        }
        // An expression the translator typed (a sum of money, an int operation).
        if (!declarada_[static_cast<size_t>(i)] && int(tiposExpresiones.size()) == columnas &&
            !tiposExpresiones[static_cast<size_t>(i)].isEmpty()) {
            ColumnaDeclarada tipada;
            const QString& anunciado = tiposExpresiones[static_cast<size_t>(i)];
            tipada.tipo = anunciado.section(QLatin1Char('('), 0, 0);
            c.tipo = TipoADO(tipada.tipo);
            c.tamano = TamanoADO(tipada);
            c.tipoServidor = tipada.tipo.toLower();
            conversiones_[static_cast<size_t>(i)] = ConversionDe(tipada.tipo);
            declarada_[static_cast<size_t>(i)] = true;
            // An exact decimal, "decimal(22,5)": its digits travel as the server
            // computed them (a double while it holds them, the exact text beyond).
            static const QRegularExpression kDecimal(QStringLiteral("^decimal\\((\\d+),(\\d+)\\)$"));
            const QRegularExpressionMatch m = kDecimal.match(anunciado);
            if (m.hasMatch()) {
                c.precision = m.captured(1).toInt();
                c.escala = m.captured(2).toInt();
                conversiones_[static_cast<size_t>(i)] = Conversion::Decimal;
            }
        }
        columnas_.push_back(c);
    }
}

FormaResultado::Conversion FormaResultado::ConversionDe(const QString& tipo) {
    if (tipo == QLatin1String("datetime") || tipo == QLatin1String("smalldatetime") ||
        tipo == QLatin1String("date") || tipo == QLatin1String("datetime2"))
        return Conversion::Fecha;
    if (tipo == QLatin1String("bit")) return Conversion::Bit;
    if (tipo == QLatin1String("money") || tipo == QLatin1String("smallmoney")) return Conversion::Dinero;
    if (tipo == QLatin1String("real")) return Conversion::Real4;
    if (tipo == QLatin1String("float") || tipo == QLatin1String("decimal") ||
        tipo == QLatin1String("numeric"))
        return Conversion::Real;
    return Conversion::Ninguna;
}

// The value as the client expects it for the column's declared type.
void FormaResultado::Ajustar(int i, QVariant& v) const {
    if (v.isNull()) return;
    switch (conversiones_[static_cast<size_t>(i)]) {
        case Conversion::Ninguna:
            return;
        case Conversion::Fecha: {
            QDateTime d = QDateTime::fromString(v.toString(), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            if (!d.isValid())
                d = QDateTime::fromString(FechaISO(v.toString()), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            if (d.isValid()) v = QVariant(d);
            return;
        }
        case Conversion::Bit:
            v = QVariant(v.toLongLong() != 0);
            return;
        case Conversion::Dinero: {
            if (v.typeId() == QMetaType::Double && std::fabs(v.toDouble()) < 4.5e11) {
                v = QVariant(std::round(v.toDouble() * 10000.0) / 10000.0);
                return;
            }
            // Beyond what a double holds, the exact amount travels as its text.
            qint64 n = 0;
            if (dinero::LeerValor(v, n) == dinero::Lectura::Bien) v = dinero::Valor(n);
            return;
        }
        case Conversion::Real:
            v = QVariant(v.toDouble());
            return;
        case Conversion::Decimal: {
            // Digits no double gives back stay the exact text; a double stays one.
            if (v.typeId() == QMetaType::QString) {
                const QVariant decimal = kv::db::ValorDecimal(v.toString());
                v = decimal.isValid() ? decimal : QVariant(v.toDouble());
                return;
            }
            v = QVariant(v.toDouble());
            return;
        }
        case Conversion::Real4:
            // 4 bytes, as the type keeps it, whatever the engine computed.
            v = QVariant(static_cast<double>(static_cast<float>(v.toDouble())));
            return;
    }
}

QVariant FormaResultado::Valor(int i, QVariant crudo) const {
    Ajustar(i, crudo);
    return crudo;
}

void FormaResultado::Completar(kv::db::ResultadoSentencia& r) const {
    r.columnas = columnas_;
    for (size_t i = 0; i < columnas_.size(); ++i) {
        if (declarada_[i]) continue;
        int tipo = kv::db::tipo::VarWChar;
        bool visto = false;
        for (const auto& f : r.filas) {
            const QVariant& v = f[i];
            if (v.isNull()) continue;
            const int t = TipoDeValor(v);
            if (!visto)
                tipo = t;
            else if (tipo != t) {
                if ((tipo == kv::db::tipo::Integer || tipo == kv::db::tipo::BigInt) &&
                    t == kv::db::tipo::Double)
                    tipo = kv::db::tipo::Double;
                else if (tipo == kv::db::tipo::Integer && t == kv::db::tipo::BigInt)
                    tipo = kv::db::tipo::BigInt;
                else if (!(tipo == kv::db::tipo::Double &&
                           (t == kv::db::tipo::Integer || t == kv::db::tipo::BigInt)))
                    tipo = kv::db::tipo::VarWChar;
            }
            visto = true;
        }
        r.columnas[i].tipo = tipo;
    }
}

}  // namespace kv::local
