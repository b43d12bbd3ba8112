#!/usr/bin/env python3
"""Makes a panel's factory profile set for tests and demos: a signed archive, a folder, or both.

The set holds one ICC profile per profile key (made with makeicc over LittleCMS: 'lumi', measurement
data written with the colour engine's serialiser, optionally 'meta' "Brightness" and a raw 'MHC2'
tag), a "_Quality.txt" report per SDR profile and "PanelInfo.xml" (or, with --hdr10,
"PanelInfoHdr.xml" and the HDR10 profiles). The archive is packed with the zip command and signed
with signarchive (the build's test key unless --key names another private key). makeicc and
signarchive are looked up beside this script, then on PATH.
"""

import argparse
import datetime
import os
import shutil
import subprocess
import sys
import tempfile

D65 = (0.3127, 0.3290)
DCI_WHITE = (0.314, 0.351)
PRIMARIES = {
    "srgb": (0.64, 0.33, 0.30, 0.60, 0.15, 0.06),
    "adobe": (0.64, 0.33, 0.21, 0.71, 0.15, 0.06),
    "p3": (0.68, 0.32, 0.265, 0.69, 0.15, 0.06),
    "native": (0.685, 0.31, 0.255, 0.70, 0.148, 0.055),
    "bt2020": (0.708, 0.292, 0.17, 0.797, 0.131, 0.046),
}
# Profile key: (primaries, white point, tone curve); None takes the panel's default colour space or gamma.
KEYS = {
    "sRGB": ("srgb", D65, "srgb"),
    "AdobeRGB": ("adobe", D65, "2.2"),
    "REC709": ("srgb", D65, "rec709"),
    "DCIP3": ("p3", DCI_WHITE, "2.6"),
    "DisplayP3": ("p3", D65, "srgb"),
    "P3": ("p3", D65, "srgb"),
    "DICOM_Office": (None, D65, "2.2"),
    "DICOM_Dim": (None, D65, "2.2"),
    "Default": (None, D65, None),
    "Native": ("native", D65, "2.2"),
    "Native_HDR": ("native", D65, "2.2"),
    "Korvel_HDR10": ("bt2020", D65, "2.2"),
}
COLOR_SPACE_PRIMARIES = {"sRGB": "srgb", "AdobeRGB": "adobe", "DCIP3": "p3", "DisplayP3": "p3"}
GAMMA_CURVES = {"2.2": "2.2", "2.6": "2.6", "sRGB": "srgb", "REC709": "rec709"}


def tool(name, directory):
    for candidate in (os.path.join(directory, name), shutil.which(name)):
        if candidate and os.access(candidate, os.X_OK):
            return candidate
    sys.exit("make_panel_archive: %s not found (build it, or pass --bin)" % name)


def xyz(x, y, luminance):
    return (x / y * luminance, luminance, (1 - x - y) / y * luminance)


def primary_luminances(primaries, white):
    """Y of full red, green and blue for primaries whose sum is the white point at Y = 1."""
    columns = [xyz(primaries[2 * i], primaries[2 * i + 1], 1.0) for i in range(3)]
    target = xyz(white[0], white[1], 1.0)

    def determinant(m):
        return (m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0])
                + m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]))

    matrix = [[columns[c][r] for c in range(3)] for r in range(3)]
    base = determinant(matrix)
    scales = []
    for c in range(3):
        replaced = [[target[r] if k == c else matrix[r][k] for k in range(3)] for r in range(3)]
        scales.append(determinant(replaced) / base)
    return scales


def quality_report(name, serial, primaries, white, luminance, gamma):
    patches = [(255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 255), (128, 128, 128)]
    errors = ["%.2f" % (0.31 + 0.17 * i) for i in range(len(patches))]
    # The header states the mean and maximum of the patch errors as the report lists them.
    values = [float(error) for error in errors]
    lines = ["ProfileName %s" % name, "ComputerSerialNumber %s" % serial,
             "Date %s" % datetime.datetime(2026, 1, 15, 9, 30).strftime("%Y-%m-%d %H:%M:%S"),
             "Target Luminance %.1f" % luminance, "dE2000 mean : %.2f" % (sum(values) / len(values)),
             "dE2000 max : %.2f" % max(values)]
    exponent = 2.2 if gamma in ("sRGB", "REC709") else float(gamma)
    lines += ["Gamma %.2f" % exponent, "", "RGB Normalized Target"]
    for level in range(0, 256, 51):
        value = (level / 255) ** exponent
        lines.append("%d %.4f %.4f" % (level, value * 1.003 if level else 0, value))
    lines += ["", "R G B dE2000"]
    lines += ["%d %d %d %s" % (r, g, b, error) for (r, g, b), error in zip(patches, errors)]
    lines += ["", "R G B X Y Z Y x y"]
    scales = primary_luminances(primaries, white)
    for i, (r, g, b) in enumerate(patches[:3]):
        x, y = primaries[2 * i], primaries[2 * i + 1]
        X, Y, Z = xyz(x, y, scales[i] * luminance)
        lines.append("%d %d %d %.4f %.4f %.4f %.4f %.4f %.4f" % (r, g, b, X, Y, Z, Y, x, y))
    X, Y, Z = xyz(white[0], white[1], luminance)
    lines.append("255 255 255 %.4f %.4f %.4f %.4f %.4f %.4f" % (X, Y, Z, Y, white[0], white[1]))
    return "\r\n".join(lines) + "\r\n"


def description(name, panel_id):
    """The profile description: the file name without ".icm", or with a panel identity that identity,
    "_" and the part of the file name after its second underscore."""
    if panel_id is None:
        return name[:-4]
    parts = name.split("_", 2)
    return panel_id + "_" + (parts[2].replace(".icm", "") if len(parts) > 2 else "")


def is_positive_number(text):
    try:
        return float(text) > 0
    except ValueError:
        return False


def per_key(values, option, parser, keys, check):
    """Values given as KEY=VALUE (one key) or VALUE (every key); later ones win."""
    result = {}
    for value in values:
        key, _, setting = value.rpartition("=")
        if key and key not in keys:
            parser.error("%s: %s is not among the profiles" % (option, key))
        if not check(setting):
            parser.error("%s: bad value %s" % (option, setting))
        for k in [key] if key else keys:
            result[k] = setting
    return result


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--output", help="signed archive to write")
    parser.add_argument("--folder", help="folder to write the set's files into, unpacked")
    parser.add_argument("--format", default="KVL5R2_{ProfileName}.icm",
                        help='profile file-name format (default "KVL5R2_{ProfileName}.icm")')
    parser.add_argument("--profiles", default="sRGB,AdobeRGB,DCIP3,Default,Native",
                        help="comma-separated profile keys (the SDR set, or the HDR10 set with --hdr10)")
    parser.add_argument("--color-space", default="sRGB", choices=sorted(COLOR_SPACE_PRIMARIES),
                        help="colour space of the default profile")
    parser.add_argument("--gamma", default="2.2", choices=sorted(GAMMA_CURVES), help="gamma of the default profile")
    parser.add_argument("--hdr", action="store_true", help='the panel supports HDR ("HDR" element true)')
    parser.add_argument("--hdr10", action="store_true", help='make the HDR10 archive ("PanelInfoHdr.xml")')
    parser.add_argument("--no-panel-info", action="store_true",
                        help='leave out "PanelInfo.xml" / "PanelInfoHdr.xml" (--add can bring one of your own)')
    parser.add_argument("--serial", default="PF4KVQ7T", help="computer serial number in the quality reports")
    parser.add_argument("--luminance", action="append", default=[], metavar="[KEY=]CD",
                        help="white luminance in cd/m2 of one profile or of all (repeatable; default: 300)")
    parser.add_argument("--no-luminance", action="store_true", help="leave out the 'lumi' tags")
    parser.add_argument("--no-measurements", action="store_true", help="leave out the measurement data")
    parser.add_argument("--panel-id", help="descriptions hold this panel identity: ID_ and the file name's part "
                                           "after its second underscore (default: the file name)")
    parser.add_argument("--brightness", action="append", default=[], metavar="[KEY=]N",
                        help="'meta' \"Brightness\" of one profile or of all (repeatable; default: none)")
    parser.add_argument("--mhc2", default="", metavar="KEY,...",
                        help="profiles made with a raw 'MHC2' tag (measurement data: profile type 4)")
    parser.add_argument("--measured-gamma", action="append", default=[], metavar="[KEY=]SPEC",
                        help="tone curve the measurement data records (makeicc --measured-gamma; repeatable)")
    parser.add_argument("--add", action="append", default=[], metavar="FILE", help="put FILE into the archive too")
    parser.add_argument("--key", help="private key (PEM) to sign with (default: the build's test key)")
    parser.add_argument("--unsigned", action="store_true", help="leave the archive unsigned")
    parser.add_argument("--bin", default=os.path.dirname(os.path.abspath(__file__)),
                        help="folder of makeicc and signarchive")
    options = parser.parse_args()
    if not options.output and not options.folder:
        parser.error("give --output, --folder or both")
    if "{ProfileName}" not in options.format:
        parser.error('--format must contain "{ProfileName}"')
    keys = options.profiles.split(",")
    unknown = [key for key in keys if key not in KEYS]
    if unknown:
        parser.error("unknown profile keys: %s (known: %s)" % (", ".join(unknown), ", ".join(KEYS)))

    brightness = per_key(options.brightness, "--brightness", parser, keys, str.isdigit)
    luminance = dict.fromkeys(keys, "300")
    luminance.update(per_key(options.luminance, "--luminance", parser, keys, is_positive_number))
    measured_gamma = per_key(options.measured_gamma, "--measured-gamma", parser, keys, bool)
    mhc2 = [key for key in options.mhc2.split(",") if key]
    if any(key not in keys for key in mhc2):
        parser.error("--mhc2: unknown profile keys")

    makeicc = tool("makeicc", options.bin)
    work = tempfile.mkdtemp(prefix="panel-archive-")
    try:
        files = []
        for key in keys:
            primaries_name, white, curve = KEYS[key]
            primaries = PRIMARIES[primaries_name or COLOR_SPACE_PRIMARIES[options.color_space]]
            gamma = options.gamma if curve is None else {"srgb": "sRGB", "rec709": "REC709"}.get(curve, curve)
            name = options.format.replace("{ProfileName}", key)
            path = os.path.join(work, name)
            command = [makeicc, path, "--primaries", ",".join(map(str, primaries)), "--white", "%s,%s" % white,
                       "--gamma", GAMMA_CURVES.get(gamma, gamma), "--description", description(name, options.panel_id)]
            if not options.no_luminance:
                command += ["--luminance", luminance[key]]
            if not options.no_measurements:
                command += ["--measurements"]
            if key in brightness:
                command += ["--brightness", brightness[key]]
            if key in mhc2:
                command += ["--mhc2"]
            if key in measured_gamma:
                command += ["--measured-gamma", measured_gamma[key]]
            subprocess.run(command, check=True)
            files.append(path)
            if not options.hdr10:
                report = os.path.join(work, name[:-4] + "_Quality.txt")
                with open(report, "w", newline="") as text:
                    text.write(quality_report(name[:-4], options.serial, primaries, white, float(luminance[key]),
                                              gamma))
                files.append(report)
        info = os.path.join(work, "PanelInfoHdr.xml" if options.hdr10 else "PanelInfo.xml")
        if not options.no_panel_info:
            with open(info, "w", encoding="utf-8") as xml:
                xml.write('<?xml version="1.0" encoding="UTF-8"?>\n<PanelInfo version="1.0">\n'
                          "  <ColorSpace>%s</ColorSpace>\n  <Gamma>%s</Gamma>\n  <HDR>%s</HDR>\n"
                          "  <Profiles>%s</Profiles>\n</PanelInfo>\n"
                          % (options.color_space, options.gamma, "true" if options.hdr or options.hdr10 else "false",
                             ",".join(keys)))
            files.append(info)
        files += [os.path.abspath(extra) for extra in options.add]

        if options.folder:
            os.makedirs(options.folder, exist_ok=True)
            for path in files:
                shutil.copy(path, options.folder)
        if options.output:
            archive = os.path.join(work, "archive.zip")
            subprocess.run(["zip", "-q", "-X", "-j", archive] + files, check=True)
            if not options.unsigned:
                command = [tool("signarchive", options.bin)] + (["--key", options.key] if options.key else []) + [archive]
                subprocess.run(command, check=True)
            shutil.move(archive, options.output)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
