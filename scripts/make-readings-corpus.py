#!/usr/bin/env python3
"""Makes the verse part of the corpus that scripts/measure-readings.py reads.

The lines are the Tang and Song poems of Debian's fortunes-zh (tang300,
song100), cut at their punctuation into the half-lines a singer sings as one
line; only lines of Han characters are kept. The Cantonese copy is the same
text in Hong Kong traditional characters by OpenCC (s2hk). The colloquial
Cantonese lines (cantonese-colloquial.txt) are written by hand and not made
here.

    apt-get install fortunes-zh opencc
    python3 scripts/make-readings-corpus.py
"""
import pathlib
import re
import subprocess

ROOT = pathlib.Path(__file__).resolve().parent.parent
OUT = ROOT / "bench" / "readings-corpus"
FORTUNES = pathlib.Path("/usr/share/games/fortunes")
BREAKS = r"[，。？！：；、,.?!:;　 “”‘’「」『』（）()《》]+"


def verse_lines(name):
    text = (FORTUNES / f"{name}.u8").read_text(encoding="utf-8")
    text = re.sub(r"\x1b\[[0-9;]*m", "", text)
    lines = []
    for row in text.split("\n"):
        row = row.strip()
        if not row or row == "%" or row.startswith(("《", "作者", "题目")):
            continue
        for part in re.split(BREAKS, row):
            if re.fullmatch(r"[\u4e00-\u9fff]+", part):
                lines.append(part)
    return lines


def main():
    lines = verse_lines("tang300") + verse_lines("song100")
    OUT.mkdir(parents=True, exist_ok=True)
    (OUT / "mandarin-verse.txt").write_text("\n".join(lines) + "\n", encoding="utf-8")
    traditional = subprocess.run(["opencc", "-c", "s2hk"], input="\n".join(lines) + "\n",
                                 capture_output=True, text=True, check=True).stdout
    (OUT / "cantonese-verse.txt").write_text(traditional, encoding="utf-8")
    print(f"{len(lines)} lines")


if __name__ == "__main__":
    main()
