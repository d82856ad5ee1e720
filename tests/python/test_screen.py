"""The screen on a local Dask cluster of two worker processes: its table equals single runs, a
worker killed in the middle costs no row, and --resume completes an interrupted table without
repeating rows."""

import csv
import json
import os
import signal

import pytest

import tarnell
from tarnell.screening import rows_done

distributed = pytest.importorskip("distributed")

SOURCE = os.environ.get("TARNELL_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
REALWORLD = os.path.join(SOURCE, "tests", "data", "realworld")
FILES = [os.path.join(REALWORLD, name) for name in (
    "La2Zr2O7.cif", "MgAl2O4-spinel.cif", "KCl.cif", "Fe2SiO4-fayalite.cif", "SiO2-quartz.cif",
    "CaCO3-calcite.cif", "Al2O3-corundum.cif", "BiFeO3.cif", "PMN-PT.cif", "pyrope.cif")]


@pytest.fixture(scope="module")
def cluster():
    from distributed import LocalCluster
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                      dashboard_address=None) as local:
        yield local


def table(path):
    with open(path, newline="", encoding="utf-8") as rows:
        return list(csv.DictReader(rows))


def test_the_table_equals_single_runs(cluster, tmp_path):
    out = tmp_path / "screen.csv"
    broken = tmp_path / "broken.cif"
    broken.write_text("data_x\n_cell_length_a 4\n")
    counts = tarnell.screen(FILES + [str(broken)], str(out), scheduler=cluster.scheduler_address,
                            progress=False)
    assert counts == {"done": len(FILES), "failed": 1, "skipped": 0}
    rows = {row["file"]: row for row in table(out)}
    assert set(rows) == set(FILES) | {str(broken)}
    for path in FILES:
        single = tarnell.calculate(tarnell.read(path))
        gii = single["valence_summary"]["gii"]
        row = rows[path]
        assert row["status"] == "ok"
        assert int(row["sites"]) == len(single["sites"]["label"])
        if gii is None:
            assert row["gii"] == ""
        else:
            assert float(row["gii"]) == pytest.approx(gii, rel=1e-12)
    assert rows[str(broken)]["status"] == "failed" and rows[str(broken)]["message"]
    # The JSON lines hold the same rows.
    assert set(rows_done(str(out))) == set(rows)


def test_a_worker_killed_in_the_middle_costs_no_row(cluster, tmp_path):
    from distributed import Client
    out = tmp_path / "screen.csv"
    with Client(cluster.scheduler_address) as client:
        victim = sorted(client.run(os.getpid).values())[0]
    killed = []

    def kill_one_worker(row):
        if not killed:
            killed.append(victim)
            os.kill(victim, signal.SIGKILL)  # as the machine's OOM killer would

    # With landscapes each task takes a while, so the killed worker has one in hand; a file
    # named twice is one row.
    counts = tarnell.screen(FILES + FILES[:3], str(out), landscape="O2-",
                            options={"landscape": {"step": 0.3}},
                            scheduler=cluster.scheduler_address, progress=False,
                            on_row=kill_one_worker)
    assert killed
    assert counts["done"] + counts["failed"] == len(FILES)  # one row per input file
    rows = table(out)
    assert sorted(row["file"] for row in rows) == sorted(FILES)
    assert all(row["status"] == "ok" for row in rows)
    assert all(row["threshold_3d"] != "" or row["threshold_1d"] == "" for row in rows)


def test_resume_completes_an_interrupted_table_without_repeating_rows(cluster, tmp_path):
    out = tmp_path / "screen.csv"
    tarnell.screen(FILES[:4], str(out), scheduler=cluster.scheduler_address, progress=False)
    # An interruption in the middle of a row: the last line is cut.
    jsonl = tmp_path / "screen.jsonl"
    with open(jsonl, "a", encoding="utf-8") as lines:
        lines.write('{"file": "' + FILES[4])
    counts = tarnell.screen(FILES, str(out), scheduler=cluster.scheduler_address, progress=False,
                            resume=True)
    assert counts["skipped"] == 4 and counts["done"] == len(FILES) - 4
    rows = table(out)
    assert sorted(row["file"] for row in rows) == sorted(FILES)
    with open(jsonl, encoding="utf-8") as lines:
        assert sorted(json.loads(line)["file"] for line in lines) == sorted(FILES)


def test_a_structure_past_its_timeout_is_a_row_that_says_so(tmp_path):
    from tarnell.screening import screen_one_bounded
    row = screen_one_bounded(FILES[0], timeout=0.001)
    assert row["status"] == "failed" and "timed out" in row["message"]
    row = screen_one_bounded(FILES[0], timeout=60)
    assert row["status"] == "ok" and row["gii"] != ""


def test_the_command_line_screens_a_folder_and_counts(tmp_path):
    import subprocess
    import sys
    folder = tmp_path / "in"
    folder.mkdir()
    for path in FILES[:3]:
        (folder / os.path.basename(path)).write_bytes(open(path, "rb").read())
    (folder / "notes.doc").write_text("not a structure")
    done = subprocess.run([sys.executable, "-m", "tarnell.screen", str(tmp_path / "t.csv"),
                           str(folder), "--workers", "2"], capture_output=True, text=True,
                          timeout=300, check=False)
    assert done.returncode == 0, done.stderr
    assert "3 done, 0 failed, 0 skipped" in done.stdout
    assert len(table(tmp_path / "t.csv")) == 3
