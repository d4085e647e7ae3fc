#!/usr/bin/env python3
"""Measures how well the writing aids read line ends, against independent
converters and the hand-made verdicts of bench/readings-corpus/verdicts.tsv.

For every line of the corpus (bench/readings-corpus/) the readings probe of a
build gives the line end the aids rhyme on and its usual reading; the converter
(npm pinyin-pro for Mandarin, to-jyutping for Cantonese, both reading the
whole line) gives its reading of the same character. Where the two differ, the
verdict file says which is right. A side is wrong on a line when the verdict
is against it; the rhyme group (中华新韵 / jyutping final) and the tone class
(平仄 / 0243) are wrong when the wrong reading's differ from the right one's,
both sorted by the program's own rules. Lines where the two agree count as
right for both. Disagreements without a verdict are written to
readings-unjudged-<language>.tsv in the build folder, in the verdict file's
columns; the error rates then scale the judged ones' to all disagreements and
say so (a random sample may be judged).

It also counts the sung syllables that show more than one tone class.

The converters are installed outside the repository:
    mkdir -p /tmp/readings-npm && cd /tmp/readings-npm && npm install pinyin-pro to-jyutping
Then, with a build that has the probe (cmake --build build --target
shengyunjian_readings_probe):
    python3 scripts/measure-readings.py [--build build] [--converters /tmp/readings-npm]
Without the converters it prints only the share of syllables with several
classes.
"""
import argparse
import collections
import json
import os
import pathlib
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
CORPUS = ROOT / "bench" / "readings-corpus"
VERDICTS = CORPUS / "verdicts.tsv"
PARTS = {
    "mandarin": ["mandarin-verse.txt"],
    "cantonese": ["cantonese-verse.txt", "cantonese-colloquial.txt"],
}
CONVERT = r"""
const lang = process.argv[1];
const lines = require('fs').readFileSync(0, 'utf8').split('\n');
if (lines.length && lines[lines.length - 1] === '') lines.pop();
let convert;
if (lang === 'mandarin') {
  const {pinyin} = require('pinyin-pro');
  convert = (l) => pinyin(l, {toneType: 'num', type: 'array'}).map((r) => r.replace(/0$/, '5'));
} else {
  const TJ = require('to-jyutping');
  convert = (l) => TJ.getJyutpingList(l).map((p) => p[1] || '');
}
for (const l of lines) process.stdout.write(JSON.stringify(convert(l)) + '\n');
"""


def run(cmd, text, env=None, cwd=None):
    return subprocess.run(cmd, input=text, capture_output=True, text=True, check=True,
                          env=env, cwd=cwd).stdout.split("\n")


def load_verdicts():
    verdicts = {}
    if not VERDICTS.exists():
        return verdicts
    for row in VERDICTS.read_text(encoding="utf-8").split("\n")[1:]:
        if not row.strip():
            continue
        lang, line, end, prog, conv, verdict = row.split("\t")[:6]
        verdicts[(lang, line, int(end), prog, conv)] = verdict
    return verdicts


def measure(lang, probe, converters, verdicts):
    lines = []
    for part in PARTS[lang]:
        lines += [l for l in (CORPUS / part).read_text(encoding="utf-8").split("\n") if l]
    text = "\n".join(lines) + "\n"
    probed = [r.split("\t") for r in run([probe, lang], text)[: len(lines)]]

    syllables = several = 0
    for fields in probed:
        for s in fields[5].split(" ") if fields[5] else []:
            classes = s.split("=", 1)[1]
            if classes:
                syllables += 1
                several += "/" in classes
    result = {"lines": len(lines), "syllables": syllables,
              "several_classes_pct": 100.0 * several / max(syllables, 1)}
    if converters is None:
        return result, []

    env = dict(os.environ, NODE_PATH=str(converters / "node_modules"))
    converted = [json.loads(r) for r in run(["node", "-e", CONVERT, lang], text, env=env)[: len(lines)]]

    # Each side's readings sorted by the program's rules.
    wanted = sorted({f[2] for f in probed if f[2]} | {r for c in converted for r in c if r})
    sorted_by = dict(zip(wanted, [r.split("\t") for r in
                                  run([probe, lang, "readings"], "\n".join(wanted) + "\n")]))

    def group(r):
        return sorted_by.get(r, ["", ""])[0]

    def tone_class(r):
        return sorted_by.get(r, ["", ""])[1]

    disagreements, unjudged = 0, []
    wrong = collections.Counter()
    judged = 0
    for line, fields, conv in zip(lines, probed, converted):
        end = int(fields[0])
        if end < 0 or not fields[2] or end >= len(conv) or not conv[end]:
            continue
        prog, other = fields[2], conv[end]
        if prog == other:
            continue
        disagreements += 1
        verdict = verdicts.get((lang, line, end, prog, other))
        if verdict is None:
            unjudged.append((lang, line, end, prog, other))
            continue
        judged += 1
        if verdict == "both-ok":
            continue
        right = {"program": prog, "converter": other}.get(verdict, verdict)
        for side, reading in (("program", prog), ("converter", other)):
            if reading == right:
                continue
            wrong[side + "_end"] += 1
            wrong[side + "_group"] += group(reading) != group(right)
            wrong[side + "_class"] += tone_class(reading) != tone_class(right)

    scale = disagreements / judged if judged else 0.0
    result.update(disagreements=disagreements, judged=judged)
    for key in ("end", "group", "class"):
        for side in ("program", "converter"):
            result[f"{side}_{key}_wrong_pct"] = 100.0 * wrong[side + "_" + key] * scale / len(lines)
    return result, unjudged


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--build", default=str(ROOT / "build"), help="build folder with the probe")
    ap.add_argument("--converters", default=os.environ.get("READINGS_CONVERTERS", "/tmp/readings-npm"),
                    help="folder whose node_modules has pinyin-pro and to-jyutping")
    ap.add_argument("--json", action="store_true", help="print the figures as JSON")
    args = ap.parse_args()

    probe = pathlib.Path(args.build) / "bench" / "shengyunjian_readings_probe"
    if not probe.exists():
        sys.exit(f"no probe at {probe}: cmake --build {args.build} --target shengyunjian_readings_probe")
    converters = pathlib.Path(args.converters)
    if not all((converters / "node_modules" / m).exists() for m in ("pinyin-pro", "to-jyutping")):
        print(f"no converters in {converters}; only the tone-class share is measured. Install them with:\n"
              f"  mkdir -p {converters} && cd {converters} && npm install pinyin-pro to-jyutping",
              file=sys.stderr)
        converters = None

    verdicts = load_verdicts()
    figures = {}
    for lang in ("mandarin", "cantonese"):
        figures[lang], unjudged = measure(lang, str(probe), converters, verdicts)
        out = pathlib.Path(args.build) / f"readings-unjudged-{lang}.tsv"
        if unjudged:
            out.write_text("".join("\t".join(map(str, u)) + "\n" for u in unjudged), encoding="utf-8")
        elif out.exists():
            out.unlink()
    if args.json:
        print(json.dumps(figures, ensure_ascii=False, indent=1))
        return
    for lang, f in figures.items():
        print(f"{lang}: {f['lines']} lines, {f['syllables']} syllables, "
              f"{f['several_classes_pct']:.1f}% showing more than one tone class")
        if "disagreements" not in f:
            continue
        note = "" if f["judged"] == f["disagreements"] else \
            f" (judged {f['judged']}, scaled to all)"
        print(f"  line end differs from the converter on {f['disagreements']} lines{note}")
        for key, name in (("end", "line-end reading"), ("group", "rhyme group"), ("class", "tone class")):
            print(f"  {name} wrong: program {f['program_' + key + '_wrong_pct']:.2f}%, "
                  f"converter {f['converter_' + key + '_wrong_pct']:.2f}%")


if __name__ == "__main__":
    main()
