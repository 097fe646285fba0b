#!/usr/bin/env python3
"""Prepares the Wine prefix that the Wine tests share: creates it on first use
(wineboot -i, about a minute), checks that it starts, and records where its
%TEMP% lies so the tests can find the staging folder."""

import os
import sys

import winelab


def main():
    prefix = winelab.setting("HZL_WINE_PREFIX")
    os.makedirs(os.path.dirname(prefix), exist_ok=True)
    with winelab.WineSession(prefix) as wine:
        if not os.path.exists(os.path.join(prefix, "system.reg")):
            print(f"creating Wine prefix {prefix}", flush=True)
            wine.run(["wineboot", "-i"], timeout=600)
            wine.wait_idle(timeout=300)
        temp_win, temp_unix = wine.temp_dir()
        temp_unix = os.path.realpath(temp_unix)
        if not temp_win.endswith("Temp") or not temp_unix.startswith(os.path.realpath(prefix)):
            sys.exit(f"unexpected %TEMP% in the prefix: {temp_win} -> {temp_unix}")
        os.makedirs(temp_unix, exist_ok=True)
        winelab.save_prefix_info(prefix, {"temp": temp_win, "temp_unix": temp_unix})
        print(f"%TEMP% = {temp_win} ({temp_unix})")


if __name__ == "__main__":
    main()
