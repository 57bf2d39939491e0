#!/usr/bin/env python3
"""Word recall and seconds per image of the ocr command and of the tesseract program on the same images.

    bench/ocr/ocr_bench.py TOOL [CORPUS_DIR] [--verbose]

Every NAME.png in CORPUS_DIR (default: bench/ocr/corpus) has its text in NAME.txt. The tool reads all the
images in one run (one job, as a host would send them), once at the accurate and once at the fast level; the
tesseract program, with its default settings, is started once per image, as a script would use it, and a
second time limited to one thread (OMP_THREAD_LIMIT=1), which is faster on a busy machine. Recall counts each
word of the truth once: a word is found when the recognised text of that image holds it (case-sensitive,
punctuation at either end ignored). Times are wall-clock seconds per image, the tool's start and model
loading included.
"""

import collections
import json
import os
import subprocess
import sys
import tempfile
import time

STRIP = ".,:;!?\"'()[]{}|"


def words(text):
    return [w.strip(STRIP) for w in text.split() if w.strip(STRIP)]


def recall(truth, found):
    available = collections.Counter(words(found))
    hits = 0
    wanted = words(truth)
    for word in wanted:
        if available[word] > 0:
            available[word] -= 1
            hits += 1
    return hits, len(wanted)


def tool_texts(tool, images, fast):
    job = {"images": images}
    if fast:
        job["fast"] = True
    with tempfile.NamedTemporaryFile("w", suffix=".json", delete=False) as handle:
        json.dump(job, handle)
    start = time.monotonic()
    run = subprocess.run([tool, "ocr", handle.name], capture_output=True, text=True, check=False)
    seconds = time.monotonic() - start
    os.unlink(handle.name)
    result = json.loads(run.stdout.strip().splitlines()[-1])
    if result.get("type") != "result":
        sys.exit(f"the tool failed: {result}")
    texts = ["\n".join(line["text"] for line in entry["lines"]) for entry in result["results"]]
    return texts, seconds


def tesseract_texts(images, one_thread=False):
    env = dict(os.environ)
    if one_thread:
        env["OMP_THREAD_LIMIT"] = "1"
    texts = []
    start = time.monotonic()
    for image in images:
        run = subprocess.run(["tesseract", image, "stdout"], capture_output=True, text=True, check=False, env=env)
        texts.append(run.stdout)
    return texts, time.monotonic() - start


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    verbose = "--verbose" in sys.argv
    if not args:
        sys.exit(__doc__)
    tool = args[0]
    corpus = args[1] if len(args) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
    names = sorted(n[:-4] for n in os.listdir(corpus) if n.endswith(".png"))
    images = [os.path.join(corpus, n + ".png") for n in names]
    truths = [open(os.path.join(corpus, n + ".txt"), encoding="utf-8").read() for n in names]

    rows = []
    runs = (("ocr (accurate)", lambda: tool_texts(tool, images, False)),
            ("ocr (fast)", lambda: tool_texts(tool, images, True)),
            ("tesseract (defaults)", lambda: tesseract_texts(images)),
            ("tesseract (1 thread)", lambda: tesseract_texts(images, one_thread=True)))
    for label, measure in runs:
        texts, seconds = measure()
        hits = total = 0
        for name, truth, text in zip(names, truths, texts):
            h, t = recall(truth, text)
            hits += h
            total += t
            if verbose and h < t:
                missed = collections.Counter(words(truth)) - collections.Counter(words(text))
                print(f"  {label}: {name}: missed {sorted(missed.elements())}")
        rows.append((label, hits, total, seconds / len(images)))

    print(f"{len(images)} images, {rows[0][2]} words")
    print(f"{'':24}{'word recall':>14}{'s/image':>10}")
    for label, hits, total, per_image in rows:
        print(f"{label:24}{100.0 * hits / total:13.1f}%{per_image:10.3f}")
    reference = rows[2][3]
    for label, _, _, per_image in rows[:2]:
        print(f"time ratio {label} / tesseract (defaults): {per_image / reference:.2f}")


if __name__ == "__main__":
    main()
