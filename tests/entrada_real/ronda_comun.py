"""What the real-input rounds share: the checks and waits, a fresh demo in a
folder of its own, a private accessibility bus, the real kv_estv started on it,
real X keys and mouse through xdotool, what the user sees (window titles, the
widget tree on the accessibility bus, screenshots) and what the program sent
(the SQL trace, the stores read back with kvsql).

A round is a function of a Ronda; `ejecutar` runs it under the X server that
CTest starts with xvfb-run and turns the checks into the exit status.
"""

import argparse
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

FALLOS = []


def comprobar(nombre, condicion, detalle=""):
    print(("BIEN  " if condicion else "MAL   ") + nombre + ("" if condicion or not detalle else "  -- " + detalle),
          flush=True)
    if not condicion:
        FALLOS.append(nombre)
    return condicion


def esperar(condicion, segundos=6.0, paso=0.1):
    fin = time.time() + segundos
    while time.time() < fin:
        valor = condicion()
        if valor:
            return valor
        time.sleep(paso)
    return condicion()


class Ronda:
    def __init__(self, binarios, capturas=""):
        self.bin = binarios
        self.capturas = capturas
        self.raiz = tempfile.mkdtemp(prefix="kv_ronda_")
        for carpeta in ("app", "datos", "home", "temp", "salida"):
            os.makedirs(os.path.join(self.raiz, carpeta))
        self.traza = os.path.join(self.raiz, "traza.jsonl")
        self.env = dict(os.environ)
        self.env.update({
            "KVESTV_CARPETA": os.path.join(self.raiz, "app"),
            "KVESTV_INI": os.path.join(self.raiz, "app"),
            "KVESTV_DATOS": os.path.join(self.raiz, "datos"),
            "HOME": os.path.join(self.raiz, "home"),
            "XDG_RUNTIME_DIR": os.path.join(self.raiz, "home"),
            "TEMP": os.path.join(self.raiz, "temp"),
            "QT_QPA_PLATFORM": "xcb",
            "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
            "QT_ACCESSIBILITY": "1",
            "KVESTV_SIN_3D": "1",
            "LANG": "C.UTF-8",
        })
        os.chmod(self.env["XDG_RUNTIME_DIR"], 0o700)
        self.programa = None
        self.dbus = None
        self.atspi = None

    # --- set-up -------------------------------------------------------------------

    def crear_demo(self):
        env = dict(self.env)
        env.pop("DISPLAY", None)
        env.pop("KVESTV_TRAZA_SQL", None)
        r = subprocess.run([os.path.join(self.bin, "kv_estv"), "--demo", "--lineas", "12000"], env=env,
                           capture_output=True, text=True, timeout=240)
        return r.returncode == 0

    def bus_accesibilidad(self):
        """A private session bus with the accessibility bus started on it, before the program."""
        salida = subprocess.run(["dbus-daemon", "--session", "--fork", "--print-address=1", "--print-pid=1"],
                                env=self.env, capture_output=True, text=True, timeout=20).stdout.split()
        self.env["DBUS_SESSION_BUS_ADDRESS"] = salida[0]
        self.dbus = int(salida[1])
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = salida[0]
        os.environ["HOME"] = self.env["HOME"]
        subprocess.run(["dbus-send", "--session", "--dest=org.a11y.Bus", "--print-reply", "/org/a11y/bus",
                        "org.a11y.Bus.GetAddress"], env=self.env, capture_output=True, timeout=20)
        try:
            import pyatspi  # noqa: F401  (Debian's python3-pyatspi)
            self.atspi = pyatspi
        except ImportError:
            self.atspi = None

    def arrancar(self):
        self.env["KVESTV_TRAZA_SQL"] = self.traza
        self.programa = subprocess.Popen([os.path.join(self.bin, "kv_estv")], env=self.env,
                                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def terminar(self):
        if self.programa and self.programa.poll() is None:
            self.programa.kill()
            self.programa.wait(10)
        if self.dbus:
            try:
                os.kill(self.dbus, 15)
            except OSError:
                pass
        # The accessibility bus launched on the private bus goes with it.
        shutil.rmtree(self.raiz, ignore_errors=True)

    def cerrar_programa(self):
        """Ends this session of the program; the next `arrancar` is a new session on the same demo."""
        if self.programa and self.programa.poll() is None:
            self.programa.kill()
            self.programa.wait(10)
        self.programa = None
        self.campos = {}

    def herramientas(self):
        """The environment of the round's own tools (xdotool, kvsql): the program runs in the user's
        LANG, which this machine may not have generated; the tools read and type UTF-8 whatever it is."""
        return dict(self.env, LC_ALL="C.UTF-8")

    def vivo(self):
        return self.programa is not None and self.programa.poll() is None

    # --- what the user sees ---------------------------------------------------------

    def ventanas(self, titulo):
        """Visible windows whose title matches the regular expression."""
        r = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", titulo], env=self.herramientas(),
                           capture_output=True, text=True)
        return [linea for linea in r.stdout.split() if linea.strip()]

    def aplicacion(self):
        escritorio = self.atspi.Registry.getDesktop(0)
        for i in range(escritorio.childCount):
            a = escritorio.getChildAtIndex(i)
            if a is not None and a.name == "kv_estv":
                return a
        return None

    def buscar(self, rol, nombre, raiz=None):
        """Every accessible whose role name (any, for None) and name match (the name as a regular expression)."""
        raiz = raiz or self.aplicacion()
        hallados = []
        if raiz is None:
            return hallados

        def recorrer(o, nivel):
            try:
                papel = o.getRoleName()
                if (rol is None or papel == rol) and re.fullmatch(nombre, o.name or ""):
                    hallados.append(o)
                # What is not on screen, and the cells of the grid and pivot, are not walked:
                # a load puts thousands of them on the bus.
                if nivel > 0 and not o.getState().contains(self.atspi.STATE_SHOWING):
                    return
                if papel in ("table", "tree table", "tree", "table cell") or o.childCount > 400:
                    return
                if nivel < 40:
                    for i in range(o.childCount):
                        h = o.getChildAtIndex(i)
                        if h is not None:
                            recorrer(h, nivel + 1)
            except Exception:
                pass

        recorrer(raiz, 0)
        return hallados

    def uno(self, rol, nombre):
        lista = esperar(lambda: self.buscar(rol, nombre), 5)
        if not lista:
            raise AssertionError("no se ve %s %r" % (rol, nombre))
        return lista[0]

    def caja(self, objeto):
        e = objeto.queryComponent().getExtents(self.atspi.DESKTOP_COORDS)
        return e.x, e.y, e.width, e.height

    def texto(self, objeto):
        try:
            return objeto.queryText().getText(0, -1)
        except Exception:
            return None

    def estado(self, objeto, estado):
        return objeto.getState().contains(estado)

    # --- real input ----------------------------------------------------------------

    def xdo(self, *argumentos):
        subprocess.run(["xdotool"] + list(argumentos), env=self.herramientas(), check=True)

    def clic(self, x, y, boton=1, veces=1):
        self.xdo("mousemove", str(int(x)), str(int(y)))
        time.sleep(0.1)
        self.xdo("click", "--repeat", str(veces), "--delay", "120", str(boton))
        time.sleep(0.3)

    def clic_en(self, objeto, boton=1, veces=1):
        x, y, w, h = self.caja(objeto)
        self.clic(x + min(w // 2, 20) if objeto.getRoleName() == "text" else x + w // 2, y + h // 2, boton, veces)

    def teclas(self, *teclas):
        for t in teclas:
            self.xdo("key", "--clearmodifiers", t)
            time.sleep(0.15)

    def escribir(self, texto):
        self.xdo("type", "--delay", "40", texto)
        time.sleep(0.2)

    def campo(self, nombre):
        # The window's fields live as long as the window: each is looked up once.
        if not hasattr(self, "campos"):
            self.campos = {}
        if nombre not in self.campos:
            self.campos[nombre] = self.uno("text", re.escape(nombre))
        return self.campos[nombre]

    # --- the SQL the program sent ---------------------------------------------------

    def sentencias(self):
        lineas = []
        try:
            with open(self.traza, encoding="utf-8") as f:
                for linea in f:
                    try:
                        registro = json.loads(linea)
                    except ValueError:
                        continue
                    for clave in ("sql", "sentencia", "texto"):
                        if isinstance(registro.get(clave), str):
                            lineas.append(registro[clave])
                            break
                    else:
                        lineas.append(linea)
        except OSError:
            pass
        return lineas

    def registros(self):
        """Each traced statement with the database it went to: (base, sql)."""
        registros = []
        try:
            with open(self.traza, encoding="utf-8") as f:
                for linea in f:
                    try:
                        registro = json.loads(linea)
                    except ValueError:
                        continue
                    if isinstance(registro.get("sql"), str):
                        registros.append((registro.get("base") or "", registro["sql"]))
        except OSError:
            pass
        return registros

    def consultas_grafico(self):
        return [s for s in self.sentencias() if s.startswith("SELECT SUM(CONSUMO) AS CONSUMO")]

    def kvsql(self, base, usuario, clave, sql):
        r = subprocess.run([os.path.join(self.bin, "kvsql"), "-S", "EMBEBIDO", "-d", base, "-U", usuario, "-P",
                            clave, "-h", "-1", "-W", "-s", "|", "-Q", sql], env=self.herramientas(), capture_output=True,
                           text=True, timeout=60)
        return [l for l in r.stdout.splitlines() if l.strip() and not l.startswith("(")]

    # --- what the user reads ----------------------------------------------------------

    def pixeles(self, x=0, y=0, ancho=None, alto=None):
        """The screen's pixels in a rectangle as the user sees them: (width, height, RGB bytes)."""
        return leer_pantalla(self.env.get("DISPLAY", ""), x, y, ancho, alto)

    def captura(self, nombre):
        """The whole screen as the user sees it, as a PNG file."""
        carpeta = self.capturas or os.path.join(self.raiz, "salida")
        archivo = os.path.join(carpeta, nombre + ".png")
        try:
            ancho, alto, rgb = self.pixeles()
            escribir_png(archivo, ancho, alto, rgb)
        except OSError:
            return None
        return archivo

    def celdas(self, tabla, filas, columnas):
        """The texts of the first cells of an accessible table, and its column captions."""
        t = tabla.queryTable()
        cabecera = [t.getColumnDescription(c) or "" for c in range(min(columnas, t.nColumns))]
        if not any(cabecera):
            try:
                cabecera = [(t.getColumnHeader(c).name or "") for c in range(min(columnas, t.nColumns))]
            except Exception:
                pass
        datos = []
        for f in range(min(filas, t.nRows)):
            datos.append([(t.getAccessibleAt(f, c).name or "") for c in range(min(columnas, t.nColumns))])
        return cabecera, datos


def leer_pantalla(pantalla, x=0, y=0, ancho=None, alto=None):
    """Reads the X server's root window through Xlib (the libX11 that xdotool brings): no tool of its own."""
    import ctypes
    import ctypes.util
    x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XDefaultRootWindow.restype = ctypes.c_ulong
    x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x11.XGetImage.restype = ctypes.c_void_p
    x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                              ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]

    class Atributos(ctypes.Structure):
        _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int), ("height", ctypes.c_int)]

    class Imagen(ctypes.Structure):
        _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                    ("format", ctypes.c_int), ("data", ctypes.POINTER(ctypes.c_ubyte)),
                    ("byte_order", ctypes.c_int), ("bitmap_unit", ctypes.c_int),
                    ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int), ("depth", ctypes.c_int),
                    ("bytes_per_line", ctypes.c_int), ("bits_per_pixel", ctypes.c_int)]

    d = x11.XOpenDisplay(pantalla.encode() or None)
    if not d:
        raise OSError("no se abre la pantalla %r" % pantalla)
    try:
        raiz = x11.XDefaultRootWindow(d)
        if ancho is None or alto is None:
            x11.XDisplayWidth.argtypes = x11.XDisplayHeight.argtypes = [ctypes.c_void_p, ctypes.c_int]
            ancho = x11.XDisplayWidth(d, 0) - x
            alto = x11.XDisplayHeight(d, 0) - y
        ancho, alto = max(1, int(ancho)), max(1, int(alto))
        puntero = x11.XGetImage(d, raiz, int(x), int(y), ancho, alto, 0xFFFFFFFF, 2)  # ZPixmap
        if not puntero:
            raise OSError("no se lee la pantalla")
        imagen = ctypes.cast(puntero, ctypes.POINTER(Imagen)).contents
        if imagen.bits_per_pixel != 32:
            raise OSError("pantalla de %d bits por punto" % imagen.bits_per_pixel)
        crudo = ctypes.string_at(imagen.data, imagen.bytes_per_line * alto)
        rgb = bytearray(3 * ancho * alto)
        for fila in range(alto):
            linea = crudo[fila * imagen.bytes_per_line:fila * imagen.bytes_per_line + 4 * ancho]
            destino = memoryview(rgb)[fila * 3 * ancho:(fila + 1) * 3 * ancho]
            # BGRX, little-endian, as Xvfb's 24-bit screens keep it.
            destino[0::3] = linea[2::4]
            destino[1::3] = linea[1::4]
            destino[2::3] = linea[0::4]
        return ancho, alto, bytes(rgb)
    finally:
        x11.XCloseDisplay(d)


def escribir_png(archivo, ancho, alto, rgb):
    """An RGB picture as a PNG file, with zlib alone."""
    import struct
    import zlib

    def trozo(tipo, datos):
        return struct.pack(">I", len(datos)) + tipo + datos + struct.pack(">I", zlib.crc32(tipo + datos) & 0xFFFFFFFF)

    filas = b"".join(b"\x00" + rgb[f * ancho * 3:(f + 1) * ancho * 3] for f in range(alto))
    with open(archivo, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + trozo(b"IHDR", struct.pack(">IIBBBBB", ancho, alto, 8, 2, 0, 0, 0)) +
                trozo(b"IDAT", zlib.compress(filas, 6)) + trozo(b"IEND", b""))


def entrar(r):
    """Sign-in: the registered connection is picked; user and password are typed."""
    r.arrancar()
    comprobar("se abre Control de Acceso", bool(esperar(lambda: r.ventanas("^Control de Acceso$"), 20)))
    r.clic_en(r.uno("text", "Usuario:"))
    r.teclas("ctrl+a")
    r.escribir("NORTE")
    r.clic_en(r.uno("password text", "Contraseña:"))
    r.teclas("ctrl+a")
    r.escribir("NORTE")
    r.teclas("Return")
    dentro = comprobar("entra y abre la ventana principal",
                       bool(esperar(lambda: r.ventanas("^Gráficos Estadísticos de Ventas$"), 30)))
    time.sleep(1.0)
    return dentro


def ejecutar(fabrica, pasos, plazo, preparar=None):
    """Runs the steps of a round on a fresh demo; the exit status is 1 when any check failed.
    `fabrica(binarios, capturas)` makes the Ronda; `preparar(r)` runs after the demo and before the program."""
    import faulthandler
    faulthandler.dump_traceback_later(plazo, exit=True)
    argumentos = argparse.ArgumentParser()
    argumentos.add_argument("--bin", required=True)
    argumentos.add_argument("--capturas", default=os.environ.get("KVESTV_CAPTURAS_PRUEBA", ""))
    opciones = argumentos.parse_args()
    if not os.environ.get("DISPLAY"):
        print("MAL   hace falta una pantalla X (xvfb-run)")
        return 1
    if not shutil.which("xdotool"):
        print("MAL   falta xdotool (scripts/instalar-dependencias.sh lo instala)")
        return 1
    r = fabrica(opciones.bin, opciones.capturas)
    try:
        comprobar("se crea la demostracion", r.crear_demo())
        if preparar:
            preparar(r)
        r.bus_accesibilidad()
        if not comprobar("se lee el arbol de controles", r.atspi is not None):
            return 1
        try:
            for paso in pasos:
                paso(r)
        except AssertionError as e:
            comprobar("la ronda sigue hasta el final", False, str(e))
    finally:
        r.terminar()
    print("%d comprobaciones fallidas" % len(FALLOS))
    return 1 if FALLOS else 0
