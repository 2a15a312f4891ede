#!/usr/bin/python3
"""The round of a sales manager, with real X keys and mouse (xdotool), on the
real kv_estv and a fresh demo. It reads what the user would see: processes and
window titles, the widget tree on the accessibility bus, the statistics store
through kvsql and the SQL the program sent (KVESTV_TRAZA_SQL).

Run under an X server (CTest starts it under xvfb-run):
    ronda_vendedor.py --bin BUILD_DIR
Each check prints "BIEN" or "MAL"; the exit status is 1 when any check failed.
"""

import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from ronda_comun import Ronda, comprobar, ejecutar, entrar, esperar  # noqa: E402


# --- saving and loading again, as the user does it -------------------------------------

ALMACEN = ("KV_ESTADISTICAS", "KV_ESTADISTICAS", "QZ_TABLEROVENTA")


def abrir(r, nombre):
    """A statistic by its name, typed over whatever the field holds, and Enter."""
    r.clic_en(r.campo("Estadistica"))
    r.teclas("ctrl+a")
    r.escribir(nombre)
    r.teclas("Return")


def reabrir(r, nombre):
    """After a save the name field comes back on; the saved statistic is opened by its name again."""
    esperar(lambda: r.estado(r.campo("Estadistica"), r.atspi.STATE_ENABLED), 30)
    time.sleep(1.0)
    abrir(r, nombre)
    esperar(lambda: not r.estado(r.campo("Estadistica"), r.atspi.STATE_ENABLED), 8)


def agrupar_por(r, nivel):
    """Ticks a level in the configuration panel's list and moves the mouse off, so the panel closes."""
    x, y, w, h = r.caja(r.uno("list item", nivel))
    r.clic(x + 8, y + h // 2)
    r.xdo("mousemove", "1160", "600")
    time.sleep(1.2)


def grabado(r, sql, cumple):
    """F2 has been pressed: the store's answer to `sql` once it meets `cumple`."""
    return esperar(lambda: (lambda filas: filas if cumple(filas) else None)(r.kvsql(*ALMACEN, sql)), 30, 0.5)


def cargar(r, campo="Mes Desde", plazo=15):
    """F9 from a field; the load's chart statement, once it is sent."""
    antes = len(r.consultas_grafico())
    if campo:
        r.clic_en(r.campo(campo))
    r.teclas("F9")
    esperar(lambda: len(r.consultas_grafico()) > antes, plazo)
    return (r.consultas_grafico() or [""])[-1]


def grupos_cargados(r, sentencia):
    """The first level of each row the load's statement brings from the store."""
    filas = r.kvsql(*ALMACEN, sentencia) if sentencia else []
    return [f.split("|")[3].strip() for f in filas if len(f.split("|")) > 3]


def tabla_mayor(r):
    """The accessible table with the most rows on screen."""
    mayor, filas = None, -1
    for t in r.buscar("table", ".*"):
        try:
            n = t.queryTable().nRows
        except Exception:
            continue
        if n > filas:
            mayor, filas = t, n
    return mayor


def abrir_resto(r, plegados, vendedores):
    """Double click on the remainder written beside page 0; its window lists `plegados` (the load's rows
    past the TOP, in its order), which are the sellers of the sale lines left out of the TOP."""
    resto = esperar(lambda: r.buscar("label", r".*fuera de escala.*"), 8)
    if not comprobar("pagina 0: el resto de TOP 5 se escribe aparte", bool(resto)):
        return
    titulo = '^Grupos incluidos en ".+"$'
    r.clic_en(resto[0], veces=2)
    if not comprobar("doble clic en el resto abre sus grupos", bool(esperar(lambda: r.ventanas(titulo), 8))):
        return
    time.sleep(1.0)
    lista = tabla_mayor(r)
    codigos = []
    if lista is not None:
        _, filas = r.celdas(lista, lista.queryTable().nRows, 1)
        codigos = [fila[0].split(" – ")[0].strip() for fila in filas]
    comprobar("el resto lista lo que TOP 5 dejo fuera, en el orden de la carga", codigos == plegados,
              "ventana %s, carga %s" % (codigos, plegados))
    comprobar("y son los vendedores de las lineas de venta fuera de los cinco primeros",
              set(codigos) == vendedores, "ventana %s, lineas de venta %s" % (sorted(codigos), sorted(vendedores)))
    r.captura("vendedor-resto")
    r.teclas("Escape")
    comprobar("Esc cierra la ventana del resto", bool(esperar(lambda: not r.ventanas(titulo), 5)))
    for _ in r.ventanas(titulo):
        r.xdo("search", "--name", titulo, "windowclose")
    time.sleep(0.5)


def ronda(r):
    at = r.atspi
    # Sign in: the registered connection is picked; user and password are typed.
    entrar(r)

    # A statistic by its name, Enter.
    nombre = r.campo("Estadistica")
    r.clic_en(nombre)
    r.escribir("Vendedores por Familia")
    r.teclas("Return")
    comprobar("el nombre carga la definicion (el nombre queda apagado)",
              bool(esperar(lambda: not r.estado(r.campo("Estadistica"), at.STATE_ENABLED), 8)))

    # F9: page 0, the top groups with the remainder.
    antes = len(r.consultas_grafico())
    r.clic_en(r.campo("Mes Desde"))
    r.teclas("F9")
    comprobar("F9 carga una vez", esperar(lambda: len(r.consultas_grafico()) == antes + 1, 10) and
              (time.sleep(1.0) or len(r.consultas_grafico()) == antes + 1),
              "consultas del grafico: %d" % (len(r.consultas_grafico()) - antes))
    pestanas = r.buscar("page tab", ".*")
    comprobar("tras F9 se ve la pagina 0 (Grafico de columnas)",
              len(pestanas) == 4 and r.estado(pestanas[0], at.STATE_FOCUSED) and
              not r.estado(pestanas[2], at.STATE_FOCUSED))

    # The chart-type list redraws page 0 as the picked type.
    grafico = r.uno(None, "Gráfico de la carga")
    comprobar("la pagina 0 dibuja barras 2D", grafico.description == "Gráfico de Barras 2D", grafico.description)
    # The list reads as the caption it shows.
    lista = r.uno("combo box", "Gráfico de Barras 2D")
    r.clic_en(lista)
    time.sleep(0.8)
    r.teclas("Down", "Down", "Return")
    comprobar("la lista de graficos cambia la pagina 0 a lineas 2D",
              bool(esperar(lambda: grafico.description == "Gráfico de Líneas 2D", 5)), grafico.description)
    for _ in r.ventanas("^Consulta"):
        r.teclas("Escape")

    # The right button on the name field, which is off: no lookup.
    r.clic_en(r.campo("Estadistica"), boton=3)
    time.sleep(1.0)
    abiertas = r.ventanas("^Consulta")
    comprobar("el boton derecho en un campo apagado no abre consulta", not abiertas)
    for _ in abiertas:
        r.teclas("Escape")

    # Tab moves on from a text field; Ctrl+A selects all the text of a field.
    r.clic_en(r.campo("Mes Desde"))
    r.teclas("ctrl+a")
    r.escribir("012026")
    r.teclas("Tab")
    time.sleep(0.3)
    comprobar("Tab pasa de Mes Desde a Mes Hasta", r.estado(r.campo("Mes Hasta"), at.STATE_FOCUSED),
              "Mes Desde = %r" % r.texto(r.campo("Mes Desde")))
    r.escribir("062026")
    r.clic_en(r.campo("Mes Desde"))
    r.teclas("ctrl+a")
    r.escribir("022026")
    ultima = cargar(r, None, 10)
    comprobar("los meses escritos con Tab y Ctrl+A llegan a la carga",
              "FECHA ='2/2026'" in ultima and "FECHA ='6/2026'" in ultima and "FECHA ='1/2026'" not in ultima and
              "FECHA ='7/2026'" not in ultima, ultima[:300])

    # F5 in a filter field: one lookup, the pick stays.
    r.xdo("mousemove", "10", "450")
    time.sleep(1.0)
    desde = r.campo("Grupo 1 Desde")
    r.clic_en(desde)
    r.teclas("F5")
    comprobar("F5 abre la consulta de vendedores", bool(esperar(lambda: r.ventanas("^Consulta"), 10)))
    time.sleep(0.8)
    r.teclas("Down", "Return")
    time.sleep(2.0)
    comprobar("aceptada la consulta no se abre otra", not r.ventanas("^Consulta"))
    for _ in r.ventanas("^Consulta"):
        r.teclas("Escape")
    elegido = (r.texto(r.campo("Grupo 1 Desde")) or "").strip()
    comprobar("el campo guarda lo elegido", bool(elegido), repr(elegido))
    boton = r.buscar("push button", r" Filtros \(\d+\)")
    comprobar("el boton Filtros cuenta el filtro", bool(boton) and boton[0].name == " Filtros (1)",
              str([b.name for b in r.buscar("push button", ".*Filtros.*")]))
    if boton:
        comprobar("su ayuda lo nombra", elegido in (boton[0].description or ""), boton[0].description or "")
    ultima = cargar(r, "Grupo 1 Desde", 10)
    comprobar("la carga usa lo elegido", ("ltrim(GRUPO1) >='%s'" % elegido) in ultima, ultima[-200:])

    # F4 on page 0 asks to print once; "No".
    r.clic_en(r.campo("Mes Desde"))
    r.teclas("F4")
    comprobar("F4 pregunta si imprime", bool(esperar(lambda: r.ventanas("^Atención$"), 8)))
    r.teclas("Escape")
    time.sleep(1.2)
    comprobar("F4 y No: no pregunta otra vez", not r.ventanas("^Atención$"))
    for _ in r.ventanas("^Atención$"):
        r.teclas("Escape")

    # REPORTE on page 1 exports the grid.
    r.clic_en([p for p in r.buscar("page tab", "Datos")][0])
    time.sleep(0.5)
    r.teclas("F4")
    dialogo = esperar(lambda: r.ventanas("^Buscar Archivos$"), 8)
    comprobar("REPORTE en la pagina 1 pide el archivo", bool(dialogo))
    destino = os.path.join(r.raiz, "salida", "grilla")
    if dialogo:
        time.sleep(0.8)
        r.teclas("ctrl+a")
        r.escribir(destino)
        r.teclas("Return")
    archivo = destino + ".xls"
    comprobar("la grilla queda exportada", bool(esperar(lambda: os.path.exists(archivo), 8)))
    if os.path.exists(archivo):
        with open(archivo, "rb") as f:
            filas = f.read().split(b"\n")
        comprobar("con la cabecera y filas de la carga", filas[0].startswith(b"Empresa\tVendedor\tNombre Vendedor\tFamilia\t") and
                  len(filas) > 3 and (elegido.encode("cp1252") in filas[1]), repr(filas[:2]))
    r.clic_en(r.buscar("page tab", "Gráfico")[0])

    # Esc, "No": asked once. Esc, "Sí": the window resets and the program goes on.
    r.clic_en(r.campo("Mes Desde"))
    r.teclas("Escape")
    comprobar("Esc pregunta si cancela", bool(esperar(lambda: r.ventanas("^Atención!!!$"), 8)))
    r.teclas("Escape")
    time.sleep(1.2)
    comprobar("Esc y No: no pregunta otra vez", not r.ventanas("^Atención!!!$"))
    for _ in r.ventanas("^Atención!!!$"):
        r.teclas("Escape")
    r.clic_en(r.campo("Mes Desde"))
    r.teclas("Escape")
    esperar(lambda: r.ventanas("^Atención!!!$"), 8)
    time.sleep(0.5)
    r.clic_en(r.uno("push button", "Sí"))
    time.sleep(1.5)
    comprobar("Esc y Si: el programa sigue", r.vivo() and bool(r.ventanas("^Gráficos Estadísticos de Ventas$")))
    comprobar("Esc y Si: la ventana vuelve a una definicion vacia",
              r.vivo() and r.estado(r.campo("Estadistica"), at.STATE_ENABLED))
    comprobar("Esc y Si: no pregunta otra vez", not r.ventanas("^Atención!!!$"))

    # F2 on a statistic without a group: refused once.
    abrir(r, "Ronda Vendedores")
    time.sleep(0.8)
    r.clic_en(r.campo("Mes Desde"))
    r.teclas("F2")
    comprobar("F2 sin grupo avisa", bool(esperar(lambda: r.ventanas("^Aviso al Usuario$"), 8)))
    r.teclas("Return")
    time.sleep(1.2)
    comprobar("F2 sin grupo avisa una sola vez", not r.ventanas("^Aviso al Usuario$"))
    for _ in r.ventanas("^Aviso al Usuario$"):
        r.teclas("Return")

    # Save with a group, Valor Venta, Descendente and TOP 5.
    agrupar_por(r, r"Vendedor\s+IdVendedor")
    r.clic_en(r.uno("check box", "Valor Venta"))
    r.clic_en(r.uno("radio button", "Descendente"))
    r.clic_en(r.campo("TOP"))
    r.teclas("ctrl+a")
    r.escribir("5")
    r.teclas("F2")
    grabada = grabado(r, "SELECT Orden + '|' + CONVERT(varchar(10), [TOP]) FROM CAB_ESTV "
                         "WHERE Nombre = 'Ronda Vendedores'", bool)
    comprobar("F2 graba Valor Venta Descendente TOP 5",
              bool(grabada) and grabada[0].strip() == "0x|0x|0x|11|0x|0x|0x|0x|0x|0x|D|5", str(grabada))

    # Load it again: TOP 5 keeps the five biggest sellers, computed from the sale lines.
    reabrir(r, "Ronda Vendedores")
    comprobar("la definicion vuelve con Descendente", r.estado(r.uno("radio button", "Descendente"), at.STATE_CHECKED))
    # The filters and months of before stay in their boxes: the button says so, and they are emptied.
    boton = r.buscar("push button", r" Filtros \(\d+\)")
    comprobar("otra estadistica abierta: el boton Filtros sigue contando el filtro",
              bool(boton) and boton[0].name == " Filtros (1)")
    r.xdo("mousemove", "10", "450")
    time.sleep(1.0)
    for nombre_campo in ("Grupo 1 Desde", "Mes Desde", "Mes Hasta"):
        r.clic_en(r.campo(nombre_campo))
        r.teclas("ctrl+a", "BackSpace")
    comprobar("sin filtros el boton vuelve a decir Filtros",
              bool(esperar(lambda: r.buscar("push button", r"\s*Filtros\s*"), 3)))
    cargados = grupos_cargados(r, cargar(r))
    ventana = cargados[:5]
    vendidos = r.kvsql("NORTE", "NORTE", "NORTE",
                       "SELECT IdVendedor, SUM(Cantidad * PrecioUnitario) * -1 FROM MV_STOCK "
                       "WHERE TipoMovimiento = 'VTA' GROUP BY IdVendedor")
    ventas = sorted(((float(v.split("|")[1]), v.split("|")[0].strip()) for v in vendidos), reverse=True)
    esperados = [codigo for _, codigo in ventas[:5]]
    comprobar("TOP 5 Descendente: los cinco que mas vendieron, del mayor al menor", ventana == esperados,
              "ventana %s, lineas de venta %s" % (ventana, esperados))

    # The remainder of the TOP 5 on page 0: a real double click opens the sellers it folds.
    time.sleep(1.5)
    abrir_resto(r, cargados[5:], {codigo for _, codigo in ventas[5:]})

    # F10 deletes the definition; the program goes on. (The load's progress window
    # took the X focus with it: a click first, as without a window manager.)
    r.clic_en(r.campo("Mes Desde"))
    r.teclas("F10")
    borrada = esperar(lambda: r.kvsql(*ALMACEN, "SELECT COUNT(*) FROM CAB_ESTV WHERE Nombre = 'Ronda Vendedores'") == ["0"], 15)
    comprobar("F10 borra la definicion una vez", bool(borrada) and r.vivo(),
              "ventanas: %s" % subprocess.run(["xdotool", "search", "--onlyvisible", "--name", ".", "getwindowname",
                                               "%@"], env=r.herramientas(), capture_output=True, text=True).stdout)


def ronda_meses(r):
    """A statistic grouped by month: months typed as the date field shapes them reach the load as stored."""
    at = r.atspi
    abrir(r, "Ronda Meses")
    time.sleep(0.8)
    agrupar_por(r, r"Fecha\s+Fecha")
    r.clic_en(r.campo("Mes Desde"))
    r.teclas("F2")
    grabada = grabado(r, "SELECT COUNT(*) FROM CAB_ESTV WHERE Nombre = 'Ronda Meses'", lambda f: f == ["1"])
    comprobar("F2 graba la estadistica por Fecha", bool(grabada))
    reabrir(r, "Ronda Meses")
    meses = r.kvsql("NORTE", "NORTE", "NORTE",
                    "SELECT DISTINCT CONVERT(varchar(2), MONTH(Fecha)) + '/' + CONVERT(varchar(4), YEAR(Fecha)) "
                    "FROM MV_STOCK WHERE TipoMovimiento = 'VTA'")
    meses = sorted({m.strip() for m in meses}, key=lambda m: (int(m.split("/")[1]), int(m.split("/")[0])))
    # A month before October, typed as its two digits: the field shows "03/2026", the load asks for "3/2026".
    uno = next((m for m in meses if int(m.split("/")[0]) < 10), None)
    comprobar("la demostracion tiene ventas en un mes de una cifra", uno is not None, str(meses))
    if uno is None:
        return
    mes, anio = uno.split("/")
    r.xdo("mousemove", "10", "450")
    time.sleep(1.0)
    r.clic_en(r.campo("Grupo 1 Selectivo"))
    r.teclas("ctrl+a", "BackSpace")
    r.escribir("%02d%s" % (int(mes), anio))
    escrito = (r.texto(r.campo("Grupo 1 Selectivo")) or "").strip()
    comprobar("el campo de mes muestra el mes con dos cifras", escrito == "%02d/%s" % (int(mes), anio), repr(escrito))
    ultima = cargar(r, None)
    comprobar("el mes escrito llega como lo guarda la tabla", ("'%s'" % uno) in ultima and ("'0%s'" % uno) not in ultima,
              ultima[-300:])
    grupos = set(grupos_cargados(r, ultima))
    comprobar("y trae las ventas de ese mes", grupos == {uno}, str(grupos))

    # A range across a new year selects by month order, not by text.
    anio = lambda m: int(m.split("/")[1])
    cruces = [i for i in range(len(meses) - 3) if anio(meses[i]) != anio(meses[i + 3])]
    comprobar("la demostracion tiene ventas a ambos lados de un fin de anio", bool(cruces), str(meses))
    if cruces:
        desde, hasta = meses[cruces[0]], meses[cruces[0] + 3]
        r.clic_en(r.campo("Grupo 1 Selectivo"))
        r.teclas("ctrl+a", "BackSpace")
        for campo, valor in (("Grupo 1 Desde", desde), ("Grupo 1 Hasta", hasta)):
            r.clic_en(r.campo(campo))
            r.teclas("ctrl+a", "BackSpace")
            m, a = valor.split("/")
            r.escribir("%02d%s" % (int(m), a))
        grupos = set(grupos_cargados(r, cargar(r)))
        comprobar("Desde y Hasta por Fecha eligen los meses en orden de calendario", grupos == set(meses[cruces[0]:cruces[0] + 4]),
                  "%s de %s a %s" % (sorted(grupos), desde, hasta))


def configurar(r, base, claves):
    """Keys of a database's TA_CONFIGURACION, written as the suite's set-up writes them."""
    usuario, clave = ("NORTE", "NORTE") if base == "NORTE" else ALMACEN[1:]
    for nombre, valor in claves.items():
        r.kvsql(base, usuario, clave, "DELETE FROM TA_CONFIGURACION WHERE Clave = '%s'" % nombre)
        r.kvsql(base, usuario, clave, "INSERT INTO TA_CONFIGURACION (Clave, Valor) VALUES ('%s', '%s')" % (nombre, valor))


def rojos(r, objeto):
    """Pixels of the stock colour (pure red, as configured) inside an accessible, and the dark ones (text)."""
    x, y, w, h = r.caja(objeto)
    ancho, alto, rgb = r.pixeles(x, y, w, h)
    rojo = oscuro = 0
    for i in range(0, len(rgb), 3):
        rr, gg, bb = rgb[i], rgb[i + 1], rgb[i + 2]
        if rr > 180 and gg < 70 and bb < 70:
            rojo += 1
        elif rr < 90 and gg < 90 and bb < 90:
            oscuro += 1
    return rojo, oscuro


def ronda_consultas(r):
    """The lookups read their settings from the ERP however the session began: a new session whose first
    lookup is the statistic name (which points the main connection at the store), then an article lookup
    from a filter field. The ERP and the store disagree on the like-search; both ask for stock colours."""
    r.cerrar_programa()
    stock = {"MostrarStockenConsultas": "SI", "Stk_Nivel1": "255", "Stk_Nivel2": "255", "Stk_Nivel3": "255",
             "Stk_Nivel4": "255"}
    configurar(r, "NORTE", dict(stock, UsaConsultaLike="SI"))
    configurar(r, "KV_ESTADISTICAS", dict(stock, UsaConsultaLike="NO"))
    # A word that some article carries after the start of its description.
    descripciones = [d.strip() for d in r.kvsql("NORTE", "NORTE", "NORTE", "SELECT Descripcion FROM MA_ARTICULOS")]
    palabra = None
    for d in descripciones:
        for p in d.split()[1:]:
            if len(p) >= 4 and p.isascii() and p.isalpha() and not any(x.lower().startswith(p.lower())
                                                                        for x in descripciones):
                palabra = p
                break
        if palabra:
            break
    comprobar("la demostracion tiene una palabra en medio de una descripcion", palabra is not None)
    if not palabra:
        return
    entrar(r)

    # The first lookup of the session: the statistic names, from the store. The name is
    # searched in it and picked with Enter, which opens that statistic.
    r.clic_en(r.campo("Estadistica"))
    antes = len(r.registros())
    r.teclas("F5")
    comprobar("F5 en el nombre abre la consulta de estadisticas", bool(esperar(lambda: r.ventanas("^Consulta"), 10)))
    time.sleep(0.8)
    r.escribir("Ventas por Art")
    r.teclas("Return")
    esperar(lambda: not r.ventanas("^Consulta"), 5)
    comprobar("esa consulta lee el almacen de estadisticas",
              any(b.upper() == "KV_ESTADISTICAS" for b, _ in r.registros()[antes:]), str(r.registros()[antes:][:3]))
    comprobar("lo elegido abre la estadistica de articulos",
              bool(esperar(lambda: not r.estado(r.campo("Estadistica"), r.atspi.STATE_ENABLED), 8)) and
              (r.texto(r.campo("Estadistica")) or "").strip() == "Ventas por Artículo",
              repr(r.texto(r.campo("Estadistica"))))

    # An article lookup from a filter field.
    time.sleep(1.0)
    r.xdo("mousemove", "10", "450")
    time.sleep(1.0)
    r.clic_en(r.campo("Grupo 1 Desde"))
    r.teclas("F5")
    if not comprobar("F5 abre la consulta de articulos", bool(esperar(lambda: r.ventanas("^Consulta"), 10))):
        r.captura("vendedor-sin-consulta-articulos")
        return
    time.sleep(1.5)
    dialogo = r.uno("dialog", "^Consulta.*")
    listas = [o for rol in ("tree table", "table", "tree", "list") for o in r.buscar(rol, ".*", dialogo)]
    if comprobar("la consulta muestra su lista", bool(listas)):
        rojo, oscuro = rojos(r, listas[0])
        # The default article lookup has no stock columns: it tells nothing about the stock.
        comprobar("sin columnas de stock ninguna fila se pinta sin stock", rojo < 20 and oscuro > 200,
                  "puntos rojos %d, oscuros %d" % (rojo, oscuro))
    r.captura("vendedor-consulta-articulos")

    # The like-search of the ERP: a word in the middle of a description finds it.
    antes = len(r.registros())
    r.escribir(palabra)
    r.teclas("F5")
    buscada = esperar(lambda: [(b, q) for b, q in r.registros()[antes:] if ("like '%%%s%%'" % palabra) in q], 8)
    comprobar("la busqueda de la consulta es la del ERP (like con % a ambos lados)", bool(buscada),
              str(r.registros()[antes:][-2:]))
    comprobar("y va a la base del ERP", bool(buscada) and buscada[-1][0].upper() == "NORTE",
              str(buscada[-1:]))
    time.sleep(1.0)
    if listas:
        try:
            filas = listas[0].queryTable().nRows
        except Exception:
            filas = listas[0].childCount
        comprobar("y la lista trae el articulo que la lleva en medio", filas >= 1, "filas %d" % filas)
    r.teclas("Escape")
    comprobar("Esc cierra la consulta", bool(esperar(lambda: not r.ventanas("^Consulta"), 5)))


if __name__ == "__main__":
    sys.exit(ejecutar(Ronda, [ronda, ronda_meses, ronda_consultas], 300))
