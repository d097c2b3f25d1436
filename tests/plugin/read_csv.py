"""Prints the records of a CSV file as Python's csv module reads them, one JSON list a line.

Usage: read_csv.py FILE
"""
import csv
import json
import sys

with open(sys.argv[1], newline="", encoding="utf-8") as report:
    for record in csv.reader(report):
        print(json.dumps(record, ensure_ascii=False))
