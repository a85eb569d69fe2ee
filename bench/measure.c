/* One timed run for the benchmark script: writes the argument file, starts the program with
 * posix_spawn, waits with wait4 and prints the wall time (from just before the start to just
 * after the wait) and the program's peak resident memory, after checking its exit status and
 * the argument file's new content against the expected file, byte for byte. Anything amiss
 * ends it with status 1 and a message, so that no wrong run is ever counted.
 *
 *   measure <argument text> <argument file> <expected file> <program> [arguments...]
 *      prints "<seconds> <peak resident KiB>"
 *   measure --pattern <n> <file>
 *      writes the test child's fill pattern: n bytes, byte i being "0123456789abcdef"[i % 16] */
#define _GNU_SOURCE
#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

enum { chunk = 1 << 20 };

static void fail(const char* what, const char* detail) {
  fprintf(stderr, "measure: %s%s%s\n", what, detail ? ": " : "", detail ? detail : "");
  exit(1);
}

static void write_all(int fd, const char* bytes, size_t count, const char* path) {
  while (count > 0) {
    ssize_t written = write(fd, bytes, count);
    if (written <= 0)
      fail("cannot write", path);
    bytes += written;
    count -= (size_t)written;
  }
}

static void write_pattern(long long count, const char* path) {
  int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0)
    fail("cannot create", path);
  static char block[chunk];
  for (size_t i = 0; i < chunk; ++i)
    block[i] = "0123456789abcdef"[i % 16];
  for (; count > 0; count -= chunk)
    write_all(fd, block, count < chunk ? (size_t)count : chunk, path);
  close(fd);
}

/* Reads up to chunk bytes, looping over short reads. */
static size_t read_chunk(int fd, char* buffer) {
  size_t total = 0;
  while (total < chunk) {
    ssize_t got = read(fd, buffer + total, chunk - total);
    if (got < 0)
      fail("cannot read a file to compare", NULL);
    if (got == 0)
      break;
    total += (size_t)got;
  }
  return total;
}

static void compare_files(const char* actual, const char* expected) {
  int a = open(actual, O_RDONLY), e = open(expected, O_RDONLY);
  if (a < 0 || e < 0)
    fail("cannot open the files to compare", actual);
  static char left[chunk], right[chunk];
  for (long long offset = 0;; offset += chunk) {
    size_t got_a = read_chunk(a, left), got_e = read_chunk(e, right);
    if (got_a != got_e || memcmp(left, right, got_a) != 0) {
      char where[64];
      snprintf(where, sizeof where, "differs from the expected file in the MiB at %lld",
               offset >> 20);
      fail(actual, where);
    }
    if (got_a == 0)
      break;
  }
  close(a);
  close(e);
}

static double seconds(void) {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return (double)now.tv_sec + (double)now.tv_nsec * 1e-9;
}

int main(int argc, char** argv) {
  if (argc == 4 && !strcmp(argv[1], "--pattern")) {
    write_pattern(atoll(argv[2]), argv[3]);
    return 0;
  }
  if (argc < 5)
    fail("usage: measure <argument text> <argument file> <expected file> <program> [args...]",
         NULL);
  const char *text = argv[1], *path = argv[2], *expected = argv[3];
  int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0)
    fail("cannot create", path);
  write_all(fd, text, strlen(text), path);
  close(fd);

  pid_t pid;
  double start = seconds();
  if (posix_spawn(&pid, argv[4], NULL, NULL, argv + 4, environ) != 0)
    fail("cannot start", argv[4]);
  int status;
  struct rusage usage;
  if (wait4(pid, &status, 0, &usage) != pid)
    fail("cannot wait for", argv[4]);
  double elapsed = seconds() - start;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    char what[64];
    snprintf(what, sizeof what, "ended with status %d", WIFEXITED(status) ? WEXITSTATUS(status)
                                                                          : -WTERMSIG(status));
    fail(argv[4], what);
  }
  compare_files(path, expected);
  printf("%.6f %ld\n", elapsed, usage.ru_maxrss);
  return 0;
}
