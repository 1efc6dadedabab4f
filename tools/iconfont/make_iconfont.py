#!/usr/bin/env python3
"""Build the client's embedded icon font (src/res/iconfont/iconfont.ttf).

The glyphs come from the Material Design Icons webfont of the npm package
@mdi/font (version pinned below).  The glyphs are picked by their glyph
NAME (post table of the source font, cross-checked against the package's
CSS when it is present) and put under the private-use code points that the
client's code draws.

The table GLYPHS below is the single source of truth for
code point -> source glyph name -> meaning.

The output is deterministic: the same source font and the same fontTools
version give a byte-identical file (fixed head.created / head.modified,
fixed name table, no time-dependent data).

Usage:
    make_iconfont.py --node-modules DIR [--output FILE] [--license-out FILE]
    make_iconfont.py --font TTF [--css CSS] [--package-json JSON] [--output FILE]
    make_iconfont.py --print-package      # prints "@mdi/font@<version>"
    make_iconfont.py --print-table        # prints the mapping table

Normally run through tools/iconfont/build.sh.
"""

import argparse
import hashlib
import io
import json
import logging
import os
import re
import shutil
import sys

try:
    from fontTools import subset as ft_subset
    from fontTools.misc.timeTools import timestampFromString
    from fontTools.ttLib import TTFont, newTable
    from fontTools.ttLib.tables._c_m_a_p import CmapSubtable
except ImportError:  # pragma: no cover
    sys.stderr.write(
        "make_iconfont.py needs fontTools "
        "(Debian: apt-get install -y python3-fonttools)\n")
    sys.exit(2)

# --------------------------------------------------------------------------
# Source package (build.sh installs exactly this version).
# --------------------------------------------------------------------------
SOURCE_PACKAGE = "@mdi/font"
SOURCE_VERSION = "7.4.47"
SOURCE_TTF = "fonts/materialdesignicons-webfont.ttf"
SOURCE_CSS = "css/materialdesignicons.css"
SOURCE_LICENSE = "LICENSE"
# sha256 of SOURCE_TTF in SOURCE_PACKAGE@SOURCE_VERSION; a different source
# font is refused unless --allow-other-source is given.
SOURCE_TTF_SHA256 = (
    "61e8aba5a4e981fe22cf7c8e8bcdbea00476e75c62c37f01bf7ee33361d68428")

# --------------------------------------------------------------------------
# Mapping table: code point -> source glyph name -> meaning.
# A glyph may serve several code points (the cmap then maps each of them to
# the same glyph).
# --------------------------------------------------------------------------
GLYPHS = [
    # code point, MDI glyph name, meaning (where the client uses it)
    (0xE622, "check", "check mark (menus)"),
    (0xE6D3, "radiobox-marked", "radio button checked"),
    # (the MDI icon "radiobox-blank" is an alias drawn by this same glyph)
    (0xE6BD, "checkbox-blank-circle-outline",
     "radio button unchecked"),
    (0xE6C4, "checkbox-blank-outline", "check box empty"),
    (0xE6BF, "checkbox-marked", "check box checked"),
    (0xE60D, "minus-box", "check box indeterminate"),
    (0xE72A, "chevron-down", "arrow down (drop-downs)"),
    (0xEFA4, "chevron-up", "arrow up (open drop-downs)"),
    (0xE630, "close", "window close (title bar)"),
    (0xE6B9, "window-minimize", "window minimise (title bar)"),
    (0xE6B6, "window-maximize", "window maximise (title bar)"),
    (0xE6B7, "window-restore", "window restore (title bar)"),
    (0xE643, "video-off", "camera off"),
    (0xE63B, "microphone-off", "microphone off"),
    (0xE62C, "volume-off", "speaker off"),
    (0xE652, "video-off-outline", "all cameras off"),
    (0xE64B, "microphone-variant-off", "all microphones off"),
    (0xE63C, "pencil-off-outline", "all pens off"),
    (0xE64C, "video", "camera on"),
    (0xE642, "microphone", "microphone on"),
    (0xEFC5, "microphone-off", "microphone mute"),
    (0xE623, "pencil", "pen on (whiteboard pen)"),
    (0xE627, "pencil-off", "pen off (whiteboard pen)"),
    (0xEFBF, "fullscreen", "maximise video"),
    (0xEFC0, "fullscreen-exit", "restore video"),
    (0xE65C, "dots-horizontal", "more"),
]

FAMILY_NAME = "iconfont"
STYLE_NAME = "Regular"
# Fixed timestamp for head.created / head.modified (deterministic output).
FIXED_TIMESTAMP = timestampFromString("Mon Jan  1 00:00:00 2024")

DEFAULT_OUTPUT = os.path.normpath(os.path.join(
    os.path.dirname(os.path.abspath(__file__)),
    "..", "..", "src", "res", "iconfont", "iconfont.ttf"))


def fail(msg):
    sys.stderr.write("make_iconfont.py: error: %s\n" % msg)
    sys.exit(1)


def sha256_of(path):
    with open(path, "rb") as fh:
        return hashlib.sha256(fh.read()).hexdigest()


def parse_css(path):
    """Return {glyph name: code point} from the MDI css (.mdi-NAME::before)."""
    with open(path, encoding="utf-8") as fh:
        text = fh.read()
    pat = re.compile(
        r'\.mdi-([a-z0-9-]+)::?before\s*\{\s*content:\s*"\\([0-9A-Fa-f]+)"')
    return {m.group(1): int(m.group(2), 16) for m in pat.finditer(text)}


def check_table():
    seen = set()
    for cp, name, meaning in GLYPHS:
        if not 0xE000 <= cp <= 0xF8FF:
            fail("U+%04X is not in the BMP private-use area" % cp)
        if cp in seen:
            fail("U+%04X listed twice" % cp)
        seen.add(cp)
        if not name or not meaning:
            fail("U+%04X lacks a glyph name or meaning" % cp)


def resolve_sources(args):
    font = args.font
    css = args.css
    pkg_json = args.package_json
    lic = None
    if args.node_modules:
        root = os.path.join(args.node_modules, *SOURCE_PACKAGE.split("/"))
        if not os.path.isdir(root):
            fail("%s not found in %s" % (SOURCE_PACKAGE, args.node_modules))
        font = font or os.path.join(root, SOURCE_TTF)
        css = css or os.path.join(root, SOURCE_CSS)
        pkg_json = pkg_json or os.path.join(root, "package.json")
        lic = os.path.join(root, SOURCE_LICENSE)
    if not font:
        fail("give --node-modules DIR or --font TTF")
    for p in (font, css, pkg_json, lic):
        if p and not os.path.isfile(p):
            fail("missing source file %s" % p)
    return font, css, pkg_json, lic


def build(src_path, css_path):
    # The source font's post table has a few stray bytes; fontTools warns
    # about them on every load.  They are irrelevant here.
    logging.getLogger("fontTools.ttLib.tables._p_o_s_t").setLevel(
        logging.ERROR)
    logging.getLogger("fontTools.ttLib.tables._h_e_a_d").setLevel(
        logging.ERROR)

    src = TTFont(src_path, lazy=False)
    order = set(src.getGlyphOrder())
    src_cmap = src.getBestCmap()
    css_map = parse_css(css_path) if css_path else None

    names = []
    for cp, name, _ in GLYPHS:
        if name not in order:
            fail("glyph %r (for U+%04X) not in the source font" % (name, cp))
        if css_map is not None:
            css_cp = css_map.get(name)
            if css_cp is None:
                fail("glyph %r not listed in the css" % name)
            if src_cmap.get(css_cp) != name:
                fail("css maps %r to U+%X, but the font maps that to %r"
                     % (name, css_cp, src_cmap.get(css_cp)))
        if name not in names:
            names.append(name)

    # Subset to the chosen glyphs (plus .notdef); no layout tables, no
    # hinting, glyph names kept for readability.
    opts = ft_subset.Options()
    opts.glyph_names = True
    opts.notdef_glyph = True
    opts.notdef_outline = False
    opts.layout_features = []
    opts.layout_closure = False
    opts.drop_tables += ["GSUB", "GPOS", "GDEF", "DSIG", "FFTM", "meta"]
    opts.hinting = False
    opts.name_IDs = []
    opts.name_languages = []
    opts.recalc_timestamp = False
    opts.prune_unicode_ranges = True
    sub = ft_subset.Subsetter(options=opts)
    sub.populate(glyphs=names)
    sub.subset(src)
    font = src
    for tag in ("GSUB", "GPOS", "GDEF"):
        if tag in font:
            del font[tag]

    # New cmap: exactly the listed code points (all in the BMP), format 4,
    # for Unicode (0/3) and Windows Unicode BMP (3/1).
    mapping = {cp: name for cp, name, _ in GLYPHS}
    cmap = newTable("cmap")
    cmap.tableVersion = 0
    cmap.tables = []
    for plat, enc in ((0, 3), (3, 1)):
        st = CmapSubtable.newSubtable(4)
        st.platformID = plat
        st.platEncID = enc
        st.language = 0
        st.cmap = dict(mapping)
        cmap.tables.append(st)
    font["cmap"] = cmap

    # Name table: family "iconfont".
    src_version = "Version %s" % SOURCE_VERSION
    name = newTable("name")
    name.names = []
    records = {
        0: "Glyphs from Material Design Icons (%s %s), Pictogrammers"
           % (SOURCE_PACKAGE, SOURCE_VERSION),
        1: FAMILY_NAME,
        2: STYLE_NAME,
        3: "%s %s;%s" % (FAMILY_NAME, STYLE_NAME, src_version),
        4: FAMILY_NAME,
        5: src_version,
        6: FAMILY_NAME,
        13: "Licensed under the Apache License, Version 2.0 (see LICENSE "
            "of %s)." % SOURCE_PACKAGE,
        14: "https://www.apache.org/licenses/LICENSE-2.0",
    }
    for nid, text in sorted(records.items()):
        name.setName(text, nid, 3, 1, 0x409)
        name.setName(text, nid, 1, 0, 0)
    font["name"] = name

    # Fixed timestamps and revision.
    head = font["head"]
    head.created = FIXED_TIMESTAMP
    head.modified = FIXED_TIMESTAMP
    major, minor = (int(x) for x in SOURCE_VERSION.split(".")[:2])
    head.fontRevision = major + minor / 1000.0

    # OS/2 character range fields for the new cmap.
    os2 = font["OS/2"]
    cps = sorted(mapping)
    os2.usFirstCharIndex = cps[0]
    os2.usLastCharIndex = cps[-1]
    os2.recalcUnicodeRanges(font)
    os2.achVendID = "NONE"

    font.recalcTimestamp = False
    buf = io.BytesIO()
    font.save(buf, reorderTables=True)
    return buf.getvalue()


def verify(data):
    font = TTFont(io.BytesIO(data))
    cmap = font.getBestCmap()
    expect = {cp: name for cp, name, _ in GLYPHS}
    if cmap != expect:
        fail("cmap of the result differs from the table")
    fams = {r.toUnicode() for r in font["name"].names if r.nameID == 1}
    if fams != {FAMILY_NAME}:
        fail("family name of the result is %r" % fams)
    for name in set(expect.values()):
        g = font["glyf"][name]
        if g.numberOfContours == 0:
            fail("glyph %r is empty" % name)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--node-modules",
                    help="node_modules folder holding %s" % SOURCE_PACKAGE)
    ap.add_argument("--font", help="source TTF (materialdesignicons)")
    ap.add_argument("--css", help="source css, to cross-check glyph names")
    ap.add_argument("--package-json", help="package.json of the source")
    ap.add_argument("--output", default=DEFAULT_OUTPUT,
                    help="output TTF (default: %(default)s)")
    ap.add_argument("--license-out",
                    help="copy the package LICENSE here (needs "
                         "--node-modules)")
    ap.add_argument("--allow-other-source", action="store_true",
                    help="accept a source font/version other than the "
                         "pinned one")
    ap.add_argument("--print-package", action="store_true",
                    help="print the pinned npm package name and version and exit")
    ap.add_argument("--print-table", action="store_true",
                    help="print the mapping table and exit")
    args = ap.parse_args()

    check_table()
    if args.print_package:
        print("%s@%s" % (SOURCE_PACKAGE, SOURCE_VERSION))
        return
    if args.print_table:
        for cp, name, meaning in GLYPHS:
            print("U+%04X\t%s\t%s" % (cp, name, meaning))
        return

    font, css, pkg_json, lic = resolve_sources(args)
    if pkg_json:
        with open(pkg_json, encoding="utf-8") as fh:
            meta = json.load(fh)
        got = (meta.get("name"), meta.get("version"))
        if got != (SOURCE_PACKAGE, SOURCE_VERSION) and \
                not args.allow_other_source:
            fail("source package is %s@%s, pinned is %s@%s"
                 % (got + (SOURCE_PACKAGE, SOURCE_VERSION)))
    digest = sha256_of(font)
    if digest != SOURCE_TTF_SHA256 and not args.allow_other_source:
        fail("source font sha256 %s differs from the pinned %s"
             % (digest, SOURCE_TTF_SHA256))

    data = build(font, css)
    verify(data)

    out = os.path.abspath(args.output)
    os.makedirs(os.path.dirname(out), exist_ok=True)
    with open(out, "wb") as fh:
        fh.write(data)
    print("wrote %s (%d bytes, %d code points, sha256 %s)"
          % (out, len(data), len(GLYPHS), hashlib.sha256(data).hexdigest()))

    if args.license_out:
        if not lic:
            fail("--license-out needs --node-modules")
        shutil.copyfile(lic, args.license_out)
        print("wrote %s" % os.path.abspath(args.license_out))


if __name__ == "__main__":
    main()
