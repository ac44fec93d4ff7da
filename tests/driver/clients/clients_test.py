"""The driver through the clients people use: pyodbc, isql and iusql, with a data source in
odbc.ini and with a DRIVER= connection string, on a file made by the project's writer, and on
an encrypted one whose password comes from PWD=, the data source or isql's password argument.

Usage: clients_test.py MKMDB DRIVER_SO  (run with Debian's /usr/bin/python3, which has pyodbc)
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

try:
    import pyodbc
except ImportError:  # the project's tests skip, saying why, with exit status 77
    print("skipped: pyodbc is not installed (Debian package python3-pyodbc)")
    sys.exit(77)

MKMDB, DRIVER = sys.argv[1], sys.argv[2]
DRIVER_NAME = "MICROSOFT ACCESS DRIVER (*.mdb)"
WORK = tempfile.mkdtemp(prefix="mdbodbc-clients-")
FILE = os.path.join(WORK, "planes.mdb")
SECRET = os.path.join(WORK, "secret.accdb")
PASSWORD = "Mot de passe é"

COLUMNS = ["s:text(50)", "m:memo", "l:long", "d:double", "dt:datetime", "b:yesno"]
N = "\\N"
ROWS = [
    ["Airbus", "memo a", "1", "1.5", "1900-02-28", "1"],
    ["boeing", "bravo", "20", "-2", "2000-01-01", "0"],
    ["Éclair", "éclair long", "30", "0", "2000-01-01 10:30:00", "1"],
    [N, N, N, N, N, "0"],
    ["", "", "0", "0", "1999-12-31 23:59:59", "1"],
    ["Cessna", "ananas", "11", "3.25", "2024-07-14", "0"],
    ["d'Artagnan", "x", "5", "100", "1850-06-15", "1"],
    ["ÉCLAIR", "ÆRØ", "12", "7", "2001-01-01", "0"],
    ["zeta", "%percent", "9", "9", "2000-01-02", "1"],
    ["Antonov", "Антонов", "100", "-1", "1899-12-30", "0"],
    ["under_score", "under_score", "8", "8", "2010-10-10", "1"],
    ["Piper", N, N, "2.5", "2000-01-01", "0"],
    ["AIRBUS", "memo b", "13", "13", "0100-01-01", "1"],
]

# The wrong answers of the former engine, each with its right answer (None: an error).
CASES = [
    ("SELECT COUNT(*) FROM t WHERE s IS NULL", [["1"]]),
    ("SELECT COUNT(*) FROM t WHERE dt IS NOT NULL", [["12"]]),
    ("SELECT l FROM t WHERE dt > '2000-01-01' ORDER BY dt", [["30"], ["9"], ["12"], ["8"], ["11"]]),
    ("SELECT COUNT(*) FROM t WHERE dt = {d '2000-01-01'}", [["2"]]),
    ("SELECT COUNT(*) FROM t WHERE l = 0", [["1"]]),
    ("SELECT COUNT(*) FROM t WHERE s = ''", [["1"]]),
    ("SELECT s FROM t WHERE nope = 1", None),
    ("SELECT COUNT(*) FROM t WHERE l > 10", [["6"]]),
    ("SELECT COUNT(*) FROM t WHERE m LIKE '%a%'", [["4"]]),
    ("SELECT l AS n FROM t WHERE (s = 'd''Artagnan' OR l = 9) AND l != 0 ORDER BY n", [["5"], ["9"]]),
    ("SELECT l FROM t WHERE s = 'airbus' ORDER BY l", [["1"], ["13"]]),
    ("SELECT l FROM t WHERE s = 'éclair' ORDER BY l", [["12"], ["30"]]),
]


def run(command, stdin_text):
    environment = dict(os.environ)
    if command[0] == "iusql" and "LD_PRELOAD" in environment:
        # iusql 2.3.11 copies a string onto itself (strncpy with overlapping ranges), which the
        # sanitizer's runtime, loaded first in a sanitizer build, would stop.
        environment["ASAN_OPTIONS"] = environment.get("ASAN_OPTIONS", "") + ":replace_str=0"
    started = time.monotonic()
    done = subprocess.run(command, input=stdin_text.encode(), capture_output=True, timeout=30, env=environment)
    return done, time.monotonic() - started


def setUpModule():
    tsv = "\n".join("\t".join(row) for row in ROWS) + "\n"
    args = [MKMDB, FILE, "--table", "t"]
    for column in COLUMNS:
        args += ["--column", column]
    subprocess.run(args + ["--rows", "-"], input=tsv.encode(), check=True)
    subprocess.run([MKMDB, SECRET, "--accdb", "--encrypt", "agile", "--password", PASSWORD,
                    "--table", "t", "--column", "s:text(50)", "--generate", "7"], check=True)
    with open(os.path.join(WORK, "odbcinst.ini"), "w") as f:
        f.write(f"[{DRIVER_NAME}]\nDriver = {DRIVER}\n")
    with open(os.path.join(WORK, "odbc.ini"), "w") as f:
        f.write(f"[planes]\nDriver = {DRIVER_NAME}\nDBQ = {FILE}\n\n[nofile]\nDriver = {DRIVER_NAME}\n\n"
                f"[secret]\nDriver = {DRIVER_NAME}\nDBQ = {SECRET}\nPWD = {PASSWORD}\n\n"
                f"[secretnopwd]\nDriver = {DRIVER_NAME}\nDBQ = {SECRET}\n")
    os.environ["ODBCSYSINI"] = WORK
    os.environ["LC_ALL"] = "C.UTF-8"  # iusql reads its input in the locale's encoding


def tearDownModule():
    shutil.rmtree(WORK, ignore_errors=True)


def text_rows(rows):
    return [["NULL" if v is None else str(v) for v in row] for row in rows]


class PyodbcTest(unittest.TestCase):
    def connect(self):
        # The default connect: autocommit off, as pyodbc asks.
        return pyodbc.connect(f"DRIVER={{{DRIVER_NAME}}};DBQ={FILE}")

    def test_every_case_gives_its_right_answer(self):
        with self.connect() as connection:
            for statement, expected in CASES:
                with self.subTest(statement=statement):
                    cursor = connection.cursor()
                    if expected is None:
                        with self.assertRaises(pyodbc.Error):
                            cursor.execute(statement)
                    else:
                        self.assertEqual(text_rows(cursor.execute(statement).fetchall()), expected)

    def test_data_source_parameters_fetchmany_and_description(self):
        with pyodbc.connect("DSN=planes") as connection:
            cursor = connection.cursor()
            cursor.execute("SELECT s, l, d, dt, b, m FROM t WHERE dt >= ? AND l < ? ORDER BY dt",
                           "2000-01-01", 100)
            self.assertEqual([d[0] for d in cursor.description], ["s", "l", "d", "dt", "b", "m"])
            self.assertEqual([d[1] for d in cursor.description], [str, int, float, __import__("datetime").datetime, bool, str])
            self.assertEqual(cursor.description[0][3], 50)
            first = cursor.fetchmany(2)
            self.assertEqual([r[0] for r in first], ["boeing", "Éclair"])
            self.assertEqual(str(first[1][3]), "2000-01-01 10:30:00")
            self.assertEqual(first[1][4], True)
            self.assertEqual([r[0] for r in cursor.fetchall()], ["zeta", "ÉCLAIR", "under_score", "Cessna"])
            self.assertEqual(cursor.execute("SELECT COUNT(*) FROM t WHERE dt = ?",
                                            __import__("datetime").datetime(2000, 1, 1)).fetchone()[0], 2)

    def test_tables_and_columns(self):
        with self.connect() as connection:
            cursor = connection.cursor()
            self.assertEqual([(r.table_name, r.table_type) for r in cursor.tables(tableType="TABLE")], [("t", "TABLE")])
            columns = cursor.columns(table="t").fetchall()
            self.assertEqual([(c.column_name, c.type_name, c.ordinal_position) for c in columns],
                             [("s", "VARCHAR", 1), ("m", "LONGCHAR", 2), ("l", "INTEGER", 3),
                              ("d", "DOUBLE", 4), ("dt", "DATETIME", 5), ("b", "BIT", 6)])
            self.assertEqual(columns[0].column_size, 50)

    def test_connection_without_a_file_is_a_clear_error(self):
        for connect in ("DSN=nofile", f"DRIVER={{{DRIVER_NAME}}};DBQ={WORK}/missing.mdb"):
            with self.subTest(connect=connect):
                with self.assertRaises(pyodbc.Error) as raised:
                    pyodbc.connect(connect)
                self.assertTrue("DBQ" in str(raised.exception) or "missing.mdb" in str(raised.exception))


class IsqlTest(unittest.TestCase):
    # isql and iusql print a NULL as nothing. iusql takes only a data source name, and widens
    # and narrows its text one byte per character, so only ASCII statements go through it.
    CLIENTS = [["isql", "-b", "-v", "-d|", "planes"], ["iusql", "-b", "-v", "-d|", "planes"],
               ["isql", "-b", "-v", "-d|", "-k", f"DRIVER={{{DRIVER_NAME}}};DBQ={FILE}"]]

    def test_every_case_gives_its_right_answer(self):
        for client in self.CLIENTS:
            for statement, expected in CASES:
                if client[0] == "iusql" and not statement.isascii():
                    continue
                with self.subTest(client=" ".join(client[:1] + client[4:]), statement=statement):
                    done, _ = run(client, statement + "\n")
                    output = done.stdout.decode()
                    if expected is None:
                        self.assertIn("[mdbodbc]Column nope not found", output + done.stderr.decode())
                    else:
                        lines = [line for line in output.splitlines() if line]
                        self.assertEqual(lines, ["|".join("" if v == "NULL" else v for v in row) for row in expected])

    def test_help_lists_the_tables_and_columns(self):
        done, _ = run(["isql", "-b", "-v", "-d|", "planes"], "help\nhelp t\n")
        output = done.stdout.decode()
        self.assertIn("|t|TABLE|", output)
        # isql is an ODBC 2 application: it sees the date type by its ODBC 2 code.
        self.assertIn("|t|dt|11|DATETIME|19|", output)


class PasswordTest(unittest.TestCase):
    COUNT = "SELECT COUNT(*) FROM t"

    def test_pyodbc_takes_the_password_from_the_string_or_the_data_source(self):
        for connect in (f"DRIVER={{{DRIVER_NAME}}};DBQ={SECRET};PWD={{{PASSWORD}}}", "DSN=secret",
                        f"DSN=secretnopwd;PWD={PASSWORD}"):
            with self.subTest(connect=connect), pyodbc.connect(connect) as connection:
                self.assertEqual(connection.cursor().execute(self.COUNT).fetchone()[0], 7)
        for connect in (f"DRIVER={{{DRIVER_NAME}}};DBQ={SECRET}", "DSN=secretnopwd",
                        "DSN=secret;PWD=wrong"):
            with self.subTest(connect=connect):
                with self.assertRaises(pyodbc.Error) as raised:
                    pyodbc.connect(connect)
                self.assertIn("28000", str(raised.exception))
                self.assertNotIn(PASSWORD, str(raised.exception))

    def test_isql_takes_the_password_from_the_string_or_its_argument(self):
        for client in (["isql", "-b", "-k", f"DRIVER={{{DRIVER_NAME}}};DBQ={SECRET};PWD={PASSWORD}"],
                       ["isql", "-b", "secretnopwd", "user", PASSWORD]):
            with self.subTest(client=client[-1]):
                done, _ = run(client, self.COUNT + "\n")
                self.assertIn("| 7", done.stdout.decode(), done.stderr.decode())
        done, _ = run(["isql", "-b", "-v", "secretnopwd"], self.COUNT + "\n")
        self.assertIn("[28000]", done.stdout.decode() + done.stderr.decode())


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
