"""Screening many structures on a Dask cluster: the valence summary of each, and optionally the
bond valence landscape of a mobile ion with its percolation thresholds.

    python3 -m tarnell.screen OUT.csv FILE|FOLDER|@LIST ... [--landscape Li+] [--scheduler ADDR]
                              [--workers N] [--timeout SECONDS] [--resume]

Every structure is one task. Each finished row is appended at once to OUT.csv and to OUT.jsonl
beside it, so an interrupted screen loses nothing; --resume skips the inputs already there. A
structure that fails is a row with its message; a worker that dies has its tasks run again.
"""

import argparse
import csv
import importlib
import json
import os
import subprocess
import sys
import time

STRUCTURE_EXTENSIONS = (".inp", ".lst", ".txt", ".cif")

COLUMNS = [
    "file", "formula", "sites", "valences", "gii", "worst_site", "worst_dv_relative",
    "threshold_1d", "threshold_2d", "threshold_3d", "direction_1d", "plane_2d", "status",
    "message",
]


def expand_inputs(arguments):
    """The structure files that the arguments name, as a batch takes them: files, folders with
    their subfolders (structure files only, in name order) and @LIST files of one path a line."""
    files = []
    for argument in arguments:
        if argument.startswith("@") and len(argument) > 1:
            with open(argument[1:], encoding="utf-8") as listing:
                for line in listing:
                    line = line.strip()
                    if line:
                        files.extend(expand_inputs([line]))
        elif os.path.isdir(argument):
            found = []
            for folder, _, names in os.walk(argument):
                found.extend(os.path.join(folder, name) for name in names
                             if name.lower().endswith(STRUCTURE_EXTENSIONS))
            files.extend(sorted(found))
        else:
            files.append(argument)
    return files


def _records(table):
    """The rows of a table that tarnell.calculate() gives as a dict of columns (or a list of
    records, as the JSON has them)."""
    if isinstance(table, dict):
        keys = list(table)
        count = len(table[keys[0]]) if keys else 0
        return [{key: table[key][i] for key in keys} for i in range(count)]
    return list(table or [])


def _plain(value):
    """A number of a numpy column as Python's own, None for NaN."""
    if value is None:
        return None
    value = value.item() if hasattr(value, "item") else value
    return None if isinstance(value, float) and value != value else value


def _formula(result):
    """The cell's content per element, from the summary's multiplicities where it has them."""
    counts = {}
    summary = result.get("valence_summary") or {}
    multiplicity = {site["site"]: _plain(site.get("multiplicity")) or 1
                    for site in _records(summary.get("sites"))}
    for site in _records(result.get("sites")):
        element = site.get("element") or "?"
        counts[element] = counts.get(element, 0.0) + \
            multiplicity.get(site["label"], 1) * float(_plain(site.get("occupancy")) or 0.0)
    return " ".join(f"{element}{count:g}" for element, count in sorted(counts.items()))


def row_of(path, result, landscape=None):
    """One row of the table from a calculation's result (the JSON's fields) and a landscape."""
    row = dict.fromkeys(COLUMNS, "")
    row["file"] = str(path)
    row["status"] = result.get("status", "failed")
    row["message"] = result.get("message") or ""
    if "sites" in result:
        row["sites"] = len(_records(result["sites"]))
        row["formula"] = _formula(result)
    summary = result.get("valence_summary") or {}
    row["valences"] = summary.get("valences") or ""
    if _plain(summary.get("gii")) is not None:
        row["gii"] = _plain(summary["gii"])
        worst = None
        for site in _records(summary.get("sites")):
            relative = _plain(site.get("delta_v_relative"))
            if relative is not None and (worst is None or abs(relative) > abs(worst[1])):
                worst = (site["site"], relative)
        if worst:
            row["worst_site"], row["worst_dv_relative"] = worst
    if landscape:
        thresholds = landscape.get("thresholds", {})
        for dimension in ("1d", "2d", "3d"):
            value = thresholds.get(dimension)
            row["threshold_" + dimension] = "" if value is None else value
        if landscape.get("direction_1d"):
            row["direction_1d"] = " ".join(str(v) for v in landscape["direction_1d"])
        if landscape.get("plane_2d"):
            row["plane_2d"] = ";".join(" ".join(str(v) for v in d) for d in landscape["plane_2d"])
    return row


def failed_row(path, message):
    row = dict.fromkeys(COLUMNS, "")
    row.update(file=str(path), status="failed", message=message)
    return row


def screen_one(path, landscape_ion=None, options=None):
    """The row of one structure, computed in this process. Never raises: a failure is a row."""
    import tarnell  # in the worker, where the module is imported once per process
    options = options or {}
    try:
        structure = tarnell.read(str(path))
        result = tarnell.calculate(structure, **options.get("calculate", {}))
        landscape = None
        if landscape_ion and result.get("status") == "ok":
            landscape = tarnell.landscape(structure, landscape_ion,
                                          **options.get("landscape", {}))
        return row_of(path, result, landscape)
    except Exception as error:  # the row says what went wrong; the screen goes on
        return failed_row(path, f"{type(error).__name__}: {error}")


def screen_one_bounded(path, landscape_ion=None, options=None, timeout=None):
    """The row of one structure; with a timeout, computed in a child process that is killed when
    it runs past it, since a calculation inside the module cannot be interrupted."""
    if not timeout:
        return screen_one(path, landscape_ion, options)
    command = [sys.executable, "-m", "tarnell.screening", "--one", str(path),
               "--options", json.dumps(options or {})]
    if landscape_ion:
        command += ["--landscape", landscape_ion]
    try:
        done = subprocess.run(command, capture_output=True, text=True, timeout=timeout,
                              env=dict(os.environ), check=False)
    except subprocess.TimeoutExpired:
        return failed_row(path, f"timed out after {timeout:g} s")
    if done.returncode != 0 or not done.stdout.strip():
        return failed_row(path, (done.stderr.strip().splitlines() or ["no result"])[-1])
    return json.loads(done.stdout.strip().splitlines()[-1])


class TableWriter:
    """Appends each row to OUT.csv and OUT.jsonl as it comes, flushed, so that nothing done is
    lost; the CSV header is written once."""

    def __init__(self, csv_path):
        self.csv_path = csv_path
        self.jsonl_path = os.path.splitext(csv_path)[0] + ".jsonl"
        new = not os.path.exists(csv_path) or os.path.getsize(csv_path) == 0
        self._csv_file = open(csv_path, "a", newline="", encoding="utf-8")
        self._jsonl_file = open(self.jsonl_path, "a", encoding="utf-8")
        self._csv = csv.DictWriter(self._csv_file, fieldnames=COLUMNS)
        if new:
            self._csv.writeheader()
            self._csv_file.flush()

    def write(self, row):
        self._jsonl_file.write(json.dumps(row) + "\n")
        self._jsonl_file.flush()
        self._csv.writerow(row)
        self._csv_file.flush()

    def close(self):
        self._csv_file.close()
        self._jsonl_file.close()


def rows_done(csv_path):
    """The rows already in the table (its JSON lines), by file."""
    jsonl_path = os.path.splitext(csv_path)[0] + ".jsonl"
    done = {}
    if os.path.exists(jsonl_path):
        with open(jsonl_path, encoding="utf-8") as lines:
            for line in lines:
                try:
                    row = json.loads(line)
                except ValueError:
                    continue  # a line cut by an interruption; its input is run again
                done[row["file"]] = row
    return done


def _client(scheduler=None, workers=None):
    from distributed import Client, LocalCluster
    if scheduler:
        return Client(scheduler), None
    # The workers of a local cluster are new processes: they find the module where this one is.
    package_parent = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    paths = os.environ.get("PYTHONPATH", "").split(os.pathsep)
    if package_parent not in paths:
        os.environ["PYTHONPATH"] = os.pathsep.join([package_parent] + [p for p in paths if p])
    cluster = LocalCluster(n_workers=workers or os.cpu_count() or 1, threads_per_worker=1,
                           processes=True, dashboard_address=None)
    return Client(cluster), cluster


def screen(inputs, output, landscape=None, scheduler=None, workers=None, timeout=None,
           resume=False, options=None, progress=None, retries=3, on_row=None):
    """Screens every structure that `inputs` name into the table `output` (CSV, with JSON lines
    beside it). `on_row(row)` is called as each row is written. Returns the counts {"done",
    "failed", "skipped"}."""
    from distributed import as_completed
    # A file named twice (in two lists, say) is one row.
    files = list(dict.fromkeys(str(f) for f in expand_inputs(inputs)))
    jsonl = os.path.splitext(output)[0] + ".jsonl"
    already = rows_done(output) if resume else {}
    # The JSON lines are the record of what is done; the CSV is made anew from them, so that a
    # screen stopped between the two writes of a row leaves no row in one and not the other.
    for path in (output, jsonl):
        if os.path.exists(path):
            os.remove(path)
    todo = [f for f in files if str(f) not in already]
    counts = {"done": 0, "failed": 0, "skipped": len(files) - len(todo)}
    writer = TableWriter(output)
    for row in already.values():
        writer.write(row)
    client, cluster = _client(scheduler, workers)
    bar = None
    if progress is None:
        progress = sys.stderr.isatty()
    if progress:
        try:
            from tqdm import tqdm
            bar = tqdm(total=len(todo), unit="structure")
        except ImportError:
            bar = None
    try:
        futures = [client.submit(screen_one_bounded, path, landscape, options, timeout,
                                 key=f"screen-{index}-{os.path.basename(str(path))}",
                                 retries=retries, pure=False)
                   for index, path in enumerate(todo)]
        for future in as_completed(futures):
            try:
                row = future.result()
            except Exception as error:  # a task that failed on every retry
                index = futures.index(future)
                row = failed_row(todo[index], f"{type(error).__name__}: {error}")
            writer.write(row)
            counts["done" if row["status"] == "ok" else "failed"] += 1
            if on_row:
                on_row(row)
            if bar:
                bar.update(1)
    finally:
        if bar:
            bar.close()
        writer.close()
        client.close()
        if cluster:
            cluster.close()
    return counts


def main(argv=None):
    parser = argparse.ArgumentParser(prog="python3 -m tarnell.screen",
                                     description="Screen many structures on a Dask cluster.")
    parser.add_argument("output", nargs="?", help="the table to write (CSV; JSON lines beside it)")
    parser.add_argument("inputs", nargs="*", help="files, folders and @LIST files")
    parser.add_argument("--landscape", metavar="ION", help="also the landscape of ION (Li+)")
    parser.add_argument("--scheduler", metavar="ADDRESS", help="a running Dask scheduler")
    parser.add_argument("--workers", type=int, help="local workers (default: one per core)")
    parser.add_argument("--timeout", type=float, metavar="SECONDS")
    parser.add_argument("--resume", action="store_true", help="skip inputs already in the table")
    parser.add_argument("--one", metavar="FILE", help=argparse.SUPPRESS)
    parser.add_argument("--options", default="{}", help=argparse.SUPPRESS)
    args = parser.parse_args(argv)
    # The functions the workers run are taken from the package, so that tasks name
    # tarnell.screening, which every worker imports, whichever file runs as __main__.
    module = importlib.import_module("tarnell.screening")
    if args.one:
        print(json.dumps(module.screen_one(args.one, args.landscape, json.loads(args.options))))
        return 0
    if not args.output or not args.inputs:
        parser.error("an output table and at least one input are needed")
    started = time.monotonic()
    counts = module.screen(args.inputs, args.output, landscape=args.landscape,
                           scheduler=args.scheduler, workers=args.workers, timeout=args.timeout,
                           resume=args.resume)
    print(f"  {counts['done']} done, {counts['failed']} failed, {counts['skipped']} skipped "
          f"in {time.monotonic() - started:.1f} s. Table: {args.output}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
