#!/usr/bin/env python3
"""The interactive pages must make no network request: no src, href, url(, fetch, XMLHttpRequest or
@import that names an http: or https: address (or a protocol-relative //host), outside the
licence text of the charting library (its <pre id="library-licence"> and /*! ... */ notices).

velk-plot transitions --html writes a page of a small line list in a scratch directory (or, with
--page residuals, velk-plot residuals --html the page of a small residual file); the check runs on
it as written (it must find nothing), or with one remote reference put in by --inject
(it must find that one: the check itself is tested).
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile

INJECTIONS = {
    "img-src": '<img src="https://example.org/x.png">',
    "link-href": "<link rel=stylesheet href='http://example.org/x.css'>",
    "css-url": "<style>body { background: url( https://example.org/x.png ); }</style>",
    "fetch": '<script>fetch("https://example.org/data.json");</script>',
    "xhr": '<script>var r = new XMLHttpRequest(); r.open("GET", "http://example.org/d");</script>',
    "protocol-relative": '<script src="//example.org/lib.js"></script>',
}

KEYWORD = re.compile(r"\bsrc\b|\bhref\b|url\(|\bfetch\b|XMLHttpRequest|@import")
REMOTE = re.compile(r"https?:|^[\s\"'=:(]*//[A-Za-z0-9]")


def without_licence(text):
    text = re.sub(r'<pre id="library-licence">.*?</pre>', "", text, flags=re.S)
    return re.sub(r"/\*!.*?\*/", "", text, flags=re.S)


def remote_references(text):
    found = []
    text = without_licence(text)
    for match in KEYWORD.finditer(text):
        after = text[match.end():match.end() + 300]
        if match.group(0) != "XMLHttpRequest":
            # An attribute, a property or a call ends at the first of these.
            after = re.split(r"[;>\n]", after, maxsplit=1)[0]
        if REMOTE.search(after):
            found.append(text[match.start():match.end() + 80].replace("\n", " "))
    return found


def write_residual_page(plot, work):
    with open(os.path.join(work, "fit_residuals.csv"), "w") as out:
        out.write("upper_state,upper_v,upper_J,upper_p,lower_state,lower_v,lower_J,lower_p,"
                  "wavenumber,uncertainty,mass_index,series,calc,obs_minus_calc,normalised\n")
        out.write("B,3,12,1,A,0,11,1,14652.7821,0.001,,s1,14652.7820,0.0001,0.1\n")
        out.write("A,0,5,1,-,,,,30.1,0.01,,,30.14,-0.04,-4.0\n")
    return run_plot(plot, work, ["residuals", "fit_residuals.csv", "--html"], "residuals.html")


def run_plot(plot, work, arguments, page):
    result = subprocess.run([plot] + arguments, cwd=work, capture_output=True, text=True)
    if result.returncode != 0:
        print("FAIL: velk-plot exited with %d: %s" % (result.returncode, result.stdout))
        sys.exit(1)
    with open(os.path.join(work, page)) as f:
        return f.read()


def write_spectrum_page(plot, work):
    with open(os.path.join(work, "vel_tran.csv"), "w") as out:
        out.write("line,branch,upper_v,upper_J,upper_p,lower_v,lower_J,lower_p,wavenumber,FCF,"
                  "r_centroid,moment,overlap,upper_E,lower_E,HL,intensity,A_einstein\n")
        out.write("1,P,0,9,1,0,10,1,14652.78207,0.5,,,,,,10,6977.5,12.5\n")
        out.write("2,R,0,11,1,0,10,1,14657.419853,0.5,,,,,,11,7677.7,13.1\n")
    with open(os.path.join(work, "spectrum.csv"), "w") as out:
        out.write("wavenumber,intensity\n")
        for k in range(200):
            x = 14650.0 + 0.05 * k
            out.write("%.3f,%.6g\n" % (x, 1.0 / (1.0 + (x - 14652.78) ** 2) +
                                       1.0 / (1.0 + (x - 14657.42) ** 2)))
    return run_plot(plot, work, ["transitions", "--html"], "spectrum.html")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--plot", required=True)
    parser.add_argument("--inject", choices=sorted(INJECTIONS))
    parser.add_argument("--page", choices=["spectrum", "residuals"], default="spectrum")
    args = parser.parse_args()
    args.plot = os.path.abspath(args.plot)
    work = tempfile.mkdtemp(prefix="velk-page-offline-")
    try:
        write = write_residual_page if args.page == "residuals" else write_spectrum_page
        page = write(args.plot, work)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    if args.inject:
        page = page.replace("</body>", INJECTIONS[args.inject] + "\n</body>")
    found = remote_references(page)
    if args.inject:
        if len(found) != 1:
            print("FAIL: the check found %d remote references, expected the injected one: %s" %
                  (len(found), found))
            return 1
        print("PASS: found " + found[0])
        return 0
    if found:
        print("FAIL: the page names network addresses:\n" + "\n".join(found))
        return 1
    print("PASS: %d bytes, no remote reference outside the licence text" % len(page))
    return 0


if __name__ == "__main__":
    sys.exit(main())
