"""The fault generator tools/mutants.py on small C++ snippets, diffs and build files."""

import os
import sys
import unittest

sys.dont_write_bytecode = True  # no cache files left in the source tree
sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "tools"))
import mutants  # noqa: E402


def faults(code, lines=None):
    """(line, faulty line) of every fault of the snippet, on every line unless told."""
    wanted = lines or range(1, code.count("\n") + 2)
    return [(m.line, m.faulty) for m in mutants.file_mutants("a.cpp", code, set(wanted))]


def body(*statements):
    """The statements inside a function, each on its own line from line 2 on."""
    return "void f() {\n" + "".join(f"    {s}\n" for s in statements) + "}\n"


class OperatorFaults(unittest.TestCase):
    def test_each_operator_gives_its_faults(self):
        cases = [
            ("if (a < b)", ["if (a <= b)"]),
            ("if (a <= b)", ["if (a < b)"]),
            ("if (a > b)", ["if (a >= b)"]),
            ("if (a >= b)", ["if (a > b)"]),
            ("if (a == b)", ["if (a != b)"]),
            ("if (a != b)", ["if (a == b)"]),
            ("if (a && b)", ["if (a || b)"]),
            ("if (a || b)", ["if (a && b)"]),
            ("if (!a)", ["if (a)"]),
            ("if (a != 0x7F)", ["if (a == 0x7F)", "if (a != 0x80)", "if (a != 0x7E)"]),
            ("if (a < 0xff)", ["if (a <= 0xff)", "if (a < 0x100)", "if (a < 0xfe)"]),
            ("if (a == 10u)", ["if (a != 10u)", "if (a == 11u)", "if (a == 9u)"]),
            ("if (a == 0)", ["if (a != 0)", "if (a == 1)"]),
            ("if (a == 1'000)", ["if (a != 1'000)", "if (a == 1001)", "if (a == 999)"]),
            ("if (a == 0b101)", ["if (a != 0b101)", "if (a == 0b110)", "if (a == 0b100)"]),
            ("if (a == 010)", ["if (a != 010)", "if (a == 011)", "if (a == 07)"]),
            ("if (a == 1.5)", ["if (a != 1.5)"]),
            ("if (a & 0x00FF)", ["if (a & 0x0100)", "if (a & 0x00FE)"]),
        ]
        for line, expected in cases:
            with self.subTest(line=line):
                got = [f.strip() for _, f in faults(body(line), [2])]
                self.assertEqual(got, expected)

    def test_templates_references_and_operator_names_are_not_comparisons(self):
        cases = [
            "auto v = static_cast<std::size_t>(n);",
            "std::vector<std::pair<int, int>> v;",
            "template <typename T> void g(T&& t);",
            "bool operator<(const X& o) const;",
            "bool operator==(const X& o) const = default;",
            "auto p = std::make_unique<Thing>();",
        ]
        for line in cases:
            with self.subTest(line=line):
                self.assertEqual(faults(line + "\n", [1]), [])

    def test_a_row_of_a_table_keeps_its_constants(self):
        self.assertEqual(faults(body("{0x10, 0x20, -3, 1.5f},"), [2]), [])
        self.assertEqual(faults(body("{{{{4, 2}, {8, 2}}}, kWhite, kPlain},"), [2]), [])
        self.assertNotEqual(faults(body("{ return g(1, 2, 3); }"), [2]), [])
        self.assertEqual(faults(body("const float at[3] = {x, y, z}, up[3]{x, y, z};"), [2]), [])
        self.assertEqual(len(faults(body("at[3] = 4;"), [2])), 5)  # and the assignment left out
        self.assertEqual(len(faults(body("g(0x10, 0x20);"), [2])), 4)

    def test_a_continued_condition_keeps_its_operators_at_the_line_ends(self):
        code = body("if (a >", "    b &&", "    c)", "    g();")
        self.assertEqual(
            faults(code, [2, 3]),
            [(2, "    if (a >="), (3, "        b ||")],
        )


class LeftAlone(unittest.TestCase):
    def test_comments_literals_and_directives_are_not_changed(self):
        cases = [
            "    // if (a < b && c == 1) x = 0;",
            "    /* if (a < b && c == 1) */",
            '    puts("a < b && !c == 1");',
            "    char c = '<';",
            "    char c = '\\'';",
            '    puts(R"x(a < "b" == 1)x");',
            "#include <vector>",
            "#define LIMIT (a < 2 && b)",
            "#if FOO == 1",
        ]
        for line in cases:
            with self.subTest(line=line):
                code = "void f() {\n" + line + "\n}\n"
                self.assertEqual(faults(code, [2]), [])

    def test_a_block_comment_spans_lines_and_code_after_it_counts(self):
        code = body("/* a < b", "   c == d */ if (x == 1)", "    return;", "g();")
        self.assertEqual(
            faults(code, [2, 3]),
            [(3, "       c == d */ if (x != 1)"), (3, "       c == d */ if (x == 2)"),
             (3, "       c == d */ if (x == 0)")],
        )

    def test_a_continued_directive_is_left_alone_to_its_end(self):
        code = "#define TWO(a) \\\n    (a == 2)\nint x = a == 2;\n"
        self.assertEqual([n for n, _ in faults(code)], [3, 3, 3])

    def test_a_string_with_an_escaped_quote_ends_where_it_ends(self):
        self.assertEqual(faults(body('puts("\\" <"); x = 1;'), [2])[-1], (2, "    {}"))


class StatementFaults(unittest.TestCase):
    def test_statements_that_assign_reset_release_or_return_may_be_left_out(self):
        cases = [
            ("x = y;", "assignment removed"),
            ("p->Count += n;", "assignment removed"),
            ("table[i] = Entry{};", "assignment removed"),
            ("++Held;", "assignment removed"),
            ("Held--;", "assignment removed"),
            ("Secret.clear();", "clear removed"),
            ("Buffer.reset();", "reset removed"),
            ("::close(s);", "close removed"),
            ("delete p;", "release removed"),
        ]
        for statement, what in cases:
            with self.subTest(statement=statement):
                found = mutants.file_mutants("a.cpp", body(statement, "g();"), {2})
                self.assertEqual([(m.what, m.faulty) for m in found], [(what, "    {}")])

    def test_declarations_and_what_would_not_build_stay(self):
        cases = [
            body("int x = 1;"),
            body("auto x = y;"),
            body("std::size_t n = m;"),
            body("Foo* p = q;"),
            body("std::vector<int> v = w;"),
            body("const auto& r = s;"),
            body("auto p = q.release();"),
            body("return x;"),  # the function's last statement
            body("return;"),
            body("f(a,", "  b = 1);"),  # inside a call that began on the line before
            "struct S {\n    int x = y;\n    S() = default;\n};\n",
            "namespace n {\nint x = y;\n}\n",
            body("for (i = j; i; --i)", "    g();"),
        ]
        for code in cases:
            with self.subTest(code=code):
                found = mutants.file_mutants("a.cpp", code, {2})
                self.assertNotIn("    {}", [m.faulty.rstrip() for m in found])

    def test_an_early_return_may_be_left_out(self):
        code = body("if (x)", "    return false;", "return true;")
        got = [(m.line, m.what) for m in mutants.file_mutants("a.cpp", code, {3, 4})]
        self.assertIn((3, "return removed"), got)
        self.assertNotIn((4, "return removed"), got)


class Reproducible(unittest.TestCase):
    def test_the_same_seed_picks_the_same_faults_and_another_seed_others(self):
        found = mutants.file_mutants("a.cpp", body(*[f"x{k} = {k};" for k in range(40)]),
                                     set(range(2, 42)))
        first = mutants.pick(found, 10, 7)
        self.assertEqual(first, mutants.pick(found, 10, 7))
        self.assertEqual(len(first), 10)
        self.assertNotEqual(first, mutants.pick(found, 10, 8))
        self.assertEqual(first, sorted(first, key=lambda m: m.line))
        self.assertEqual(mutants.pick(found, None, 7), found)


DIFF = """\
diff --git a/dddd/A.cpp b/dddd/A.cpp
--- a/dddd/A.cpp
+++ b/dddd/A.cpp
@@ -10,2 +10,3 @@ int f()
-    int x = 1;
+    int x = 2;
+++y;
+    --z;
@@ -40 +41,0 @@
-    gone();
diff --git a/dddd/New.h b/dddd/New.h
new file mode 100644
--- /dev/null
+++ b/dddd/New.h
@@ -0,0 +1,2 @@
+#pragma once
+int g();
diff --git a/tests/dddd/ATest.cpp b/tests/dddd/ATest.cpp
--- a/tests/dddd/ATest.cpp
+++ b/tests/dddd/ATest.cpp
@@ -1 +1 @@
-int a = 1;
+int a = 2;
diff --git a/bench/B.cpp b/bench/B.cpp
--- a/bench/B.cpp
+++ b/bench/B.cpp
@@ -5 +5 @@
-int b;
+int c;
diff --git a/docs/notes.md b/docs/notes.md
--- a/docs/notes.md
+++ b/docs/notes.md
@@ -3,0 +4 @@
+a < b
diff --git a/dddd/Gone.cpp b/dddd/Gone.cpp
deleted file mode 100644
--- a/dddd/Gone.cpp
+++ /dev/null
@@ -1 +0,0 @@
-int q;
"""


class DiffReader(unittest.TestCase):
    def test_only_added_lines_of_cpp_files_outside_tests_and_benchmarks(self):
        self.assertEqual(
            mutants.changed_lines(DIFF),
            {"dddd/A.cpp": {10, 11, 12}, "dddd/New.h": {1, 2}},
        )

    def test_context_lines_move_the_count_on(self):
        diff = "--- a/x.cpp\n+++ b/x.cpp\n@@ -5,3 +5,3 @@\n a\n-b\n+c\n d\n"
        self.assertEqual(mutants.changed_lines(diff), {"x.cpp": {6}})


NINJA = """\
build lib/CMakeFiles/lib.dir/A.cpp.o: CXX_COMPILER__lib_Debug /src/lib/A.cpp || dep
  DEP_FILE = lib/CMakeFiles/lib.dir/A.cpp.o.d
build lib/liblib.a: CXX_STATIC_LIBRARY_LINKER__lib_Debug lib/CMakeFiles/lib.dir/A.cpp.o || x
build other/CMakeFiles/o.dir/B.cpp.o: CXX_COMPILER__o_Debug /src/other/B.cpp
build tests/lib_tests tests/lib_tests[1]_tests.cmake | ${w}tests/lib_tests[1]_tests.cmake: \
CXX_EXECUTABLE_LINKER__lib_tests_Debug tests/T.cpp.o | lib/liblib.a /usr/lib/libgtest.a
  LINK_LIBRARIES = lib/liblib.a /usr/lib/libgtest.a
build tests/app_tests tests/app_tests[1]_tests.cmake: CXX_EXECUTABLE_LINKER__app_tests_Debug \
tests/U.cpp.o other/CMakeFiles/o.dir/B.cpp.o $
 | /usr/lib/libgtest.a
  LINK_LIBRARIES = lib/liblib.a
build bin/game: CXX_EXECUTABLE_LINKER__game_Debug main.o | lib/liblib.a
"""


class BuildTreeReader(unittest.TestCase):
    def test_test_targets_that_link_a_source_through_a_library_or_directly(self):
        objects_of, tests_of = mutants.test_targets_by_object(NINJA, "/src")
        self.assertEqual(objects_of["lib/A.cpp"], {"lib/CMakeFiles/lib.dir/A.cpp.o"})
        self.assertEqual(tests_of["lib/CMakeFiles/lib.dir/A.cpp.o"], {"lib_tests", "app_tests"})
        self.assertEqual(tests_of["other/CMakeFiles/o.dir/B.cpp.o"], {"app_tests"})
        self.assertNotIn("main.o", tests_of)

    def test_headers_map_to_the_objects_that_include_them(self):
        deps = ("a.o: #deps 2, deps mtime 1 (VALID)\n    /src/lib/A.cpp\n    /src/lib/A.h\n"
                "    /usr/include/stdio.h\n\nb.o: #deps 1, deps mtime 1 (VALID)\n"
                "    /src/lib/A.h\n")
        self.assertEqual(mutants.header_users(deps, "/src")["lib/A.h"], {"a.o", "b.o"})

    def test_the_folders_own_tests_come_first(self):
        self.assertEqual(
            mutants.nearest_first("platform/dplay/S.cpp", {"app_tests", "platform_dplay_tests",
                                                            "platform_image_tests"}),
            ["platform_dplay_tests", "platform_image_tests", "app_tests"],
        )
        self.assertEqual(
            mutants.nearest_first("dddd/QDArc.cpp", {"dddd_display_tests", "dddd_qdarc_tests"}),
            ["dddd_qdarc_tests", "dddd_display_tests"],
        )


class EquivalentList(unittest.TestCase):
    def test_marked_faults_are_read_as_file_original_and_faulty(self):
        text = ("## comment\n\n# why it cannot matter\nfile a.cpp\n-     x = 1;\n+     {}\n")
        self.assertEqual(mutants.read_equivalents(text), {("a.cpp", "x = 1;", "{}")})

    def test_the_block_format_round_trips_through_the_equivalent_reader(self):
        m = mutants.Mutant("a.cpp", 3, "assignment removed", "    x = 1;", "    {}")
        block = mutants.format_block(m, ["t1", "t2"])
        self.assertIn("test t1\ntest t2\n", block)
        self.assertIn("line 3\n", block)
        self.assertEqual(mutants.read_equivalents(block), {("a.cpp", "x = 1;", "{}")})


if __name__ == "__main__":
    unittest.main()
