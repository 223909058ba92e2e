#!/usr/bin/env python3
"""Lumistamp's benchmark: runs every row and writes docs/PERFORMANCE.md.

Called by bench/run, which installs what is missing, builds, and provides a
display; see there. Results go to BUILD/results.json first, so that
--report-only can render the document again without measuring.

The rows are measured in rows.py, with the Wine and /proc plumbing of
plumbing.py; report.py writes the document.
"""
import argparse
import json
import os

from plumbing import ROOT, log
from report import (add_phone_rows, render, render_big_folders, render_idle, render_opt_in,
                    render_videos)
from rows import Bench, measure


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=os.path.join(ROOT, "build", "bench"))
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--report-only", action="store_true")
    # Only the big-folder rows, for working on them: their figures go to the
    # terminal and BUILD/results-big-folders.json; the document stays as it is.
    # --rows idle: the same for the rows of monitors at rest; --rows opt-in for
    # those of the opt-in settings (companions of several kinds, HEIF pictures,
    # videos). --rows videos: the rows of videos and of HEIC pictures with the meta
    # box last; their figures and sections go into the document too, put in among
    # the others' as they stand (BUILD/results-videos.json).
    parser.add_argument("--rows", choices=["all", "big-folders", "idle", "opt-in", "videos"],
                        default="all")
    args = parser.parse_args()
    saved = os.path.join(args.build, "results.json" if args.rows == "all"
                         else "results-%s.json" % args.rows)
    if args.report_only:
        with open(saved) as file:
            results = json.load(file)
    else:
        results = measure(Bench(args.build, args.runs), args.rows)
        with open(saved, "w") as file:
            json.dump(results, file, indent=1)
    if args.rows == "big-folders":
        log(render_big_folders(results))
        return
    if args.rows == "idle":
        log(render_idle(results))
        return
    if args.rows == "opt-in":
        log(render_opt_in(results))
        return
    document = os.path.join(ROOT, "docs", "PERFORMANCE.md")
    if args.rows == "videos":
        log(render_videos(results))
        with open(document) as file:
            text = add_phone_rows(file.read(), results)
    else:
        text = render(results)
    with open(document, "w") as file:
        file.write(text)
    log("Wrote %s" % document)


if __name__ == "__main__":
    main()
