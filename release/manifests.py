#!/usr/bin/env python3
"""Writes the package manager's manifests for one signed installer: the
version, installer and default-locale files of a multi-file manifest.

    manifests.py [--package-id ID] [--installer-url URL] SCRIPTS_DIR PRODUCT_H
                 COMMAND_LINE_YAML INSTALLER OUT_DIR

Everything that also lives elsewhere is read from there, never repeated here:
the product's name, publisher and version and its uninstall key from
installation/product.h; the version the program carries from its version resource,
which must agree; the hash, the architecture and the elevation the program
asks for from the installer itself; the switches and exit codes from the
command-line file. Only the texts no other part of the product holds (the
package's licence and description) are below.

Writes OUT_DIR/ID.yaml, ID.installer.yaml and ID.locale.LOCALE.yaml, and
nothing before every value has checked out. Every failure prints one line
naming the file or value at fault and exits 1.
"""
import argparse
import hashlib
import os
import re
import sys
import xml.etree.ElementTree as ElementTree

import yaml

MANIFEST_VERSION = "1.6.0"
PACKAGE_LOCALE = "en-US"
LICENSE = "Proprietary"
SHORT_DESCRIPTION = "Brackenfold, the help book of the Tolm language: HTML pages and a desktop shortcut."
INSTALLER_TYPE = "exe"
SCOPE = "machine"      # the pages go to Program Files and the uninstall key to HKEY_LOCAL_MACHINE
DEFAULT_INSTALLER_URL = "https://example.com/releases/{version}/TolmSetup.exe"
URL_VERSION_FIELD = "{version}"

# The schema's patterns for the two values that come from outside.
PACKAGE_IDENTIFIER = re.compile(r'^[^.\s\\/:*?"<>|\x01-\x1f]{1,32}(\.[^.\s\\/:*?"<>|\x01-\x1f]{1,32}){1,7}$')
INSTALLER_URL = re.compile(r"^[Hh][Tt][Tt][Pp][Ss]?://.+$")

RT_MANIFEST = 24
MANIFEST_ID = 1
ASM_V3 = "{urn:schemas-microsoft-com:asm.v3}"
# The PE machine field, as the manifest's Architecture names it.
ARCHITECTURES = {0x14C: "x86"}   # pe_image reads PE32 programs only
# A program whose application manifest asks for administrator rights gets
# them from the system's prompt when started without: it elevates itself.
ELEVATION = {"requireAdministrator": "elevatesSelf", "highestAvailable": "elevatesSelf"}


class ReleaseError(Exception):
    pass


def product_values(header_path):
    """The product's texts from installation/product.h: its #defines and the uninstall key's name."""
    with open(header_path, encoding="utf-8") as header:
        text = header.read()
    values = dict(re.findall(r'^#define (TOLM_\w+) "([^"]*)"$', text, re.MULTILINE))
    key = re.search(r'uninstallKeyPath\[\] = "([^"]*)";', text)
    if key:
        values["uninstallKeyName"] = key.group(1).split("\\\\")[-1]
    for name in ("TOLM_PRODUCT_NAME", "TOLM_PUBLISHER", "TOLM_DISPLAY_VERSION", "uninstallKeyName"):
        if not values.get(name):
            raise ReleaseError("%s: no %s" % (header_path, name))
    return values


def installer_facts(scripts_dir, path):
    """What the installer itself says: hash, architecture, version, elevation."""
    sys.path.insert(0, scripts_dir)
    import pe_image
    try:
        image = pe_image.read(path)
    except (OSError, ValueError, IndexError) as error:
        raise ReleaseError("%s: cannot read it as a program (%s)" % (path, error))
    if image.machine not in ARCHITECTURES:
        raise ReleaseError("%s: unknown machine type %#x" % (path, image.machine))
    manifest = image.resource(RT_MANIFEST, MANIFEST_ID)
    if manifest is None:
        raise ReleaseError("%s: no application manifest" % path)
    levels = [e.get("level") for e in ElementTree.fromstring(manifest).iter(ASM_V3 + "requestedExecutionLevel")]
    return {
        "sha256": hashlib.sha256(image.data).hexdigest().upper(),
        "architecture": ARCHITECTURES[image.machine],
        "version": image.product_version(),
        "elevation": ELEVATION.get(levels[0]) if levels else None,
    }


def command_line(path):
    with open(path, encoding="utf-8") as file:
        contents = yaml.safe_load(file)
    if not isinstance(contents, dict) or "InstallerSwitches" not in contents:
        raise ReleaseError("%s: no InstallerSwitches" % path)
    return contents


def render(fields, manifest_type):
    body = dict(fields, ManifestType=manifest_type, ManifestVersion=MANIFEST_VERSION)
    return "# Made by make dist from the signed installer; do not edit.\n" + yaml.safe_dump(
        body, sort_keys=False, default_flow_style=False, allow_unicode=True, width=1000)


def manifests(product, facts, switches, package_id, installer_url):
    version = product["TOLM_DISPLAY_VERSION"]
    if facts["version"] != version:
        raise ReleaseError("the installer's version resource says %s, installation/product.h says %s"
                           % (facts["version"], version))
    if not package_id:
        package_id = product["TOLM_PUBLISHER"] + "." + re.sub(r"[^A-Za-z0-9]", "", product["TOLM_PRODUCT_NAME"])
    if not PACKAGE_IDENTIFIER.match(package_id) or len(package_id) > 128:
        raise ReleaseError("package identifier '%s' is not Publisher.Name (2 to 8 parts, no spaces)" % package_id)
    installer_url = (installer_url or DEFAULT_INSTALLER_URL).replace(URL_VERSION_FIELD, version)
    if not INSTALLER_URL.match(installer_url) or len(installer_url) > 2048:
        raise ReleaseError("installer URL '%s' is not an http or https URL" % installer_url)

    identity = {"PackageIdentifier": package_id, "PackageVersion": version}
    installer = {
        "Architecture": facts["architecture"],
        "InstallerType": INSTALLER_TYPE,
        "Scope": SCOPE,
        "InstallerUrl": installer_url,
        "InstallerSha256": facts["sha256"],
        "InstallerSwitches": switches["InstallerSwitches"],
    }
    for optional in ("ExpectedReturnCodes", "InstallerSuccessCodes"):
        if switches.get(optional):
            installer[optional] = switches[optional]
    if facts["elevation"]:
        installer["ElevationRequirement"] = facts["elevation"]
    installer["AppsAndFeaturesEntries"] = [{
        "DisplayName": product["TOLM_PRODUCT_NAME"],
        "Publisher": product["TOLM_PUBLISHER"],
        "DisplayVersion": version,
        "ProductCode": product["uninstallKeyName"],
    }]
    locale = {
        "PackageLocale": PACKAGE_LOCALE,
        "Publisher": product["TOLM_PUBLISHER"],
        "PackageName": product["TOLM_PRODUCT_NAME"],
        "License": LICENSE,
        "ShortDescription": SHORT_DESCRIPTION,
    }
    return {
        package_id + ".yaml": render(dict(identity, DefaultLocale=PACKAGE_LOCALE), "version"),
        package_id + ".installer.yaml": render(dict(identity, Installers=[installer]), "installer"),
        package_id + ".locale." + PACKAGE_LOCALE + ".yaml": render(dict(identity, **locale), "defaultLocale"),
    }


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--package-id", default="")
    parser.add_argument("--installer-url", default="")
    parser.add_argument("scripts_dir")
    parser.add_argument("product_header")
    parser.add_argument("command_line")
    parser.add_argument("installer")
    parser.add_argument("out_dir")
    args = parser.parse_args()
    try:
        files = manifests(product_values(args.product_header), installer_facts(args.scripts_dir, args.installer),
                          command_line(args.command_line), args.package_id, args.installer_url)
        os.makedirs(args.out_dir, exist_ok=True)
        for name, text in files.items():
            with open(os.path.join(args.out_dir, name), "w", encoding="utf-8") as out:
                out.write(text)
    except (ReleaseError, OSError, yaml.YAMLError) as error:
        print("manifests: %s" % error, file=sys.stderr)
        sys.exit(1)


if __name__ == "__main__":
    main()
