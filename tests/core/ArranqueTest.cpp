#include <gtest/gtest.h>

#include <vector>

#include "core/Arranque.h"

namespace {

// Sets the display variables for one test and puts them back.
class Pantalla {
  public:
    Pantalla() {
        for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            guardadas_.push_back({v, qEnvironmentVariableIsSet(v), qgetenv(v)});
    }
    ~Pantalla() {
        for (const auto& g : guardadas_) {
            if (g.habia)
                qputenv(g.nombre, g.valor);
            else
                qunsetenv(g.nombre);
        }
    }
    void Fijar(const char* display, const char* wayland, const char* plataforma) {
        auto fijar = [](const char* nombre, const char* valor) {
            if (valor)
                qputenv(nombre, valor);
            else
                qunsetenv(nombre);
        };
        fijar("DISPLAY", display);
        fijar("WAYLAND_DISPLAY", wayland);
        fijar("QT_QPA_PLATFORM", plataforma);
    }

  private:
    struct Guardada {
        const char* nombre;
        bool habia;
        QByteArray valor;
    };
    std::vector<Guardada> guardadas_;
};

TEST(Arranque, EligeConsolaSinPantalla) {
    Pantalla p;
    p.Fijar(nullptr, nullptr, nullptr);
    EXPECT_FALSE(kv::core::HayPantalla());
    p.Fijar(":0", nullptr, nullptr);
    EXPECT_TRUE(kv::core::HayPantalla());
    p.Fijar(nullptr, "wayland-0", nullptr);
    EXPECT_TRUE(kv::core::HayPantalla());
    p.Fijar(":0", nullptr, "offscreen");
    EXPECT_FALSE(kv::core::HayPantalla());
    p.Fijar(":0", nullptr, "xcb");
    EXPECT_TRUE(kv::core::HayPantalla());
}

TEST(Arranque, MensajeSinPantallaDiceQueEjecutar) {
    const QString m = kv::core::MensajeSinPantalla("EMBEBIDO", "X", "U");
    EXPECT_TRUE(m.startsWith("KV_ESTV: conexión abierta con la base X del servidor EMBEBIDO como U.\n"));
    EXPECT_TRUE(m.contains("kv_estv --informe"));
}

}  // namespace
