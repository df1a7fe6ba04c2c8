#!/usr/bin/env python3
"""Checks a release folder as make dist leaves it:

    check_release.py SCRIPTS_DIR PRODUCT_H COMMAND_LINE_YAML DIST

- SHA256SUMS covers every other file and each hash is right;
- the three manifests parse as YAML, have every field their type requires,
  only fields the schema knows, spelled as it spells them, and every value in
  the schema's form;
- they agree with each other and with the program: the installer's hash, its
  version resource, its architecture, the elevation its application manifest
  asks for, the uninstall entry's texts, and the command line's switches and
  exit codes;
- a test signature says so in the README, and its certificate verifies the
  installer.

Prints one line per check and exits 1 if any fails.
"""
import hashlib
import os
import re
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

import yaml

sys.path.insert(0, sys.argv[1])
import pe_image  # noqa: E402

INSTALLER = "TolmSetup.exe"
MIN_MANIFEST_VERSION = (1, 6, 0)


def text(low, high, pattern=None):
    """A string of low to high characters, matching pattern when given."""
    def valid(value):
        return (isinstance(value, str) and low <= len(value) <= high
                and (pattern is None or re.fullmatch(pattern, value) is not None))
    return valid


def one_of(*choices):
    return lambda value: value in choices


def manifest_version(value):
    return (isinstance(value, str) and re.fullmatch(r"\d{1,5}\.\d{1,5}\.\d{1,5}", value) is not None
            and tuple(int(part) for part in value.split(".")) >= MIN_MANIFEST_VERSION)


def switches(value):
    names = {"Silent", "SilentWithProgress", "Interactive", "InstallLocation", "Log", "Upgrade", "Custom", "Repair"}
    return (isinstance(value, dict) and value and set(value) <= names
            and all(text(1, 512)(switch) for switch in value.values()))


def return_codes(value):
    responses = {"packageInUse", "packageInUseByApplication", "installInProgress", "fileInUse", "missingDependency",
                 "diskFull", "insufficientMemory", "invalidParameter", "noNetwork", "contactSupport",
                 "rebootRequiredToFinish", "rebootRequiredForInstall", "rebootInitiated", "cancelledByUser",
                 "alreadyInstalled", "downgrade", "blockedByPolicy", "systemNotSupported", "custom"}
    return isinstance(value, list) and all(
        isinstance(code, dict) and set(code) == {"InstallerReturnCode", "ReturnResponse"}
        and type(code["InstallerReturnCode"]) is int and code["InstallerReturnCode"] != 0
        and code["ReturnResponse"] in responses for code in value)


IDENTIFIER = text(1, 128, r'[^.\s\\/:*?"<>|\x01-\x1f]{1,32}(\.[^.\s\\/:*?"<>|\x01-\x1f]{1,32}){1,7}')
VERSION = text(1, 128, r'[^\\/:*?"<>|\x01-\x1f]+')
LOCALE = text(1, 20, r"([a-zA-Z]{2,3}|[iI]-[a-zA-Z]+|[xX]-[a-zA-Z]{1,8})(-[a-zA-Z]{1,8})*")
COMMON = {"PackageIdentifier": IDENTIFIER, "PackageVersion": VERSION, "ManifestVersion": manifest_version}

# Per manifest type: its ManifestType, the fields it must have, and every field
# it may have with its form (the schema's, for the fields a release uses).
SCHEMA = {
    "version": {
        "required": ["PackageIdentifier", "PackageVersion", "DefaultLocale", "ManifestType", "ManifestVersion"],
        "fields": dict(COMMON, DefaultLocale=LOCALE, ManifestType=one_of("version")),
    },
    "defaultLocale": {
        "required": ["PackageIdentifier", "PackageVersion", "PackageLocale", "Publisher", "PackageName", "License",
                     "ShortDescription", "ManifestType", "ManifestVersion"],
        "fields": dict(COMMON, PackageLocale=LOCALE, Publisher=text(2, 256), PackageName=text(2, 256),
                       License=text(3, 512), ShortDescription=text(3, 256), ManifestType=one_of("defaultLocale")),
    },
    "installer": {
        "required": ["PackageIdentifier", "PackageVersion", "Installers", "ManifestType", "ManifestVersion"],
        "fields": dict(COMMON, Installers=lambda value: isinstance(value, list) and len(value) > 0,
                       ManifestType=one_of("installer")),
    },
}
INSTALLER_SCHEMA = {
    "required": ["Architecture", "InstallerType", "InstallerUrl", "InstallerSha256"],
    "fields": {
        "Architecture": one_of("x86", "x64", "arm", "arm64", "neutral"),
        # The schema's generic types; the others name particular installer builders.
        "InstallerType": one_of("exe", "msi", "msix", "appx", "zip", "portable", "pwa"),
        "Scope": one_of("user", "machine"),
        "InstallerUrl": text(1, 2048, r"[Hh][Tt][Tt][Pp][Ss]?://.+"),
        "InstallerSha256": text(64, 64, r"[A-F0-9]{64}"),
        "InstallerSwitches": switches,
        "ExpectedReturnCodes": return_codes,
        "InstallerSuccessCodes": lambda value: isinstance(value, list) and all(
            type(code) is int and code != 0 for code in value),
        "ElevationRequirement": one_of("elevationRequired", "elevationProhibited", "elevatesSelf"),
        "AppsAndFeaturesEntries": lambda value: isinstance(value, list) and len(value) > 0,   # compared below
    },
}

failures = 0


def check(label, passed, detail=""):
    global failures
    print("%s %s%s" % ("ok  " if passed else "FAIL", label, "" if passed else " (%s)" % (detail,)))
    failures += not passed


def check_fields(where, document, schema):
    missing = [name for name in schema["required"] if name not in document]
    unknown = [name for name in document if name not in schema["fields"]]
    malformed = [name for name, value in document.items()
                 if name in schema["fields"] and not schema["fields"][name](value)]
    check(where + ": required fields present", not missing, missing)
    check(where + ": only the schema's fields, in its spelling", not unknown, unknown)
    check(where + ": every value well formed", not malformed, {name: document[name] for name in malformed})


def read_manifests(folder):
    """ManifestType -> (file name, document) of every YAML file in folder."""
    found = {}
    for name in sorted(os.listdir(folder)):
        try:
            with open(os.path.join(folder, name), encoding="utf-8") as file:
                document = yaml.safe_load(file)
        except yaml.YAMLError as error:
            check(name + " parses as YAML", False, error)
            continue
        kind = document.get("ManifestType") if isinstance(document, dict) else None
        check(name + " is a manifest of a known type", kind in SCHEMA and kind not in found, kind)
        found[kind] = (name, document)
    return found


def check_sums(dist):
    with open(os.path.join(dist, "SHA256SUMS"), encoding="utf-8") as sums:
        listed = dict(reversed(line.rstrip("\n").split("  ", 1)) for line in sums if line.strip())
    present = {os.path.relpath(os.path.join(top, name), dist)
               for top, _, names in os.walk(dist) for name in names} - {"SHA256SUMS"}
    check("SHA256SUMS lists every other file", set(listed) == present, sorted(set(listed) ^ present))
    wrong = []
    for name in sorted(set(listed) & present):
        with open(os.path.join(dist, name), "rb") as file:
            if hashlib.sha256(file.read()).hexdigest() != listed[name]:
                wrong.append(name)
    check("SHA256SUMS hashes are right", not wrong, wrong)


def main():
    _, product_h, command_line_path, dist = sys.argv[1:5]
    check_sums(dist)
    manifests = read_manifests(os.path.join(dist, "manifests"))
    check("version, installer and defaultLocale manifests", set(manifests) == set(SCHEMA), sorted(manifests))
    if set(manifests) != set(SCHEMA):
        sys.exit(1)
    for kind, (name, document) in manifests.items():
        check_fields(name, document, SCHEMA[kind])
    installers = manifests["installer"][1]["Installers"]
    check("one installer", len(installers) == 1, len(installers))
    installer = installers[0]
    check_fields("installer entry", installer, INSTALLER_SCHEMA)

    documents = [document for _, document in manifests.values()]
    identity = {(d["PackageIdentifier"], d["PackageVersion"]) for d in documents}
    check("one identifier and version in all three", len(identity) == 1, identity)
    package_id = manifests["version"][1]["PackageIdentifier"]
    locale = manifests["defaultLocale"][1]["PackageLocale"]
    check("the default locale is the locale manifest's", manifests["version"][1]["DefaultLocale"] == locale, locale)
    names = {kind: name for kind, (name, _) in manifests.items()}
    expected_names = {"version": package_id + ".yaml", "installer": package_id + ".installer.yaml",
                      "defaultLocale": package_id + ".locale." + locale + ".yaml"}
    check("file names follow the identifier", names == expected_names, names)

    with open(os.path.join(dist, INSTALLER), "rb") as file:
        program = file.read()
    image = pe_image.Image(program)
    version = manifests["version"][1]["PackageVersion"]
    check("InstallerSha256 is the installer's", installer["InstallerSha256"] == hashlib.sha256(program).hexdigest().upper(),
          installer["InstallerSha256"])
    check("PackageVersion is the installer's version resource", version == image.product_version(),
          (version, image.product_version()))
    check("Architecture fits the program", installer["Architecture"] == {0x14C: "x86"}.get(image.machine),
          (installer["Architecture"], hex(image.machine)))
    levels = [e.get("level") for e in ElementTree.fromstring(image.resource(24, 1)).iter(
        "{urn:schemas-microsoft-com:asm.v3}requestedExecutionLevel")]
    check("a program that asks for administrator rights elevates itself",
          levels == ["requireAdministrator"] and installer.get("ElevationRequirement") == "elevatesSelf",
          (levels, installer.get("ElevationRequirement")))
    check("exe installer for the whole machine", (installer["InstallerType"], installer.get("Scope")) ==
          ("exe", "machine"), (installer["InstallerType"], installer.get("Scope")))

    with open(command_line_path, encoding="utf-8") as file:
        command_line = yaml.safe_load(file)
    for field in ("InstallerSwitches", "ExpectedReturnCodes"):
        check(field + " are the command line's", installer.get(field) == command_line[field], installer.get(field))
    check("the switches name the install folder and the log file",
          "<INSTALLPATH>" in installer["InstallerSwitches"].get("InstallLocation", "")
          and "<LOGPATH>" in installer["InstallerSwitches"].get("Log", ""), installer["InstallerSwitches"])

    with open(product_h, encoding="utf-8") as file:
        header = file.read()
    define = dict(re.findall(r'^#define (TOLM_\w+) "([^"]*)"$', header, re.MULTILINE))
    key_name = re.search(r'uninstallKeyPath\[\] = "[^"]*\\\\([^"\\]+)";', header).group(1)
    entry = {"DisplayName": define["TOLM_PRODUCT_NAME"], "Publisher": define["TOLM_PUBLISHER"],
             "DisplayVersion": define["TOLM_DISPLAY_VERSION"], "ProductCode": key_name}
    check("AppsAndFeaturesEntries match the uninstall key", installer.get("AppsAndFeaturesEntries") == [entry],
          installer.get("AppsAndFeaturesEntries"))
    check("the locale names the product and its publisher",
          (manifests["defaultLocale"][1]["PackageName"], manifests["defaultLocale"][1]["Publisher"]) ==
          (define["TOLM_PRODUCT_NAME"], define["TOLM_PUBLISHER"]))

    certificate = os.path.join(dist, "test-certificate.pem")
    with open(os.path.join(dist, "README.txt"), encoding="utf-8") as file:
        readme = file.read()
    check("the README says whether the signature is a test signature",
          ("TEST SIGNATURE" in readme) == os.path.exists(certificate))
    if os.path.exists(certificate):
        verify = subprocess.run(["osslsigncode", "verify", "-CAfile", certificate, "-in", os.path.join(dist, INSTALLER)],
                                capture_output=True, text=True)
        check("the shipped test certificate verifies the installer", verify.returncode == 0, verify.stdout[-200:])
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
