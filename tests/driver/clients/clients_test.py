"""The driver through the clients people use: pyodbc (also on eight threads at once), isql and
iusql, PHP (odbc_* and PDO_ODBC), Perl's DBD::ODBC and GDAL's ogrinfo and ogr2ogr, with a data
source in odbc.ini and with a DRIVER= connection string, on a file made by the project's writer,
and on an encrypted one whose password comes from PWD=, the data source or isql's password
argument.

Usage: clients_test.py MKMDB DRIVER_SO  (run with Debian's /usr/bin/python3, which has pyodbc)
"""
import csv
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import unittest

try:
    import pyodbc
except ImportError:  # the project's tests skip, saying why, with exit status 77
    print("skipped: pyodbc is not installed (Debian package python3-pyodbc)")
    sys.exit(77)

MKMDB, DRIVER = sys.argv[1], sys.argv[2]
# The names the driver is registered under, and the old spelling that still finds it.
REGISTERED_NAMES = ["Microsoft Access Driver (*.mdb, *.accdb)", "Microsoft Access Driver (*.mdb)"]
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
    write_driver_list()
    with open(os.path.join(WORK, "odbc.ini"), "w") as f:
        f.write(f"[planes]\nDriver = {DRIVER_NAME}\nDBQ = {FILE}\n\n[nofile]\nDriver = {DRIVER_NAME}\n\n"
                f"[secret]\nDriver = {DRIVER_NAME}\nDBQ = {SECRET}\nPWD = {PASSWORD}\n\n"
                f"[secretnopwd]\nDriver = {DRIVER_NAME}\nDBQ = {SECRET}\n")
    os.environ["ODBCSYSINI"] = WORK
    os.environ["LC_ALL"] = "C.UTF-8"  # iusql reads its input in the locale's encoding


def write_driver_list(folder=WORK):
    with open(os.path.join(folder, "odbcinst.ini"), "w") as f:
        f.write("".join(f"[{name}]\nDriver = {DRIVER}\n\n" for name in REGISTERED_NAMES))


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

    def test_exact_values_reach_python_and_isql_as_stored(self):
        exact = os.path.join(WORK, "exact.mdb")
        rows = ("1000000\t102030405060.654321\t2000-01-01 17:51:48.701\n"
                "0.0001\t-0.000001\t1850-06-15 00:00:00.5\n"
                "-922337203685477.5808\t0\t9999-12-31 23:59:59.999\n")
        subprocess.run([MKMDB, exact, "--table", "v", "--column", "c:currency", "--column", "d:decimal(18,6)",
                        "--column", "t:datetime", "--rows", "-"], input=rows.encode(), check=True)
        dt = __import__("datetime").datetime
        dec = __import__("decimal").Decimal
        with pyodbc.connect(f"DRIVER={{{DRIVER_NAME}}};DBQ={exact}") as connection:
            got = [tuple(r) for r in connection.cursor().execute("SELECT c, d, t FROM v")]
            total = connection.cursor().execute("SELECT SUM(c), SUM(d) FROM v").fetchone()
        self.assertEqual(got, [(dec("1000000.0000"), dec("102030405060.654321"), dt(2000, 1, 1, 17, 51, 48, 701000)),
                               (dec("0.0001"), dec("-0.000001"), dt(1850, 6, 15, 0, 0, 0, 500000)),
                               (dec("-922337203685477.5808"), dec("0.000000"), dt(9999, 12, 31, 23, 59, 59, 999000))])
        self.assertEqual(tuple(total), (dec("-922337202685477.5807"), dec("102030405060.654320")))
        done, _ = run(["isql", "-b", "-v", "-d|", "-k", f"DRIVER={{{DRIVER_NAME}}};DBQ={exact}"], "SELECT c, d, t FROM v\n")
        lines = [l for l in done.stdout.decode().splitlines() if l.count("|") == 2]
        self.assertEqual(lines, ["1000000.0000|102030405060.654321|2000-01-01 17:51:48.701",
                                 "0.0001|-0.000001|1850-06-15 00:00:00.500",
                                 "-922337203685477.5808|0.000000|9999-12-31 23:59:59.999"])

    def test_tables_and_columns(self):
        with self.connect() as connection:
            cursor = connection.cursor()
            self.assertEqual([(r.table_name, r.table_type) for r in cursor.tables(tableType="TABLE")], [("t", "TABLE")])
            columns = cursor.columns(table="t").fetchall()
            self.assertEqual([(c.column_name, c.type_name, c.ordinal_position) for c in columns],
                             [("s", "VARCHAR", 1), ("m", "LONGCHAR", 2), ("l", "INTEGER", 3),
                              ("d", "DOUBLE", 4), ("dt", "DATETIME", 5), ("b", "BIT", 6)])
            self.assertEqual(columns[0].column_size, 50)

    def test_eight_threads_each_with_its_connection(self):
        expected = sorted([["NULL" if v == N else v for v in (r[0], r[2])] for r in ROWS])
        answers, failures = [], []

        def read():
            try:
                with self.connect() as connection:
                    cursor = connection.cursor()
                    for _ in range(20):
                        rows = cursor.execute("SELECT s, l FROM t WHERE l >= ? OR l IS NULL", -1).fetchall()
                        answers.append(sorted(text_rows(rows)))
            except pyodbc.Error as error:
                failures.append(str(error))

        threads = [threading.Thread(target=read) for _ in range(8)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join(120)
        self.assertEqual(failures, [])
        self.assertEqual(len(answers), 8 * 20)
        for answer in answers:
            self.assertEqual(answer, expected)

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
        self.assertIn("|t|dt|11|DATETIME|23|", output)


def client_output(command, script=None, suffix=""):
    """Runs a client on a script file; returns its standard output, failing on any other end."""
    if script is not None:
        path = os.path.join(WORK, "script" + suffix)
        with open(path, "w") as f:
            f.write(script)
        command = command + [path]
    done = subprocess.run(command + [FILE], capture_output=True, timeout=120)
    if done.returncode != 0:
        raise AssertionError(f"{command[0]} ended with {done.returncode}: {done.stderr.decode(errors='replace')}")
    return done.stdout.decode()


PHP_SCRIPT = r"""<?php
$dsn = "DRIVER={Microsoft Access Driver (*.mdb)};DBQ=" . $argv[1];
$c = odbc_connect($dsn, "", "");
if (!$c) { fwrite(STDERR, odbc_errormsg()); exit(1); }
$r = odbc_exec($c, "SELECT s, l FROM t WHERE l BETWEEN 10 AND 20 ORDER BY l");
while ($row = odbc_fetch_array($r)) echo "exec|", $row["s"], "|", $row["l"], "\n";
$s = odbc_prepare($c, "SELECT s FROM t WHERE l > ? AND s <> ? ORDER BY l");
odbc_execute($s, [11, "zeta"]);
while ($row = odbc_fetch_array($s)) echo "prepared|", $row["s"], "\n";
odbc_close($c);
// PDO_ODBC sends every bound value at execution time (SQLPutData).
$p = new PDO("odbc:" . $dsn);
$p->setAttribute(PDO::ATTR_ERRMODE, PDO::ERRMODE_EXCEPTION);
$st = $p->prepare("SELECT s, m FROM t WHERE s = ? OR l = ? ORDER BY l");
$st->bindValue(1, "Éclair");
$st->bindValue(2, 100, PDO::PARAM_INT);
$st->execute();
foreach ($st->fetchAll(PDO::FETCH_NUM) as $row) echo "pdo|", implode("|", $row), "\n";
$st = $p->prepare("SELECT COUNT(*) FROM t WHERE m LIKE ?");
foreach (["%a%", str_repeat("x", 5000)] as $pattern) { $st->execute([$pattern]); echo "pdo-count|", $st->fetchColumn(), "\n"; }
try { $p->query("SELECT nope FROM t"); } catch (PDOException $e) { echo "pdo-error|", $e->getCode(), "\n"; }
"""

PERL_SCRIPT = r"""use strict; use warnings; use DBI;
# Text arrives as the driver's narrow form, UTF-8, and is written out as it came.
my $dbh = DBI->connect("dbi:ODBC:DRIVER={Microsoft Access Driver (*.mdb, *.accdb)};DBQ=$ARGV[0]", "", "",
                       {RaiseError => 1, PrintError => 0});
print join("|", "select", @$_), "\n"
  for @{$dbh->selectall_arrayref("SELECT s, l FROM t WHERE l >= ? AND l < ? ORDER BY l", undef, 12, 31)};
my $sth = $dbh->prepare("SELECT COUNT(*) FROM t WHERE s = ?");
for my $name ("airbus", "nobody") { $sth->execute($name); print "count|$name|", $sth->fetchrow_array, "\n"; $sth->finish; }
print "tables|", join(",", map { $_->[2] } @{$dbh->table_info(undef, undef, "%", "TABLE")->fetchall_arrayref}), "\n";
eval { $dbh->do("DELETE FROM t") };
print "refused|", $dbh->state, "\n";
$dbh->disconnect;
"""


@unittest.skipUnless(shutil.which("php"), "php is not installed (Debian packages php-cli php-odbc)")
@unittest.skipIf("libasan" in os.environ.get("LD_PRELOAD", ""),
                 "PHP loads its extensions with RTLD_DEEPBIND, which the sanitizer runtime refuses")
class PhpTest(unittest.TestCase):
    def test_odbc_functions_and_pdo_with_bound_values(self):
        self.assertEqual(client_output(["php"], PHP_SCRIPT, ".php").splitlines(), [
            "exec|Cessna|11", "exec|ÉCLAIR|12", "exec|AIRBUS|13", "exec|boeing|20",
            "prepared|ÉCLAIR", "prepared|AIRBUS", "prepared|boeing", "prepared|Éclair", "prepared|Antonov",
            "pdo|ÉCLAIR|ÆRØ", "pdo|Éclair|éclair long", "pdo|Antonov|Антонов",
            "pdo-count|4", "pdo-count|0", "pdo-error|42S22"])


@unittest.skipUnless(shutil.which("perl") and subprocess.run(["perl", "-MDBD::ODBC", "-e1"]).returncode == 0,
                     "Perl's DBD::ODBC is not installed (Debian package libdbd-odbc-perl)")
class PerlTest(unittest.TestCase):
    def test_dbi_statements_with_parameters(self):
        self.assertEqual(client_output(["perl"], PERL_SCRIPT, ".pl").splitlines(), [
            "select|ÉCLAIR|12", "select|AIRBUS|13", "select|boeing|20", "select|Éclair|30",
            "count|airbus|2", "count|nobody|0", "tables|t", "refused|42000"])


@unittest.skipUnless(shutil.which("ogrinfo"), "GDAL is not installed (Debian package gdal-bin)")
class GdalTest(unittest.TestCase):
    # GDAL looks the driver up as "Microsoft Access Driver (*.mdb, *.accdb)" first. On a machine
    # with mdbtools' ODBC driver it also registers that one as "Microsoft Access Driver (*.mdb)"
    # in the odbcinst.ini in use; each run has a list of its own, made anew, and the dynamic
    # loader's log shows which driver answered.
    def run_gdal(self, command):
        folder = os.path.join(WORK, "gdal")
        os.makedirs(folder, exist_ok=True)
        write_driver_list(folder)
        open(os.path.join(folder, "odbc.ini"), "w").close()
        environment = dict(os.environ, LD_DEBUG="files", ODBCSYSINI=folder)
        done = subprocess.run(command, capture_output=True, timeout=120, env=environment)
        loaded = done.stderr.decode(errors="replace")
        self.assertIn(f"file={DRIVER} ", loaded, "GDAL did not load this driver")
        self.assertNotIn("libmdb.so", loaded, "GDAL read the file through mdbtools")
        self.assertEqual(done.returncode, 0, loaded[-2000:])
        return done.stdout.decode()

    def test_ogrinfo_lists_and_reads_every_table(self):
        self.assertIn("1: t", self.run_gdal(["ogrinfo", "-ro", FILE]).splitlines())
        everything = self.run_gdal(["ogrinfo", "-ro", "-al", FILE])
        self.assertIn(f"Feature Count: {len(ROWS)}", everything)
        for value in ["s (String) = d'Artagnan", "m (String) = Антонов", "l (Integer) = 100",
                      "d (Real) = 3.25", "dt (DateTime) = 1850/06/15 00:00:00"]:
            self.assertIn(value, everything)

    def test_ogr2ogr_copies_a_table_to_csv_and_to_geopackage(self):
        output = os.path.join(WORK, "t.csv")
        self.run_gdal(["ogr2ogr", "-f", "CSV", output, FILE, "t"])
        with open(output, encoding="utf-8") as f:
            copied = list(csv.DictReader(f))
        self.assertEqual([(r["s"], r["l"]) for r in copied], [(r[0] if r[0] != N else "", r[2] if r[2] != N else "")
                                                               for r in ROWS])
        package = os.path.join(WORK, "t.gpkg")
        self.run_gdal(["ogr2ogr", "-f", "GPKG", package, FILE, "t"])
        done = subprocess.run(["ogrinfo", "-ro", "-so", package, "t"], capture_output=True, timeout=60)
        self.assertIn(f"Feature Count: {len(ROWS)}", done.stdout.decode())


class HostSafetyTest(unittest.TestCase):
    # A process whose libm cannot give the math functions (here a libm.so.6 without them, found
    # first) gets an SQL error from the statement that needs one, and goes on.
    def test_math_without_libm_is_an_error_of_the_statement(self):
        needed = subprocess.run(["readelf", "-d", DRIVER], capture_output=True).stdout.decode()
        if "libm.so" in needed or "libstdc++" in needed:
            self.skipTest("this build of the driver links libm (through a shared C++ runtime)")
        empty_libm = os.path.join(WORK, "emptylibm")
        os.makedirs(empty_libm, exist_ok=True)
        subprocess.run(["cc", "-shared", "-o", os.path.join(empty_libm, "libm.so.6"), "-Wl,-soname,libm.so.6",
                        "-x", "c", "/dev/null"], check=True)
        environment = dict(os.environ, LD_LIBRARY_PATH=empty_libm)
        done = subprocess.run(["isql", "-b", "-v", "-d|", "-k", f"DRIVER={{{DRIVER_NAME}}};DBQ={FILE}"],
                              input=b"SELECT Sin(l) FROM t WHERE l = 1\nSELECT s FROM t WHERE l = 1\n",
                              capture_output=True, timeout=30, env=environment)
        output = done.stdout.decode() + done.stderr.decode()
        self.assertGreaterEqual(done.returncode, 0, "isql was killed by a signal")
        self.assertIn("the math library cannot be used: libm.so.6 has no sin", output)
        self.assertIn("Airbus", output)


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
