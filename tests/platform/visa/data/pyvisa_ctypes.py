"""pyvisa's ctypes backend on our VISA library: list, open, query, read a
block, lock. Arguments: the library, the factory data set file of sensor
100001, and the resource names that must be listed."""

import sys

import pyvisa
from pyvisa import constants

library, factory_file, *expected = sys.argv[1:]
factory = open(factory_file, "rb").read()

rm = pyvisa.ResourceManager(library)
listed = rm.list_resources("?*INSTR")
assert sorted(listed) == sorted(expected), f"listed {listed}, expected {expected}"

for name in expected:
    first = rm.open_resource(name, read_termination="\n", write_termination="\n")
    first.timeout = 5000
    identity = first.query("*idn?")
    assert identity == "Trobe&Lindvar,TVX-18G,100001,2.14", identity
    block = first.query_binary_values("*cls;cal:data?", datatype="B", container=bytes)
    assert block == factory, f"{name}: {len(block)} bytes, the file has {len(factory)}"

    first.lock_excl()
    second = rm.open_resource(name)
    try:
        second.lock_excl(timeout=200)
        raise AssertionError(f"{name}: a second session got the lock")
    except pyvisa.errors.VisaIOError as error:
        assert error.error_code == constants.StatusCode.error_resource_locked, error
    first.unlock()
    second.lock_excl(timeout=1000)
    second.unlock()
    second.close()
    first.close()
    print(f"{name}: ok")

rm.close()
