#!/usr/bin/env python3
"""Checks every record of hx7300 run logs (JSON Lines, HX7300_LOG) against the run log's JSON
Schema: check-run-log.py SCHEMA LOG... Prints each record that does not fit, with its file and
line, and fails when there is one; prints how many records were checked otherwise."""

import json
import sys

import jsonschema


def main():
    schema_path, *logs = sys.argv[1:]
    with open(schema_path, encoding="utf-8") as file:
        schema = json.load(file)
    validator = jsonschema.Draft202012Validator(schema)
    validator.check_schema(schema)
    faults = 0
    records = 0
    for log in logs:
        with open(log, encoding="utf-8") as file:
            for number, line in enumerate(file, 1):
                records += 1
                try:
                    validator.validate(json.loads(line))
                except (ValueError, jsonschema.ValidationError) as error:
                    faults += 1
                    print(f"{log}:{number}: {str(error).splitlines()[0]}")
    if faults or not records:
        print(f"{faults} of {records} records do not fit the schema")
        return 1
    print(f"{records} records fit the schema")
    return 0


if __name__ == "__main__":
    sys.exit(main())
