#!/usr/bin/env python3
"""Writes history day files for the tags of a data root, as the station writes them in the C
locale ("10 Dec 2026 14:05:09", "." as decimal point), so that trends have something to show
without waiting for hours of sampling.

    scripts/make-demo-history.py DATA_ROOT [HOURS]

The lines cover the HOURS (default 20) before now at the project's Log.Interval (default 60 s),
with one stop of the station of 40 minutes in the middle; values are smooth curves and steps.
Existing day files of those days are replaced.
"""
import configparser
import datetime
import math
import os
import random
import sys


def read_project(root):
    parser = configparser.ConfigParser(interpolation=None, strict=False)
    parser.optionxform = str
    with open(os.path.join(root, "cfg", "config.cfg"), encoding="latin-1") as f:
        parser.read_string(f.read())
    tags = []
    while parser.has_section(f"Channel.{len(tags)}"):
        section = parser[f"Channel.{len(tags)}"]
        tags.append((section.get("Name", ""), section.get("Unit", "")))
    general = parser["General"] if parser.has_section("General") else {}
    separator = (general.get("Log.Separator", ",") or ",")[0]
    interval = max(1, int(general.get("Log.Interval", "60")))
    return tags, separator, interval


def stamp(at):
    text = f"{at.day} {at.strftime('%b')} {at.year}"
    return text if at.time() == datetime.time(0) else text + at.strftime(" %H:%M:%S")


def value(tag, seconds):
    hours = seconds / 3600
    shapes = [
        lambda: 2.5 + 1.2 * math.sin(hours * 1.3) + 0.05 * random.random(),
        lambda: 14 + 3 * math.sin(hours / 3) + 0.4 * math.sin(hours * 7),
        lambda: 1 if math.sin(hours * 1.3) < 0 else 0,
        lambda: 80 if (hours % 5) < 2.5 else 40,
    ]
    if tag < len(shapes):
        return shapes[tag]()
    return round(50 + 30 * math.sin(hours * (0.5 + tag / 10)) + 5 * random.random(), 2)


def main():
    root = sys.argv[1]
    hours = float(sys.argv[2]) if len(sys.argv) > 2 else 20
    tags, separator, interval = read_project(root)
    header = '"Timestamp"' + "".join(
        f'{separator}"{name.replace(chr(34), chr(34) * 2)}[{unit.replace(chr(34), chr(34) * 2)}]"'
        for name, unit in tags)
    now = datetime.datetime.now().replace(microsecond=0)
    start = now - datetime.timedelta(hours=hours)
    stop_from = start + datetime.timedelta(hours=hours / 2)
    stop_to = stop_from + datetime.timedelta(minutes=40)
    files = {}
    at = start
    while at < now:
        if not stop_from <= at < stop_to:
            seconds = (at - start).total_seconds()
            fields = [stamp(at)] + [f"{value(i, seconds):.15g}" for i in range(len(tags))]
            files.setdefault(at.date(), []).append(separator.join(fields))
        at += datetime.timedelta(seconds=interval)
    folder = os.path.join(root, "history")
    os.makedirs(folder, exist_ok=True)
    for day, lines in files.items():
        with open(os.path.join(folder, day.strftime("log%Y%m%d.csv")), "w", encoding="latin-1",
                  newline="") as f:
            f.write("\r\n".join([header] + lines) + "\r\n")
    print(f"History: {sum(map(len, files.values()))} lines of {len(tags)} tags in {len(files)} file(s)")


if __name__ == "__main__":
    main()
