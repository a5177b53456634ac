"""What the factory bank says about each program: its values (from the bank file the
instrument carries), its category and its sound designer's note (from the bank source).

In resources/factory_bank.txt a line "# Category: NAME" starts a run of programs of one
category, the first comment line inside a program is its one-line note, and a line
"# Exception CRITERION: reason" excuses the program from one criterion of criteria.py.
"""
import hashlib
import os
import re
import struct

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BANK_TEXT = os.path.join(ROOT, "resources", "factory_bank.txt")
BANK_FILE = os.path.join(ROOT, "resources", "factory_bank.bin")

# The 38 stored parameters in index order, named as on the panel.
PARAMETERS = [
    "Volume", "AmpAttack", "AmpHold", "AmpDecay", "AmpSustain", "AmpRelease", "Chorus", "Drive",
    "Cutoff", "Resonance", "FilterAttack", "FilterHold", "FilterDecay", "FilterSustain",
    "FilterEnvAmount", "LfoRate", "LfoAmount",
    "Osc1Level", "Osc1Pitch", "Osc1Sine", "Osc1Center", "Osc1Width", "Osc1Shift", "Osc1On",
    "Osc2Level", "Osc2Pitch", "Osc2Sine", "Osc2Center", "Osc2Width", "Osc2Shift", "Osc2On",
    "Osc3Level", "Osc3Pitch", "Osc3Sine", "Osc3Center", "Osc3Width", "Osc3Shift", "Osc3On",
]
PROGRAM_COUNT = 128
HEADER_BYTES = 156
PROGRAM_BYTES = 56 + 4 * len(PARAMETERS)


class Program:
    def __init__(self, number, name, values):
        self.number = number
        self.name = name
        self.values = values          # 38 floats in parameter-index order
        self.category = ""
        self.note = ""
        self.exceptions = {}          # criterion name: the reason it is not met

    def __getitem__(self, parameter):
        return self.values[PARAMETERS.index(parameter)]

    def oscillators(self):
        """(level, tune) of each oscillator that is switched on and not silenced by its level."""
        out = []
        for k in (1, 2, 3):
            level, tune, on = self["Osc%dLevel" % k], self["Osc%dPitch" % k], self["Osc%dOn" % k]
            if on >= 0.5 and abs(2 * level - 1) > 0.05:
                out.append((level, tune))
        return out


def bank_checksum(path=BANK_FILE):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def read_bank_file(path=BANK_FILE):
    """Names and values of the 128 programs as the instrument loads them."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:4] != b"CcnK" or data[8:12] != b"FxBk":
        raise SystemExit("%s: not a program bank" % path)
    programs = []
    for p in range(PROGRAM_COUNT):
        at = HEADER_BYTES + p * PROGRAM_BYTES
        name = data[at + 28:at + 56].split(b"\0")[0].decode("ascii")
        values = list(struct.unpack(">38f", data[at + 56:at + PROGRAM_BYTES]))
        programs.append(Program(p, name, values))
    return programs


def read_bank(text_path=BANK_TEXT, bank_path=BANK_FILE):
    """The programs of the bank file with the categories and notes of the bank source."""
    programs = read_bank_file(bank_path)
    category, current = "", None
    with open(text_path, encoding="ascii") as f:
        for line in f:
            line = line.strip()
            heading = re.match(r"# Category: (.+)$", line)
            start = re.match(r'program (\d+) "([^"]*)"', line)
            exception = re.match(r"# Exception (\w+): (.+)$", line)
            if heading:
                category, current = heading.group(1).strip(), None
            elif start:
                current = programs[int(start.group(1))]
                if current.name != start.group(2):
                    raise SystemExit("%s: program %d is %r in the source but %r in %s; rebuild the bank"
                                     % (text_path, current.number, start.group(2), current.name, bank_path))
                current.category = category
            elif current is not None and exception:
                current.exceptions[exception.group(1)] = exception.group(2).strip()
            elif current is not None and line.startswith("#") and not current.note:
                current.note = line.lstrip("#").strip()
    return programs
