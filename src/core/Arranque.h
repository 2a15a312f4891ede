#pragma once
// What the viewer's main() decides before and after the start-up.

#include <QString>

namespace kv::core {

// A display is there unless neither DISPLAY nor WAYLAND_DISPLAY is set, or Qt
// is told to draw off screen.
bool HayPantalla();

// What a run without a display says once the connections are open.
QString MensajeSinPantalla(const QString& servidor, const QString& base, const QString& usuario);

}  // namespace kv::core
