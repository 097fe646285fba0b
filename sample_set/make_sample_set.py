#!/usr/bin/env python3
"""Builds the sample installation set: the sixteen staged files that the
bootstrap carries, made from our own placeholder data.

    make_sample_set.py --hzl HZL --second-stage SETUP_EXE --out PAYLOAD_DIR --work WORK_DIR

Every byte is a function of this script and of the second-stage program, so
two runs give identical files. The compressed rows are written by the hzl
tool from uncompressed placeholders kept in WORK_DIR.
"""

import argparse
import os
import subprocess
import sys
import zlib

# Staged file names in writing order (resources Test1..Test16), from the
# bootstrap's own list of rows.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools", "mkbootstrap"))
from mkb.table import load_rows  # noqa: E402

STAGED_NAMES = [row.staged for row in load_rows()]

LISTED_NAMES = STAGED_NAMES[:14]

STYLE_SIGNATURE = b"VCL_STYLE 2.0"


class Lcg:
    """Small fixed generator, so the output does not depend on the Python version."""

    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFF

    def next(self):
        self.state = (self.state * 1664525 + 1013904223) & 0xFFFFFFFF
        return self.state >> 8

    def below(self, n):
        return self.next() % n

    def pick(self, seq):
        return seq[self.below(len(seq))]

    def bytes(self, n):
        return bytes(self.next() & 0xFF for _ in range(n))


WORDS = (
    "Angebot Rechnung Kunde Lieferung Vertrag Wartung Betrieb Gebäude Straße Größe "
    "Prüfung Übersicht Änderung Öffnung Zahlung Mahnung Auftrag Termin Abrechnung "
    "Bestand Zählerstand Heizung Wasser Strom Verwalter Eigentümer Mieter Nebenkosten "
    "Umlage Schlüssel Fläche Wohnung Garage Keller Dach Fenster Tür Aufzug Garten"
).split()


def text_lines(rng, count, min_words, max_words):
    lines = []
    for _ in range(count):
        n = min_words + rng.below(max_words - min_words + 1)
        words = [rng.pick(WORDS) for _ in range(n)]
        words[0] = words[0].capitalize()
        lines.append(" ".join(words) + ".")
    return lines


def crlf_cp1252(lines):
    return ("\r\n".join(lines) + "\r\n").encode("cp1252")


def readme():
    head = [
        "Fennimor - Liesmich",
        "===================",
        "",
        "Vielen Dank, dass Sie sich für Fennimor entschieden haben.",
        "Diese Datei enthält Hinweise zur Installation und zu Änderungen.",
        "",
        "Installation",
        "------------",
        "Schließen Sie vor der Installation alle laufenden Programme.",
        "Das Setup kopiert die Programmdateien und legt Verknüpfungen an.",
        "",
        "Änderungen in dieser Version",
        "----------------------------",
    ]
    rng = Lcg(3)
    body = ["- " + line for line in text_lines(rng, 60, 4, 12)]
    return crlf_cp1252(head + body + ["", "Ihr Fennimor-Team"])


def licence():
    head = [
        "Lizenzvertrag für Fennimor",
        "",
        "§ 1 Gegenstand des Vertrags",
        "Dieser Vertrag regelt die Nutzung der Software Fennimor (Platzhaltertext).",
        "",
        "§ 2 Nutzungsrecht",
        "Der Lizenznehmer erhält ein einfaches, nicht übertragbares Nutzungsrecht.",
        "",
        "§ 3 Gewährleistung und Haftung",
    ]
    rng = Lcg(4)
    body = text_lines(rng, 70, 6, 16)
    return crlf_cp1252(head + body + ["", "Stand: Januar, Fassung 1.0"])


def program_image(seed, size):
    """Placeholder for a Windows program: a small header, then runs of
    repeated and of scattered bytes, as code and data would give."""
    rng = Lcg(seed)
    out = bytearray(b"MZ" + bytes(58) + b"\x80\x00\x00\x00")
    out += b"Platzhalter fuer ein Programm, kein ausfuehrbarer Inhalt.\r\n"
    while len(out) < size:
        kind = rng.below(4)
        if kind == 0:
            out += rng.bytes(16 + rng.below(200))
        elif kind == 1:
            out += bytes([rng.below(256)]) * (8 + rng.below(120))
        elif kind == 2 and len(out) > 64:
            start = rng.below(len(out) - 32)
            out += out[start:start + 3 + rng.below(80)]
        else:
            out += (rng.pick(WORDS) + "\0").encode("cp1252")
    return bytes(out[:size])


def help_pages(seed, size):
    rng = Lcg(seed)
    parts = []
    total = 0
    page = 0
    while total < size:
        page += 1
        lines = [f"<html><head><title>Hilfe Seite {page}</title></head><body>"]
        lines += [f"<p>{line}</p>" for line in text_lines(rng, 12, 5, 14)]
        lines.append("</body></html>")
        chunk = crlf_cp1252(lines)
        parts.append(chunk)
        total += len(chunk)
    return b"".join(parts)[:size]


def thesaurus(seed, size):
    rng = Lcg(seed)
    lines = ["# Synonyme, eine Gruppe je Zeile (Platzhalter)"]
    total = 0
    while total < size:
        group = ";".join(rng.pick(WORDS) for _ in range(2 + rng.below(6)))
        lines.append(group)
        total += len(group) + 1
    return ("\n".join(lines) + "\n").encode("cp1252")[:size]


def data_lines(seed, size):
    rng = Lcg(seed)
    lines = []
    total = 0
    number = 0
    while total < size:
        number += 1
        line = f"{number:06d}|{rng.pick(WORDS)}|{rng.below(100000) / 100:.2f}|{rng.pick(WORDS)}"
        lines.append(line)
        total += len(line) + 2
    return crlf_cp1252(lines)[:size]


def style_file(seed, entries):
    rng = Lcg(seed)
    lines = []
    for i in range(entries):
        lines.append(f"Element{i}.Farbe={rng.below(0x1000000):06X};Rand={rng.below(8)}")
        lines.append(f"Element{i}.Bild=" + rng.bytes(24).hex())
    return STYLE_SIGNATURE + zlib.compress("\n".join(lines).encode("ascii"), 9)


def sample_data():
    rng = Lcg(14)
    lines = ["FENNIMOR-BEISPIEL;1", "Tabelle;Objekte"]
    for i in range(1, 121):
        lines.append(f"{i};{rng.pick(WORDS)};{rng.pick(WORDS)} {rng.below(200)};"
                     f"{rng.below(99999):05d}")
    return crlf_cp1252(lines)


def installer_list():
    lines = [
        "[General]",
        "Product=Fennimor",
        "Title=Setup_Fennimor",
        "Version=1.0",
        "",
        "[Files]",
        f"Count={len(LISTED_NAMES)}",
    ]
    lines += [f"File{i}={name}" for i, name in enumerate(LISTED_NAMES, start=1)]
    return crlf_cp1252(lines)


def write(path, data):
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, path)


def compress(hzl, source, target):
    subprocess.run([hzl, "-9", "-f", source, "-o", target], check=True)
    with open(target, "rb") as f:
        head = f.read(8)
    if head[:4] != b"!HZL":
        sys.exit(f"{hzl} did not write a !HZL file: {target}")


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--hzl", required=True, help="the hzl compressor")
    ap.add_argument("--second-stage", required=True, help="the second-stage program to carry")
    ap.add_argument("--out", required=True, help="folder for the sixteen staged files")
    ap.add_argument("--work", required=True, help="folder for the uncompressed placeholders")
    args = ap.parse_args()

    os.makedirs(args.out, exist_ok=True)
    os.makedirs(args.work, exist_ok=True)

    with open(args.second_stage, "rb") as f:
        second_stage = f.read()

    # Uncompressed content of the rows that are carried as "!HZL" files.
    compressed_rows = {
        "Fennimor.ex_": program_image(1, 240 * 1024),
        "Fennimor.ch_": help_pages(2, 60 * 1024),
        "eztw32.DL_": program_image(5, 48 * 1024),
        "openthesaurus.tx_": thesaurus(6, 120 * 1024),
        "KV-Standard.w_": data_lines(7, 160 * 1024),
        "Setup.ex_": second_stage,
    }
    plain_rows = {
        "Liesmich.txt": readme(),
        "Vertrag.txt": licence(),
        "Ubuntu2.vsf": style_file(8, 120),
        "GainsboroSkyLight2.vsf": style_file(9, 150),
        "WedgewoodLight2.vsf": style_file(10, 180),
        "SlateClassico.vsf": style_file(11, 210),
        "SapphireKamri.vsf": style_file(12, 240),
        "AmethystKamri.vsf": style_file(13, 270),
        "Beispiel.dbfnm": sample_data(),
        "Setup.lst": installer_list(),
    }
    assert set(compressed_rows) | set(plain_rows) == set(STAGED_NAMES)

    for name, data in plain_rows.items():
        write(os.path.join(args.out, name), data)
    for name, data in compressed_rows.items():
        raw = os.path.join(args.work, name + ".raw")
        write(raw, data)
        compress(args.hzl, raw, os.path.join(args.out, name))


if __name__ == "__main__":
    main()
