#!/usr/bin/env python3
# Writes the benchmarks' source tree: 2,000 files of 100,000 bytes in 40
# folders, half random, half text, 200 MB in all.
#   make_source.py <directory>
import os
import random
import sys

root = sys.argv[1]
rng = random.Random(1998)
words = ["".join(rng.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(2, 9)))
         for _ in range(5000)]
pool = bytearray()
while len(pool) < 4_000_000:
    pool += (" ".join(rng.choices(words, k=rng.randint(4, 14))) + "\r\n").encode()
size = 100_000
for i in range(2000):
    folder = os.path.join(root, "dir%02d" % (i % 40))
    os.makedirs(folder, exist_ok=True)
    if i % 2:
        start = rng.randrange(len(pool) - size)
        data, name = bytes(pool[start:start + size]), "text%04d.txt" % i
    else:
        data, name = os.urandom(size), "rand%04d.bin" % i
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)
