"""Reads NMEA sentences (one per CR LF line, Windows-1252 bytes) with
pynmea2 and prints, per sentence, one tab-separated line:

    index, how it was read, sentence type, name=value ...

"how" is "checked" when pynmea2 accepted the checksum (parse(check=True)),
"nochecksum" for a sentence without one that parse(check=False) read, or
"error" with the exception. Exit status 3 when pynmea2 is not installed.
"""
import sys

try:
    import pynmea2
except ImportError:
    sys.stdout.write("pynmea2 is not installed\n")
    sys.exit(3)


def fields(msg):
    out = []
    for _, name, *rest in msg.fields:
        value = getattr(msg, name)
        if name == "timestamp" and value is not None:
            value = value.strftime("%H%M%S")
        out.append("%s=%s" % (name, "" if value is None else value))
    if msg.sentence_type == "RTE":
        out.append("waypoint_list=" + ",".join(msg.waypoint_list))
    return out


def main(path):
    with open(path, "rb") as f:
        # Latin-1 keeps one character per byte: the checksum pynmea2
        # computes over ord() is then the exclusive-or of the bytes.
        text = f.read().decode("latin-1")
    lines = text.split("\r\n")
    if lines and lines[-1] == "":
        lines.pop()
    for index, line in enumerate(lines):
        try:
            msg = pynmea2.parse(line, check=True)
            how = "checked"
        except pynmea2.ChecksumError as e:
            if "*" in line:
                row = [str(index), "error", "ChecksumError: %s" % e]
                sys.stdout.buffer.write(("\t".join(row) + "\n").encode("latin-1"))
                continue
            msg = pynmea2.parse(line, check=False)
            how = "nochecksum"
        except Exception as e:  # noqa: BLE001 - reported to the test
            row = [str(index), "error", "%s: %s" % (type(e).__name__, e)]
            sys.stdout.buffer.write(("\t".join(row) + "\n").encode("latin-1"))
            continue
        row = [str(index), how, msg.talker + msg.sentence_type] + fields(msg)
        sys.stdout.buffer.write(("\t".join(row) + "\n").encode("latin-1"))


if __name__ == "__main__":
    main(sys.argv[1])
