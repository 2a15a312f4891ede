#include "localserver/tsql/Plan.h"

#include <QMutex>

#include "localserver/tsql/Division.h"
#include "localserver/tsql/Mensajes.h"
#include "localserver/tsql/MensajesRutinas.h"
#include "localserver/tsql/Rutinas.h"
#include "localserver/tsql/Traductor.h"

namespace kv::local {

namespace {

struct Rutas {
    QMutex cerrojo;
    std::vector<std::shared_ptr<const RutaPlan>> lista;
};
Rutas& LasRutas() {
    static Rutas& r = *new Rutas;  // lives as long as the process: sessions may outlive statics
    return r;
}

std::vector<std::shared_ptr<const RutaPlan>> RutasActuales() {
    Rutas& r = LasRutas();
    QMutexLocker g(&r.cerrojo);
    return r.lista;
}

// Deepest nesting of BEGIN, IF, ELSE and WHILE a batch may have; deeper text is
// refused (191) before the walk below, which follows the nesting, nears the
// end of the stack.
constexpr int kBloquesAnidadosMaximo = 256;

// Puts the statements of a batch in order: IF, ELSE, WHILE, BEGIN ... END,
// BREAK and CONTINUE become jumps between the statements of one flat list.
class Estructura {
  public:
    Estructura(const std::vector<Token>& tokens, const QString& lote, std::vector<TramoSentencia> tramos,
               traduccion::ContextoLote& contexto, std::vector<PlanSentencia>& planes)
        : t_(tokens), lote_(lote), tramos_(std::move(tramos)), contexto_(contexto), planes_(planes) {}

    void Todo() {
        while (k_ < tramos_.size()) Sentencia();
    }

  private:
    const Token& Cabeza(size_t k) const { return t_[tramos_[k].desde]; }
    bool Sola(size_t k, const char* palabra) const {
        return k < tramos_.size() && tramos_[k].hasta - tramos_[k].desde == 1 && Cabeza(k).Es(palabra);
    }
    [[noreturn]] void FallarCerca(const Token& tk) const {
        throw ErrorTSQL(mensajes::kSintaxis, mensajes::Sintaxis(tk.texto), tk.linea);
    }
    // The batch ended where a statement was still expected.
    [[noreturn]] void FallarAlFinal() const { FallarCerca(t_.back()); }

    PlanSentencia& Agregar(Clase clase, const TramoSentencia& tramo) {
        PlanSentencia plan;
        plan.sentencia.clase = clase;
        plan.sentencia.linea = t_[tramo.desde].linea;
        const int a = t_[tramo.desde].inicio;
        const Token& ultimo = t_[tramo.hasta - 1];
        plan.sentencia.original = lote_.mid(a, ultimo.inicio + ultimo.texto.size() - a);
        plan.tokens.assign(t_.begin() + tramo.desde, t_.begin() + tramo.hasta);
        planes_.push_back(std::move(plan));
        return planes_.back();
    }
    int Aqui() const { return static_cast<int>(planes_.size()); }

    void Condicion(const TramoSentencia& tramo) {
        PlanSentencia& plan = Agregar(Clase::Si, tramo);
        traduccion::Traductor traductor(t_, lote_, tramo.desde + 1, tramo.hasta, contexto_);
        if (tramo.hasta - tramo.desde < 2) FallarCerca(Cabeza(k_));
        contexto_.bases.clear();
        contexto_.objetosExternos.clear();
        contexto_.tablasVariables.clear();
        traductor.Condicion(plan.sentencia);
        plan.sentencia.bases = contexto_.bases;
        plan.sentencia.objetosExternos = contexto_.objetosExternos;
        plan.sentencia.tablasVariables = contexto_.tablasVariables;
    }
    // BEGIN TRY, END TRY, BEGIN CATCH, END CATCH: a piece of two words.
    bool Par(size_t k, const char* primera, const char* segunda) const {
        return k < tramos_.size() && tramos_[k].hasta - tramos_[k].desde == 2 && Cabeza(k).Es(primera) &&
               t_[tramos_[k].desde + 1].Es(segunda);
    }
    // The statements up to the piece that closes a block.
    void Bloque(const char* primera, const char* segunda) {
        bool alguna = false;
        while (!Par(k_, primera, segunda)) {
            if (k_ >= tramos_.size()) FallarAlFinal();
            Sentencia();
            alguna = true;
        }
        if (!alguna) FallarCerca(Cabeza(k_));
        ++k_;
    }

    // The statement IF, ELSE or WHILE governs: the batch may not end before it.
    void SentenciaGobernada() {
        ++k_;
        if (k_ >= tramos_.size()) FallarAlFinal();
        Sentencia();
    }

    // One level deeper for as long as it lives.
    struct Nivel {
        explicit Nivel(Estructura& e) : e_(e) {
            if (++e_.nivel_ > kBloquesAnidadosMaximo) {
                const Token& tk = e_.Cabeza(e_.k_);
                throw ErrorTSQL(mensajes::kAnidamiento, mensajes::Anidamiento(), tk.linea);
            }
        }
        ~Nivel() { --e_.nivel_; }
        Nivel(const Nivel&) = delete;
        Nivel& operator=(const Nivel&) = delete;
        Estructura& e_;
    };

    void Sentencia() {
        const Nivel nivel(*this);
        const TramoSentencia tramo = tramos_[k_];
        const Token& cabeza = Cabeza(k_);
        if (Sola(k_, "END") || Sola(k_, "ELSE") || Par(k_, "END", "TRY") || Par(k_, "END", "CATCH") ||
            Par(k_, "BEGIN", "CATCH"))
            FallarCerca(cabeza);
        if (Par(k_, "BEGIN", "TRY")) {
            // TRY ... CATCH: an error inside the TRY goes on at the CATCH.
            const int intento = Aqui();
            Agregar(Clase::Intentar, tramo);
            ++k_;
            Bloque("END", "TRY");
            const int fin = Aqui();
            Agregar(Clase::FinIntento, tramos_[k_ - 1]);
            if (!Par(k_, "BEGIN", "CATCH")) {
                if (k_ >= tramos_.size()) FallarAlFinal();
                FallarCerca(Cabeza(k_));
            }
            planes_[intento].sentencia.salto = Aqui();
            ++k_;
            // An empty CATCH block is allowed.
            while (!Par(k_, "END", "CATCH")) {
                if (k_ >= tramos_.size()) FallarAlFinal();
                Sentencia();
            }
            Agregar(Clase::FinCaptura, tramos_[k_]);
            ++k_;
            planes_[fin].sentencia.salto = Aqui();
            return;
        }
        if ((cabeza.Es("CREATE") || cabeza.Es("ALTER")) &&
            EsDefinicionDeRutina(std::vector<Token>(t_.begin() + tramo.desde, t_.begin() + std::min(tramo.hasta, tramo.desde + 4))))
            throw ErrorTSQL(mensajes::kRutinaNoPrimera, mensajes::RutinaNoPrimera(), cabeza.linea);
        if (Sola(k_, "BEGIN")) {
            ++k_;
            bool alguna = false;
            while (!Sola(k_, "END")) {
                if (k_ >= tramos_.size()) FallarAlFinal();
                Sentencia();
                alguna = true;
            }
            if (!alguna) FallarCerca(Cabeza(k_));
            ++k_;
            return;
        }
        if (cabeza.Es("IF")) {
            const int si = Aqui();
            Condicion(tramo);
            SentenciaGobernada();
            if (Sola(k_, "ELSE")) {
                const int salto = Aqui();
                Agregar(Clase::Saltar, tramos_[k_]);
                planes_[si].sentencia.salto = Aqui();
                SentenciaGobernada();
                planes_[salto].sentencia.salto = Aqui();
            } else {
                planes_[si].sentencia.salto = Aqui();
            }
            return;
        }
        if (cabeza.Es("WHILE")) {
            const int inicio = Aqui();
            Condicion(tramo);
            bucles_.push_back(Bucle{inicio, {}});
            SentenciaGobernada();
            Agregar(Clase::Saltar, tramo).sentencia.salto = inicio;
            const Bucle bucle = bucles_.back();
            bucles_.pop_back();
            planes_[inicio].sentencia.salto = Aqui();
            for (int ruptura : bucle.rupturas) planes_[ruptura].sentencia.salto = Aqui();
            return;
        }
        if (cabeza.Es("BREAK") || cabeza.Es("CONTINUE")) {
            if (tramo.hasta - tramo.desde != 1) FallarCerca(t_[tramo.desde + 1]);
            const bool romper = cabeza.Es("BREAK");
            if (bucles_.empty()) {
                if (romper)
                    throw ErrorTSQL(mensajes::kBreakFueraDeBucle, mensajes::BreakFueraDeBucle(),
                                    cabeza.linea);
                throw ErrorTSQL(mensajes::kContinueFueraDeBucle, mensajes::ContinueFueraDeBucle(),
                                cabeza.linea);
            }
            if (romper) bucles_.back().rupturas.push_back(Aqui());
            Agregar(Clase::Saltar, tramo).sentencia.salto = romper ? -1 : bucles_.back().inicio;
            ++k_;
            return;
        }
        std::vector<kv::local::Sentencia> salida;
        traduccion::Traductor traductor(t_, lote_, tramo.desde, tramo.hasta, contexto_);
        contexto_.bases.clear();
        contexto_.objetosExternos.clear();
        contexto_.tablasVariables.clear();
        traductor.Traducir(salida, k_ == 0 && !contexto_.enRutina);
        for (kv::local::Sentencia& s : salida) {
            s.bases = contexto_.bases;
            s.objetosExternos = contexto_.objetosExternos;
            for (const QString& t : contexto_.tablasVariables)
                if (!s.tablasVariables.contains(t)) s.tablasVariables << t;
            PlanSentencia plan;
            plan.sentencia = std::move(s);
            plan.tokens.assign(t_.begin() + tramo.desde, t_.begin() + tramo.hasta);
            planes_.push_back(std::move(plan));
        }
        ++k_;
    }

    struct Bucle {
        int inicio;
        std::vector<int> rupturas;
    };
    const std::vector<Token>& t_;
    const QString& lote_;
    std::vector<TramoSentencia> tramos_;
    traduccion::ContextoLote& contexto_;
    std::vector<PlanSentencia>& planes_;
    size_t k_ = 0;
    int nivel_ = 0;
    std::vector<Bucle> bucles_;
};

}  // namespace

void RegistrarRuta(std::shared_ptr<const RutaPlan> ruta) {
    if (!ruta) return;
    Rutas& r = LasRutas();
    QMutexLocker g(&r.cerrojo);
    r.lista.push_back(std::move(ruta));
}

void QuitarRuta(const std::shared_ptr<const RutaPlan>& ruta) {
    Rutas& r = LasRutas();
    QMutexLocker g(&r.cerrojo);
    std::erase(r.lista, ruta);
}

namespace {

std::vector<Token> Significativos(const QString& lote) {
    if (lote.size() > kLargoMaximoLote) throw ErrorTSQL(mensajes::kMemoria, mensajes::Memoria(), 1);
    FalloLexico fallo;
    const std::vector<Token> todos = Tokenizar(lote, &fallo);
    if (fallo.numero != 0) throw ErrorTSQL(fallo.numero, fallo.mensaje, fallo.linea);
    std::vector<Token> significativos;
    significativos.reserve(todos.size());
    for (const Token& t : todos)
        if (t.Significativo()) significativos.push_back(t);
    return significativos;
}

// The hook for routes of their own: each plan is offered to them in turn.
void OfrecerARutas(std::vector<PlanSentencia>& planes) {
    const auto rutas = RutasActuales();
    if (!rutas.empty()) {
        for (PlanSentencia& plan : planes) {
            for (const auto& ruta : rutas) {
                if (ruta->Reclamar(plan)) {
                    plan.ruta = ruta;
                    break;
                }
                plan.datos.reset();
            }
        }
    }
}

}  // namespace

RutinaPlanificada PlanificarRutina(const QString& texto, TiposColumnas* tipos) {
    const std::vector<Token> significativos = Significativos(texto);
    traduccion::ContextoLote contexto;
    contexto.tipos = tipos;
    contexto.enRutina = true;
    RutinaPlanificada r;
    std::vector<traduccion::Tipo> tiposParametros;
    traduccion::Traductor cabecera(significativos, texto, 0, static_cast<int>(significativos.size()), contexto);
    const int desde = cabecera.CabeceraRutina(r.definicion, tiposParametros);
    // Each parameter takes the value of the call, converted to its type.
    for (size_t i = 0; i < tiposParametros.size(); ++i) {
        PlanSentencia plan;
        plan.sentencia.clase = Clase::Asignar;
        plan.sentencia.linea = significativos.front().linea;
        plan.sentencia.sql = cabecera.ConversionDeParametro(tiposParametros[i], ParametroDeEntrada(i));
        plan.sentencia.variables = QStringList{ParametroDeVariableRutina(i)};
        r.cuerpo.push_back(std::move(plan));
    }
    const std::vector<Token> cuerpo(significativos.begin() + desde, significativos.end());
    if (cuerpo.empty())
        throw ErrorTSQL(mensajes::kSintaxis, mensajes::Sintaxis(significativos.back().texto),
                        significativos.back().linea);
    Estructura estructura(cuerpo, texto, DividirSentencias(cuerpo), contexto, r.cuerpo);
    estructura.Todo();
    OfrecerARutas(r.cuerpo);
    return r;
}

std::vector<PlanSentencia> PlanificarLote(const QString& lote, TiposColumnas* tipos) {
    const std::vector<Token> significativos = Significativos(lote);
    std::vector<PlanSentencia> planes;
    if (EsDefinicionDeRutina(significativos)) {
        // The whole batch is the procedure; its body is checked now, as SQL Server parses it.
        const RutinaPlanificada r = PlanificarRutina(lote, tipos);
        PlanSentencia plan;
        plan.sentencia.clase = Clase::CrearProcedimiento;
        plan.sentencia.linea = significativos.front().linea;
        plan.sentencia.objeto = r.definicion.nombre;
        plan.sentencia.sql = r.definicion.verbo;
        plan.sentencia.original = lote;
        planes.push_back(std::move(plan));
        return planes;
    }

    // Parse every statement first: a batch with a syntax error runs not at all.
    traduccion::ContextoLote contexto;
    contexto.tipos = tipos;
    Estructura estructura(significativos, lote, DividirSentencias(significativos), contexto, planes);
    estructura.Todo();
    OfrecerARutas(planes);
    return planes;
}

}  // namespace kv::local
