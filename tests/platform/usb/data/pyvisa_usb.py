"""pyvisa-py's own USB backend (pyusb on libusb) against a sensor emulated as
a USB device: listed, identity, the factory block byte for byte, a user data
set written and read back. Arguments: the factory data set file, a user data
set file, and the resource name pyvisa-py must list."""

import sys

import pyvisa

factory_file, user_file, expected = sys.argv[1:]
factory = open(factory_file, "rb").read()
user = open(user_file, "rb").read()

rm = pyvisa.ResourceManager("@py")
listed = rm.list_resources("USB?*INSTR")
assert expected in listed, f"listed {listed}, expected {expected}"

sensor = rm.open_resource(expected, read_termination="\n", write_termination="\n")
sensor.timeout = 10000
identity = sensor.query("*idn?")
assert identity == "Trobe&Lindvar,TVX-18G,100001,2.14", identity
block = sensor.query_binary_values("cal:data?", datatype="B", container=bytes)
assert block == factory, f"{len(block)} bytes, the file has {len(factory)}"
sensor.write_binary_values("cal:user:data ", list(user), datatype="B")
error = sensor.query("syst:err?")
assert error.startswith("0,"), error
block = sensor.query_binary_values("cal:user:data?", datatype="B", container=bytes)
assert block == user, f"{len(block)} bytes written back, {len(user)} sent"
sensor.close()
rm.close()
print("ok")
