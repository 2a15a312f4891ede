#include "lookup/Lib_ClsCons3.h"

#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QScreen>
#include <QTextStream>
#include <memory>

#include "core/Ajustes.h"
#include "core/Configuracion.h"
#include "db/DB_Dll.h"
#include "db/Recordset.h"
#include "lookup/ArchivosConsulta.h"
#include "lookup/Lib_FrmCons3.h"
#include "lookup/Lib_FrmCons3Tree.h"
#include "lookup/ModeloConsulta.h"
#include "lookup/SentenciasConsulta.h"
#include "util/Interaccion.h"

namespace kv::lookup {

namespace {
std::unique_ptr<Lib_ClsCons3>& Instancia() {
    static std::unique_ptr<Lib_ClsCons3> instancia;
    return instancia;
}

QVariant NivelStock(const QString& valor) { return valor.isEmpty() ? QVariant(0) : QVariant(valor); }

// The fields of a table in order; none when it cannot be read.
QStringList CamposTabla(const QString& tabla) {
    QStringList campos;
    try {
        kv::db::DB_Dll& base = kv::db::DB_Dll::Principal();
        kv::db::Recordset rs;
        rs.Open(base.SS_TSinonimos(SentenciaCamposTabla(tabla)), &base.gCnn, 0, 1);
        for (int i = 0; i < rs.FieldCount(); ++i) campos << rs.Field(i).nombre;
        rs.Close();
    } catch (...) {
    }
    return campos;
}

// An options window is 120 twips wide per character of its longest text, at most the screen.
void AnchoOpciones(QWidget* ventana, const QString& titulo, const QStringList& filas) {
    qsizetype letras = titulo.size();
    for (const QString& fila : filas) letras = std::max(letras, fila.size());
    int ancho = TwipsAPixeles(static_cast<double>(letras) * kTwipsPorCaracter, ventana);
    if (const QScreen* pantalla = ventana->screen())
        ancho = std::min(ancho, pantalla->availableGeometry().width());
    ventana->resize(std::max(ancho, 200), ventana->height());
}

QWidget* Padre() { return QApplication::activeWindow(); }

// A window of fixed rows under `titulo`: there is no statement to search again.
void PrepararFija(Lib_FrmCons3& lista, const QString& titulo) {
    lista.setWindowTitle(titulo);
    lista.findChild<QPushButton*>(QStringLiteral("CmdNueva"))->hide();
    lista.TituloFilas = titulo;
}
}  // namespace

QString MensajeArchivoInexistente(const QString& archivo) {
    return QStringLiteral("No existe el archivo ") + archivo +
           QStringLiteral(" que desea consultar consulta ");
}

Lib_ClsCons3::Lib_ClsCons3() {
    MuestraStock = kv::core::Cfg(QStringLiteral("MostrarStockenConsultas"));
    StkNivel1 = NivelStock(kv::core::Cfg(QStringLiteral("Stk_Nivel1")));
    StkNivel2 = NivelStock(kv::core::Cfg(QStringLiteral("Stk_Nivel2")));
    StkNivel3 = NivelStock(kv::core::Cfg(QStringLiteral("Stk_Nivel3")));
    StkNivel4 = NivelStock(kv::core::Cfg(QStringLiteral("Stk_Nivel4")));
    UsaConsultaLike = kv::core::Cfg(QStringLiteral("UsaConsultaLike"))
                          .trimmed()
                          .compare(QLatin1String("SI"), Qt::CaseInsensitive) == 0;
    const kv::core::AjustesConsulta& ajustes = kv::core::AjustesConsultas();
    gConnString = ajustes.gConnString;
    gRutaMascaraConsultas = ajustes.gRutaMascaraConsultas;
    gUsarMascarasConsultas = ajustes.gUsarMascarasConsultas;
    // The ERP connection of start-up; the name lookup points the program-wide
    // connection elsewhere for one search, and this keeps to the ERP.
    if (gConnString.isEmpty()) gConnString = kv::db::DB_Dll::Principal().gConnString;
}

Lib_ClsCons3& Lib_ClsCons3::Compartida() {
    std::unique_ptr<Lib_ClsCons3>& instancia = Instancia();
    if (!instancia) instancia = std::make_unique<Lib_ClsCons3>();
    return *instancia;
}

void Lib_ClsCons3::DescartarCompartida() { Instancia().reset(); }

bool Lib_ClsCons3::ArmarSentencia(const QString& SQL, QString& CampoBusqueda, QString& Where,
                                  const QString& SentenciaOpcional, QString& sentencia) {
    Where = EnvolverWhere(Where);
    const int limite = LimiteFilas(kv::core::Cfg(QStringLiteral("TopConsArt")));
    if (SQL.contains(QLatin1String("SELECT"), Qt::CaseInsensitive)) {
        sentencia = SentenciaPreparada(SQL, Where);
        return true;
    }
    if (gUsarMascarasConsultas) {
        if (const std::optional<DefinicionConsulta> definicion =
                BuscarDefinicion(gRutaMascaraConsultas, SQL)) {
            if (SentenciaDesdeDefinicion(*definicion, Where, limite, CampoDevuelto, CampoBusqueda, sentencia))
                return true;
            kv::interaccion().Mensaje(QString::fromUtf8(kMensajeConfigurarConsulta), kv::estilo::Informacion,
                                      QString::fromUtf8(kTituloAvisoOperador));
            return false;
        }
    }
    if (!SentenciaOpcional.isEmpty()) {
        sentencia = SentenciaOpcional;
        return true;
    }
    const QString tabla = SQL.trimmed();
    ColumnasTabla columnas;
    if (tabla.compare(QLatin1String("V_TA_DEPOSITO"), Qt::CaseInsensitive) == 0) {
        columnas.columnas = QStringLiteral("Descripcion,IdDeposito,UnidadNegocio");
        columnas.campoBusqueda = QStringLiteral("IDDEPOSITO");
    } else {
        columnas = ColumnasDeCampos(tabla, CamposTabla(tabla));
    }
    if (CampoBusqueda.isEmpty()) CampoBusqueda = columnas.campoBusqueda;
    sentencia = SentenciaDesdeColumnas(SQL, columnas.columnas, Where, limite, CampoBusqueda);
    return true;
}

void Lib_ClsCons3::ConsultaSearch(const QString& SQL, bool TreeView) {
    QString campoBusqueda, where;
    ConsultaSearch(SQL, nullptr, QString(), campoBusqueda, where, QString(), TreeView, QString());
}

void Lib_ClsCons3::ConsultaSearch(const QString& SQL, QStringList* CmpsDevueltos, const QString& Clave,
                                  QString& CampoBusqueda, QString& Where, const QString& SentenciaOpcional,
                                  bool TreeView, const QString& ValoresDefault) {
    QString sentencia;
    bool mostrar = false;
    try {
        mostrar = ArmarSentencia(SQL, CampoBusqueda, Where, SentenciaOpcional, sentencia);
    } catch (...) {
        mostrar = false;
    }
    if (!mostrar) {
        Terminar(CmpsDevueltos);
        return;
    }
    if (gConnString.isEmpty()) gConnString = kv::db::DB_Dll::Principal().gConnString;

    if (TreeView) {
        Lib_FrmCons3Tree arbol(Padre());
        arbol.SQL = sentencia;
        arbol.CampoDevuelto = CampoDevuelto;
        arbol.Checks = Checks;
        Valores.clear();
        arbol.exec();
        ValorDevuelto = arbol.ValorDevuelto;
        Valores = arbol.Valores;
        Checks = false;
    } else {
        Lib_FrmCons3 lista(Padre());
        lista.StkNivel1 = StkNivel1;
        lista.StkNivel2 = StkNivel2;
        lista.StkNivel3 = StkNivel3;
        lista.StkNivel4 = StkNivel4;
        lista.MuestraStock = MuestraStock;
        lista.UsaConsultaLike = UsaConsultaLike;
        lista.OrdenarPorLwv = !sentencia.contains(QLatin1String("ORDER BY"), Qt::CaseInsensitive);
        lista.Clave = Clave;
        lista.CampoBusqueda = CampoBusqueda;
        lista.SQL = sentencia;
        lista.gConnString = gConnString;
        lista.CampoDevuelto = CampoDevuelto;
        lista.CheckBoxes = Checks;
        lista.UsaCantidades = UsaCantidades;
        lista.ValoresDefault = ValoresDefault;
        Valores.clear();
        Cantidades.clear();
        if (CmpsDevueltos) lista.CmpsDevueltos = *CmpsDevueltos;
        // Shown first, so the operator sees the window while its rows load.
        lista.show();
        if (!lista.Cargada()) lista.Cargar();
        if (Checks)
            for (int f = 0; f < lista.Modelo()->Filas(); ++f) lista.Modelo()->Marcar(f, false);
        lista.exec();
        Checks = false;
        Valores = lista.Valores;
        Cantidades = lista.Cantidades;
        ValorDevuelto = lista.ValorDevuelto;
        lista.CampoDevuelto.clear();
        lista.Descargar();
    }
    Terminar(CmpsDevueltos);
}

void Lib_ClsCons3::Terminar(QStringList* CmpsDevueltos) {
    CampoDevuelto.clear();
    Checks = false;
    if (CmpsDevueltos) CmpsDevueltos->clear();
}

void Lib_ClsCons3::Opciones(const QString& Titulo, QStringList* CmpsDevueltos, const QStringList& Opc,
                            bool marcas) {
    Lib_FrmCons3 lista(Padre());
    PrepararFija(lista, Titulo);
    lista.CheckBoxes = marcas;
    for (const QString& opcion : Opc) {
        lista.FilasFijas << (marcas ? opcion.mid(1) : opcion);
        lista.FilasMarcadas << (marcas && opcion.startsWith(QLatin1Char('1')));
    }
    if (!marcas) lista.CampoDevuelto = Titulo;
    if (CmpsDevueltos) lista.CmpsDevueltos = *CmpsDevueltos;
    AnchoOpciones(&lista, Titulo, lista.FilasFijas);
    lista.show();
    if (!lista.Cargada()) lista.Cargar();
    for (int f = 0; f < lista.FilasMarcadas.size(); ++f)
        if (lista.FilasMarcadas[f]) lista.Modelo()->Marcar(f, true);
    ElegirFija(lista, CmpsDevueltos);
}

void Lib_ClsCons3::ElegirFija(Lib_FrmCons3& lista, QStringList* CmpsDevueltos) {
    Valores.clear();
    lista.exec();
    Valores = lista.Valores;
    ValorDevuelto = lista.ValorDevuelto;
    lista.Descargar();
    Terminar(CmpsDevueltos);
}

void Lib_ClsCons3::CheckOpciones(const QString& Titulo, QStringList* CmpsDevueltos, const QStringList& Opc) {
    Opciones(Titulo, CmpsDevueltos, Opc, true);
}

void Lib_ClsCons3::MenuOpciones(const QString& Titulo, QStringList* CmpsDevueltos, const QStringList& Opc) {
    Opciones(Titulo, CmpsDevueltos, Opc, false);
}

void Lib_ClsCons3::ConsultaDesdeArchivo(const QString& Titulo, const QString& QueArchivo,
                                        const QString& /*Separador*/) {
    QFile archivo(QueArchivo);
    if (!archivo.exists() || !archivo.open(QIODevice::ReadOnly | QIODevice::Text)) {
        kv::interaccion().Mensaje(MensajeArchivoInexistente(QueArchivo), kv::estilo::Informacion,
                                  QString::fromUtf8(kTituloAvisoOperador));
        return;
    }
    QStringList lineas;
    QTextStream entrada(&archivo);
    while (!entrada.atEnd()) lineas << entrada.readLine();
    archivo.close();

    Lib_FrmCons3 lista(Padre());
    PrepararFija(lista, Titulo);
    lista.FilasFijas = lineas;
    lista.CampoDevuelto = Titulo;
    AnchoOpciones(&lista, Titulo, lineas);
    ElegirFija(lista, nullptr);
}

}  // namespace kv::lookup
