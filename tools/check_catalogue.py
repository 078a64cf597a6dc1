#!/usr/bin/env python3
"""Fails when a shown text of the sources has no finished translation.

Usage: check_catalogue.py SCANNED.ts CATALOGUE.ts
SCANNED.ts is what lupdate reads from the sources now; CATALOGUE.ts the
committed catalogue (English must be complete).
"""
import sys
import xml.etree.ElementTree as ET


def messages(path):
    for context in ET.parse(path).getroot().iter("context"):
        name = context.findtext("name", "")
        for message in context.iter("message"):
            key = (name, message.findtext("source", ""), message.findtext("comment", ""))
            yield key, message


def finished(message):
    translation = message.find("translation")
    if translation is None or translation.get("type") in ("unfinished", "vanished", "obsolete"):
        return False
    forms = translation.findall("numerusform")
    texts = [form.text for form in forms] if forms else [translation.text]
    return all(text for text in texts)


def main():
    scanned, catalogue = sys.argv[1], sys.argv[2]
    known = dict(messages(catalogue))
    missing = [key for key, _ in messages(scanned) if key not in known or not finished(known[key])]
    for context, source, comment in missing:
        print(f"{catalogue}: no finished translation in {context}: {source!r}" + (f" ({comment})" if comment else ""),
              file=sys.stderr)
    if missing:
        print(f"{len(missing)} text(s) without translation; run the velmora_lupdate target and translate them",
              file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
