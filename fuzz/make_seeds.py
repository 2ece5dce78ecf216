#!/usr/bin/env python3
"""Writes the seed inputs under fuzz/seeds/: cut-outs of the tests' data and
the samples, and hand-made protocol messages. Run from anywhere; the seeds are
kept in the tree, so this is only needed when they should change."""
import pathlib
import shutil
import struct
import zlib

ROOT = pathlib.Path(__file__).resolve().parent.parent
SEEDS = ROOT / "fuzz" / "seeds"
CUT = 4096  # the longest seed: libFuzzer's default input length


def write(target, name, data):
    folder = SEEDS / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(data if isinstance(data, bytes) else data.encode("latin-1"))


def repaired(data):
    """A data set with its length and checksum fields made right."""
    data = bytearray(data)
    data[10:14] = struct.pack("<I", len(data))
    crc = zlib.crc32(bytes(data[18:]), zlib.crc32(bytes(data[:14])))
    data[14:18] = struct.pack("<I", crc)
    return bytes(data)


def made_out(data):
    """A sample data set made out to the fuzzed simulated sensor."""
    return repaired(data.replace(b"TLS-18G", b"TVX-18G").replace(b"104233", b"100001"))


def block(data):
    length = str(len(data)).encode()
    return b"#" + str(len(length)).encode() + length + data


def data_sets():
    for path in sorted((ROOT / "samples").glob("*.cal")) + sorted((ROOT / "tests/platform/tamrix/data").glob("*.cal")):
        if path.stat().st_size <= 3000:
            yield path


def touchstone():
    corpus = ROOT / "tests/s2p/data/corpus"
    for path in sorted(corpus.glob("*.[sS]2[pP]"), key=lambda p: p.stat().st_size)[:16]:
        write("touchstone", path.stem, b"\x00" + path.read_bytes()[:CUT])
    write("touchstone", "uncertainty", "\x01# HZ U\n1e6 0.01 0.02 0.02 0.01\n2e6 0.02 0.03 0.03 0.02\n")
    write("touchstone", "noise", "\x00# GHZ S MA R 50\n1 .5 10 .9 -5 .1 20 .4 -30\n1 1.2 .3 40 .5\n")
    for name, text in [("fixed", "\x00-0.09375792741775513 "), ("ghz", "\x030.17625847125\r\n"), ("exponent", "\x011.5E-30x"),
                       ("edges", "\x0210e308"), ("digits", "\x00123456789012345678901.5e-3"), ("nan", "\x00-NaN(x)"),
                       ("infinity", "\x03+Infinity"), ("dots", "\x00.5e")]:
        write("touchstone_number", name, text)


def xml():
    for path in sorted((ROOT / "tests/platform/tamrix/data/xml").glob("*.xml")):
        write("xml_import", path.stem, path.read_bytes()[:CUT])
    text = (ROOT / "platform/tamrix/XML-FORMAT.md").read_text()
    start = text.index("<?xml")
    write("xml_import", "format_example", text[start:text.index("```", start)])
    write("xml_import", "no_devices", '<?xml version="1.0"?><SParameterDevices formatVersion="1"/>')


def settings():
    write("settings", "written", "[cal]\r\nlab = Lab 1\r\neng = A. Engineer\r\n[rc]\r\ntimeout = 1000\r\n"
          "calDataTimeout = 60000\r\nincludeNetworkResources = false\r\nalwaysUseFactoryDataSet = true\n")
    write("settings", "partial", "# comment\n[rc]\ntimeout=250\n")


def numbers():
    for name, text in [("engineering", "1.5e3"), ("small", "1e-12"), ("negative", "-0.25"), ("nan", "nan"),
                       ("inf", "-inf"), ("blanks", " 12 "), ("comma", "1,5"), ("long", "123456789012345678901")]:
        write("number_text", name, text)
    for name, value in [("carry", 9.9999996e-13), ("large", 1.7976931348623157e308), ("tiny", 5e-324)]:
        write("number_text", name, struct.pack("<d", value))


def grid():
    write("grid_paste", "block", "\x00\x00" + "1\t2\t3\t4\r\n5e3\t\tx\t-7\r\n")
    write("grid_paste", "lines", "\x02\x01" + "1.5\n2.5\r\r3.5\t4.5\t5.5\t6.5\t7.5\n")


def scpi():
    for name, data in [("block", b"\x00#15hello\n"), ("empty_block", b"\x00#10\n"), ("string", b'\x01"text"\n'),
                       ("error", b'\x02-113,"Undefined header"\n'), ("no_error", b'\x020,"No error"\n'),
                       ("identity", b"\x03Trobe&Lindvar,TVX-18G,100001,2.14\n"), ("write", b"\x04data set"),
                       ("headers", b"\x05:CALibration:DATA?\n:CALibration:USER:DATA\n")]:
        write("scpi_replies", name, data)


def sim_sensor():
    sep = b"\x1f\x1f\x1f\x1f"
    factory = made_out((ROOT / "samples/factory_v3.cal").read_bytes())
    user = made_out((ROOT / "samples/user_v3.cal").read_bytes())
    write("sim_sensor", "queries", b"\x00*idn?\n" + sep + b"*cls;*idn?;syst:err?\n" + sep + b":SYSTem:ErRoR:NEXT?\n")
    write("sim_sensor", "info", b"\x00syst:info? 'cal. lin.'\n" + sep + b"syst:help:head?\n")
    write("sim_sensor", "user_write", b"\x00cal:user:data " + block(user) + b"\n" + sep + b"syst:err?\n")
    write("sim_sensor", "factory_write", b"\x00cal:data " + block(factory) + b";syst:err?\n")
    write("sim_sensor", "faults", b"\x0f*idn?;cal:user:data?\n" + sep + b"cal:data #15abc\n")


def rpc_reply(xid, results):
    return struct.pack(">IIIIII", xid, 1, 0, 0, 0, 0) + results


def rpc_call(xid, program, version, procedure, arguments):
    return struct.pack(">IIIIIIIII", xid, 0, 2, program, version, procedure, 0, 0, 0) + struct.pack(">I", 0) + arguments


def record(message, fragments=1):
    out = b""
    step = max(1, -(-len(message) // fragments))
    pieces = [message[i:i + step] for i in range(0, len(message), step)] or [b""]
    for i, piece in enumerate(pieces):
        out += struct.pack(">I", len(piece) | (0x80000000 if i == len(pieces) - 1 else 0)) + piece
    return out


def vxi11():
    xid = 0x4F535452
    core = 0x0607AF
    # first byte: bit 0 reply (1) or call (0), the rest which message; second: the record limit
    write("vxi11_messages", "error_reply", b"\x01\x10" + record(rpc_reply(xid, struct.pack(">i", 0))))
    write("vxi11_messages", "link_reply", b"\x03\x10" + record(rpc_reply(xid, struct.pack(">iiII", 0, 7, 0, 65536)), 2))
    write("vxi11_messages", "write_reply", b"\x05\x10" + record(rpc_reply(xid, struct.pack(">iI", 0, 6))))
    write("vxi11_messages", "port_reply", b"\x07\x10" + record(rpc_reply(xid + 1, b"")) +
          record(rpc_reply(xid, struct.pack(">I", 1024))))
    write("vxi11_messages", "read_call", b"\x00\x20" + record(rpc_call(1, core, 1, 12, struct.pack(">iIIIii", 7, 4096, 1000, 0, 0, 0))))
    write("vxi11_messages", "clear_call", b"\x02\x20" + record(rpc_call(2, core, 1, 15, struct.pack(">iiII", 7, 0, 0, 1000))))
    write("vxi11_messages", "lock_call", b"\x04\x20" + record(rpc_call(3, core, 1, 18, struct.pack(">iiI", 7, 1, 1000))))
    write("vxi11_messages", "unlock_call", b"\x06\x20" + record(rpc_call(4, core, 1, 19, struct.pack(">i", 7))))
    write("vxi11_messages", "getport_datagram", b"\x08\x20" + rpc_call(5, 100000, 2, 3, struct.pack(">IIII", core, 1, 6, 0)))


def usbtmc():
    def packet(endpoint, transfer):
        return struct.pack("<B3xI", endpoint, len(transfer)) + transfer

    def setup(request_type, request, value, index, length):
        return packet(0x00, struct.pack("<BBHHH", request_type, request, value, index, length))

    def bulk(msg_id, tag, size, attributes, data=b""):
        header = struct.pack("<BBBxIBBxx", msg_id, tag, 0xFF - tag, size, attributes, 0)
        return packet(0x01, header + data + b"\0" * ((4 - len(data) % 4) % 4))

    def message(tag, text):
        return bulk(1, tag, len(text), 1, text)

    write("usbtmc_framing", "descriptors", setup(0x80, 6, 0x0100, 0, 18) + setup(0x80, 6, 0x0303, 0x0409, 64))
    write("usbtmc_framing", "query", message(1, b"*idn?\n") + bulk(2, 2, 4096, 0))
    write("usbtmc_framing", "status_and_error", message(3, b"meas:pow?\n") + setup(0xA1, 128, 5, 0, 3) +
          setup(0xC0, 0x20, 0, 0, 256))
    write("usbtmc_framing", "lock_clear", setup(0xC0, 0x30, 0, 0, 1) + message(4, b"cal:user:data?\n") +
          setup(0xA1, 5, 0, 0, 1) + setup(0xA1, 6, 0, 0, 2) + bulk(2, 5, 16, 0) + setup(0xC0, 0x31, 0, 0, 1))
    user = made_out((ROOT / "samples/user_v3.cal").read_bytes())
    text = b"cal:user:data " + block(user) + b"\n"
    write("usbtmc_framing", "user_write", bulk(1, 6, 1000, 0, text[:1000]) + bulk(1, 7, len(text) - 1000, 1, text[1000:]) +
          message(8, b"syst:err?\n") + bulk(2, 9, 64, 0))


def main():
    if SEEDS.exists():
        shutil.rmtree(SEEDS)
    for path in data_sets():
        write("dataset_load", path.stem, path.read_bytes())
    touchstone()
    xml()
    settings()
    numbers()
    grid()
    scpi()
    sim_sensor()
    vxi11()
    usbtmc()


if __name__ == "__main__":
    main()
