#!/usr/bin/env python3
"""Writes broken pictures for the show to reject: every one of the eight formats cut
short, emptied, with the wrong signature, declaring absurd sizes, with corrupt tables,
and metafiles with bogus or endless records.

Usage: make-broken-pictures.py SAMPLE_FOLDER OUTPUT_FOLDER
SAMPLE_FOLDER holds one valid picture of each format (the program folder's "esempi").
"""
import os
import struct
import sys

SAMPLES = {
    "jpg": "01-tramonto.jpg", "bmp": "02-faro.bmp", "gif": "03-girasole.gif",
    "ico": "04-stella.ico", "wmf": "05-mappa.wmf", "emf": "06-onde.emf",
    "dib": "07-barca.dib", "cur": "08-freccia.cur",
}


def patched(data, offset, fmt, *values):
    out = bytearray(data)
    struct.pack_into(fmt, out, offset, *values)
    return bytes(out)


def jpeg_marker(data, marker):
    """Offset of the first segment with this marker byte (0xC0 SOF0, 0xC4 DHT...)."""
    i = 2
    while i + 4 <= len(data):
        if data[i] != 0xFF:
            return None
        if data[i + 1] == marker:
            return i
        i += 2 + struct.unpack_from(">H", data, i + 2)[0]
    return None


def wmf_records(data):
    """Offsets of the records of a placeable WMF (after its 22 + 18 header bytes)."""
    offsets, i = [], 40
    while i + 6 <= len(data):
        size = struct.unpack_from("<I", data, i)[0]
        offsets.append(i)
        if size < 3:
            break
        i += size * 2
    return offsets


def emf_records(data):
    offsets, i = [], 0
    while i + 8 <= len(data):
        size = struct.unpack_from("<I", data, i + 4)[0]
        offsets.append(i)
        if size < 8:
            break
        i += size
    return offsets


def broken(samples):
    out = {}
    # Every format: empty, a few bytes, cut in half, cut just before the end, wrong signature.
    for ext, data in samples.items():
        out[f"vuoto.{ext}"] = b""
        out[f"dieci-byte.{ext}"] = data[:10]
        out[f"meta.{ext}"] = data[: len(data) // 2]
        out[f"quasi-intero.{ext}"] = data[: len(data) - max(1, len(data) // 50)]
        out[f"firma-sbagliata.{ext}"] = b"XXXX" + data[4:]
    # Not a picture at all, under every name.
    for ext in samples:
        out[f"testo.{ext}"] = b"Questo non e' un'immagine.\r\n" * 20

    jpg, bmp, gif = samples["jpg"], samples["bmp"], samples["gif"]
    sof = jpeg_marker(jpg, 0xC0)
    dht = jpeg_marker(jpg, 0xC4)
    dqt = jpeg_marker(jpg, 0xDB)
    # Absurd sizes.
    out["enorme.jpg"] = patched(jpg, sof + 5, ">HH", 65500, 65500)
    out["enorme.bmp"] = patched(bmp, 18, "<ii", 60000, 60000)
    out["enorme.dib"] = patched(samples["dib"], 18, "<ii", 60000, -60000)
    out["enorme.gif"] = patched(patched(gif, 6, "<HH", 60000, 60000), 0x30D + 5, "<HH", 60000, 60000)
    out["enorme.wmf"] = patched(samples["wmf"], 6, "<hhhhH", -32768, -32768, 32767, 32767, 1)
    out["enorme.emf"] = patched(samples["emf"], 24, "<iiii", 0, 0, 2_000_000_000, 2_000_000_000)
    out["zero.jpg"] = patched(jpg, sof + 5, ">HH", 0, 0)
    out["zero.bmp"] = patched(bmp, 18, "<ii", 0, 0)
    # Corrupt tables.
    out["tabella-huffman.jpg"] = jpg[: dht + 4] + b"\xff" * 40 + jpg[dht + 44:]
    out["tabella-quantizzazione.jpg"] = patched(jpg, dqt + 4, "B", 0x3F)  # table id 15, precision 3
    out["senza-immagine.jpg"] = jpg[: jpeg_marker(jpg, 0xDA) or len(jpg) // 2] + b"\xff\xd9"
    out["bit-per-pixel.bmp"] = patched(bmp, 28, "<H", 7)
    out["compressione.bmp"] = patched(bmp, 30, "<I", 99)
    out["dati-oltre.bmp"] = patched(bmp, 10, "<I", 0x7FFFFFF0)
    out["tavolozza.bmp"] = patched(patched(bmp, 28, "<H", 8), 46, "<I", 0x7FFFFFFF)
    out["codice-lzw.gif"] = patched(gif, 0x30D + 10, "B", 0x0F)  # minimum code size 15
    out["nessun-fotogramma.gif"] = gif[:0x30D] + b";"
    out["voce-oltre.ico"] = patched(samples["ico"], 6 + 12, "<I", 0x7FFFFFF0)
    out["nessuna-voce.ico"] = patched(samples["ico"], 4, "<H", 0)
    out["dimensione-voce.cur"] = patched(samples["cur"], 6 + 8, "<I", 0x7FFFFFF0)
    out["intestazione.cur"] = patched(samples["cur"], 6 + 12, "<I", 4)
    # Metafiles with bogus or endless records.
    wmf, emf = samples["wmf"], samples["emf"]
    rec = wmf_records(wmf)
    out["record-nullo.wmf"] = patched(wmf, rec[2], "<I", 0)           # a record that never ends
    out["record-enorme.wmf"] = patched(wmf, rec[2], "<I", 0x7FFFFFFF)
    out["record-infinito.wmf"] = wmf[: rec[-1]] + patched(wmf[rec[2]:rec[3]], 0, "<I", 0) * 1000
    out["senza-fine.wmf"] = wmf[: rec[-1]]
    out["intestazione.wmf"] = patched(wmf, 22 + 2, "<H", 200)         # header of 200 words
    out["poligono.wmf"] = wmf[:40] + struct.pack("<IHH", 5, 0x0324, 30000) + wmf[40:]
    erec = emf_records(emf)
    out["record-nullo.emf"] = patched(emf, erec[1] + 4, "<I", 0)
    out["record-enorme.emf"] = patched(emf, erec[1] + 4, "<I", 0x7FFFFFF0)
    out["record-dispari.emf"] = patched(emf, erec[1] + 4, "<I", 13)
    out["senza-fine.emf"] = emf[: erec[-1]]
    out["byte-dichiarati.emf"] = patched(emf, 48, "<I", 0x7FFFFFFF)
    out["poligono.emf"] = emf[: erec[-1]] + struct.pack("<IIiiiiI", 86, 28, 0, 0, 10, 10, 0x7FFFFFFF) + emf[erec[-1]:]
    return out


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    source, target = sys.argv[1], sys.argv[2]
    samples = {}
    for ext, name in SAMPLES.items():
        with open(os.path.join(source, name), "rb") as f:
            samples[ext] = f.read()
    os.makedirs(target, exist_ok=True)
    files = broken(samples)
    for name, data in sorted(files.items()):
        with open(os.path.join(target, name), "wb") as f:
            f.write(data)
    print(f"{len(files)} broken pictures in {target}")


if __name__ == "__main__":
    main()
