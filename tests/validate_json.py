#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Validates JSON files against a JSON Schema (draft 7) with python3-jsonschema,
a validator independent of the code that writes them.

    validate_json.py <schema> <file>...
"""
import json
import sys

import jsonschema

with open(sys.argv[1], encoding="utf-8") as f:
    schema = json.load(f)
jsonschema.Draft7Validator.check_schema(schema)
validator = jsonschema.Draft7Validator(schema)
failed = False
for name in sys.argv[2:]:
    with open(name, encoding="utf-8") as f:
        document = json.load(f)
    for error in validator.iter_errors(document):
        print(f"{name}: {'/'.join(map(str, error.absolute_path))}: {error.message}")
        failed = True
sys.exit(1 if failed else 0)
