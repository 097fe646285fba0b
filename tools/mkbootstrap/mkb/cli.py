"""Command line of mkbootstrap."""

import argparse
import os
import sys

from . import build as buildmod
from . import hzl as hzlmod
from .errors import Failure
from .table import load_rows, render_markdown, render_tsv, source_root

USAGE = """\
mkbootstrap PRODUCT_DIR -o OUT.exe [--sign CERT.p12 --password-file FILE [--signing-time SECONDS]]
                   [--hzl PATH] [--build-dir DIR] [--jobs N] [--verbose]
       mkbootstrap --check PRODUCT_DIR [--hzl PATH]
       mkbootstrap --verify OUT.exe PRODUCT_DIR [--hzl PATH]
       mkbootstrap --print-table [--format markdown|tsv]"""

DESCRIPTION = """\
Builds the bootstrap executable of an installation set from a folder of
product files, checks a folder without building (--check), verifies a built
executable against its folder (--verify), or prints the rows a product folder
fills (--print-table). Exit status: 0 success, 1 failure, 2 usage error."""


def parser():
    p = argparse.ArgumentParser(prog="mkbootstrap", usage=USAGE, description=DESCRIPTION)
    p.add_argument("paths", nargs="*", help=argparse.SUPPRESS)
    mode = p.add_mutually_exclusive_group()
    mode.add_argument("--verify", action="store_true",
                      help="compare the resources of OUT.exe with PRODUCT_DIR")
    mode.add_argument("--check", action="store_true",
                      help="find the rows' files and check them; build nothing")
    mode.add_argument("--print-table", action="store_true",
                      help="print the rows a product folder fills, from the bootstrap's table")
    p.add_argument("-o", "--output", metavar="OUT.exe", help="the executable to write")
    p.add_argument("--sign", metavar="CERT.p12", help="sign with this PKCS#12 certificate")
    p.add_argument("--password-file", metavar="FILE", help="the certificate's password")
    p.add_argument("--signing-time", metavar="SECONDS",
                   help="signing time, seconds since 1970 (default: $SOURCE_DATE_EPOCH, "
                        "else now)")
    p.add_argument("--hzl", metavar="PATH",
                   help="the hzl tool (default: $HZL, else built from this tree)")
    p.add_argument("--build-dir", metavar="DIR",
                   help="build here and keep it (default: a temporary folder)")
    p.add_argument("--jobs", "-j", type=int, default=2, metavar="N",
                   help="parallel compile jobs (default 2)")
    p.add_argument("--format", choices=("markdown", "tsv"), default="markdown",
                   help="--print-table's format")
    p.add_argument("--verbose", "-v", action="store_true", help="show the build's output")
    return p


def main(argv=None):
    p = parser()
    args = p.parse_intermixed_args(argv)
    rep = buildmod.Reporter(sys.stdout, sys.stderr)
    root = source_root()

    def usage(text):
        p.print_usage(sys.stderr)
        print(f"mkbootstrap: error: {text}", file=sys.stderr)
        return 2

    build_only = [("-o", args.output), ("--sign", args.sign),
                  ("--password-file", args.password_file),
                  ("--signing-time", args.signing_time), ("--build-dir", args.build_dir)]
    if args.print_table or args.verify or args.check:
        given = [name for name, value in build_only if value]
        if given:
            return usage(f"{', '.join(given)} go(es) with building only")
    if args.jobs < 1:
        return usage("--jobs needs a number above 0")

    try:
        rows = load_rows(root)

        def hzl():
            return hzlmod.locate(args.hzl, root, rep.say)

        if args.print_table:
            if args.paths:
                return usage("--print-table takes no path")
            render = render_tsv if args.format == "tsv" else render_markdown
            sys.stdout.write(render(rows))
            return 0

        if args.verify:
            if len(args.paths) != 2:
                return usage("--verify needs OUT.exe and PRODUCT_DIR")
            exe, product = args.paths
            if not os.path.isfile(exe):
                raise Failure(f"{exe} is not a file")
            from .verify import verify
            matched, warnings = verify(exe, product, rows, hzl(), rep.say)
            for w in warnings:
                rep.warn(w)
            rep.say(f"{matched} of {len(rows)} rows match")
            return 0 if matched == len(rows) else 1

        if len(args.paths) != 1:
            return usage("give one PRODUCT_DIR")
        if args.check:
            buildmod.prepare(rows, args.paths[0], hzl(), rep)
            rep.say(f"{args.paths[0]} makes a set of {len(rows)} rows")
            return 0

        if not args.output:
            return usage("-o OUT.exe is needed")
        if args.password_file and not args.sign:
            return usage("--password-file goes with --sign")
        if args.signing_time and not args.sign:
            return usage("--signing-time goes with --sign")
        opts = buildmod.Options()
        opts.product = args.paths[0]
        opts.output = args.output
        opts.hzl = args.hzl
        opts.build_dir = args.build_dir
        opts.jobs = args.jobs
        opts.cert = args.sign
        opts.password_file = args.password_file
        opts.signing_time = args.signing_time
        opts.verbose = args.verbose
        buildmod.run_build(opts, rows, root, hzl, rep)
        return 0
    except Failure as e:
        print(f"mkbootstrap: error: {e}", file=sys.stderr)
        return 1
    except KeyboardInterrupt:
        print("mkbootstrap: interrupted", file=sys.stderr)
        return 1
