#include "ui/DatosGrafico.h"

#include <QLabel>
#include <algorithm>
#include <cmath>

#include "stats/NombresGrupos.h"
#include "ui/TablaDinamica.h"

namespace kv::ui {

std::vector<Familia> DatosGrafico::Familias() const {
    std::vector<Familia> familias;
    for (Familia f : {Familia::Unidades, Familia::Importes, Familia::Porcentajes})
        for (const SerieGrafico& s : series)
            if (s.familia == f) {
                familias.push_back(f);
                break;
            }
    return familias;
}

QString DatosGrafico::TextoValor(const SerieGrafico& serie, double valor) const {
    return TextoSegunFamilia(valor, serie.familia, decimales);
}

QString DatosGrafico::Descripcion(int categoria) const {
    QString texto = etiquetas.value(categoria);
    const QStringList partes = niveles.value(categoria);
    if (partes.size() > 1) texto = partes.join(QStringLiteral(" › "));
    for (const SerieGrafico& s : series)
        if (categoria >= 0 && categoria < static_cast<int>(s.valores.size()))
            texto += QStringLiteral("\n") + s.nombre + QStringLiteral(": ") +
                     TextoValor(s, s.valores[static_cast<size_t>(categoria)]);
    return texto;
}

bool RestoFueraDeEscala(const DatosGrafico& datos) {
    if (datos.filaResto < 0 || datos.filaResto != datos.Categorias() - 1 || datos.Categorias() < 2)
        return false;
    for (const SerieGrafico& s : datos.series) {
        if (s.familia == Familia::Porcentajes) continue;
        if (s.valores.size() <= static_cast<size_t>(datos.filaResto)) continue;
        double mayor = 0;
        for (int c = 0; c < datos.filaResto; ++c)
            mayor = std::max(mayor, std::fabs(s.valores[static_cast<size_t>(c)]));
        if (std::fabs(s.valores[static_cast<size_t>(datos.filaResto)]) > 3 * mayor) return true;
    }
    return false;
}

DatosGrafico SinResto(const DatosGrafico& datos) {
    DatosGrafico sin = datos;
    if (sin.filaResto < 0 || sin.filaResto != sin.Categorias() - 1) return sin;
    sin.etiquetas.removeLast();
    if (sin.niveles.size() > sin.etiquetas.size()) sin.niveles.removeLast();
    for (SerieGrafico& s : sin.series)
        if (s.valores.size() > static_cast<size_t>(sin.etiquetas.size())) s.valores.pop_back();
    sin.filaResto = -1;
    return sin;
}

QLabel* CrearRestoAparte(const DatosGrafico& datos, QWidget* padre) {
    const int r = datos.filaResto;
    QStringList valores;
    for (const SerieGrafico& s : datos.series)
        if (r >= 0 && static_cast<size_t>(r) < s.valores.size())
            valores << s.nombre.toHtmlEscaped() + QStringLiteral(": <b>") +
                           datos.TextoValor(s, s.valores[static_cast<size_t>(r)]).toHtmlEscaped() +
                           QStringLiteral("</b>");
    auto* resto = new QLabel(padre);
    resto->setObjectName(QStringLiteral("restoAparte"));
    resto->setWordWrap(true);
    resto->setTextFormat(Qt::RichText);
    resto->setText(QStringLiteral("<b>") + datos.etiquetas.value(r).toHtmlEscaped() +
                   QStringLiteral("</b> (fuera de escala, doble clic para ver sus grupos) — ") +
                   valores.join(QStringLiteral(" · ")));
    resto->setToolTip(datos.Descripcion(r));
    resto->setStyleSheet(
        QStringLiteral("QLabel { background: #fff6d5; border: 1px solid #c9a400; padding: 4px; }"));
    return resto;
}

DatosGrafico DatosDeModelo(const kv::stats::ModeloGrafico& modelo, const QString& titulo) {
    DatosGrafico datos;
    datos.titulo = titulo;
    datos.decimales = modelo.decimales;
    datos.filaResto = modelo.filaResto;
    for (int f = 0; f < modelo.Filas(); ++f) {
        QStringList partes;
        if (static_cast<size_t>(f) < modelo.grupos.size() && f != modelo.filaResto) {
            const auto& grupos = modelo.grupos[static_cast<size_t>(f)];
            for (int n = 0; n < kv::stats::kNiveles; ++n) {
                const QString g = grupos[static_cast<size_t>(n)].trimmed();
                if (g.isEmpty()) continue;
                partes << (modelo.nombres ? modelo.nombres->Etiqueta(n, g) : g);
            }
        }
        // With names, the label is each level's code and name; without, the row's own label.
        if (modelo.nombres && !partes.isEmpty())
            datos.etiquetas << partes.join(QStringLiteral(" · "));
        else
            datos.etiquetas << modelo.etiquetas[f].trimmed();
        if (partes.isEmpty()) partes << modelo.etiquetas[f].trimmed();
        datos.niveles << partes;
    }
    for (int c = 0; c < modelo.Columnas(); ++c) {
        SerieGrafico serie;
        serie.nombre = modelo.columnas[c];
        serie.familia = FamiliaDeTitulo(serie.nombre);
        for (int f = 0; f < modelo.Filas(); ++f)
            serie.valores.push_back(modelo.valores[static_cast<size_t>(f)][static_cast<size_t>(c)]);
        datos.series.push_back(std::move(serie));
    }
    return datos;
}

DatosGrafico DatosDeTabla(const TablaDinamica& tabla, const QString& titulo) {
    DatosGrafico datos;
    datos.titulo = titulo;
    datos.decimales = tabla.Datos() ? tabla.Datos()->decimales : 2;
    auto hojas = tabla.Hojas();
    if (tabla.Niveles() == 0 && tabla.Raiz().filas > 0) hojas = {&tabla.Raiz()};  // no named level
    for (const auto* hoja : hojas) {
        QStringList partes;
        for (const auto* n = hoja; n && n->nivel >= 0; n = n->padre) partes.prepend(n->etiqueta);
        if (partes.isEmpty()) partes << hoja->etiqueta;
        datos.etiquetas << partes.join(QLatin1Char(' '));
        datos.niveles << partes;
    }
    const QStringList titulos = tabla.TitulosDatos();
    for (int d = 0; d < tabla.CantidadDatos(); ++d) {
        SerieGrafico serie;
        serie.nombre = titulos.value(d);
        serie.familia = tabla.FamiliaDato(d);
        for (const auto* hoja : hojas) serie.valores.push_back(tabla.Valor(*hoja, d));
        datos.series.push_back(std::move(serie));
    }
    return datos;
}

}  // namespace kv::ui
