#!/usr/bin/python3
"""Writes the second reader's values of the corpus files into data/reference/.

Run with Debian's python3-scikit-rf (/usr/bin/python3 tests/s2p/data/make_reference.py);
the files it writes are checked in, so the tests never need Python.

For each corpus file that scikit-rf reads, reference/<file>.txt holds one line per
frequency point: the frequency in Hz, then the real and imaginary parts of S11, S21,
S12 and S22 (Touchstone column order), each written with repr() so that it reads
back to the same double. The values are scikit-rf's raw parameters of the file,
whatever their type (an H file gives its H values), converted from MA or DB to
real/imaginary parts by scikit-rf.
"""

import os
import sys

from skrf.io.touchstone import Touchstone

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, "corpus")
REFERENCE = os.path.join(HERE, "reference")

# scikit-rf decodes text as UTF-8 unless handed an open file; this one is Latin-1.
LATIN1 = {"test_encoding_ISO-8859-1.s2p"}


def read(path, name):
    if name in LATIN1:
        with open(path, encoding="latin-1") as fid:
            return Touchstone(fid).get_sparameter_arrays()
    return Touchstone(path).get_sparameter_arrays()


def main():
    os.makedirs(REFERENCE, exist_ok=True)
    names = sorted(n for n in os.listdir(CORPUS) if n.lower().endswith(".s2p"))
    for name in names:
        try:
            frequencies, s = read(os.path.join(CORPUS, name), name)
        except Exception as error:  # scikit-rf refuses it: no reference
            print("%s: not read (%s: %s)" % (name, type(error).__name__, error), file=sys.stderr)
            continue
        # scikit-rf's matrix is [[S11, S12], [S21, S22]].
        order = [(0, 0), (1, 0), (0, 1), (1, 1)]
        with open(os.path.join(REFERENCE, name + ".txt"), "w", newline="\n") as out:
            for i, frequency in enumerate(frequencies):
                values = [repr(float(frequency))]
                for row, column in order:
                    value = complex(s[i, row, column])
                    values += [repr(value.real), repr(value.imag)]
                out.write(" ".join(values) + "\n")
        print("%s: %d points" % (name, len(frequencies)))


if __name__ == "__main__":
    main()
