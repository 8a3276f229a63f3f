#!/usr/bin/env python3
"""Checks that the English catalogue of lumavex-fx (cli/po/en.po) translates every Japanese
text of cli/ and nothing else: prints the texts missing from it or left over in it."""
import glob
import os
import re
import sys

root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
# Default values shown as they are, never translated.
KEPT = {"ＭＳ Ｐゴシック"}


def unescape(text):
    return text.encode("utf-8").decode("unicode_escape").encode("latin-1").decode("utf-8")


def source_texts():
    texts = []
    for name in sorted(glob.glob(os.path.join(root, "cli", "*.cpp"))):
        source = open(name, encoding="utf-8").read()
        for group in re.finditer(r'"(?:[^"\\\n]|\\.)*"(?:\s*"(?:[^"\\\n]|\\.)*")*', source):
            text = unescape("".join(re.findall(r'"((?:[^"\\\n]|\\.)*)"', group.group(0))))
            if re.search(r"[^\x00-\x7f]", text) and text not in KEPT and text not in texts:
                texts.append(text)
    return texts


def catalogue_ids():
    po = open(os.path.join(root, "cli", "po", "en.po"), encoding="utf-8").read()
    ids = set()
    for entry in re.finditer(r'^msgid ((?:"(?:[^"\\]|\\.)*"\s*)+)', po, re.M):
        ids.add(unescape("".join(re.findall(r'"((?:[^"\\]|\\.)*)"', entry.group(1)))))
    ids.discard("")
    return ids


texts, ids = source_texts(), catalogue_ids()
missing = [t for t in texts if t not in ids]
extra = sorted(ids - set(texts))
for t in missing:
    print("not in en.po:", repr(t))
for t in extra:
    print("only in en.po:", repr(t))
sys.exit(1 if missing or extra else 0)
