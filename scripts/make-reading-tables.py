#!/usr/bin/env python3
"""Makes the reading tables of the writing aids from the installed Debian packages.

    python3 scripts/make-reading-tables.py [--out DIR]      (default: aids/data)

Reads
  unicode-data           /usr/share/unicode/Unihan_Readings.txt.bz2
                         (kMandarin first, then kTGHZ2013 and kHanyuPinyin)
  rime-data-jyut6ping3   /usr/share/rime-data/jyut6ping3.chars.dict.yaml,
                         jyut6ping3.words.dict.yaml, essay-cantonese.txt
  opencc                 /usr/bin/opencc with t2s.json, for the simplified keys
and writes DIR/mandarin.bin, DIR/cantonese.bin and DIR/sources.txt (the package
versions the tables were made from). Same packages, same bytes. The notices
of the data's licences are in aids/data/LICENSES.

Both .bin files have one layout, little-endian throughout, read in place by
aids/readingtables.cpp:

  offset 0   "SYJR"  u16 version (1)  u16 language (0 Mandarin, 1 Cantonese)
         8   u32 syllables S   u32 syllable text bytes T   u32 characters C
        20   u32 readings R    u32 word lengths W          u32 0
        32   (S + 1) x u32     where each syllable starts in the text, then the end
             T bytes           the syllables, UTF-8, no separators; zero-padded to 4
             C x u32           the characters (code points), ascending
             C x u32           for each character: first reading << 8 | number of readings
             R x u16           readings as syllable numbers, usual first; zero-padded to 4
             W x 3 x u32       word lengths: length L (characters), words N, file offset
             per word length   N records of L x u32 code points then L x u16 syllables,
                               ascending by code points

Syllables are sorted, so the syllable numbers are stable for the same data.
"""

import argparse
import bz2
import os
import struct
import subprocess
import sys
import tempfile
import unicodedata

UNIHAN = "/usr/share/unicode/Unihan_Readings.txt.bz2"
RIME = "/usr/share/rime-data"
CHARS = RIME + "/jyut6ping3.chars.dict.yaml"
WORDS = RIME + "/jyut6ping3.words.dict.yaml"
ESSAY = RIME + "/essay-cantonese.txt"
OPENCC = "/usr/bin/opencc"
OPENCC_TABLES = ("/usr/share/opencc/TSCharacters.ocd2", "/usr/share/opencc/TSPhrases.ocd2")
INPUTS = (UNIHAN, CHARS, WORDS, ESSAY, OPENCC) + OPENCC_TABLES
PACKAGES = ("unicode-data", "rime-data-jyut6ping3", "opencc")

MANDARIN, CANTONESE = 0, 1
VERSION = 1

TONE_MARKS = {"\u0304": "1", "\u0301": "2", "\u030c": "3", "\u0300": "4"}


def is_han(ch):
    cp = ord(ch)
    return (cp in (0x3005, 0x3007) or 0x3400 <= cp <= 0x4DBF or 0x4E00 <= cp <= 0x9FFF
            or 0xF900 <= cp <= 0xFAFF or 0x20000 <= cp <= 0x3FFFF)


# --- Mandarin ---------------------------------------------------------------


def pinyin_with_digit(marked):
    """'cháng' -> 'chang2', 'lǜ' -> 'lü4', 'de' -> 'de5', 'ê̄' -> 'ê1'."""
    tone = "5"
    letters = []
    for ch in unicodedata.normalize("NFD", marked.strip().lower()):
        if ch in TONE_MARKS:
            tone = TONE_MARKS[ch]
        else:
            letters.append(ch)
    # Only the tone marks go; the diaeresis of ü and the circumflex of ê stay.
    syllable = unicodedata.normalize("NFC", "".join(letters))
    if not syllable or any(not (c.isalpha() and c.isascii()) and c not in "üê" for c in syllable):
        raise ValueError("not a pinyin syllable: %r" % marked)
    return syllable + tone


def mandarin_readings():
    fields = {}
    with bz2.open(UNIHAN, "rt", encoding="utf-8") as f:
        for line in f:
            if not line.startswith("U+"):
                continue
            code, field, value = line.rstrip("\n").split("\t", 2)
            if field in ("kMandarin", "kTGHZ2013", "kHanyuPinyin"):
                fields.setdefault(int(code[2:], 16), {})[field] = value
    table = {}
    for cp, f in fields.items():
        marked = f.get("kMandarin", "").split()
        for field in ("kTGHZ2013", "kHanyuPinyin"):
            # "047.150:chóng 481.090:zhòng", "63680.020:zhòng,chóng,tóng"
            for entry in f.get(field, "").split():
                marked.extend(entry.split(":", 1)[1].split(","))
        readings = []
        for m in marked:
            syllable = pinyin_with_digit(m)
            if syllable not in readings:
                readings.append(syllable)
        table[cp] = readings
    return table


# --- Cantonese --------------------------------------------------------------


def dict_entries(path):
    """(text, readings, weight or None) of a Rime dictionary, in file order."""
    in_body = False
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if not in_body:
                in_body = line == "..."
                continue
            if not line or line.startswith("#"):
                continue
            parts = line.split("\t")
            weight = None
            if len(parts) > 2 and parts[2]:
                weight = float(parts[2].rstrip("%"))
            yield parts[0], parts[1].split(), weight


def essay_counts():
    counts = {}
    with open(ESSAY, encoding="utf-8") as f:
        for line in f:
            parts = line.rstrip("\n").split("\t")
            if len(parts) == 2:
                counts[parts[0]] = counts.get(parts[0], 0) + int(parts[1])
    return counts


def to_simplified(texts):
    """opencc t2s of each text (phrases included), or None where the length changes."""
    with tempfile.TemporaryDirectory() as tmp:
        src, dst = os.path.join(tmp, "in.txt"), os.path.join(tmp, "out.txt")
        with open(src, "w", encoding="utf-8") as f:
            f.write("".join(t + "\n" for t in texts))
        subprocess.run([OPENCC, "-c", "t2s.json", "-i", src, "-o", dst], check=True)
        with open(dst, encoding="utf-8") as f:
            out = f.read().split("\n")
    if len(out) < len(texts):
        sys.exit("opencc returned %d lines for %d" % (len(out), len(texts)))
    return [s if len(s) == len(t) else None for t, s in zip(texts, out)]


def cantonese_tables():
    essay = essay_counts()
    words = {}  # traditional word -> its readings (lists of syllables), file order
    for text, syllables, _ in dict_entries(WORDS):
        if len(text) >= 2 and len(text) == len(syllables) and all(map(is_han, text)):
            words.setdefault(text, [])
            if syllables not in words[text]:
                words[text].append(syllables)

    # How often each reading of a character is used, from the words read with it
    # and how often those words occur: orders readings the dictionary weighs alike.
    usage = {}
    for text, readings in words.items():
        for syllables in readings:
            for ch, syllable in zip(text, syllables):
                usage[ch, syllable] = usage.get((ch, syllable), 0) + essay.get(text, 0)

    # A reading without a weight is the character's usual one (the dictionary
    # gives each character at most one); weighted ones follow by weight.
    entries = {}
    for index, (ch, syllables, weight) in enumerate(dict_entries(CHARS)):
        if len(ch) != 1 or len(syllables) != 1:
            continue
        unweighted = weight is None
        key = (0 if unweighted else 1, -(weight or 0), -usage.get((ch, syllables[0]), 0), index)
        entries.setdefault(ch, []).append((key, syllables[0]))
    traditional = {}
    for ch, readings in entries.items():
        ordered = []
        for _, syllable in sorted(readings):
            if syllable not in ordered:
                ordered.append(syllable)
        traditional[ch] = ordered

    # Simplified keys: every traditional character that opencc simplifies to
    # another character lends its readings to that character. Several
    # traditional characters for one simplified (發/髮 -> 发, 乾/幹/干 -> 干):
    # the usual readings first, the most common character's first, then the rest.
    trad_chars = sorted(traditional)
    sources = {ch: [ch] for ch in trad_chars}
    for ch, simple in zip(trad_chars, to_simplified(trad_chars)):
        if simple and simple != ch:
            sources.setdefault(simple, []).append(ch)
    table = {}
    for key, chars in sources.items():
        chars = sorted(set(chars), key=lambda c: (-essay.get(c, 0), c))
        ranked = []
        for rank, c in enumerate(chars):
            for position, syllable in enumerate(traditional[c]):
                ranked.append(((0 if position == 0 else 1, rank, position), syllable))
        merged = []
        for _, syllable in sorted(ranked):
            if syllable not in merged:
                merged.append(syllable)
        table[key] = merged

    def usual(text):
        return [table[c][0] if c in table else None for c in text]

    def matching(text, syllables):
        return sum(a == b for a, b in zip(usual(text), syllables))

    # The word's reading: of several, the one closest to its characters' usual
    # readings (a word read two ways usually differs in one syllable).
    def reading_of(text):
        return min(words[text], key=lambda s: (-matching(text, s), s))

    # Simplified words, from opencc with its phrases (乾隆 stays 乾隆); a
    # simplified word that stands for several traditional ones takes the most
    # common one's reading.
    trad_words = sorted(words)
    word_sources = {w: [w] for w in trad_words}
    for word, simple in zip(trad_words, to_simplified(trad_words)):
        if simple and simple != word and all(map(is_han, simple)):
            word_sources.setdefault(simple, []).append(word)
    word_table = {}
    for key, texts in word_sources.items():
        best = min(texts, key=lambda w: (-essay.get(w, 0), w))
        if any(s == usual(key) for s in words[best]):
            continue
        word_table[key] = reading_of(best)
    return table, word_table


# --- the tables -------------------------------------------------------------


def pad4(data):
    return data + b"\0" * (-len(data) % 4)


def table_bytes(language, chars, word_table):
    syllables = sorted({s for r in chars.values() for s in r}
                       | {s for r in word_table.values() for s in r})
    number = {s: i for i, s in enumerate(syllables)}
    text = b""
    starts = []
    for s in syllables:
        starts.append(len(text))
        text += s.encode("utf-8")
    starts.append(len(text))

    codes = sorted(ord(c) if isinstance(c, str) else c for c in chars)
    refs, readings = [], []
    for cp in codes:
        r = chars[chr(cp)] if language == CANTONESE else chars[cp]
        if len(r) > 255:
            sys.exit("too many readings for U+%04X" % cp)
        refs.append(len(readings) << 8 | len(r))
        readings.extend(number[s] for s in r)

    by_length = {}
    for word, reading in word_table.items():
        by_length.setdefault(len(word), []).append(
            (tuple(map(ord, word)), tuple(number[s] for s in reading)))
    lengths = sorted(by_length)

    header = struct.pack("<4sHH6I", b"SYJR", VERSION, language, len(syllables), len(text),
                         len(codes), len(readings), len(lengths), 0)
    body = struct.pack("<%dI" % len(starts), *starts) + pad4(text)
    body += struct.pack("<%dI" % len(codes), *codes)
    body += struct.pack("<%dI" % len(refs), *refs)
    body += pad4(struct.pack("<%dH" % len(readings), *readings))
    groups_at = len(header) + len(body)
    records_at = groups_at + 12 * len(lengths)
    groups, records = b"", b""
    for length in lengths:
        entries = sorted(by_length[length])
        groups += struct.pack("<3I", length, len(entries), records_at + len(records))
        for cps, syl in entries:
            records += struct.pack("<%dI%dH" % (length, length), *cps, *syl)
    return header + body + groups + records


def package_versions():
    """'package version' of every package an input comes from (opencc's tables
    are in libopencc), sorted."""
    owners = subprocess.run(["dpkg-query", "-S"] + list(INPUTS), capture_output=True,
                            text=True, check=True).stdout
    packages = sorted({line.split(":")[0] for line in owners.splitlines()})
    out = []
    for p in packages:
        v = subprocess.run(["dpkg-query", "-W", "-f=${Version}", p], capture_output=True,
                           text=True, check=True).stdout.strip()
        out.append("%s %s\n" % (p, v))
    return "".join(out)


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--out", default=os.path.join(root, "aids", "data"))
    args = parser.parse_args()
    for path in INPUTS:
        if not os.path.exists(path):
            sys.exit("missing %s: apt-get install %s" % (path, " ".join(PACKAGES)))

    mandarin = mandarin_readings()
    cantonese, words = cantonese_tables()
    os.makedirs(args.out, exist_ok=True)
    outputs = {
        "mandarin.bin": table_bytes(MANDARIN, mandarin, {}),
        "cantonese.bin": table_bytes(CANTONESE, cantonese, words),
        "sources.txt": ("Made by scripts/make-reading-tables.py from these Debian packages:\n"
                        + package_versions()).encode("utf-8"),
    }
    for name, data in outputs.items():
        with open(os.path.join(args.out, name), "wb") as f:
            f.write(data)
        print("%s: %d bytes" % (name, len(data)))
    print("Mandarin: %d characters; Cantonese: %d characters, %d words" %
          (len(mandarin), len(cantonese), len(words)))


if __name__ == "__main__":
    main()
