"""Another process, pyvisa's ctypes backend on our library, while the test
holds the exclusive lock of the resource: its write, read and lock each wait
their timeout and are refused. Arguments: the library and the resource."""

import sys
import time

import pyvisa
from pyvisa import constants

library, resource = sys.argv[1:3]
rm = pyvisa.ResourceManager(library)
session = rm.open_resource(resource)
session.timeout = 300
calls = {
    "write": lambda: session.write_raw(b"*idn?\n"),
    "read": lambda: session.read_raw(64),
    "lock": lambda: session.lock_excl(timeout=300),
}
for name, call in calls.items():
    start = time.monotonic()
    try:
        call()
        sys.exit(f"{name}: not refused")
    except pyvisa.errors.VisaIOError as error:
        waited = time.monotonic() - start
        if error.error_code != constants.StatusCode.error_resource_locked or waited < 0.25:
            sys.exit(f"{name}: {error} after {waited:.3f} s")
rm.close()
