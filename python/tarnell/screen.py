"""python3 -m tarnell.screen OUT.csv FILE|FOLDER|@LIST ... [--landscape ION] [--scheduler ADDRESS]
[--workers N] [--timeout SECONDS] [--resume]: screens many structures on a Dask cluster (see
tarnell.screening, and tarnell.screen(), the function behind it)."""

import sys

from tarnell.screening import main

if __name__ == "__main__":
    sys.exit(main())
