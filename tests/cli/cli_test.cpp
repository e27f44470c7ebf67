// The command-line harness on the shell and on functions run in a child:
// statuses, arguments, the streams, answers, prompts, terminals, limits and
// what a row expects.
#include "cli/cli.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <new>
#include <string>
#include <vector>

namespace {

const cli::Program kShell{"/bin/sh"};

// A shell script as a row's arguments.
std::vector<std::string> script(const std::string& text) { return {"-c", text}; }

TEST(CliChild, StatusOfAnEndAndOfASignal) {
  const struct {
    const char* what;
    int (*body)();
    int status;
  } cases[] = {
      {"a status", [] { return 3; }, 3},
      {"abort",
       [] {
         std::abort();
         return 0;
       },
       cli::kAbort},
      {"a program that cannot be started",
       [] {
         execl("/nonexistent/program", "program", static_cast<char*>(nullptr));
         return 127;
       },
       127},
  };
  cli::Folder dir;
  for (const auto& c : cases) {
    cli::Child child(c.body, dir.path());
    EXPECT_EQ(child.finish().status, c.status) << c.what;
  }
}

TEST(CliChild, ArgumentsReachTheProgramWordForWord) {
  cli::Folder dir;
  // Blanks, an empty word and quotes are no shell's business.
  cli::check(kShell, dir,
             cli::Case("words")
                 .args({"-c", "printf '[%s]' \"$0\" \"$@\"", "zero", "a b", "", "o'k", "\"q\""})
                 .status(0)
                 .out("[zero][a b][][o'k][\"q\"]")
                 .err(""));
}

// A program that writes a full pipe of errors before it reads, and then
// echoes a large input: neither side may wait on the other.
TEST(CliChild, StreamsStayApartAndNoFullPipeStallsTheRun) {
  const std::string input(1 << 20, 'i');
  cli::Folder dir;
  cli::Child child(
      [] {
        const std::string noise(1 << 20, 'e');
        std::fwrite(noise.data(), 1, noise.size(), stderr);
        std::cout << std::cin.rdbuf();
        return 0;
      },
      dir.path());
  child.send(input);
  cli::Result r = child.finish();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.size(), input.size());
  EXPECT_EQ(r.out, input);
  EXPECT_EQ(r.err, std::string(1 << 20, 'e'));
}

// The answers a program ends before reading are dropped; the test is not
// ended by SIGPIPE.
TEST(CliChild, AnswersToAProgramThatHasEndedAreDropped) {
  cli::Folder dir;
  cli::Child child([] { return 4; }, dir.path());
  EXPECT_FALSE(child.wait_for("never"));
  child.send(std::string(1 << 20, 'a'));
  child.send("more\n");
  EXPECT_EQ(child.finish().status, 4);
}

// A program started while another runs holds no end of the other's pipes:
// the first sees the end of its input while the second still runs.
TEST(CliChild, TwoChildrenAtOnceEachEndsWithItsInput) {
  cli::Folder dir;
  const cli::Program cat{"/bin/cat"};
  cli::Child first(cat, {}, dir.path());
  cli::Child second(cat, {}, dir.path());
  first.send("one\n");
  second.send("two\n");
  cli::Result r = first.finish();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "one\n");
  EXPECT_TRUE(second.wait_for("two\n"));
  EXPECT_EQ(second.finish().out, "two\n");
}

TEST(CliCase, SetsTheFolderUpAndChecksTheFilesLeft) {
  cli::Folder dir;
  dir.copy_in(std::string(TZ_SOURCE_DIR) + "/tests/cli/cli_test.cpp", "copied.cpp");
  cli::check(kShell, dir,
             cli::Case("folder")
                 .args(script("cat a.txt > b.txt && test -L link && test -d sub/deeper && rm gone.txt && "
                              "cat link && test ! -e nodir && echo done"))
                 .file("a.txt", "alpha\n")
                 .file("gone.txt", "to be removed\n")
                 .symlink("link", "a.txt")
                 .directory("sub/deeper")
                 .status(0)
                 .out("alpha\ndone\n")
                 .writes("b.txt", "alpha\n")
                 .writes("a.txt", "alpha\n")
                 .writes("link", cli::present())
                 .writes("gone.txt", cli::absent())
                 .writes("nodir/x", cli::absent()));
  EXPECT_EQ(dir.entries(), (std::set<std::string>{"a.txt", "b.txt", "copied.cpp", "link", "sub"}));
  EXPECT_EQ(dir.read("copied.cpp").substr(0, 3), "// ");
}

// A row run by a function of the test program in place of a program: the
// files and the input reach it in its folder, its console, status and files
// are checked as a program's.
TEST(CliCase, AFunctionOfTheTestProgramRunsTheRow) {
  cli::Folder dir;
  cli::check(
      [] {
        std::string line;
        std::getline(std::cin, line);
        FILE* f = std::fopen("in.txt", "r");
        char word[16] = "";
        if (!f || std::fscanf(f, "%15s", word) != 1) return 9;
        std::fclose(f);
        std::printf("%s %s\n", word, line.c_str());
        std::fprintf(stderr, "to the error stream\n");
        return std::rename("in.txt", "out.txt") == 0 ? 4 : 8;
      },
      dir,
      cli::Case("a function")
          .file("in.txt", "alpha\n")
          .input("beta\n")
          .status(4)
          .out("alpha beta\n")
          .err("to the error stream\n")
          .writes("out.txt", "alpha\n")
          .leaves({"out.txt"}));
}

// Under a file-size limit with SIGXFSZ at its default, as a shell leaves
// it, a write beyond the limit kills the writer (128 + SIGXFSZ); the
// console, through pipes, is not cut.
TEST(CliCase, FileSizeLimitKillsAWriterThatLeavesTheSignalAtItsDefault) {
  cli::Folder dir;
  cli::check(kShell, dir,
             cli::Case("at the default")
                 .args(script("head -c 10000 /dev/zero > big.dat; echo $?; "
                              "head -c 10000 /dev/zero | tr '\\0' x >&2"))
                 .file_size_limit(4096)
                 .status(0)
                 .out(std::to_string(128 + SIGXFSZ) + "\n")
                 .err(cli::ends_with("\n" + std::string(10000, 'x')))  // after the shell's report
                 .writes("big.dat", std::string(4096, '\0')));
}

// The child's environment gets the case's variables; its address space
// can be limited; the folder's names can be checked whole.
TEST(CliCase, EnvironmentAddressSpaceAndTheFolderLeft) {
  cli::Folder dir;
  cli::check(kShell, dir,
             cli::Case("environment")
                 .args(script("echo \"$TZ_CLI_TEST\" > seen.txt"))
                 .env("TZ_CLI_TEST", "a value")
                 .status(0)
                 .writes("seen.txt", "a value\n")
                 .leaves({"seen.txt"}));
}

// The test program's own variable, set or unset for a scope and then as it
// was before.
TEST(CliEnv, SetsForAScopeAndRestores) {
  unsetenv("TZ_CLI_TEST");
  {
    cli::With_env set("TZ_CLI_TEST", "first");
    EXPECT_STREQ(std::getenv("TZ_CLI_TEST"), "first");
    {
      cli::With_env unset("TZ_CLI_TEST", nullptr);
      EXPECT_EQ(std::getenv("TZ_CLI_TEST"), nullptr);
    }
    EXPECT_STREQ(std::getenv("TZ_CLI_TEST"), "first");
  }
  EXPECT_EQ(std::getenv("TZ_CLI_TEST"), nullptr);
}

// Under a limit of its address space an allocation beyond it fails in the
// child. (AddressSanitizer reserves more address space than any limit
// leaves, so the sanitizer build cannot show it.)
TEST(CliCase, AddressSpaceLimitFailsALargeAllocation) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "address-space limits do not apply under AddressSanitizer";
#else
  cli::Folder dir;
  cli::Mode limited;
  limited.address_space = rlim_t{1} << 30;
  auto allocate = [] {
    try {
      std::vector<char> big(std::size_t{1} << 31, 'x');
      return big[12345] == 'x' ? 0 : 2;
    } catch (const std::bad_alloc&) {
      return 3;
    }
  };
  cli::Child child(allocate, dir.path(), limited);
  EXPECT_EQ(child.finish().status, 3);
  cli::Child free_child(allocate, dir.path());
  EXPECT_EQ(free_child.finish().status, 0);
#endif
}

// A signal step waits for its text and sends the signal: the child ends as
// the signal has it, or goes on when it catches it.
TEST(CliCase, SignalAtATextOfTheOutput) {
  cli::Folder dir;
  cli::check(kShell, dir,
             cli::Case("killed")
                 .args(script("echo waiting; read a; echo never"))
                 .signal_at("waiting\n", SIGTERM)
                 .status(128 + SIGTERM)
                 .out("waiting\n"));
  cli::check(kShell, dir,
             cli::Case("caught")
                 .args(script("trap 'echo caught; exit 7' INT; echo waiting; while :; do sleep 0.05; done"))
                 .signal_at("waiting\n", SIGINT)
                 .status(7)
                 .out("waiting\ncaught\n"));
}

// A step waits for its prompt, acts on the folder, then answers: the
// program reads the file the step wrote only after the prompt.
TEST(CliCase, StepsWaitForThePromptActAndAnswer) {
  cli::Folder dir;
  const std::string dialogue = "printf 'first? '; read a; cat note.txt; printf 'second? '; read b; echo \"$a-$b\"";
  cli::check(kShell, dir,
             cli::Case("dialogue")
                 .args(script(dialogue))
                 .file("note.txt", "before\n")
                 .step(
                     "first? ", [](const cli::Folder& d) { d.write("note.txt", "changed\n"); }, "one\n")
                 .step("second? ", "two\n")
                 .status(0)
                 .out("first? changed\nsecond? one-two\n"));
  // Answers given at once, before any prompt, are read in their turn.
  cli::check(
      kShell, dir,
      cli::Case("answers ahead").args(script(dialogue)).input("1\n2\n").status(0).out(cli::ends_with("second? 1-2\n")));
}

TEST(CliCase, APromptThatNeverComesIsAFailure) {
  cli::Folder dir;
  EXPECT_NONFATAL_FAILURE(cli::run(kShell, dir, cli::Case().args(script("printf 'other: '")).step("name? ", "x\n")),
                          "no prompt \"name? \" in:\nother: ");
}

// On a terminal the program sees a tty on its three streams, and the
// transcript holds the echo of what is typed.
TEST(CliCase, OnATerminal) {
  cli::Folder dir;
  cli::check(kShell, dir,
             cli::Case("terminal")
                 .args(script("test -t 0 && test -t 1 && test -t 2 && printf 'name? '; read n; echo \"hi $n\" >&2"))
                 .on_terminal()
                 .step("name? ", "ann\n")
                 .status(0)
                 .out("name? ann\nhi ann\n")
                 .err(""));
}

TEST(CliText, HoldsAsTheRowSays) {
  const struct {
    cli::Text expected;
    const char* actual;
    bool holds;
  } cases[] = {
      {"ab", "ab", true},
      {"ab", "abc", false},
      {cli::exactly(""), "", true},
      {cli::contains("b c"), "a b c d", true},
      {cli::contains("b  c"), "a b c d", false},
      {cli::lacks("x"), "a b c", true},
      {cli::lacks("b"), "a b c", false},
      {cli::starts_with("ab"), "abc", true},
      {cli::starts_with("abcd"), "abc", false},
      {cli::ends_with("bc"), "abc", true},
      {cli::ends_with("zabc"), "abc", false},  // longer than the text
      {cli::matches("a[0-9]+\nb.*"), "a12\nbcd", true},
      {cli::matches("a[0-9]+"), "a12\n", false},  // the whole text
      {cli::present(), "", true},
      {cli::absent(), "", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.expected.holds(c.actual), c.holds) << c.expected.describe() << " / " << c.actual;
}

// Each way a result can differ from its row is reported, and names what
// differs.
TEST(CliText, EveryDifferenceIsReported) {
  cli::Folder dir;
  dir.write("kept.dat", "old\n");
  const cli::Result r{1, "out\n", "err\n"};
  EXPECT_NONFATAL_FAILURE(cli::expect(cli::Case().status(0), dir, r), "the exit status");
  EXPECT_NONFATAL_FAILURE(cli::expect(cli::Case().out("other\n"), dir, r), "the standard output");
  EXPECT_NONFATAL_FAILURE(cli::expect(cli::Case().err(cli::contains("warn")), dir, r),
                          "the error stream contains \"warn\", but is:\nerr\n");
  EXPECT_NONFATAL_FAILURE(cli::expect(cli::Case().writes("kept.dat", "new\n"), dir, r), "the file kept.dat");
  EXPECT_NONFATAL_FAILURE(cli::expect(cli::Case().writes("kept.dat", cli::absent()), dir, r),
                          "the file kept.dat is there");
  EXPECT_NONFATAL_FAILURE(cli::expect(cli::Case().writes("new.dat", cli::present()), dir, r),
                          "the file new.dat is missing");
  // And a result as the row says passes.
  cli::expect(cli::Case()
                  .status(1)
                  .out("out\n")
                  .err(cli::starts_with("er"))
                  .err(cli::lacks("warn"))
                  .writes("kept.dat", "old\n")
                  .writes("kept.dat", cli::present())
                  .writes("new.dat", cli::absent()),
              dir, r);
}

}  // namespace
