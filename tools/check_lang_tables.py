#!/usr/bin/env python3
"""Check the language tables (src/res/lang/<code>.json).

Usage: check_lang_tables.py <folder>

Checks, for the twelve language codes:
  - every file exists and is valid UTF-8 JSON (after an optional BOM) whose
    top level is an object of objects of strings;
  - en, zh-CN and zh-TW begin with a UTF-8 BOM, the other nine do not;
  - every file has the same sections and keys, in the same order, as en.json;
  - 159 keys in total with the per-section counts of each section;
  - no empty (or blank) text;
  - every text carries the same set of Qt placeholders (%1, %2, ...) as its
    English twin.
Exits with status 0 when everything passes, 1 on any failure (with one line
per problem on stderr), 2 on wrong usage.
"""

import json
import os
import re
import sys

CODES = ["zh-CN", "zh-TW", "en", "es", "ja", "ko", "vi", "ar", "fr", "id", "ru", "pt"]
BOM_CODES = {"en", "zh-CN", "zh-TW"}
BOM = b"\xef\xbb\xbf"
SECTIONS = [
    ("Common", 43),
    ("NewVersionDlg", 1),
    ("DeviceTestDlg", 18),
    ("CameraRenderMask", 18),
    ("TrtcError", 2),
    ("ErrorCode", 34),
    ("LiveDlg", 2),
    ("DeviceCheck", 38),
    ("macOS", 3),
]
TOTAL_KEYS = 159
PLACEHOLDER = re.compile(r"%(\d+)")


def placeholders(text):
    return sorted(set(int(n) for n in PLACEHOLDER.findall(text)))


class JsonObject(list):
    """A JSON object as its list of (name, value) members, in file order."""


def reject_duplicates(pairs):
    # Keeps the member order and refuses duplicate members (json would keep the last one).
    seen = set()
    for key, _ in pairs:
        if key in seen:
            raise ValueError("duplicate member %r" % key)
        seen.add(key)
    return JsonObject(pairs)


def load(path, code, errors):
    """Returns [(section, [(key, text), ...]), ...] or None on failure."""
    try:
        with open(path, "rb") as f:
            raw = f.read()
    except OSError as e:
        errors.append("%s: cannot read file: %s" % (code, e))
        return None

    has_bom = raw.startswith(BOM)
    if code in BOM_CODES and not has_bom:
        errors.append("%s: must begin with a UTF-8 byte-order mark (EF BB BF)" % code)
    if code not in BOM_CODES and has_bom:
        errors.append("%s: must not begin with a UTF-8 byte-order mark" % code)
    if has_bom:
        raw = raw[len(BOM):]

    try:
        text = raw.decode("utf-8")
    except UnicodeDecodeError as e:
        errors.append("%s: not valid UTF-8: %s" % (code, e))
        return None
    if text.startswith("\ufeff"):
        errors.append("%s: more than one byte-order mark" % code)
        return None

    try:
        doc = json.loads(text, object_pairs_hook=reject_duplicates)
    except ValueError as e:
        errors.append("%s: not valid JSON: %s" % (code, e))
        return None

    if not isinstance(doc, JsonObject):
        errors.append("%s: top level is not a JSON object" % code)
        return None
    ok = True
    for section, members in doc:
        if not isinstance(members, JsonObject):
            errors.append("%s: section %r is not a JSON object" % (code, section))
            ok = False
            continue
        for key, value in members:
            if not isinstance(value, str):
                errors.append("%s: %s/%s is not a string" % (code, section, key))
                ok = False
    return doc if ok else None


def check(folder):
    errors = []
    if not os.path.isdir(folder):
        return ["%s: not a folder" % folder]

    tables = {}
    for code in CODES:
        path = os.path.join(folder, code + ".json")
        if not os.path.isfile(path):
            errors.append("%s: missing file %s" % (code, path))
            continue
        doc = load(path, code, errors)
        if doc is not None:
            tables[code] = doc

    extra = sorted(
        name for name in os.listdir(folder)
        if name.endswith(".json") and name[:-5] not in CODES
    )
    for name in extra:
        errors.append("%s: unexpected language file (not one of the twelve codes)" % name)

    en = tables.get("en")
    if en is None:
        errors.append("en: reference table unavailable, cannot compare the other tables")
        return errors

    # The English table against the expected layout.
    en_sections = [s for s, _ in en]
    expected_sections = [s for s, _ in SECTIONS]
    if en_sections != expected_sections:
        errors.append("en: sections are %s, expected %s" % (en_sections, expected_sections))
    en_counts = dict((s, len(m)) for s, m in en)
    for section, count in SECTIONS:
        if section in en_counts and en_counts[section] != count:
            errors.append("en: section %s has %d keys, expected %d"
                          % (section, en_counts[section], count))
    total = sum(len(m) for _, m in en)
    if total != TOTAL_KEYS:
        errors.append("en: %d keys in total, expected %d" % (total, TOTAL_KEYS))

    en_ph = {}
    for section, members in en:
        for key, text in members:
            en_ph[(section, key)] = placeholders(text)

    # Every table (English included) against the English layout and texts.
    for code in CODES:
        doc = tables.get(code)
        if doc is None:
            continue
        sections = [s for s, _ in doc]
        if sections != en_sections:
            errors.append("%s: sections %s differ from en.json %s" % (code, sections, en_sections))
        doc_map = dict(doc)
        for section, en_members in en:
            members = doc_map.get(section)
            if members is None:
                continue
            keys = [k for k, _ in members]
            en_keys = [k for k, _ in en_members]
            if keys != en_keys:
                missing = [k for k in en_keys if k not in keys]
                surplus = [k for k in keys if k not in en_keys]
                if missing or surplus:
                    errors.append("%s: section %s: missing keys %s, extra keys %s"
                                  % (code, section, missing, surplus))
                else:
                    errors.append("%s: section %s: keys are not in the order of en.json"
                                  % (code, section))
            for key, text in members:
                if not text.strip():
                    errors.append("%s: %s/%s is empty" % (code, section, key))
                want = en_ph.get((section, key))
                if want is not None:
                    got = placeholders(text)
                    if got != want:
                        errors.append("%s: %s/%s has placeholders %s, English has %s"
                                      % (code, section, key,
                                         ["%%%d" % n for n in got],
                                         ["%%%d" % n for n in want]))
    return errors


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: %s <lang-folder>\n" % os.path.basename(argv[0]))
        return 2
    errors = check(argv[1])
    if errors:
        for e in errors:
            sys.stderr.write("FAIL %s\n" % e)
        sys.stderr.write("%d problem(s) found in %s\n" % (len(errors), argv[1]))
        return 1
    print("OK: %d language tables, %d sections, %d keys each, in %s"
          % (len(CODES), len(SECTIONS), TOTAL_KEYS, argv[1]))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
