#!/usr/bin/env python3
"""Writes a deterministic corpus of code-like text: about 210 MB in 20,000 files below
nested folders, with a few hundred lines holding the sought string in its three forms."""
import os, random, sys

root = sys.argv[1] if len(sys.argv) > 1 else "/tmp/tavrin-bench/corpus"
rnd = random.Random(20261207)
words = ("int void return const static struct class namespace value count index buffer "
         "result error status handle config option length offset pointer string vector "
         "begin end first second update render parse token stream reader writer").split()
def line():
    k = rnd.randrange(5)
    ws = [rnd.choice(words) for _ in range(rnd.randrange(3, 9))]
    if k == 0: return "    " + " ".join(ws) + ";"
    if k == 1: return "    if (%s_%s > %d) { %s(); }" % (ws[0], ws[1], rnd.randrange(1000), ws[2])
    if k == 2: return "// " + " ".join(ws)
    if k == 3: return "    %s = %s(%s, %s);" % (ws[0], ws[1], ws[2], ws[-1])
    return ""
pool = [line() for _ in range(50000)]
hits = ["    total = QuuxFrobnicate(total, %d);", "    // see quuxfrobnicate for %d",
        "    QuuxFrobnicateAll(%d);"]
files, per_file = 20000, 10800
os.makedirs(root, exist_ok=True)
planted = set(rnd.sample(range(files), 300))
for i in range(files):
    d = os.path.join(root, "m%02d" % (i % 25), "s%02d" % (i // 25 % 16), "t%d" % (i // 400 % 2))
    os.makedirs(d, exist_ok=True)
    out, size = [], 0
    while size < per_file:
        s = pool[rnd.randrange(len(pool))]
        out.append(s); size += len(s) + 1
    if i in planted:
        out.insert(rnd.randrange(len(out)), hits[i % 3] % i)
    with open(os.path.join(d, "f%05d.%s" % (i, ("cpp", "h", "txt")[i % 3])), "w") as f:
        f.write("\n".join(out) + "\n")
