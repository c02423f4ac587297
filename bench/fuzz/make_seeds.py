#!/usr/bin/env python3
"""Writes the seed inputs of fuzz_replyreceiver and fuzz_commandframe.

Both targets read their input through libFuzzer's FuzzedDataProvider, which
takes numbers from the end of the input and strings from the front; the
Input class below lays the bytes out that way, so each seed is a readable
scenario rather than noise. The other two targets' seeds are plain files.
"""
import os
import sys


class Input:
    def __init__(self):
        self.front = b""
        self.numbers = []  # in the order the target takes them

    def number(self, *values):
        self.numbers.extend(values)
        return self

    def string(self, text):
        # A backslash followed by any other byte ends the string.
        self.front += text.replace(b"\\", b"\\\\") + b"\\e"
        return self

    def bytes(self):
        return self.front + bytes(reversed(self.numbers))


# fuzz_replyreceiver: one step byte (0 queue, 1 whole reply, else one event),
# then the event: kind byte (<10 byte, 10 silence tick, 11 flash tick,
# 12 command, 13 edit), its value.
COMMANDS = {"read-position": 0, "open": 1, "stop": 2, "close": 3, "proportional": 4,
            "angle-open": 5, "angle-close": 6, "read-address": 7, "pair": 8}
FIELDS = {"channel": 0, "send-count": 1, "address": 2}


def event(kind, *args):
    if kind == "byte":
        return [0, args[0]]
    if kind == "silence":
        return [10]
    if kind == "flash":
        return [11]
    if kind == "command":
        return [12, COMMANDS[args[0]]]
    if kind == "edit":
        return [13, FIELDS[args[0]]]
    raise ValueError(kind)


class Receiver(Input):
    def event(self, kind, *args):
        self.number(2, *event(kind, *args))
        if kind == "edit":
            self.string(args[1])
        return self

    def stream(self, data):
        for b in data:
            self.event("byte", b)
        return self

    def reply(self, address, fourth, data, valid=True):
        self.number(1, (address >> 24) & 255, (address >> 16) & 255, (address >> 8) & 255,
                    address & 255, fourth, data, 1 if valid else 0)
        return self

    def queue(self, events):
        self.number(0, len(events) - 1)
        for kind, *args in events:
            self.number(*event(kind, *args))
            if kind == "edit":
                self.string(args[1])
        return self


def h(text):
    return bytes.fromhex(text)


RECEIVER_SEEDS = {
    "accepted": Receiver().stream(h("030201003238")),
    "rejected": Receiver().stream(h("030201003239")),
    "all-ff": Receiver().stream(h("FFFFFFFFFFFB")),
    "seventh-byte": Receiver().stream(h("0AB00007FFC0" "11" "030201003238")),
    "silence-resets": Receiver().stream(h("01020304")).event("silence").event("silence")
    .event("silence").stream(h("030201003238")),
    "two-ticks-keep": Receiver().stream(h("0102")).event("silence").event("silence")
    .stream(h("0201003238")),
    "command-mid-reply": Receiver().stream(h("0302")).event("command", "open")
    .stream(h("030201003238")),
    "reply-then-command": Receiver().reply(0x010203, 0, 50).event("command", "pair")
    .event("flash"),
    "nested-reply": Receiver().queue([("byte", b) for b in h("0A0B0C000110")])
    .reply(0xABCDEF, 7, 255),
    "nested-command": Receiver().queue([("command", "read-address"), ("silence",),
                                        ("flash",)]).reply(0x000001, 0, 0),
    "short-address": Receiver().event("edit", "address", b"7").event("command", "stop"),
    "odd-fields": Receiver().event("edit", "channel", b"-2.7")
    .event("edit", "send-count", b"\xa3\xb3\xa3\xb0\xa3\xb0").event("command", "angle-open"),
}


# fuzz_commandframe: per command three field texts (form byte: 0 GBK,
# 1 UTF-16, 2 Latin-1, then the string) and a command byte.
class Frame(Input):
    def command(self, channel, send_count, address, name, form=0):
        for text in (channel, send_count, address):
            self.number(form)
            self.string(text)
        self.number(COMMANDS[name])
        return self


FRAME_SEEDS = {
    "load-texts": Frame().command(b"1", b"1", b"010203", "open"),
    "broadcast": Frame().command(b"1", b"1", b"01", "read-address"),
    "pair-max": Frame().command(b"255", b"255", b"ABCDEF", "pair"),
    "empty-address": Frame().command(b"1", b"1", b"", "stop"),
    "short-address": Frame().command(b"1", b"1", b"7", "stop"),
    "lower-case": Frame().command(b"1", b"1", b"abcdef7", "close"),
    "not-hex": Frame().command(b"300", b"-1", b"0G0203", "angle-close"),
    "fractions": Frame().command(b"2.7", b"-2.7", b"FFFFFF", "proportional"),
    "no-numbers": Frame().command(b"abc", b"", b"\xb5\xd8\xd6\xb7", "read-position"),
    "huge": Frame().command(b"1e300", b"-9223372036854775809", b"12", "open"),
    "utf16": Frame().command(b"1\x00", b"\x00\xd8", b"A\x00", "open", form=1),
}


def write(directory, seeds):
    os.makedirs(directory, exist_ok=True)
    for name, seed in seeds.items():
        with open(os.path.join(directory, name), "wb") as f:
            f.write(seed.bytes())


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(sys.argv[0]))
    write(os.path.join(here, "corpus", "fuzz_replyreceiver"), RECEIVER_SEEDS)
    write(os.path.join(here, "corpus", "fuzz_commandframe"), FRAME_SEEDS)
