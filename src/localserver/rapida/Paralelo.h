#pragma once
// Work split over the machine's two cores: a range cut in two halves, each
// done by its own thread, so that what each half produces is the same as one
// thread going through the whole range in order. Small ranges stay on the
// calling thread, where a second thread would cost more than it saves.

#include <cstddef>
#include <exception>
#include <thread>

namespace kv::local::rapida {

// Whether a second thread is worth it (more than one core, and not turned off
// by KVESTV_HILOS_COLUMNAS=1).
bool DosHilos();

// Calls hacer(inicio, fin, parte) for [0, mitad) and [mitad, n), the first on
// a second thread, when n reaches `minimo`; otherwise hacer(0, n, 0) here. An
// exception of either half reaches the caller once both are done.
template <typename F>
void EnDosMitades(std::size_t n, std::size_t minimo, F&& hacer) {
    if (n < minimo || !DosHilos()) {
        hacer(std::size_t(0), n, 0);
        return;
    }
    const std::size_t mitad = n / 2;
    std::exception_ptr fallo;
    std::thread otro([&] {
        try {
            hacer(std::size_t(0), mitad, 0);
        } catch (...) {
            fallo = std::current_exception();
        }
    });
    std::exception_ptr propio;
    try {
        hacer(mitad, n, 1);
    } catch (...) {
        propio = std::current_exception();
    }
    otro.join();
    if (fallo) std::rethrow_exception(fallo);
    if (propio) std::rethrow_exception(propio);
}

// Calls uno() on a second thread and otro() here, at once when there are two
// cores, one after the other otherwise. An exception of either reaches the
// caller once both are done.
template <typename F, typename G>
void ALaVez(F&& uno, G&& otro) {
    if (!DosHilos()) {
        uno();
        otro();
        return;
    }
    std::exception_ptr fallo;
    std::thread hilo([&] {
        try {
            uno();
        } catch (...) {
            fallo = std::current_exception();
        }
    });
    std::exception_ptr propio;
    try {
        otro();
    } catch (...) {
        propio = std::current_exception();
    }
    hilo.join();
    if (fallo) std::rethrow_exception(fallo);
    if (propio) std::rethrow_exception(propio);
}

}  // namespace kv::local::rapida
