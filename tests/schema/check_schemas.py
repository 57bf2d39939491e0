#!/usr/bin/python3
"""Checks the tool's protocol against the schemas in schema/ with a real validator (python3-jsonschema).

  check_schemas.py protocol SCHEMA_DIR LOG
      Every run in the protocol log (tests/support/protocol_log.h): each line the tool wrote must be a JSON
      object that validates against the output schema (a result also against its command's own result), the
      lines must come in protocol order and agree with the exit status, and the job file of each run must
      validate against its job schema exactly when the tool accepted it.
  check_schemas.py corpus SCHEMA_DIR VERDICTS_PROGRAM DIR...
      Every file in the folders (the fuzz corpus of job decoding): each of the three job schemas must accept
      it exactly when the tool's decoder of that job accepts it.
  check_schemas.py man SCHEMA_DIR TOOL PAGE
      The manual page renders without a warning and names every command and every field of the job files.

Where the decoder refuses a document for a reason that a schema cannot express (the JSON text itself is not
one the tool reads, or the one number rule the job schemas name in their $comment), a schema that accepts it
is no fault; everything else must agree.
"""

import base64
import json
import os
import re
import subprocess
import sys

import jsonschema

MAXIMUM_JOB_BYTES = 16 * 1024 * 1024
MAXIMUM_NESTING = 64
JOB_SCHEMAS = {"run": "capture-job", "inspect": "inspect-job", "ocr": "ocr-job"}
RESULT_DEFINITIONS = {
    "version": "versionResult",
    "permissions": "permissionsResult",
    "windows": "windowsResult",
    "inspect": "inspectResult",
    "ocr": "ocrResult",
}


class NotAJobText(Exception):
    """The bytes are not a JSON text that the tool reads, so no schema applies to them."""


def _refuse_constant(name):
    raise NotAJobText("the constant " + name)


def read_job_text(data):
    """The JSON value of a job file's bytes, read by the tool's rules, and whether the value holds the one
    number the job schemas cannot judge (a double equal to -2^63). Raises NotAJobText."""
    if len(data) > MAXIMUM_JOB_BYTES:
        raise NotAJobText("larger than 16 MiB")
    if b"\0" in data:
        raise NotAJobText("a NUL byte")
    if data.startswith(b"\xef\xbb\xbf"):
        data = data[3:]
    try:
        text = data.decode("utf-8")
        value = json.loads(text, parse_constant=_refuse_constant)
    except (UnicodeDecodeError, ValueError, RecursionError) as error:
        raise NotAJobText(str(error)) from None
    edge = False
    # Depth, strings and numbers, walked without recursion (a corpus file may nest thousands deep).
    stack = [(value, 1)]
    while stack:
        item, depth = stack.pop()
        if isinstance(item, (dict, list)):
            if depth > MAXIMUM_NESTING:
                raise NotAJobText("nested deeper than 64")
            children = item.items() if isinstance(item, dict) else enumerate(item)
            for key, child in children:
                if isinstance(key, str):
                    stack.append((key, depth))
                stack.append((child, depth + 1))
        elif isinstance(item, str):
            try:
                item.encode("utf-8")
            except UnicodeEncodeError:
                raise NotAJobText("a lone surrogate") from None
        elif isinstance(item, float):
            if item != item or item in (float("inf"), float("-inf")):
                raise NotAJobText("a number beyond a double")
            edge = edge or item == -(2.0**63)
        elif isinstance(item, int) and not isinstance(item, bool):
            if abs(item) > sys.float_info.max:
                raise NotAJobText("a number beyond a double")
    return value, edge


class Schemas:
    def __init__(self, folder):
        self.documents = {}
        for name in ("output", *JOB_SCHEMAS.values()):
            with open(os.path.join(folder, name + ".schema.json"), encoding="utf-8") as file:
                document = json.load(file)
            jsonschema.Draft202012Validator.check_schema(document)
            self.documents[name] = document
        self.validators = {name: jsonschema.Draft202012Validator(doc) for name, doc in self.documents.items()}
        output = self.documents["output"]
        self.results = {}
        for definition in list(RESULT_DEFINITIONS.values()) + ["runResult", "regionResult", "progress", "error"]:
            schema = {"$schema": output["$schema"], "$defs": output["$defs"], "$ref": "#/$defs/" + definition}
            self.results[definition] = jsonschema.Draft202012Validator(schema)

    def job_verdict(self, command, data):
        """(accepted by the schema, or None when no schema applies; the value holds the unjudged number)"""
        try:
            value, edge = read_job_text(data)
        except NotAJobText:
            return None, False
        return self.validators[JOB_SCHEMAS[command]].is_valid(value), edge


def first_error(validator, value):
    error = jsonschema.exceptions.best_match(validator.iter_errors(value))
    if error is None:
        return None
    where = "/".join(str(part) for part in error.absolute_path)
    return "at /%s: %s" % (where, error.message)


def job_agreement(schemas, command, data, tool_accepts):
    """A fault message when the job schema and the tool disagree about `data`, else None."""
    schema_accepts, edge = schemas.job_verdict(command, data)
    if schema_accepts is None:
        return "the tool accepted a document that is no JSON text it reads" if tool_accepts else None
    if tool_accepts and not schema_accepts:
        value, _ = read_job_text(data)
        return "the tool accepted it, the %s schema refuses it %s" % (
            JOB_SCHEMAS[command], first_error(schemas.validators[JOB_SCHEMAS[command]], value))
    if not tool_accepts and schema_accepts and not edge:
        return "the tool refused it, the %s schema accepts it" % JOB_SCHEMAS[command]
    return None


def check_run(schemas, record):
    """The faults of one run of the tool."""
    faults = []
    args = record["args"]
    command = args[0] if args else ""
    status = record["status"]
    output = base64.b64decode(record["stdout"])
    try:
        text = output.decode("utf-8")
    except UnicodeDecodeError:
        return ["standard output is not UTF-8"]
    lines = text.split("\n")
    if lines[-1] != "":
        if 0 <= status <= 2:
            faults.append("the last line has no line feed")
    lines.pop()

    job_data = base64.b64decode(record["job"]["base64"]) if record.get("job") else None
    job_value = None
    if job_data is not None:
        try:
            job_value, _ = read_job_text(job_data)
        except NotAJobText:
            pass

    final = None
    for number, line in enumerate(lines, 1):
        try:
            message = json.loads(line)
        except ValueError:
            faults.append("line %d is not JSON: %.200s" % (number, line))
            continue
        kind = message.get("type") if isinstance(message, dict) else None
        # The definition the line must meet: its command's own result, or the progress or error line.
        definition = kind if kind in ("progress", "error") else RESULT_DEFINITIONS.get(command)
        if kind == "result" and command == "run":
            region = isinstance(job_value, dict) and job_value.get("region") is not None
            definition = "regionResult" if region else "runResult"
        fault = first_error(schemas.results[definition], message) if definition else None
        fault = fault or first_error(schemas.validators["output"], message)
        if fault:
            faults.append("line %d is no %s line %s: %.300s" % (number, definition or "output", fault, line))
            continue
        if final is not None:
            faults.append("line %d comes after the %s line" % (number, final["type"]))
        if kind != "progress":
            final = message

    if final is not None and 0 <= status <= 2:
        expected = 0 if final["type"] == "result" else 2 if final["code"] == "permission" else 1
        if status != expected:
            faults.append("exit status %d after a %s line (expected %d)" % (status, final["type"], expected))

    if command in JOB_SCHEMAS and job_data is not None and lines:
        refused = final is not None and final["type"] == "error" and final["code"] == "bad_request" and \
            final["message"] == "cannot read job " + args[1]
        fault = job_agreement(schemas, command, job_data, not refused)
        if fault:
            faults.append("job %s: %s: %.300s" % (args[1], fault, job_data.decode("utf-8", "replace")))
    return faults


def check_protocol(schemas, log):
    runs = lines = jobs = 0
    faults = []
    if os.path.exists(log):
        with open(log, encoding="utf-8") as file:
            for entry in file:
                record = json.loads(entry)
                runs += 1
                lines += base64.b64decode(record["stdout"]).count(b"\n")
                jobs += 1 if record.get("job") else 0
                for fault in check_run(schemas, record):
                    faults.append("quorrel-capture %s: %s" % (" ".join(record["args"])[:120], fault))
    print("protocol: %d runs of the tool, %d lines, %d job files checked against the schemas" % (runs, lines, jobs))
    return faults


def check_corpus(schemas, verdicts_program, folders):
    files = sorted(os.path.join(folder, name) for folder in folders if os.path.isdir(folder)
                   for name in os.listdir(folder) if os.path.isfile(os.path.join(folder, name)))
    answer = subprocess.run([verdicts_program], input="\n".join(files) + "\n", capture_output=True, text=True,
                            check=True)
    faults = []
    refused = unjudged = 0
    for line in answer.stdout.splitlines():
        verdict = json.loads(line)
        with open(verdict["file"], "rb") as file:
            data = file.read()
        for command in JOB_SCHEMAS:
            accepted = verdict[command]
            refused += 0 if accepted else 1
            schema_accepts, _ = schemas.job_verdict(command, data)
            unjudged += 1 if schema_accepts is None else 0
            fault = job_agreement(schemas, command, data, accepted)
            if fault:
                faults.append("%s (%s): %s: %.200r" % (verdict["file"], command, fault, data))
    print("corpus: %d files, %d refusals by the decoders, %d of the documents no JSON text the tool reads" %
          (len(files), refused, unjudged))
    if not files:
        faults.append("no corpus files in " + ", ".join(folders))
    return faults


def field_names(schema, found):
    """Every property name in `schema`, nested definitions included."""
    if isinstance(schema, dict):
        found.update(schema.get("properties", {}).keys())
        for value in schema.values():
            field_names(value, found)
    elif isinstance(schema, list):
        for value in schema:
            field_names(value, found)
    return found


def check_man(schemas, tool, page):
    faults = []
    rendered = subprocess.run(["groff", "-ww", "-z", "-man", page], capture_output=True, text=True)
    if rendered.returncode != 0 or rendered.stderr:
        faults.append("groff -ww -z -man: status %d, %s" % (rendered.returncode, rendered.stderr.strip()))
    with open(page, encoding="utf-8") as file:
        roff = file.read()
    usage = json.loads(subprocess.run([tool], capture_output=True, text=True).stdout)["message"]
    commands = re.fullmatch(r"usage: quorrel-capture (\S+)", usage).group(1).split("|")
    names = set(commands)
    for job in JOB_SCHEMAS.values():
        field_names(schemas.documents[job], names)
    for name in sorted(names):
        if "\\fB%s\\fR" % name not in roff:
            faults.append("the manual page does not name %s in bold" % name)
    print("man: %d commands and job fields named" % len(names))
    return faults


def main(argv):
    if len(argv) < 3 or argv[1] not in ("protocol", "corpus", "man"):
        print(__doc__, file=sys.stderr)
        return 2
    schemas = Schemas(argv[2])
    if argv[1] == "protocol":
        faults = check_protocol(schemas, argv[3])
    elif argv[1] == "corpus":
        faults = check_corpus(schemas, argv[3], argv[4:])
    else:
        faults = check_man(schemas, argv[3], argv[4])
    for fault in faults[:40]:
        print("FAULT: " + fault)
    if len(faults) > 40:
        print("... and %d more" % (len(faults) - 40))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
