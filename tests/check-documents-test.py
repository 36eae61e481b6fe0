#!/usr/bin/env python3
"""The document check's own rules: a stale excerpt or a failing command must not pass."""
import os
import runpy
import tempfile
import types
import unittest

check = types.SimpleNamespace(
    **runpy.run_path(os.path.join(os.path.dirname(__file__), "check-documents.py")))


class Matching(unittest.TestCase):
    def test_elision_and_anchoring(self):
        rows = [
            # expected, actual, anchored, matches
            (["a", "b"], ["a", "b"], True, True),
            (["a", "b"], ["a", "b", "c"], True, False),
            (["a", "...", "c"], ["a", "b", "b", "c"], True, True),
            (["a", "...", "c"], ["a", "c"], True, True),
            (["a", "...", "c"], ["a", "b"], True, False),
            (["...", "b", "..."], ["a", "b", "c"], True, True),
            # A line missing from an excerpt: its neighbours are no longer next to each other.
            (["b", "d"], ["a", "b", "c", "d"], False, False),
            (["b", "c"], ["a", "b", "c", "d"], False, True),
            (["c", "...", "b"], ["a", "b", "c", "d"], False, False),
            (["x"], ["a", "b"], False, False),
            (["a", "...", "a"], ["a"], True, False),
        ]
        for expected, actual, anchored, result in rows:
            with self.subTest(expected=expected, actual=actual):
                self.assertEqual(check.matches(expected, actual, anchored), result)

    def test_times_and_process_ids_are_normalised(self):
        self.assertEqual(
            check.normalised("2026-12-10 07:34:48.683 [384] X: process 384 at 2026-01-01 "
                             "00:00:00.000  "),
            "<time> [<pid>] X: process <pid> at <time>")


class Commands(unittest.TestCase):
    def block(self, lang, lines):
        return check.Block("d.md", 1, lang, None, lines)

    def test_transcripts_and_scripts(self):
        transcript = check.commands_of(self.block("sh", ["$ one", "out", "$ two"]))
        self.assertEqual([(c.text, c.expected) for c in transcript],
                         [("one", ["out"]), ("two", [])])
        script = check.commands_of(self.block("bat", ["rem why", "reg export x", "", "set A=1"]))
        self.assertEqual([(c.text, c.expected) for c in script],
                         [("reg export x", None), ("set A=1", None)])
        with self.assertRaises(check.Failure):
            check.commands_of(self.block("sh", ["output before", "$ a command"]))

    def test_a_failure_passes_only_where_the_document_shows_it(self):
        rows = [
            # expected, status, output, passes
            (None, 0, ["anything"], True),
            (None, 1, [], False),
            ([], 0, [], True),
            ([], 0, ["unshown"], False),
            (["..."], 2, ["error"], False),
            (["error"], 2, ["error"], True),
            (["error"], 0, ["other"], False),
        ]
        for expected, status, output, passes in rows:
            with self.subTest(expected=expected, status=status):
                command = check.Command("c", expected)
                if passes:
                    check.check_command(self.block("sh", []), command, status, output)
                else:
                    with self.assertRaises(check.Failure):
                        check.check_command(self.block("sh", []), command, status, output)


class Blocks(unittest.TestCase):
    def test_a_marker_belongs_to_the_block_right_under_it(self):
        with tempfile.TemporaryDirectory() as root:
            with open(os.path.join(root, "d.md"), "w", encoding="utf-8") as text:
                text.write("<!-- check: illustrative: shown only -->\n```\nx\n```\n\n"
                           "<!-- check: excerpt of f -->\nprose between\n```sh\n$ y\n```\n"
                           "- item\n\n  ```bat\n  set A=1\n  ```\n")
            blocks = check.blocks_of(root, "d.md")
        self.assertEqual([(b.lang, b.marker, b.lines) for b in blocks],
                         [("", "illustrative: shown only", ["x"]), ("sh", None, ["$ y"]),
                          ("bat", None, ["set A=1"])])


if __name__ == "__main__":
    unittest.main()
