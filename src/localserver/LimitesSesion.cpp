#include "localserver/LimitesSesion.h"

#include <QRegularExpression>
#include <QTime>
#include <algorithm>
#include <thread>

#include <unistd.h>

#include "localserver/BaseSqlite.h"
#include "localserver/ErrorServidor.h"
#include "localserver/Errores.h"
#include "localserver/tsql/Mensajes.h"

namespace kv::local {

namespace {

constexpr qint64 kMegabyte = 1024 * 1024;
constexpr qint64 kMemoriaMinimaMb = 256;

// A quarter of the machine's memory, and never less than 256 MB: a load's whole
// result (a grid of a million groups holds some 450 MB) fits, and a batch that
// runs away still stops long before the machine does.
qint64 MemoriaPorOmisionMb() {
    const long paginas = sysconf(_SC_PHYS_PAGES);
    const long tamano = sysconf(_SC_PAGE_SIZE);
    if (paginas <= 0 || tamano <= 0) return kMemoriaMinimaMb;
    return std::max<qint64>(kMemoriaMinimaMb, static_cast<qint64>(paginas) * tamano / 4 / kMegabyte);
}

}  // namespace

qint64 MemoriaMaximaSesion() {
    static const qint64 maxima = [] {
        bool ok = false;
        const qint64 mb = qEnvironmentVariable("KVESTV_MEMORIA_SESION_MB").toLongLong(&ok);
        return (ok && mb >= 16 && mb <= 64 * 1024 ? mb : MemoriaPorOmisionMb()) * kMegabyte;
    }();
    return maxima;
}

int LargoMaximoValorSesion() {
    return static_cast<int>(std::min<qint64>(LargoMaximoValor, MemoriaMaximaSesion() / 8));
}

qint64 TamanoValor(const QVariant& v) {
    constexpr qint64 kVariante = 32;
    switch (v.typeId()) {
        // Read in place: a copy of each text would cost more than the count.
        case QMetaType::QString:
            return kVariante + 2 * static_cast<qint64>(static_cast<const QString*>(v.constData())->size());
        case QMetaType::QByteArray:
            return kVariante + static_cast<qint64>(static_cast<const QByteArray*>(v.constData())->size());
        default:
            return kVariante;
    }
}

qint64 TamanoFila(const std::vector<QVariant>& fila) {
    qint64 n = 24;
    for (const QVariant& v : fila) n += TamanoValor(v);
    return n;
}

qint64 TamanoResultado(const kv::db::ResultadoSentencia& r) {
    qint64 n = 128;
    for (const auto& f : r.filas) n += TamanoFila(f);
    for (const QString& m : r.mensajes) n += 32 + 2 * static_cast<qint64>(m.size());
    if (r.error) n += 256 + 2 * static_cast<qint64>(r.error->descripcion.size());
    return n;
}

qint64 TamanoVariables(const QHash<QString, QVariant>& variables) {
    qint64 n = 0;
    for (auto it = variables.cbegin(); it != variables.cend(); ++it)
        n += 32 + 2 * static_cast<qint64>(it.key().size()) + TamanoValor(it.value());
    return n;
}

void DescartarResultados(std::vector<kv::db::ResultadoSentencia>& salida) {
    if (salida.empty()) return;
    kv::db::ResultadoSentencia ultimo = std::move(salida.back());
    salida.clear();
    salida.shrink_to_fit();
    salida.push_back(std::move(ultimo));
}

void MemoriaLote::SumarFila(qint64 bytes) {
    enCurso_ += bytes;
    Comprobar();
}

void MemoriaLote::CerrarSentencia(qint64 bytesResultados) {
    enCurso_ = 0;
    resultados_ += bytesResultados;
    Comprobar();
}

void MemoriaLote::FijarVariables(qint64 bytes) {
    variables_ = bytes;
    Comprobar();
}

void MemoriaLote::Comprobar() const {
    if (Usada() > MemoriaMaximaSesion())
        throw ErrorServidor(mensajes::kMemoria, mensajes::Memoria(), QString::fromLatin1(estado::General));
}

void ComprobarPlazo(bool conLimite, std::chrono::steady_clock::time_point limite) {
    if (conLimite && std::chrono::steady_clock::now() >= limite)
        throw ErrorServidor(err::TiempoAgotado, msj::TiempoAgotado(), QString::fromLatin1(estado::TiempoAgotado));
}

void Esperar(const QString& modo, const QString& texto, bool conLimite,
             std::chrono::steady_clock::time_point limite) {
    using namespace std::chrono;
    static const QRegularExpression forma(
        QStringLiteral("^\\s*(\\d{1,2}):(\\d{1,2})(?::(\\d{1,2})(?:[.:](\\d{1,3}))?)?\\s*$"));
    const auto m = forma.match(texto);
    const auto malFormado = [&] {
        return ErrorServidor(mensajes::kHoraWaitfor, mensajes::HoraWaitfor(texto),
                             QString::fromLatin1(estado::Sintaxis));
    };
    if (!m.hasMatch()) throw malFormado();
    const int h = m.captured(1).toInt();
    const int mi = m.captured(2).toInt();
    const int s = m.captured(3).isEmpty() ? 0 : m.captured(3).toInt();
    const int ms = m.captured(4).isEmpty() ? 0 : m.captured(4).leftJustified(3, QLatin1Char('0')).toInt();
    if (h > 23 || mi > 59 || s > 59) throw malFormado();
    milliseconds espera = hours(h) + minutes(mi) + seconds(s) + milliseconds(ms);
    if (modo == QLatin1String("TIME")) {
        // Until that time of day: today, or tomorrow when it has passed.
        const int ahora = QTime::currentTime().msecsSinceStartOfDay();
        qint64 resto = espera.count() - ahora;
        if (resto < 0) resto += 24LL * 3600 * 1000;
        espera = milliseconds(resto);
    }
    const auto fin = steady_clock::now() + espera;
    // In short naps, so that the batch's deadline ends the wait on time.
    for (;;) {
        ComprobarPlazo(conLimite, limite);
        const auto ahora = steady_clock::now();
        if (ahora >= fin) return;
        auto siesta = std::min<steady_clock::duration>(fin - ahora, milliseconds(50));
        if (conLimite && limite > ahora) siesta = std::min<steady_clock::duration>(siesta, limite - ahora);
        std::this_thread::sleep_for(siesta);
    }
}

}  // namespace kv::local
