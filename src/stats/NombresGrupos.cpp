#include "stats/NombresGrupos.h"

#include <QSet>

#include "db/DB_Dll.h"
#include "db/Recordset.h"
#include "db/TextoSQL.h"
#include "stats/Carga.h"
#include "stats/ConsultaCarga.h"

namespace kv::stats {

namespace {

QString Clave(const QString& codigo) { return codigo.trimmed().toUpper(); }

const char* const kMeses[] = {"Enero", "Febrero", "Marzo",      "Abril",   "Mayo",      "Junio",
                              "Julio", "Agosto",  "Septiembre", "Octubre", "Noviembre", "Diciembre"};

}  // namespace

std::optional<FuenteNombres> FuenteNombresDeCampo(const QString& campo) {
    struct Fila {
        const char* campo;
        const char* tabla;
        const char* codigo;
        const char* nombre;
    };
    // The descriptions of EAN, DUN and supplier's article codes are the article's.
    static const Fila filas[] = {
        {"UNegocio", "V_TA_UNIDADNEGOCIO", "Codigo", "Descripcion"},
        {"IdArticulo", "V_MA_ARTICULOS", "IdArticulo", "Descripcion"},
        {"IdVendedor", "V_TA_VENDEDORES", "IdVendedor", "Nombre"},
        {"CodigoBarra", "V_MA_ARTICULOS", "CodigoBarra", "Descripcion"},
        {"CodigoBarraDUN", "V_MA_ARTICULOS", "CodigoBarraDUN", "Descripcion"},
        {"IdRubro", "V_TA_RUBROS", "IdRubro", "Descripcion"},
        {"IdTipo", "V_TA_TIPOARTICULO", "IdTipo", "Descripcion"},
        {"IdFamilia", "V_TA_FAMILIAS", "IdFamilia", "Descripcion"},
        {"IdCategoria", "V_TA_CATEGORIAARTICULO", "IdCategoria", "Descripcion"},
        {"CodigoArtProveedor", "V_MA_ARTICULOS", "CodigoArtProveedor", "Descripcion"},
        {"CuentaProveedor", "VT_PROVEEDORES", "Codigo", "Razon_Social"},
        {"Cuenta", "VT_CLIENTES", "Codigo", "Razon_Social"},
    };
    for (const Fila& f : filas)
        if (campo.trimmed().compare(QLatin1String(f.campo), Qt::CaseInsensitive) == 0)
            return FuenteNombres{QString::fromLatin1(f.tabla), QString::fromLatin1(f.codigo),
                                 QString::fromLatin1(f.nombre)};
    return std::nullopt;
}

QString CampoDeTitulo(const QString& titulo) {
    for (const FilaCatalogo& fila : CatalogoGrupos())
        if (fila.titulo.compare(titulo.trimmed(), Qt::CaseInsensitive) == 0) return fila.codigo;
    return QString();
}

QString SentenciaNombres(const FuenteNombres& fuente, const QStringList& codigos) {
    QString sql = QStringLiteral("SELECT ") + fuente.codigo + QStringLiteral(", ") + fuente.nombre +
                  QStringLiteral(" FROM ") + fuente.tabla;
    if (codigos.isEmpty()) return sql;
    QStringList literales;
    literales.reserve(codigos.size());
    for (const QString& codigo : codigos)
        literales << QLatin1Char('\'') + kv::db::DuplicarApostrofes(codigo) + QLatin1Char('\'');
    return sql + QStringLiteral(" WHERE ") + fuente.codigo + QStringLiteral(" IN (") +
           literales.join(QLatin1Char(',')) + QLatin1Char(')');
}

QString NombreMes(const QString& mes) {
    const auto leido = LeerMes(mes);
    if (!leido) return QString();
    return QString::fromLatin1(kMeses[leido->mes - 1]) + QLatin1Char(' ') + QString::number(leido->anio);
}

QString CodigoConNombre(const QString& codigo, const QString& nombre) {
    const QString c = codigo.trimmed();
    const QString n = nombre.trimmed();
    if (n.isEmpty() || n == c) return c;
    if (c.isEmpty()) return n;
    return c + QStringLiteral(" – ") + n;
}

void NombresGrupos::Poner(int nivel, const QString& codigo, const QString& nombre) {
    if (nivel < 0 || nivel >= kNiveles) return;
    conNombres_[nivel] = true;
    const QString n = nombre.trimmed();
    if (n.isEmpty()) return;
    // A code the view lists twice (an EAN on two articles) keeps its first name.
    nombres_[nivel].insert(Clave(codigo), n);
}

void NombresGrupos::Leer(kv::db::DB_Dll& erp, const std::array<QString, kNiveles>& titulos,
                         const std::array<QStringList, kNiveles>& codigos) {
    for (auto& n : nombres_) n.clear();
    conNombres_ = {};
    esMes_ = {};
    sentencias_.clear();
    for (int nivel = 0; nivel < kNiveles; ++nivel) {
        if (!NivelAsignado(titulos, nivel)) continue;
        const QString campo = CampoDeTitulo(titulos[nivel]);
        if (campo.compare(QLatin1String("Fecha"), Qt::CaseInsensitive) == 0) {
            conNombres_[nivel] = true;
            esMes_[nivel] = true;
            continue;
        }
        const auto fuente = FuenteNombresDeCampo(campo);
        if (!fuente) continue;
        conNombres_[nivel] = true;
        if (codigos[nivel].isEmpty()) continue;
        // A few codes go in the statement; many read the master table whole,
        // which costs the server less than a long list.
        // In code order, so the same result always sends the same statement.
        QStringList lista = codigos[nivel];
        lista.sort();
        QString sql =
            SentenciaNombres(*fuente, lista.size() <= kMaximoCodigosEnLista ? lista : QStringList());
        sentencias_ << sql;
        kv::db::Recordset registros;
        erp.AbrirRecordset(sql, registros);
        if (registros.State() == kv::db::ado::Cerrado) continue;  // refused: the codes show alone
        const auto& resultado = registros.Resultado();
        for (const auto& fila : resultado.filas)
            if (fila.size() >= 2 && !fila[0].isNull() && !fila[1].isNull())
                Poner(nivel, fila[0].toString(), fila[1].toString());
        erp.CierraRecordset(registros);
    }
}

QString NombresGrupos::Nombre(int nivel, const QString& codigo) const {
    if (nivel < 0 || nivel >= kNiveles) return QString();
    if (esMes_[nivel]) return NombreMes(codigo);
    return nombres_[nivel].value(Clave(codigo));
}

QString NombresGrupos::Etiqueta(int nivel, const QString& codigo) const {
    return CodigoConNombre(codigo, Nombre(nivel, codigo));
}

std::array<QStringList, kNiveles> CodigosDeResultado(const ModeloGrafico& modelo,
                                                     const kv::db::Recordset* grilla) {
    std::array<QStringList, kNiveles> codigos;
    std::array<QSet<QString>, kNiveles> vistos;
    const auto agregar = [&](int nivel, const QString& codigo) {
        const QString c = codigo.trimmed();
        if (c.isEmpty()) return;
        if (vistos[nivel].contains(Clave(c))) return;
        vistos[nivel].insert(Clave(c));
        codigos[nivel] << c;
    };
    for (const auto& grupos : modelo.grupos)
        for (int n = 0; n < kNiveles; ++n) agregar(n, grupos[n]);
    for (const GrupoPlegado& p : modelo.plegados)
        for (int n = 0; n < kNiveles; ++n) agregar(n, p.grupos[n]);
    if (grilla && grilla->State() != kv::db::ado::Cerrado) {
        // The grid's columns: BASE, then one per level.
        for (const auto& fila : grilla->Resultado().filas)
            for (int n = 0; n < kNiveles; ++n)
                if (static_cast<size_t>(n + 1) < fila.size() && !fila[n + 1].isNull())
                    agregar(n, fila[n + 1].toString());
    }
    return codigos;
}

std::shared_ptr<const NombresGrupos> LeerNombres(kv::db::DB_Dll& erp,
                                                 const std::array<QString, kNiveles>& titulos,
                                                 const ModeloGrafico& modelo,
                                                 const kv::db::Recordset* grilla) {
    auto nombres = std::make_shared<NombresGrupos>();
    nombres->Leer(erp, titulos, CodigosDeResultado(modelo, grilla));
    return nombres;
}

QString TituloColumnaNombre(const QString& tituloNivel) {
    if (CampoDeTitulo(tituloNivel).compare(QLatin1String("Fecha"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("Nombre del mes");
    return QStringLiteral("Nombre ") + tituloNivel.trimmed();
}

}  // namespace kv::stats
