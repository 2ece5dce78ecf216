"""Reads the factory data set block of a sensor with pyvisa-py, several
times, and prints the seconds of each read, one a line."""

import sys
import time

import pyvisa

resource, repeats, length = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
rm = pyvisa.ResourceManager("@py")
instrument = rm.open_resource(resource)
instrument.timeout = 60000
for _ in range(repeats):
    start = time.perf_counter()
    block = instrument.query_binary_values("*cls;cal:data?", datatype="B", container=bytes)
    elapsed = time.perf_counter() - start
    if len(block) != length:
        sys.exit(f"read {len(block)} bytes, expected {length}")
    print(elapsed, flush=True)
instrument.close()
rm.close()
