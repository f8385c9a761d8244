#!/usr/bin/env python3
"""Checks the group-policy template (installer/admx): the ADMX and each ADML are well-formed,
use only the elements the ADMX schema allows where they stand, every string, presentation,
category and supportedOn a policy names exists (in every language), each presentation shows
exactly its policy's elements, and every value the programs read has a policy.

    check-admx.py [ADMX_FOLDER]      (default: installer/admx beside this script)
"""

import pathlib
import re
import sys
import xml.etree.ElementTree as ET

NS = "{http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions}"
KEY = r"SOFTWARE\Policies\Kopiavakt"
LANGUAGES = ("en-US", "sv-SE")
# Every value read under KEY (core/managed_policy.h and the alert settings), with its type.
VALUES = {
    "ServerHost": "text", "WarningDays": "decimal", "LockAccounts": "flag",
    "UserListFile": "text", "WebhookUrl": "text", "WebhookFormat": "enum", "PingUrl": "text",
    "MailServer": "text", "MailPort": "decimal", "MailSecurity": "enum", "MailFrom": "text",
    "MailTo": "text", "MailUser": "text", "ReminderHours": "decimal",
    "NoContactHours": "decimal", "Notifications": "flag",
}
# The children each element may have (the schema's structure, as far as this template uses it).
ADMX_CHILDREN = {
    "policyDefinitions": {"policyNamespaces", "resources", "supportedOn", "categories",
                          "policies"},
    "policyNamespaces": {"target", "using"},
    "supportedOn": {"definitions"},
    "definitions": {"definition"},
    "categories": {"category"},
    "category": {"parentCategory"},
    "policies": {"policy"},
    "policy": {"parentCategory", "supportedOn", "enabledValue", "disabledValue", "elements"},
    "enabledValue": {"decimal", "string", "delete"},
    "disabledValue": {"decimal", "string", "delete"},
    "elements": {"text", "decimal", "enum", "boolean", "list", "multiText"},
    "enum": {"item"},
    "item": {"value"},
    "value": {"decimal", "string", "delete"},
}
ADML_CHILDREN = {
    "policyDefinitionResources": {"displayName", "description", "resources"},
    "resources": {"stringTable", "presentationTable"},
    "stringTable": {"string"},
    "presentationTable": {"presentation"},
    "presentation": {"text", "textBox", "decimalTextBox", "dropdownList", "checkBox",
                     "comboBox", "listBox", "multiTextBox"},
    "textBox": {"label", "defaultValue"},
}
PRESENTS = {"textBox": "text", "decimalTextBox": "decimal", "dropdownList": "enum",
            "checkBox": "boolean", "listBox": "list", "multiTextBox": "multiText"}


def local(tag):
    assert tag.startswith(NS), f"element {tag} is outside the PolicyDefinitions namespace"
    return tag[len(NS):]


def check_structure(element, allowed, faults, where):
    name = local(element.tag)
    for child in element:
        child_name = local(child.tag)
        if name in allowed and child_name not in allowed[name]:
            faults.append(f"{where}: <{child_name}> may not stand in <{name}>")
        check_structure(child, allowed, faults, where)


def references(text, kind):
    return re.findall(r"\$\(" + kind + r"\.([A-Za-z0-9_]+)\)", text or "")


def check(folder):
    faults = []
    admx_path = folder / "kopiavakt.admx"
    admx = ET.parse(admx_path).getroot()
    if local(admx.tag) != "policyDefinitions":
        faults.append("the ADMX root is not <policyDefinitions>")
    check_structure(admx, ADMX_CHILDREN, faults, admx_path.name)

    categories = {c.get("name") for c in admx.iter(NS + "category")}
    supported = {d.get("name") for d in admx.iter(NS + "definition")}
    strings, presentations = set(), {}
    for element in admx.iter():
        for attribute in ("displayName", "explainText"):
            strings.update(references(element.get(attribute), "string"))
    seen_values = {}
    for policy in admx.iter(NS + "policy"):
        name = policy.get("name")
        if policy.get("key") != KEY:
            faults.append(f"policy {name}: key is not {KEY}")
        if policy.get("class") not in ("Machine", "User", "Both"):
            faults.append(f"policy {name}: bad class")
        for ref in policy.iter(NS + "parentCategory"):
            if ref.get("ref") not in categories:
                faults.append(f"policy {name}: no category {ref.get('ref')}")
        for ref in policy.iter(NS + "supportedOn"):
            if ref.get("ref") not in supported:
                faults.append(f"policy {name}: no supportedOn {ref.get('ref')}")
        if policy.get("valueName"):
            seen_values[policy.get("valueName")] = "flag"
        elements = policy.find(NS + "elements")
        element_ids = {}
        for element in elements if elements is not None else []:
            element_ids[element.get("id")] = local(element.tag)
            seen_values[element.get("valueName")] = local(element.tag)
        named = references(policy.get("presentation"), "presentation")
        if element_ids and len(named) != 1:
            faults.append(f"policy {name}: elements without one presentation")
        for presentation in named:
            presentations[presentation] = element_ids
    for category in admx.iter(NS + "category"):
        for ref in category.iter(NS + "parentCategory"):
            if ref.get("ref") not in categories:
                faults.append(f"category {category.get('name')}: no parent {ref.get('ref')}")
    if seen_values != VALUES:
        faults.append(f"the policies' values {sorted(seen_values.items())} are not "
                      f"{sorted(VALUES.items())}")

    for language in LANGUAGES:
        path = folder / language / "kopiavakt.adml"
        adml = ET.parse(path).getroot()
        where = f"{language}/{path.name}"
        if local(adml.tag) != "policyDefinitionResources":
            faults.append(f"{where}: the root is not <policyDefinitionResources>")
        check_structure(adml, ADML_CHILDREN, faults, where)
        defined = [s.get("id") for s in adml.iter(NS + "string")]
        if len(defined) != len(set(defined)):
            faults.append(f"{where}: a string id is defined twice")
        for missing in sorted(strings - set(defined)):
            faults.append(f"{where}: no string {missing}")
        shown = {p.get("id"): p for p in adml.iter(NS + "presentation")}
        for presentation, element_ids in presentations.items():
            if presentation not in shown:
                faults.append(f"{where}: no presentation {presentation}")
                continue
            refs = {c.get("refId"): PRESENTS.get(local(c.tag)) for c in shown[presentation]}
            if refs != element_ids:
                faults.append(f"{where}: presentation {presentation} shows {refs}, "
                              f"not {element_ids}")
    return faults


def main():
    folder = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else \
        pathlib.Path(__file__).resolve().parent.parent / "installer" / "admx"
    try:
        faults = check(folder)
    except (ET.ParseError, OSError, AssertionError) as error:
        faults = [str(error)]
    for fault in faults:
        print(f"check-admx: {fault}")
    if not faults:
        print("check-admx: the template is complete and consistent")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
