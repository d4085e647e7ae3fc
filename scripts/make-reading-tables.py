#!/usr/bin/env python3
"""Makes the reading tables of the writing aids from the installed Debian packages.

    python3 scripts/make-reading-tables.py [--out DIR]      (default: aids/data)

Reads
  unicode-data           /usr/share/unicode/Unihan_Readings.txt.bz2
                         (kTGHZ2013, kMandarin and kHanyuPinyin)
  rime-data-pinyin-simp  /usr/share/rime-data/pinyin_simp.dict.yaml (how often each
                         character is typed as each toneless syllable, and words)
  aids/data/mandarin-order.txt   the hand-checked order of the readings that
                         differ only by tone, and words read with such a tone
  rime-data-jyut6ping3   /usr/share/rime-data/jyut6ping3.chars.dict.yaml,
                         jyut6ping3.words.dict.yaml, essay-cantonese.txt
  opencc                 /usr/bin/opencc with t2s.json, for the simplified keys
  festlex-cmu            /usr/share/festival/dicts/cmu/cmudict-0.4.out (English words'
                         syllables)
and writes DIR/mandarin.bin, DIR/cantonese.bin, DIR/english.bin, the word finder's
DIR/mandarin-words.bin and DIR/cantonese-words.bin, and DIR/sources.txt (the package
versions the tables were made from). Same packages, same bytes. The notices
of the data's licences are in aids/data/LICENSES.

Both .bin files have one layout, little-endian throughout, read in place by
aids/readingtables.cpp:

  offset 0   "SYJR"  u16 version (2)  u16 language (0 Mandarin, 1 Cantonese)
         8   u32 syllables S   u32 syllable text bytes T   u32 characters C
        20   u32 readings R    u32 word lengths W          u32 0
        32   (S + 1) x u32     where each syllable starts in the text, then the end
             T bytes           the syllables, UTF-8, no separators; zero-padded to 4
             C x u32           the characters (code points), ascending
             C x u32           for each character: first reading << 12 | readings that
                               count << 6 | number of readings
             R x u16           readings as syllable numbers, usual first, the readings
                               that count before the rare ones; zero-padded to 4
             W x 3 x u32       word lengths: length L (characters), words N, file offset
             per word length   N records of L x u32 code points then L x u16 syllables,
                               ascending by code points

Syllables are sorted, so the syllable numbers are stable for the same data.

english.bin, the English words whose syllable count the vowel-group rule of
aids/syllables.cpp (vowel_groups() below) gets wrong, and every word of two
to five letters (so that the aids know an acronym is no word):

  offset 0   "SYJE"  u16 version (1)  u16 0  u32 words N  u32 text bytes T
        16   (N + 1) x u32     where each word starts in the text, then the end
             T bytes           the words, lowercase a-z, apostrophes left out,
                               ascending; zero-padded to 4
             N x u8            each word's syllables

mandarin-words.bin and cantonese-words.bin, the words of one to four syllables the
word finder offers, each with one reading, indexed by the tone classes of its syllables
(read in place by aids/wordfinder.cpp):

  offset 0   "SYJW"  u16 version (1)  u16 language (0 Mandarin, 1 Cantonese)
         8   u32 syllables S   u32 syllable text bytes T   u32 word lengths W (4)  u32 0
        24   (S + 1) x u32     where each syllable starts in the text, then the end
             T bytes           the syllables, UTF-8, ascending; zero-padded to 4
             W x 4 x u32       per length L = 1..W: L, words N, file offset of the
                               words, file offset of the index
             per word length   N records of L x u32 code points then L x u16 syllables,
                               the most frequent first; zero-padded to 4
             per word length   (4^L + 1) x u32 where each class pattern's words start
                               in the list below, then its end; then N x u32 word
                               numbers, ascending within a pattern

A pattern is the sum of class(syllable k) x 4^k, the classes numbered Mandarin
平 0, 仄 1, 轻 2; Cantonese (0243) 0 -> 0, 2 -> 1, 3 -> 2, 4 -> 3. Mandarin words are
the dictionary's words typed at least once, their tones those of the word list
where it has the word, else each character's first reading that counts in the
typed syllable (a word a character of which has no such reading is left out);
frequency is the dictionary's count. Cantonese words are the jyut6ping3 words
with each reading the dictionary gives them, and the characters of the essay
with each of their readings; only readings the aids count (the word list's, or
one that counts for each character) are kept; frequency is the essay's count.

The readings that count are the modern standard ones: Mandarin, those of
kTGHZ2013 (the 2013 standard dictionary), kMandarin where it has none;
Cantonese, the dictionary's unweighted readings and those weighed 5% or more.
The aids judge fits and rhymes with these; the rest are only offered to pick.
"""

import argparse
import bz2
import functools
import os
import re
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
PINYIN = RIME + "/pinyin_simp.dict.yaml"
CMUDICT = "/usr/share/festival/dicts/cmu/cmudict-0.4.out"
OPENCC = "/usr/bin/opencc"
OPENCC_TABLES = tuple("/usr/share/opencc/%s.ocd2" % t for t in
                      ("TSCharacters", "TSPhrases", "STCharacters", "STPhrases"))
INPUTS = (UNIHAN, PINYIN, CHARS, WORDS, ESSAY, CMUDICT, OPENCC) + OPENCC_TABLES
PACKAGES = ("unicode-data", "rime-data-pinyin-simp", "rime-data-jyut6ping3", "festlex-cmu",
            "opencc")
HAND_ORDER = "mandarin-order.txt"

MANDARIN, CANTONESE = 0, 1
VERSION = 2
# Cantonese readings weighed this much or more count, with the unweighted ones.
COUNTED_WEIGHT = 5.0

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


def marked_list(value):
    """'047.150:chóng 481.090:zhòng' or '63680.020:zhòng,chóng' -> the readings."""
    out = []
    for entry in value.split():
        out.extend(entry.split(":", 1)[1].split(","))
    return out


def unique(items):
    out = []
    for item in items:
        if item not in out:
            out.append(item)
    return out


def toneless(syllable):
    """'lü4' -> 'lv', as the Rime dictionary writes it."""
    return syllable[:-1].replace("ü", "v")


def rime_entries(path):
    """(text, syllables, weight) of a Rime dictionary's body."""
    for text, syllables, weight in dict_entries(path):
        yield text, syllables, int(weight or 0)


def hand_order(path):
    """The hand-checked file: {text: readings}, one line each, the reason after a tab."""
    order = {}
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            parts = line.split("\t")
            if len(parts) < 3 or not parts[2].strip():
                sys.exit("%s:%d: text, readings and why, tab-separated" % (path, number))
            readings = parts[1].split()
            if parts[0] in order or not all(map(is_han, parts[0])):
                sys.exit("%s:%d: %r twice or not Han characters" % (path, number, parts[0]))
            if len(parts[0]) > 1 and len(readings) != len(parts[0]):
                sys.exit("%s:%d: a word takes one reading per character" % (path, number))
            order[parts[0]] = readings
    return order


def mandarin_tables(hand_path):
    """The Mandarin characters {code point: (readings, how many count)} and the
    words read otherwise than their characters' usual readings."""
    fields = {}
    with bz2.open(UNIHAN, "rt", encoding="utf-8") as f:
        for line in f:
            if not line.startswith("U+"):
                continue
            code, field, value = line.rstrip("\n").split("\t", 2)
            if field in ("kMandarin", "kTGHZ2013", "kHanyuPinyin"):
                fields.setdefault(int(code[2:], 16), {})[field] = value

    # How often each character is typed as each toneless syllable.
    counts, rime_words = {}, []
    for text, syllables, weight in rime_entries(PINYIN):
        if len(text) == 1 and len(syllables) == 1:
            counts[text, syllables[0]] = counts.get((text, syllables[0]), 0) + weight
        elif len(text) >= 2 and len(text) == len(syllables) and all(map(is_han, text)):
            rime_words.append((text, syllables, weight))
    hand = hand_order(hand_path)

    # A traditional character is typed as its simplified form: 長 is counted as 长,
    # and takes the simplified form's standard readings and hand-checked order.
    chars = sorted(chr(cp) for cp in fields)
    simple_of = {c: s for c, s in zip(chars, to_simplified(chars)) if s and s != c}

    base = {}
    for cp, f in fields.items():
        mandarin = [pinyin_with_digit(m) for m in f.get("kMandarin", "").split()]
        standard = unique(pinyin_with_digit(m) for m in marked_list(f.get("kTGHZ2013", "")))
        every = unique(mandarin + standard + [pinyin_with_digit(m)
                                              for m in marked_list(f.get("kHanyuPinyin", ""))])
        base[chr(cp)] = (every, mandarin, standard)

    table = {}
    for ch, (every, mandarin, standard) in base.items():
        simple = simple_of.get(ch, ch)
        if not standard and simple in base:
            standard = [r for r in base[simple][2] if r in every]
        counted = set(standard or mandarin or every[:1])
        manual = [r for r in hand.get(simple, []) if r in every]
        if ch in hand and len(manual) != len(hand[ch]):
            sys.exit("%s: %s are not all readings of it" % (HAND_ORDER, ch))
        counted.update(manual)

        # The hand-checked order first; then the syllable typed most often; in
        # one syllable the standard's readings, kMandarin's first, then the
        # standard's order; the rare readings last, in Unihan's order.
        def key(item):
            index, r = item
            rare = r not in counted
            return (rare, manual.index(r) if r in manual else len(manual),
                    0 if rare else -counts.get((simple, toneless(r)), 0),
                    r not in standard, r not in mandarin[:1],
                    standard.index(r) if r in standard else 0, index)

        ordered = [r for _, r in sorted(enumerate(every), key=key)]
        table[ord(ch)] = (ordered, len(counted))

    # Words: a word's toneless syllable picks the first of its character's
    # readings in that syllable; words whose readings so found differ from
    # their characters' usual ones, and the hand-checked words, are kept.
    def usual(ch):
        entry = table.get(ord(ch))
        return entry[0][0] if entry else None

    words = {}
    for text, syllables, weight in rime_words:
        if weight <= 0 or text in words:
            continue
        reading = []
        for ch, syllable in zip(text, syllables):
            entry = table.get(ord(ch))
            found = [r for r in (entry[0] if entry else []) if toneless(r) == syllable]
            if not found:
                break
            reading.append(found[0])
        if len(reading) == len(text) and reading != [usual(c) for c in text]:
            words[text] = reading
    for text, readings in hand.items():
        if len(text) > 1:
            for ch, r in zip(text, readings):
                if r not in (table.get(ord(ch)) or ([],))[0]:
                    sys.exit("%s: %s is no reading of %s in %s" % (HAND_ORDER, r, ch, text))
            words[text] = readings
    # The same words in traditional script, where each character keeps its place.
    simple_words = sorted(words)
    for word, trad in zip(simple_words, to_traditional(simple_words)):
        if trad and trad != word and trad not in words and all(ord(c) in table for c in trad):
            reading = words[word]
            if all(r in table[ord(c)][0] for c, r in zip(trad, reading)) and \
                    reading != [usual(c) for c in trad]:
                words[trad] = reading
    return table, words


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
    return opencc(texts, "t2s.json")


def to_traditional(texts):
    """opencc s2t of each text (phrases included), or None where the length changes."""
    return opencc(texts, "s2t.json")


def opencc(texts, config):
    with tempfile.TemporaryDirectory() as tmp:
        src, dst = os.path.join(tmp, "in.txt"), os.path.join(tmp, "out.txt")
        with open(src, "w", encoding="utf-8") as f:
            f.write("".join(t + "\n" for t in texts))
        subprocess.run([OPENCC, "-c", config, "-i", src, "-o", dst], check=True)
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
    # and how often those words occur, and in how many words: orders readings
    # the dictionary weighs alike (長: coeng4 in twice as many words, zoeng2 in
    # somewhat more frequent ones; the word list reads 校長 and 成長 zoeng2).
    usage, in_words = {}, {}
    for text, readings in words.items():
        for syllables in readings:
            for ch, syllable in zip(text, syllables):
                usage[ch, syllable] = usage.get((ch, syllable), 0) + essay.get(text, 0)
                in_words[ch, syllable] = in_words.get((ch, syllable), 0) + 1

    # A reading without a weight is the character's usual one (the dictionary
    # gives each character at most one); weighted ones follow by weight, and
    # count from COUNTED_WEIGHT on.
    entries = {}
    for index, (ch, syllables, weight) in enumerate(dict_entries(CHARS)):
        if len(ch) != 1 or len(syllables) != 1:
            continue
        unweighted = weight is None
        s = syllables[0]
        key = (0 if unweighted else 1, -(weight or 0))
        entries.setdefault(ch, []).append(
            (key, in_words.get((ch, s), 0), usage.get((ch, s), 0), index, s,
             unweighted or weight >= COUNTED_WEIGHT))

    # Weighed alike: a reading in twice as many words as the other comes
    # first, else the one whose words occur more often, else the file's order.
    def alike(a, b):
        if a[0] != b[0]:
            return -1 if a[0] < b[0] else 1
        if a[1] >= 2 * b[1] and a[1] > b[1] or b[1] >= 2 * a[1] and b[1] > a[1]:
            return -1 if a[1] > b[1] else 1
        if a[2] != b[2]:
            return -1 if a[2] > b[2] else 1
        return -1 if a[3] < b[3] else 1 if a[3] > b[3] else 0

    traditional = {}
    for ch, readings in entries.items():
        ordered, counted = [], set()
        for *_, syllable, counts in sorted(readings, key=functools.cmp_to_key(alike)):
            if syllable not in ordered:
                ordered.append(syllable)
            if counts:
                counted.add(syllable)
        traditional[ch] = (ordered, counted)

    # Simplified keys: every traditional character that opencc simplifies to
    # another character lends its readings to that character. A character the
    # dictionary has as its own (台, 里, 松, 斗) keeps its own readings first
    # and takes the others' only as rare ones: in traditional text 台 is toi4,
    # not 檯's toi2. For a simplified form of several traditional characters
    # (發/髮 -> 发, 乾/幹 -> 干) the usual readings come first, the most common
    # character's first, then the rest; a reading counts where it counts for
    # its character.
    trad_chars = sorted(traditional)
    sources = {ch: [ch] for ch in trad_chars}
    for ch, simple in zip(trad_chars, to_simplified(trad_chars)):
        if simple and simple != ch:
            sources.setdefault(simple, []).append(ch)
    table = {}
    for key, chars in sources.items():
        own = key in traditional
        chars = sorted(set(chars), key=lambda c: (c != key if own else 0, -essay.get(c, 0), c))
        ranked = []
        for rank, c in enumerate(chars):
            ordered, counted = traditional[c]
            for position, syllable in enumerate(ordered):
                counts = syllable in counted and (not own or c == key)
                ranked.append(((not counts, 0 if own or position == 0 else 1, rank, position),
                               syllable, counts))
        merged, counted = [], set()
        for _, syllable, counts in sorted(ranked):
            if syllable not in merged:
                merged.append(syllable)
                if counts:
                    counted.add(syllable)
        # A character with weighted readings only: its first counts.
        table[key] = (merged, max(1, len(counted)))

    def usual(text):
        return [table[c][0][0] if c in table else None for c in text]

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


# --- English ----------------------------------------------------------------


def vowel_groups(word):
    """The syllables the rule gives a lowercase word: its groups of vowels
    (a e i o u y), less a silent final e (not after l: table, little), at least 1.
    aids/syllables.cpp applies the same rule to words the table does not hold."""
    groups, in_group = 0, False
    for ch in word:
        vowel = ch in "aeiouy"
        groups += vowel and not in_group
        in_group = vowel
    if groups > 1 and word.endswith("e") and not word.endswith("le"):
        groups -= 1
    return max(1, groups)


def english_bytes():
    # ("baby" nil (((b ey) 1) ((b iy) 0))): a syllable ends in its stress. The
    # first entry of a word counts (the others are other parts of speech).
    counts = {}
    with open(CMUDICT, encoding="latin-1") as f:
        for line in f:
            if not line.startswith('("'):
                continue
            word = line[2:line.index('"', 2)].replace("'", "")
            if not word.isascii() or not word.isalpha() or word in counts:
                continue
            counts[word.lower()] = len(re.findall(r"\) [0-9]\)", line))
    kept = sorted(w for w, n in counts.items()
                  if 0 < n < 256 and (n != vowel_groups(w) or 2 <= len(w) <= 5))
    text, starts = b"", []
    for w in kept:
        starts.append(len(text))
        text += w.encode("ascii")
    starts.append(len(text))
    return (struct.pack("<4sHH2I", b"SYJE", 1, 0, len(kept), len(text))
            + struct.pack("<%dI" % len(starts), *starts) + pad4(text)
            + bytes(counts[w] for w in kept))


# --- the word finder's words --------------------------------------------------

FINDER_LENGTHS = 4


def tone_class(syllable, language):
    """The class number of a reading, as aids/phonology.cpp names the classes."""
    tone = int(syllable[-1]) if syllable[-1:].isdigit() else 0
    if language == MANDARIN:
        return {1: 0, 2: 0, 3: 1, 4: 1, 5: 2}.get(tone)
    return {4: 0, 6: 1, 1: 2, 2: 2, 3: 3, 5: 3}.get(tone)


def counted_readings(chars, key):
    """The readings of a character that count, usual first."""
    entry = chars.get(key)
    return entry[0][:entry[1]] if entry else []


def mandarin_finder_words(chars, word_table):
    """(text, readings, count) of the Mandarin words, tones told as the aids read them:
    the word list's reading, or each character's first reading that counts in the
    typed syllable."""
    out, seen = [], set()
    for text, syllables, weight in rime_entries(PINYIN):
        if weight <= 0 or not 1 <= len(text) <= FINDER_LENGTHS or len(text) != len(syllables) \
                or not all(map(is_han, text)):
            continue
        reading = word_table.get(text)
        if reading is None or [toneless(r) for r in reading] != syllables:
            reading = []
            for ch, syllable in zip(text, syllables):
                found = [r for r in counted_readings(chars, ord(ch)) if toneless(r) == syllable]
                if not found:
                    break
                reading.append(found[0])
        if len(reading) != len(text) or (text, tuple(reading)) in seen:
            continue
        seen.add((text, tuple(reading)))
        out.append((text, reading, weight))
    return out


def cantonese_finder_words(chars, word_table):
    """(text, readings, count) of the Cantonese words and common characters, each
    reading one that the aids count: the word list's, or one that counts for every
    character."""
    essay = essay_counts()
    out, seen = [], set()

    def add(text, reading, weight):
        # The aids read a word of the list only where its characters are all
        # in the Basic Multilingual Plane.
        listed = word_table.get(text) == reading and all(ord(c) <= 0xFFFF for c in text)
        if not listed and any(r not in counted_readings(chars, ch) for ch, r in zip(text, reading)):
            return
        if (text, tuple(reading)) not in seen:
            seen.add((text, tuple(reading)))
            out.append((text, reading, weight))

    for text, syllables, _ in dict_entries(WORDS):
        if 2 <= len(text) <= FINDER_LENGTHS and len(text) == len(syllables) \
                and all(map(is_han, text)):
            add(text, syllables, essay.get(text, 0))
    for ch, syllables, weight in dict_entries(CHARS):
        if len(ch) == 1 and len(syllables) == 1 and is_han(ch) and essay.get(ch, 0) > 0 \
                and (weight is None or weight >= COUNTED_WEIGHT):
            add(ch, syllables, essay[ch])
    return out


def finder_bytes(language, words):
    words = [(t, r, w) for t, r, w in words
             if all(tone_class(s, language) is not None for s in r)]
    syllables = sorted({s for _, r, _ in words for s in r})
    number = {s: i for i, s in enumerate(syllables)}
    text, starts = b"", []
    for s in syllables:
        starts.append(len(text))
        text += s.encode("utf-8")
    starts.append(len(text))
    head = struct.pack("<4sHH4I", b"SYJW", 1, language, len(syllables), len(text),
                       FINDER_LENGTHS, 0)
    head += struct.pack("<%dI" % len(starts), *starts) + pad4(text)
    at = len(head) + 16 * FINDER_LENGTHS
    groups, body = b"", b""
    for length in range(1, FINDER_LENGTHS + 1):
        entries = sorted(((-w, tuple(map(ord, t)), tuple(number[s] for s in r), r)
                          for t, r, w in words if len(t) == length))
        records = pad4(b"".join(struct.pack("<%dI%dH" % (length, length), *cps, *syl)
                                for _, cps, syl, _ in entries))
        patterns = [[] for _ in range(4 ** length)]
        for index, (_, _, _, r) in enumerate(entries):
            key = sum(tone_class(s, language) * 4 ** k for k, s in enumerate(r))
            patterns[key].append(index)
        index_starts, index = [], []
        for p in patterns:
            index_starts.append(len(index))
            index.extend(p)
        index_starts.append(len(index))
        groups += struct.pack("<4I", length, len(entries), at + len(body),
                              at + len(body) + len(records))
        body += records + struct.pack("<%dI" % len(index_starts), *index_starts)
        body += struct.pack("<%dI" % len(index), *index)
    return head + groups + body


# --- the tables -------------------------------------------------------------


def pad4(data):
    return data + b"\0" * (-len(data) % 4)


def table_bytes(language, chars, word_table):
    syllables = sorted({s for r, _ in chars.values() for s in r}
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
        r, counted = chars[chr(cp)] if language == CANTONESE else chars[cp]
        if len(r) > 63 or not 0 < counted <= len(r) or len(readings) >= 1 << 20:
            sys.exit("readings of U+%04X do not fit the table" % cp)
        refs.append(len(readings) << 12 | counted << 6 | len(r))
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

    mandarin, mandarin_words = mandarin_tables(os.path.join(root, "aids", "data", HAND_ORDER))
    cantonese, words = cantonese_tables()
    os.makedirs(args.out, exist_ok=True)
    outputs = {
        "mandarin.bin": table_bytes(MANDARIN, mandarin, mandarin_words),
        "cantonese.bin": table_bytes(CANTONESE, cantonese, words),
        "english.bin": english_bytes(),
        "mandarin-words.bin": finder_bytes(MANDARIN,
                                           mandarin_finder_words(mandarin, mandarin_words)),
        "cantonese-words.bin": finder_bytes(CANTONESE, cantonese_finder_words(cantonese, words)),
        "sources.txt": ("Made by scripts/make-reading-tables.py from these Debian packages:\n"
                        + package_versions()).encode("utf-8"),
    }
    for name, data in outputs.items():
        with open(os.path.join(args.out, name), "wb") as f:
            f.write(data)
        print("%s: %d bytes" % (name, len(data)))
    print("Mandarin: %d characters, %d words; Cantonese: %d characters, %d words" %
          (len(mandarin), len(mandarin_words), len(cantonese), len(words)))


if __name__ == "__main__":
    main()
