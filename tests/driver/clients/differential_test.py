"""Random Access SQL statements through pyodbc, each compared with what a reference evaluator
written here predicts from the rules README.md states ("The SQL it accepts"): the ODBC type of
every result column, every row, and the errors (22012 division by zero, 22003 overflow, 22008
a date out of range, 22018 type mismatch).

The statements come from a seeded generator over one writer-made table holding every kind of
value the rules talk about. Where the rules leave an answer open (which spelling of a group of
case-equal texts a GROUP BY shows, whether an IIf branch that is not taken is evaluated, how a
double with more decimals than Currency keeps meets a Currency, ...), the reference says so and
the statement is replaced by another one: the comparison itself is never loosened.

Usage: differential_test.py MKMDB DRIVER_SO  (Debian's /usr/bin/python3, which has pyodbc)
Environment: DIFFERENTIAL_SEED and DIFFERENTIAL_COUNT change the seed and the number of
statements (the suite runs the defaults).
"""
import datetime
import decimal
import functools
import math
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import unicodedata
import unittest
from decimal import Decimal
from fractions import Fraction

try:
    import pyodbc
except ImportError:  # the project's tests skip, saying why, with exit status 77
    print("skipped: pyodbc is not installed (Debian package python3-pyodbc)")
    sys.exit(77)

MKMDB, DRIVER = sys.argv[1], sys.argv[2]
DRIVER_NAME = "MICROSOFT ACCESS DRIVER (*.mdb)"
SEED = int(os.environ.get("DIFFERENTIAL_SEED", "20240611"))
COUNT = int(os.environ.get("DIFFERENTIAL_COUNT", "500"))

# ---------------------------------------------------------------------------------------------
# The table. Every column but id and b holds NULLs; numbers hold negatives, zeros, ties, halves
# (for rounding half to even) and the ends of their ranges; text holds case and accent variants.

COLUMNS = [("id", "long"), ("s", "text(30)"), ("m", "memo"), ("code", "text(10)"), ("n", "long"),
           ("x", "double"), ("sg", "single"), ("i", "integer"), ("bt", "byte"), ("cur", "currency"),
           ("cx", "currency"), ("dec", "decimal(18,6)"), ("dz", "decimal(12,2)"), ("dt", "datetime"),
           ("b", "yesno")]
N = None
ROWS = [
    # id s          m               code    n            x            sg         i       bt   cur            cx                         dec                    dz               dt                         b
    (1, N,          N,              N,      N,           N,           N,         N,      N,   N,             N,                         N,                     N,               N,                         0),
    (2, "Airbus",   "memo a",       "12",   1,           "2.5",       "1.1",     1,      7,   "1000000",     "922337203685477.5807",    "102030405060.654321", "1234567890.12", "2000-01-01 17:51:48.701", 1),
    (3, "boeing",   "bravo",        "-3",   20,          "-2",        "-0.5",    20000,  255, "12.34",       "-922337203685477.5808",   "0.5",                 "0.5",           "1850-06-15",              0),
    (4, "Élodie",   "x",            "2.5",  2147483647,  "0",         "0",       -32768, 0,   "0.0001",      "922337203685477",         "-1.5",                "-1.5",          "1899-12-29 06:00:00",     1),
    (5, "Zoë",      "ÆRØ",          "abc",  -5,          "7",         "3",       7,      128, "64930.35",    "-922337203685476.9999",   "0",                   "0",             "2001-01-01",              1),
    (6, "Elodie",   "%percent",     "",     4,           "0.1",       "2.5",     4,      4,   "-0.0001",     "100000000000000.5",       "2.25",                "2.25",          "2000-01-02",              0),
    (7, "AIRBUS",   "under_score",  " 7",   4,           "100",       "1",       4,      200, "0",           "0",                       "1",                   "1",             "2000-01-01",              0),
    (8, "élodie",   "a_b c",        "1e3",  0,           "0.5",       "-2.5",    32767,  1,   "2.5",         "-2.5",                    "999999999999.999999", "9999999999.99", "0100-01-01",              1),
    (9, "zoe",      "50%",          "3.5",  -1,          "1.5",       "1.5",     0,      N,   "-1.5",        "1.5",                     "-0.000001",           "-0.01",         "9999-12-31 23:59:59.999", 0),
    (10, "Ça",      "Mixed Case",   "0",    N,           "-2.5",      N,         -4,     2,   "0.5",         "0.5",                     "2.5",                 "2.5",           "1899-12-30",              1),
    (11, "ca",      "",             "-0",   3,           "12345.678", "16777216", 100,   3,   "1.5",         "1",                       "3.5",                 "3.5",           "1899-12-31 12:00:00",     0),
    (12, "",        "zeta",         N,      13,          "1e10",      "0.125",   N,      100, "-64930.35",   "-1",                      N,                     N,               "1700-07-04 13:14:15.016", 1),
    (13, "Piper",   "Piper",        "7",    -2147483648, "-0.1",      "-3",      -1,     5,   N,             "12.3456",                 "-102030405060.654321", "-0.5",         "2024-02-29 08:30:00.500", 0),
    (14, "piper",   "PIPER cub",    "-2.5", 100,         "3.75",      "1e-3",    3,      9,   "99.9999",     N,                         "0.000001",            "0.01",          N,                         1),
    (15, "Cessna",  "ananas",       "4",    20,          "0.125",     "100",     -100,   10,  "3",           "-0.0001",                 "12.125",              "12.13",         "2000-01-01",              1),
    (16, "Dassault", "d'Artagnan",  "13",   7,           "-7",        "-1.1",    12,     12,  "-3",          "2",                       "-2.5",                "-2.5",          "1900-02-28 23:59:59",     0),
    (17, "antonov", "an_tonov",     "-1",   -5,          "2.675",     "7",       -7,     255, "0.0002",      "0.0002",                  "7",                   "7",             "1899-12-30 18:00:00",     1),
    (18, "Boeing",  N,              "100",  13,          N,           "0.5",     5,      6,   "7.5",         "3",                       "-7.25",               "-7.25",         "1950-05-05 05:05:05",     0),
]

WHOLE = ("Byte", "Integer", "Long")
NUMERIC = ("Bool",) + WHOLE + ("Single", "Double", "Currency", "Decimal")
TEXTUAL = ("Text", "Memo")
RANK = {"Byte": 1, "Bool": 2, "Integer": 2, "Long": 3, "Single": 5, "Double": 6, "Currency": 7, "Decimal": 8}
BY_RANK = {1: "Byte", 2: "Integer", 3: "Long", 5: "Single", 6: "Double", 7: "Currency", 8: "Decimal"}
RANGE = {"Byte": (0, 255), "Integer": (-32768, 32767), "Long": (-2**31, 2**31 - 1)}
CURRENCY_RANGE = (-2**63, 2**63 - 1)  # ten-thousandths
DECIMAL_MAX_MANTISSA = 2**96 - 1
# The ODBC type each Access type reaches the client as (README's table).
ODBC_TYPE = {"Bool": "BIT", "Byte": "TINYINT", "Integer": "SMALLINT", "Long": "INTEGER", "Single": "REAL",
             "Double": "DOUBLE", "Currency": "DECIMAL", "Decimal": "NUMERIC", "DateTime": "TIMESTAMP",
             "Text": "WVARCHAR", "Memo": "WLONGVARCHAR", "Null": "WVARCHAR"}
COLUMN_TYPE = {"long": "Long", "text(30)": "Text", "text(10)": "Text", "memo": "Memo", "double": "Double",
               "single": "Single", "integer": "Integer", "byte": "Byte", "currency": "Currency",
               "decimal(18,6)": "Decimal", "decimal(12,2)": "Decimal", "datetime": "DateTime", "yesno": "Bool"}
MS_PER_DAY = 86400000
EPOCH = datetime.datetime(1899, 12, 30)
FIRST_MS = (datetime.datetime(100, 1, 1) - EPOCH) // datetime.timedelta(milliseconds=1)
LAST_MS = (datetime.datetime(9999, 12, 31, 23, 59, 59, 999000) - EPOCH) // datetime.timedelta(milliseconds=1)


class AccessError(Exception):
    """The statement or row fails with one of these SQLSTATEs (several when either may come first)."""

    def __init__(self, *states):
        super().__init__(",".join(sorted(states)))
        self.states = frozenset(states)


class LeftOpen(Exception):
    """The rules leave this answer open: the statement is not used."""


class LibraryFault(Exception):
    """A known fault of Access's function library in the driver, reported to its maintainers: the
    statement is not used, and the summary says how often that happened."""


# Faults of the function library that this test found; each entry goes when its fault is fixed.
LIBRARY_FAULTS = {
    "Round": "Round of a Currency whose rounded value passes Currency's range gives the value unrounded "
             "instead of failing with 22003",
    "Int": "Int of a Currency below -922337203685477 overflows 64 bits (wrong value) instead of failing with 22003",
}


def either(errors):
    states = set()
    for e in errors:
        states |= e.states
    return AccessError(*states)


# ---- Values. Null is None; Bool -1/0, whole numbers int; Single and Double float (a Single
# rounded to 32 bits); Currency an int of ten-thousandths; Decimal a decimal.Decimal; DateTime an
# int of milliseconds since 1899-12-30 (linear); Text and Memo str.

EXACT = decimal.Context(prec=400, rounding=decimal.ROUND_HALF_EVEN, Emax=10**6, Emin=-10**6)
decimal.setcontext(EXACT)  # every Decimal operation here is exact; rounding is always explicit


def single(v):
    try:
        return struct.unpack("<f", struct.pack("<f", v))[0]
    except OverflowError:
        raise AccessError("22003")


def half_even(q):
    """A Fraction rounded half to even to an int."""
    whole, rest = divmod(q.numerator, q.denominator)
    if 2 * rest > q.denominator or (2 * rest == q.denominator and whole % 2 == 1):
        whole += 1
    return whole


def checked_whole(v, t):
    low, high = RANGE[t]
    if not low <= v <= high:
        raise AccessError("22003")
    return v


class Overflowed(int):
    """A whole number computed past its type's range. As a result column's value it fails its row
    (22003); what Access makes of it inside an expression the rules do not say."""


def bounded(v, t):
    low, high = RANGE[t]
    return v if low <= v <= high else Overflowed(v)


def usable(v):
    if isinstance(v, Overflowed):
        raise LeftOpen("a whole number past its type's range inside an expression")
    return v


def checked_currency(units):
    if not CURRENCY_RANGE[0] <= units <= CURRENCY_RANGE[1]:
        raise AccessError("22003")
    return units


def checked_double(v):
    if math.isinf(v) or math.isnan(v):
        raise AccessError("22003")
    return v


def decimal_fit(q, scale):
    """The 96-bit Decimal nearest to the Fraction q: at `scale` decimals (at most 28), fewer, rounding
    half to even, while the digits do not fit."""
    for s in range(min(scale, 28), -1, -1):
        mantissa = half_even(q * 10**s)
        if abs(mantissa) <= DECIMAL_MAX_MANTISSA:
            return Decimal(mantissa).scaleb(-s, EXACT)
    raise AccessError("22003")


def decimal_scale(d):
    return max(0, -d.as_tuple().exponent)


def parse_number_text(text):
    """A text as a number, as Access's conversions read it (blanks, sign, digits, point, exponent)."""
    t = text.strip()
    body = t[1:] if t[:1] in "+-" else t
    mantissa, _, exponent = body.lower().partition("e")
    digits = mantissa.replace(".", "", 1)
    if not digits.isdigit() or (exponent and not exponent.lstrip("+-").isdigit()) or mantissa.count(".") > 1:
        raise AccessError("22018")
    return t


def to_fraction(v, t):
    """The exact value of a number of type t."""
    assert t in NUMERIC, t
    return Fraction(v, 10000) if t == "Currency" else Fraction(v)


def currency_from_double(v):
    """A double as Currency. The rules do not say whether the double's exact value or its product
    by 10,000 is rounded: only values where both agree are used."""
    if math.isinf(v) or math.isnan(v):
        raise AccessError("22003")
    exact = half_even(Fraction(v) * 10000)
    product = v * 10000
    if not math.isinf(product) and half_even(Fraction(product)) != exact:
        raise LeftOpen("a double between two Currency values")
    return checked_currency(exact)


def decimal_from_double(v):
    """A double as Decimal: its 15 significant digits; used only where that is its exact value."""
    if math.isinf(v) or math.isnan(v):
        raise AccessError("22003")
    digits = Decimal(format(v, ".14e"))
    if Fraction(digits) != Fraction(v):
        raise LeftOpen("a double with more than 15 digits meets a Decimal")
    return exact_decimal(digits.normalize(EXACT))


def exact_decimal(d):
    """An exact value as a Decimal at its own scale; 22003 when its digits do not fit."""
    scale = decimal_scale(d)
    if scale > 28 or abs(int(d.scaleb(scale, EXACT))) > DECIMAL_MAX_MANTISSA:
        raise AccessError("22003")
    return d


def convert(v, frm, to):
    """Access's conversion of a value of type frm to type to (CLng, CCur, CDbl, CStr and the implicit
    ones of operators, IIf and Nz)."""
    if v is None or frm == to:
        return v
    usable(v)
    if frm == "Null":
        return None
    if to in TEXTUAL:
        return text_of(v, frm)
    if to == "DateTime":
        if frm in TEXTUAL:
            return parse_date_text(v)
        raise LeftOpen("a number read as a date")
    if frm in TEXTUAL:
        t = parse_number_text(v)
        if to == "Currency":
            return checked_currency(half_even(Fraction(Decimal(t)) * 10000))
        if to == "Decimal":
            return exact_decimal(Decimal(t))
        return convert(float(t), "Double", to)
    if frm == "DateTime":
        raise LeftOpen("a date read as a number")
    if to == "Bool":
        return -1 if v != 0 else 0
    if to in WHOLE:
        if frm in ("Bool",) + WHOLE:
            whole = v
        elif frm in ("Single", "Double"):
            if math.isinf(v) or math.isnan(v):
                raise AccessError("22003")
            whole = half_even(Fraction(v))
        else:
            whole = half_even(to_fraction(v, frm))
        return checked_whole(whole, to)
    if to in ("Single", "Double"):
        if frm in ("Single", "Double"):
            d = v
        elif frm in ("Bool",) + WHOLE:
            d = float(v)
        else:
            d = float(to_fraction(v, frm))
        return single(d) if to == "Single" else checked_double(d)
    if to == "Currency":
        if frm in ("Single", "Double"):
            return currency_from_double(v)
        return checked_currency(half_even(to_fraction(v, frm) * 10000))
    if to == "Decimal":
        if frm in ("Single", "Double"):
            return decimal_from_double(v)
        return Decimal(v).scaleb(-4, EXACT) if frm == "Currency" else Decimal(v)
    raise AssertionError((frm, to))


def text_of(v, t):
    """The text Access makes of a value (CStr, &, a number in a text IIf). Only the forms the rules
    leave no doubt about: whole numbers, Currency, and doubles in plain notation."""
    if v is None:
        return None
    if t in TEXTUAL:
        return v
    if t in WHOLE:
        return str(v)
    if t == "Currency":
        text = format(Decimal(v).scaleb(-4, EXACT), "f")
        if "." in text:
            text = text.rstrip("0").rstrip(".")
        return "0" if text in ("-0", "") else text
    if t in ("Single", "Double"):
        digits, low, high = (7, 1e-3, 1e7) if t == "Single" else (15, 1e-3, 1e15)
        if v != 0 and not low <= abs(v) < high:
            raise LeftOpen("the text of a number in exponent form")
        text = format(v, ".%dg" % digits)
        if "e" in text:
            raise LeftOpen("the text of a number in exponent form")
        return "0" if text == "-0" else text
    raise LeftOpen("the text of a %s" % t)


# ---- Text: equal without regard to case; ordered by base letters, an unaccented text before an
# accented one that is otherwise equal. Texts of other characters are compared only for equality.

def fold(text):
    return text.lower()


def base_letters(text):
    return "".join(c for c in unicodedata.normalize("NFD", text) if not unicodedata.combining(c)).lower()


def compare_text(a, b):
    if fold(a) == fold(b):
        return 0
    if not all(c.isalpha() for c in a + b):
        raise LeftOpen("the order of texts with blanks, digits or punctuation")
    pa, pb = base_letters(a), base_letters(b)
    if not (pa + pb).isascii():
        raise LeftOpen("the order of letters without a base letter")
    if pa != pb:
        return -1 if pa < pb else 1
    plain_a, plain_b = base_letters(a) == fold(a), base_letters(b) == fold(b)
    if plain_a != plain_b:
        return -1 if plain_a else 1
    raise LeftOpen("the order of differently accented texts")


def like_tokens(pattern):
    tokens, i = [], 0
    while i < len(pattern):
        c = pattern[i]
        if c == "%":
            tokens.append(("any",))
        elif c == "_":
            tokens.append(("one",))
        elif c == "[":
            end = pattern.index("]", i + 2)
            body = pattern[i + 1:end]
            negated = body.startswith("!")
            body = body[1:] if negated else body
            items, k = [], 0
            while k < len(body):
                if k + 2 < len(body) and body[k + 1] == "-":
                    items.append((body[k], body[k + 2]))
                    k += 3
                else:
                    items.append((body[k], body[k]))
                    k += 1
            tokens.append(("set", negated, items))
            i = end
        else:
            tokens.append(("char", c))
        i += 1
    return tokens


def in_set(c, items):
    for low, high in items:
        if low == high:
            if fold(c) == fold(low):
                return True
        else:
            if not (c.isascii() and c.isalpha()):
                raise LeftOpen("a range of a LIKE pattern against a letter outside a-z")
            if fold(low) <= fold(c) <= fold(high):
                return True
    return False


def like(text, pattern):
    tokens = like_tokens(pattern)
    memo = {}

    def match(t, p):
        key = (t, p)
        if key not in memo:
            if p == len(tokens):
                result = t == len(text)
            elif tokens[p][0] == "any":
                result = any(match(k, p + 1) for k in range(t, len(text) + 1))
            elif t == len(text):
                result = False
            elif tokens[p][0] == "one":
                result = match(t + 1, p + 1)
            elif tokens[p][0] == "char":
                result = fold(text[t]) == fold(tokens[p][1]) and match(t + 1, p + 1)
            else:
                result = in_set(text[t], tokens[p][2]) != tokens[p][1] and match(t + 1, p + 1)
            memo[key] = result
        return memo[key]

    return match(0, 0)


# ---- Types and comparisons

def promote(a, b):
    """The type of + - * over a and b: Byte < Integer < Long < Single < Double < Currency < Decimal,
    a Single with a Long a Double, Yes/No an Integer."""
    if {a, b} == {"Single", "Long"}:
        return "Double"
    return BY_RANK[max(RANK[a], RANK[b])]


def common_type(a, b):
    """The type that holds the values of both (IIf, Nz): numbers promote, text wins."""
    if a == "Null":
        return b
    if b == "Null" or a == b:
        return a
    if "Memo" in (a, b):
        return "Memo"
    if "Text" in (a, b):
        return "Text"
    if a in NUMERIC and b in NUMERIC:
        return promote(a, b)
    raise AssertionError((a, b))


def compare_numbers(a, ta, b, tb):
    """<0, 0, >0 for two numbers compared in their common type."""
    t = promote(ta, tb)
    exact = (to_fraction(a, ta) > to_fraction(b, tb)) - (to_fraction(a, ta) < to_fraction(b, tb))
    if t in ("Currency", "Decimal") and ("Single" in (ta, tb) or "Double" in (ta, tb)):
        # A double meeting an exact number: compared exactly or after conversion; both must agree.
        ca, cb = convert(a, ta, t), convert(b, tb, t)
        converted = (to_fraction(ca, t) > to_fraction(cb, t)) - (to_fraction(ca, t) < to_fraction(cb, t))
        if converted != exact:
            raise LeftOpen("a double compared with an exact number")
    return exact


def converts_or_open(v, frm, to):
    """Beside a Null, whether the other operand's conversion fails is left open."""
    try:
        convert(v, frm, to)
    except AccessError:
        raise LeftOpen("a failing conversion beside a Null")


def comparison_type(ta, tb):
    """The type two values are compared in: a text takes the other side's type."""
    if ta in TEXTUAL:
        return "Memo" if tb in TEXTUAL else tb
    if tb in TEXTUAL or ta == tb:
        return ta
    return promote(ta, tb)


def compare(a, ta, b, tb):
    if a is None or b is None:
        t = comparison_type(ta, tb)
        converts_or_open(a, ta, t)
        converts_or_open(b, tb, t)
        return None
    if ta in TEXTUAL and tb in TEXTUAL:
        return compare_text(a, b)
    if ta == "DateTime" and tb == "DateTime":
        return (a > b) - (a < b)
    if ta in TEXTUAL:
        return compare(convert(a, ta, tb), tb, b, tb)
    if tb in TEXTUAL:
        return compare(a, ta, convert(b, tb, ta), ta)
    return compare_numbers(a, ta, b, tb)


def equal_values(a, ta, b, tb):
    """For IN, DISTINCT and GROUP BY: text by folding, numbers by value."""
    if ta in TEXTUAL and tb in TEXTUAL:
        return fold(a) == fold(b)
    return compare(a, ta, b, tb) == 0


# ---- Expressions: each node has its Access type (fixed when it is made, by the rules), its text
# in Access SQL and its value in a row. Levels are the operators' precedence, tightest first.

ATOM, POWER, NEGATE, TIMES, INTDIV, MOD, PLUS, CONCAT, COMPARE, NOT, AND, OR, XOR, EQV, IMP = range(15)


def evaluate_all(nodes, row):
    """Every operand's value; the errors of all of them when any fails (whichever comes first)."""
    values, errors = [], []
    for node in nodes:
        try:
            values.append(node.ev(row))
        except AccessError as e:
            errors.append(e)
    if errors:
        raise either(errors)
    return [usable(v) for v in values]


def in_date_range(ms):
    if not FIRST_MS <= ms <= LAST_MS:
        raise LeftOpen("a date outside 100..9999 used in a computation")
    return ms


class Expr:
    level = ATOM

    def wrap(self, child, limit):
        text = child.sql()
        return "(" + text + ")" if child.level > limit else text


class Column(Expr):
    def __init__(self, name, spelling=None):
        self.name, self.spelling = name, spelling or name
        self.t = dict((c, COLUMN_TYPE[k]) for c, k in COLUMNS)[name]

    def sql(self):
        return self.spelling

    def ev(self, row):
        return row[self.name]


class Literal(Expr):
    def __init__(self, t, value, spelling):
        self.t, self.value, self.spelling = t, value, spelling

    def sql(self):
        return self.spelling

    def ev(self, row):
        return self.value


def number_literal(v, spelling=None):
    if isinstance(v, int):
        assert v >= 0
        return Literal("Long", v, spelling or str(v))
    return Literal("Double", v, spelling or repr(v))


def double_spellings(v):
    """Ways to write a double: 0.5, .5, 5E-1, 5e-01, ..."""
    mantissa, exponent = ("%.15e" % v).split("e")
    mantissa = mantissa.rstrip("0").rstrip(".")
    plain = repr(v)
    shapes = [plain, mantissa + "E" + str(int(exponent)), mantissa + "e" + exponent]
    if plain.startswith("0."):
        shapes.append(plain[1:])
    return shapes


def text_literal(v, quote="'"):
    return Literal("Text", v, quote + v.replace(quote, quote * 2) + quote)


def bool_literal(value, spelling):
    return Literal("Bool", -1 if value else 0, spelling)


MONTHS = ["January", "February", "March", "April", "May", "June", "July", "August", "September", "October",
          "November", "December"]


def date_literal(ms, form=0):
    """A date in one of the forms Access reads: #m/d/yyyy#, #yyyy-mm-dd#, #d-Mon-yyyy#,
    #Month d, yyyy#, ODBC's {d ...} and {ts ...}, and #m/d/yy# for the years 1930 to 2029."""
    when = EPOCH + datetime.timedelta(milliseconds=ms)
    timed = bool(when.hour or when.minute or when.second)
    clock = " %02d:%02d:%02d" % (when.hour, when.minute, when.second) if timed else ""
    if form == 1:
        spelling = "#%04d-%02d-%02d%s#" % (when.year, when.month, when.day, clock)
    elif form == 2:
        spelling = "#%d-%s-%d%s#" % (when.day, MONTHS[when.month - 1][:3], when.year, clock)
    elif form == 3 and not timed:
        spelling = "#%s %d, %d#" % (MONTHS[when.month - 1], when.day, when.year)
    elif form == 5 and not timed and 1930 <= when.year <= 2029:
        spelling = "#%d/%d/%02d#" % (when.month, when.day, when.year % 100)
    elif form == 4:
        spelling = ("{ts '%04d-%02d-%02d%s'}" % (when.year, when.month, when.day, clock) if timed else
                    "{d '%04d-%02d-%02d'}" % (when.year, when.month, when.day))
    elif timed:
        spelling = "#%d/%d/%d %d:%02d:%02d %s#" % (when.month, when.day, when.year, (when.hour + 11) % 12 + 1,
                                                  when.minute, when.second, "AM" if when.hour < 12 else "PM")
    else:
        spelling = "#%d/%d/%d#" % (when.month, when.day, when.year)
    return Literal("DateTime", ms, spelling)


def date_text(ms, form):
    """A date as a text that a comparison with a date reads as one."""
    when = EPOCH + datetime.timedelta(milliseconds=ms)
    return ("%04d-%02d-%02d" % (when.year, when.month, when.day) if form else
            "%d/%d/%d" % (when.month, when.day, when.year))


def parse_date_text(text):
    for pattern in ("%Y-%m-%d", "%m/%d/%Y"):
        try:
            when = datetime.datetime.strptime(text, pattern)
        except ValueError:
            continue
        return (when - EPOCH) // datetime.timedelta(milliseconds=1)
    raise LeftOpen("a text of another form read as a date")


class Parenthesized(Expr):
    def __init__(self, inner):
        self.inner, self.t = inner, inner.t

    def sql(self):
        return "(" + self.inner.sql() + ")"

    def ev(self, row):
        return self.inner.ev(row)


class Negate(Expr):
    level = NEGATE

    def __init__(self, a):
        self.a = a
        self.t = "Integer" if a.t in ("Bool", "Byte") else a.t

    def sql(self):
        text = self.wrap(self.a, NEGATE)
        return "-" + ("(" + text + ")" if text.startswith("-") else text)

    def ev(self, row):
        v = convert(evaluate_all([self.a], row)[0], self.a.t, self.t)
        if v is None:
            return None
        if self.t in WHOLE:
            return bounded(-v, self.t)
        if self.t == "Currency":
            return checked_currency(-v)
        return -v


def whole_quotient(a, b):
    q = abs(a) // abs(b)
    return q if (a < 0) == (b < 0) else -q


class Arithmetic(Expr):
    LEVELS = {"^": POWER, "*": TIMES, "/": TIMES, "\\": INTDIV, "Mod": MOD, "+": PLUS, "-": PLUS}

    def __init__(self, op, a, b):
        self.op, self.a, self.b = op, a, b
        self.level = self.LEVELS[op]
        ta = "Double" if a.t in TEXTUAL else a.t
        tb = "Double" if b.t in TEXTUAL else b.t
        if op in ("+", "-", "*"):
            self.t = promote(ta, tb)
        elif op in ("/", "^"):
            self.t = "Double"
        else:
            small = ("Bool", "Byte", "Integer")
            self.t = "Byte" if ta == tb == "Byte" else "Integer" if ta in small and tb in small else "Long"

    def sql(self):
        return self.wrap(self.a, self.level) + " " + self.op + " " + self.wrap(self.b, self.level - 1)

    def ev(self, row):
        a, b = evaluate_all([self.a, self.b], row)
        if a is None or b is None:
            for v, tv in ((a, self.a.t), (b, self.b.t)):
                converts_or_open(v, tv, self.operand_type(tv))
            return None
        ta, tb, t = self.a.t, self.b.t, self.t
        if ta in TEXTUAL:
            a, ta = convert(a, ta, "Double"), "Double"
        if tb in TEXTUAL:
            b, tb = convert(b, tb, "Double"), "Double"
        if self.op in ("\\", "Mod"):
            x, y = convert(a, ta, "Long"), convert(b, tb, "Long")
            if y == 0:
                raise AccessError("22012")
            q = whole_quotient(x, y)
            return bounded(q if self.op == "\\" else x - y * q, t)
        if self.op == "/":
            if "Decimal" in (ta, tb):
                raise LeftOpen("the type of a Decimal quotient")
            x, y = convert(a, ta, "Double"), convert(b, tb, "Double")
            if y == 0:
                if x == 0:
                    raise LeftOpen("zero divided by zero")
                raise AccessError("22012")
            return checked_double(x / y)
        if self.op == "^":
            x, y = convert(a, ta, "Double"), convert(b, tb, "Double")
            if x == 0 and y < 0:
                raise AccessError("22012")
            if x < 0 and y != int(y):
                raise LeftOpen("a fractional power of a negative number")
            try:
                return checked_double(math.pow(x, y))
            except OverflowError:
                raise AccessError("22003")
        if t in WHOLE:
            x, y = convert(a, ta, t), convert(b, tb, t)
            return bounded(x + y if self.op == "+" else x - y if self.op == "-" else x * y, t)
        if t in ("Single", "Double"):
            x, y = convert(a, ta, "Double"), convert(b, tb, "Double")
            r = x + y if self.op == "+" else x - y if self.op == "-" else x * y
            return single(r) if t == "Single" else checked_double(r)
        exact = self.exact(a, ta, b, tb)
        if t == "Currency":
            result = checked_currency(half_even(exact * 10000))
            x, y = convert(a, ta, t), convert(b, tb, t)
            converted = x + y if self.op == "+" else x - y if self.op == "-" else half_even(Fraction(x * y, 10000))
            if converted != result:
                raise LeftOpen("a double with more decimals than Currency keeps in Currency arithmetic")
            return result
        scales = [decimal_scale(convert(v, tv, "Decimal")) for v, tv in ((a, ta), (b, tb))]
        return decimal_fit(exact, sum(scales) if self.op == "*" else max(scales))

    def operand_type(self, t):
        """What an operand of type t is converted to before the operation."""
        if self.op in ("\\", "Mod"):
            return "Long"
        if self.op in ("/", "^") or t in TEXTUAL:
            return "Double"
        return self.t

    def exact(self, a, ta, b, tb):
        x, y = to_fraction(a, ta), to_fraction(b, tb)
        return x + y if self.op == "+" else x - y if self.op == "-" else x * y


class TextJoin(Expr):
    """Two values joined as text by the operator `joiner`; a Memo when either is one."""

    def __init__(self, a, b):
        self.a, self.b = a, b
        self.t = "Memo" if "Memo" in (a.t, b.t) else "Text"

    def sql(self):
        return self.wrap(self.a, self.level) + self.joiner + self.wrap(self.b, self.level - 1)


class Concat(TextJoin):
    level, joiner = CONCAT, " & "

    def ev(self, row):
        a, b = evaluate_all([self.a, self.b], row)
        if a is None and b is None:
            return None
        return (text_of(a, self.a.t) or "") + (text_of(b, self.b.t) or "")


class TextPlus(TextJoin):
    """+ on two texts joins them; Null when either is Null."""
    level, joiner = PLUS, " + "

    def ev(self, row):
        a, b = evaluate_all([self.a, self.b], row)
        return None if a is None or b is None else a + b


class DateShift(Expr):
    """A date plus or minus a whole number of days is a date."""
    level = PLUS

    def __init__(self, op, date, days):
        self.op, self.date, self.days, self.t = op, date, days, "DateTime"

    def sql(self):
        return self.wrap(self.date, PLUS) + " " + self.op + " " + self.wrap(self.days, PLUS - 1)

    def ev(self, row):
        d, k = evaluate_all([self.date, self.days], row)
        if d is None or k is None:
            return None
        k = convert(k, self.days.t, "Long")
        return in_date_range(d) + (k if self.op == "+" else -k) * MS_PER_DAY


class DateSpan(Expr):
    """Round((a - b) * 86400000): the milliseconds between two dates, a Double."""
    t = "Double"

    def __init__(self, a, b):
        self.a, self.b = a, b

    def sql(self):
        return "Round((" + self.wrap(self.a, PLUS) + " - " + self.wrap(self.b, PLUS - 1) + ") * 86400000)"

    def ev(self, row):
        a, b = evaluate_all([self.a, self.b], row)
        if a is None or b is None:
            return None
        return float(in_date_range(a) - in_date_range(b))


class Comparison(Expr):
    level = COMPARE
    TESTS = {"=": lambda c: c == 0, "<>": lambda c: c != 0, "<": lambda c: c < 0, "<=": lambda c: c <= 0,
             ">": lambda c: c > 0, ">=": lambda c: c >= 0}

    def __init__(self, op, a, b):
        self.op, self.a, self.b, self.t = op, a, b, "Bool"

    def sql(self):
        return self.wrap(self.a, COMPARE - 1) + " " + self.op + " " + self.wrap(self.b, COMPARE - 1)

    def ev(self, row):
        a, b = evaluate_all([self.a, self.b], row)
        if self.a.t == "DateTime" and a is not None:
            in_date_range(a)
        if self.b.t == "DateTime" and b is not None:
            in_date_range(b)
        if self.op in ("=", "<>") and a is not None and b is not None and self.a.t in TEXTUAL and self.b.t in TEXTUAL:
            c = 0 if fold(a) == fold(b) else 1
        else:
            c = compare(a, self.a.t, b, self.b.t)
        return None if c is None else -1 if self.TESTS[self.op](c) else 0


def truth(v):
    """A condition's value: True, False or None (Null)."""
    return None if v is None else v != 0


def yes_no(b):
    return None if b is None else -1 if b else 0


class Logical(Expr):
    """And, Or, Xor, Eqv, Imp on Yes/No values, with Null as unknown."""
    LEVELS = {"And": AND, "Or": OR, "Xor": XOR, "Eqv": EQV, "Imp": IMP}

    def __init__(self, op, a, b):
        self.op, self.a, self.b, self.t = op, a, b, "Bool"
        self.level = self.LEVELS[op]

    def sql(self):
        return self.wrap(self.a, self.level) + " " + self.op + " " + self.wrap(self.b, self.level - 1)

    def decided(self, a, b):
        """The value when one operand alone decides it (False And, True Or, False Imp, Imp True)."""
        if self.op == "And" and False in (a, b):
            return False
        if self.op == "Or" and True in (a, b):
            return True
        if self.op == "Imp" and (a is False or b is True):
            return True
        return None

    def ev(self, row):
        results = []
        for node in (self.a, self.b):
            try:
                results.append(truth(node.ev(row)))
            except AccessError as e:
                results.append(e)
        errors = [r for r in results if isinstance(r, AccessError)]
        a, b = [None if isinstance(r, AccessError) else r for r in results]
        if errors:
            if self.decided(a, b) is not None:
                raise LeftOpen("whether %s evaluates its second operand" % self.op)
            raise either(errors)
        decided = self.decided(a, b)
        if decided is not None:
            return yes_no(decided)
        if a is None or b is None:
            return None
        return yes_no({"And": a and b, "Or": a or b, "Xor": a != b, "Eqv": a == b, "Imp": (not a) or b}[self.op])


class Not(Expr):
    level = NOT

    def __init__(self, a):
        self.a, self.t = a, "Bool"

    def sql(self):
        return "Not " + self.wrap(self.a, NOT)

    def ev(self, row):
        v = truth(self.a.ev(row))
        return None if v is None else yes_no(not v)


class IsNullTest(Expr):
    level = COMPARE

    def __init__(self, a, negated):
        self.a, self.negated, self.t = a, negated, "Bool"

    def sql(self):
        return self.wrap(self.a, COMPARE - 1) + (" IS NOT NULL" if self.negated else " IS NULL")

    def ev(self, row):
        return yes_no((usable(self.a.ev(row)) is None) != self.negated)


class Like(Expr):
    level = COMPARE

    def __init__(self, a, pattern, negated):
        self.a, self.pattern, self.negated, self.t = a, pattern, negated, "Bool"

    def sql(self):
        return (self.wrap(self.a, COMPARE - 1) + (" NOT LIKE '" if self.negated else " LIKE '") +
                self.pattern.replace("'", "''") + "'")

    def ev(self, row):
        v = self.a.ev(row)
        return None if v is None else yes_no(like(v, self.pattern) != self.negated)


class Between(Expr):
    level = COMPARE

    def __init__(self, a, low, high, negated):
        self.a, self.low, self.high, self.negated, self.t = a, low, high, negated, "Bool"

    def sql(self):
        return (self.wrap(self.a, COMPARE - 1) + (" NOT BETWEEN " if self.negated else " BETWEEN ") +
                self.wrap(self.low, ATOM) + " AND " + self.wrap(self.high, ATOM))

    def ev(self, row):
        v, low, high = evaluate_all([self.a, self.low, self.high], row)
        bounds = compare(low, self.low.t, high, self.high.t)
        if bounds is not None and bounds > 0:
            raise LeftOpen("BETWEEN with its bounds the wrong way round")
        above = compare(v, self.a.t, low, self.low.t)
        below = compare(v, self.a.t, high, self.high.t)
        if above is None or below is None:
            return None
        return yes_no((above >= 0 and below <= 0) != self.negated)


class InList(Expr):
    level = COMPARE

    def __init__(self, a, items, negated):
        self.a, self.items, self.negated, self.t = a, items, negated, "Bool"

    def sql(self):
        return (self.wrap(self.a, COMPARE - 1) + (" NOT IN (" if self.negated else " IN (") +
                ", ".join(self.wrap(i, ATOM) for i in self.items) + ")")

    def ev(self, row):
        values = evaluate_all([self.a] + self.items, row)
        v = values[0]
        if v is None:
            return None
        found = any(w is not None and equal_values(v, self.a.t, w, item.t) for w, item in zip(values[1:], self.items))
        if not found and any(w is None for w in values[1:]):
            return None
        return yes_no(found != self.negated)


def number_function(name, v, t):
    """Abs, Int, Fix, Sgn and Round of a number, kept in its type (Yes/No as an Integer)."""
    if t == "Bool":
        v, t = convert(v, "Bool", "Integer"), "Integer"
    if name == "Sgn":
        return (v > 0) - (v < 0)
    if name == "Abs":
        if t in WHOLE:
            return checked_whole(abs(v), t)
        return checked_currency(abs(v)) if t == "Currency" else abs(v)
    if name in ("Int", "Fix"):
        if t in WHOLE:
            return v
        q = to_fraction(v, t)
        whole = math.floor(q) if name == "Int" else math.trunc(q)
        if t in ("Single", "Double"):
            return float(whole)
        if t == "Currency" and whole * 10000 < CURRENCY_RANGE[0] and "Int" in LIBRARY_FAULTS:
            raise LibraryFault("Int")
        return checked_currency(whole * 10000) if t == "Currency" else Decimal(whole)
    raise AssertionError(name)


def round_number(v, t, digits):
    if t == "Bool":
        return convert(v, "Bool", "Integer")
    if t in WHOLE:
        return v
    q = to_fraction(v, t)
    rounded = Fraction(half_even(q * 10**digits), 10**digits)
    if t in ("Single", "Double"):
        r = float(rounded)
        return single(r) if t == "Single" else r
    if t == "Currency":
        units = half_even(rounded * 10000)
        if not CURRENCY_RANGE[0] <= units <= CURRENCY_RANGE[1] and "Round" in LIBRARY_FAULTS:
            raise LibraryFault("Round")
        return checked_currency(units)
    return v if decimal_scale(v) <= digits else Decimal(half_even(q * 10**digits)).scaleb(-digits, EXACT)


def date_part(ms, part):
    if not FIRST_MS <= ms <= LAST_MS:
        raise AccessError("22008")
    when = EPOCH + datetime.timedelta(milliseconds=ms)
    return getattr(when, part)


class Call(Expr):
    TEXT_OF_FIRST = ("UCase", "LCase", "Left", "Right", "Mid")
    FIXED = {"Sgn": "Integer", "CLng": "Long", "CDbl": "Double", "CCur": "Currency", "CStr": "Text", "Len": "Long",
             "InStr": "Long", "Year": "Integer", "Month": "Integer", "Day": "Integer", "IsNull": "Bool"}

    def __init__(self, name, *args):
        self.name, self.args = name, list(args)
        first = args[0].t
        if name in self.FIXED:
            self.t = self.FIXED[name]
        elif name in self.TEXT_OF_FIRST:
            self.t = "Memo" if first == "Memo" else "Text"
        elif name in ("IIf", "Nz"):
            self.t = common_type(args[-2].t, args[-1].t)
        else:  # Abs, Int, Fix, Round: the number's own type
            self.t = "Integer" if first == "Bool" else "Double" if first in TEXTUAL else first

    def sql(self):
        return self.name + "(" + ", ".join(a.sql() for a in self.args) + ")"

    def ev(self, row):
        name, args = self.name, self.args
        if name == "IIf":
            return self.choose(row, truth(args[0].ev(row)) is True)
        if name == "Nz":
            first = args[0].ev(row)
            return self.choose(row, first is not None)
        values = evaluate_all(args, row)
        v, t = values[0], args[0].t
        if name == "IsNull":
            return yes_no(v is None)
        if name in ("CLng", "CDbl", "CCur", "CStr"):
            if v is None:
                raise AccessError("22004")  # invalid use of Null: a conversion takes a value
            return convert(v, t, self.t)
        if name in ("Left", "Right", "Mid", "Round") and any(w is None for w in values[1:]):
            raise AccessError("22004")  # a length, start or count of decimals cannot be Null
        if any(w is None for w in values):
            return None
        if name in ("Abs", "Int", "Fix", "Sgn"):
            return number_function(name, v, t)
        if name == "Round":
            return round_number(v, t, values[1] if len(values) > 1 else 0)
        if name in ("Year", "Month", "Day"):
            return date_part(v, name.lower())
        if name == "Len":
            return len(v)
        if name == "UCase":
            return v.upper()
        if name == "LCase":
            return v.lower()
        if name == "Left":
            return v[:values[1]]
        if name == "Right":
            return v[len(v) - min(values[1], len(v)):]
        if name == "Mid":
            start = values[1] - 1
            return v[start:] if len(values) == 2 else v[start:start + values[2]]
        if name == "InStr":
            start, text, search = (values[0], values[1], values[2]) if len(values) == 3 else (1, v, values[1])
            if search == "":
                raise LeftOpen("InStr of an empty text")
            if start > len(text):
                return 0
            return fold(text).find(fold(search), start - 1) + 1
        raise AssertionError(name)

    def choose(self, row, first):
        """IIf's and Nz's value: one branch, converted to the type of both. Whether the other one is
        evaluated is left open, so it may not fail."""
        if self.name == "IIf":
            taken, other = (1, 2) if first else (2, 1)
        else:
            taken, other = (0, 1) if first else (1, 0)
        try:
            self.args[other].ev(row)
        except AccessError:
            raise LeftOpen("whether %s evaluates the value it does not give" % self.name)
        return convert(self.args[taken].ev(row), self.args[taken].t, self.t)


# ---- Aggregates, over the rows of a group

class Group:
    def __init__(self, rows):
        self.rows = rows


def exact_sum_of_doubles(values):
    """A sum of doubles that the order of adding does not change; otherwise the rules say nothing."""
    forward = backward = 0.0
    for v in values:
        forward += v
    for v in reversed(values):
        backward += v
    if not forward == backward == math.fsum(values):
        raise LeftOpen("a sum of doubles that depends on the order of adding")
    return checked_double(forward)


def extreme(values, t, largest):
    """MIN or MAX; a text that several spellings share is left open."""
    best = values[0]
    for v in values[1:]:
        c = compare(v, t, best, t)
        if (c > 0) if largest else (c < 0):
            best = v
    if t in TEXTUAL and len({v for v in values if fold(v) == fold(best)}) > 1:
        raise LeftOpen("which spelling MIN or MAX gives")
    if t == "DateTime":
        in_date_range(best)
    return best


class Aggregate(Expr):
    def __init__(self, name, arg=None):
        self.name, self.arg = name, arg
        t = arg.t if arg is not None else "Long"
        if name == "Count":
            self.t = "Long"
        elif name in ("Min", "Max"):
            self.t = t
        elif t in ("Currency", "Decimal"):
            self.t = t
        elif name == "Sum" and t in ("Bool",) + WHOLE:
            self.t = "Long"
        else:
            self.t = "Double"

    def sql(self):
        return self.name.upper() + "(" + ("*" if self.arg is None else self.arg.sql()) + ")"

    def ev(self, group):
        if self.arg is None:
            return len(group.rows)
        values = self.values(group)
        t = self.arg.t
        if self.name == "Count":
            return len(values)
        if not values:
            return None
        if self.name in ("Min", "Max"):
            return extreme(values, t, self.name == "Max")
        if t in ("Bool",) + WHOLE:
            total = sum(values)
            return bounded(total, "Long") if self.name == "Sum" else checked_double(float(total) / len(values))
        if t in ("Single", "Double"):
            total = exact_sum_of_doubles(values)
            return total if self.name == "Sum" else checked_double(total / len(values))
        if t == "Currency":
            if sum(v for v in values if v > 0) > CURRENCY_RANGE[1] or sum(v for v in values if v < 0) < CURRENCY_RANGE[0]:
                if CURRENCY_RANGE[0] <= sum(values) <= CURRENCY_RANGE[1]:
                    raise LeftOpen("a Currency sum that overflows on the way only")
            total = sum(values)
            return checked_currency(total) if self.name == "Sum" else half_even(Fraction(total, len(values)))
        if sum(abs(v) for v in values) > Decimal(DECIMAL_MAX_MANTISSA).scaleb(-max(map(decimal_scale, values))):
            raise LeftOpen("a Decimal sum that may not fit on the way")
        total = Fraction(sum(values, Decimal(0)))
        scale = max(map(decimal_scale, values))
        return decimal_fit(total, scale) if self.name == "Sum" else decimal_fit(total / len(values), 28)

    def values(self, group):
        results, errors = [], []
        for row in group.rows:
            try:
                results.append(usable(self.arg.ev(row)))
            except AccessError as e:
                errors.append(e)
        if errors:
            raise either(errors)
        return [v for v in results if v is not None]


def varies(e):
    """Whether the value depends on the row (or the group)."""
    if isinstance(e, (Column, Aggregate)):
        return True
    return any(varies(c) for c in children(e))


def children(e):
    out = []
    for name in ("a", "b", "date", "days", "low", "high", "inner", "arg"):
        child = getattr(e, name, None)
        if isinstance(child, Expr):
            out.append(child)
    return out + list(getattr(e, "args", [])) + list(getattr(e, "items", []))


def check_constants(e):
    """A part without columns may be computed once before any row: its failure is left open."""
    if not varies(e):
        try:
            e.ev({})
        except AccessError:
            raise LeftOpen("a failing part without columns")
        return
    for c in children(e):
        check_constants(c)


# ---- What the client sees: a row's values as exact numbers, datetimes and texts.

def client_value(v, t):
    if v is None:
        return None
    if isinstance(v, Overflowed):
        raise AccessError("22003")
    if t == "Bool":
        return v != 0
    if t in ("Currency",):
        return Fraction(v, 10000)
    if t in NUMERIC:
        return Fraction(v)
    if t == "DateTime":
        if not FIRST_MS <= v <= LAST_MS:
            raise AccessError("22008")
        return EPOCH + datetime.timedelta(milliseconds=v)
    return v


def canon(v):
    """A value pyodbc gives, in the same terms."""
    if v is None or isinstance(v, (bool, str, datetime.datetime)):
        return v
    return Fraction(v)


def shown(v):
    if isinstance(v, Fraction):
        return str(v) if v.denominator == 1 else "%s (%r)" % (v, float(v))
    return repr(v)


def key_compare(x, y):
    """ORDER BY's comparison of two rows' keys, each a list of (value, type, descending): Null first,
    then ascending, or the reverse for a DESC key."""
    for (a, t, descending), (b, _, _) in zip(x, y):
        if a is None or b is None:
            c = (a is not None) - (b is not None)
        else:
            if t == "DateTime":
                in_date_range(a)
                in_date_range(b)
            c = compare(a, t, b, t)
        if c:
            return -c if descending else c
    return 0


def order_key(entries):
    """(key, payload) entries in ORDER BY's order; ties keep their order."""
    return sorted(entries, key=functools.cmp_to_key(lambda x, y: key_compare(x[0], y[0])))


class Expected:
    def __init__(self, types, items, ordered=True, key_column=None):
        self.types, self.items, self.ordered, self.key_column = types, items, ordered, key_column


def evaluate_items(items, row):
    values = evaluate_all(items, row)
    return tuple(client_value(v, e.t) for v, e in zip(values, items))


class Plain:
    """SELECT id, items FROM t [WHERE] ORDER BY id, or by an item first."""

    def __init__(self, items, where, order=None, descending=False):
        self.items, self.where, self.order, self.descending = items, where, order, descending

    def sql(self):
        text = "SELECT id, " + ", ".join(e.sql() for e in self.items) + " FROM t"
        if self.where is not None:
            text += " WHERE " + self.where.sql()
        if self.order is not None:
            return text + " ORDER BY " + self.order.sql() + (" DESC" if self.descending else "") + ", id"
        return text + " ORDER BY id"

    def expect(self, rows):
        for e in self.items + [x for x in (self.where, self.order) if x is not None]:
            check_constants(e)
        front, entries = [], []
        for row in rows:
            try:
                if self.where is not None and truth(self.where.ev(row)) is not True:
                    continue
            except AccessError as e:
                front.append(("error", e.states))  # fails before any row is given
                continue
            try:
                key = [(usable(self.order.ev(row)), self.order.t, self.descending)] if self.order is not None else []
            except AccessError as e:
                # The row's sort key and values are computed together: either failure may come first.
                failures = [e]
                try:
                    evaluate_items(self.items, row)
                except AccessError as other:
                    failures.append(other)
                front.append(("error", either(failures).states))
                continue
            key.append((row["id"], "Long", False))
            try:
                item = ("row", (Fraction(row["id"]),) + evaluate_items(self.items, row))
            except AccessError as e:
                item = ("error", e.states)
            entries.append((key, item))
        ordered = [item for _, item in order_key(entries)]
        return Expected(["INTEGER"] + [ODBC_TYPE[e.t] for e in self.items], front + ordered)


class Grouped:
    """SELECT keys, aggregates FROM t [WHERE] [GROUP BY keys [HAVING] [ORDER BY keys]]."""

    def __init__(self, keys, aggregates, where, having=None, order=False):
        self.keys, self.aggregates, self.where, self.having, self.order = keys, aggregates, where, having, order

    def sql(self):
        text = "SELECT " + ", ".join(e.sql() for e in self.keys + self.aggregates) + " FROM t"
        if self.where is not None:
            text += " WHERE " + self.where.sql()
        if self.keys:
            text += " GROUP BY " + ", ".join(k.sql() for k in self.keys)
            if self.having is not None:
                text += " HAVING " + self.having.sql()
            if self.order:
                text += " ORDER BY " + ", ".join(k.sql() for k in self.keys)
        return text

    def expect(self, rows):
        for e in self.keys + self.aggregates + [x for x in (self.where, self.having) if x is not None]:
            check_constants(e)
        types = [ODBC_TYPE[e.t] for e in self.keys + self.aggregates]
        groups, failures = [], []
        for row in rows:
            try:
                if self.where is not None and truth(self.where.ev(row)) is not True:
                    continue
                values = evaluate_all(self.keys, row)
            except AccessError as e:
                failures.append(e)
                continue
            for group_values, members in groups:
                if all((a is None and b is None) or (a is not None and b is not None and equal_values(a, k.t, b, k.t))
                       for a, b, k in zip(group_values, values, self.keys)):
                    members.append((values, row))
                    break
            else:
                groups.append((values, [(values, row)]))
        if failures:
            # The groups are formed before any aggregate is given: any failure may come first.
            for _, members in groups:
                for aggregate in self.aggregates:
                    try:
                        aggregate.ev(Group([row for _, row in members]))
                    except AccessError as e:
                        failures.append(e)
            return Expected(types, [("error", either(failures).states)], ordered=False)
        if not self.keys and not groups:
            groups.append(([], []))
        entries = []
        for values, members in groups:
            for k, key in enumerate(self.keys):
                if len({repr(client_value(m[0][k], key.t)) for m in members}) > 1:
                    raise LeftOpen("which spelling of a group's text GROUP BY gives")
            group = Group([row for _, row in members])
            try:
                item = ("row", tuple(client_value(v, e.t) for v, e in zip(values, self.keys)) +
                        tuple(client_value(v, a.t) for v, a in zip(evaluate_all(self.aggregates, group),
                                                                    self.aggregates)))
            except AccessError as e:
                item = ("error", e.states)
            try:
                if self.having is not None and truth(self.having.ev(group)) is not True:
                    if item[0] == "error":
                        raise LeftOpen("whether the groups HAVING leaves out are computed")
                    continue
            except AccessError as e:
                item = ("error", e.states)
            entries.append(([(v, k.t, False) for v, k in zip(values, self.keys)], item))
        if self.order:
            return Expected(types, [item for _, item in order_key(entries)])
        return Expected(types, [item for _, item in entries], ordered=False)


class Distinct:
    def __init__(self, items, where):
        self.items, self.where = items, where

    def sql(self):
        text = "SELECT DISTINCT " + ", ".join(e.sql() for e in self.items) + " FROM t"
        return text + (" WHERE " + self.where.sql() if self.where is not None else "")

    def expect(self, rows):
        for e in self.items + ([self.where] if self.where is not None else []):
            check_constants(e)
        types = [ODBC_TYPE[e.t] for e in self.items]
        kept, errors = [], []
        for row in rows:
            try:
                if self.where is not None and truth(self.where.ev(row)) is not True:
                    continue
                values = evaluate_all(self.items, row)
                item = tuple(client_value(v, e.t) for v, e in zip(values, self.items))
            except AccessError as e:
                errors.append(("error", e.states))
                continue
            for other_values, other in kept:
                if all((a is None and b is None) or (a is not None and b is not None and equal_values(a, e.t, b, e.t))
                       for a, b, e in zip(values, other_values, self.items)):
                    if repr(other) != repr(item):
                        raise LeftOpen("which spelling DISTINCT keeps")
                    break
            else:
                kept.append((values, item))
        return Expected(types, errors + [("row", item) for _, item in kept], ordered=False)


class Top:
    """SELECT TOP n [PERCENT] key, id, items FROM t [WHERE] ORDER BY key [DESC]: ties with the last
    row kept, the rows in the key's order (ties in any order)."""

    def __init__(self, count, percent, key, descending, items, where):
        self.count, self.percent, self.key, self.descending = count, percent, key, descending
        self.items, self.where = items, where

    def sql(self):
        text = "SELECT TOP %d%s %s, id" % (self.count, " PERCENT" if self.percent else "", self.key.sql())
        text += "".join(", " + e.sql() for e in self.items) + " FROM t"
        if self.where is not None:
            text += " WHERE " + self.where.sql()
        return text + " ORDER BY " + self.key.sql() + (" DESC" if self.descending else "")

    def expect(self, rows):
        for e in [self.key] + self.items + ([self.where] if self.where is not None else []):
            check_constants(e)
        types = [ODBC_TYPE[self.key.t], "INTEGER"] + [ODBC_TYPE[e.t] for e in self.items]
        entries, failures = [], []
        for row in rows:
            try:
                if self.where is not None and truth(self.where.ev(row)) is not True:
                    continue
                entries.append(([(usable(self.key.ev(row)), self.key.t, self.descending)], row))
            except AccessError as e:
                failures.append(e)
        if failures:
            # Every row is computed before the first is given: any failure may come first.
            for _, row in entries:
                try:
                    evaluate_all(self.items, row)
                except AccessError as e:
                    failures.append(e)
            return Expected(types, [("error", either(failures).states)], ordered=False)
        ordered = order_key(entries)
        wanted = math.ceil(self.count * len(ordered) / 100) if self.percent else self.count
        kept = 0
        for position, (key, _) in enumerate(ordered):
            if position < wanted or (kept == position and kept > 0 and key_compare(key, ordered[kept - 1][0]) == 0):
                kept = position + 1
        items, skipped = [], []
        for position, (key, row) in enumerate(ordered):
            try:
                values = (client_value(key[0][0], self.key.t), Fraction(row["id"])) + evaluate_items(self.items, row)
                item = ("row", values)
            except AccessError as e:
                item = ("error", e.states)
            (items if position < kept else skipped).append(item)
        if any(kind == "error" for kind, _ in skipped):
            raise LeftOpen("whether rows that TOP leaves out are computed")
        return Expected(types, items, ordered=False, key_column=0)


# ---- The generator

INT_LITERALS = [0, 1, 2, 3, 4, 5, 7, 10, 13, 20, 100, 255, 1000, 32767, 100000, 2147483647]
DOUBLE_LITERALS = [0.5, 1.5, 2.5, 0.1, 0.25, 3.75, 1e10, 2.675, 1234.5678, 0.001]
TEXT_LITERALS = ["airbus", "ZOË", "élodie", "Elodie", "x", "Boeing", "", "e", "É", "bus", "IR", "o", "piper", "ça",
                 "d'Art", "A", "z", "12", "memo a"]
ORDERED_TEXTS = ["a", "airbus", "b", "boeing", "BOEING", "c", "Ça", "d", "e", "elodie", "Élodie", "p", "z", "zoe",
                 "ZOË"]
DATE_LITERALS = [(datetime.datetime(*p) - EPOCH) // datetime.timedelta(milliseconds=1) for p in
                 [(2000, 1, 1), (1899, 12, 31), (1850, 6, 15), (1900, 1, 1), (1776, 7, 4, 13), (2024, 2, 29, 8, 30),
                  (2001, 1, 1), (1899, 12, 30), (1950, 5, 5, 5, 5, 5), (2000, 1, 1, 17, 51, 48), (1899, 12, 29, 6)]]
LIKE_LETTERS = "abceilnoprsuzAEIOBZéÉ"
NUM_COLUMNS = [(4, "n"), (4, "x"), (2, "sg"), (3, "i"), (2, "bt"), (3, "cur"), (1, "cx"), (2, "dec"), (2, "dz"),
               (1, "id"), (1, "b")]


class Generator:
    def __init__(self, rng):
        self.r = rng

    def pick(self, weighted):
        total = sum(w for w, _ in weighted)
        at = self.r.uniform(0, total)
        for w, f in weighted:
            at -= w
            if at <= 0:
                return f()
        return weighted[-1][1]()

    def col(self, name):
        """A column, as a statement may name it: plainly, in brackets or backquotes, qualified, or in
        another letter case."""
        spelling = self.pick([(20, lambda: name), (1, lambda: "[" + name + "]"), (1, lambda: "`" + name + "`"),
                              (1, lambda: "t." + name), (1, lambda: name.upper())])
        return Column(name, spelling)

    def date_lit(self):
        return date_literal(self.r.choice(DATE_LITERALS), self.r.randint(0, 5))

    def text_lit(self, v):
        return text_literal(v, '"' if self.r.random() < 0.15 else "'")

    def bool_lit(self):
        value = self.r.random() < 0.5
        return bool_literal(value, self.r.choice(["True", "Yes", "On"] if value else ["False", "No", "Off"]))

    def literal(self):
        if self.r.random() < 0.75:
            return number_literal(self.r.choice(INT_LITERALS))
        v = self.r.choice(DOUBLE_LITERALS)
        return number_literal(v, self.r.choice(double_spellings(v)) if self.r.random() < 0.3 else None)

    def small(self, low, high):
        return number_literal(self.r.randint(low, high))

    # Numbers

    def num(self, depth, exclude=()):
        for _ in range(30):
            e = self.any_num(depth)
            if e.t not in exclude:
                return e
        return self.col("n")

    def num_atom(self):
        return self.pick([(w, lambda c=c: self.col(c)) for w, c in NUM_COLUMNS] + [(5, self.literal),
                                                                                     (0.3, self.bool_lit)])

    def any_num(self, depth):
        if depth <= 0 or self.r.random() < 0.25:
            return self.num_atom()
        d = depth - 1
        r = self.r
        return self.pick([
            (30, lambda: Arithmetic(r.choice("+-*"), self.num(d), self.num(d))),
            (8, lambda: Arithmetic("/", self.num(d, ("Decimal",)), self.num(d, ("Decimal",)))),
            (8, lambda: Arithmetic(r.choice(["\\", "Mod"]), self.num(d), r.choice([self.num(d), self.small(0, 7)]))),
            (4, lambda: Arithmetic("^", self.num(d), r.choice([self.small(0, 3), Negate(number_literal(1))]))),
            (6, lambda: Negate(self.num(d))),
            (10, lambda: Call(r.choice(["Abs", "Int", "Fix", "Sgn"]), self.num(d))),
            (5, lambda: Call("Round", self.num(d), *([self.small(0, 3)] if r.random() < 0.6 else []))),
            (8, lambda: Call(r.choice(["CLng", "CDbl", "CCur"]), r.choice([self.num(d), self.num(d), self.col("code")]))),
            (3, lambda: Call("Len", self.text(d))),
            (3, lambda: Call("InStr", *([self.small(1, 4)] if r.random() < 0.3 else []), self.text(d),
                             text_literal(r.choice(["a", "E", "bus", "o", "é", "z", "1"])))),
            (5, lambda: Call(r.choice(["Year", "Month", "Day"]), self.date(d))),
            (5, lambda: Call("IIf", self.cond(d), self.num(d), self.num(d))),
            (4, lambda: Call("Nz", self.num(d), self.num(d))),
            (2, lambda: Arithmetic("+", self.col("code"), r.choice([self.col("n"), self.col("i"), self.small(0, 9)]))),
            (2, lambda: DateSpan(self.date(d), self.date_lit())),
            (2, lambda: Parenthesized(self.num(d))),
        ])

    # Text

    def text_atom(self):
        return self.pick([(5, lambda: self.col("s")), (2, lambda: self.col("m")), (2, lambda: self.col("code")),
                          (3, lambda: self.text_lit(self.r.choice(TEXT_LITERALS)))])

    def text(self, depth):
        if depth <= 0 or self.r.random() < 0.3:
            return self.text_atom()
        d = depth - 1
        r = self.r
        printable = ("Decimal", "Bool")
        part = lambda: self.text(d) if r.random() < 0.6 else self.num(d, printable)
        return self.pick([
            (18, lambda: Concat(part(), part())),
            (8, lambda: TextPlus(self.text(d), self.text(d))),
            (15, lambda: Call(r.choice(["UCase", "LCase"]), self.text(d))),
            (15, lambda: Call(r.choice(["Left", "Right"]), self.text(d), self.small(0, 4))),
            (10, lambda: Call("Mid", self.text(d), self.small(1, 4), *([self.small(0, 3)] if r.random() < 0.6 else []))),
            (10, lambda: Call("CStr", self.num(d, printable))),
            (8, lambda: Call("IIf", self.cond(d), self.text(d), part())),
            (6, lambda: Call("Nz", self.text(d), self.text(d))),
        ])

    # Dates

    def date(self, depth):
        r = self.r
        if depth <= 0 or r.random() < 0.4:
            return self.col("dt") if r.random() < 0.6 else self.date_lit()
        d = depth - 1
        days = lambda: r.choice([self.col("i"), self.col("bt"), self.small(0, 40), self.small(0, 3)])
        return self.pick([
            (30, lambda: DateShift(r.choice("+-"), self.date(d), days())),
            (8, lambda: Call("IIf", self.cond(d), self.date(d), self.date(d))),
            (8, lambda: Call("Nz", self.col("dt"), self.date_lit())),
        ])

    # Conditions

    def ordered_text(self):
        return self.r.choice([self.col("s"), self.col("s"), Call("UCase", self.col("s")), Call("LCase", self.col("s")),
                              Call("Left", self.col("s"), self.small(1, 3))])

    def like_pattern(self):
        r = self.r
        pieces = []
        for _ in range(r.randint(1, 4)):
            pieces.append(self.pick([
                (3, lambda: "%"), (2, lambda: "_"), (5, lambda: r.choice(LIKE_LETTERS)),
                (1, lambda: "[" + "".join(r.sample(LIKE_LETTERS, r.randint(1, 3))) + "]"),
                (1, lambda: "[!" + "".join(r.sample(LIKE_LETTERS, r.randint(1, 2))) + "]"),
                (1, lambda: "[" + r.choice(["a-c", "b-p", "A-E", "m-z", "d-F"]) + "]"),
                (0.5, lambda: "[_]"), (0.5, lambda: "[%]"),
            ]))
        return "".join(pieces)

    def comparison_literal(self, e):
        if e.t == "DateTime":
            return self.date_lit()
        if e.t in TEXTUAL:
            return self.text_lit(self.r.choice(ORDERED_TEXTS))
        return self.literal()

    def cond(self, depth):
        r = self.r
        ops = ["=", "<>", "<", "<=", ">", ">="]
        if depth <= 0 or r.random() < 0.2:
            return self.pick([
                (6, lambda: Comparison(r.choice(ops), self.num_atom(), self.literal())),
                (2, lambda: Comparison(r.choice(ops), self.ordered_text(), self.comparison_literal(self.col("s")))),
                (2, lambda: IsNullTest(r.choice([self.num_atom(), self.text_atom(), self.col("dt")]), r.random() < 0.4)),
                (1, lambda: self.col("b")),
                (0.3, self.bool_lit),
            ])
        d = depth - 1
        sorted_pair = lambda make, pool, t: [make(v) for v in sorted(r.sample(pool, 2), key=functools.cmp_to_key(
            lambda a, b: compare(a, t, b, t)))]
        return self.pick([
            (25, lambda: Comparison(r.choice(ops), self.num(d), r.choice([self.literal(), self.num(d)]))),
            (10, lambda: Comparison(r.choice(ops), self.ordered_text(), r.choice([self.comparison_literal(self.col("s")),
                                                                                 self.ordered_text()]))),
            (4, lambda: Comparison(r.choice(["=", "<>"]), self.text(d), self.text(d))),
            (8, lambda: Comparison(r.choice(ops), self.date(d), r.choice([self.date_lit(),
                                                                         self.date(d)]))),
            (3, lambda: r.choice([
                Comparison(r.choice(ops), r.choice([self.col("n"), self.col("i"), self.col("bt")]),
                           text_literal(str(r.choice(INT_LITERALS[:12])))),
                Comparison(r.choice(ops), self.col("x"), text_literal(r.choice(["2.5", "-2", "0.1", "100"])))])),
            (4, lambda: Call("IsNull", r.choice([self.num(d), self.text(d), self.date(d)]))),
            (4, lambda: IsNullTest(r.choice([self.num(d), self.text(d), self.date(d)]), r.random() < 0.4)),
            (6, lambda: Not(self.cond(d))),
            (15, lambda: Logical(r.choice(["And", "Or"]), self.cond(d), self.cond(d))),
            (3, lambda: Logical(r.choice(["Xor", "Eqv", "Imp"]), self.cond(d), self.cond(d))),
            (2, lambda: Comparison(r.choice(ops), self.date(d),
                                   self.text_lit(date_text(r.choice(DATE_LITERALS[:4] + DATE_LITERALS[6:8]),
                                                           r.random() < 0.5)))),
            (1, lambda: Comparison(r.choice(["=", "<>"]), self.col("b"), self.bool_lit())),
            (10, lambda: Like(r.choice([self.col("s"), self.col("s"), self.col("m"), self.col("code"), self.ordered_text()]),
                              self.like_pattern(), r.random() < 0.2)),
            (3, lambda: Between(self.num(d), *sorted_pair(number_literal, INT_LITERALS[:12] + DOUBLE_LITERALS[:6],
                                                           "Double"), r.random() < 0.25)),
            (2, lambda: Between(self.date(d), *sorted_pair(date_literal, DATE_LITERALS, "DateTime"), r.random() < 0.25)),
            (2, lambda: Between(self.ordered_text(), *sorted_pair(text_literal, ORDERED_TEXTS, "Text"),
                                r.random() < 0.25)),
            (4, lambda: InList(self.num(d), [self.literal() for _ in range(r.randint(2, 4))], r.random() < 0.2)),
            (3, lambda: InList(r.choice([self.col("s"), self.col("code"), self.ordered_text()]),
                               [self.text_lit(r.choice(TEXT_LITERALS)) for _ in range(r.randint(2, 4))], r.random() < 0.2)),
            (2, lambda: self.col("b")),
        ])

    # Statements

    def value(self, depth):
        return self.pick([(50, lambda: self.num(depth)), (20, lambda: self.text(depth)), (15, lambda: self.cond(depth)),
                          (15, lambda: self.date(depth))])

    def where(self):
        return self.cond(2) if self.r.random() < 0.7 else None

    def sortable(self, depth):
        for _ in range(30):
            e = self.value(depth)
            if e.t != "Memo" and varies(e):
                return e
        return self.col("n")

    def statement(self):
        r = self.r
        return self.pick([
            (55, lambda: self.plain()),
            (15, lambda: self.grouped()),
            (8, lambda: Grouped([], self.aggregates(), self.where())),
            (10, lambda: Distinct([self.sortable(1) for _ in range(r.randint(1, 2))], self.where())),
            (12, lambda: self.top()),
        ])

    def plain(self):
        items = [self.value(3) for _ in range(self.r.randint(1, 3))]
        if self.r.random() < 0.25:
            return Plain(items, self.where(), self.sortable(2), self.r.random() < 0.4)
        return Plain(items, self.where())

    def aggregates(self):
        r = self.r
        made = []
        for _ in range(r.randint(1, 3)):
            made.append(self.pick([
                (2, lambda: Aggregate("Count")),
                (2, lambda: Aggregate("Count", r.choice([self.num_atom(), self.text_atom(), self.col("dt")]))),
                (5, lambda: Aggregate(r.choice(["Sum", "Avg"]), self.num(1))),
                (4, lambda: Aggregate(r.choice(["Min", "Max"]), r.choice([self.num(1), self.col("dt"), self.col("s"),
                                                                         self.col("b"), self.date(1)]))),
            ]))
            if made[-1].t in NUMERIC and r.random() < 0.2:
                # An expression over the aggregate: its type and value follow from the aggregate's.
                made[-1] = r.choice([lambda a: Arithmetic(r.choice("+-*"), a, self.literal()),
                                     lambda a: Call("Round", a, self.small(0, 2)),
                                     lambda a: Call("CStr", a) if a.t not in ("Decimal", "Bool") else Negate(a)])(made[-1])
        return made

    def grouped(self):
        r = self.r
        pool = [lambda: Call("UCase", self.col("s")), lambda: Call("Left", Call("UCase", self.col("s")), number_literal(1)),
                lambda: self.col("n"), lambda: self.col("b"), lambda: self.col("i"), lambda: self.col("bt"),
                lambda: Call("Year", self.col("dt")), lambda: self.col("cur"), lambda: self.col("dz"),
                lambda: Arithmetic("Mod", self.col("n"), number_literal(3)), lambda: Call("IsNull", self.col("x")),
                lambda: self.col("x"), lambda: Call("LCase", self.col("s")), lambda: self.col("s"), lambda: self.col("code")]
        keys = [f() for f in r.sample(pool, r.randint(1, 2))]
        having = None
        if r.random() < 0.3:
            having = Comparison(r.choice([">", ">=", "<"]), r.choice([Aggregate("Count"), Aggregate("Sum", self.col("n")),
                                                                    Aggregate("Max", self.col("x"))]), self.small(0, 5))
        return Grouped(keys, self.aggregates(), self.where(), having, r.random() < 0.5)

    def top(self):
        r = self.r
        key = r.choice([self.col("n"), self.col("x"), self.col("i"), self.col("bt"), self.col("cur"), self.col("dec"), self.col("dt"),
                        self.col("s"), Call("UCase", self.col("s")), self.col("b"), Arithmetic("Mod", self.col("n"),
                        number_literal(3)), Call("Year", self.col("dt")), self.sortable(1)])
        percent = r.random() < 0.25
        count = r.randint(10, 60) if percent else r.randint(1, 6)
        items = [self.value(2) for _ in range(r.randint(0, 2))]
        return Top(count, percent, key, r.random() < 0.4, items, self.where())


# ---- The table as the reference reads it, and the file the writer makes of it

def reference_rows():
    rows = []
    for values in ROWS:
        row = {}
        for (name, kind), v in zip(COLUMNS, values):
            t = COLUMN_TYPE[kind]
            if v is None:
                row[name] = None
            elif t in ("Bool",):
                row[name] = -1 if v else 0
            elif t in WHOLE:
                row[name] = v
            elif t == "Double":
                row[name] = float(v)
            elif t == "Single":
                row[name] = single(float(v))
            elif t == "Currency":
                row[name] = half_even(Fraction(Decimal(v)) * 10000)
            elif t == "Decimal":
                row[name] = Decimal(v).quantize(Decimal(1).scaleb(-int(kind.split(",")[1].rstrip(")"))))
            elif t == "DateTime":
                when = datetime.datetime.fromisoformat(v if " " in v else v + " 00:00:00")
                row[name] = (when - EPOCH) // datetime.timedelta(milliseconds=1)
            else:
                row[name] = v
        rows.append(row)
    return rows


def tsv():
    return "".join("\t".join("\\N" if v is None else str(v) for v in values) + "\n" for values in ROWS)


# ---- The driver's answer: its column types, then each fetch's row or SQLSTATE.

def odbc_type(description):
    python_type, size, scale = description[1], description[3], description[5]
    if python_type is bool:
        return "BIT"
    if python_type is int:
        return {3: "TINYINT", 5: "SMALLINT", 10: "INTEGER", 19: "BIGINT"}.get(size, "INT(%d)" % size)
    if python_type is float:
        return {7: "REAL", 15: "DOUBLE"}.get(size, "FLOAT(%d)" % size)
    if python_type is Decimal:
        return "DECIMAL" if (size, scale) == (19, 4) else "NUMERIC"
    if python_type is datetime.datetime:
        return "TIMESTAMP"
    if python_type is str:
        return "WLONGVARCHAR" if size >= 1073741823 else "WVARCHAR"
    return repr(python_type)


def state_of(error):
    return error.args[0] if error.args else "?"


def ask(connection, text):
    cursor = connection.cursor()
    try:
        cursor.execute(text)
    except pyodbc.Error as e:
        return None, [("error", state_of(e))]
    types = [odbc_type(d) for d in cursor.description]
    items = []
    while len(items) <= 2 * len(ROWS):
        try:
            row = cursor.fetchone()
        except pyodbc.Error as e:
            state = state_of(e)
            if items and items[-1][0] == "error" and state == "HY000":
                break  # the failure ended the statement
            items.append(("error", state))
            continue
        if row is None:
            break
        items.append(("row", tuple(canon(v) for v in row)))
    cursor.close()
    return types, items


def ordered_match(expected, got):
    """The rows in order; an error where the reference has one (the next rows may follow), or one
    the reference has further on when the statement ends there (rows computed ahead failed)."""
    at = 0
    for position, (kind, value) in enumerate(got):
        last = position == len(got) - 1
        if kind == "row":
            if at < len(expected) and expected[at] == ("row", value):
                at += 1
                continue
            return False
        if at < len(expected) and expected[at][0] == "error" and value in expected[at][1]:
            at += 1
            if last:
                return True
            continue
        return last and any(k == "error" and value in states for k, states in expected[at:])
    return at == len(expected)


def unordered_match(expected, got):
    expected_rows = sorted(repr(v) for k, v in expected if k == "row")
    got_rows = sorted(repr(v) for k, v in got if k == "row")
    expected_states = set().union(*[states for k, states in expected if k == "error"])
    got_states = [v for k, v in got if k == "error"]
    if not expected_states:
        return not got_states and expected_rows == got_rows
    remaining = list(expected_rows)
    for r in got_rows:
        if r not in remaining:
            return False
        remaining.remove(r)
    return bool(got_states) and all(s in expected_states for s in got_states)


def key_sequence(items, column):
    return [fold(v[column]) if isinstance(v[column], str) else v[column] for k, v in items if k == "row"]


def agrees(expected, types, got):
    if types is not None and types != expected.types:
        return False
    if expected.ordered:
        return ordered_match(expected.items, got)
    if not unordered_match(expected.items, got):
        return False
    if expected.key_column is not None and all(k == "row" for k, _ in expected.items):
        return key_sequence(expected.items, expected.key_column) == key_sequence(got, expected.key_column)
    return True


def described(items):
    return "; ".join(("|".join("NULL" if x is None else shown(x) for x in v) if k == "row"
                      else "error " + (v if isinstance(v, str) else "/".join(sorted(v)))) for k, v in items) or "(no rows)"


# ---- The test

WORK = tempfile.mkdtemp(prefix="mdbodbc-differential-")
FILE = os.path.join(WORK, "random.mdb")


def setUpModule():
    args = [MKMDB, FILE, "--table", "t"]
    for name, kind in COLUMNS:
        args += ["--column", name + ":" + kind]
    subprocess.run(args + ["--rows", "-"], input=tsv().encode(), check=True)
    with open(os.path.join(WORK, "odbcinst.ini"), "w") as f:
        f.write(f"[{DRIVER_NAME}]\nDriver = {DRIVER}\n")
    os.environ["ODBCSYSINI"] = WORK


def tearDownModule():
    shutil.rmtree(WORK, ignore_errors=True)


class DifferentialTest(unittest.TestCase):
    def test_random_statements_answer_as_the_reference_predicts(self):
        rows = reference_rows()
        generator = Generator(random.Random(SEED))
        connection = pyodbc.connect(f"DRIVER={{{DRIVER_NAME}}};DBQ={FILE}", autocommit=True)
        compared = left_open = failing = 0
        reasons, faults, shapes = {}, {}, {}
        mismatches = []
        started = time.monotonic()
        while compared < COUNT and left_open < 50 * COUNT:
            statement = generator.statement()
            try:
                expected = statement.expect(rows)
            except LeftOpen as e:
                left_open += 1
                reasons[str(e)] = reasons.get(str(e), 0) + 1
                continue
            except LibraryFault as e:
                left_open += 1
                faults[str(e)] = faults.get(str(e), 0) + 1
                continue
            compared += 1
            failing += any(k == "error" for k, _ in expected.items)
            shape = type(statement).__name__ if statement.where is None else type(statement).__name__ + " WHERE"
            shapes[shape] = shapes.get(shape, 0) + 1
            types, got = ask(connection, statement.sql())
            if not agrees(expected, types, got):
                mismatches.append("%s\n  expected: %s\n            %s\n  actual:   %s\n            %s" % (
                    statement.sql(), "|".join(expected.types), described(expected.items),
                    "|".join(types) if types else "-", described(got)))
        connection.close()
        print("\nseed %d: %d statements compared (%d expected to fail) in %.1f s; %d replaced" % (
            SEED, compared, failing, time.monotonic() - started, left_open))
        print("  " + ", ".join("%s %d" % item for item in sorted(shapes.items())))
        for reason, count in sorted(reasons.items(), key=lambda item: -item[1]):
            print("  %4d left open: %s" % (count, reason))
        for name, count in faults.items():
            print("  %4d on a known fault of the function library: %s" % (count, LIBRARY_FAULTS[name]))
        for m in mismatches:
            print("MISMATCH " + m)
        self.assertEqual(compared, COUNT)
        self.assertEqual(len(mismatches), 0, "%d of %d statements differ from the reference" % (len(mismatches), compared))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
