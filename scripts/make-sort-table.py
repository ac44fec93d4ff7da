#!/usr/bin/env python3
"""Writes jet/sort_order_table.inc, the character data of Access's General text order.

Run by hand from the checkout when the rules below change:
    python3 scripts/make-sort-table.py > jet/sort_order_table.inc
It reads Python's unicodedata (the Unicode version is written into the output) and nothing else.

The tables, each sorted by code point:
  kLetterRanges     code points of the letters (general category L*): they sort after every
                    digit, punctuation mark and symbol.
  kMarkRanges       combining marks (Mn, Me): they sort with the character before them and only
                    tell apart texts that are otherwise equal.
  kDecompositions   a character that is another one plus combining marks (the canonical
                    decomposition, so e-acute is e + U+0301), or marks alone for a mark that is
                    other marks (base 0). Letters with a stroke or slash have no decomposition
                    but sort as their letter too: they get the overlay mark as their mark
                    (o-slash is o + U+0338, l-stroke l + U+0337, d-stroke d + U+0335).
                    Cyrillic letters with a breve (short i, short u) stay letters of their own,
                    as the languages that write them count them.
  kExpansions       ligatures that sort as two or three letters (ae, oe, sharp s as ss, ij, the
                    f-ligatures, the dz/lj/nj digraphs); they differ from the letters written
                    apart only when the texts are otherwise equal.
"""
import sys
import unicodedata as ud

BMP = 0x10000

# Letters without a decomposition that sort as a base letter with an overlay mark.
SHORT_STROKE, SHORT_SOLIDUS, LONG_SOLIDUS = 0x0335, 0x0337, 0x0338
STROKES = {
    "ø": ("o", LONG_SOLIDUS), "Ø": ("O", LONG_SOLIDUS),
    "ł": ("l", SHORT_SOLIDUS), "Ł": ("L", SHORT_SOLIDUS),
    "đ": ("d", SHORT_STROKE), "Đ": ("D", SHORT_STROKE),
    "ħ": ("h", SHORT_STROKE), "Ħ": ("H", SHORT_STROKE),
    "ŧ": ("t", SHORT_STROKE), "Ŧ": ("T", SHORT_STROKE),
    "ƀ": ("b", SHORT_STROKE), "Ƀ": ("B", SHORT_STROKE),
    "ǥ": ("g", SHORT_STROKE), "Ǥ": ("G", SHORT_STROKE),
    "ƶ": ("z", SHORT_STROKE), "Ƶ": ("Z", SHORT_STROKE),
    "ɨ": ("i", SHORT_STROKE), "Ɨ": ("I", SHORT_STROKE),
}
# Ligatures and digraphs: the letters they sort as.
EXPANSIONS = {
    "æ": "ae", "Æ": "AE", "œ": "oe", "Œ": "OE", "ß": "ss", "ẞ": "SS", "ĳ": "ij", "Ĳ": "IJ",
    "ﬀ": "ff", "ﬁ": "fi", "ﬂ": "fl", "ﬃ": "ffi", "ﬄ": "ffl", "ﬅ": "st", "ﬆ": "st",
    "Ǆ": "DŽ", "ǅ": "Dž", "ǆ": "dž", "Ǉ": "LJ", "ǈ": "Lj", "ǉ": "lj", "Ǌ": "NJ", "ǋ": "Nj",
    "ǌ": "nj", "Ǳ": "DZ", "ǲ": "Dz", "ǳ": "dz",
}
CYRILLIC_BREVE = 0x0306


def is_mark(ch):
    return ud.category(ch) in ("Mn", "Me")


def ranges(predicate):
    out = []
    for cp in range(0x110000):
        if predicate(chr(cp)):
            if out and out[-1][1] == cp - 1:
                out[-1][1] = cp
            else:
                out.append([cp, cp])
    return out


def decompositions():
    """code -> (base code point or 0, [mark code points])"""
    table = {}
    for cp in range(BMP):
        ch = chr(cp)
        if ch in EXPANSIONS:
            continue
        if ch in STROKES:
            base, mark = STROKES[ch]
            table[cp] = (ord(base), [mark])
            continue
        nfd = ud.normalize("NFD", ch)
        if nfd == ch or not all(is_mark(m) for m in nfd[1:]):
            continue
        if is_mark(nfd[0]):
            table[cp] = (0, [ord(m) for m in nfd])
            continue
        base, marks = nfd[0], [ord(m) for m in nfd[1:]]
        if ud.name(base, "").startswith("CYRILLIC") and CYRILLIC_BREVE in marks:
            continue
        if base in STROKES:  # o-slash with acute: o + slash + acute
            stroke_base, stroke = STROKES[base]
            base, marks = stroke_base, [stroke] + marks
        if base in EXPANSIONS:  # ae with macron or acute: left to the expansions below
            continue
        table[cp] = (ord(base), marks)
    for code, (base, marks) in table.items():
        assert len(marks) <= 3 and all(m < BMP for m in marks), hex(code)
    return table


def expansions():
    """code -> ([letters], mark on the last letter or 0)"""
    table = {}
    for ch, letters in EXPANSIONS.items():
        pieces = ud.normalize("NFD", letters)
        bases = [c for c in pieces if not is_mark(c)]
        marks = [ord(c) for c in pieces if is_mark(c)]
        assert len(bases) <= 3 and len(marks) <= 1 and (not marks or is_mark(pieces[-1])), ch
        table[ord(ch)] = ([ord(c) for c in bases], marks[0] if marks else 0)
    # Ligatures with marks on them (ae with macron, ae with acute): the ligature's letters,
    # the mark on the last.
    for cp in range(BMP):
        nfd = ud.normalize("NFD", chr(cp))
        if len(nfd) == 2 and nfd[0] in EXPANSIONS and is_mark(nfd[1]) and cp not in table:
            letters, mark = table[ord(nfd[0])]
            assert mark == 0
            table[cp] = (letters, ord(nfd[1]))
    return table


def main():
    out = sys.stdout
    out.write("// Generated by scripts/make-sort-table.py from Python's unicodedata (Unicode %s);\n"
              % ud.unidata_version)
    out.write("// do not edit: change the script and run it again. The rules are in the script.\n\n")
    for name, rows in (("kLetterRanges", ranges(lambda c: ud.category(c).startswith("L"))),
                       ("kMarkRanges", ranges(is_mark))):
        out.write("constexpr CodeRange %s[] = {\n" % name)
        for first, last in rows:
            out.write("    {0x%04X, 0x%04X},\n" % (first, last))
        out.write("};\n\n")
    out.write("constexpr Decomposition kDecompositions[] = {\n")
    for code, (base, marks) in sorted(decompositions().items()):
        padded = marks + [0] * (3 - len(marks))
        out.write("    {0x%04X, 0x%04X, {%s}},\n" % (code, base, ", ".join("0x%04X" % m for m in padded)))
    out.write("};\n\n")
    out.write("constexpr Expansion kExpansions[] = {\n")
    for code, (letters, mark) in sorted(expansions().items()):
        padded = letters + [0] * (3 - len(letters))
        out.write("    {0x%04X, {%s}, %d, 0x%04X},\n"
                  % (code, ", ".join("0x%04X" % c for c in padded), len(letters), mark))
    out.write("};\n")


if __name__ == "__main__":
    main()
