#!/usr/bin/python3
"""What a sales manager reads, tried with real X keys and mouse (xdotool) on the
real kv_estv and a fresh demo, with the users' locale (LANG=es_AR.UTF-8): page 0
with names beside codes and the remainder written apart, the grid on page 1
with its Spanish marks, the remainder's window, REPORTE printed to a PDF file
through Qt's own print dialog, PLANILLA written as an .xlsx. It reads what the
user sees (window titles, the widget tree on the accessibility bus, the files
written) and takes a screenshot at each step.

Run under an X server (CTest starts it under xvfb-run):
    ronda_lectura.py --bin BUILD_DIR [--capturas FOLDER]
Each check prints "BIEN" or "MAL"; the exit status is 1 when any check failed.
"""

import os
import re
import subprocess
import sys
import time
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from ronda_comun import Ronda, comprobar, ejecutar, entrar, esperar  # noqa: E402

# A number in Spanish marks with thousands grouping: "1.475.475.152,52".
NUMERO_ESPANOL = re.compile(r"\d{1,3}(?:\.\d{3})+,\d{2}")


class RondaLectura(Ronda):
    def __init__(self, binarios, capturas):
        super().__init__(binarios, capturas)
        self.env["LANG"] = "es_AR.UTF-8"


def ronda(r):
    if not entrar(r):
        return
    nombre = r.campo("Estadistica")
    r.clic_en(nombre)
    r.escribir("Ventas por Artículo")
    r.teclas("Return")
    comprobar("el nombre carga la definicion",
              bool(esperar(lambda: not r.estado(r.campo("Estadistica"), r.atspi.STATE_ENABLED), 8)))
    antes = len(r.consultas_grafico())
    r.clic_en(r.campo("Mes Desde"))
    r.teclas("F9")
    comprobar("F9 carga", bool(esperar(lambda: len(r.consultas_grafico()) > antes, 15)))
    time.sleep(2.0)

    # Page 0: the remainder dwarfs the top ten and is written apart, with its values in Spanish marks.
    resto = esperar(lambda: r.buscar("label", r".*fuera de escala.*"), 8)
    comprobar("pagina 0: el resto se escribe aparte", bool(resto))
    if resto:
        texto = resto[0].name or ""
        comprobar("el resto lleva sus valores con marcas castellanas",
                  texto.startswith("Otros") and len(NUMERO_ESPANOL.findall(texto)) >= 2, texto)
    r.captura("lectura-pagina0")

    # The remainder's window, with a real double click on the strip.
    if resto:
        r.clic_en(resto[0], veces=2)
        ventana = esperar(lambda: r.ventanas('^Grupos incluidos en "Otros"$'), 8)
        comprobar("doble clic en el resto abre sus grupos", bool(ventana))
        if ventana:
            time.sleep(1.0)
            tablas = [t for t in r.buscar("table", ".*")]
            lista = None
            for t in tablas:
                try:
                    if t.queryTable().nRows > 10:
                        lista = t
                except Exception:
                    pass
            if comprobar("la ventana del resto lista sus grupos", lista is not None):
                cabecera, filas = r.celdas(lista, 3, 6)
                nombres = [c for c in filas[0] if re.search(r" – \S", c)] if filas else []
                comprobar("cada grupo del resto con su codigo y su nombre", bool(nombres), repr(filas[:1]))
                numeros = [c for fila in filas for c in fila if re.fullmatch(r"-?[\d.]+,\d\d( %)?", c)]
                comprobar("los valores del resto con marcas castellanas", bool(numeros), repr(filas[:2]))
            r.captura("lectura-resto")
            # The window took the keyboard as it opened: a real Esc closes it.
            r.teclas("Escape")
            comprobar("Esc cierra la ventana del resto",
                      bool(esperar(lambda: not r.ventanas('^Grupos incluidos en "Otros"$'), 5)))
            for _ in r.ventanas('^Grupos incluidos en "Otros"$'):
                r.xdo("search", "--name", '^Grupos incluidos en "Otros"$', "windowclose")
        time.sleep(0.5)

    # Page 1: the grid with a name column right of the code, and Spanish marks.
    r.clic_en(r.buscar("page tab", "Datos")[0])
    time.sleep(1.0)
    tablas = r.buscar("table", ".*")
    grilla = None
    for t in tablas:
        try:
            if t.queryTable().nColumns >= 4 and t.queryTable().nRows >= 10:
                grilla = t
        except Exception:
            pass
    if comprobar("pagina 1: se ve la grilla", grilla is not None):
        cabecera, filas = r.celdas(grilla, 4, 6)
        comprobar("la grilla tiene la columna del nombre junto al codigo",
                  cabecera[:3] == ["Empresa", "Artículo", "Nombre Artículo"], repr(cabecera))
        comprobar("los numeros de la grilla con marcas castellanas",
                  bool(filas) and any(re.fullmatch(r"-?\d{1,3}(\.\d{3})*,\d\d", c) for c in filas[0]), repr(filas[:1]))
        comprobar("cada articulo con su nombre", bool(filas) and filas[0][2].strip() != "", repr(filas[:1]))
        # Every column at least 1500 twips (100 pixels at the screen's 96 dpi, the cell
        # itself one less: the grid line takes the last), and the
        # column of names wider still, where its texts need it: none cut on screen.
        anchos = []
        try:
            t = grilla.queryTable()
            anchos = [t.getAccessibleAt(0, c).queryComponent().getExtents(0).width for c in range(min(6, t.nColumns))]
        except Exception as e:
            anchos = [repr(e)]
        comprobar("las columnas de la grilla miden 1500 twips o mas",
                  len(anchos) == 6 and all(isinstance(a, int) and a >= 99 for a in anchos), repr(anchos))
        comprobar("la columna de nombres se ensancha hasta sus textos",
                  len(anchos) == 6 and isinstance(anchos[2], int) and anchos[2] > 100, repr(anchos))
    r.captura("lectura-pagina1")

    # PLANILLA on page 1: the grid as an .xlsx.
    planilla = os.path.join(r.raiz, "salida", "ventas")
    boton = r.buscar("push button", r"\s*Planilla\s*")
    if comprobar("se ve el boton Planilla", bool(boton)):
        r.clic_en(boton[0])
        dialogo = esperar(lambda: r.ventanas("^Guardar planilla$"), 8)
        if comprobar("Planilla pide el archivo", bool(dialogo)):
            time.sleep(0.8)
            r.teclas("ctrl+a")
            r.escribir(planilla)
            r.teclas("Return")
        archivo = planilla + ".xlsx"
        if comprobar("la planilla queda escrita", bool(esperar(lambda: os.path.exists(archivo), 10))):
            time.sleep(0.5)
            with zipfile.ZipFile(archivo) as z:
                cadenas = z.read("xl/sharedStrings.xml").decode("utf-8")
                hoja = z.read("xl/worksheets/sheet1.xml").decode("utf-8")
            comprobar("la planilla trae los titulos con acentos", "<t>Nombre Artículo</t>" in cadenas, cadenas[:300])
            comprobar("la planilla guarda los importes como numeros",
                      re.search(r'<c r="[D-Z]2" s="\d+"><v>-?\d+(\.\d+)?</v></c>', hoja) is not None, hoja[:600])

    # REPORTE on page 0: the question, Qt's print dialog in Spanish, printed to a PDF file.
    r.clic_en(r.buscar("page tab", "Gráfico")[0])
    time.sleep(0.8)
    r.clic_en(r.campo("Mes Desde"))
    r.teclas("F4")
    pregunta = esperar(lambda: r.ventanas("^Atención$"), 8)
    if comprobar("REPORTE pregunta si imprime", bool(pregunta)):
        time.sleep(0.5)
        r.clic_en(r.uno("push button", "Sí"))
    dialogo = esperar(lambda: r.ventanas("^Imprimir gráfico$"), 10)
    pdf = os.path.join(r.raiz, "salida", "grafico.pdf")
    if comprobar("se abre el dialogo de impresion", bool(dialogo)):
        time.sleep(1.5)
        botones = [b.name for b in r.buscar("push button", ".*")]
        comprobar("el dialogo de impresion en castellano",
                  any(re.sub("&", "", b) == "Imprimir" for b in botones) and
                  any(re.sub("&", "", b) == "Cancelar" for b in botones), repr(botones))
        r.captura("lectura-imprimir")
        # With no printer installed the dialog offers the PDF file; its name is typed in.
        campos = [c for c in r.buscar("text", ".*") if r.estado(c, r.atspi.STATE_EDITABLE)]
        archivo_pdf = [c for c in campos if (r.texto(c) or "").endswith(".pdf")]
        if comprobar("el dialogo ofrece imprimir a un archivo PDF", bool(archivo_pdf), repr([r.texto(c) for c in campos])):
            r.clic_en(archivo_pdf[0])
            r.teclas("ctrl+a")
            r.escribir(pdf)
        imprimir = [b for b in r.buscar("push button", ".*") if re.sub("&", "", b.name or "") == "Imprimir"]
        if imprimir:
            r.clic_en(imprimir[0])
    if comprobar("el grafico queda impreso en el PDF", bool(esperar(lambda: os.path.exists(pdf) and
                                                                      os.path.getsize(pdf) > 1000, 20))):
        time.sleep(1.0)
        texto = subprocess.run(["pdftotext", "-layout", pdf, "-"], capture_output=True, text=True).stdout
        paginas = [p for p in texto.split("\f") if p.strip()]
        comprobar("lo impreso lleva el encabezado y la pagina n de m",
                  bool(paginas) and "Ventas por Artículo" in paginas[0] and
                  ("página 1 de %d" % len(paginas)) in paginas[0], texto[:400])
        comprobar("lo impreso nombra los articulos junto a sus codigos",
                  re.search(r"\d{6}-\d{3} – \S", texto) is not None, texto[:400])
        comprobar("ningun texto impreso cortado con puntos suspensivos", "..." not in texto and "…" not in texto)
        if r.capturas:
            subprocess.run(["pdftoppm", "-png", "-r", "60", "-f", "1", "-l", "1", pdf,
                            os.path.join(r.capturas, "lectura-impreso")], capture_output=True)
    r.captura("lectura-final")
    comprobar("el programa sigue", r.vivo())


if __name__ == "__main__":
    sys.exit(ejecutar(RondaLectura, [ronda], 200))
