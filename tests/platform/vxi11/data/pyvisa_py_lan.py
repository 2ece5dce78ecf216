"""pyvisa-py on a served LAN sensor: identity, factory block, a user data set
written and read back, exclusive locks of two sessions."""

import sys

import pyvisa
from pyvisa import constants, errors

resource, factory_file, user_file = sys.argv[1:4]


def check(good, what):
    if not good:
        sys.exit(what)


rm = pyvisa.ResourceManager("@py")
first = rm.open_resource(resource)
first.timeout = 5000
identity = first.query("*idn?")
check(identity.startswith("Trobe&Lindvar,TVX-18G,100001,"), f"identity {identity!r}")

with open(factory_file, "rb") as f:
    factory = f.read()
block = first.query_binary_values("cal:data?", datatype="B", container=bytes)
check(block == factory, f"the factory block has {len(block)} bytes, the store {len(factory)}")

with open(user_file, "rb") as f:
    user = f.read()
header = f"#{len(str(len(user)))}{len(user)}".encode()
first.write_raw(b"cal:user:data " + header + user + b"\n")
error = first.query("syst:err?")
check(error == '0,"No error"\n', f"after the write: {error!r}")
first.write("cal:user:data?")
check(first.read_raw() == header + user + b"\n", "the user block read back differs")

second = rm.open_resource(resource)
first.lock_excl(timeout=1000)
try:
    second.lock_excl(timeout=300)
    sys.exit("the second session got the lock the first holds")
except errors.VisaIOError as error:
    check(error.error_code == constants.StatusCode.error_resource_locked, f"the second session: {error}")
first.unlock()
second.lock_excl(timeout=1000)
second.unlock()
rm.close()
